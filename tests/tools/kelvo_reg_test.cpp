// kelvo-reg as a user runs it: add, query, delete, export, import, errors.
#include "registry/TempHive.h"

#include <cstdio>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using KelvoReg = kelvo::testing::HiveTest;

// One command after the other: its exit status, and text its output holds.
struct Step {
    std::string args;
    int status;
    std::string says = "";
};

void Steps(const std::vector<Step>& steps)
{
    for (const Step& step : steps) {
        FILE* pipe = ::popen(("timeout 20 " KELVO_REG_PATH " " + step.args + " </dev/null 2>&1").c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string out;
        for (int c; (c = std::fgetc(pipe)) != EOF;) out += static_cast<char>(c);
        const int status = ::pclose(pipe);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, step.status) << step.args << "\n" << out;
        EXPECT_NE(out.find(step.says), std::string::npos) << step.args << "\n" << out;
    }
}

TEST_F(KelvoReg, AddQueryDeleteExportImportAndErrorsOnTheLiveFile)
{
    Steps({{R"(add 'HKCU\SOFTWARE\Quennel\Kelvo' /v DirectX /t REG_SZ /d y /f)", 0},
         {R"(add 'HKEY_CURRENT_USER\SOFTWARE\Quennel\Kelvo' /v Frequency /t REG_DWORD /d 45)", 0}});
    EXPECT_NE(hive.Read().find("\"DirectX\"=\"y\"\n\"Frequency\"=dword:0000002d\n"), std::string::npos);
    Steps({{R"(add HKCU\\SOFTWARE\\Quennel\\Kelvo /v Frequency /t REG_DWORD /d 50)", 1, "/f"},
         {R"(add HKCU\\SOFTWARE\\Quennel\\Kelvo /v Frequency /t REG_DWORD /d 0x32 /f)", 0},
         {R"(query HKCU\\SOFTWARE\\Quennel\\Kelvo)", 0, "    DirectX    REG_SZ    y\n    Frequency    REG_DWORD    0x32\n"},
         {R"(query HKCU\\SOFTWARE\\Quennel\\Kelvo /v Nothing)", 1},
         {R"(query HKCU\\SOFTWARE\\Quennel\\Kelvo /v frequency)", 0, "Kelvo\n    frequency    REG_DWORD    0x32\n\n"},
         // A "Frequency" Kelvo cannot use is stored as told, with a warning.
         {R"(add 'HKCU\SOFTWARE\Quennel\Kelvo' /v Frequency /t REG_DWORD /d 5 /f)", 0, "kelvo-reg: warning"},
         {R"(add 'HKCU\Software\Quennel\Kelvo' /v frequency /d fast /f)", 0, "will run at 150 ms"},
         {R"(add HKCU\\SOFTWARE\\Quennel\\Kelvo\\Deep\\Er /v b /t REG_BINARY /d 00ff)", 0},
         {R"(query HKCU\\SOFTWARE /s)", 0, "HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo\\Deep\\Er\n    b    REG_BINARY    00FF"},
         {R"(delete HKCU\\SOFTWARE\\Quennel\\Kelvo /v DirectX /f)", 0}});
    EXPECT_EQ(hive.Read().find("DirectX"), std::string::npos);
    EXPECT_NE(hive.Read().find("\"Frequency\"=\"fast\""), std::string::npos) << hive.Read();
    // Not without /f when nobody can answer; with it, everything under the key goes.
    Steps({{R"(delete HKCU\\SOFTWARE\\Quennel)", 1}, {R"(delete HKCU\\SOFTWARE\\Quennel /f)", 0},
         {R"(query HKCU\\SOFTWARE\\Quennel)", 1}});
    EXPECT_EQ(hive.Read().find("Quennel"), std::string::npos);

    const std::string file = hive.dir() + "/out.reg";
    // Values just under, at and over the 256 bytes the tool reads at first
    // are shown whole, and exported and imported whole below.
    for (const std::string size : {"255", "256", "257"}) {
        std::string hex;
        for (int i = 0; i < std::stoi(size); ++i) hex += "0123456789ABCDEF"[i % 16] + std::string("0");
        Steps({{"add 'HKCU\\Soft' /v b" + size + " /t REG_BINARY /d " + hex, 0},
               {"query 'HKCU\\Soft'", 0, "    b" + size + "    REG_BINARY    " + hex + "\n"},
               {"query 'HKCU\\Soft' /v b" + size, 0, "    b" + size + "    REG_BINARY    " + hex + "\n"}});
    }
    Steps({{R"(add 'HKCU\Soft\A B' /v 'we"ird\name' /d 'C:\dir "q"' /f)", 0},
         {R"(add 'HKCU\Soft\A B\C' /ve /t REG_DWORD /d 4294967295 /f)", 0}});
    // A text stored without its NUL (as Kelvo stores "DirectX") comes back without one.
    std::string text = hive.Read();
    hive.Write(text.insert(text.find("@=dword:ffffffff\n") + 17, "\"DirectX\"=hex(1):79\n"));
    Steps({{"export 'HKCU\\Soft' " + file, 0}, {"export 'HKCU\\Soft' " + file, 1}, {"export 'HKCU\\Soft' " + file + " /y", 0}});
    const std::string before = hive.Read();
    Steps({{R"(delete HKCU\\Soft /f)", 0}, {"import " + file, 0}});
    EXPECT_EQ(hive.Read(), before);

    // Nothing of a bad file is applied.
    std::ofstream(hive.dir() + "/bad.reg") << "REGEDIT4\n[HKCU\\New]\n\"v\"=\"1\"\nnonsense\n";
    Steps({{"import " + hive.dir() + "/bad.reg", 1, "line 4"}, {"--help", 0, "kelvo-reg add"},
           {"--version", 0, "kelvo-reg " KELVO_VERSION "\n"},
           {R"(query '\\far\HKCU\x')", 1, "network path"}, {"", 1}, {"frobnicate", 1}, {R"(query HKLM\\SOFTWARE)", 1},
           {R"(add HKCU\\X /v n /t REG_DWORD /d 12abc /f)", 1}, {R"(add HKCU\\X /v n /t REG_DWORD /d 4294967296 /f)", 1},
           {R"(add HKCU\\X /v n /t REG_BINARY /d 0 /f)", 1}, {R"(add HKCU\\X /v n /t REG_MULTI_SZ /f)", 1},
           {R"(add HKCU\\X /v)", 1}, {R"(add HKCU\\X /bogus)", 1}, {R"(delete HKCU /f)", 1},
           {"import /nonexistent/file.reg", 1}});
    EXPECT_EQ(hive.Read().find("New"), std::string::npos);

    // Nor of one whose second key cannot be stored (a value over 16 MiB): the line is named.
    std::string big = "REGEDIT4\n\n[HKCU\\First]\n\"a\"=\"1\"\n\n[HKCU\\Big]\n\"v\"=hex:";
    for (int i = 0; i < (16 << 20); ++i) big += "0,";
    std::ofstream(hive.dir() + "/big.reg") << big << "0\n";
    Steps({{"import " + hive.dir() + "/big.reg", 1, "line 6"}});
    EXPECT_EQ(hive.Read().find("First"), std::string::npos);
}

// Each kelvo-reg line of the README's code blocks, pasted into bash as it
// stands: in the source folder after the README's PATH line (build/kelvo-reg
// is the tool under test), and installed (no build folder, the tool on PATH).
TEST_F(KelvoReg, TheReadmesExamplesWorkPastedIntoBashBeforeAndAfterInstalling)
{
    hive.Write("REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo]\n\"Frequency\"=dword:00000096\n");  // as Kelvo leaves it
    const std::string source = hive.dir() + "/source", installed = hive.dir() + "/bin";
    for (const std::string& dir : {source + "/build", installed}) {
        std::filesystem::create_directories(dir);
        std::filesystem::create_symlink(KELVO_REG_PATH, dir + "/kelvo-reg");
    }
    std::ifstream readme(KELVO_README);
    std::string pathLine;
    std::vector<std::string> examples;
    for (std::string line; std::getline(readme, line);) {
        if (line.rfind("    export PATH=", 0) == 0) pathLine = line.substr(4);
        if (line.rfind("    ", 0) == 0 && line.find("kelvo-reg ") != std::string::npos) examples.push_back(line.substr(4));
    }
    for (const auto& [dir, prelude] : {std::pair{source, "PATH=/usr/bin:/bin\n" + pathLine},
                                       std::pair{hive.dir(), "PATH=" + installed + ":/usr/bin:/bin"}}) {
        for (const std::string& example : examples) {
            std::ofstream(dir + "/pasted.sh") << prelude << "\n" << example << "\n";
            EXPECT_EQ(std::system(("cd " + dir + " && bash pasted.sh </dev/null >/dev/null").c_str()), 0) << dir << ": " << example;
        }
    }
    EXPECT_GE(examples.size(), 4u);
    EXPECT_NE(hive.Read().find("\"Frequency\"=dword:0000002d"), std::string::npos) << hive.Read();
}

TEST_F(KelvoReg, OddHiveFiles)
{
    std::filesystem::create_directories(hive.kelvoDir());
    ASSERT_EQ(::mkfifo(hive.file().c_str(), 0600), 0);  // refused with one line, never opened for good
    Steps({{R"(add HKCU\\K /v n /d x /f)", 1, "kelvo-reg: " + hive.file() + " cannot be read"}});
    EXPECT_EQ(std::filesystem::status(hive.file()).type(), std::filesystem::file_type::fifo);

    // A cut-off last line is damage, told under the tool's own name; the
    // copy kept before the next write is the store test's.
    std::filesystem::remove(hive.file());
    hive.Write("REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"n\"=dword:0000");
    Steps({{R"(query HKCU\\K)", 0, "kelvo-reg: " + hive.file() + " could not be read whole (line 4: the last line"},
           {R"(add HKCU\\K /v n /t REG_DWORD /d 45 /f)", 0}});

    // What is stored already is not written again: no lock, no new file.
    std::filesystem::remove(hive.file() + ".lock");
    std::filesystem::create_directory(hive.file() + ".lock");
    Steps({{R"(add HKCU\\K /v n /t REG_DWORD /d 45 /f)", 0}, {R"(add HKCU\\K /v n /t REG_DWORD /d 46 /f)", 1}});
}

}  // namespace
