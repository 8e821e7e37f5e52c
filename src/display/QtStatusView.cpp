#include "display/QtStatusView.h"

#include "display/NamedWidgetQt.h"

#include <QApplication>
#include <QProgressBar>
#include <QVariant>

namespace trv {

void QtStatusView::bindText(const std::string& target, QWidget* widget) {
    texts_[target] = widget;
    auto it = lastText_.find(target);
    if (it != lastText_.end() && widget) widget->setProperty("text", q(it->second));
}

void QtStatusView::bindVisible(const std::string& target, QWidget* widget) {
    visibles_[target] = widget;
}

void QtStatusView::bindProgress(const std::string& target, QProgressBar* bar) {
    bars_[target] = bar;
}

void QtStatusView::setText(const std::string& target, const std::string& text) {
    lastText_[target] = text;
    auto it = texts_.find(target);
    if (it != texts_.end() && it->second) it->second->setProperty("text", q(text));
}

void QtStatusView::setVisible(const std::string& target, bool visible) {
    auto it = visibles_.find(target);
    if (it != visibles_.end() && it->second) it->second->setVisible(visible);
}

void QtStatusView::setProgress(const std::string& target, double value, double maximum) {
    auto it = bars_.find(target);
    if (it == bars_.end() || !it->second) return;
    it->second->setRange(0, 1000);
    double share = maximum > 0 ? value / maximum : 0.0;
    if (share < 0) share = 0;
    if (share > 1) share = 1;
    it->second->setValue(static_cast<int>(share * 1000));
}

void QtStatusView::repaint() {
    for (auto& [name, w] : texts_)
        if (w) w->repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

std::string QtStatusView::text(const std::string& target) const {
    auto it = lastText_.find(target);
    return it == lastText_.end() ? std::string() : it->second;
}

} // namespace trv
