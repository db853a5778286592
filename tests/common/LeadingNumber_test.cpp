#include "common/LeadingNumber.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(LeadingNumber, ReadsTheNumberATextBeginsWith)
{
    const struct {
        const char* text;
        double number;
    } cases[] = {
        {"150", 150},      {"  45", 45},        {"1 5", 15},       {"20 frames", 20}, {"", 0},
        {"abc", 0},        {"x15", 0},          {"14.5", 14.5},    {".5", 0.5},       {"5.", 5},
        {"-40000", -40000}, {"+ 1 . 5 e 1", 15}, {"1e10", 1e10},    {"2E-1", 0.2},     {"2e", 2},
        {"2e+", 2},        {"-", 0},            {"+-5", 0},        {".", 0},          {"1,5", 1},
        {"\t7\n", 7},      {"1e400", kInf},     {"-1e400", -kInf}, {"3.2.1", 3.2},    {"0x1A", 0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.number) << '"' << c.text << '"';
}

TEST(LeadingNumber, RoundsHalvesToEvenInto16Bits)
{
    using Fit = LeadingInt16::Fit;
    const struct {
        const char* text;
        Fit fit;
        int value;
    } cases[] = {
        {"14.5", Fit::Within, 14},      {"14.6", Fit::Within, 15},      {"15.5", Fit::Within, 16},
        {"-0.5", Fit::Within, 0},       {"32767", Fit::Within, 32767},  {"32767.49", Fit::Within, 32767},
        {"32767.5", Fit::Above, 0},     {"99999", Fit::Above, 0},       {"1e10", Fit::Above, 0},
        {"-32768", Fit::Within, -32768}, {"-32768.5", Fit::Within, -32768}, {"-32768.51", Fit::Below, 0},
        {"-40000", Fit::Below, 0},      {"rate", Fit::Within, 0},
    };
    for (const auto& c : cases) {
        const LeadingInt16 read = ReadLeadingInt16(c.text);
        EXPECT_EQ(read.fit, c.fit) << c.text;
        EXPECT_EQ(read.value, c.value) << c.text;
    }
}

}  // namespace
