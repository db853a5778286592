// The window display through DirectDraw in the main window, under Qt's
// offscreen platform: the composed frame to the pixel, the frame on the
// screen, and every way DirectDraw can fail. The test binary has a folder of
// its own, where it keeps canvas.bmp.
#include "app/AppFixture.h"
#include "app/Artwork.h"
#include "app/GdiHandles.h"
#include "ddraw/display.h"
#include "settings/StoredSettings.h"

#include <cmath>

namespace fs = std::filesystem;

namespace {

constexpr int W = 171, H = 61;
constexpr QRgb kBorder = qRgb(128, 128, 128);  // the canvas's own sunken edge

fs::path CanvasBmp()
{
    return fs::path(QCoreApplication::applicationDirPath().toStdString()) / "canvas.bmp";
}

// The desktop's display, but the test says when the display mode changes.
struct ModeChangingDisplay : ddraw::Display {
    ddraw::Display& real = ddraw::CurrentDisplay();
    std::uint64_t generation = 0;
    bool Available() override { return real.Available(); }
    std::uint64_t ModeGeneration() override { return generation; }
    bool ScreenSize(int& w, int& h) override { return real.ScreenSize(w, h); }
    bool WindowRect(HWND hWnd, RECT& r) override { return real.WindowRect(hWnd, r); }
    bool BeginWindowUpdate(HWND hWnd, ddraw::WindowPixels& p) override { return real.BeginWindowUpdate(hWnd, p); }
    void EndWindowUpdate(HWND hWnd, const RECT& r) override { real.EndWindowUpdate(hWnd, r); }
    void ReleaseWindow(HWND hWnd) override { real.ReleaseWindow(hWnd); }
    HRESULT LoadBitmapFile(const std::string& path, HBITMAP& b) override { return real.LoadBitmapFile(path, b); }
};

class DirectDrawForm : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        // Switched on by hand, as the applet never writes it.
        hive.Write("REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo]\n\"DirectX\"=\"y\"\n");
        ASSERT_TRUE(kelvo::CanvasPicture().save(QString::fromStdString(CanvasBmp().string()), "BMP"));
    }

    // One tick; what it wrote to stderr.
    static std::string Tick(frmMain& form)
    {
        testing::internal::CaptureStderr();
        Frame(form);
        return testing::internal::GetCapturedStderr();
    }
};

TEST_F(DirectDrawForm, FramesShowTheBackgroundWithTheTraceFromTheMiddleOfTheLeftEdge)
{
    std::vector<std::uint8_t> tone(37);
    for (std::size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<std::uint8_t>(128 + 100 * std::sin(i * 0.17));
    driver->autoPattern = tone;
    frmMain form("");
    ASSERT_TRUE(Load(form));
    EXPECT_EQ(Tick(form), "");
    ASSERT_TRUE(form.state.bDirectX);
    EXPECT_NE(form.picCanvas->grab().toImage().pixel(0, 0), kBorder) << "shown over the canvas";

    // The oracle: the GDI's line through (0, 30), then (x, row of the sample
    // of column x) for x = 1..W, n = 1200, over the background picture.
    std::vector<POINT> points{{0, 30}};
    for (int x = 1; x <= W; ++x) {
        const double s = tone[static_cast<std::size_t>(std::nearbyint(x * 1200.0 / W) - 1) % tone.size()];
        points.push_back({x, static_cast<LONG>(std::nearbyint(s / 256 * H))});
    }
    kelvo::GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, kTrace));
    kelvo::MemoryDC line(W, H);
    line.SelectPen(pen.get());
    Polyline(line.dc(), points.data(), static_cast<int>(points.size()));
    const QImage background = kelvo::CanvasPicture().convertToFormat(QImage::Format_RGB32);
    QImage withLine = background;
    for (int i = 0; i < W * H; ++i)
        if (GetPixel(line.dc(), i % W, i / W) == kTrace) withLine.setPixel(i % W, i / W, qRgb(128, 255, 255));
    EXPECT_EQ(WrongPixels(form, withLine, QRect(0, 0, W, H)), 0);
    driver->Fail();
    EXPECT_EQ(Tick(form), "");
    EXPECT_EQ(WrongPixels(form, background, QRect(0, 0, W, H)), 0) << "without sound, the background alone";
}

TEST_F(DirectDrawForm, AnyFailureMeansGdiForTheRestOfTheRunAndTheSwitchStays)
{
    driver->autoPattern = {128};
    ModeChangingDisplay display;
    const std::string gdi = "; drawing with GDI from now on\n";
    // before the start, after the first frame; what stderr says, the boxes
    const std::tuple<std::function<void()>, std::function<void()>, std::string, std::vector<std::string>> cases[] = {
        {[&] { ddraw::SetDisplay(&display); }, [&] { display.generation = 1; },
         "kelvo: DirectDraw: DirectDrawSurface7.Blt failed with DDERR_SURFACELOST (0x887601C2)" + gdi, {}},
        {[] { ::setenv("KELVO_DIRECTDRAW", "off", 1); }, {}, "",
         {"Kelvo|You have enabled DirectX support, but you do not have DirectX.  Sorry!|0"}},
        // A FIFO or folder in its place is refused as the missing file is (tests/ddraw).
        {[] { fs::remove(CanvasBmp()); }, {},
         "kelvo: DirectDraw: DirectDraw7.CreateSurfaceFromFile failed with DDERR_NOTFOUND (0x887600FF)" + gdi, {}},
    };
    for (const auto& [before, during, said, told] : cases) {
        boxes.clear();
        before();
        frmMain form("");
        testing::internal::CaptureStderr();
        ASSERT_TRUE(Load(form));
        std::string err = testing::internal::GetCapturedStderr();
        if (during) {
            EXPECT_EQ(Tick(form), "") << "DirectDraw draws at first";
            during();
        }
        err += Tick(form);
        EXPECT_EQ(err, said);
        EXPECT_EQ(boxes, told);
        EXPECT_FALSE(form.state.bDirectX);
        EXPECT_EQ(TraceRows(form, 50), std::vector<int>{30}) << "GDI drew this very frame";
        EXPECT_EQ(form.picCanvas->grab().toImage().pixel(0, 0), kBorder) << "the canvas shows itself again";
        form.Unload();
        EXPECT_TRUE(LoadStoredSettings().bDirectX);
        ::unsetenv("KELVO_DIRECTDRAW");
        ddraw::SetDisplay(nullptr);
    }
}

}  // namespace
