// The Debian package: built with CPack, listed, unpacked into a scratch root
// with dpkg -x, its files checked by their validators, and the installed
// applet started from there with "DirectX"="y", against a real X server, a
// real sound server and a real tray host.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <regex>
#include <utility>

using namespace e2e;
namespace fs = std::filesystem;

TEST(Package, InstallsEverythingAndTheInstalledKelvoDrawsOverItsCanvasOrElseWithGdi)
{
    TempDir dir;
    const fs::path root = dir.path() / "root", share = root / "usr/share", man = share / "man/man1";
    Process cpack({"cpack", "-G", "DEB", "--config", KELVO_BUILD_DIR "/CPackConfig.cmake", "-B", dir.path().string()});
    ASSERT_EQ(cpack.WaitExit(std::chrono::minutes(5)), std::optional<int>(0));
    const std::string deb = (dir.path() / "kelvo_1.2_amd64.deb").string();
    const std::string listing = e2e::Run({"dpkg", "-c", deb}).output;
    // The program, kelvo-reg, the link in bin/, the desktop entry, the metadata and
    // the manual pages are run, validated or read below.
    for (const char* size : {"16x16", "32x32", "48x48", "64x64", "128x128", "256x256"}) {
        EXPECT_NE(listing.find(std::string(size) + "/apps/kelvo.png"), std::string::npos) << size << "\n" << listing;
    }
    EXPECT_TRUE(std::regex_search(e2e::Run({"dpkg-deb", "-f", deb, "Depends"}).output, std::regex("libpulse0.*libqt6widgets6")));
    ASSERT_EQ(e2e::Run({"dpkg", "-x", deb, root.string()}).code, 0);
    EXPECT_EQ(e2e::Run({"desktop-file-validate", (share / "applications/kelvo.desktop").string()}).code, 0);
    EXPECT_EQ(e2e::Run({"appstreamcli", "validate", "--no-net", (share / "metainfo/org.example.kelvo.metainfo.xml").string()}).code, 0);
    // mandoc finds cross-referenced pages only where they are installed for
    // real, and would rather the pages named no system in .Os.
    const std::string lint = e2e::Run({"mandoc", "-T", "lint", (man / "kelvo.1").string(), (man / "kelvo-reg.1").string()}).output;
    EXPECT_EQ(std::regex_replace(lint, std::regex(".*STYLE: (referenced manual not found: Xr kelvo(-reg)? 1|operating system explicitly specified: Os Kelvo).*\n"), ""), "");

    // Through the link in bin/ with the DirectDraw display.
    XServer x;
    SoundServer sound;
    // Not a whole number of cycles in a 150 ms block, so that frames differ.
    const auto player = sound.Play(Tone(437, 0.8, 120));
    const auto trayer = Trayer(x);
    const fs::path config = dir.path() / "config";
    e2e::Run({(root / "usr/bin/kelvo-reg").string(), "add", "HKCU\\SOFTWARE\\Quennel\\Kelvo", "/v", "DirectX", "/d", "y", "/f"},
             {{"XDG_CONFIG_HOME", config.string()}});
    std::unique_ptr<Kelvo> kelvo;
    const auto start = [&] {
        kelvo = std::make_unique<Kelvo>(x.ForClients(), sound.ClientEnvironment(), std::vector<std::string>{}, &config,
                                        root / "usr/bin/kelvo");
    };
    // Waits for a canvas (175 x 65 at (6, 22), border included) with a trace,
    // unlike the last one seen. DirectDraw draws over the GDI's grey edge and
    // shows canvas.bmp, shades from RGB(0, 107, 214) to RGB(57, 173, 255),
    // wherever the trace is not.
    QImage last;
    const auto frame = [&](bool directDraw) {
        const auto id = kelvo->MainWindow(20s);
        return id && WaitFor([&] {
            const QImage c = x.Screenshot().copy(QRect(x.Geometry(*id).topLeft() + QPoint(6, 22), QSize(175, 65)));
            const int trace = Find(c, c.rect(), qRgb(128, 255, 255)).pixels;
            const bool background = trace + Find(c, c.rect(), qRgb(28, 140, 234), 33).pixels == 175 * 65;
            return background == directDraw && trace > 100 && c != std::exchange(last, c);
        }, 20s);
    };

    start();
    ASSERT_TRUE(frame(true)) << kelvo->Log();
    EXPECT_TRUE(frame(true)) << "live";
    x.Click(x.Geometry(*kelvo->MainWindow()).topLeft() + QPoint(100, 10), 1, 2);
    ASSERT_TRUE(WaitFor([&] { return !kelvo->MainWindow(0ms); }, 10s)) << "into the tray";
    x.Click(QPoint(12, 12), 1, 2);  // the icon, the only one in the panel
    EXPECT_TRUE(frame(true)) << "DirectDraw frames again";
    EXPECT_EQ(kelvo->process().Stop(SIGTERM), 0) << kelvo->Log();

    // Without canvas.bmp: one line naming the failure, then GDI.
    fs::remove(root / "usr/lib/kelvo/canvas.bmp");
    start();
    EXPECT_TRUE(frame(false)) << kelvo->Log();
    EXPECT_NE(kelvo->Log().find("DDERR_NOTFOUND"), std::string::npos) << kelvo->Log();
    EXPECT_EQ(kelvo->process().Stop(SIGTERM), 0) << kelvo->Log();
}
