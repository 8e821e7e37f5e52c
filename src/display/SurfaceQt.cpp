#include "display/SurfaceQt.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

namespace trv {

namespace {
// About the size of the classic 8-point dialog font on a 96-dpi screen.
constexpr int kFontPixels = 11;

QColor qcolour(Rgb c) {
    return QColor(c.r, c.g, c.b);
}
} // namespace

SurfaceQt::SurfaceQt(int widthPx, int heightPx)
    : image_(std::max(1, widthPx), std::max(1, heightPx), QImage::Format_RGB32),
      font_(QStringLiteral("DejaVu Sans")) {
    image_.fill(Qt::white);
    font_.setPixelSize(kFontPixels);
    font_.setStyleHint(QFont::SansSerif);
    font_.setStyleStrategy(QFont::NoAntialias);
    metrics_ = std::make_unique<QFontMetricsF>(font_);
}

SurfaceQt::~SurfaceQt() {
    flush();
}

QPainter& SurfaceQt::painter() {
    if (!painter_) {
        painter_ = std::make_unique<QPainter>(&image_);
        painter_->setRenderHint(QPainter::Antialiasing, false);
        // Plain pixels, so that a text written again in white erases it
        // completely (the signal view's tick counter relies on it).
        painter_->setRenderHint(QPainter::TextAntialiasing, false);
        painter_->setFont(font_);
    }
    return *painter_;
}

void SurfaceQt::touched() {
    if (dirty_) return;
    dirty_ = true;
    if (onChanged) onChanged();
}

void SurfaceQt::flush() {
    painter_.reset();
    dirty_ = false;
}

const QImage& SurfaceQt::image() {
    flush();
    return image_;
}

QPointF SurfaceQt::toPixel(double x, double y) const {
    return QPointF((x - left_) / (right_ - left_) * image_.width(),
                   (y - top_) / (bottom_ - top_) * image_.height());
}

double SurfaceQt::userX(double px) const {
    return left_ + px / image_.width() * (right_ - left_);
}

double SurfaceQt::userY(double py) const {
    return top_ + py / image_.height() * (bottom_ - top_);
}

QRect SurfaceQt::pixelRect(double x1, double y1, double x2, double y2) const {
    QPointF a = toPixel(x1, y1), b = toPixel(x2, y2);
    // Pixel i covers [i, i + 1); both corners are part of the rectangle.
    auto cell = [](double p) { return static_cast<int>(std::clamp(std::floor(p), -1.0e6, 1.0e6)); };
    int l = cell(std::min(a.x(), b.x())), r = cell(std::max(a.x(), b.x()));
    int t = cell(std::min(a.y(), b.y())), bt = cell(std::max(a.y(), b.y()));
    return QRect(QPoint(l, t), QPoint(r, bt));
}

void SurfaceQt::setScale(double left, double top, double right, double bottom) {
    if (left == right || top == bottom) return;
    left_ = left;
    top_ = top;
    right_ = right;
    bottom_ = bottom;
}

void SurfaceQt::clear() {
    painter().fillRect(image_.rect(), Qt::white);
    curX_ = left_;
    curY_ = top_;
    touched();
}

void SurfaceQt::setPenWidth(int pixels) {
    pen_ = std::max(1, pixels);
}

void SurfaceQt::line(double x1, double y1, double x2, double y2, Rgb c) {
    QRect r = pixelRect(x1, y1, x1, y1), e = pixelRect(x2, y2, x2, y2);
    QPainter& p = painter();
    p.setPen(QPen(qcolour(c), pen_, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawLine(r.topLeft(), e.topLeft());
    curX_ = x2;
    curY_ = y2;
    touched();
}

void SurfaceQt::trace(double x0, double dx, std::span<const double> y, Rgb c) {
    if (y.size() < 2) {
        if (!y.empty()) moveTo(x0, y[0]);
        return;
    }
    // Thousands of samples fall on each pixel column of a long trace. The
    // lines between points of one column cover that column from its lowest to
    // its highest pixel, so one vertical line draws them all; the line from
    // the column's last point to the next column's first stays as it is.
    // Lines are drawn one by one, as line() draws them, so their ends match.
    const double w = image_.width(), h = image_.height();
    // The pixel of a point, as pixelRect() finds it for line().
    auto cell = [](double p) { return static_cast<int>(std::clamp(std::floor(p), -1.0e6, 1.0e6)); };
    auto pixel = [&](size_t i) {
        const double x = x0 + static_cast<double>(i) * dx;
        return QPoint(cell((x - left_) / (right_ - left_) * w),
                      cell((y[i] - top_) / (bottom_ - top_) * h));
    };
    QVector<QLine> lines;
    lines.reserve(static_cast<int>(std::min<size_t>(y.size(), 2u * static_cast<size_t>(w) + 8)));
    QPoint previousLast;
    size_t i = 0;
    while (i < y.size()) {
        const QPoint first = pixel(i);
        int low = first.y(), high = first.y();
        QPoint last = first;
        size_t j = i + 1;
        for (; j < y.size(); ++j) {
            const QPoint p = pixel(j);
            if (p.x() != first.x()) break;
            low = std::min(low, p.y());
            high = std::max(high, p.y());
            last = p;
        }
        if (i > 0) lines.append(QLine(previousLast, first));
        if (low != high || j - i > 1) lines.append(QLine(first.x(), low, first.x(), high));
        previousLast = last;
        i = j;
    }
    QPainter& p = painter();
    p.setPen(QPen(qcolour(c), pen_, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawLines(lines);
    curX_ = x0 + static_cast<double>(y.size() - 1) * dx;
    curY_ = y.back();
    touched();
}

void SurfaceQt::box(double x1, double y1, double x2, double y2, Rgb c) {
    QRect r = pixelRect(x1, y1, x2, y2);
    QPainter& p = painter();
    p.setPen(QPen(qcolour(c), pen_, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    // The outline runs through the corner pixels themselves.
    p.drawRect(QRect(r.topLeft(), QSize(r.width() - 1, r.height() - 1)));
    curX_ = x2;
    curY_ = y2;
    touched();
}

void SurfaceQt::filledBox(double x1, double y1, double x2, double y2, Rgb c) {
    painter().fillRect(pixelRect(x1, y1, x2, y2), qcolour(c));
    curX_ = x2;
    curY_ = y2;
    touched();
}

void SurfaceQt::circle(double x, double y, double radius, Rgb c) {
    QPointF centre = toPixel(x, y);
    double r = std::abs(radius / (right_ - left_) * image_.width());
    QPainter& p = painter();
    p.setPen(QPen(qcolour(c), pen_));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, r, r);
    touched();
}

void SurfaceQt::text(double x, double y, const std::string& s) {
    QRect at = pixelRect(x, y, x, y);
    QString t = QString::fromStdString(s);
    QPainter& p = painter();
    p.setPen(qcolour(fore_));
    p.drawText(QPointF(at.left(), at.top() + metrics_->ascent()), t);
    curX_ = x + textWidth(s) * (right_ >= left_ ? 1 : -1);
    curY_ = y;
    touched();
}

void SurfaceQt::moveTo(double x, double y) {
    curX_ = x;
    curY_ = y;
}

void SurfaceQt::setFontScale(double factor) {
    if (!(factor > 0)) return;
    fontScale_ = factor;
    font_.setPixelSize(std::max(1, static_cast<int>(std::lround(kFontPixels * factor))));
    metrics_ = std::make_unique<QFontMetricsF>(font_);
    if (painter_) painter_->setFont(font_);
}

double SurfaceQt::textWidth(const std::string& s) const {
    return metrics_->horizontalAdvance(QString::fromStdString(s)) * std::abs(right_ - left_) /
           image_.width();
}

double SurfaceQt::textHeight() const {
    return metrics_->height() * std::abs(bottom_ - top_) / image_.height();
}

bool SurfaceQt::saveBmp(const std::string& path) {
    flush();
    return image_.save(QString::fromStdString(path), "BMP");
}

void SurfaceQt::resize(int widthPx, int heightPx) {
    widthPx = std::max(1, widthPx);
    heightPx = std::max(1, heightPx);
    if (widthPx == image_.width() && heightPx == image_.height()) return;
    flush();
    QImage bigger(widthPx, heightPx, QImage::Format_RGB32);
    bigger.fill(Qt::white);
    {
        QPainter p(&bigger);
        p.drawImage(0, 0, image_);
    }
    image_ = std::move(bigger);
    touched();
}

// --- SurfaceWidget ------------------------------------------------------------------

SurfaceWidget::SurfaceWidget(QWidget* parent) : QWidget(parent), surface_(1, 1) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    surface_.onChanged = [this] { update(); };
}

void SurfaceWidget::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    p.drawImage(e->rect(), surface_.image(), e->rect());
}

void SurfaceWidget::resizeEvent(QResizeEvent* e) {
    surface_.resize(e->size().width(), e->size().height());
    emit resized();
}

void SurfaceWidget::mousePressEvent(QMouseEvent* e) {
    emit mousePressed(e->button(), surface_.userX(e->position().x()),
                      surface_.userY(e->position().y()));
}

void SurfaceWidget::mouseMoveEvent(QMouseEvent* e) {
    emit mouseMoved(e->buttons(), surface_.userX(e->position().x()),
                    surface_.userY(e->position().y()));
}

void SurfaceWidget::mouseReleaseEvent(QMouseEvent* e) {
    emit mouseReleased(e->button(), surface_.userX(e->position().x()),
                       surface_.userY(e->position().y()));
}

void SurfaceWidget::mouseDoubleClickEvent(QMouseEvent* e) {
    emit doubleClicked(e->button(), surface_.userX(e->position().x()),
                       surface_.userY(e->position().y()));
}

} // namespace trv
