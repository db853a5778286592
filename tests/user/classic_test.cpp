#include "user/sys_color.h"
#include "user/system_metrics.h"
#include "user/window_drag.h"

#include <gtest/gtest.h>

TEST(GetSystemMetrics, ClassicIconSizesWithoutAnApplication)
{
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), 32);
    EXPECT_EQ(GetSystemMetrics(SM_CYICON), 32);
    EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), 16);
    EXPECT_EQ(GetSystemMetrics(SM_CYSMICON), 16);
    EXPECT_EQ(GetSystemMetrics(SM_CXSMSIZE), 12);
    EXPECT_EQ(GetSystemMetrics(SM_CYSMSIZE), 15);
    EXPECT_EQ(GetSystemMetrics(0), 0);
    EXPECT_EQ(GetSystemMetrics(-1), 0);
}

TEST(GetSysColor, ClassicButtonColoursWithoutAnApplication)
{
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(192, 192, 192));
    EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), RGB(128, 128, 128));
    EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), RGB(255, 255, 255));
    EXPECT_EQ(GetSysColor(5), 0u);
}

TEST(SendMessageA, UnknownWindowsAndOtherMessagesAnswerZero)
{
    POINT press{3, 4};
    const auto lParam = reinterpret_cast<LPARAM>(&press);
    EXPECT_EQ(ReleaseCapture(), TRUE);
    EXPECT_EQ(SendMessageA(nullptr, WM_LBUTTONUP, 0, lParam), 0);
    EXPECT_EQ(SendMessageA(reinterpret_cast<HWND>(0x1234), WM_SYSCOMMAND, SC_DRAGMOVE, lParam), 0);
}
