// The window display through DirectDraw, in the main window under Qt's
// offscreen platform: the composed frame to the pixel, the frame on the
// screen, and every way DirectDraw can fail. The test binary has a folder of
// its own, where it keeps canvas.bmp.
#include "app/Artwork.h"
#include "app/frmMain.h"
#include "gdi/gdi.h"
#include "kernel/module_file.h"
#include "settings/StoredSettings.h"
#include "settings/clsRegistry.h"
#include "support/FakeCaptureDriver.h"
#include "support/ModeChangingDisplay.h"
#include "user/message_box.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr COLORREF kTrace = RGB(128, 255, 255);
constexpr int W = 171, H = 61;
constexpr QRgb kBorder = qRgb(128, 128, 128);  // the canvas's own sunken edge

fs::path CanvasBmp()
{
    char path[4096];
    GetModuleFileNameA(nullptr, path, sizeof path);
    return fs::path(path).parent_path() / "canvas.bmp";
}

class DirectDrawForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "kelvo-dd-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        config = pattern;
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        clsRegistry registry;
        ASSERT_TRUE(registry.CreateKey(kSettingsKey, true, HKEY_CURRENT_USER));
        ASSERT_TRUE(registry.WriteStringValue("DirectX", "y"));
        ASSERT_TRUE(kelvo::CanvasPicture().save(QString::fromStdString(CanvasBmp().string()), "BMP"));
        winmm::SetCaptureDriver(driver);
        user::SetMessageBoxHandler([this](const std::string& text, const std::string& caption, UINT type) {
            boxes.push_back(text + "|" + caption + "|" + std::to_string(type));
            return IDOK;
        });
    }

    void TearDown() override
    {
        user::SetMessageBoxHandler({});
        winmm::SetCaptureDriver(nullptr);
        ddraw::SetDisplay(nullptr);
        ::unsetenv("KELVO_DIRECTDRAW");
        fs::remove_all(config);
    }

    // Starts the form, draws one frame and returns what went to stderr.
    std::string StartAndTick(frmMain& form)
    {
        testing::internal::CaptureStderr();
        EXPECT_TRUE(form.Form_Load());
        emit form.Timer->Timer();
        return testing::internal::GetCapturedStderr();
    }

    static int GdiTracePixels(frmMain& form)
    {
        int n = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) n += GetPixel(form.picCanvas->hDC(), x, y) == kTrace;
        return n;
    }

    // After a failure: one line naming the call and code, GDI drawing, the
    // stored switch untouched.
    void ExpectGdiFromNowOn(frmMain& form, const std::string& err, const std::string& failure)
    {
        EXPECT_EQ(err, "kelvo: DirectDraw: " + failure + "; drawing with GDI from now on\n");
        EXPECT_FALSE(form.state.bDirectX);
        EXPECT_GT(GdiTracePixels(form), 0);
        EXPECT_EQ(form.picCanvas->grab().toImage().pixel(0, 0), kBorder) << "the canvas shows itself again";
        form.Unload();
        EXPECT_TRUE(LoadStoredSettings().bDirectX);
    }

    fs::path config;
    std::shared_ptr<testing_support::FakeCaptureDriver> driver =
        std::make_shared<testing_support::FakeCaptureDriver>();
    std::vector<std::string> boxes;
};

