// UpDown over the real common controls and library table, offscreen.
#include "settings/UpDown.h"

#include "comctl/commctrl.h"
#include "comctl/updown_control.h"
#include "kernel/library.h"
#include "user/window_drag.h"
#include "user/window_table.h"

#include <gtest/gtest.h>

#include <QLineEdit>

#include <memory>
#include <vector>

namespace {

std::vector<INITCOMMONCONTROLSEX> initCalls;

BOOL RecordingInit(const INITCOMMONCONTROLSEX* icc)
{
    initCalls.push_back(*icc);
    return TRUE;
}

FARPROC Export(BOOL (*function)(const INITCOMMONCONTROLSEX*))
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

class UpDownTest : public ::testing::Test {
protected:
    HWND Parent() { return user::RegisterWindow(parent.get()); }
    HWND Buddy() { return user::RegisterWindow(buddy); }
    static comctl::UpDownControl* Control(HWND h)
    {
        return dynamic_cast<comctl::UpDownControl*>(user::WindowFromHandle(h));
    }

    std::unique_ptr<QWidget> parent = std::make_unique<QWidget>();
    QLineEdit* buddy = new QLineEdit(parent.get());
};

TEST_F(UpDownTest, TheStyleFollowsTheTwoFlags)
{
    const struct {
        bool setBuddy, arrowKeys;
        DWORD style;
    } cases[] = {{true, true, 0x50000026}, {true, false, 0x50000006}, {false, true, 0x50000024}, {false, false, 0x50000004}};
    UpDown upDown;
    for (const auto& c : cases) {
        const HWND h = upDown.Create(Parent(), 0, 0, 20, 30, Buddy(), 0, 500, 15, 0, c.setBuddy, c.arrowKeys);
        ASSERT_EQ(upDown.hUpDown, h);
        EXPECT_EQ(Control(h)->Style(), c.style);
        EXPECT_EQ(buddy->text(), c.setBuddy ? "15" : "");
        buddy->clear();
        DestroyWindow(h);
    }
}

TEST_F(UpDownTest, FiveArgumentsGiveAVisibleControlWithoutBuddy)
{
    parent->show();
    UpDown upDown;
    const HWND h = upDown.Create(Parent(), 5, 6, 20, 30);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Control(h)->Style(), 0x50000026u);
    EXPECT_EQ(Control(h)->geometry(), QRect(5, 6, 20, 30));
    EXPECT_TRUE(Control(h)->isVisible());
    EXPECT_EQ(SendMessageA(h, UDM_GETRANGE, 0, 0), static_cast<LRESULT>(MAKELONG(100, 0)));
    EXPECT_EQ(LOWORD(SendMessageA(h, UDM_GETPOS, 0, 0)), 0);
    EXPECT_EQ(SendMessageA(h, UDM_GETBUDDY, 0, 0), 0);
}

TEST_F(UpDownTest, TheStartStepWorksWithOrWithoutInitCommonControlsEx)
{
    const auto real = kernel::ProvideLibrary("comctl32.dll", std::nullopt);
    const struct {
        const char* what;
        std::optional<kernel::Exports> library;
        std::size_t initCalls;
    } cases[] = {
        {"with the function", kernel::Exports{{"InitCommonControlsEx", Export(&RecordingInit)}}, 1},
        {"without it", kernel::Exports{}, 0},
        {"no library", std::nullopt, 0},
    };
    for (const auto& c : cases) {
        initCalls.clear();
        kernel::ProvideLibrary("comctl32.dll", c.library);
        {
            UpDown upDown;
            EXPECT_EQ(initCalls.size(), c.initCalls) << c.what;
            EXPECT_EQ(GetModuleHandleA("comctl32.dll"), nullptr) << c.what << ": the library is released";
            EXPECT_NE(upDown.Create(Parent(), 0, 0, 20, 30, Buddy(), 0, 500, 15), nullptr) << c.what;
        }
        for (const auto& call : initCalls) {
            EXPECT_EQ(call.dwSize, 8u);
            EXPECT_EQ(call.dwICC, 0xFFu);
        }
    }
    kernel::ProvideLibrary("comctl32.dll", real);
}

TEST_F(UpDownTest, TheEndStepDestroysOnlyTheControlMadeLast)
{
    { UpDown never; }  // destroys nothing

    HWND first = nullptr, second = nullptr;
    {
        UpDown upDown;
        first = upDown.Create(Parent(), 0, 0, 20, 30);
        second = upDown.Create(Parent(), 0, 0, 20, 30);
    }
    EXPECT_NE(user::WindowFromHandle(first), nullptr) << "replaced, not destroyed";
    EXPECT_EQ(user::WindowFromHandle(second), nullptr);

    UpDown outlived;
    outlived.Create(Parent(), 0, 0, 20, 30, Buddy());
    parent.reset();  // the control goes with its parent; the end step must do no harm
}

}  // namespace
