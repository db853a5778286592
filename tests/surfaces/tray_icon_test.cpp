#include "shell/FakeNotificationArea.h"
#include "surfaces/TrayIcon.h"

#include <gtest/gtest.h>

#include <string>

using kelvo::test::FakeNotificationArea;

namespace {

const HWND kTray = reinterpret_cast<HWND>(0x10040);
const HICON kIcon = reinterpret_cast<HICON>(0x7700);

std::string Tip(const NOTIFYICONDATAA& data) { return std::string(data.szTip, sizeof data.szTip); }

std::string Padded(const std::string& text)
{
    return text + std::string(1, '\0') + std::string(127 - text.size(), ' ');
}

}  // namespace

TEST(TrayIcon, AddFillsTheWholeRecord)
{
    FakeNotificationArea area;
    EXPECT_TRUE(kelvo::TrayAdd(kTray, kIcon, "Kelvo", 512, 1));
    ASSERT_EQ(area.calls.size(), 1u);
    const auto& call = area.calls[0];
    EXPECT_EQ(call.message, NIM_ADD);
    EXPECT_EQ(call.data.cbSize, 152u);
    EXPECT_EQ(call.data.hWnd, kTray);
    EXPECT_EQ(call.data.uID, 1u);
    EXPECT_EQ(call.data.uFlags, 7u);
    EXPECT_EQ(call.data.uCallbackMessage, 512u);
    EXPECT_EQ(call.data.hIcon, kIcon);
    // "Kelvo", a NUL and 122 spaces.
    EXPECT_EQ(Tip(call.data), Padded("Kelvo"));
    EXPECT_EQ(Tip(call.data).substr(6), std::string(122, ' '));
}

TEST(TrayIcon, ReportsTheShellsAnswer)
{
    FakeNotificationArea area;
    area.result = FALSE;
    EXPECT_FALSE(kelvo::TrayAdd(kTray, kIcon, "Kelvo", 512, 1));
    EXPECT_FALSE(kelvo::TrayModify(kTray, kIcon, std::nullopt, 1));
    EXPECT_FALSE(kelvo::TrayDelete(kTray, 1));
    area.result = 5;  // any non-zero answer is success
    EXPECT_TRUE(kelvo::TrayDelete(kTray, 1));
}

TEST(TrayIcon, ModifyWithNothingSendsNoFlags)
{
    FakeNotificationArea area;
    EXPECT_TRUE(kelvo::TrayModify(kTray, std::nullopt, std::nullopt, 1));
    ASSERT_EQ(area.calls.size(), 1u);
    const auto& data = area.calls[0].data;
    EXPECT_EQ(area.calls[0].message, NIM_MODIFY);
    EXPECT_EQ(data.cbSize, 152u);
    EXPECT_EQ(data.uFlags, 0u);
    EXPECT_EQ(data.uCallbackMessage, 0u);
    EXPECT_EQ(data.hIcon, nullptr);
    EXPECT_EQ(Tip(data), std::string(128, '\0'));
}

TEST(TrayIcon, ModifyWithOnlyAnIconLeavesTipAndMessageAlone)
{
    FakeNotificationArea area;
    EXPECT_TRUE(kelvo::TrayModify(kTray, kIcon, std::nullopt, 1));
    const auto& data = area.calls.at(0).data;
    EXPECT_EQ(data.uFlags, static_cast<UINT>(NIF_ICON));
    EXPECT_EQ(data.hIcon, kIcon);
    EXPECT_EQ(data.uCallbackMessage, 0u);
    EXPECT_EQ(Tip(data), std::string(128, '\0'));
}

TEST(TrayIcon, ModifyWithATip)
{
    FakeNotificationArea area;
    EXPECT_TRUE(kelvo::TrayModify(kTray, std::nullopt, std::string("Kelvo 2"), 3));
    const auto& data = area.calls.at(0).data;
    EXPECT_EQ(data.uFlags, static_cast<UINT>(NIF_TIP));
    EXPECT_EQ(data.uID, 3u);
    EXPECT_EQ(Tip(data), Padded("Kelvo 2"));
    EXPECT_TRUE(kelvo::TrayModify(kTray, nullptr, std::string(), 3));
    EXPECT_EQ(area.calls.at(1).data.uFlags, static_cast<UINT>(NIF_ICON | NIF_TIP));
    EXPECT_EQ(Tip(area.calls.at(1).data), Padded(""));
}

TEST(TrayIcon, DeleteNamesTheIconOnly)
{
    FakeNotificationArea area;
    EXPECT_TRUE(kelvo::TrayDelete(kTray, 1));
    const auto& call = area.calls.at(0);
    EXPECT_EQ(call.message, NIM_DELETE);
    EXPECT_EQ(call.data.cbSize, 152u);
    EXPECT_EQ(call.data.hWnd, kTray);
    EXPECT_EQ(call.data.uID, 1u);
    EXPECT_EQ(call.data.uFlags, 0u);
    EXPECT_EQ(call.data.uCallbackMessage, 0u);
    EXPECT_EQ(call.data.hIcon, nullptr);
    EXPECT_EQ(Tip(call.data), std::string(128, '\0'));
}

TEST(TrayIcon, TipOf127CharactersFillsTheField)
{
    FakeNotificationArea area;
    const std::string tip(127, 'k');
    kelvo::TrayAdd(kTray, kIcon, tip, 512, 1);
    EXPECT_EQ(Tip(area.calls.at(0).data), tip + std::string(1, '\0'));
}

TEST(TrayIcon, LongerTipsAreCutTo127Bytes)
{
    FakeNotificationArea area;
    kelvo::TrayAdd(kTray, kIcon, std::string(200, 'k'), 512, 1);
    EXPECT_EQ(Tip(area.calls.at(0).data), std::string(127, 'k') + std::string(1, '\0'));

    // Never half a UTF-8 character: the two bytes of "é" would straddle the cut.
    const std::string accented = std::string(126, 'a') + "\xC3\xA9";
    kelvo::TrayModify(kTray, std::nullopt, accented, 1);
    EXPECT_EQ(Tip(area.calls.at(1).data), Padded(std::string(126, 'a')));
}
