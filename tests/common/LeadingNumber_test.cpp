#include "common/LeadingNumber.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

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
        EXPECT_TRUE(read.fit == fit && read.value == value) << '"' << text << "\" gave " << read.value;
    }
}

}  // namespace
