// kelvo-reg as a user runs it: add, query, delete, export, import, errors.
#include "registry/TempHive.h"

#include <array>
#include <cstdio>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int status;
    std::string out;
};

ToolRun Tool(const std::string& args)
{
    const std::string command = "timeout 20 " + std::string(KELVO_REG_PATH) + " " + args + " </dev/null 2>&1";
    ToolRun run{-1, {}};
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), n);
    int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(KelvoReg, AddQueryDeleteOnTheLiveFile)
{
    kelvo::testing::TempHive hive;
    EXPECT_EQ(Tool(R"(add 'HKCU\SOFTWARE\Quennel\Kelvo' /v DirectX /t REG_SZ /d y /f)").status, 0);
    EXPECT_EQ(Tool(R"(add 'HKEY_CURRENT_USER\SOFTWARE\Quennel\Kelvo' /v Frequency /t REG_DWORD /d 45)").status, 0);
    EXPECT_NE(hive.Read().find("\"DirectX\"=\"y\"\n\"Frequency\"=dword:0000002d\n"), std::string::npos);

    ToolRun exists = Tool(R"(add HKCU\\SOFTWARE\\Quennel\\Kelvo /v Frequency /t REG_DWORD /d 50)");
    EXPECT_EQ(exists.status, 1);
    EXPECT_NE(exists.out.find("/f"), std::string::npos);
    EXPECT_EQ(Tool(R"(add HKCU\\SOFTWARE\\Quennel\\Kelvo /v Frequency /t REG_DWORD /d 0x32 /f)").status, 0);

    ToolRun query = Tool(R"(query HKCU\\SOFTWARE\\Quennel\\Kelvo)");
    EXPECT_EQ(query.status, 0);
    EXPECT_NE(query.out.find("    DirectX    REG_SZ    y\n"), std::string::npos) << query.out;
    EXPECT_NE(query.out.find("    Frequency    REG_DWORD    0x32\n"), std::string::npos) << query.out;
    ToolRun one = Tool(R"(query HKCU\\SOFTWARE\\Quennel\\Kelvo /v frequency)");
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.out.find("DirectX"), std::string::npos);
    EXPECT_EQ(Tool(R"(query HKCU\\SOFTWARE\\Quennel\\Kelvo /v Nothing)").status, 1);

    EXPECT_EQ(Tool(R"(add HKCU\\SOFTWARE\\Quennel\\Kelvo\\Deep\\Er /v b /t REG_BINARY /d 00ff)").status, 0);
    ToolRun all = Tool(R"(query HKCU\\SOFTWARE /s)");
    EXPECT_NE(all.out.find("HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo\\Deep\\Er\n    b    REG_BINARY    00FF"),
              std::string::npos)
        << all.out;

    EXPECT_EQ(Tool(R"(delete HKCU\\SOFTWARE\\Quennel\\Kelvo /v DirectX /f)").status, 0);
    EXPECT_EQ(hive.Read().find("DirectX"), std::string::npos);
    EXPECT_EQ(Tool(R"(delete HKCU\\SOFTWARE\\Quennel)").status, 1);  // not without /f when nobody can answer
    EXPECT_EQ(Tool(R"(delete HKCU\\SOFTWARE\\Quennel /f)").status, 0);  // with everything under it
    EXPECT_EQ(hive.Read().find("Quennel"), std::string::npos);
    EXPECT_EQ(Tool(R"(query HKCU\\SOFTWARE\\Quennel)").status, 1);
}

