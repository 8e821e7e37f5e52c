// The remote view's alerts, judged on each published snapshot: the run
// ended before its lapse, the link down for more than 5 minutes, free disk
// under 1 GB or 5 %, the temperature more than 2 degrees from its set point
// for 10 minutes while regulated, no block stored for three block times
// while recording. An alert is raised once per crossing (when its condition
// becomes true) and its end is noted too; each is written to the run log,
// kept in force for the page, handed to whoever shows it, and starts
// alert_command (kind and text as its last two arguments) at most once an
// hour per kind.
#pragma once

#include "remote/RunSnapshot.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace trv::remote {

enum class AlertKind { RunEnded, LinkDown, DiskLow, Temperature, NoBlock };
inline constexpr int kAlertKinds = 5;
// "run_ended", "link_down", "disk_low", "temperature", "no_block".
const char* alertName(AlertKind k);

struct AlertEvent {
    AlertKind kind;
    bool raised = true; // false: the alert is over
    std::string text;
};

class Alerts {
  public:
    static constexpr long long kDiskLowBytes = 1000LL * 1000 * 1000;
    static constexpr int64_t kLinkDownSeconds = 5 * 60;
    static constexpr int64_t kTemperatureSeconds = 10 * 60;
    static constexpr double kTemperatureBand = 2.0;
    static constexpr int64_t kCommandSpacing = 3600;

    // argv of alert_command (empty: none).
    void setCommand(std::vector<std::string> argv) { command_ = std::move(argv); }
    // Starts a command; replaceable by tests. Default: spawnCommand.
    void setRunner(std::function<void(const std::vector<std::string>&)> f) {
        runner_ = std::move(f);
    }
    // Told of every alert raised and ended (the main window's status line).
    void setOnEvent(std::function<void(const AlertEvent&)> f) { onEvent_ = std::move(f); }

    // Judges a snapshot (its publishedAt is now) and writes the alerts in
    // force into it. Returns what happened.
    std::vector<AlertEvent> judge(RunSnapshot& s);

  private:
    struct State {
        bool active = false;
        int64_t since = 0; // condition true since (0: false)
        int64_t lastCommand = -1;
        std::string text;
    };
    void set(AlertKind k, bool condition, int64_t hold, int64_t now, const std::string& text,
             std::vector<AlertEvent>& events);

    std::array<State, kAlertKinds> state_{};
    std::vector<std::string> command_;
    std::function<void(const std::vector<std::string>&)> runner_;
    std::function<void(const AlertEvent&)> onEvent_;
    bool wasRecording_ = false;
    std::string runFolder_;
    int64_t recordingSince_ = 0;
};

// Starts a program with these arguments (no shell), without waiting for it;
// it is reaped when it ends. False when it could not be started.
bool spawnCommand(const std::vector<std::string>& argv);

} // namespace trv::remote
