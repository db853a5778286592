// UpDown and the up-down control it makes beside a real text box, offscreen,
// with the real library table.
#include "settings/UpDown.h"

#include "comctl/commctrl.h"
#include "comctl/updown_control.h"
#include "kernel/library.h"
#include "user/window_drag.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

namespace {

std::vector<INITCOMMONCONTROLSEX> initCalls;

class UpDownTest : public ::testing::Test {
protected:
    void SetUp() override { parent->show(); }

    HWND Create(UpDown& upDown, SHORT upper, SHORT lower, SHORT pos = 0, bool setBuddy = true, bool keys = true)
    {
        buddy->setGeometry(10, 10, 60, 20);
        return upDown.Create(user::RegisterWindow(parent.get()), 0, 0, 20, 30, user::RegisterWindow(buddy), 0, upper,
                             lower, pos, setBuddy, keys);
    }
    static comctl::UpDownControl* Control(HWND h)
    {
        return dynamic_cast<comctl::UpDownControl*>(user::WindowFromHandle(h));
    }

    std::unique_ptr<QWidget> parent = std::make_unique<QWidget>();
    QLineEdit* buddy = new QLineEdit(parent.get());
};

TEST_F(UpDownTest, CreateSetsTheStyleAndPutsTheControlAgainstItsBuddy)
{
    // each flag alone; both together are the defaults below
    const std::tuple<bool, bool, DWORD> styles[] = {{true, false, 0x50000006}, {false, true, 0x50000024}};
    for (const auto& [setBuddy, keys, style] : styles) {
        UpDown upDown;
        buddy->clear();
        const HWND h = Create(upDown, 500, 15, 0, setBuddy, keys);
        EXPECT_EQ(Control(h)->Style(), style);
        EXPECT_EQ(buddy->geometry(), QRect(10, 10, 40, 20)) << "narrowed by the control's width";
        EXPECT_EQ(Control(h)->geometry(), QRect(50, 10, 20, 20));
        EXPECT_EQ(buddy->text(), setBuddy ? "15" : "") << "position 0, clamped into 15..500";
    }
    UpDown bare;
    const HWND h = bare.Create(user::RegisterWindow(parent.get()), 5, 6, 20, 30);
    EXPECT_TRUE(Control(h)->Style() == 0x50000026 && Control(h)->geometry() == QRect(5, 6, 20, 30));
    EXPECT_EQ(SendMessageA(h, UDM_GETRANGE, 0, 0), static_cast<LRESULT>(MAKELONG(100, 0)));
}

TEST_F(UpDownTest, ArrowsAndKeysStepByOneWithinTheRangeFromTheBuddysNumber)
{
    UpDown upDown;
    const HWND h = Create(upDown, 500, 15);
    const std::tuple<const char*, Qt::Key, int, const char*> steps[] = {
        // typed first (or not), a key in the buddy or a click at a height in the control, the buddy after
        {"15", Qt::Key_Up, 0, "16"},    {"", {}, 2, "17"},   {"", Qt::Key_Down, 0, "16"},  {"", {}, 17, "15"},
        {"", Qt::Key_Down, 0, "15"},    {"499", Qt::Key_Up, 0, "500"},  {"", {}, 2, "500"}, {"2000", {}, 17, "500"},
        {" 42 ", {}, 17, "41"},         {"10", Qt::Key_Up, 0, "15"},    {"abc", Qt::Key_Up, 0, "16"},
    };
    for (const auto& [typed, key, clickAt, after] : steps) {
        if (*typed) buddy->setText(typed);
        if (clickAt) QTest::mouseClick(Control(h), Qt::LeftButton, {}, QPoint(10, clickAt));
        else QTest::keyClick(buddy, key);
        EXPECT_EQ(buddy->text(), after) << '"' << typed << "\" then " << key << "/" << clickAt;
    }
    DestroyWindow(h);
    UpDown reversed;  // the ends in either order: Up steps towards Upper
    Create(reversed, 15, 500, 100);
    QTest::keyClick(buddy, Qt::Key_Up);
    EXPECT_EQ(buddy->text(), "99");
}

TEST_F(UpDownTest, TheStartStepWorksWithOrWithoutInitCommonControlsEx)
{
    const auto real = kernel::ProvideLibrary("comctl32.dll", std::nullopt);
    const auto recording = +[](const INITCOMMONCONTROLSEX* icc) -> BOOL { return initCalls.push_back(*icc), TRUE; };
    const std::pair<std::optional<kernel::Exports>, std::size_t> libraries[] = {
        {kernel::Exports{{"InitCommonControlsEx", reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(recording))}},
         1},
        {kernel::Exports{}, 0},
        {std::nullopt, 0}};
    for (const auto& [library, calls] : libraries) {
        initCalls.clear();
        kernel::ProvideLibrary("comctl32.dll", library);
        UpDown upDown;
        ASSERT_EQ(initCalls.size(), calls);
        for (const auto& icc : initCalls) EXPECT_TRUE(icc.dwSize == 8 && icc.dwICC == 0xFF);
        EXPECT_EQ(GetModuleHandleA("comctl32.dll"), nullptr) << "the library is released";
        EXPECT_NE(Create(upDown, 500, 15), nullptr);
    }
    kernel::ProvideLibrary("comctl32.dll", real);
}

TEST_F(UpDownTest, TheEndStepDestroysOnlyTheControlMadeLastAndSurvivesItsParent)
{
    HWND first = nullptr, second = nullptr;
    {
        UpDown upDown;
        first = Create(upDown, 100, 0);
        second = Create(upDown, 100, 0);
    }
    EXPECT_TRUE(user::WindowFromHandle(first) && !user::WindowFromHandle(second)) << "replaced, not destroyed";
    UpDown outlived;
    Create(outlived, 100, 0);
    parent.reset();  // the control goes with its parent before the end step
}

}  // namespace
