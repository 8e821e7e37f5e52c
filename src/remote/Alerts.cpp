#include "remote/Alerts.h"

#include "common/RunLog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace trv::remote {

const char* alertName(AlertKind k) {
    switch (k) {
    case AlertKind::RunEnded: return "run_ended";
    case AlertKind::LinkDown: return "link_down";
    case AlertKind::DiskLow: return "disk_low";
    case AlertKind::Temperature: return "temperature";
    case AlertKind::NoBlock: return "no_block";
    }
    return "alert";
}

bool spawnCommand(const std::vector<std::string>& argv) {
    if (argv.empty()) return false;
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", 0, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    std::thread([pid] {
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
            runlog::warn("alert command ended with exit code " +
                         std::to_string(WEXITSTATUS(status)));
    }).detach();
    return true;
}

namespace {
std::string megabytes(long long bytes) { return std::to_string(bytes / 1000000) + " MB"; }
std::string oneDecimal(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%.1f", v);
    return b;
}
} // namespace

void Alerts::set(AlertKind k, bool condition, int64_t hold, int64_t now, const std::string& text,
                 std::vector<AlertEvent>& events) {
    State& a = state_[static_cast<size_t>(k)];
    if (!condition) {
        a.since = 0;
        if (a.active) {
            a.active = false;
            events.push_back({k, false, a.text});
            runlog::info("alert over (" + std::string(alertName(k)) + "): " + a.text);
            if (onEvent_) onEvent_(events.back());
        }
        return;
    }
    if (a.since == 0) a.since = now;
    if (a.active) {
        a.text = text; // the figures move on while it lasts
        return;
    }
    if (now - a.since < hold) return;
    a.active = true;
    a.text = text;
    events.push_back({k, true, text});
    const bool runIt = !command_.empty() &&
                       (a.lastCommand < 0 || now - a.lastCommand >= kCommandSpacing);
    std::string how;
    if (runIt) {
        a.lastCommand = now;
        std::vector<std::string> argv = command_;
        argv.push_back(alertName(k));
        argv.push_back(text);
        if (runner_) runner_(argv);
        else if (!spawnCommand(argv)) how = "; the alert command could not be started";
    } else if (!command_.empty()) {
        how = "; the alert command already ran for it within the hour";
    }
    runlog::warn("ALERT (" + std::string(alertName(k)) + "): " + text + how);
    if (onEvent_) onEvent_(events.back());
}

std::vector<AlertEvent> Alerts::judge(RunSnapshot& s) {
    std::vector<AlertEvent> events;
    const int64_t now = s.publishedAt;

    // The run ended before its lapse: in force until the next start.
    if (s.recording && (!wasRecording_ || s.folder != runFolder_)) {
        recordingSince_ = now;
        set(AlertKind::RunEnded, false, 0, now, "", events);
    }
    if (wasRecording_ && !s.recording && s.state != "finished") {
        const double left = s.lapseMinutes - s.elapsedMinutes;
        set(AlertKind::RunEnded, true, 0, now,
            "the acquisition \"" + s.acquisition + "\" ended after " +
                std::to_string(static_cast<long>(s.elapsedMinutes)) + " of " +
                std::to_string(s.lapseMinutes) + " minutes (" +
                std::to_string(static_cast<long>(std::ceil(left))) + " left)",
            events);
    }
    wasRecording_ = s.recording;
    runFolder_ = s.folder;

    set(AlertKind::LinkDown, s.recording && !s.linkUp, kLinkDownSeconds, now,
        "the instrument has not answered for more than 5 minutes", events);

    const bool low = s.diskFreeBytes >= 0 &&
                     (s.diskFreeBytes < kDiskLowBytes ||
                      (s.diskTotalBytes > 0 && s.diskFreeBytes * 20 < s.diskTotalBytes));
    set(AlertKind::DiskLow, low, 0, now,
        "free disk space is low: " + megabytes(s.diskFreeBytes) + " of " +
            megabytes(s.diskTotalBytes),
        events);

    const bool off = s.recording && s.regulation && s.temperatureRead &&
                     std::fabs(s.temperature - s.setPoint) > kTemperatureBand;
    set(AlertKind::Temperature, off, kTemperatureSeconds, now,
        "the temperature is " + oneDecimal(s.temperature) + " C, set point " +
            oneDecimal(s.setPoint) + " C",
        events);

    // A pause is no stall: the wait starts over when it ends.
    if (s.state == "paused") recordingSince_ = now;
    const int64_t lastStored = std::max(s.lastBlockTime, recordingSince_);
    const bool stalled = s.recording && s.state != "paused" && s.blockSeconds > 0 &&
                         lastStored > 0 && now - lastStored > 3 * s.blockSeconds;
    set(AlertKind::NoBlock, stalled, 0, now,
        "no block stored since " + std::to_string(now - lastStored) + " s (3 block times are " +
            std::to_string(static_cast<long>(3 * s.blockSeconds)) + " s)",
        events);

    s.alerts.clear();
    for (int k = 0; k < kAlertKinds; ++k)
        if (state_[static_cast<size_t>(k)].active)
            s.alerts.push_back(std::string(alertName(static_cast<AlertKind>(k))) + ": " +
                               state_[static_cast<size_t>(k)].text);
    return events;
}

} // namespace trv::remote
