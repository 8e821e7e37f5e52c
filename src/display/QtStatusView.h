// The status port for the windows: each status target goes to the control a
// window registered for it.
#pragma once

#include "common/Ports.h"

#include <QPointer>
#include <QWidget>

#include <map>
#include <string>

class QProgressBar;

namespace trv {

// Sends each status target to the control a window registered for it: a text
// target to a label (or any widget with a "text" property), a visibility
// target to a widget, a progress target to a progress bar. Targets nobody
// registered are kept, so a window that registers later shows the last text.
class QtStatusView : public StatusView {
  public:
    void bindText(const std::string& target, QWidget* widget);
    void bindVisible(const std::string& target, QWidget* widget);
    void bindProgress(const std::string& target, QProgressBar* bar);

    void setText(const std::string& target, const std::string& text) override;
    void setVisible(const std::string& target, bool visible) override;
    void setProgress(const std::string& target, double value, double maximum) override;
    void repaint() override;

    std::string text(const std::string& target) const;

  private:
    std::map<std::string, QPointer<QWidget>> texts_;
    std::map<std::string, QPointer<QWidget>> visibles_;
    std::map<std::string, QPointer<QProgressBar>> bars_;
    std::map<std::string, std::string> lastText_;
};

} // namespace trv
