// Reading the number a text begins with, as a user types it into a box.
#pragma once

#include <cstdint>
#include <string_view>

// The number at the start of `text`: blanks (space, tab, line feed, carriage
// return) are skipped before it and between its characters; then an optional
// sign, digits, an optional decimal part and an optional exponent (e or E,
// optional sign, digits). Reading stops at the first character that fits
// none of these. A text that does not begin with a number gives 0; a number
// too large for a double gives an infinity of its sign.
double LeadingNumber(std::string_view text);

// The same number brought to the nearest whole number, halves to the even
// neighbour (14.5 gives 14, 15.5 gives 16), as a 16-bit signed integer.
struct LeadingInt16 {
    enum class Fit { Within, Above, Below };
    Fit fit;
    std::int16_t value;  // 0 unless fit is Within
};
LeadingInt16 ReadLeadingInt16(std::string_view text);
