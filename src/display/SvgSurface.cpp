#include "display/SvgSurface.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace trv {

namespace {

// Pixels with two decimals at most, "." whatever the locale.
std::string num(double v) {
    if (!std::isfinite(v)) v = 0;
    v = std::round(v * 100) / 100;
    if (v == 0) v = 0; // no "-0"
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    return std::string(buf, r.ptr);
}

std::string colourText(Rgb c) {
    static const char* hex = "0123456789abcdef";
    std::string s = "#";
    for (uint8_t v : {c.r, c.g, c.b}) {
        s += hex[v >> 4];
        s += hex[v & 15];
    }
    return s;
}

// Characters of a UTF-8 text (continuation bytes not counted).
size_t characters(const std::string& s) {
    return static_cast<size_t>(std::count_if(
        s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

} // namespace

std::string xmlEscaped(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        // A byte that does not start a whole UTF-8 character (a name typed in
        // another encoding) would make the document unreadable: "?".
        const size_t len = c < 0x80         ? 1
                           : (c >> 5) == 6  ? 2
                           : (c >> 4) == 14 ? 3
                           : (c >> 3) == 30 ? 4
                                            : 0;
        bool whole = len > 0 && i + len <= s.size();
        for (size_t k = 1; whole && k < len; ++k)
            whole = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
        if (!whole) {
            out += '?';
            ++i;
            continue;
        }
        if (len > 1) {
            out.append(s, i, len);
            i += len;
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            if (c >= 0x20 || c == '\t') out += static_cast<char>(c);
        }
        ++i;
    }
    return out;
}

SvgSurface::SvgSurface(int widthPx, int heightPx)
    : widthPx_(std::max(1, widthPx)), heightPx_(std::max(1, heightPx)) {
    right_ = widthPx_;
    bottom_ = heightPx_;
}

double SvgSurface::px(double x) const {
    return (x - left_) / (right_ - left_) * widthPx_;
}

double SvgSurface::py(double y) const {
    return (y - top_) / (bottom_ - top_) * heightPx_;
}

void SvgSurface::endPolyline() {
    if (poly_.size() < 2) {
        poly_.clear();
        return;
    }
    std::string e = "<polyline fill=\"none\" stroke=\"" + colourText(polyColour_) +
                    "\" stroke-width=\"" + std::to_string(polyPen_) + "\" points=\"";
    for (size_t i = 0; i < poly_.size(); ++i)
        e += (i ? " " : "") + num(poly_[i].first) + "," + num(poly_[i].second);
    element(e + "\"/>");
    poly_.clear();
}

void SvgSurface::setScale(double left, double top, double right, double bottom) {
    if (left == right || top == bottom) return;
    endPolyline();
    left_ = left;
    top_ = top;
    right_ = right;
    bottom_ = bottom;
}

void SvgSurface::clear() {
    poly_.clear();
    body_.clear();
    element("<rect x=\"0\" y=\"0\" width=\"" + std::to_string(widthPx_) + "\" height=\"" +
            std::to_string(heightPx_) + "\" fill=\"#ffffff\"/>");
    curX_ = left_;
    curY_ = top_;
}

void SvgSurface::setPenWidth(int pixels) {
    pen_ = std::max(1, pixels);
}

void SvgSurface::line(double x1, double y1, double x2, double y2, Rgb c) {
    const std::pair<double, double> a{px(x1), py(y1)}, b{px(x2), py(y2)};
    const bool joined = !poly_.empty() && polyColour_ == c && polyPen_ == pen_ &&
                        std::fabs(poly_.back().first - a.first) < 1e-6 &&
                        std::fabs(poly_.back().second - a.second) < 1e-6;
    if (!joined) {
        endPolyline();
        poly_.push_back(a);
        polyColour_ = c;
        polyPen_ = pen_;
    }
    poly_.push_back(b);
    curX_ = x2;
    curY_ = y2;
}

void SvgSurface::box(double x1, double y1, double x2, double y2, Rgb c) {
    endPolyline();
    const double ax = std::min(px(x1), px(x2)), ay = std::min(py(y1), py(y2));
    element("<rect x=\"" + num(ax) + "\" y=\"" + num(ay) + "\" width=\"" +
            num(std::fabs(px(x2) - px(x1))) + "\" height=\"" + num(std::fabs(py(y2) - py(y1))) +
            "\" fill=\"none\" stroke=\"" + colourText(c) + "\" stroke-width=\"" +
            std::to_string(pen_) + "\"/>");
    curX_ = x2;
    curY_ = y2;
}

void SvgSurface::filledBox(double x1, double y1, double x2, double y2, Rgb c) {
    endPolyline();
    const double ax = std::min(px(x1), px(x2)), ay = std::min(py(y1), py(y2));
    // Both corners belong to the box: one pixel more than the difference.
    element("<rect x=\"" + num(ax) + "\" y=\"" + num(ay) + "\" width=\"" +
            num(std::fabs(px(x2) - px(x1)) + 1) + "\" height=\"" +
            num(std::fabs(py(y2) - py(y1)) + 1) + "\" fill=\"" + colourText(c) + "\"/>");
    curX_ = x2;
    curY_ = y2;
}

void SvgSurface::circle(double x, double y, double radius, Rgb c) {
    endPolyline();
    const double r = std::fabs(radius / (right_ - left_) * widthPx_);
    element("<circle cx=\"" + num(px(x)) + "\" cy=\"" + num(py(y)) + "\" r=\"" + num(r) +
            "\" fill=\"none\" stroke=\"" + colourText(c) + "\" stroke-width=\"" +
            std::to_string(pen_) + "\"/>");
}

void SvgSurface::text(double x, double y, const std::string& s) {
    endPolyline();
    const double size = kFontPx * fontScale_;
    // The point is the text's top-left corner; SVG places the baseline.
    element("<text x=\"" + num(px(x)) + "\" y=\"" + num(py(y) + size * 0.8) +
            "\" font-family=\"DejaVu Sans, Arial, sans-serif\" font-size=\"" + num(size) +
            "\" fill=\"" + colourText(fore_) + "\">" + xmlEscaped(s) + "</text>");
    curX_ = x + textWidth(s) * (right_ >= left_ ? 1 : -1);
    curY_ = y;
}

void SvgSurface::moveTo(double x, double y) {
    curX_ = x;
    curY_ = y;
}

void SvgSurface::setFontScale(double factor) {
    if (factor > 0) fontScale_ = factor;
}

double SvgSurface::textWidth(const std::string& s) const {
    const double pixels = 0.6 * kFontPx * fontScale_ * static_cast<double>(characters(s));
    return pixels / widthPx_ * std::fabs(right_ - left_);
}

double SvgSurface::textHeight() const {
    return kFontPx * fontScale_ * 1.2 / heightPx_ * std::fabs(bottom_ - top_);
}

bool SvgSurface::saveBmp(const std::string&) {
    return false;
}

std::string SvgSurface::svg() {
    endPolyline();
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
           std::to_string(widthPx_) + "\" height=\"" + std::to_string(heightPx_) +
           "\" viewBox=\"0 0 " + std::to_string(widthPx_) + " " + std::to_string(heightPx_) +
           "\">\n" + body_ + "</svg>\n";
}

} // namespace trv
