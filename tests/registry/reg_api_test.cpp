// The Reg* functions against a real hive file: their answers where clsRegistry
// does not reach, and the file's durability (two writing processes, damaged
// files, an unreadable hive, where the file lies and its mode).
#include "registry/TempHive.h"
#include "registry/hive_store.h"
#include "registry/winreg.h"

#include <algorithm>
#include <sys/wait.h>
#include <unistd.h>

using kelvo::registry::UniqueKey;
using kelvo::testing::SetValue;

namespace {

using RegApi = kelvo::testing::HiveTest;
using HiveStore = kelvo::testing::HiveTest;

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

LONG SetText(const char* path, const std::string& name, const std::string& text)
{
    UniqueKey key;
    const LONG status = Create(path, key);
    return status == ERROR_SUCCESS ? SetValue(key.get(), name.c_str(), REG_SZ, {text.data(), text.size() + 1}) : status;
}

// Status, size and the buffer's first four bytes after a query or enumeration
// into `capacity` bytes that start as 'x'.
std::tuple<LONG, DWORD, std::string> Read(HKEY key, const char* name, DWORD capacity, bool enumerate = false)
{
    std::string data(8, 'x');
    char found[16];
    DWORD foundSize = sizeof found;
    auto* out = reinterpret_cast<LPBYTE>(data.data());
    const LONG status = enumerate ? RegEnumValueA(key, 0, found, &foundSize, nullptr, nullptr, out, &capacity)
                                  : RegQueryValueExA(key, name, nullptr, nullptr, out, &capacity);
    return {status, capacity, data.substr(0, 4)};
}

TEST_F(RegApi, BadPathsAreRefusedAndNoBufferIsOverrun)
{
    std::string tooDeep;
    for (int i = 0; i < 513; ++i) tooDeep += "k\\";
    // Trailing backslashes name the key itself, no subkey under it.
    const std::pair<std::string, LONG> cases[] = {{"a\\\\b", ERROR_BAD_PATHNAME}, {"line\nbreak", ERROR_INVALID_PARAMETER},
        {tooDeep, ERROR_BAD_PATHNAME}, {"T\\", ERROR_SUCCESS}, {"T\\\\", ERROR_SUCCESS}};
    for (const auto& [path, expected] : cases) {
        UniqueKey key;
        EXPECT_EQ(Create(path, key), expected) << path.substr(0, 20);
        if (!expected) {
            EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()), ERROR_SUCCESS);
        }
    }
    EXPECT_EQ(hive.Read(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\T]\n\n") << "nothing of the bad paths was written";
    Create(tooDeep.substr(0, 1024));  // 512 levels are allowed

    Create("E\\Alpha");
    char name[8] = "xxxxxxx";
    EXPECT_EQ(RegEnumKeyA(Create("E").get(), 0, name, 5), ERROR_MORE_DATA) << "\"Alpha\" needs 6 with its NUL";
    EXPECT_EQ(name[5], 'x');

    // Listing keeps its place between calls: backwards, from another handle, after a change.
    const UniqueKey e = Create("E"), again = Create("E");
    Create("E\\Beta");
    const std::tuple<HKEY, DWORD, const char*> steps[] = {{e.get(), 0, "Alpha"}, {e.get(), 1, "Beta"},
        {again.get(), 0, "Alpha"}, {e.get(), 1, "Azure"}, {e.get(), 2, "Beta"}, {e.get(), 0, "Alpha"}, {e.get(), 3, ""}};
    for (const auto& [key, index, expected] : steps) {
        if (std::string(expected) == "Azure") Create("E\\Azure");
        std::strcpy(name, "");
        EXPECT_EQ(RegEnumKeyA(key, index, name, sizeof name), *expected ? ERROR_SUCCESS : ERROR_NO_MORE_ITEMS) << index;
        EXPECT_STREQ(name, expected);
    }
}

TEST_F(HiveStore, TwoProcessesNeverLoseEachOthersChanges)
{
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
    const std::string text = hive.Read();
    for (int id : {1, 2})
        for (int i = 0; i < 60; ++i) EXPECT_NE(text.find(name(id, i) + "\"=\"x\""), std::string::npos) << name(id, i);
}

TEST_F(HiveStore, DamagedFileIsKeptAsideOnceBeforeTheFirstWrite)
{
    const std::string damaged = "REGEDIT4\n[HKEY_CURRENT_USER\\Kept]\n\"ok\"=\"yes\"\n\"half\"=hex:01,0\xff\x01garbage";
    hive.Write(damaged);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(std::get<2>(Read(Create("Kept").get(), "ok", 4)), std::string("yes\0", 4));  // what can be read is used
    EXPECT_TRUE(hive.DamagedCopies().empty());  // reading alone changes nothing

    ASSERT_EQ(SetText("Kept", "new", "1"), ERROR_SUCCESS);
    ASSERT_EQ(SetText("Kept", "newer", "2"), ERROR_SUCCESS);
    const std::string err = ::testing::internal::GetCapturedStderr();
    const auto copies = hive.DamagedCopies();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find(copies[0]), std::string::npos) << err;
    EXPECT_EQ(hive.Read(copies[0]), damaged);
    EXPECT_NE(hive.Read().find("\"ok\"=\"yes\""), std::string::npos) << "and kept in the new file";
}

