// Seeded random drawing cases in a 32 x 32 bitmap, drawn the same way by the
// reference program (real gdi32) and by the test of the software GDI, so both
// sides agree on every case without a list of cases on disk. Include it after
// the header that declares the GDI calls (windows.h or gdi/gdi.h).
#pragma once

#include <cstdint>

namespace gdicases {

constexpr int kSide = 32;
constexpr int kCasesPerKind = 2200;
constexpr COLORREF kPen = RGB(255, 0, 0);
constexpr COLORREF kBrush = RGB(0, 0, 255);

enum Kind { kThin, kWide2, kWide3, kEllipse, kPie, kFillRect, kKinds };
constexpr const char* kKindNames[kKinds] = {"thin", "wide2", "wide3", "ellipse", "pie", "fillrect"};

// splitmix64: small, and the same on every compiler.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int between(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<std::uint64_t>(hi - lo + 1)); }

private:
    std::uint64_t state_;
};

struct Case {
    Kind kind = kThin;
    int count = 0;  // polyline points
    POINT points[4] = {};
    RECT box = {};
    POINT r1 = {}, r2 = {};
};

// Coordinates reach a few pixels beyond the bitmap on every side.
inline int Coordinate(Random& random) { return random.between(-4, kSide + 3); }

inline Case MakeCase(Kind kind, int index)
{
    Random random(static_cast<std::uint64_t>(kind) * 1000003u + static_cast<std::uint64_t>(index));
    Case c;
    c.kind = kind;
    switch (kind) {
    case kThin:
    case kWide2:
    case kWide3:
        c.count = random.between(2, 4);
        for (int i = 0; i < c.count; ++i)
            c.points[i] = POINT{Coordinate(random), Coordinate(random)};
        break;
    case kEllipse:
    case kPie: {
        const int left = Coordinate(random);
        const int top = Coordinate(random);
        c.box = RECT{left, top, left + random.between(0, 30), top + random.between(0, 30)};
        c.r1 = POINT{random.between(-12, kSide + 11), random.between(-12, kSide + 11)};
        c.r2 = POINT{random.between(-12, kSide + 11), random.between(-12, kSide + 11)};
        break;
    }
    default:  // corners in any order
        c.box = RECT{Coordinate(random), Coordinate(random), Coordinate(random), Coordinate(random)};
        break;
    }
    return c;
}

// Draws one case with freshly made objects and puts the DC's own back.
inline void Draw(HDC dc, const Case& c)
{
    const int width = c.kind == kWide2 ? 2 : c.kind == kWide3 ? 3 : 1;
    HPEN pen = CreatePen(PS_SOLID, width, kPen);
    HBRUSH brush = CreateSolidBrush(kBrush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    const RECT& b = c.box;
    switch (c.kind) {
    case kEllipse:
        Ellipse(dc, b.left, b.top, b.right, b.bottom);
        break;
    case kPie:
        Pie(dc, b.left, b.top, b.right, b.bottom, c.r1.x, c.r1.y, c.r2.x, c.r2.y);
        break;
    case kFillRect:
        FillRect(dc, &b, brush);
        break;
    default:
        Polyline(dc, c.points, c.count);
        break;
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

// FNV-1a over the 0x00RRGGBB values of kSide rows of kSide pixels.
inline std::uint32_t Hash(const std::uint32_t* pixels, int stride)
{
    std::uint32_t h = 2166136261u;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const std::uint32_t p = pixels[y * stride + x] & 0x00FFFFFF;
            for (int shift = 0; shift < 32; shift += 8) {
                h ^= (p >> shift) & 0xFF;
                h *= 16777619u;
            }
        }
    return h;
}

}  // namespace gdicases
