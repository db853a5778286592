// The text routines: TrimNull on system-filled buffers, the leading-number reader.
#include "common/LeadingNumber.h"
#include "common/Routines.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <limits>

namespace {

using namespace std::string_literals;

TEST(TrimNull, CutsAtTheFirstNulAfterTrimming)
{
    const std::tuple<std::string, std::optional<bool>, std::string> cases[] = {  // text, trim; after
        {"abc\0"s + std::string(252, ' '), {}, "abc"}, {"  abc\0def"s, {}, "abc"}, {"  abc\0def"s, false, "  abc"},
        {"ab  \0"s, {}, "ab  "},  // the trim does not reach past the NUL
        {"  no nul  ", {}, "no nul"}, {"\0abc"s, {}, ""}, {"    ", {}, ""},
        {"\tx\t", true, "\tx\t"}};  // only code 32 is a blank
    for (const auto& [text, trim, after] : cases) EXPECT_EQ(TrimNull(text, trim), after) << '"' << text << '"';
}

TEST(LeadingNumber, ReadsTheLeadingNumberAndRoundsHalvesToEvenInto16Bits)
{
    using enum LeadingInt16::Fit;
    const std::tuple<const char*, double, LeadingInt16::Fit, int> cases[] = {
        {"  45", 45, Within, 45},        {"1 5", 15, Within, 15},           {"15.", 15, Within, 15},
        {"1e2", 100, Within, 100},       {"20 frames", 20, Within, 20},     {"", 0, Within, 0},
        {"abc", 0, Within, 0},           {"+ 1 . 5 e 1", 15, Within, 15},   {"2E-1", 0.2, Within, 0},
        {"2e+", 2, Within, 2},           {"-", 0, Within, 0},               {"+-5", 0, Within, 0},
        {".5", 0.5, Within, 0},          {"1,5", 1, Within, 1},             {"\t7", 7, Within, 7},
        {"3.2.1", 3.2, Within, 3},       {"14.5", 14.5, Within, 14},        {"14.6", 14.6, Within, 15},
        {"15.5", 15.5, Within, 16},      {"-0.5", -0.5, Within, 0},         {"32767.49", 32767.49, Within, 32767},
        {"32767.5", 32767.5, Above, 0},  {"-32768.5", -32768.5, Within, -32768}, {"-32768.51", -32768.51, Below, 0},
        {"1e400", std::numeric_limits<double>::infinity(), Above, 0},
    };
    for (const auto& [text, number, fit, value] : cases) {
        EXPECT_DOUBLE_EQ(LeadingNumber(text), number) << '"' << text << '"';
        const LeadingInt16 read = ReadLeadingInt16(text);
        EXPECT_EQ(static_cast<int>(read.fit), static_cast<int>(fit)) << '"' << text << '"';
        EXPECT_EQ(read.value, value) << '"' << text << '"';
    }
}

// Qt adopts the desktop's locale, and many desktops write 1,5 for one and a
// half: the test's build makes such a locale (xx_XX) for it.
TEST(LeadingNumber, ThePointStaysThePointInADecimalCommaLocale)
{
    if (!std::getenv("LOCPATH")) GTEST_SKIP() << "run by ctest, which points LOCPATH at the locale";
    ASSERT_NE(std::setlocale(LC_NUMERIC, "xx_XX"), nullptr) << "the build's xx_XX locale";
    const bool comma = *std::localeconv()->decimal_point == ',';
    const std::vector<double> read{LeadingNumber("14.6"), LeadingNumber("1,5"), LeadingNumber("2.5e1")};
    std::setlocale(LC_NUMERIC, "C");
    ASSERT_TRUE(comma);
    EXPECT_EQ(read, (std::vector<double>{14.6, 1, 25}));
}

}  // namespace
