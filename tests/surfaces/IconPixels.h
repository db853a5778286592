// Reading an icon's picture in tests.
#pragma once

#include "gdi/gdi_access.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kelvo::test {

constexpr std::uint32_t kTransparent = 0x00000000;

// 0xAARRGGBB of an opaque COLORREF.
constexpr std::uint32_t Argb(COLORREF c)
{
    return 0xFF000000u | (static_cast<std::uint32_t>(GetRValue(c)) << 16) |
           (static_cast<std::uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
}

inline std::uint32_t At(const gdi::IconImage& image, int x, int y)
{
    return image.argb[static_cast<std::size_t>(y) * image.width + x];
}

inline gdi::IconImage Picture(HICON icon)
{
    gdi::IconImage image;
    EXPECT_TRUE(gdi::IconPicture(icon, image));
    return image;
}

}  // namespace kelvo::test
