#include "common/Numeric.h"

#include <algorithm>
#include <cctype>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace trv {

double roundDecimals(double x, int decimals) {
    double scale = std::pow(10.0, decimals);
    return std::nearbyint(x * scale) / scale;
}

static size_t scanNumber(std::string_view t, size_t i) {
    // Returns the end of the number starting at i, or i when there is none.
    size_t start = i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t digits = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) { ++i; ++digits; }
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) { ++i; ++digits; }
    }
    if (digits == 0) return start;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        size_t j = i + 1;
        if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
        size_t expDigits = 0;
        while (j < t.size() && std::isdigit(static_cast<unsigned char>(t[j]))) { ++j; ++expDigits; }
        if (expDigits > 0) i = j;
    }
    return i;
}

double leadingNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    size_t end = scanNumber(text, i);
    if (end == i) return 0.0;
    std::string s(text.substr(i, end - i));
    if (!s.empty() && s[0] == '+') s.erase(0, 1);
    double v = std::strtod(s.c_str(), nullptr);
    if (!std::isfinite(v)) return 0.0;
    return v;
}

bool isNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    size_t end = scanNumber(text, i);
    if (end == i) return false;
    while (end < text.size() && (text[end] == ' ' || text[end] == '\t')) ++end;
    return end == text.size();
}

std::string commaAsPoint(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c == ',') c = '.';
    return s;
}

std::string zeroPadded(long long value, int width) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld", width, value);
    return buf;
}

std::string fixedDecimals(double value, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    std::string s = buf;
    // "-0.0" reads oddly in a file or on screen.
    if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
    return s;
}

std::string plainReal(double value) {
    if (!std::isfinite(value)) return "0";
    if (value == 0.0) return "0";
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (res.ec != std::errc()) return fixedDecimals(value, 6);
    return std::string(buf, res.ptr);
}

std::string withDecimalMark(std::string text, std::string_view mark) {
    if (mark == ".") return text;
    std::string out;
    for (char c : text) {
        if (c == '.')
            out += mark;
        else
            out += c;
    }
    return out;
}

std::string significant(double value, int digits, const std::string& decimalMark) {
    if (!std::isfinite(value)) return "";
    if (value == 0) return "0";
    char buf[64];
    const double magnitude = std::floor(std::log10(std::fabs(value)));
    std::to_chars_result r;
    if (magnitude >= -5 && magnitude < 7) {
        const int decimals = std::max(0, digits - 1 - static_cast<int>(magnitude));
        r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    } else {
        r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, digits - 1);
    }
    std::string s(buf, r.ptr);
    // Trailing zeros of the decimals say nothing.
    const size_t e = s.find('e');
    std::string mantissa = s.substr(0, e), exponent = e == std::string::npos ? "" : s.substr(e);
    if (mantissa.find('.') != std::string::npos) {
        mantissa.erase(mantissa.find_last_not_of('0') + 1);
        if (mantissa.back() == '.') mantissa.pop_back();
    }
    return withDecimalMark(mantissa + exponent, decimalMark);
}

double niceStep(double lo, double hi) {
    const double raw = (hi - lo) / 5;
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * p >= raw) return m * p;
    return 10 * p;
}

int16_t checkedInt16(long long v) {
    if (!fitsInt16(v)) throw Overflow16(v);
    return static_cast<int16_t>(v);
}

int16_t roundToInt16(double x) {
    if (!std::isfinite(x) || x > 40000.0 || x < -40000.0) throw Overflow16(x > 0 ? 40000 : -40000);
    return checkedInt16(roundHalfEven(x));
}

int16_t saturateInt16(long long v) {
    if (v > 32767) return 32767;
    if (v < -32768) return -32768;
    return static_cast<int16_t>(v);
}

} // namespace trv
