// The Debian package: built with CPack, listed, unpacked into a scratch root
// with dpkg -x, its desktop files checked by their validators, and the
// installed applet started from there.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

// Runs a command that may take longer than e2e::Run() waits; code and output.
CommandResult RunLong(const std::vector<std::string>& argv, const fs::path& scratch)
{
    const fs::path log = scratch / "command.log";
    CommandResult result;
    {
        Process p(argv, {}, log);
        result.code = p.WaitExit(std::chrono::minutes(5)).value_or(-1);
    }
    std::ifstream in(log);
    std::stringstream ss;
    ss << in.rdbuf();
    result.output = ss.str();
    return result;
}

TEST(Package, InstallsEverythingAndTheInstalledKelvoFindsItsCanvas)
{
    TempDir dir;
    const fs::path out = dir.path() / "out";
    const CommandResult built =
        RunLong({"cpack", "-G", "DEB", "--config", KELVO_BUILD_DIR "/CPackConfig.cmake", "-B", out.string()}, dir.path());
    ASSERT_EQ(built.code, 0) << built.output;
    fs::path deb;
    for (const auto& entry : fs::directory_iterator(out)) {
        if (entry.path().extension() == ".deb") deb = entry.path();
    }
    ASSERT_FALSE(deb.empty()) << built.output;

    const std::string listing = e2e::Run({"dpkg", "-c", deb.string()}).output;
    std::vector<std::string> expected{"./usr/lib/kelvo/kelvo",          "./usr/lib/kelvo/canvas.bmp",
                                      "./usr/bin/kelvo -> ../lib/kelvo/kelvo", "./usr/bin/kelvo-reg",
                                      "./usr/share/applications/kelvo.desktop",
                                      "./usr/share/metainfo/org.example.kelvo.metainfo.xml",
                                      "./usr/share/man/man1/kelvo.1",   "./usr/share/man/man1/kelvo-reg.1"};
    for (const char* size : {"16x16", "32x32", "48x48", "64x64", "128x128", "256x256"}) {
        expected.push_back(std::string("./usr/share/icons/hicolor/") + size + "/apps/kelvo.png");
    }
    for (const auto& path : expected) EXPECT_NE(listing.find(path), std::string::npos) << path << "\n" << listing;
    const std::string depends = e2e::Run({"dpkg-deb", "-f", deb.string(), "Depends"}).output;
    EXPECT_NE(depends.find("libqt6widgets6"), std::string::npos) << depends;
    EXPECT_NE(depends.find("libpulse0"), std::string::npos) << depends;

    const fs::path root = dir.path() / "root";
    ASSERT_EQ(e2e::Run({"dpkg", "-x", deb.string(), root.string()}).code, 0);
    const fs::path share = root / "usr/share";
    for (const auto& check : std::vector<std::vector<std::string>>{
             {"desktop-file-validate", (share / "applications/kelvo.desktop").string()},
             {"appstreamcli", "validate", "--no-net", (share / "metainfo/org.example.kelvo.metainfo.xml").string()}}) {
        const CommandResult r = e2e::Run(check);
        EXPECT_EQ(r.code, 0) << check.front() << ": " << r.output;
    }
    // The pages name each other; mandoc finds manuals only where they are
    // installed for real, so that one remark is expected here.
    const std::string lint = e2e::Run({"mandoc", "-T", "lint", (share / "man/man1/kelvo.1").string(),
                                  (share / "man/man1/kelvo-reg.1").string()}).output;
    const std::regex ownPages(R"(.*STYLE: referenced manual not found: Xr kelvo(-reg)? 1.*)");
    std::istringstream lines(lint);
    for (std::string line; std::getline(lines, line);) EXPECT_TRUE(std::regex_match(line, ownPages)) << line;

    // Through the link in bin/, with the DirectDraw display that draws over
    // canvas.bmp; without the file, the applet says so and draws with GDI.
    XServer x;
    SoundServer sound;
    const auto player = sound.Play(Tone(440, 0.8, 60));
    const fs::path config = dir.path() / "config";
    ASSERT_EQ(e2e::Run({(root / "usr/bin/kelvo-reg").string(), "add", "HKCU\\SOFTWARE\\Quennel\\Kelvo", "/v", "DirectX",
                   "/t", "REG_SZ", "/d", "y", "/f"},
                  {{"XDG_CONFIG_HOME", config.string()}})
                  .code,
              0);
    for (const bool withCanvas : {true, false}) {
        if (!withCanvas) fs::remove(root / "usr/lib/kelvo/canvas.bmp");
        Kelvo kelvo(x, sound.ClientEnvironment(), {"/debug"}, &config, root / "usr/bin/kelvo");
        const std::regex drawing(R"([\s\S]*kelvo: frames=[1-9][\s\S]*)");
        EXPECT_TRUE(WaitFor([&] { return std::regex_match(kelvo.Log(), drawing); }, 20s)) << kelvo.Log();
        EXPECT_EQ(kelvo.Log().find("DirectDraw") == std::string::npos, withCanvas) << kelvo.Log();
        EXPECT_EQ(kelvo.process().Stop(SIGTERM), 0) << kelvo.Log();
    }
}

}  // namespace
