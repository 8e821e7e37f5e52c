// The program's QApplication. Every window action runs inside an event
// handler; one that runs out of memory (a huge file read by a report or an
// export) or fails with another exception ends with a message and a line in
// the run log, and the program goes on: an acquisition in progress keeps
// recording.
#pragma once

#include <QApplication>

#include <functional>
#include <string>

namespace trv {

class QtApplication : public QApplication {
  public:
    QtApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the message of a failed action (the program sets it to its
    // prompter; without it a plain message box is shown).
    std::function<void(const std::string&)> showFailure;

    static constexpr const char* kOutOfMemoryText = "Not enough memory: the action was stopped.";
};

} // namespace trv
