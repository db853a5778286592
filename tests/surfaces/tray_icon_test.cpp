#include "shell/FakeNotificationArea.h"
#include "surfaces/TrayIcon.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

using kelvo::test::FakeNotificationArea;

namespace {

const HWND kTray = reinterpret_cast<HWND>(0x10040);
const HICON kIcon = reinterpret_cast<HICON>(0x7700);

std::string Tip(const NOTIFYICONDATAA& data) { return std::string(data.szTip, sizeof data.szTip); }

// The text, a NUL, then spaces to the end of the field.
std::string Padded(const std::string& text) { return text + '\0' + std::string(127 - text.size(), ' '); }

}  // namespace

// Long tips are cut to 127 bytes, never inside a UTF-8 character: the two
// bytes of "é" would straddle the cut.
TEST(TrayIcon, EachCallFillsOnlyWhatItChanges)
{
    FakeNotificationArea area;
    const std::string straddling = std::string(126, 'a') + "\xC3\xA9";
    EXPECT_TRUE(kelvo::TrayAdd(kTray, kIcon, std::string(200, 'k'), 512, 1));
    EXPECT_TRUE(kelvo::TrayModify(kTray, kIcon, std::nullopt, 1));
    EXPECT_TRUE(kelvo::TrayModify(kTray, std::nullopt, straddling, 1));
    EXPECT_TRUE(kelvo::TrayDelete(kTray, 1));
    using Record = std::tuple<DWORD, UINT, UINT, UINT, HICON, std::string>;  // message, id, flags, callback, icon, tip
    const Record expected[] = {{NIM_ADD, 1, NIF_MESSAGE | NIF_ICON | NIF_TIP, 512, kIcon, std::string(127, 'k') + '\0'},
                               {NIM_MODIFY, 1, NIF_ICON, 0, kIcon, std::string(128, '\0')},
                               {NIM_MODIFY, 1, NIF_TIP, 0, nullptr, Padded(std::string(126, 'a'))},
                               {NIM_DELETE, 1, 0, 0, nullptr, std::string(128, '\0')}};
    ASSERT_EQ(area.calls.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const NOTIFYICONDATAA& data = area.calls[i].data;
        EXPECT_EQ(Record(area.calls[i].message, data.uID, data.uFlags, data.uCallbackMessage, data.hIcon, Tip(data)),
                  expected[i]) << i;
    }
    // Every record starts from the same one: its size and window, once.
    EXPECT_EQ(area.calls[3].data.cbSize, 152u);
    EXPECT_EQ(area.calls[3].data.hWnd, kTray);
    area.result = FALSE;
    EXPECT_FALSE(kelvo::TrayDelete(kTray, 1)) << "the shell's answer is reported";
}
