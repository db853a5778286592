// Durability of the hive file: two writing processes, damaged files, failed
// writes, where the file lies and its mode.
#include "registry/TempHive.h"
#include "registry/hive_format.h"
#include "registry/hive_store.h"
#include "registry/winreg.h"

#include <algorithm>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

using kelvo::registry::UniqueKey;

namespace {

LONG SetText(const char* path, const std::string& name, const std::string& text)
{
    UniqueKey key;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    return RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

std::optional<std::string> GetText(const char* path, const std::string& name)
{
    UniqueKey key;
    char text[64];
    DWORD size = sizeof text;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS ||
        RegQueryValueExA(key.get(), name.c_str(), nullptr, nullptr, reinterpret_cast<LPBYTE>(text), &size) !=
            ERROR_SUCCESS)
        return std::nullopt;
    return std::string(text);
}

TEST(HiveStore, TwoProcessesNeverLoseEachOthersChanges)
{
    kelvo::testing::TempHive hive;
    const auto name = [](int id, int i) { return "p" + std::to_string(id) + "_" + std::to_string(i); };
    std::vector<pid_t> writers;
    for (int id : {1, 2}) {
        writers.push_back(::fork());
        if (writers.back() != 0) continue;
        for (int i = 0; i < 60; ++i)
            if (SetText("Shared", name(id, i), "x") != ERROR_SUCCESS) ::_exit(1);
        ::_exit(0);
    }
    for (pid_t pid : writers) {
        int status = -1;
        ::waitpid(pid, &status, 0);
        EXPECT_EQ(status, 0) << pid;
    }
    for (int id : {1, 2})
        for (int i = 0; i < 60; ++i) EXPECT_TRUE(GetText("Shared", name(id, i))) << name(id, i);
}

TEST(HiveStore, DamagedFileIsKeptAsideOnceBeforeTheFirstWrite)
{
    kelvo::testing::TempHive hive;
    const std::string damaged = "REGEDIT4\n[HKEY_CURRENT_USER\\Kept]\n\"ok\"=\"yes\"\n\"half\"=hex:01,0\xff\x01garbage";
    hive.Write(damaged);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(GetText("Kept", "ok"), "yes");  // what can be read is used
    EXPECT_TRUE(hive.DamagedCopies().empty());  // reading alone changes nothing

    ASSERT_EQ(SetText("Kept", "new", "1"), ERROR_SUCCESS);
    ASSERT_EQ(SetText("Kept", "newer", "2"), ERROR_SUCCESS);
    const std::string err = ::testing::internal::GetCapturedStderr();
    const auto copies = hive.DamagedCopies();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find(copies[0]), std::string::npos) << err;
    EXPECT_EQ(hive.Contents(copies[0]), damaged);
    EXPECT_TRUE(kelvo::registry::ParseRegFile(hive.Read()).problems.empty());
    EXPECT_EQ(GetText("Kept", "ok"), "yes");
    EXPECT_EQ(GetText("Kept", "newer"), "2");
}

TEST(HiveStore, AFailedWriteChangesNothingAndAnUnreadableHiveIsNeverOverwritten)
{
    kelvo::testing::TempHive hive;
    ASSERT_EQ(SetText("W", "v", "old"), ERROR_SUCCESS);
    std::filesystem::create_directory(hive.file() + ".tmp");  // the temporary file cannot be made
    EXPECT_NE(SetText("W", "v", "new"), ERROR_SUCCESS);
    EXPECT_EQ(GetText("W", "v"), "old");
    std::filesystem::remove(hive.file() + ".tmp");
    EXPECT_EQ(SetText("W", "v", "new"), ERROR_SUCCESS);

    // A directory where the file should be, also under a key opened before.
    UniqueKey key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "W", 0, KEY_ALL_ACCESS, key.put()), ERROR_SUCCESS);
    std::filesystem::remove(hive.file());
    std::filesystem::create_directories(hive.file());
    EXPECT_EQ(SetText("X", "v", "1"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegSetValueExA(key.get(), "v", 0, REG_BINARY, reinterpret_cast<const BYTE*>("1"), 1),
              ERROR_ACCESS_DENIED);
    EXPECT_TRUE(std::filesystem::is_directory(hive.file()));
}

TEST(HiveStore, PathFollowsXdgConfigHomeAndSymbolicLinksAndSavesKeepTheMode)
{
    kelvo::testing::TempHive hive;
    const std::string target = hive.dir() + "/dotfiles.reg";
    std::ofstream(target) << "REGEDIT4\n";
    std::filesystem::permissions(target, std::filesystem::perms(0644));
    std::filesystem::create_directories(hive.kelvoDir());
    std::filesystem::create_symlink(target, hive.file());
    ASSERT_EQ(SetText("L", "v", "1"), ERROR_SUCCESS);
    EXPECT_TRUE(std::filesystem::is_symlink(hive.file()));
    EXPECT_NE(hive.Read().find("[HKEY_CURRENT_USER\\L]"), std::string::npos);
    EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms(0644));

    ::setenv("XDG_CONFIG_HOME", "relative/path", 1);  // ignored, as the XDG rules say
    const char* home = std::getenv("HOME");
    EXPECT_EQ(kelvo::registry::CurrentUserHivePath(), std::string(home != nullptr ? home : "") + "/.config/kelvo/user.reg");
}

}  // namespace
