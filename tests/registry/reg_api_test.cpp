// The Reg* functions against a real hive file: what clsRegistry does not reach.
#include "registry/TempHive.h"
#include "registry/winreg.h"

#include <gtest/gtest.h>

using kelvo::registry::UniqueKey;

namespace {

UniqueKey Create(const std::string& path)
{
    UniqueKey key;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    return key;
}

LONG Set(HKEY key, const char* name, DWORD type, std::string_view data)
{
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
}

TEST(RegApi, BadPathsOptionsAndHandlesAreRefused)
{
    kelvo::testing::TempHive hive;
    std::string tooDeep;
    for (int i = 0; i < 513; ++i) tooDeep += "k\\";
    const struct {
        std::string path;
        DWORD options;
        LONG expected;
    } cases[] = {{"\\lead", 0, ERROR_BAD_PATHNAME},
                 {"a\\\\b", 0, ERROR_BAD_PATHNAME},
                 {"line\nbreak", 0, ERROR_INVALID_PARAMETER},
                 {std::string(256, 'k'), 0, ERROR_INVALID_PARAMETER},
                 {tooDeep, 0, ERROR_BAD_PATHNAME},
                 {"v", REG_OPTION_VOLATILE, ERROR_INVALID_PARAMETER}};
    for (const auto& c : cases) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, c.path.c_str(), 0, nullptr, c.options, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  c.expected)
            << c.path.substr(0, 20);
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
    ASSERT_EQ(Set(key.get(), "Text", REG_SZ, std::string_view("abcdef", 7)), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key.get(), "text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 7u);
    char buffer[8];
    size = 6;
    EXPECT_EQ(RegQueryValueExA(key.get(), "Text", nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 7u);
    size = 7;  // exactly the value's size
    EXPECT_EQ(RegQueryValueExA(key.get(), "Text", nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "abcdef");
    EXPECT_EQ(RegQueryValueExA(key.get(), "Text", nullptr, &type, reinterpret_cast<LPBYTE>(buffer), nullptr),
              ERROR_INVALID_PARAMETER);

    // A change of type alone is a change.
    ASSERT_EQ(Set(key.get(), "Text", REG_BINARY, std::string_view("abcdef", 7)), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(key.get(), "Text", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
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

}  // namespace
