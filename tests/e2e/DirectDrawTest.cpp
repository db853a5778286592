// The window display through DirectDraw with "DirectX"="y", against a real
// X server, a real sound server and, for the tray, a real tray host.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

constexpr QRgb kTrace = qRgb(128, 255, 255);
constexpr QRgb kBorder = qRgb(128, 128, 128);  // the GDI canvas's sunken edge
// The canvas window inside the main window, border included.
constexpr QPoint kCanvas(6, 22);
constexpr QSize kCanvasSize(175, 65);

struct Canvas {
    bool directDraw = false;  // the border is drawn over and every other pixel is the background
    int trace = 0;
    QImage picture;
};

Canvas CanvasIn(const QImage& shot, QPoint window)
{
    Canvas c;
    c.picture = shot.copy(QRect(window + kCanvas, kCanvasSize));
    c.directDraw = c.picture.pixel(0, 0) != kBorder;
    for (int y = 0; y < c.picture.height(); ++y)
        for (int x = 0; x < c.picture.width(); ++x) {
            const QRgb p = c.picture.pixel(x, y);
            if (p == kTrace) ++c.trace;
            // canvas.bmp is a gradient from RGB(0, 107, 214) to RGB(57, 173, 255).
            else if (qRed(p) > 57 || qGreen(p) < 107 || qBlue(p) < 214) c.directDraw = false;
        }
    return c;
}

class DirectDraw : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto stored = e2e::Run({(fs::path(KELVO_BUILD_DIR) / "kelvo-reg").string(), "add",
                                 "HKCU\\SOFTWARE\\Quennel\\Kelvo", "/v", "DirectX", "/t", "REG_SZ", "/d", "y", "/f"},
                                {{"XDG_CONFIG_HOME", config.path().string()}});
        ASSERT_EQ(stored.code, 0);
    }

    void TearDown() override { ::unsetenv("KELVO_E2E_BINARY"); }

    QPoint Start(const Environment& extra = {})
    {
        Environment env = sound.ClientEnvironment();
        env.insert(extra.begin(), extra.end());
        kelvo = std::make_unique<Kelvo>(x, env, std::vector<std::string>{}, &config.path());
        const auto id = kelvo->MainWindow(20s);
        if (!id) throw std::runtime_error("no window:\n" + kelvo->Log());
        return x.Geometry(*id).topLeft();
    }

    // Waits for a canvas drawn the given way with a trace that differs from `before`.
    bool WaitForFrame(QPoint window, bool directDraw, Canvas& last, const QImage& before = {})
    {
        return WaitFor(
            [&] {
                last = CanvasIn(x.Screenshot(), window);
                return last.directDraw == directDraw && last.trace > 100 && last.picture != before;
            },
            20s);
    }

    TempDir config;
    XServer x;
    SoundServer sound;
    // Not a whole number of cycles in a 150 ms block, so that frames differ.
    std::unique_ptr<Process> player = sound.Play(Tone(437, 0.8, 120));
    std::unique_ptr<Kelvo> kelvo;
};

TEST_F(DirectDraw, TheBackgroundPictureCarriesTheLiveTraceAlsoAfterTheTray)
{
    Process trayer({"trayer", "--edge", "top", "--align", "left", "--widthtype", "request", "--height", "24",
                    "--SetDockType", "false"},
                   {{"DISPLAY", x.Display()}});
    ASSERT_TRUE(WaitFor([&] { return !x.WindowsNamed("panel").empty(); }, 10s)) << "the tray host is up";
    const QPoint window = Start();
    Canvas c;
    ASSERT_TRUE(WaitForFrame(window, true, c)) << "trace pixels " << c.trace << "\n" << kelvo->Log();
    const QImage first = c.picture;
    EXPECT_TRUE(WaitForFrame(window, true, c, first)) << "live";

    const auto click2 = [&](QPoint at) {
        x.Xdotool({"mousemove", std::to_string(at.x()), std::to_string(at.y())});
        x.Xdotool({"click", "--repeat", "2", "--delay", "60", "1"});
    };
    click2(window + QPoint(100, 10));
    ASSERT_TRUE(WaitFor([&] { return !kelvo->MainWindow(0ms); }, 10s)) << "into the tray";
    // The icon sits at the left of the panel, the only thing in it.
    const QImage shot = x.Screenshot();
    std::optional<QPoint> icon;
    for (int px = 0; px < 64 && !icon; ++px)
        for (int y = 0; y < 24 && !icon; ++y)
            if (shot.pixel(px, y) == qRgb(0, 0, 255)) icon = QPoint(px + 5, 12);
    ASSERT_TRUE(icon) << kelvo->Log();
    click2(*icon);
    ASSERT_TRUE(WaitFor([&] { return kelvo->MainWindow(0ms).has_value(); }, 10s)) << "back";
    const QImage stale = CanvasIn(x.Screenshot(), window).picture;
    EXPECT_TRUE(WaitForFrame(window, true, c, stale)) << "DirectDraw frames again";
    EXPECT_EQ(kelvo->Log().find("DirectDraw"), std::string::npos) << kelvo->Log();
    EXPECT_EQ(kelvo->process().Stop(SIGTERM), 0) << kelvo->Log();
}

TEST_F(DirectDraw, WithoutDirectXTheUserIsToldOnceAndGdiDraws)
{
    Environment env = sound.ClientEnvironment();
    env["KELVO_DIRECTDRAW"] = "off";
    kelvo = std::make_unique<Kelvo>(x, env, std::vector<std::string>{}, &config.path());
    std::vector<std::string> boxes;
    ASSERT_TRUE(WaitFor([&] { return !(boxes = x.WindowsNamed("Kelvo")).empty(); }, 20s)) << kelvo->Log();
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(kelvo->MainWindow(0ms)) << "start-up waits for the answer";
    x.Xdotool({"windowfocus", "--sync", boxes.front()});
    x.Xdotool({"key", "Return"});
    const auto id = kelvo->MainWindow(20s);
    ASSERT_TRUE(id) << kelvo->Log();
    Canvas c;
    EXPECT_TRUE(WaitForFrame(x.Geometry(*id).topLeft(), false, c)) << "trace pixels " << c.trace;
    for (const auto& w : x.WindowsNamed("Kelvo")) EXPECT_EQ(x.Geometry(w).size(), QSize(188, 94)) << "no second box";
    EXPECT_EQ(kelvo->process().Stop(SIGTERM), 0) << kelvo->Log();
}

TEST_F(DirectDraw, WithoutCanvasBmpKelvoRunsOnWithGdi)
{
    TempDir folder;
    fs::copy_file(KelvoBinary(), folder.path() / "kelvo");
    ::setenv("KELVO_E2E_BINARY", (folder.path() / "kelvo").c_str(), 1);
    const QPoint window = Start();
    Canvas c;
    EXPECT_TRUE(WaitForFrame(window, false, c)) << "trace pixels " << c.trace << "\n" << kelvo->Log();
    EXPECT_NE(kelvo->Log().find("kelvo: DirectDraw: DirectDraw7.CreateSurfaceFromFile failed with DDERR_NOTFOUND "
                                "(0x887600FF); drawing with GDI from now on"),
              std::string::npos)
        << kelvo->Log();
    EXPECT_TRUE(kelvo->process().Running());
    EXPECT_EQ(kelvo->process().Stop(SIGTERM), 0) << kelvo->Log();
}

}  // namespace
