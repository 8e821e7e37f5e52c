// A surface that draws nothing and remembers every primitive in user
// coordinates, for tests and measurements of the drawing procedures.
#pragma once

#include "display/Surface.h"

#include <cstddef>
#include <string>
#include <vector>

namespace trv {

class RecordingSurface : public Surface {
public:
    enum class Kind { Scale, Clear, Line, Box, FilledBox, Circle, Text };

    struct Primitive {
        Kind kind = Kind::Clear;
        // Line, boxes: the two corners; circle: centre in (x1, y1), radius in
        // x2; text: its point in (x1, y1); scale: left, top, right, bottom.
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        Rgb colour;       // drawing colour; the fore colour for texts
        int penWidth = 1; // pen width when it was drawn
        std::string text;
        double fontScale = 1.0;
    };

    // A nominal font: characters of 7 by 13 pixels at font scale 1.
    static constexpr double kCharWidthPx = 7.0;
    static constexpr double kCharHeightPx = 13.0;

    explicit RecordingSurface(int widthPx = 600, int heightPx = 400);

    void setScale(double left, double top, double right, double bottom) override;
    void clear() override;
    void setPenWidth(int pixels) override;
    void setForeColor(Rgb c) override { fore_ = c; }
    void line(double x1, double y1, double x2, double y2, Rgb c) override;
    void box(double x1, double y1, double x2, double y2, Rgb c) override;
    void filledBox(double x1, double y1, double x2, double y2, Rgb c) override;
    void circle(double x, double y, double radius, Rgb c) override;
    void text(double x, double y, const std::string& s) override;
    void moveTo(double x, double y) override;
    double currentX() const override { return curX_; }
    double currentY() const override { return curY_; }
    void setFontScale(double factor) override;
    double textWidth(const std::string& s) const override;
    double textHeight() const override;
    int pixelWidth() const override { return widthPx_; }
    int pixelHeight() const override { return heightPx_; }
    // Records the request; answers saveBmpResult.
    bool saveBmp(const std::string& path) override;

    // What was drawn, in order.
    const std::vector<Primitive>& primitives() const { return prims_; }
    // Forgets what was drawn (the scale, pen, colours and position stay).
    void forget() { prims_.clear(); }
    std::vector<Primitive> ofKind(Kind k) const;
    std::vector<Primitive> texts() const { return ofKind(Kind::Text); }
    std::vector<Primitive> filledBoxes() const { return ofKind(Kind::FilledBox); }
    bool hasText(const std::string& s) const;
    // The colour a point shows after the clears and filled boxes drawn so far
    // (lines, outlines and texts are not taken into account); white when
    // nothing filled it.
    Rgb fillAt(double x, double y) const;

    double left() const { return left_; }
    double top() const { return top_; }
    double right() const { return right_; }
    double bottom() const { return bottom_; }
    int penWidth() const { return pen_; }
    Rgb foreColor() const { return fore_; }

    std::vector<std::string> savedBmps;
    bool saveBmpResult = true;

private:
    void add(Kind k, double x1, double y1, double x2, double y2, Rgb c, std::string s = {});

    int widthPx_, heightPx_;
    double left_ = 0, top_ = 0, right_ = 1, bottom_ = 1;
    double curX_ = 0, curY_ = 0;
    int pen_ = 1;
    Rgb fore_ = colour::Black;
    double fontScale_ = 1.0;
    std::vector<Primitive> prims_;
};

} // namespace trv
