// The one record of applet-wide state of the main window.
#pragma once

#include "capture/WaveIn.h"
#include "surfaces/DX_DD.h"
#include "win32/win32.h"

#include <cstdint>
#include <memory>

namespace kelvo {

struct FormState {
    std::unique_ptr<WaveIn> oRecorder;
    LONG lSampleRate = 0;
    LONG lBitsPerSample = 0;
    LONG lDisplayMode = 0;
    LONG lTrayStyle = 0;
    LONG lPlatform = 0;
    std::int16_t iFullScale = 0;
    LONG lFrameCount = 0;
    bool bDebug = false;
    bool bDirectX = false;
    std::unique_ptr<DX_DD> oDirectDraw;
    std::int16_t iCanvasSurface = 0;
    std::int16_t iPrimarySurface = 0;
    std::int16_t iBackgroundSurface = 0;
};

}  // namespace kelvo
