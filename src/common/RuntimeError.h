// The one exception type for the language-level errors the applet's code can
// raise (overflow, subscript out of range, type mismatch). It carries the
// error number so that a handler can log it the way the user would see it.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

enum class ErrorNumber : int {
    Overflow = 6,
    SubscriptOutOfRange = 9,
    TypeMismatch = 13,
};

class RuntimeError : public std::runtime_error {
public:
    explicit RuntimeError(ErrorNumber number)
        : std::runtime_error(describe(number)), number_(number) {}
    // A failure passed on from a platform call: its result code is the number.
    RuntimeError(ErrorNumber number, const std::string& message)
        : std::runtime_error(message), number_(number) {}

    ErrorNumber number() const { return number_; }

private:
    static std::string describe(ErrorNumber number)
    {
        switch (number) {
        case ErrorNumber::Overflow: return "Run-time error 6: Overflow";
        case ErrorNumber::SubscriptOutOfRange: return "Run-time error 9: Subscript out of range";
        case ErrorNumber::TypeMismatch: return "Run-time error 13: Type mismatch";
        }
        return "Run-time error " + std::to_string(static_cast<int>(number));
    }

    ErrorNumber number_;
};

// Conversions with the applet's rules: to the nearest integer, halves to even,
// and an overflow error when the result does not fit.
template <typename Int>
Int RoundTo(double value)
{
    const double r = std::nearbyint(value);  // the default mode rounds halves to even
    if (!(r >= static_cast<double>(std::numeric_limits<Int>::min()) &&
          r <= static_cast<double>(std::numeric_limits<Int>::max()))) {
        throw RuntimeError(ErrorNumber::Overflow);
    }
    return static_cast<Int>(r);
}

template <typename Int, typename From>
Int NarrowTo(From value)
{
    if (!std::in_range<Int>(value)) throw RuntimeError(ErrorNumber::Overflow);
    return static_cast<Int>(value);
}

// 32-bit signed sum that raises the overflow error instead of wrapping.
inline std::int32_t CheckedAdd(std::int32_t a, std::int32_t b)
{
    std::int32_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) throw RuntimeError(ErrorNumber::Overflow);
    return sum;
}
