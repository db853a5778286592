// Every seeded case, drawn by the software GDI, must give the picture the
// system's gdi32 gave (tools/gdi-reference/make-reference.sh recorded them).
#include "gdi/gdi.h"
#include "gdi/gdi_access.h"

#include "gdi-reference/gdi_cases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace gdicases;

// The recorded hash of each case; -1 where the reference drew unsteadily.
std::vector<std::int64_t> ExpectedHashes(const std::string& kind)
{
    std::ifstream in(KELVO_GDI_REFERENCE);
    std::vector<std::int64_t> hashes;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string name;
        words >> name;
        if (name != kind) continue;
        for (std::string word; words >> word;)
            hashes.push_back(word == "-" ? -1 : static_cast<std::int64_t>(std::stoul(word, nullptr, 16)));
    }
    return hashes;
}

// Our picture of a failing case: MakeCase(kind, i) gives its shapes again.
std::string Picture(const gdi::PixelView& view)
{
    std::string s = "; ours:\n";
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const std::uint32_t p = view.bits[y * view.stride + x];
            s += p == 0 ? '.' : p == 0xFF0000 ? 'o' : p == 0x0000FF ? '#' : '?';
        }
        s += '\n';
    }
    return s;
}

class GdiReference : public ::testing::TestWithParam<Kind> {};

TEST_P(GdiReference, EveryCaseMatchesTheSystemsPicture)
{
    const Kind kind = GetParam();
    const std::vector<std::int64_t> expected = ExpectedHashes(kKindNames[kind]);
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(kCasesPerKind)) << "reference data for " << kKindNames[kind];

    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(kSide, kSide, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const gdi::PixelView view = gdi::BitmapPixels(bitmap);
    int compared = 0, agree = 0;
    for (int i = 0; i < kCasesPerKind; ++i) {
        if (expected[i] < 0) continue;
        ++compared;
        std::fill(view.bits, view.bits + kSide * view.stride, 0u);
        Draw(dc, MakeCase(kind, i));
        if (Hash(view.bits, view.stride) == expected[i])
            ++agree;
        else if (compared - agree <= 3)
            ADD_FAILURE() << kKindNames[kind] << " case " << i << Picture(view);
    }
    std::cout << kKindNames[kind] << ": " << agree << " of " << compared << " cases agree\n";
    EXPECT_GE(compared, 2000) << kKindNames[kind];
    EXPECT_EQ(agree, compared) << kKindNames[kind];
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

INSTANTIATE_TEST_SUITE_P(Primitives, GdiReference, ::testing::Values(kThin, kWide2, kWide3, kEllipse, kPie, kFillRect),
                         [](const auto& info) { return std::string(kKindNames[info.param]); });

}  // namespace
