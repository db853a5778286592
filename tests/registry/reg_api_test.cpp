// The Reg* functions against a real hive file.
#include "registry/TempHive.h"
#include "registry/globalmem.h"
#include "registry/winreg.h"

#include <cstring>
#include <gtest/gtest.h>

using kelvo::registry::UniqueKey;

namespace {

class RegApi : public ::testing::Test {
protected:
    kelvo::testing::TempHive hive;

    UniqueKey Create(const char* path)
    {
        UniqueKey key;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    void SetString(HKEY key, const char* name, const char* text)
    {
        ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                 static_cast<DWORD>(std::strlen(text) + 1)),
                  ERROR_SUCCESS);
    }
};

TEST_F(RegApi, CreateOpenAndDispositions)
{
    UniqueKey key;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Quennel\\Kelvo", 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, key.put(), &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    UniqueKey again;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "software\\QUENNEL\\kelvo", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              again.put(), &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    UniqueKey opened;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quennel\\Kelvo", 0, KEY_READ, opened.put()), ERROR_SUCCESS);
    HKEY missing = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Nobody", 0, KEY_READ, &missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, nullptr);
    // Names keep the case they were created with.
    EXPECT_NE(hive.Read().find("[HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo]"), std::string::npos);
}

TEST_F(RegApi, BadPathsAndOptionsAreRefused)
{
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "\\lead", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "a\\\\b", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "line\nbreak", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, std::string(256, 'k').c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "v", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "x", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(std::filesystem::exists(hive.file()));  // nothing was written
}

TEST_F(RegApi, InvalidAndRefusedHandles)
{
    HKEY bogus = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0xdead0));
    BYTE data[4];
    DWORD size = 4;
    EXPECT_EQ(RegQueryValueExA(bogus, "x", nullptr, nullptr, data, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExA(nullptr, "x", nullptr, nullptr, data, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueExA(nullptr, "x", 0, REG_DWORD, data, 4), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(bogus), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);

    UniqueKey key = Create("A");
    HKEY raw = key.release();
    EXPECT_EQ(RegCloseKey(raw), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(raw), ERROR_INVALID_HANDLE);  // closed handles are never reused
    EXPECT_EQ(RegEnumKeyA(raw, 0, reinterpret_cast<char*>(data), 4), ERROR_INVALID_HANDLE);

    HKEY machine = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &machine), ERROR_ACCESS_DENIED);
}

TEST_F(RegApi, ConnectRegistryOnlyReachesThisComputer)
{
    UniqueKey local;
    EXPECT_EQ(RegConnectRegistryA("", HKEY_CURRENT_USER, local.put()), ERROR_SUCCESS);
    EXPECT_NE(local.get(), nullptr);
    UniqueKey viaNull;
    EXPECT_EQ(RegConnectRegistryA(nullptr, HKEY_CURRENT_USER, viaNull.put()), ERROR_SUCCESS);
    HKEY remote = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegConnectRegistryA("\\\\elsewhere", HKEY_CURRENT_USER, &remote), ERROR_BAD_NETPATH);
    EXPECT_EQ(remote, nullptr);
    UniqueKey sub = Create("Sub");
    EXPECT_EQ(RegConnectRegistryA("", sub.get(), &remote), ERROR_INVALID_HANDLE);
}

