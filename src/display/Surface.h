// Surface: where every drawing procedure (Dibujar_...) draws. The windows give
// a Qt surface that paints a persistent image; tests give a recording surface
// that keeps the primitives, so a test can check what was drawn and where.
//
// Coordinates are user units set by setScale(left, top, right, bottom): x runs
// from left (left edge) to right (right edge), y from top (top edge) to bottom
// (bottom edge); y grows upwards when top > bottom. Pen width and text sizes
// are in pixels, whatever the scale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace trv {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

constexpr Rgb rgb(int r, int g, int b) {
    return Rgb{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
}

namespace colour {
inline constexpr Rgb Black = rgb(0, 0, 0);
inline constexpr Rgb White = rgb(255, 255, 255);
inline constexpr Rgb Red = rgb(255, 0, 0);
inline constexpr Rgb Green = rgb(0, 255, 0);
inline constexpr Rgb Blue = rgb(0, 0, 255);
} // namespace colour

class Surface {
  public:
    virtual ~Surface() = default;

    // The user coordinate system (see above). A degenerate range (left equal
    // to right, or top to bottom) is refused and the previous scale kept.
    virtual void setScale(double left, double top, double right, double bottom) = 0;

    // Fills the whole surface with white and puts the current position at
    // (left, top).
    virtual void clear() = 0;

    // Width in pixels of lines and outlines; at least 1.
    virtual void setPenWidth(int pixels) = 0;

    // Colour of the texts written from now on (black at the start).
    virtual void setForeColor(Rgb c) = 0;

    // A straight line; the current position moves to its end (x2, y2).
    virtual void line(double x1, double y1, double x2, double y2, Rgb c) = 0;

    // A trace of evenly spaced points (x0 + i dx, y[i]) joined by lines in one
    // colour, as line() joins them one by one; the current position moves to
    // the last point. Surfaces that can draw a long trace faster, with the
    // same pixels, do so.
    virtual void trace(double x0, double dx, std::span<const double> y, Rgb c) {
        for (size_t i = 1; i < y.size(); ++i)
            line(x0 + static_cast<double>(i - 1) * dx, y[i - 1], x0 + static_cast<double>(i) * dx,
                 y[i], c);
    }

    // The outline of the rectangle with corners (x1, y1) and (x2, y2), drawn
    // with the pen width; the current position moves to (x2, y2).
    virtual void box(double x1, double y1, double x2, double y2, Rgb c) = 0;

    // The rectangle with corners (x1, y1) and (x2, y2), both corners included,
    // filled with one colour (the pen width does not matter); the current
    // position moves to (x2, y2).
    virtual void filledBox(double x1, double y1, double x2, double y2, Rgb c) = 0;

    // A circle around (x, y); the radius is in units of the x axis.
    virtual void circle(double x, double y, double radius, Rgb c) = 0;

    // Writes a text in the fore colour with the top-left corner of its first
    // character at (x, y); the current position moves to (x, y) first and to
    // the right end of the text afterwards, so texts can be chained.
    virtual void text(double x, double y, const std::string& s) = 0;

    // The current position, moved by lines, boxes and texts.
    virtual void moveTo(double x, double y) = 0;
    virtual double currentX() const = 0;
    virtual double currentY() const = 0;

    // Writes a text at the current position (see text()).
    void print(const std::string& s) { text(currentX(), currentY(), s); }

    // Text size relative to the normal size (1.0); for smaller captions.
    virtual void setFontScale(double factor) = 0;

    // Size of a text in user units (width along x, height along y, both
    // positive), with the current font scale.
    virtual double textWidth(const std::string& s) const = 0;
    virtual double textHeight() const = 0;

    // Size of the surface in pixels.
    virtual int pixelWidth() const = 0;
    virtual int pixelHeight() const = 0;

    // Saves what the surface shows as a Windows bitmap file; false when the
    // file could not be written.
    virtual bool saveBmp(const std::string& path) = 0;
};

} // namespace trv