TEST_F(DirectDrawForm, FramesShowTheBackgroundWithTheTraceFromTheMiddleOfTheLeftEdge)
{
    std::vector<std::uint8_t> tone(37);
    for (std::size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<std::uint8_t>(std::lround(128 + 100 * std::sin(i * 0.17)));
    const QImage background = kelvo::CanvasPicture();
    for (const auto& samples : {std::vector<std::uint8_t>{128}, tone}) {
        driver->autoPattern = samples;
        frmMain form("");
        EXPECT_EQ(StartAndTick(form), "");
        EXPECT_TRUE(boxes.empty());
        ASSERT_TRUE(form.state.bDirectX);
        EXPECT_EQ((std::vector<int>{form.state.iPrimarySurface, form.state.iCanvasSurface,
                                    form.state.iBackgroundSurface}),
                  (std::vector<int>{1, 2, 3}));

        // The oracle: the background, and the GDI's line through (0, 30) and
        // then (x, row of the sample of column x) for x = 1..W.
        const int n = 1200;
        std::vector<POINT> points{{0, 30}};
        for (int x = 1; x <= W; ++x) {
            const int k = static_cast<int>(std::nearbyint(static_cast<double>(x) / W * n));
            const double s = samples[static_cast<std::size_t>(k - 1) % samples.size()];
            points.push_back({x, static_cast<LONG>(std::nearbyint(s / 256 * H))});
        }
        HDC expected = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = CreateBitmap(W, H, 1, 32, nullptr);
        HGDIOBJ oldBitmap = SelectObject(expected, bitmap);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const QRgb p = background.pixel(x, y);
                SetPixel(expected, x, y, RGB(qRed(p), qGreen(p), qBlue(p)));
            }
        HPEN pen = CreatePen(PS_SOLID, 1, kTrace);
        HGDIOBJ oldPen = SelectObject(expected, pen);
        Polyline(expected, points.data(), static_cast<int>(points.size()));

        DX_DD& dd = *form.state.oDirectDraw;
        HDC composed = dd.GetSurfaceDC(form.state.iCanvasSurface);
        const QImage screen = form.picCanvas->grab().toImage();
        int wrong = 0, wrongOnScreen = 0, trace = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                wrong += GetPixel(composed, x, y) != GetPixel(expected, x, y);
                trace += GetPixel(composed, x, y) == kTrace;
            }
        // On the screen the frame is stretched over the canvas window, border and all.
        ASSERT_EQ(screen.size(), QSize(W + 4, H + 4));
        for (int y = 0; y < screen.height(); ++y)
            for (int x = 0; x < screen.width(); ++x) {
                const COLORREF c = GetPixel(composed, (2 * x + 1) * W / (2 * screen.width()),
                                            (2 * y + 1) * H / (2 * screen.height()));
                wrongOnScreen += screen.pixel(x, y) != qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
            }
        dd.ReleaseSurfaceDC(form.state.iCanvasSurface, composed);
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(wrongOnScreen, 0);
        EXPECT_GE(trace, W) << "a trace across the whole canvas";
        EXPECT_EQ(GdiTracePixels(form), 0) << "GDI draws nothing";

        SelectObject(expected, oldPen);
        SelectObject(expected, oldBitmap);
        DeleteObject(pen);
        DeleteObject(bitmap);
        DeleteDC(expected);
    }
}

TEST_F(DirectDrawForm, AMissingOrDamagedBackgroundMeansGdiForTheRun)
{
    driver->autoFill = 128;
    struct Case {
        std::string contents;  // empty: no file
        std::string failure;
    } cases[] = {
        {"", "DirectDraw7.CreateSurfaceFromFile failed with DDERR_NOTFOUND (0x887600FF)"},
        {"BM6 and no picture", "DirectDraw7.CreateSurfaceFromFile failed with DDERR_GENERIC (0x80004005)"},
    };
    for (const Case& c : cases) {
        fs::remove(CanvasBmp());
        if (!c.contents.empty()) std::ofstream(CanvasBmp(), std::ios::binary) << c.contents;
        frmMain form("");
        ExpectGdiFromNowOn(form, StartAndTick(form), c.failure);
        EXPECT_TRUE(boxes.empty());
    }
}

TEST_F(DirectDrawForm, WithoutDirectXTheUserIsToldOnceAndGdiDraws)
{
    driver->autoFill = 128;
    ::setenv("KELVO_DIRECTDRAW", "off", 1);
    frmMain form("");
    EXPECT_EQ(StartAndTick(form), "");
    EXPECT_EQ(boxes, std::vector<std::string>{
                         "You have enabled DirectX support, but you do not have DirectX.  Sorry!|Kelvo|0"});
    EXPECT_FALSE(form.state.bDirectX);
    EXPECT_GT(GdiTracePixels(form), 0);
    form.Unload();
    EXPECT_TRUE(LoadStoredSettings().bDirectX);
}

TEST_F(DirectDrawForm, SurfacesLostDuringARunMeanGdiFromThatFrameOn)
{
    driver->autoFill = 128;
    testing_support::ModeChangingDisplay display;
    ddraw::SetDisplay(&display);
    frmMain form("");
    ASSERT_EQ(StartAndTick(form), "");
    ASSERT_TRUE(form.state.bDirectX);

    // The tray display never touches the surfaces; back in the window they draw again.
    form.SetDisplayMode(1);
    emit form.Timer->Timer();
    form.SetDisplayMode(0);
    emit form.Timer->Timer();
    EXPECT_TRUE(form.state.bDirectX);
    EXPECT_NE(form.picCanvas->grab().toImage().pixel(0, 0), kBorder);

    display.generation = 1;
    testing::internal::CaptureStderr();
    emit form.Timer->Timer();
    ExpectGdiFromNowOn(form, testing::internal::GetCapturedStderr(),
                       "DirectDrawSurface7.Blt failed with DDERR_SURFACELOST (0x887601C2)");
}

}  // namespace
