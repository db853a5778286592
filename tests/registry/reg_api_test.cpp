// The Reg* functions against a real hive file: their answers where clsRegistry
// does not reach, and the file's durability (two writing processes, damaged
// files, an unreadable hive, where the file lies and its mode).
#include "registry/TempHive.h"
#include "registry/hive_store.h"
#include "registry/winreg.h"

#include <algorithm>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

using kelvo::registry::UniqueKey;

namespace {

LONG Create(const std::string& path, UniqueKey& key)
{
    return RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
}

UniqueKey Create(const std::string& path)
{
    UniqueKey key;
    EXPECT_EQ(Create(path, key), ERROR_SUCCESS) << path.substr(0, 20);
    return key;
}

LONG Set(HKEY key, const char* name, DWORD type, std::string_view data)
{
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size()));
}

LONG SetText(const char* path, const std::string& name, const std::string& text)
{
    UniqueKey key;
    const LONG status = Create(path, key);
    return status != ERROR_SUCCESS ? status : Set(key.get(), name.c_str(), REG_SZ, {text.c_str(), text.size() + 1});
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

TEST(RegApi, BadPathsAndHandlesAreRefusedAndNoBufferIsOverrun)
{
    kelvo::testing::TempHive hive;
    std::string tooDeep;
    for (int i = 0; i < 513; ++i) tooDeep += "k\\";
    const std::pair<std::string, LONG> cases[] = {
        {"a\\\\b", ERROR_BAD_PATHNAME}, {"line\nbreak", ERROR_INVALID_PARAMETER}, {tooDeep, ERROR_BAD_PATHNAME}};
    for (const auto& [path, expected] : cases) {
        UniqueKey key;
        EXPECT_EQ(Create(path, key), expected) << path.substr(0, 20);
    }
    EXPECT_FALSE(std::filesystem::exists(hive.file())) << "nothing was written";
    Create(tooDeep.substr(0, 1024));  // 512 levels are allowed

    HKEY raw = Create("A").release();
    EXPECT_EQ(RegCloseKey(raw), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(raw), ERROR_INVALID_HANDLE) << "closed handles are never reused";
    HKEY machine = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &machine), ERROR_ACCESS_DENIED);

    Create("E\\Alpha");
    char name[8] = "xxxxxxx";
    EXPECT_EQ(RegEnumKeyA(Create("E").get(), 0, name, 5), ERROR_MORE_DATA) << "\"Alpha\" needs 6 with its NUL";
    EXPECT_EQ(name[5], 'x');
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
    EXPECT_EQ(hive.Read(copies[0]), damaged);
    EXPECT_EQ(GetText("Kept", "ok"), "yes");
}

TEST(HiveStore, AnUnreadableHiveIsNeverOverwritten)
{
    kelvo::testing::TempHive hive;
    // A directory where the file should be, also under a key opened before.
    UniqueKey key = Create("W");
    std::filesystem::remove(hive.file());
    std::filesystem::create_directories(hive.file());
    EXPECT_EQ(SetText("X", "v", "1"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Set(key.get(), "v", REG_BINARY, "1"), ERROR_ACCESS_DENIED);
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
    EXPECT_EQ(kelvo::registry::CurrentUserHivePath(),
              std::string(home != nullptr ? home : "") + "/.config/kelvo/user.reg");
}

}  // namespace
