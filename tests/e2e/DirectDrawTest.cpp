// The window display through DirectDraw with "DirectX"="y", against a real
// X server, a real sound server and a real tray host.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

// The canvas window, border included, in a screenshot: DirectDraw draws over
// the GDI's sunken edge, and shows canvas.bmp (a gradient from
// RGB(0, 107, 214) to RGB(57, 173, 255)) wherever the trace is not.
struct Canvas {
    QImage picture;
    int trace = 0;
    bool directDraw = true;
    explicit Canvas(const QImage& shot, QPoint window) : picture(shot.copy(QRect(window + QPoint(6, 22), QSize(175, 65))))
    {
        for (int i = 0; i < 175 * 65; ++i) {
            const QRgb p = picture.pixel(i % 175, i / 175);
            trace += p == qRgb(128, 255, 255);
            if (p != qRgb(128, 255, 255) && (qRed(p) > 57 || qGreen(p) < 107 || qBlue(p) < 214)) directDraw = false;
        }
    }
};

class DirectDraw : public ::testing::Test {
protected:
    DirectDraw()
    {
        e2e::Run({(fs::path(KELVO_BUILD_DIR) / "kelvo-reg").string(), "add", "HKCU\\SOFTWARE\\Quennel\\Kelvo", "/v",
                  "DirectX", "/t", "REG_SZ", "/d", "y", "/f"},
                 {{"XDG_CONFIG_HOME", config.path().string()}});
    }

    void Start(const Environment& extra = {}, const fs::path& binary = KelvoBinary())
    {
        Environment env = sound.ClientEnvironment();
        env.insert(extra.begin(), extra.end());
        kelvo = std::make_unique<Kelvo>(x, env, std::vector<std::string>{}, &config.path(), binary);
    }

    // Waits for a frame drawn the given way, with a trace, unlike `before`.
    bool Frame(bool directDraw, const QImage& before = {})
    {
        const auto id = kelvo->MainWindow(20s);
        return id && WaitFor(
                         [&] {
                             const Canvas c(x.Screenshot(), x.Geometry(*id).topLeft());
                             last = c.picture;
                             return c.directDraw == directDraw && c.trace > 100 && c.picture != before;
                         },
                         20s);
    }

    void DoubleClick(QPoint at)
    {
        x.Xdotool({"mousemove", std::to_string(at.x()), std::to_string(at.y())});
        x.Xdotool({"click", "--repeat", "2", "--delay", "60", "1"});
    }

    TempDir config;
    XServer x;
    SoundServer sound;
    // Not a whole number of cycles in a 150 ms block, so that frames differ.
    std::unique_ptr<Process> player = sound.Play(Tone(437, 0.8, 120));
    std::unique_ptr<Kelvo> kelvo;
    QImage last;
};

TEST_F(DirectDraw, TheBackgroundPictureCarriesTheLiveTraceAlsoAfterTheTray)
{
    Process trayer({"trayer", "--edge", "top", "--align", "left", "--widthtype", "request", "--height", "24",
                    "--SetDockType", "false"},
                   {{"DISPLAY", x.Display()}});
    ASSERT_TRUE(WaitFor([&] { return !x.WindowsNamed("panel").empty(); }, 10s)) << "the tray host is up";
    Start();
    ASSERT_TRUE(Frame(true)) << kelvo->Log();
    EXPECT_TRUE(Frame(true, QImage(last))) << "live";

    DoubleClick(x.Geometry(*kelvo->MainWindow()).topLeft() + QPoint(100, 10));
    ASSERT_TRUE(WaitFor([&] { return !kelvo->MainWindow(0ms); }, 10s)) << "into the tray";
    const QImage shot = x.Screenshot();
    for (int i = 0; i < 64 * 24; ++i) {  // the icon's trace, the only blue in the panel
        if (shot.pixel(i % 64, i / 64) == qRgb(0, 0, 255)) {
            DoubleClick(QPoint(i % 64 + 5, 12));
            break;
        }
    }
    EXPECT_TRUE(Frame(true, QImage(last))) << "DirectDraw frames again";
    EXPECT_EQ(kelvo->Log().find("DirectDraw"), std::string::npos) << kelvo->Log();
    EXPECT_EQ(kelvo->process().Stop(SIGTERM), 0) << kelvo->Log();
}

TEST_F(DirectDraw, WithoutDirectXTheUserIsToldOnceAndGdiDraws)
{
    Start({{"KELVO_DIRECTDRAW", "off"}});
    std::vector<std::string> boxes;
    ASSERT_TRUE(WaitFor([&] { return !(boxes = x.WindowsNamed("Kelvo")).empty(); }, 20s)) << kelvo->Log();
    EXPECT_FALSE(kelvo->MainWindow(0ms)) << "start-up waits for the answer";
    x.Xdotool({"windowfocus", "--sync", boxes.front()});
    x.Xdotool({"key", "Return"});
    EXPECT_TRUE(Frame(false)) << kelvo->Log();
    EXPECT_TRUE(x.WindowsNamed("Kelvo").empty()) << "the box came once";
    EXPECT_EQ(kelvo->process().Stop(SIGTERM), 0) << kelvo->Log();
}

TEST_F(DirectDraw, WithoutCanvasBmpKelvoRunsOnWithGdi)
{
    TempDir folder;
    fs::copy_file(KelvoBinary(), folder.path() / "kelvo");
    Start({}, folder.path() / "kelvo");
    EXPECT_TRUE(Frame(false)) << kelvo->Log();
    EXPECT_NE(kelvo->Log().find("kelvo: DirectDraw: DirectDraw7.CreateSurfaceFromFile failed with DDERR_NOTFOUND "
                                "(0x887600FF); drawing with GDI from now on\n"),
              std::string::npos)
        << kelvo->Log();
    EXPECT_EQ(kelvo->process().Stop(SIGTERM), 0) << kelvo->Log();
}

}  // namespace
