// The window display through DirectDraw: each frame is composed on an
// off-screen surface from the canvas.bmp background and blitted over the
// canvas (no samples: the background alone). Any DirectDraw failure ends
// DirectDraw drawing for the run.
#include "app/SampleMapping.h"
#include "app/frmMain.h"
#include "common/RuntimeError.h"
#include "user/message_box.h"

#include <cstdio>

namespace {

constexpr const char* kNoDirectXText = "You have enabled DirectX support, but you do not have DirectX.  Sorry!";
constexpr const char* kAppTitle = "Kelvo";

}  // namespace

void frmMain::SetUpDirectDraw()
{
    state.oDirectDraw = std::make_unique<DX_DD>();
    if (!state.oDirectDraw->Initialise(hWnd())) {
        state.bDirectX = false;
        state.oDirectDraw.reset();
        MessageBoxA(hWnd(), kNoDirectXText, kAppTitle, MB_OK);
        return;
    }
    try {
        DX_DD& dd = *state.oDirectDraw;
        HWND canvas = picCanvas->hWnd();
        state.iPrimarySurface = dd.CreateSurface(DDSCAPS_PRIMARYSURFACE, canvas, 0, 0);
        state.iCanvasSurface = dd.CreateSurface(DDSCAPS_OFFSCREENPLAIN, canvas, RoundTo<LONG>(picCanvas->ScaleWidth()),
                                                RoundTo<LONG>(picCanvas->ScaleHeight()));
        state.iBackgroundSurface = dd.CreateSurfaceFromFile(DDSCAPS_OFFSCREENPLAIN, "canvas.bmp", canvas);
        dd.SetSurfaceOptions(state.iCanvasSurface, 0, 1, 0, 0, picCanvas->ForeColor());
    } catch (const std::exception& failure) {
        LeaveDirectDraw(failure);
    }
}

void frmMain::RenderDirectDrawFrame(std::span<const std::uint8_t> samples)
{
    try {
        DX_DD& dd = *state.oDirectDraw;
        const auto W = RoundTo<std::int16_t>(picCanvas->ScaleWidth());
        const auto H = RoundTo<std::int16_t>(picCanvas->ScaleHeight());
        LONG prevX = 0;
        LONG prevY = RoundTo<std::int16_t>(H / 2.0);
        dd.Copy(state.iBackgroundSurface, state.iCanvasSurface);
        for (std::int16_t x = 1; x <= W && !samples.empty(); ++x) {
            const LONG y = kelvo::RowOfColumn(samples, x, W, H, state.iFullScale);
            dd.DrawLine(state.iCanvasSurface, prevX, prevY, x, y);
            prevX = x;
            prevY = y;
        }
        dd.Blt(state.iPrimarySurface, picCanvas->hWnd(), state.iCanvasSurface);
    } catch (const std::exception& failure) {
        LeaveDirectDraw(failure);
        if (!samples.empty()) RenderWindowFrame(samples);
    }
}

// The stored switch stays as it is: the next start tries DirectDraw again.
void frmMain::LeaveDirectDraw(const std::exception& failure)
{
    std::fprintf(stderr, "kelvo: DirectDraw: %s; drawing with GDI from now on\n", failure.what());
    std::fflush(stderr);
    state.bDirectX = false;
    state.oDirectDraw.reset();
    picCanvas->Cls();
}
