// A software GDI: device contexts, bitmaps, pens, brushes and the few
// drawing calls Kelvo uses, with the published names, signatures and pixel
// conventions (half-open fills, the last point of a thin polyline is not
// painted, everything clipped to the selected bitmap).
#pragma once

#include "win32/win32.h"

// GetStockObject indexes.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;

// Pen styles.
constexpr int PS_SOLID = 0;
constexpr int PS_NULL = 5;

// GetDeviceCaps indexes.
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;

// Raster operations for BitBlt.
constexpr DWORD SRCCOPY = 0x00CC0020;

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

struct ICONINFO {
    BOOL fIcon;
    DWORD xHotspot;
    DWORD yHotspot;
    HBITMAP hbmMask;
    HBITMAP hbmColor;
};
using PICONINFO = ICONINFO*;

HDC CreateICA(LPCSTR pszDriver, LPCSTR pszDevice, LPCSTR pszPort, const void* pdm);
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
HBITMAP CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount, const void* lpBits);
HBITMAP CreateCompatibleBitmap(HDC hdc, int cx, int cy);
int GetDeviceCaps(HDC hdc, int index);

HGDIOBJ GetStockObject(int i);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h);
BOOL DeleteObject(HGDIOBJ ho);
HPEN CreatePen(int iStyle, int cWidth, COLORREF color);
HBRUSH CreateSolidBrush(COLORREF color);

BOOL SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom);
int FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr);
BOOL Polyline(HDC hdc, const POINT* apt, int cpt);
BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom);
BOOL Pie(HDC hdc, int left, int top, int right, int bottom, int xr1, int yr1, int xr2, int yr2);
COLORREF GetPixel(HDC hdc, int x, int y);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);
BOOL BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop);

HICON CreateIconIndirect(PICONINFO piconinfo);
BOOL DestroyIcon(HICON hIcon);
