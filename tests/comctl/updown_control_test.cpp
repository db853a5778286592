// The up-down control beside a real text box, on Qt's offscreen platform.
#include "comctl/commctrl.h"
#include "comctl/updown_control.h"
#include "kernel/library.h"
#include "user/window_table.h"
#include "user/window_drag.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include <memory>

namespace {

constexpr DWORD kAllFlags = WS_CHILD | WS_VISIBLE | UDS_ALIGNRIGHT | UDS_SETBUDDYINT | UDS_ARROWKEYS;

class UpDownControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent->resize(200, 60);
        buddy->setGeometry(10, 10, 60, 20);
        buddy->setText(QStringLiteral("typed"));
        parent->show();
    }

    HWND Create(DWORD style, int upper, int lower, int pos = 0)
    {
        return CreateUpDownControl(style, 0, 0, 20, 30, user::RegisterWindow(parent.get()), 7, nullptr,
                                   user::RegisterWindow(buddy), upper, lower, pos);
    }

    QWidget* Control(HWND h) { return user::WindowFromHandle(h); }

    void Press(HWND h, const char* action)
    {
        const std::string a = action;
        if (a == "Up" || a == "Down") {
            QTest::keyClick(buddy, a == "Up" ? Qt::Key_Up : Qt::Key_Down);
        } else {
            QWidget* control = Control(h);
            const int y = a == "click up" ? 2 : control->height() - 3;
            QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(control->width() / 2, y));
        }
    }

    std::unique_ptr<QWidget> parent = std::make_unique<QWidget>();
    QLineEdit* buddy = new QLineEdit(parent.get());
};

TEST_F(UpDownControlTest, SitsAgainstTheBuddysRightEdgeAndWritesItsPosition)
{
    const HWND h = Create(kAllFlags, 500, 15);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(buddy->geometry(), QRect(10, 10, 40, 20)) << "narrowed by the control's width";
    EXPECT_EQ(Control(h)->geometry(), QRect(50, 10, 20, 20));
    EXPECT_TRUE(Control(h)->isVisible());
    EXPECT_EQ(buddy->text(), "15") << "position 0 clamped into 15..500";
    EXPECT_EQ(SendMessageA(h, UDM_GETRANGE, 0, 0), static_cast<LRESULT>(MAKELONG(500, 15)));
    EXPECT_EQ(SendMessageA(h, UDM_GETBUDDY, 0, 0), reinterpret_cast<LRESULT>(user::RegisterWindow(buddy)));
    EXPECT_EQ(dynamic_cast<comctl::UpDownControl*>(Control(h))->Style(), kAllFlags);

    // The arrows are drawn: dark pixels in both halves.
    const QImage image = Control(h)->grab().toImage();
    for (const int top : {0, 10}) {
        int dark = 0;
        for (int y = top; y < top + 10; ++y) {
            for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 100;
        }
        EXPECT_GE(dark, 3) << "half from row " << top;
    }
}

TEST_F(UpDownControlTest, StepsByOneWithinTheRangeFromTheNumberTheBuddyShows)
{
    const HWND h = Create(kAllFlags, 500, 15);
    const struct {
        const char* text;  // typed before the step; nullptr keeps the text
        const char* action;
        const char* after;
    } cases[] = {
        {"15", "Up", "16"},         {nullptr, "click up", "17"}, {nullptr, "Down", "16"},
        {nullptr, "click down", "15"}, {nullptr, "Down", "15"},  {"499", "Up", "500"},
        {nullptr, "click up", "500"}, {"2000", "Down", "500"},   {" 42 ", "click down", "41"},
        {"10", "Up", "15"},         {"abc", "Up", "16"},         {"1 5", "Up", "17"},
    };
    for (const auto& c : cases) {
        if (c.text) buddy->setText(QString::fromLatin1(c.text));
        Press(h, c.action);
        EXPECT_EQ(buddy->text(), c.after) << (c.text ? c.text : "") << " then " << c.action;
    }
    EXPECT_EQ(LOWORD(SendMessageA(h, UDM_GETPOS, 0, 0)), 17);
    EXPECT_EQ(SendMessageA(h, UDM_SETPOS, 0, MAKELONG(700, 0)), 17) << "the previous position";
    EXPECT_EQ(buddy->text(), "500");
    buddy->setText(QStringLiteral("many"));
    EXPECT_NE(HIWORD(SendMessageA(h, UDM_GETPOS, 0, 0)), 0) << "no number in the buddy";
}

TEST_F(UpDownControlTest, AReversedRangeStepsDownwardsWithTheUpArrow)
{
    const HWND h = Create(kAllFlags, 15, 500, 100);
    EXPECT_EQ(buddy->text(), "100");
    Press(h, "Up");
    EXPECT_EQ(buddy->text(), "99");
    buddy->setText(QStringLiteral("500"));
    Press(h, "click down");
    EXPECT_EQ(buddy->text(), "500");
}

TEST_F(UpDownControlTest, WithoutTheFlagsTheBuddyIsLeftAlone)
{
    const HWND h = Create(WS_CHILD | WS_VISIBLE | UDS_ALIGNRIGHT, 100, 0, 5);
    EXPECT_EQ(buddy->text(), "typed");
    Press(h, "Up");
    Press(h, "click up");
    EXPECT_EQ(buddy->text(), "typed");
    EXPECT_EQ(LOWORD(SendMessageA(h, UDM_GETPOS, 0, 0)), 6) << "the click stepped, the key did not";
}

TEST_F(UpDownControlTest, DestroyWindowIsHarmlessOnceTheParentHasGone)
{
    const HWND first = Create(kAllFlags, 100, 0);
    EXPECT_EQ(DestroyWindow(first), TRUE);
    EXPECT_EQ(user::WindowFromHandle(first), nullptr);

    const HWND second = Create(kAllFlags, 100, 0);
    parent.reset();
    SetLastError(0);
    EXPECT_EQ(DestroyWindow(second), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(CreateUpDownControl(kAllFlags, 0, 0, 20, 30, second, 0, nullptr, nullptr, 1, 0, 0), nullptr)
        << "no parent, no control";
}

}  // namespace
