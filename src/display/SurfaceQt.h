// The Qt surface: paints into a persistent QImage (what is drawn stays until
// it is drawn over or cleared, whatever repaints the window asks for), and a
// widget that shows that image and reports mouse events in user coordinates.
#pragma once

#include "display/Surface.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <functional>
#include <memory>

namespace trv {

class SurfaceQt : public Surface {
public:
    explicit SurfaceQt(int widthPx = 600, int heightPx = 400);
    ~SurfaceQt() override;
    SurfaceQt(const SurfaceQt&) = delete;
    SurfaceQt& operator=(const SurfaceQt&) = delete;

    void setScale(double left, double top, double right, double bottom) override;
    void clear() override;
    void setPenWidth(int pixels) override;
    void setForeColor(Rgb c) override { fore_ = c; }
    void line(double x1, double y1, double x2, double y2, Rgb c) override;
    void trace(double x0, double dx, std::span<const double> y, Rgb c) override;
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
    int pixelWidth() const override { return image_.width(); }
    int pixelHeight() const override { return image_.height(); }
    bool saveBmp(const std::string& path) override;

    // A new pixel size; what was drawn stays at the top-left, the rest is
    // white.
    void resize(int widthPx, int heightPx);

    // The image with every drawing so far (finishes pending painting).
    const QImage& image();
    // Finishes pending painting; the widget calls it before showing the image.
    void flush();

    // Pixel position of a user point, and back.
    QPointF toPixel(double x, double y) const;
    double userX(double px) const;
    double userY(double py) const;

    // Called once after the first drawing since the last flush (the widget
    // schedules its repaint there).
    std::function<void()> onChanged;

private:
    QPainter& painter();
    void touched();
    QRect pixelRect(double x1, double y1, double x2, double y2) const;

    QImage image_;
    std::unique_ptr<QPainter> painter_;
    bool dirty_ = false;
    double left_ = 0, top_ = 0, right_ = 1, bottom_ = 1;
    double curX_ = 0, curY_ = 0;
    int pen_ = 1;
    Rgb fore_ = colour::Black;
    double fontScale_ = 1.0;
    QFont font_;
    std::unique_ptr<QFontMetricsF> metrics_;
};

// Shows a SurfaceQt, follows the widget's size, and reports the mouse in user
// coordinates (for the windows that let the user click or drag on a plot).
class SurfaceWidget : public QWidget {
    Q_OBJECT
public:
    explicit SurfaceWidget(QWidget* parent = nullptr);

    SurfaceQt& surface() { return surface_; }

signals:
    void mousePressed(Qt::MouseButton button, double x, double y);
    void mouseMoved(Qt::MouseButtons buttons, double x, double y);
    void mouseReleased(Qt::MouseButton button, double x, double y);
    void doubleClicked(Qt::MouseButton button, double x, double y);
    // The surface has a new pixel size: its owner redraws.
    void resized();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    SurfaceQt surface_;
};

} // namespace trv
