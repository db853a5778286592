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
    HWND Create(DWORD style, int upper, int lower, int pos)
    {
        return CreateUpDownControl(WS_CHILD | style, 0, 0, 16, 30, user::RegisterWindow(parent.get()), 0, nullptr,
                                   user::RegisterWindow(buddy), upper, lower, pos);
    }
    static comctl::UpDownControl* Control(HWND h)
    {
        return dynamic_cast<comctl::UpDownControl*>(user::WindowFromHandle(h));
    }

    std::unique_ptr<QWidget> parent = std::make_unique<QWidget>();
    QLineEdit* buddy = new QLineEdit(parent.get());
};

TEST_F(UpDownTest, CreateSetsTheStyleAndPlacesTheControlAgainstItsBuddyOrAtItsDefaultWidth)
{
    // each flag alone; both together are the defaults below
    const std::tuple<bool, bool, DWORD> styles[] = {{true, false, 0x50000006}, {false, true, 0x50000024}};
    for (const auto& [setBuddy, keys, style] : styles) {
        UpDown upDown;
        buddy->clear();
        const HWND h = Create(upDown, 500, 15, 0, setBuddy, keys);
        EXPECT_EQ(Control(h)->Style(), style);
        EXPECT_EQ(buddy->text(), setBuddy ? "15" : "") << "position 0, clamped into 15..500";
    }
    UpDown bare;
    const HWND h = bare.Create(user::RegisterWindow(parent.get()), 5, 6, 20, 30);
    EXPECT_TRUE(Control(h)->Style() == 0x50000026 && Control(h)->geometry() == QRect(5, 6, 16, 30));
    EXPECT_EQ(SendMessageA(h, UDM_GETRANGE, 0, 0), static_cast<LRESULT>(MAKELONG(100, 0)));

    // A vertical control takes its default width, a horizontal one keeps its height.
    const std::tuple<DWORD, int, int, QRect, LONG> cases[] = {
        // style (right-aligned: with the buddy), width and height given; the control's place, its client height
        {0, 0, 30, {5, 6, 16, 30}, 30},        {0, 100, 30, {5, 6, 16, 30}, 30},
        {UDS_HORZ, 30, 0, {5, 6, 30, 0}, 0},   {UDS_HORZ | WS_BORDER, 30, 2, {5, 6, 30, 2}, 0},
        {UDS_HORZ | WS_BORDER, 30, 0, {5, 6, 30, 0}, 0}, {UDS_ALIGNRIGHT, 100, 30, {54, 10, 16, 20}, 20}};
    for (const auto& [style, cx, cy, place, clientHeight] : cases) {
        buddy->setGeometry(10, 10, 60, 20);
        const bool aligned = style & UDS_ALIGNRIGHT;
        const HWND control = CreateUpDownControl(WS_CHILD | style, 5, 6, cx, cy, user::RegisterWindow(parent.get()), 0,
                                                 nullptr, aligned ? user::RegisterWindow(buddy) : nullptr, 100, 0, 0);
        RECT client{1, 1, -1, -1};
        EXPECT_TRUE(GetClientRect(control, &client) && client.top == 0 && client.bottom == clientHeight) << client.bottom;
        EXPECT_TRUE(Control(control)->geometry() == place && buddy->width() == (aligned ? 44 : 60)) << style << " " << cx;
        DestroyWindow(control);
    }
}

TEST_F(UpDownTest, ArrowsAndKeysStepByOneWithinTheRangeFromTheBuddysNumber)
{
    UpDown upDown;
    const HWND h = Create(upDown, 500, 15);
    const std::tuple<const char*, Qt::Key, int, const char*> steps[] = {
        // typed first (or not), a key in the buddy or a click on a row of the 20-row control, the buddy after;
        // rows 0-9 are the up arrow, 10-19 the down arrow
        {"15", Qt::Key_Up, 0, "16"},    {"", {}, 9, "17"},   {"", Qt::Key_Down, 0, "16"},  {"", {}, 10, "15"},
        {"", Qt::Key_Down, 0, "15"},    {"499", Qt::Key_Up, 0, "500"},  {"", {}, 2, "500"}, {"2000", {}, 17, "500"},
        {" 42 ", {}, 17, "41"},         {"10", Qt::Key_Up, 0, "15"},    {"abc", Qt::Key_Up, 0, "16"},
        // then the range by message (low word the maximum, high word the minimum): 10 above, 20 below
        {"15", Qt::Key_Up, 0, "14"},    {"10", Qt::Key_Up, 0, "10"},    {"20", {}, 15, "20"}, {"12", {}, 15, "13"},
    };
    int row = 0;
    for (const auto& [typed, key, clickAt, after] : steps) {
        if (++row == 12) SendMessageA(h, UDM_SETRANGE, 0, static_cast<LPARAM>(MAKELONG(10, 20)));
        if (*typed) buddy->setText(typed);
        ASSERT_EQ(Control(h)->height(), 20);
        if (clickAt) QTest::mouseClick(Control(h), Qt::LeftButton, {}, QPoint(10, clickAt));
        else QTest::keyClick(buddy, key);
        EXPECT_EQ(buddy->text(), after) << row << ": \"" << typed << "\" then " << key << "/" << clickAt;
    }
    EXPECT_EQ(SendMessageA(h, UDM_GETRANGE, 0, 0), static_cast<LRESULT>(MAKELONG(10, 20)));
}

