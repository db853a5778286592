// clsRegistry against a real hive file: every operation and what goes wrong.
#include "registry/TempHive.h"
#include "common/RuntimeError.h"
#include "settings/clsRegistry.h"

#include <cstring>

namespace {

using kelvo::testing::SetValue;

class Registry : public kelvo::testing::HiveTest {
protected:
    clsRegistry reg;

    void SetUp() override { ASSERT_TRUE(reg.CreateKey("SOFTWARE\\Test", true, HKEY_CURRENT_USER)); }
    bool InFile(const std::string& text) const { return hive.Read().find(text) != std::string::npos; }
};

TEST_F(Registry, NumbersAreLittleEndianDwordsWithDefaultsAndOverflowErrors)
{
    LONG lValue = 5;
    EXPECT_TRUE(reg.ReadLongValue("Missing", lValue, 2.5));  // halves to even
    EXPECT_EQ(lValue, 2);
    EXPECT_FALSE(reg.ReadLongValue("Missing", lValue));
    EXPECT_EQ(reg.Status(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(lValue, 2);
    EXPECT_THROW(reg.ReadLongValue("Missing", lValue, 3e9), RuntimeError);

    EXPECT_TRUE(reg.WriteLongValue("L", 0x01020304));
    EXPECT_TRUE(InFile("\"L\"=dword:01020304")) << hive.Read();
    EXPECT_TRUE(reg.ReadLongValue("l", lValue));
    EXPECT_EQ(lValue, 0x01020304);
    SetValue(reg.Key(), "Long", REG_BINARY, "12345");
    EXPECT_FALSE(reg.ReadLongValue("Long", lValue, 150));
    EXPECT_EQ(reg.Status(), ERROR_MORE_DATA);
    EXPECT_EQ(lValue, 0x01020304);

    std::int16_t iValue = 3;
    EXPECT_TRUE(reg.WriteIntegerValue("I", -1));
    EXPECT_TRUE(InFile("\"I\"=dword:ffffffff"));
    EXPECT_TRUE(reg.ReadIntegerValue("I", iValue));
    EXPECT_EQ(iValue, -1);
    ASSERT_TRUE(reg.WriteLongValue("Big", 40000));
    EXPECT_THROW(reg.ReadIntegerValue("Big", iValue), RuntimeError);
    EXPECT_EQ(iValue, -1);
}

TEST_F(Registry, BooleansAreOneLetterTextsAndTextsAndHugeObjectsGrowTheirBufferAndKeepTheirLastCharacter)
{
    EXPECT_TRUE(reg.WriteBooleanValue("B", true));
    EXPECT_TRUE(InFile("\"B\"=hex(1):79\n")) << "one byte, no NUL";
    SetValue(reg.Key(), "Typed", REG_SZ, std::string_view("Y\0", 2));
    SetValue(reg.Key(), "Three", REG_SZ, std::string_view("yes\0", 4));
    SetValue(reg.Key(), "Empty", REG_SZ, "");
    const std::tuple<const char*, std::optional<BooleanDefault>, bool, bool> cases[] = {  // name, default; ok, value
        {"B", {}, true, true},          {"Typed", {}, true, true},     {"Three", {}, false, false},
        {"Empty", {}, true, false},     {"Missing", true, true, true}, {"Missing", "Y", true, true},
        {"Missing", "yes", true, false}, {"Missing", {}, false, false}};
    for (const auto& [name, fallback, ok, expected] : cases) {
        bool bValue = !expected;
        EXPECT_EQ(reg.ReadBooleanValue(name, bValue, fallback), ok) << name;
        EXPECT_EQ(bValue, expected) << name;
    }

    std::string sValue;
    EXPECT_TRUE(reg.WriteStringValue("S", "abc"));
    for (const std::string& text : {std::string(300, 'q'), std::string(100000, 'h'), std::string("a\nb")}) {
        EXPECT_TRUE(reg.WriteStringValue("T", text));
        EXPECT_TRUE(reg.ReadStringValue("T", sValue));
        EXPECT_EQ(sValue, text);
    }
    EXPECT_TRUE(InFile("\"T\"=hex(1):61,0a,62,00\n")) << "a line break is kept as bytes";
    EXPECT_TRUE(reg.ReadStringValue("B", sValue));
    EXPECT_EQ(sValue, "y") << "a text stored without NUL keeps its last character";
    EXPECT_TRUE(reg.ReadStringValue("Missing", sValue, "dflt"));
    EXPECT_EQ(sValue, "dflt");
    clsRegistry other;
    EXPECT_TRUE(other.ReadStringValue("S", sValue, "", reg.Key()));
    EXPECT_EQ(sValue, "abc");

    // A huge object grows in steps; on failure the caller keeps its block.
    std::vector<BYTE> blob(1000);
    for (std::size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<BYTE>(i * 31);
    SetValue(reg.Key(), "Blob", REG_BINARY, std::string_view(reinterpret_cast<const char*>(blob.data()), blob.size()));
    kelvo::registry::GlobalBlock block(GlobalAlloc(GMEM_MOVEABLE, 16));
    EXPECT_TRUE(reg.LoadHugeObject("Blob", block.ref(), GMEM_MOVEABLE, 256));
    EXPECT_EQ(GlobalSize(block.get()), 1024u);
    {
        kelvo::registry::GlobalLockGuard lock(block.get());
        EXPECT_EQ(std::memcmp(lock.data(), blob.data(), blob.size()), 0);
    }
    HGLOBAL bogus = reinterpret_cast<HGLOBAL>(std::uintptr_t{0x77});
    EXPECT_FALSE(reg.LoadHugeObject("Blob", bogus, GMEM_MOVEABLE, 256));
    EXPECT_EQ(bogus, reinterpret_cast<HGLOBAL>(std::uintptr_t{0x77}));
}

TEST_F(Registry, EnumerationsCountsAndDeletes)
{
    for (const char* name : {"B", "a", "  lead"}) ASSERT_TRUE(reg.CreateKey(name, false));
    std::string sBuffer = "junk";
    EXPECT_TRUE(reg.GetKeys(sBuffer));
    EXPECT_EQ(sBuffer, std::string("lead\0a\0B\0", 9));
    ASSERT_TRUE(reg.WriteLongValue("one", 1));
    ASSERT_TRUE(reg.WriteStringValue("two", std::string(1000, 'x')));  // long data does not end the list
    EXPECT_TRUE(reg.GetValues(sBuffer));
    EXPECT_EQ(sBuffer, std::string("one\0two\0", 8));
    EXPECT_TRUE(reg.DeleteValue("ONE"));
    EXPECT_FALSE(reg.ValuePresent("one"));
    ASSERT_TRUE(reg.CreateKey("K\\Deeper", false));
    EXPECT_FALSE(reg.DeleteKey("K"));
    EXPECT_TRUE(reg.DeleteKey("K\\Deeper"));
    EXPECT_TRUE(reg.DeleteKey("K"));
}

TEST_F(Registry, TheCurrentKeyIsNeverStaleAndABorrowedKeyStaysOpen)
{
    {
        clsRegistry borrower;
        ASSERT_TRUE(borrower.CreateKey("Child", false, reg.Key()));
        borrower.CloseKey();
    }
    EXPECT_TRUE(reg.OpenKey(nullptr, "Child"));  // relative to the borrowed key, still open
    EXPECT_TRUE(reg.WriteLongValue("in child", 1));
    EXPECT_TRUE(InFile("[HKEY_CURRENT_USER\\SOFTWARE\\Test\\Child]\n\"in child\""));
    EXPECT_FALSE(reg.OpenKey(HKEY_CURRENT_USER, "Nowhere"));
    EXPECT_EQ(reg.Key(), nullptr) << "never a stale handle after a failed open";
    EXPECT_TRUE(reg.ConnectRemote("", HKEY_CURRENT_USER));
    EXPECT_FALSE(reg.OpenKey(HKEY_CURRENT_USER, "SOFTWARE", static_cast<LONG>(KEY_ALL_ACCESS), "elsewhere"));
    EXPECT_EQ(reg.Status(), ERROR_BAD_NETPATH);
}

}  // namespace
