#include "common/LeadingNumber.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// The characters of the text with the blanks left out, so that "1 5" reads 15.
class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    char Peek()
    {
        while (at_ < text_.size() && IsBlank(text_[at_])) ++at_;
        return at_ < text_.size() ? text_[at_] : '\0';
    }
    void Take(std::string& into) { into += text_[at_++]; }
    std::size_t Mark() const { return at_; }
    void Reset(std::size_t mark) { at_ = mark; }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

// Appends a run of digits; false when there was none.
bool TakeDigits(Reader& in, std::string& into)
{
    const std::size_t before = into.size();
    while (IsDigit(in.Peek())) in.Take(into);
    return into.size() > before;
}

}  // namespace

double LeadingNumber(std::string_view text)
{
    Reader in(text);
    std::string number;
    if (in.Peek() == '+' || in.Peek() == '-') in.Take(number);
    bool digits = TakeDigits(in, number);
    if (in.Peek() == '.') {
        in.Take(number);
        digits = TakeDigits(in, number) || digits;
    }
    if (!digits) return 0.0;

    // An exponent counts only when digits follow it: "2e" reads 2.
    const std::size_t mark = in.Mark();
    std::string exponent;
    if (in.Peek() == 'e' || in.Peek() == 'E') {
        in.Take(exponent);
        if (in.Peek() == '+' || in.Peek() == '-') in.Take(exponent);
        if (TakeDigits(in, exponent)) {
            number += exponent;
        } else {
            in.Reset(mark);
        }
    }
    // The point is a point whatever the user's locale (Qt adopts it).
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
    return c ? strtod_l(number.c_str(), nullptr, c) : std::strtod(number.c_str(), nullptr);
}

LeadingInt16 ReadLeadingInt16(std::string_view text)
{
    // The default rounding mode takes halves to the even neighbour.
    const double whole = std::nearbyint(LeadingNumber(text));
    if (whole > INT16_MAX) return {LeadingInt16::Fit::Above, 0};
    if (whole < INT16_MIN) return {LeadingInt16::Fit::Below, 0};
    return {LeadingInt16::Fit::Within, static_cast<std::int16_t>(whole)};
}
