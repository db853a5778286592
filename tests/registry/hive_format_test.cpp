// The REGEDIT4 text form: exact output, round trips, and lenient reading.
#include "registry/hive_format.h"
#include "registry/winreg.h"

#include <gtest/gtest.h>

using namespace kelvo::registry;

namespace {

KeyNode Load(const std::string& text, std::vector<RegFileProblem>* problemsOut = nullptr)
{
    RegFile file = ParseRegFile(text);
    KeyNode root;
    std::vector<RegFileProblem> problems = file.problems;
    ApplyRegFile(file, root, problems);
    if (problemsOut != nullptr) *problemsOut = problems;
    return root;
}

std::vector<BYTE> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

TEST(HiveFormat, AwkwardNamesAndDataRoundTrip)
{
    KeyNode root;
    KeyNode& key = root.subkeys["  spaced key ]["].subkeys["-dash"];
    key.SetValue("", REG_SZ, Bytes(std::string_view("default\0", 8)));
    key.SetValue("quote\"back\\slash", REG_SZ, Bytes(std::string_view("C:\\path \"x\"\0", 12)));
    key.SetValue("@", REG_SZ, Bytes(std::string_view("\0", 1)));
    key.SetValue("a=b", REG_SZ, Bytes("no terminator"));
    key.SetValue("inner nul", REG_SZ, Bytes(std::string_view("a\0b\0", 4)));
    key.SetValue("high \xe9\xff", REG_SZ, Bytes("caf\xe9\0"));
    key.SetValue("empty", REG_SZ, {});
    key.SetValue("long", REG_BINARY, std::vector<BYTE>(300, 0xAB));
    key.SetValue("type 0x12345678", 0x12345678, {0});
    key.SetValue("dword 3 bytes", REG_DWORD, {1, 2, 3});
    root.SetValue("at root", REG_DWORD, {1, 0, 0, 0});

    const std::string text = SerializeRegFile(root, "HKEY_CURRENT_USER");
    std::vector<RegFileProblem> problems;
    KeyNode back = Load(text, &problems);
    EXPECT_TRUE(problems.empty()) << problems.front().what << " at line " << problems.front().line << "\n" << text;
    EXPECT_TRUE(back == root) << text;
    EXPECT_NE(text.find("\"quote\\\"back\\\\slash\"=\"C:\\\\path \\\"x\\\"\"\n"), std::string::npos) << text;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        EXPECT_LE(end - start, 80u) << "hex lines wrap like regedit's";
}

TEST(HiveFormat, ReadsWhatPeopleTypeAppliesRemovalsInOrderAndListsDamageUsingTheRest)
{
    std::vector<RegFileProblem> problems;
    KeyNode root = Load("REGEDIT4\r\n\r\n; a comment\r\n[HKCU\\Soft]\r\n\"DirectX\"=\"y\"\r\n\"x\"=\"1\"\r\n"
                        "\"Bin\"=hex:01,02,\\\r\n  03\r\n  \"N\" = dword:2d\r\n\"Path\"=\"C:\\dir\"\r\n"
                        "[HKCU\\Soft\\B]\r\n\"v\"=\"1\"\r\n[-HKCU\\Soft\\B]\r\n[HKCU\\Soft]\r\n\"x\"=-\r\n",
                        &problems);
    EXPECT_TRUE(problems.empty());
    const KeyNode* soft = root.FindSubkey("SOFT");
    ASSERT_NE(soft, nullptr);
    EXPECT_EQ(soft->FindValue("directx")->data, Bytes(std::string_view("y\0", 2)));
    EXPECT_EQ(soft->FindValue("Bin")->type, REG_BINARY);
    EXPECT_EQ(soft->FindValue("Bin")->data, (std::vector<BYTE>{1, 2, 3}));
    EXPECT_EQ(soft->FindValue("N")->data, (std::vector<BYTE>{0x2d, 0, 0, 0}));
    EXPECT_EQ(soft->FindValue("Path")->data, Bytes(std::string_view("C:\\dir\0", 7)));
    EXPECT_EQ(soft->FindSubkey("B"), nullptr);
    EXPECT_EQ(soft->FindValue("x"), nullptr);

    // Damage is listed, the rest is used, and huge or deep input never crashes.
    const KeyNode damaged = Load("REGEDIT4\n[HKEY_CURRENT_USER\\Good]\n\"a\"=dword:00000001\n"
                        "\"b\"=dword:123456789\n"      // nine digits
                        "\"c\"=hex:zz\n"               // not hex
                        "\"d\"=\"unterminated\n"       // no closing quote
                        "garbage here\n"
                        "[HKEY_LOCAL_MACHINE\\X]\n"    // not this hive's root
                        "[HKEY_CURRENT_USER\\Broken\n" // no bracket
                        "\"e\"=\"after\"\n"            // belongs to no section
                        "[HKEY_CURRENT_USER\\Good]\n\"f\"=hex(7):00,\\\n",  // continuation at the end
                        &problems);
    EXPECT_GE(problems.size(), 7u);
    const KeyNode* good = damaged.FindSubkey("Good");
    ASSERT_NE(good, nullptr);
    EXPECT_NE(good->FindValue("a"), nullptr);
    EXPECT_EQ(good->FindValue("b"), nullptr);
    EXPECT_EQ(good->FindValue("e"), nullptr);

    Load("[HKEY_CURRENT_USER\\A]\n", &problems);
    EXPECT_FALSE(problems.empty());

    // 512 levels below the root are allowed, one more is not.
    for (int levels : {512, 513}) {
        std::string deep = "REGEDIT4\n[HKEY_CURRENT_USER";
        for (int i = 0; i < levels; ++i) deep += "\\k";
        const KeyNode tree = Load(deep + "]\n\"v\"=\"" + std::string(1 << 20, 'x') + "\"\n", &problems);
        EXPECT_EQ(problems.empty(), levels == 512) << levels;
        EXPECT_EQ(tree.subkeys.empty(), levels == 513) << levels;
    }

    Load("", &problems);
    EXPECT_TRUE(problems.empty());  // an empty file is an empty hive
}

}  // namespace
