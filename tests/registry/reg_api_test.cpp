// The Reg* functions against a real hive file: their answers where clsRegistry
// does not reach, and the file's durability (two writing processes, damaged
// files, failed writes, where the file lies and its mode).
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

LONG Create(const std::string& path, UniqueKey& key, DWORD options = 0)
{
    return RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr, key.put(),
                           nullptr);
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

TEST(RegApi, BadPathsOptionsAndHandlesAreRefused)
{
    kelvo::testing::TempHive hive;
    std::string tooDeep;
    for (int i = 0; i < 513; ++i) tooDeep += "k\\";
    const std::tuple<std::string, DWORD, LONG> cases[] = {{"\\lead", 0, ERROR_BAD_PATHNAME},
                                                          {"a\\\\b", 0, ERROR_BAD_PATHNAME},
                                                          {"line\nbreak", 0, ERROR_INVALID_PARAMETER},
                                                          {std::string(256, 'k'), 0, ERROR_INVALID_PARAMETER},
                                                          {tooDeep, 0, ERROR_BAD_PATHNAME},
                                                          {"v", REG_OPTION_VOLATILE, ERROR_INVALID_PARAMETER}};
    for (const auto& [path, options, expected] : cases) {
        UniqueKey key;
        EXPECT_EQ(Create(path, key, options), expected) << path.substr(0, 20);
    }
    EXPECT_FALSE(std::filesystem::exists(hive.file())) << "nothing was written";
    Create(tooDeep.substr(0, 1024));  // 512 levels are allowed

    HKEY raw = Create("A").release();
    EXPECT_EQ(RegCloseKey(raw), ERROR_SUCCESS);
    BYTE data[4];
    DWORD size = 4;
    for (HKEY bad : {raw, static_cast<HKEY>(nullptr), reinterpret_cast<HKEY>(std::uintptr_t{0xdead0})}) {
        EXPECT_EQ(RegQueryValueExA(bad, "x", nullptr, nullptr, data, &size), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegCloseKey(bad), ERROR_INVALID_HANDLE) << "closed handles are never reused";
    }
    HKEY machine = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &machine), ERROR_ACCESS_DENIED);
}

TEST(RegApi, QueriesTellTheSizeAndTakeABufferOfExactlyThatSize)
{
    kelvo::testing::TempHive hive;
    UniqueKey key = Create("Q");
    ASSERT_EQ(Set(key.get(), "Text", REG_SZ, {"abcdef", 7}), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    char buffer[8];
    const auto query = [&](char* data, DWORD* cbData) {
        return RegQueryValueExA(key.get(), "text", nullptr, &type, reinterpret_cast<LPBYTE>(data), cbData);
    };
    EXPECT_EQ(query(nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 7u);
    size = 6;
    EXPECT_EQ(query(buffer, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 7u);
    size = 7;  // exactly the value's size
    EXPECT_EQ(query(buffer, &size), ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "abcdef");
    EXPECT_EQ(query(buffer, nullptr), ERROR_INVALID_PARAMETER);

    // A change of type alone is a change.
    ASSERT_EQ(Set(key.get(), "Text", REG_BINARY, {"abcdef", 7}), ERROR_SUCCESS);
    EXPECT_EQ(query(nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
}

TEST(RegApi, AccessMasksAndDeletedKeysAreHonoured)
{
    kelvo::testing::TempHive hive;
    UniqueKey child = Create("R\\Child");
    UniqueKey readOnly, writeOnly;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "R", 0, KEY_READ, readOnly.put()), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "R", 0, KEY_SET_VALUE, writeOnly.put()), ERROR_SUCCESS);
    EXPECT_EQ(Set(readOnly.get(), "v", REG_BINARY, "1"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Set(writeOnly.get(), "v", REG_BINARY, "1"), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(writeOnly.get(), "v", nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "R\\Nope"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(readOnly.get(), "CHILD"), ERROR_SUCCESS);
    EXPECT_EQ(Set(child.get(), "v", REG_BINARY, "1"), ERROR_KEY_DELETED);
}

TEST(RegApi, EnumerationsEndAndNeverOverrunTheBuffer)
{
    kelvo::testing::TempHive hive;
    UniqueKey key = Create("E");
    Create("E\\Alpha");
    ASSERT_EQ(Set(key.get(), "z", REG_SZ, std::string_view("1", 2)), ERROR_SUCCESS);
    char name[8] = "xxxxxxx";
    EXPECT_EQ(RegEnumKeyA(key.get(), 0, name, 5), ERROR_MORE_DATA) << "\"Alpha\" needs 6 with its NUL";
    EXPECT_EQ(name[5], 'x');
    DWORD length = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key.get(), 1, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    DWORD type = 0, dataLength = 1;
    BYTE data[4];
    EXPECT_EQ(RegEnumValueA(key.get(), 0, name, &length, nullptr, &type, data, &dataLength), ERROR_MORE_DATA);
    EXPECT_EQ(dataLength, 2u);
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
