// The window display through DirectDraw with "DirectX"="y", against a real
// X server, a real sound server and a real tray host.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <utility>

using namespace e2e;
namespace fs = std::filesystem;

TEST(DirectDraw, TheBackgroundPictureCarriesTheLiveTraceAfterTheTrayAndWithoutDirectXGdiDraws)
{
    TempDir config;
    XServer x;
    SoundServer sound;
    // Not a whole number of cycles in a 150 ms block, so that frames differ.
    const auto player = sound.Play(Tone(437, 0.8, 120));
    const auto trayer = Trayer(x);
    e2e::Run({(fs::path(KELVO_BUILD_DIR) / "kelvo-reg").string(), "add", "HKCU\\SOFTWARE\\Quennel\\Kelvo", "/v",
              "DirectX", "/t", "REG_SZ", "/d", "y", "/f"}, {{"XDG_CONFIG_HOME", config.path().string()}});
    Environment env = sound.ClientEnvironment();
    auto kelvo = std::make_unique<Kelvo>(x.ForClients(), env, std::vector<std::string>{}, &config.path());
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

    ASSERT_TRUE(frame(true)) << kelvo->Log();
    EXPECT_TRUE(frame(true)) << "live";
    x.Click(x.Geometry(*kelvo->MainWindow()).topLeft() + QPoint(100, 10), 1, 2);
    ASSERT_TRUE(WaitFor([&] { return !kelvo->MainWindow(0ms); }, 10s)) << "into the tray";
    x.Click(QPoint(12, 12), 1, 2);  // the icon, the only one in the panel
    EXPECT_TRUE(frame(true)) << "DirectDraw frames again";
    EXPECT_EQ(kelvo->Log().find("DirectDraw"), std::string::npos) << kelvo->Log();
    EXPECT_EQ(kelvo->process().Stop(SIGTERM), 0) << kelvo->Log();

    // Without DirectX: one box, then GDI.
    env["KELVO_DIRECTDRAW"] = "off";
    kelvo = std::make_unique<Kelvo>(x.ForClients(), env, std::vector<std::string>{}, &config.path());
    std::vector<std::string> boxes;
    ASSERT_TRUE(WaitFor([&] { return !(boxes = x.WindowsNamed("Kelvo")).empty(); }, 20s)) << kelvo->Log();
    x.Xdotool({"windowfocus", "--sync", boxes.front(), "key", "Return"});
    EXPECT_TRUE(frame(false)) << kelvo->Log();
    EXPECT_TRUE(x.WindowsNamed("Kelvo").empty()) << "the box came once";
    EXPECT_EQ(kelvo->process().Stop(SIGTERM), 0) << kelvo->Log();
}
