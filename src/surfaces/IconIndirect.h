// A small off-screen canvas (colour bitmap plus one-bit mask, each in its own
// memory DC) from which an AND/XOR icon is made. Drawing paints black into the
// mask (opaque) and the colour into the canvas; a fresh canvas is transparent.
#pragma once

#include "win32/win32.h"

#include <optional>

namespace kelvo {

class IconIndirect {
public:
    IconIndirect() = default;
    ~IconIndirect();
    IconIndirect(const IconIndirect&) = delete;
    IconIndirect& operator=(const IconIndirect&) = delete;

    // The icon of the canvases as they are now. Repeated reads with no drawing
    // in between give the same handle; the first read after a drawing
    // operation destroys the previous icon and makes a new one. The handle
    // stays owned by this object. 0 before Create or when creation fails.
    HICON Icon();

    // System metrics read at the moment of the call.
    static LONG DefaultWidth();
    static LONG DefaultWidthSmall();
    static LONG DefaultWidthCaption();
    static LONG DefaultHeight();
    static LONG DefaultHeightSmall();
    static LONG DefaultHeightCaption();

    HDC MaskDC() const { return hMaskDC; }
    HDC CanvasDC() const { return hCanvasDC; }

    // Makes and clears both canvases; false when a DC or bitmap cannot be
    // made. A second call releases what the first one made and starts afresh.
    bool Create(SHORT Width, SHORT Height);

    // Boxes are Left, Top, Width, Height; right and bottom are 32-bit sums and
    // an overflow throws RuntimeError (Overflow) before anything is drawn.
    void DrawRect(LONG Left, LONG Top, LONG Width, LONG Height, LONG lColour);
    // Outline through all four corners (one column and row more than
    // DrawRect); black and one pixel wide by default.
    void HollowRect(LONG Left, LONG Top, LONG Width, LONG Height, std::optional<LONG> lColor = std::nullopt,
                    std::optional<LONG> lWidth = std::nullopt);
    // The end point is not painted by a one-pixel pen. The mask line is always
    // one pixel wide.
    void DrawLine(LONG x1, LONG y1, LONG x2, LONG y2, std::optional<LONG> lColor = std::nullopt,
                  std::optional<LONG> lWidth = std::nullopt);
    // Ellipse inscribed in the box; outline in lColour unless given. The mask
    // is always filled.
    void DrawCircle(LONG Left, LONG Top, LONG Width, LONG Height, LONG lColour,
                    std::optional<LONG> lOutlineColour = std::nullopt, bool Filled = true);
    // Wedge clockwise on screen from the radial through (x1, y1) to the one
    // through (x2, y2).
    void DrawPie(LONG Left, LONG Top, LONG Width, LONG Height, LONG x1, LONG y1, LONG x2, LONG y2, LONG lColour,
                 std::optional<LONG> lOutlineColour = std::nullopt);

private:
    bool CreateMemoryDCs();
    bool CreateIconBitmaps(SHORT Width, SHORT Height);
    void DeleteIconBitmaps();
    void DeleteMemoryDCs();
    void DestroyCurrentIcon();
    void Release();
    void Shape(bool pie, LONG Left, LONG Top, LONG Right, LONG Bottom, const POINT* radials, COLORREF fill,
               COLORREF outline, bool filled);

    HICON hIcon = nullptr;
    bool bChanged = false;
    HDC hMaskDC = nullptr;
    HDC hCanvasDC = nullptr;
    HBITMAP hMaskBitmap = nullptr;
    HGDIOBJ hOldMaskObject = nullptr;
    HBITMAP hCanvasBitmap = nullptr;
    HGDIOBJ hOldCanvasObject = nullptr;
};

}  // namespace kelvo
