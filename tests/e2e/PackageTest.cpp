// The Debian package: built with CPack, listed, unpacked into a scratch root
// with dpkg -x, its files checked by their validators, and the installed
// applet started from there.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <regex>

using namespace e2e;
namespace fs = std::filesystem;

TEST(Package, InstallsEverythingAndTheInstalledKelvoFindsItsCanvas)
{
    TempDir dir;
    const fs::path root = dir.path() / "root", share = root / "usr/share", man = share / "man/man1";
    Process cpack({"cpack", "-G", "DEB", "--config", KELVO_BUILD_DIR "/CPackConfig.cmake", "-B", dir.path().string()});
    ASSERT_EQ(cpack.WaitExit(std::chrono::minutes(5)), std::optional<int>(0));
    const std::string deb = (dir.path() / "kelvo_1.2_amd64.deb").string();
    const std::string listing = e2e::Run({"dpkg", "-c", deb}).output;
    for (const char* path : {"usr/lib/kelvo/kelvo", "usr/lib/kelvo/canvas.bmp", "usr/bin/kelvo -> ../lib/kelvo/kelvo",
                             "usr/bin/kelvo-reg", "applications/kelvo.desktop", "metainfo/org.example.kelvo.metainfo.xml",
                             "man1/kelvo.1", "man1/kelvo-reg.1", "16x16/apps/kelvo.png", "32x32/apps/kelvo.png",
                             "48x48/apps/kelvo.png", "64x64/apps/kelvo.png", "128x128/apps/kelvo.png", "256x256/apps/kelvo.png"}) {
        EXPECT_NE(listing.find(path), std::string::npos) << path << "\n" << listing;
    }
    EXPECT_TRUE(std::regex_search(e2e::Run({"dpkg-deb", "-f", deb, "Depends"}).output, std::regex("libpulse0.*libqt6widgets6")));
    ASSERT_EQ(e2e::Run({"dpkg", "-x", deb, root.string()}).code, 0);
    EXPECT_EQ(e2e::Run({"desktop-file-validate", (share / "applications/kelvo.desktop").string()}).code, 0);
    EXPECT_EQ(e2e::Run({"appstreamcli", "validate", "--no-net", (share / "metainfo/org.example.kelvo.metainfo.xml").string()}).code, 0);
    // mandoc finds cross-referenced pages only where they are installed for real.
    const std::string lint = e2e::Run({"mandoc", "-T", "lint", (man / "kelvo.1").string(), (man / "kelvo-reg.1").string()}).output;
    EXPECT_EQ(std::regex_replace(lint, std::regex(".*STYLE: referenced manual not found: Xr kelvo(-reg)? 1.*\n"), ""), "");

    // Through the link in bin/ with the DirectDraw display, which draws over
    // canvas.bmp; without the file the applet says so and runs on with GDI.
    XServer x;
    SoundServer sound;
    const fs::path config = dir.path() / "config";
    e2e::Run({(root / "usr/bin/kelvo-reg").string(), "add", "HKCU\\SOFTWARE\\Quennel\\Kelvo", "/v", "DirectX", "/d", "y", "/f"},
             {{"XDG_CONFIG_HOME", config.string()}});
    for (const bool withCanvas : {true, false}) {
        if (!withCanvas) fs::remove(root / "usr/lib/kelvo/canvas.bmp");
        Kelvo kelvo(x.ForClients(), sound.ClientEnvironment(), {"/debug"}, &config, root / "usr/bin/kelvo");
        EXPECT_TRUE(WaitFor([&] { return std::regex_search(kelvo.Log(), std::regex("frames=[1-9]")); }, 20s)) << kelvo.Log();
        EXPECT_EQ(kelvo.Log().find(withCanvas ? "DirectDraw" : "DDERR_NOTFOUND") == std::string::npos, withCanvas)
            << kelvo.Log();
        EXPECT_EQ(kelvo.process().Stop(SIGTERM), 0) << kelvo.Log();
    }
}