TEST_F(RegApi, QueryValueSizesAndBufferTooSmall)
{
    UniqueKey key = Create("Q");
    SetString(key.get(), "Text", "abcdef");
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key.get(), "text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(RegQueryValueExA(key.get(), "Text", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    char small[3] = {'.', '.', '.'};
    size = 3;
    EXPECT_EQ(RegQueryValueExA(key.get(), "Text", nullptr, &type, reinterpret_cast<LPBYTE>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(small[0], '.');  // nothing written on a failed query
    char big[16];
    size = sizeof big;
    EXPECT_EQ(RegQueryValueExA(key.get(), "Text", nullptr, &type, reinterpret_cast<LPBYTE>(big), &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 7u);
    EXPECT_STREQ(big, "abcdef");
    EXPECT_EQ(RegQueryValueExA(key.get(), "Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(key.get(), "Text", nullptr, &type, reinterpret_cast<LPBYTE>(big), nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST_F(RegApi, AccessMaskIsHonoured)
{
    Create("R");
    UniqueKey readOnly;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "R", 0, KEY_READ, readOnly.put()), ERROR_SUCCESS);
    const BYTE one = 1;
    EXPECT_EQ(RegSetValueExA(readOnly.get(), "v", 0, REG_BINARY, &one, 1), ERROR_ACCESS_DENIED);
    UniqueKey writeOnly;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "R", 0, KEY_SET_VALUE, writeOnly.put()), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(writeOnly.get(), "v", 0, REG_BINARY, &one, 1), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(writeOnly.get(), "v", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
}

TEST_F(RegApi, DeleteKeyRulesAndDeletedHandles)
{
    UniqueKey parent = Create("P\\Child");
    UniqueKey p;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "P", 0, KEY_ALL_ACCESS, p.put()), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "P"), ERROR_ACCESS_DENIED);  // has subkeys, as on NT
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "P\\Nope"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, ""), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyA(p.get(), "CHILD"), ERROR_SUCCESS);
    const BYTE one = 1;
    EXPECT_EQ(RegSetValueExA(parent.get(), "v", 0, REG_BINARY, &one, 1), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "P"), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(p.get(), "v", 0, REG_BINARY, &one, 1), ERROR_KEY_DELETED);
}

