// clsRegistry against a real hive file: every operation and what goes wrong.
#include "registry/TempHive.h"
#include "common/RuntimeError.h"
#include "settings/clsRegistry.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

class Registry : public ::testing::Test {
protected:
    kelvo::testing::TempHive hive;
    clsRegistry reg;

    void SetUp() override { ASSERT_TRUE(reg.CreateKey("SOFTWARE\\Test", true, HKEY_CURRENT_USER)); }
    void Raw(const char* name, DWORD type, std::string_view data)
    {
        ASSERT_EQ(RegSetValueExA(reg.Key(), name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }
};

TEST(RegistryNew, StartsEmptyAndCloseDoesNothing)
{
    kelvo::testing::TempHive hive;
    clsRegistry reg;
    EXPECT_EQ(reg.Key(), nullptr);
    EXPECT_EQ(reg.Status(), 0);
    reg.CloseKey();
    EXPECT_EQ(reg.Status(), 0);
    LONG lValue = 7;
    EXPECT_FALSE(reg.ReadLongValue("x", lValue, 1));
    EXPECT_EQ(reg.Status(), ERROR_INVALID_HANDLE);  // no current key
    EXPECT_EQ(lValue, 7);
    EXPECT_FALSE(reg.QueryValue());
}

TEST_F(Registry, LongValues)
{
    LONG lValue = 5;
    EXPECT_TRUE(reg.ReadLongValue("Missing", lValue, 150));
    EXPECT_EQ(lValue, 150);
    EXPECT_EQ(reg.Status(), 0);
    lValue = 5;
    EXPECT_FALSE(reg.ReadLongValue("Missing", lValue));
    EXPECT_EQ(reg.Status(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(lValue, 5);
    EXPECT_TRUE(reg.WriteLongValue("L", -2));
    EXPECT_TRUE(reg.ReadLongValue("l", lValue));
    EXPECT_EQ(lValue, -2);
    Raw("Short", REG_SZ, std::string_view("45\0", 3));  // replaces only the low-order bytes
    lValue = 0x11223344;
    EXPECT_TRUE(reg.ReadLongValue("Short", lValue));
    EXPECT_EQ(lValue, 0x11003534);
    Raw("Long", REG_BINARY, "12345");
    lValue = 9;
    EXPECT_FALSE(reg.ReadLongValue("Long", lValue, 150));
    EXPECT_EQ(reg.Status(), ERROR_MORE_DATA);
    EXPECT_EQ(lValue, 9);
    EXPECT_TRUE(reg.ReadLongValue("Missing", lValue, 2.5));  // halves to even
    EXPECT_EQ(lValue, 2);
    EXPECT_THROW(reg.ReadLongValue("Missing", lValue, 3e9), RuntimeError);
    EXPECT_NE(hive.Read().find("\"L\"=dword:fffffffe"), std::string::npos);
}

TEST_F(Registry, IntegerValuesAndOverflow)
{
    std::int16_t iValue = 3;
    EXPECT_TRUE(reg.WriteIntegerValue("I", -1));
    EXPECT_NE(hive.Read().find("\"I\"=dword:ffffffff"), std::string::npos);
    EXPECT_TRUE(reg.ReadIntegerValue("I", iValue));
    EXPECT_EQ(iValue, -1);
    EXPECT_FALSE(reg.ReadIntegerValue("Missing", iValue));
    EXPECT_EQ(iValue, 0);
    EXPECT_TRUE(reg.ReadIntegerValue("Missing", iValue, 12));
    EXPECT_EQ(iValue, 12);
    ASSERT_TRUE(reg.WriteLongValue("Big", 40000));
    iValue = 5;
    try {
        reg.ReadIntegerValue("Big", iValue);
        ADD_FAILURE() << "no overflow error";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), ErrorNumber::Overflow);
    }
    EXPECT_EQ(iValue, 5);
    EXPECT_THROW(reg.ReadIntegerValue("Missing", iValue, 32768), RuntimeError);
}

TEST_F(Registry, BooleanValues)
{
    bool bValue = false;
    EXPECT_TRUE(reg.WriteBooleanValue("B", true));
    EXPECT_NE(hive.Read().find("\"B\"=hex(1):79\n"), std::string::npos);  // one byte, no NUL
    EXPECT_TRUE(reg.ReadBooleanValue("B", bValue));
    EXPECT_TRUE(bValue);
    EXPECT_TRUE(reg.WriteBooleanValue("B", false));
    EXPECT_TRUE(reg.ReadBooleanValue("B", bValue));
    EXPECT_FALSE(bValue);
    Raw("Typed", REG_SZ, std::string_view("Y\0", 2));
    EXPECT_TRUE(reg.ReadBooleanValue("Typed", bValue));
    EXPECT_TRUE(bValue);
    Raw("Three", REG_SZ, std::string_view("yes\0", 4));
    bValue = true;
    EXPECT_FALSE(reg.ReadBooleanValue("Three", bValue));
    EXPECT_EQ(reg.Status(), ERROR_MORE_DATA);
    EXPECT_FALSE(bValue);
    Raw("Empty", REG_SZ, "");
    EXPECT_TRUE(reg.ReadBooleanValue("Empty", bValue));
    EXPECT_FALSE(bValue);

    EXPECT_TRUE(reg.ReadBooleanValue("Missing", bValue, true));
    EXPECT_TRUE(bValue);
    EXPECT_TRUE(reg.ReadBooleanValue("Missing", bValue, "Y"));
    EXPECT_TRUE(bValue);
    EXPECT_TRUE(reg.ReadBooleanValue("Missing", bValue, "yes"));
    EXPECT_FALSE(bValue);
    EXPECT_TRUE(reg.ReadBooleanValue("Missing", bValue, false));
    EXPECT_FALSE(bValue);
    bValue = true;
    EXPECT_FALSE(reg.ReadBooleanValue("Missing", bValue));
    EXPECT_FALSE(bValue);
    EXPECT_EQ(reg.Status(), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, StringValuesGrowTheirBuffer)
{
    std::string sValue;
    EXPECT_TRUE(reg.WriteStringValue("S", "abc"));
    EXPECT_NE(hive.Read().find("\"S\"=\"abc\"\n"), std::string::npos);
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExA(reg.Key(), "S", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    EXPECT_TRUE(reg.ReadStringValue("S", sValue));
    EXPECT_EQ(sValue, "abc");
    const std::string longText(300, 'q');
    EXPECT_TRUE(reg.WriteStringValue("Long", longText));
    EXPECT_TRUE(reg.ReadStringValue("Long", sValue));
    EXPECT_EQ(sValue, longText);
    const std::string huge(100000, 'h');
    EXPECT_TRUE(reg.WriteStringValue("Huge", huge));
    EXPECT_TRUE(reg.ReadStringValue("Huge", sValue));
    EXPECT_EQ(sValue, huge);
    EXPECT_FALSE(reg.ReadStringValue("Missing", sValue));
    EXPECT_EQ(reg.Status(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(reg.ReadStringValue("Missing", sValue, "dflt"));
    EXPECT_EQ(sValue, "dflt");
    ASSERT_TRUE(reg.WriteBooleanValue("Flag", true));
    EXPECT_TRUE(reg.ReadStringValue("Flag", sValue));
    EXPECT_EQ(sValue, "y");  // a text stored without NUL keeps its last character
    clsRegistry other;
    EXPECT_TRUE(other.ReadStringValue("S", sValue, "", reg.Key()));
    EXPECT_EQ(sValue, "abc");
}

TEST_F(Registry, HugeObjects)
{
    std::vector<BYTE> blob(1000);
    for (std::size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<BYTE>(i * 31);
    Raw("Blob", REG_BINARY, std::string_view(reinterpret_cast<const char*>(blob.data()), blob.size()));
    kelvo::registry::GlobalBlock block(GlobalAlloc(GMEM_MOVEABLE, 16));
    EXPECT_TRUE(reg.LoadHugeObject("Blob", block.ref(), GMEM_MOVEABLE, 256));
    EXPECT_EQ(GlobalSize(block.get()), 1024u);  // the last size tried
    {
        kelvo::registry::GlobalLockGuard lock(block.get());
        EXPECT_EQ(std::memcmp(lock.data(), blob.data(), blob.size()), 0);
    }
    EXPECT_FALSE(reg.LoadHugeObject("Missing", block.ref(), GMEM_MOVEABLE, 256));
    EXPECT_EQ(reg.Status(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(reg.LoadHugeObject("Blob", block.ref(), GMEM_MOVEABLE, 0));  // would never grow
    EXPECT_NE(block.get(), nullptr);
    HGLOBAL bogus = reinterpret_cast<HGLOBAL>(static_cast<std::uintptr_t>(0x77));
    EXPECT_FALSE(reg.LoadHugeObject("Blob", bogus, GMEM_MOVEABLE, 256));
    EXPECT_EQ(bogus, reinterpret_cast<HGLOBAL>(static_cast<std::uintptr_t>(0x77)));  // the caller keeps its handle
    EXPECT_FALSE(reg.LoadHugeObject("Blob", block.ref(), GMEM_MOVEABLE, 256, nullptr, "far"));
    EXPECT_EQ(reg.Status(), ERROR_BAD_NETPATH);
}

TEST_F(Registry, EnumerationsAndCounts)
{
    std::string sBuffer = "junk";
    EXPECT_TRUE(reg.GetKeys(sBuffer));
    EXPECT_EQ(sBuffer, "");
    EXPECT_EQ(reg.Status(), ERROR_NO_MORE_ITEMS);
    ASSERT_TRUE(reg.CreateKey("B", false));
    ASSERT_TRUE(reg.CreateKey("A", false));
    ASSERT_TRUE(reg.CreateKey("  lead", false));
    EXPECT_TRUE(reg.GetKeys(sBuffer));
    EXPECT_EQ(sBuffer, std::string("lead\0A\0B\0", 9));
    std::string sKey = "unchanged";
    EXPECT_TRUE(reg.GetKeyByValue(sKey, 0));
    EXPECT_EQ(sKey, "  lead");
    EXPECT_FALSE(reg.GetKeyByValue(sKey, 3));
    EXPECT_EQ(reg.Status(), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(sKey, "  lead");
    LONG lCount = -1;
    EXPECT_TRUE(reg.CountKeys(lCount));
    EXPECT_EQ(lCount, 3);

    ASSERT_TRUE(reg.WriteLongValue("one", 1));
    ASSERT_TRUE(reg.WriteStringValue("two", std::string(1000, 'x')));  // long data does not end the list
    EXPECT_TRUE(reg.GetValues(sBuffer));
    EXPECT_EQ(sBuffer, std::string("one\0two\0", 8));
    ASSERT_TRUE(reg.CreateKey(std::string(255, 'n'), false));
    EXPECT_TRUE(reg.GetKeys(sBuffer));  // the longest name the registry allows fits with its NUL
    EXPECT_NE(sBuffer.find(std::string(255, 'n') + '\0'), std::string::npos);
}

TEST_F(Registry, CurrentKeyRules)
{
    HKEY hTest = reg.Key();
    ASSERT_TRUE(reg.CreateKey("Child", false));
    EXPECT_EQ(reg.Key(), hTest);
    EXPECT_TRUE(reg.OpenKey(nullptr, "Child"));  // relative to the current key
    EXPECT_NE(reg.Key(), hTest);
    EXPECT_TRUE(reg.WriteLongValue("in child", 1));
    EXPECT_NE(hive.Read().find("[HKEY_CURRENT_USER\\SOFTWARE\\Test\\Child]\n\"in child\""), std::string::npos);
    EXPECT_TRUE(reg.CreateKey("Other", false, HKEY_CURRENT_USER));
    EXPECT_EQ(reg.Key(), HKEY_CURRENT_USER);
    EXPECT_FALSE(reg.OpenKey(HKEY_CURRENT_USER, "Nowhere"));
    EXPECT_EQ(reg.Status(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg.Key(), nullptr);  // never a stale handle after a failed open
    LONG lValue = 0;
    EXPECT_FALSE(reg.ReadLongValue("x", lValue));
    EXPECT_EQ(reg.Status(), ERROR_INVALID_HANDLE);

    // A key handed in stays the caller's: closing the instance leaves it open.
    clsRegistry owner;
    ASSERT_TRUE(owner.OpenKey(HKEY_CURRENT_USER, "SOFTWARE\\Test"));
    {
        clsRegistry borrower;
        ASSERT_TRUE(borrower.CreateKey("Sub", false, owner.Key()));
        borrower.CloseKey();
        EXPECT_EQ(borrower.Key(), nullptr);
    }
    EXPECT_TRUE(owner.WriteLongValue("still open", 1));
    owner.CloseKey();
    EXPECT_EQ(owner.Key(), nullptr);
    EXPECT_EQ(owner.Status(), 0);
}

TEST_F(Registry, RemoteAndQueryValue)
{
    reg.WriteLongValue("x", 1);
    const LONG before = reg.Status();
    EXPECT_FALSE(reg.ConnectRemote("elsewhere", HKEY_CURRENT_USER));
    EXPECT_EQ(reg.Status(), before);
    EXPECT_TRUE(reg.ConnectRemote("", HKEY_CURRENT_USER));
    EXPECT_EQ(reg.Status(), before);
    EXPECT_FALSE(reg.OpenKey(HKEY_CURRENT_USER, "SOFTWARE", static_cast<LONG>(KEY_ALL_ACCESS), "elsewhere"));
    EXPECT_EQ(reg.Status(), ERROR_BAD_NETPATH);
    EXPECT_FALSE(reg.QueryValue());
}

TEST_F(Registry, DeletesAndPresence)
{
    ASSERT_TRUE(reg.WriteLongValue("v", 1));
    EXPECT_TRUE(reg.ValuePresent("V"));
    EXPECT_TRUE(reg.DeleteValue("v"));
    EXPECT_FALSE(reg.ValuePresent("v"));
    EXPECT_EQ(reg.Status(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(reg.DeleteValue("v"));
    ASSERT_TRUE(reg.CreateKey("K\\Deeper", false));
    EXPECT_FALSE(reg.DeleteKey("K"));
    EXPECT_EQ(reg.Status(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(reg.DeleteKey("K\\Deeper"));
    EXPECT_TRUE(reg.DeleteKey("K"));
}

}  // namespace
