#include "shell/FakeNotificationArea.h"
#include "surfaces/TrayIcon.h"

#include <gtest/gtest.h>

#include <string>

using kelvo::test::FakeNotificationArea;

namespace {

const HWND kTray = reinterpret_cast<HWND>(0x10040);
const HICON kIcon = reinterpret_cast<HICON>(0x7700);

std::string Tip(const NOTIFYICONDATAA& data) { return std::string(data.szTip, sizeof data.szTip); }

// The text, a NUL, then spaces to the end of the field.
std::string Padded(const std::string& text) { return text + '\0' + std::string(127 - text.size(), ' '); }

}  // namespace

TEST(TrayIcon, EachCallFillsOnlyWhatItChanges)
{
    FakeNotificationArea area;
    EXPECT_TRUE(kelvo::TrayAdd(kTray, kIcon, "Kelvo", 512, 1));
    EXPECT_TRUE(kelvo::TrayModify(kTray, kIcon, std::nullopt, 1));
    EXPECT_TRUE(kelvo::TrayModify(kTray, std::nullopt, std::string("Kelvo 2"), 3));
    EXPECT_TRUE(kelvo::TrayDelete(kTray, 1));
    const struct {
        DWORD message;
        UINT uID, flags, callback;
        HICON icon;
        std::string tip;
    } expected[] = {{NIM_ADD, 1, NIF_MESSAGE | NIF_ICON | NIF_TIP, 512, kIcon, Padded("Kelvo")},
                    {NIM_MODIFY, 1, NIF_ICON, 0, kIcon, std::string(128, '\0')},
                    {NIM_MODIFY, 3, NIF_TIP, 0, nullptr, Padded("Kelvo 2")},
                    {NIM_DELETE, 1, 0, 0, nullptr, std::string(128, '\0')}};
    ASSERT_EQ(area.calls.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& data = area.calls[i].data;
        EXPECT_EQ(area.calls[i].message, expected[i].message) << i;
        EXPECT_EQ(data.cbSize, 152u) << i;
        EXPECT_EQ(data.hWnd, kTray) << i;
        EXPECT_EQ(data.uID, expected[i].uID) << i;
        EXPECT_EQ(data.uFlags, expected[i].flags) << i;
        EXPECT_EQ(data.uCallbackMessage, expected[i].callback) << i;
        EXPECT_EQ(data.hIcon, expected[i].icon) << i;
        EXPECT_EQ(Tip(data), expected[i].tip) << i;
    }
    area.result = FALSE;
    EXPECT_FALSE(kelvo::TrayDelete(kTray, 1)) << "the shell's answer is reported";
}

TEST(TrayIcon, LongTipsAreCutTo127BytesNeverInsideACharacter)
{
    FakeNotificationArea area;
    kelvo::TrayAdd(kTray, kIcon, std::string(200, 'k'), 512, 1);
    EXPECT_EQ(Tip(area.calls.at(0).data), std::string(127, 'k') + '\0');
    // The two bytes of "é" would straddle the cut.
    kelvo::TrayModify(kTray, std::nullopt, std::string(126, 'a') + "\xC3\xA9", 1);
    EXPECT_EQ(Tip(area.calls.at(1).data), Padded(std::string(126, 'a')));
}
