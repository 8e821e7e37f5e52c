// Qt implementations of the core's ports for the desktop program.
#pragma once

#include "common/Ports.h"

#include <QPointer>
#include <QWidget>

#include <map>
#include <string>

class QLabel;
class QProgressBar;

namespace trv {

// Message and input boxes as modal Qt dialogs over the active window. A
// headless prompter (a program running unattended without a display) writes
// each message to the standard error instead and answers it by itself: OK,
// No for a question, Cancel where there is one, and a cancelled input box.
class QtPrompter : public Prompter {
  public:
    bool headless = false;

    Answer message(const std::string& text, Buttons buttons, const std::string& title) override;
    InputResult input(const std::string& prompt, const std::string& title,
                      const std::string& preset) override;
};

// Lets pending window events run inside long loops.
class QtEventPump : public EventPump {
  public:
    void processEvents() override;
};

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

// The desktop's file manager shows a file or folder selected through its
// org.freedesktop.FileManager1 interface when the session offers one;
// otherwise the parent folder is opened.
class QtDesktop : public SystemDesktop {
  public:
    bool showInFolder(const std::string& path) override;
};

// All ports of the desktop program.
struct QtPortSet {
    QtPrompter prompter;
    SystemClock clock;
    QtEventPump pump;
    QtDesktop desktop;
    SystemLocale locale;
    QtStatusView status;
    Ports ports{prompter, clock, pump, desktop, locale, status};
};

} // namespace trv
