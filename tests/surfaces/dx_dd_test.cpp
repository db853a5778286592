// DX_DD's indices and errors over the real DirectDraw objects. Loading
// canvas.bmp and drawing through DX_DD are pinned by the window's DirectDraw
// test (tests/app/DirectDrawFormTest.cpp).
#include "surfaces/DX_DD.h"

#include "common/RuntimeError.h"
#include "gdi/gdi_access.h"
#include "user/window_table.h"

#include <gtest/gtest.h>

#include <QWidget>

namespace {

int ErrorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const RuntimeError& e) {
        return static_cast<int>(e.number());
    }
    return 0;
}

class DxDdTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dd.Initialise(user::RegisterWindow(&window))); }

    QWidget window;
    HWND canvas = user::RegisterWindow(new QWidget(&window));
    DX_DD dd;
};

// Every creation, even a failed one, uses up an index; bad indices, values
// and too many surfaces raise errors 9, 13 and 6. Every operation looks its
// index up alike.
TEST_F(DxDdTest, IndicesCountEveryCreationAndBadOnesRaiseErrors)
{
    for (std::int16_t i : {0, 1}) {
        EXPECT_EQ(std::vector<int>({ErrorOf([&] { dd.Cls(i); }), ErrorOf([&] { dd.Copy(i, i); }),
                                    ErrorOf([&] { dd.Blt(i, canvas, i); })}),
                  std::vector<int>(3, 9));
    }
    EXPECT_EQ(dd.CreateSurface(DDSCAPS_PRIMARYSURFACE, canvas), 1);
    EXPECT_EQ(dd.CreateSurface(DDSCAPS_OFFSCREENPLAIN, canvas, 6, 5), 2);
    EXPECT_EQ(ErrorOf([&] { dd.CreateSurfaceFromFile(DDSCAPS_OFFSCREENPLAIN, "none.bmp", canvas); }), DDERR_NOTFOUND);
    const std::int16_t one = dd.CreateSurface(DDSCAPS_OFFSCREENPLAIN, canvas, 1, 1);
    EXPECT_EQ(one, 4) << "the failed creation used up 3";
    EXPECT_EQ(ErrorOf([&] { dd.SetSurfaceOptions(one, "solid"); }), 13);
    EXPECT_EQ(ErrorOf([&] { dd.SetSurfaceOptions(one, " 0 ", "1", 0, 0, 1e12); }), 6);
    for (int i = 5; i <= 32767; ++i) ErrorOf([&] { dd.CreateSurface(0x1000, canvas); });
    const int objects = gdi::LiveObjectCount();
    EXPECT_EQ(ErrorOf([&] { dd.CreateSurface(DDSCAPS_OFFSCREENPLAIN, canvas, 1, 1); }), 6);
    EXPECT_EQ(gdi::LiveObjectCount(), objects) << "nothing is created";
}

TEST_F(DxDdTest, ClsKeepsTheFillState)
{
    const std::int16_t s = dd.CreateSurface(DDSCAPS_OFFSCREENPLAIN, canvas, 4, 3);
    dd.SetSurfaceOptions(s, 0, 1, 99, 1, 0);
    dd.Cls(s, 200);
    LONG fill[2] = {};
    dd.SurfaceObject(s)->GetFillStyle(fill[0]);
    dd.SurfaceObject(s)->GetFillColor(fill[1]);
    EXPECT_EQ(std::vector<LONG>(fill, fill + 2), std::vector<LONG>({1, 99}));
    HDC dc = dd.GetSurfaceDC(s);
    EXPECT_EQ(std::make_pair(GetPixel(dc, 1, 1), GetPixel(dc, 0, 0)), std::make_pair(200u, 0u)) << "inside, outline";
    dd.ReleaseSurfaceDC(s, dc);
}

}  // namespace
