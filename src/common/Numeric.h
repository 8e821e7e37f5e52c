// Number helpers used wherever the system rounds, reads or formats a number.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#if defined(__x86_64__) && defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trv {

// Nearest integer with halves going to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -2.5 -> -2). Every conversion of a computed real to an integer uses this.
// Inline because the detection rounds a few thousand values per beam and
// block: on x86-64 it is the one conversion instruction, which rounds in the
// current mode (to nearest, ties to even) exactly as nearbyint does, and gives
// INT64_MIN rather than undefined behaviour for values beyond 64 bits.
inline long long roundHalfEven(double x) {
#if defined(__x86_64__) && defined(__SSE2__)
    return _mm_cvtsd_si64(_mm_set_sd(x));
#else
    // nearbyint honours the current rounding mode, which is round-to-nearest,
    // ties-to-even unless someone changed it; std::round would round ties away.
    return static_cast<long long>(std::nearbyint(x));
#endif
}

// Same rounding, to a number of decimals (12.345 with 2 decimals -> 12.34 or
// 12.35 depending on the binary value; ties of the scaled value go to even).
double roundDecimals(double x, int decimals);

// The number at the start of a text: leading blanks, an optional sign, digits
// with an optional decimal point and an optional exponent. 0 when the text
// does not start with a number ("12abc" -> 12, "abc" -> 0, " -3.5x" -> -3.5).
double leadingNumber(std::string_view text);

// True when the whole text (blanks around it allowed) is one number.
bool isNumber(std::string_view text);

// A decimal text typed by the user may use "," as the decimal mark.
std::string commaAsPoint(std::string_view text);

// Fixed-width integer formatting: zeroPadded(3, 5) -> "00003"; a negative
// value keeps its sign in front ("-0003" for -3 with width 5).
std::string zeroPadded(long long value, int width);

// Fixed decimals ("0.0" gives fixedDecimals(x, 1)); ties of the binary value
// go to even, as the C library does.
std::string fixedDecimals(double value, int decimals);

// Plain decimal text of a real with "." whatever the locale, shortest form
// that reads back to the same value, never an exponent: 2.5 -> "2.5",
// 4.0 -> "4", 0.0001 -> "0.0001".
std::string plainReal(double value);

// Replaces "." by the given decimal mark (for texts shown to the user).
std::string withDecimalMark(std::string text, std::string_view mark);

// A real with a number of significant digits, the decimal mark given, no
// exponent for the everyday range (1e-5 and below, or 1e7 and above, keep
// one).
std::string significant(double value, int digits, const std::string& decimalMark);

// A round step (1, 2, 2.5 or 5 times a power of ten) giving up to about six
// axis ticks over [lo, hi].
double niceStep(double lo, double hi);

// Raised inside an operation when a 16-bit value overflows; the operation
// catches it at its boundary and ends with its own message.
struct Overflow16 : std::runtime_error {
    explicit Overflow16(long long v)
        : std::runtime_error("16-bit overflow: " + std::to_string(v)), value(v) {}
    long long value;
};

inline bool fitsInt16(long long v) { return v >= -32768 && v <= 32767; }

// Returns v as a 16-bit value or raises Overflow16.
int16_t checkedInt16(long long v);

// Rounds half to even and checks the 16-bit range (raises Overflow16).
int16_t roundToInt16(double x);

// Clamps to the 16-bit range; for the few places that must keep going.
int16_t saturateInt16(long long v);

} // namespace trv
