// DX_DD's indices and errors over the real DirectDraw objects. The test
// binary has a folder of its own, where it keeps canvas.bmp.
#include "surfaces/DX_DD.h"

#include "common/RuntimeError.h"
#include "gdi/gdi_access.h"
#include "kernel/module_file.h"
#include "user/window_table.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>

#include <filesystem>

namespace {

std::filesystem::path ProgramFolder()
{
    char path[4096];
    GetModuleFileNameA(nullptr, path, sizeof path);
    return std::filesystem::path(path).parent_path();
}

ErrorNumber ErrorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return ErrorNumber{0};
}

class DxDdTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QImage picture(4, 3, QImage::Format_RGB888);
        picture.fill(QColor(0, 107, 214));
        ASSERT_TRUE(picture.save(QString::fromStdString((ProgramFolder() / "canvas.bmp").string()), "BMP"));
        canvas.setFixedSize(6, 5);
        ASSERT_TRUE(dd.Initialise(user::RegisterWindow(&window)));
    }

    HWND Canvas() { return user::RegisterWindow(&canvas); }

    QWidget window;
    QWidget canvas{&window};
    DX_DD dd;
};

TEST_F(DxDdTest, IndicesCountEveryCreationEvenAFailedOne)
{
    EXPECT_EQ(dd.CreateSurface(DDSCAPS_PRIMARYSURFACE, Canvas()), 1);
    EXPECT_EQ(dd.CreateSurface(DDSCAPS_OFFSCREENPLAIN, Canvas(), 6, 5), 2);
    EXPECT_EQ(dd.CreateSurfaceFromFile(DDSCAPS_OFFSCREENPLAIN, "canvas.bmp", Canvas()), 3);
    DDSURFACEDESC2 desc{};
    dd.SurfaceObject(3)->GetSurfaceDesc(desc);
    EXPECT_EQ(std::make_pair(desc.dwWidth, desc.dwHeight), std::make_pair(4u, 3u)) << "sized like the file";

    EXPECT_EQ(ErrorOf([&] { dd.CreateSurfaceFromFile(DDSCAPS_OFFSCREENPLAIN, "missing.bmp", Canvas()); }),
              static_cast<ErrorNumber>(DDERR_NOTFOUND));
    EXPECT_EQ(dd.SurfaceObject(4), nullptr);
    EXPECT_EQ(ErrorOf([&] { dd.Copy(3, 4); }), static_cast<ErrorNumber>(DDERR_INVALIDOBJECT));
    EXPECT_EQ(dd.CreateSurface(DDSCAPS_OFFSCREENPLAIN, Canvas(), 1, 1), 5) << "the failed creation used up 4";
}

TEST_F(DxDdTest, BadIndicesAndTooManySurfacesRaiseErrorsNineAndSix)
{
    const auto nine = ErrorNumber::SubscriptOutOfRange;
    for (std::int16_t i : {0, 1}) {
        EXPECT_EQ(ErrorOf([&] { dd.Cls(i); }), nine);
        EXPECT_EQ(ErrorOf([&] { dd.Copy(i, i); }), nine);
        EXPECT_EQ(ErrorOf([&] { dd.DrawLine(i, 0, 0, 1, 1); }), nine);
        EXPECT_EQ(ErrorOf([&] { dd.GetSurfaceDC(i); }), nine);
        EXPECT_EQ(ErrorOf([&] { dd.ReleaseSurfaceDC(i, nullptr); }), nine);
        EXPECT_EQ(ErrorOf([&] { dd.SetSurfaceOptions(i); }), nine);
        EXPECT_EQ(ErrorOf([&] { dd.Blt(i, Canvas(), i); }), nine);
    }
    const std::int16_t one = dd.CreateSurface(DDSCAPS_OFFSCREENPLAIN, Canvas(), 1, 1);
    EXPECT_EQ(ErrorOf([&] { dd.SetSurfaceOptions(one, "solid"); }), ErrorNumber::TypeMismatch);
    EXPECT_EQ(ErrorOf([&] { dd.SetSurfaceOptions(one, " 0 ", "1", 0, 0, 1e12); }), ErrorNumber::Overflow);

    // Creations that fail at once still take their index, up to the last one.
    for (int i = 2; i <= 32767; ++i) ErrorOf([&] { dd.CreateSurface(0x1000, Canvas()); });
    const int objects = gdi::LiveObjectCount();
    EXPECT_EQ(ErrorOf([&] { dd.CreateSurface(DDSCAPS_OFFSCREENPLAIN, Canvas(), 1, 1); }), ErrorNumber::Overflow);
    EXPECT_EQ(gdi::LiveObjectCount(), objects) << "nothing is created";
}

TEST_F(DxDdTest, ClsFillsInsideTheOutlineAndKeepsTheFillState)
{
    const std::int16_t s = dd.CreateSurface(DDSCAPS_OFFSCREENPLAIN, Canvas(), 4, 3);
    dd.SetSurfaceOptions(s, 0, 1, static_cast<int>(RGB(9, 9, 9)), 1, static_cast<int>(RGB(1, 2, 3)));
    dd.Cls(s, static_cast<LONG>(RGB(200, 0, 0)));
    LONG fillStyle = -1, fillColour = -1;
    dd.SurfaceObject(s)->GetFillStyle(fillStyle);
    dd.SurfaceObject(s)->GetFillColor(fillColour);
    EXPECT_EQ(std::make_pair(fillStyle, fillColour), std::make_pair(1, static_cast<LONG>(RGB(9, 9, 9))));

    HDC dc = dd.GetSurfaceDC(s);
    const COLORREF F = RGB(1, 2, 3), I = RGB(200, 0, 0);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) pixels.push_back(GetPixel(dc, x, y));
    dd.ReleaseSurfaceDC(s, dc);
    EXPECT_EQ(pixels, (std::vector<COLORREF>{F, F, F, F, F, I, I, F, F, F, F, F}));
}

}  // namespace