TEST_F(RegApi, DeleteValue)
{
    UniqueKey key = Create("D");
    SetString(key.get(), "Gone", "x");
    EXPECT_EQ(RegDeleteValueA(key.get(), "GONE"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key.get(), "Gone"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(hive.Read().find("Gone"), std::string::npos);
}

TEST_F(RegApi, EnumerationsInOrderWithEndCodes)
{
    UniqueKey key = Create("E");
    for (const char* name : {"beta", "Alpha", "gamma"}) {
        UniqueKey sub;
        ASSERT_EQ(RegCreateKeyExA(key.get(), name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, sub.put(), nullptr),
                  ERROR_SUCCESS);
    }
    SetString(key.get(), "z", "1");
    SetString(key.get(), "a", "2");
    char name[8];
    ASSERT_EQ(RegEnumKeyA(key.get(), 0, name, sizeof name), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Alpha");  // subkeys in alphabetical order, letter case ignored
    ASSERT_EQ(RegEnumKeyA(key.get(), 1, name, sizeof name), ERROR_SUCCESS);
    EXPECT_STREQ(name, "beta");
    EXPECT_EQ(RegEnumKeyA(key.get(), 3, name, sizeof name), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegEnumKeyA(key.get(), 0, name, 5), ERROR_MORE_DATA);  // "Alpha" needs 6 with its NUL

    DWORD length = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(key.get(), 2, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(length, 5u);
    EXPECT_STREQ(name, "gamma");
    length = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key.get(), 3, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    // Values come in creation order.
    DWORD type = 0;
    BYTE data[4];
    DWORD dataLength = sizeof data;
    length = sizeof name;
    ASSERT_EQ(RegEnumValueA(key.get(), 0, name, &length, nullptr, &type, data, &dataLength), ERROR_SUCCESS);
    EXPECT_STREQ(name, "z");
    EXPECT_EQ(length, 1u);
    EXPECT_EQ(dataLength, 2u);
    EXPECT_EQ(type, REG_SZ);
    length = sizeof name;
    EXPECT_EQ(RegEnumValueA(key.get(), 2, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    dataLength = 1;
    length = sizeof name;
    EXPECT_EQ(RegEnumValueA(key.get(), 1, name, &length, nullptr, nullptr, data, &dataLength), ERROR_MORE_DATA);
    EXPECT_EQ(dataLength, 2u);

    DWORD subkeys = 0, values = 0, maxSub = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, &maxSub, nullptr, &values, &maxName,
                               &maxData, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 3u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(maxSub, 5u);
    EXPECT_EQ(maxName, 1u);
    EXPECT_EQ(maxData, 2u);
}

TEST_F(RegApi, ValuesKeepExactTypeAndBytesOnDisk)
{
    UniqueKey key = Create("SOFTWARE\\Quennel\\Kelvo");
    const BYTE dword[] = {0x96, 0, 0, 0};
    ASSERT_EQ(RegSetValueExA(key.get(), "Frequency", 0, REG_DWORD, dword, 4), ERROR_SUCCESS);
    const BYTE yes = 'y';
    ASSERT_EQ(RegSetValueExA(key.get(), "DirectX", 0, REG_SZ, &yes, 1), ERROR_SUCCESS);
    const BYTE odd[] = {1, 2, 3};
    ASSERT_EQ(RegSetValueExA(key.get(), "Short", 0, REG_DWORD, odd, 3), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.get(), nullptr, 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    EXPECT_EQ(hive.Read(),
              "REGEDIT4\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE]\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\Quennel]\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo]\n"
              "\"Frequency\"=dword:00000096\n"
              "\"DirectX\"=hex(1):79\n"
              "\"Short\"=hex(4):01,02,03\n"
              "@=hex(3):\n\n");
}

TEST_F(RegApi, SeesChangesMadeByOthersToTheFile)
{
    UniqueKey key = Create("Live");
    hive.Write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Live]\n\"Edited\"=\"by hand\"\n");
    char text[16];
    DWORD size = sizeof text;
    ASSERT_EQ(RegQueryValueExA(key.get(), "Edited", nullptr, nullptr, reinterpret_cast<LPBYTE>(text), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(text, "by hand");
}

TEST(GlobalMemory, MovableBlocksGrowLockAndFree)
{
    kelvo::registry::GlobalBlock block(GlobalAlloc(GHND, 4));
    ASSERT_NE(block.get(), nullptr);
    EXPECT_EQ(GlobalSize(block.get()), 4u);
    {
        kelvo::registry::GlobalLockGuard lock(block.get());
        ASSERT_NE(lock.data(), nullptr);
        static_cast<BYTE*>(lock.data())[0] = 42;
        // A locked block never moves, so it cannot grow past its storage.
        EXPECT_EQ(GlobalReAlloc(block.get(), 1 << 20, GMEM_MOVEABLE), nullptr);
    }
    EXPECT_EQ(GlobalReAlloc(block.get(), 1 << 20, GMEM_MOVEABLE | GMEM_ZEROINIT), block.get());
    EXPECT_EQ(GlobalSize(block.get()), 1u << 20);
    auto* data = static_cast<BYTE*>(GlobalLock(block.get()));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data[0], 42);
    EXPECT_EQ(data[(1 << 20) - 1], 0);
    EXPECT_EQ(GlobalLock(block.get()), data);
    EXPECT_EQ(GlobalUnlock(block.get()), TRUE);  // still locked once
    EXPECT_EQ(GlobalUnlock(block.get()), FALSE);
    EXPECT_EQ(GlobalUnlock(block.get()), FALSE);  // not locked at all
}

TEST(GlobalMemory, InvalidHandlesAreHarmless)
{
    HGLOBAL bogus = reinterpret_cast<HGLOBAL>(static_cast<std::uintptr_t>(0x1234));
    EXPECT_EQ(GlobalLock(bogus), nullptr);
    EXPECT_EQ(GlobalUnlock(bogus), FALSE);
    EXPECT_EQ(GlobalReAlloc(bogus, 10, GMEM_MOVEABLE), nullptr);
    EXPECT_EQ(GlobalSize(bogus), 0u);
    EXPECT_EQ(GlobalFree(bogus), bogus);
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 0);
    EXPECT_EQ(GlobalLock(h), nullptr);  // as documented for a zero-byte block
    EXPECT_EQ(GlobalFree(h), nullptr);
    EXPECT_EQ(GlobalFree(h), h);
}

}  // namespace
