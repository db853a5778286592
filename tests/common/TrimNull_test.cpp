#include "common/Routines.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TEST(TrimNull, CutsAtTheFirstNulAfterTrimming)
{
    EXPECT_EQ(TrimNull("abc\0"s + std::string(252, ' ')), "abc");
    EXPECT_EQ(TrimNull("  abc\0def"s), "abc");
    EXPECT_EQ(TrimNull("  abc\0def"s, false), "  abc");
    EXPECT_EQ(TrimNull("ab  \0"s), "ab  ");  // the trim does not reach past the NUL
    EXPECT_EQ(TrimNull("  no nul  "), "no nul");
    EXPECT_EQ(TrimNull("  no nul  ", false), "  no nul  ");
    EXPECT_EQ(TrimNull(""), "");
    EXPECT_EQ(TrimNull("\0abc"s), "");
    EXPECT_EQ(TrimNull("    "), "");
    EXPECT_EQ(TrimNull("\tx\t", true), "\tx\t");  // only code 32 is a blank
}

}  // namespace