TEST_F(HiveStore, AnUnreadableHiveIsNeverOverwritten)
{
    // A directory where the file should be, also under a key opened before.
    UniqueKey key = Create("W");
    std::filesystem::remove(hive.file());
    std::filesystem::create_directories(hive.file());
    EXPECT_EQ(SetText("X", "v", "1"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetValue(key.get(), "v", REG_BINARY, "1"), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(std::filesystem::is_directory(hive.file()));
}

TEST_F(HiveStore, PathFollowsXdgConfigHomeAndSymbolicLinksAndSavesKeepTheMode)
{
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

// What each Reg* call answers as Windows does, call for call.

TEST_F(RegApi, StringsKeepATerminatorThatFollowsTheLengthGivenAndGainOneWhereThereIsRoom)
{
    UniqueKey key = Create("S");
    const std::tuple<DWORD, const char*, DWORD, LONG, DWORD> cases[] = {
        // type, the data and the byte after it, the length given; a query of that length, the size stored
        {REG_SZ, "y", 1, ERROR_MORE_DATA, 2},         {REG_SZ, "yz", 1, ERROR_SUCCESS, 1},
        {REG_EXPAND_SZ, "ab", 2, ERROR_MORE_DATA, 3}, {REG_MULTI_SZ, "ab", 2, ERROR_MORE_DATA, 3},
        {REG_SZ, "y\0", 2, ERROR_SUCCESS, 2},         {REG_BINARY, "y", 1, ERROR_SUCCESS, 1},
        {REG_SZ, "", 0, ERROR_SUCCESS, 0}};
    for (const auto& [type, bytes, length, status, stored] : cases) {
        SetValue(key.get(), "v", type, {bytes, length});
        const auto [answer, size, data] = Read(key.get(), "v", length);
        EXPECT_TRUE(answer == status && size == stored) << type << bytes << ": " << answer << " " << size;
    }

    // Stored without one, a string reads back terminated where there is room.
    key = Create("U");
    SetValue(key.get(), "text", REG_SZ, {"ab!", 2});
    SetValue(key.get(), "bytes", REG_BINARY, {"ab!", 2});
    const std::tuple<const char*, DWORD, bool, std::string> unterminated[] = {  // name, capacity, enumerated; bytes after
        {"text", 3, false, {"ab\0x", 4}}, {"text", 2, false, "abxx"}, {"text", 3, true, {"ab\0x", 4}},
        {"bytes", 3, false, "abxx"}};
    for (const auto& [name, capacity, enumerate, after] : unterminated)
        EXPECT_EQ(Read(key.get(), name, capacity, enumerate), std::make_tuple(ERROR_SUCCESS, 2u, after)) << name;
}

TEST_F(RegApi, EnumValueAndQueryValueAnswerTypeAndSizeWhenTheNameOrTheDataDoesNotFit)
{
    UniqueKey key = Create("E");
    SetValue(key.get(), "longname", REG_SZ, {"abcdef", 7});
    const std::tuple<DWORD, DWORD, LONG, std::string, std::string> cases[] = {
        // name and data capacity; status, name and data after
        {4, 16, ERROR_MORE_DATA, "-", "abcdef"}, {32, 3, ERROR_MORE_DATA, "-", "-"},
        {32, 16, ERROR_SUCCESS, "longname", "abcdef"}, {9, 7, ERROR_SUCCESS, "longname", "abcdef"}};
    for (auto [nameSize, size, status, name, data] : cases) {
        char nameOut[32] = "-", dataOut[16] = "-";
        DWORD type = 0;
        EXPECT_EQ(RegEnumValueA(key.get(), 0, nameOut, &nameSize, nullptr, &type, reinterpret_cast<LPBYTE>(dataOut),
                                &size), status);
        EXPECT_TRUE(type == REG_SZ && size == 7 && nameOut == name && dataOut == data) << name << " " << data;
    }
    // A query reads the size before it writes the type: the size given in the
    // one variable for both; the status, the variable after.
    BYTE data[8];
    for (auto [both, status] : {std::pair<DWORD, LONG>{7, ERROR_SUCCESS}, {1, ERROR_MORE_DATA}})
        EXPECT_TRUE(RegQueryValueExA(key.get(), "longname", nullptr, &both, data, &both) == status && both == 7) << status;
}

TEST_F(RegApi, DeletingTheEmptySubkeyDeletesTheHandlesOwnKey)
{
    UniqueKey key = Create("D"), other;
    EXPECT_EQ(RegDeleteKeyA(key.get(), ""), ERROR_SUCCESS);
    const std::pair<LONG, LONG> cases[] = {
        {RegOpenKeyExA(HKEY_CURRENT_USER, "D", 0, KEY_READ, other.put()), ERROR_FILE_NOT_FOUND},
        {SetValue(key.get(), "v", REG_SZ, {"1", 2}), ERROR_KEY_DELETED},
        {RegDeleteKeyA(key.get(), ""), ERROR_KEY_DELETED},
        {RegDeleteKeyA(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED}};
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].first, cases[i].second) << i;
}

TEST_F(RegApi, RootsAreKnownByTheirLow32BitsAndFailedOpensAndCreatesSetTheCallersHandleToNull)
{
    const HKEY closed = Create("O").release(), mark = reinterpret_cast<HKEY>(std::uintptr_t{0x1234});
    RegCloseKey(closed);
    const std::uintptr_t high = sizeof(std::uintptr_t) > 4 ? std::uintptr_t{0x12345678} << 32 : 0;
    const std::pair<std::uintptr_t, LONG> roots[] = {
        {0x80000001u, ERROR_SUCCESS}, {high | 0x80000001u, ERROR_SUCCESS}, {0x80000002u, ERROR_ACCESS_DENIED}};
    for (const auto& [value, expected] : roots) {
        UniqueKey key;
        const HKEY root = reinterpret_cast<HKEY>(value);
        EXPECT_TRUE(RegOpenKeyExA(root, "O", 0, KEY_READ, key.put()) == expected && RegCloseKey(root) == 0) << value;
    }
    const std::tuple<HKEY, const char*, LONG> cases[] = {  // parent, subkey; status
        {nullptr, "O", ERROR_INVALID_HANDLE}, {closed, "O", ERROR_INVALID_HANDLE},
        {HKEY_CURRENT_USER, "\\O", ERROR_BAD_PATHNAME}, {HKEY_CURRENT_USER, nullptr, ERROR_INVALID_PARAMETER}};
    for (const auto& [parent, sub, status] : cases) {
        HKEY opened = mark, created = mark;
        if (sub) {
            EXPECT_TRUE(RegOpenKeyExA(parent, sub, 0, KEY_READ, &opened) == status && opened == nullptr) << parent;
        }
        EXPECT_TRUE(RegCreateKeyExA(parent, sub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr) == status &&
                    created == nullptr) << parent;
    }
    HKEY missing = mark;
    EXPECT_TRUE(RegOpenKeyExA(HKEY_CURRENT_USER, "Missing", 0, KEY_READ, &missing) == ERROR_FILE_NOT_FOUND && !missing);
}

TEST_F(RegApi, QueryInfoKeyCountsStringDataAsUtf16)
{
    UniqueKey key = Create("I");
    const std::tuple<DWORD, std::string_view, DWORD> cases[] = {  // a value added; the largest data after
        {REG_SZ, {"abc", 4}, 8}, {REG_BINARY, "1234567", 8}, {REG_BINARY, "123456789", 9},
        {REG_EXPAND_SZ, {"abcde!", 5}, 10}};
    for (const auto& [type, data, largest] : cases) {
        SetValue(key.get(), std::to_string(type * 100 + data.size()).c_str(), type, data);
        DWORD answer = 0;
        RegQueryInfoKeyA(key.get(), 0, 0, 0, 0, 0, 0, 0, 0, &answer, 0, 0);
        EXPECT_EQ(answer, largest) << type << " " << data.size();
    }
}

TEST_F(RegApi, GenericRightsMapOntoKeyRightsAndCreateNeedsNoneOfTheParent)
{
    // A create under a parent opened with fewer rights creates the subkey.
    Create("P");
    for (REGSAM sam : {KEY_NOTIFY, KEY_READ}) {
        UniqueKey parent, child;
        DWORD disposition = 0;
        RegOpenKeyExA(HKEY_CURRENT_USER, "P", 0, sam, parent.put());
        EXPECT_EQ(RegCreateKeyExA(parent.get(), std::to_string(sam).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  child.put(), &disposition) * 10 + disposition, REG_CREATED_NEW_KEY) << sam;
        EXPECT_EQ(SetValue(parent.get(), "v", REG_SZ, {"1", 2}), ERROR_ACCESS_DENIED) << "values still need the right";
    }
    SetText("G", "v", "1");
    constexpr LONG ok = ERROR_SUCCESS, denied = ERROR_ACCESS_DENIED, none = ERROR_NO_MORE_ITEMS;
    const std::tuple<REGSAM, LONG, LONG, LONG> cases[] = {  // rights asked; a query, a set, a subkey listing
        {MAXIMUM_ALLOWED, ok, ok, none}, {GENERIC_READ, ok, denied, none}, {GENERIC_WRITE, denied, ok, denied},
        {GENERIC_ALL, ok, ok, none}};
    for (const auto& [sam, query, set, list] : cases) {
        UniqueKey key;
        char text[4];
        RegOpenKeyExA(HKEY_CURRENT_USER, "G", 0, sam, key.put());
        const LONG answers[] = {std::get<0>(Read(key.get(), "v", 4)), SetValue(key.get(), "v", REG_SZ, {"2", 2}),
                                RegEnumKeyA(key.get(), 0, text, sizeof text)};
        EXPECT_TRUE(answers[0] == query && answers[1] == set && answers[2] == list) << std::hex << sam;
    }
}

}  // namespace