TEST(KelvoReg, ExportAndImportRoundTrip)
{
    kelvo::testing::TempHive hive;
    ASSERT_EQ(Tool(R"(add 'HKCU\Soft\A B' /v 'we"ird\name' /d 'C:\dir "q"' /f)").status, 0);
    ASSERT_EQ(Tool(R"(add 'HKCU\Soft\A B\C' /ve /t REG_DWORD /d 4294967295 /f)").status, 0);
    const std::string file = hive.dir() + "/out.reg";
    ASSERT_EQ(Tool("export 'HKCU\\Soft' " + file).status, 0);
    EXPECT_EQ(Tool("export 'HKCU\\Soft' " + file).status, 1);  // exists, no /y
    EXPECT_EQ(Tool("export 'HKCU\\Soft' " + file + " /y").status, 0);
    const std::string before = hive.Read();
    ASSERT_EQ(Tool(R"(delete HKCU\\Soft /f)").status, 0);
    ASSERT_EQ(Tool("import " + file).status, 0);
    EXPECT_EQ(hive.Read(), before);

    std::ofstream(hive.dir() + "/bad.reg") << "REGEDIT4\n[HKCU\\New]\n\"v\"=\"1\"\nnonsense\n";
    ToolRun bad = Tool("import " + hive.dir() + "/bad.reg");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("line 4"), std::string::npos) << bad.out;
    EXPECT_EQ(hive.Read().find("New"), std::string::npos);  // nothing of a bad file is applied
}

TEST(KelvoReg, ErrorsAreClearAndFail)
{
    kelvo::testing::TempHive hive;
    EXPECT_NE(Tool("--help").out.find("kelvo-reg add"), std::string::npos);
    ToolRun remote = Tool(R"(query '\\far\HKCU\x')");
    EXPECT_EQ(remote.status, 1);
    EXPECT_NE(remote.out.find("network path"), std::string::npos) << remote.out;
    for (const char* args : {"", "frobnicate", R"(query HKLM\\SOFTWARE)", R"(add HKCU\\X /v n /t REG_DWORD /d 12abc /f)",
                             R"(add HKCU\\X /v n /t REG_DWORD /d 4294967296 /f)", R"(add HKCU\\X /v n /t REG_BINARY /d 0 /f)",
                             R"(add HKCU\\X /v n /t REG_MULTI_SZ /f)", R"(add HKCU\\X /v)", R"(add HKCU\\X /bogus)",
                             R"(delete HKCU /f)", "import /nonexistent/file.reg"}) {
        EXPECT_EQ(Tool(args).status, 1) << args;
    }
}

TEST(KelvoReg, OddHiveFiles)
{
    kelvo::testing::TempHive hive;
    std::filesystem::create_directories(hive.kelvoDir());
    ASSERT_EQ(::mkfifo(hive.file().c_str(), 0600), 0);  // refused with one line, never opened for good
    ToolRun fifo = Tool(R"(add HKCU\\K /v n /d x /f)");
    EXPECT_EQ(fifo.status, 1) << fifo.out;
    EXPECT_NE(fifo.out.find(hive.file() + " cannot be read"), std::string::npos) << fifo.out;
    struct stat st {};
    EXPECT_TRUE(::stat(hive.file().c_str(), &st) == 0 && S_ISFIFO(st.st_mode));

    std::filesystem::remove(hive.file());
    const std::string cut = "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"n\"=dword:0000";
    hive.Write(cut);
    ToolRun query = Tool(R"(query HKCU\\K)");
    EXPECT_NE(query.out.find(hive.file() + " could not be read whole (line 4: the last line"), std::string::npos)
        << query.out;
    EXPECT_EQ(Tool(R"(add HKCU\\K /v n /t REG_DWORD /d 45 /f)").status, 0);
    ASSERT_EQ(hive.DamagedCopies().size(), 1u);
    std::ifstream kept(hive.DamagedCopies()[0], std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), cut);

    // What is stored already is not written again: no lock, no new file.
    std::filesystem::remove(hive.file() + ".lock");
    std::filesystem::create_directory(hive.file() + ".lock");
    EXPECT_EQ(Tool(R"(add HKCU\\K /v n /t REG_DWORD /d 45 /f)").status, 0);
    EXPECT_EQ(Tool(R"(add HKCU\\K /v n /t REG_DWORD /d 46 /f)").status, 1);
}

}  // namespace
