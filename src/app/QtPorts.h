// Qt implementations of the core's ports for the desktop program.
#pragma once

#include "common/Ports.h"
#include "display/QtStatusView.h"

#include <string>

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
