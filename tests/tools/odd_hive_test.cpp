// Odd hive files, through the registry functions and through kelvo-reg: a
// FIFO, a cut-off last line, a folder where nothing can be written.
#include "registry/TempHive.h"
#include "registry/winreg.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using kelvo::registry::UniqueKey;

struct ToolRun {
    int status;
    std::string out;
};

ToolRun Tool(const std::string& args)
{
    const std::string command = "timeout 10 " + std::string(KELVO_REG_PATH) + " " + args + " </dev/null 2>&1";
    ToolRun run{-1, {}};
    FILE* pipe = ::popen(command.c_str(), "r");
    std::array<char, 4096> buffer;
    for (std::size_t n; pipe != nullptr && (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
        run.out.append(buffer.data(), n);
    if (pipe != nullptr) {
        const int status = ::pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return run;
}

LONG SetNumber(DWORD number)
{
    UniqueKey key;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, "K", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    return RegSetValueExA(key.get(), "n", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

std::size_t Lines(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(OddHive, AFifoIsRefusedWithOneLineAndLeftAlone)
{
    kelvo::testing::TempHive hive;
    std::filesystem::create_directories(hive.kelvoDir());
    ASSERT_EQ(::mkfifo(hive.file().c_str(), 0600), 0);
    ::alarm(20);  // a blocking open must fail the test, not hang it

    ::testing::internal::CaptureStderr();
    UniqueKey key;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, "K", 0, KEY_READ, key.put()), ERROR_SUCCESS);
    EXPECT_EQ(SetNumber(45), ERROR_ACCESS_DENIED);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(Lines(err), 1u) << err;
    EXPECT_NE(err.find(hive.file()), std::string::npos) << err;

    const ToolRun query = Tool(R"(query HKCU\\K)");
    EXPECT_EQ(query.status, 1) << query.out;
    EXPECT_NE(query.out.find(hive.file()), std::string::npos) << query.out;
    EXPECT_EQ(Tool(R"(add HKCU\\K /v n /d x /f)").status, 1);
    ::alarm(0);
    struct stat st {};
    ASSERT_EQ(::stat(hive.file().c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(OddHive, ACutOffLastLineIsDamageThatTheToolReportsAndAWriteKeeps)
{
    kelvo::testing::TempHive hive;
    const std::string cut = "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"a\"=\"kept\"\n\"n\"=dword:0000";
    hive.Write(cut);
    const ToolRun query = Tool(R"(query HKCU\\K)");
    EXPECT_EQ(query.status, 0) << query.out;
    EXPECT_NE(query.out.find(hive.file() + " could not be read whole (line 5: the last line"), std::string::npos)
        << query.out;

    ASSERT_EQ(SetNumber(45), ERROR_SUCCESS);
    const auto copies = hive.DamagedCopies();
    ASSERT_EQ(copies.size(), 1u);
    std::ifstream in(copies[0], std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), cut);
}

TEST(OddHive, AValueStoredAlreadyIsNotWrittenAgain)
{
    kelvo::testing::TempHive hive;
    ASSERT_EQ(SetNumber(45), ERROR_SUCCESS);
    struct stat before {};
    ASSERT_EQ(::stat(hive.file().c_str(), &before), 0);
    // Nothing can be locked or written any more, as in a read-only folder.
    std::filesystem::remove(hive.file() + ".lock");
    std::filesystem::create_directory(hive.file() + ".lock");
    EXPECT_EQ(SetNumber(45), ERROR_SUCCESS);
    EXPECT_NE(SetNumber(46), ERROR_SUCCESS);
    struct stat after {};
    ASSERT_EQ(::stat(hive.file().c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
}

}  // namespace
