// The text routines: TrimNull on system-filled buffers, the leading-number reader.
#include "common/LeadingNumber.h"
#include "common/Routines.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using namespace std::string_literals;

TEST(TrimNull, CutsAtTheFirstNulAfterTrimming)
{
    EXPECT_EQ(TrimNull("abc\0"s + std::string(252, ' ')), "abc");
    EXPECT_EQ(TrimNull("  abc\0def"s), "abc");
    EXPECT_EQ(TrimNull("  abc\0def"s, false), "  abc");
    EXPECT_EQ(TrimNull("ab  \0"s), "ab  ");  // the trim does not reach past the NUL
    EXPECT_EQ(TrimNull("  no nul  "), "no nul");
    EXPECT_EQ(TrimNull("\0abc"s), "");
    EXPECT_EQ(TrimNull("    "), "");
    EXPECT_EQ(TrimNull("\tx\t", true), "\tx\t");  // only code 32 is a blank
}

TEST(LeadingNumber, ReadsTheLeadingNumberAndRoundsHalvesToEvenInto16Bits)
{
    using enum LeadingInt16::Fit;
    const std::tuple<const char*, double, LeadingInt16::Fit, int> cases[] = {
        {"150", 150, Within, 150},       {"  45", 45, Within, 45},          {"1 5", 15, Within, 15},
        {"20 frames", 20, Within, 20},   {"", 0, Within, 0},                {"abc", 0, Within, 0},
        {"+ 1 . 5 e 1", 15, Within, 15}, {"2E-1", 0.2, Within, 0},          {"2e+", 2, Within, 2},
        {"-", 0, Within, 0},             {"+-5", 0, Within, 0},             {".5", 0.5, Within, 0},
        {"1,5", 1, Within, 1},           {"\t7", 7, Within, 7},             {"3.2.1", 3.2, Within, 3},
        {"14.5", 14.5, Within, 14},      {"14.6", 14.6, Within, 15},        {"15.5", 15.5, Within, 16},
        {"-0.5", -0.5, Within, 0},       {"32767.49", 32767.49, Within, 32767}, {"32767.5", 32767.5, Above, 0},
        {"1e10", 1e10, Above, 0},        {"-32768.5", -32768.5, Within, -32768}, {"-32768.51", -32768.51, Below, 0},
        {"1e400", std::numeric_limits<double>::infinity(), Above, 0},
    };
    for (const auto& [text, number, fit, value] : cases) {
        EXPECT_DOUBLE_EQ(LeadingNumber(text), number) << '"' << text << '"';
        const LeadingInt16 read = ReadLeadingInt16(text);
        EXPECT_EQ(static_cast<int>(read.fit), static_cast<int>(fit)) << '"' << text << '"';
        EXPECT_EQ(read.value, value) << '"' << text << '"';
    }
}

}  // namespace