// Messages in order, each after an optional text typed into the buddy: the
// answer and the buddy's text after.
using Sent = std::tuple<const char*, UINT, WPARAM, LPARAM, LRESULT, const char*>;

void Send(HWND h, QLineEdit* buddy, const std::vector<Sent>& sent)
{
    for (const auto& [typed, message, wParam, lParam, answer, shown] : sent) {
        if (typed) buddy->setText(typed);
        EXPECT_EQ(SendMessageA(h, message, wParam, lParam), answer) << message - WM_USER << " " << typed;
        EXPECT_EQ(buddy->text(), shown) << message - WM_USER << " " << typed;
    }
}

TEST_F(UpDownTest, BaseSixteenShowsUnsignedHexAndOtherBasesAreRefused)
{
    const HWND h = Create(UDS_SETBUDDYINT, 500, -300, 26);
    const LPARAM error = MAKELONG(0, 1);
    Send(h, buddy, {{nullptr, UDM_GETBASE, 0, 0, 10, "26"},         {nullptr, UDM_SETBASE, 16, 0, 10, "0x001A"},
                    {nullptr, UDM_SETBASE, 8, 0, 0, "0x001A"},      {nullptr, UDM_GETBASE, 0, 0, 16, "0x001A"},
                    {nullptr, UDM_SETPOS, 0, 300, 26, "0x012C"},
                    {nullptr, UDM_SETPOS, 0, 0xFFFF, 300, "0xFFFFFFFF"}, {"0x1f", UDM_GETPOS, 0, 0, 0x1f, "0x1f"},
                    {"0xFFFFFFFF", UDM_GETPOS, 0, 0, 0x1f | error, "0xFFFFFFFF"},
                    {"zz", UDM_GETPOS, 0, 0, 0x1f | error, "zz"},    {nullptr, UDM_SETBASE, 10, 0, 16, "31"}});
}

TEST_F(UpDownTest, ThirtyTwoBitRangesAndPositionsClampAsTheSixteenBitOnesDo)
{
    const HWND h = Create(UDS_SETBUDDYINT, 100, 0, 0);
    BOOL valid = 7, invalid = 7;
    int lower = 1, upper = 1;
    const auto at = [](auto* p) { return reinterpret_cast<LPARAM>(p); };
    Send(h, buddy, {{nullptr, UDM_SETRANGE32, static_cast<WPARAM>(-100000), 200000, 0, "0"},
                    {nullptr, UDM_SETPOS32, 0, 150000, 0, "150000"},
                    {nullptr, UDM_SETPOS32, 0, 300000, 150000, "200000"},
                    {nullptr, UDM_SETPOS32, 0, -200000, 200000, "-100000"},
                    {"123456", UDM_GETPOS32, 0, at(&valid), 123456, "123456"},
                    {nullptr, UDM_GETRANGE32, static_cast<WPARAM>(at(&lower)), at(&upper), 0, "123456"},
                    {nullptr, UDM_SETRANGE32, 50, -50, 0, "123456"},
                    {nullptr, UDM_SETPOS32, 0, 100, 50, "50"},  // the new range clamped the position
                    {"51", UDM_GETPOS32, 0, at(&invalid), 50, "51"},  // outside the range
                    {"abc", UDM_GETPOS32, 0, 0, 50, "abc"},
                    {nullptr, UDM_SETRANGE, 0, MAKELONG(40, 1), 0, "abc"}, {nullptr, UDM_SETPOS, 0, 10, 40, "10"}});
    EXPECT_TRUE(valid == FALSE && invalid == TRUE && lower == -100000 && upper == 200000) << lower << " " << upper;
}

// The start step works with or without InitCommonControlsEx; the end step
// destroys only the control made last and survives its parent.
TEST_F(UpDownTest, TheStartAndEndSteps)
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
