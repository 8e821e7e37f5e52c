// What the analysis windows of the offline browser share: spin boxes made
// with their names, the light hours that override the acquisition's
// schedule, the message box text, a computation that runs beside the window
// with a progress bar, and the opener that reuses the browser's window.
#pragma once

#include "analysis/SleepAnalysis.h"
#include "common/Ports.h"

#include <QTimer>
#include <QWidget>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QGridLayout;
class QProgressBar;
class QSpinBox;
class QThread;

namespace trv {

QSpinBox* analysisSpin(QWidget* parent, const char* name, int min, int max, int value);

// "Light on/off at" with its two hours, which count only when it is checked.
struct LightHoursControls {
    QCheckBox* check = nullptr;
    QSpinBox* on = nullptr;
    QSpinBox* off = nullptr;

    LightHoursControls(QWidget* parent, const char* checkName, const char* onName,
                       const char* offName);
    // The three in a row of the grid from column c on.
    void addTo(QGridLayout* grid, int row, int& c) const;
    // The hours given, or nothing for the acquisition's schedule.
    void take(std::optional<int>& lightOn, std::optional<int>& lightOff) const;
    // Unchecked, showing the hours of the schedule in use (when there is one).
    void show(const LightSchedule& schedule) const;
};

// The message box's text: the loaders' messages, "Written: <path>" per file,
// then the error.
std::string analysisMessages(const std::vector<std::string>& messages,
                             const std::vector<std::string>& written, const std::string& error);

// Runs a computation on a thread of its own while the window stays live, its
// progress in the bar (hidden when idle). The window's destruction waits for
// a computation still running.
class AnalysisJob {
  public:
    explicit AnalysisJob(QProgressBar* bar);
    ~AnalysisJob();
    AnalysisJob(const AnalysisJob&) = delete;
    AnalysisJob& operator=(const AnalysisJob&) = delete;

    bool running() const { return thread_ != nullptr; }
    // work runs on the thread with a progress function it may call from
    // there; then done runs on the window's thread. Nothing while running.
    void start(std::function<void(const SleepProgress&)> work, std::function<void()> done);

  private:
    QProgressBar* bar_;
    QTimer timer_;
    QThread* thread_ = nullptr;
    std::atomic<int> permille_{0};
};

// The browser's analysis window of type W (the one opened before when
// there is one).
template <typename W> W& analysisWindow(QWidget& browser, Ports& ports) {
    auto* w = browser.findChild<W*>(QString(), Qt::FindDirectChildrenOnly);
    if (!w) w = new W(ports, &browser);
    return *w;
}

} // namespace trv
