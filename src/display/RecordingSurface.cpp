#include "display/RecordingSurface.h"

#include <algorithm>
#include <cmath>

namespace trv {

RecordingSurface::RecordingSurface(int widthPx, int heightPx)
    : widthPx_(std::max(1, widthPx)), heightPx_(std::max(1, heightPx)) {
    prims_.reserve(4096);
}

void RecordingSurface::add(Kind k, double x1, double y1, double x2, double y2, Rgb c,
                           std::string s) {
    Primitive p;
    p.kind = k;
    p.x1 = x1;
    p.y1 = y1;
    p.x2 = x2;
    p.y2 = y2;
    p.colour = c;
    p.penWidth = pen_;
    p.text = std::move(s);
    p.fontScale = fontScale_;
    prims_.push_back(std::move(p));
}

void RecordingSurface::setScale(double left, double top, double right, double bottom) {
    if (left == right || top == bottom) return;
    left_ = left;
    top_ = top;
    right_ = right;
    bottom_ = bottom;
    add(Kind::Scale, left, top, right, bottom, fore_);
}

void RecordingSurface::clear() {
    add(Kind::Clear, left_, top_, right_, bottom_, colour::White);
    curX_ = left_;
    curY_ = top_;
}

void RecordingSurface::setPenWidth(int pixels) { pen_ = std::max(1, pixels); }

void RecordingSurface::line(double x1, double y1, double x2, double y2, Rgb c) {
    add(Kind::Line, x1, y1, x2, y2, c);
    curX_ = x2;
    curY_ = y2;
}

void RecordingSurface::box(double x1, double y1, double x2, double y2, Rgb c) {
    add(Kind::Box, x1, y1, x2, y2, c);
    curX_ = x2;
    curY_ = y2;
}

void RecordingSurface::filledBox(double x1, double y1, double x2, double y2, Rgb c) {
    add(Kind::FilledBox, x1, y1, x2, y2, c);
    curX_ = x2;
    curY_ = y2;
}

void RecordingSurface::circle(double x, double y, double radius, Rgb c) {
    add(Kind::Circle, x, y, radius, 0, c);
}

void RecordingSurface::text(double x, double y, const std::string& s) {
    add(Kind::Text, x, y, 0, 0, fore_, s);
    curX_ = x + textWidth(s) * (right_ >= left_ ? 1 : -1);
    curY_ = y;
}

void RecordingSurface::moveTo(double x, double y) {
    curX_ = x;
    curY_ = y;
}

void RecordingSurface::setFontScale(double factor) {
    if (factor > 0) fontScale_ = factor;
}

double RecordingSurface::textWidth(const std::string& s) const {
    return static_cast<double>(s.size()) * kCharWidthPx * fontScale_ * std::abs(right_ - left_) /
           widthPx_;
}

double RecordingSurface::textHeight() const {
    return kCharHeightPx * fontScale_ * std::abs(bottom_ - top_) / heightPx_;
}

bool RecordingSurface::saveBmp(const std::string& path) {
    savedBmps.push_back(path);
    return saveBmpResult;
}

std::vector<RecordingSurface::Primitive> RecordingSurface::ofKind(Kind k) const {
    std::vector<Primitive> out;
    for (const auto& p : prims_)
        if (p.kind == k) out.push_back(p);
    return out;
}

bool RecordingSurface::hasText(const std::string& s) const {
    return std::any_of(prims_.begin(), prims_.end(),
                       [&](const Primitive& p) { return p.kind == Kind::Text && p.text == s; });
}

Rgb RecordingSurface::fillAt(double x, double y) const {
    for (auto it = prims_.rbegin(); it != prims_.rend(); ++it) {
        if (it->kind == Kind::Clear) return colour::White;
        if (it->kind != Kind::FilledBox) continue;
        double xl = std::min(it->x1, it->x2), xh = std::max(it->x1, it->x2);
        double yl = std::min(it->y1, it->y2), yh = std::max(it->y1, it->y2);
        if (x >= xl && x <= xh && y >= yl && y <= yh) return it->colour;
    }
    return colour::White;
}

} // namespace trv
