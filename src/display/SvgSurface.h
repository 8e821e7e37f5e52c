// A surface that writes what is drawn as an SVG document (text), for plots
// saved as files from the core. Consecutive joined lines of one colour and
// width become one polyline, so a curve drawn as many short lines stays a
// small file. Text sizes are estimated (no font is at hand): a character is
// 0.6 of the font size wide.
#pragma once

#include "display/Surface.h"

#include <string>
#include <vector>

namespace trv {

class SvgSurface : public Surface {
  public:
    static constexpr double kFontPx = 12.0; // font size at font scale 1

    explicit SvgSurface(int widthPx = 640, int heightPx = 420);

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
    // An SVG surface holds no pixels: nothing is saved (false).
    bool saveBmp(const std::string& path) override;

    // The whole document drawn so far.
    std::string svg();

  private:
    double px(double x) const;
    double py(double y) const;
    void endPolyline();
    void element(const std::string& e) { body_ += e + "\n"; }

    int widthPx_, heightPx_;
    double left_ = 0, top_ = 0, right_ = 1, bottom_ = 1;
    double curX_ = 0, curY_ = 0;
    int pen_ = 1;
    double fontScale_ = 1.0;
    Rgb fore_ = colour::Black;
    std::string body_;
    // The polyline being drawn: its points in pixels, colour and width.
    std::vector<std::pair<double, double>> poly_;
    Rgb polyColour_;
    int polyPen_ = 1;
};

// Text made safe inside an XML element or attribute (&, <, >, quotes), with
// control characters other than tab dropped and bytes that are not UTF-8
// shown as "?".
std::string xmlEscaped(const std::string& s);

} // namespace trv
