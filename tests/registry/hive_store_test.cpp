// Durability of the hive file: two writing processes, a writer killed
// mid-save, damaged files, failed writes.
#include "registry/TempHive.h"
#include "registry/hive_format.h"
#include "registry/hive_store.h"
#include "registry/winreg.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

using kelvo::registry::UniqueKey;

namespace {

LONG SetText(const char* path, const std::string& name, const std::string& text)
{
    UniqueKey key;
    LONG status =
        RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
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

// Runs `body` in a child process; its exit status is 0 when body returned true.
pid_t Spawn(const std::function<bool()>& body)
{
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(body() ? 0 : 1);
    return pid;
}

int Wait(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

TEST(HiveStore, TwoProcessesNeverLoseEachOthersChanges)
{
    kelvo::testing::TempHive hive;
    constexpr int kWrites = 60;
    auto writer = [](int id) {
        return [id] {
            for (int i = 0; i < kWrites; ++i) {
                if (SetText("Shared", "p" + std::to_string(id) + "_" + std::to_string(i), "x") != ERROR_SUCCESS)
                    return false;
            }
            return true;
        };
    };
    pid_t a = Spawn(writer(1));
    pid_t b = Spawn(writer(2));
    ASSERT_NE(a, -1);
    ASSERT_NE(b, -1);
    EXPECT_EQ(Wait(a), 0);
    EXPECT_EQ(Wait(b), 0);
    for (int id : {1, 2})
        for (int i = 0; i < kWrites; ++i)
            EXPECT_TRUE(GetText("Shared", "p" + std::to_string(id) + "_" + std::to_string(i))) << id << " " << i;
}

TEST(HiveStore, DamagedFileIsKeptAsideBeforeTheFirstWrite)
{
    kelvo::testing::TempHive hive;
    const std::string damaged = "REGEDIT4\n[HKEY_CURRENT_USER\\Kept]\n\"ok\"=\"yes\"\n\"half\"=hex:01,0";
    hive.Write(damaged + "\xff\x01garbage");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(GetText("Kept", "ok"), "yes");  // what can be read is used
    EXPECT_TRUE(hive.DamagedCopies().empty());  // reading alone changes nothing

    ASSERT_EQ(SetText("Kept", "new", "1"), ERROR_SUCCESS);
    ASSERT_EQ(SetText("Kept", "newer", "2"), ERROR_SUCCESS);
    const std::string err = ::testing::internal::GetCapturedStderr();
    auto copies = hive.DamagedCopies();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find(copies[0]), std::string::npos) << err;
    std::ifstream in(copies[0], std::ios::binary);
    std::string kept((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(kept, damaged + "\xff\x01garbage");
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
    namespace fs = std::filesystem;
    fs::create_directories(hive.dir() + "/dotfiles");
    fs::create_directories(hive.kelvoDir());
    std::ofstream(hive.dir() + "/dotfiles/user.reg") << "REGEDIT4\n";
    fs::permissions(hive.dir() + "/dotfiles/user.reg", fs::perms::owner_read | fs::perms::owner_write |
                                                           fs::perms::group_read | fs::perms::others_read);
    fs::create_symlink(hive.dir() + "/dotfiles/user.reg", hive.file());
    ASSERT_EQ(SetText("L", "v", "1"), ERROR_SUCCESS);
    EXPECT_TRUE(fs::is_symlink(hive.file()));
    EXPECT_NE(hive.Read().find("[HKEY_CURRENT_USER\\L]"), std::string::npos);
    EXPECT_EQ(fs::status(hive.file()).permissions(), fs::perms(0644));

    ::setenv("XDG_CONFIG_HOME", "relative/path", 1);  // ignored, as the XDG rules say
    const char* home = std::getenv("HOME");
    EXPECT_EQ(kelvo::registry::CurrentUserHivePath(),
              std::string(home != nullptr ? home : "") + "/.config/kelvo/user.reg");
}

}  // namespace
