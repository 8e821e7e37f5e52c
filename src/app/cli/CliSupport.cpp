#include "app/cli/CliSupport.h"

#include "common/Files.h"

#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace trv::cli {

TerminalProgress::TerminalProgress(std::string label)
    : TerminalProgress(std::move(label), isatty(STDERR_FILENO) == 1) {}

TerminalProgress::TerminalProgress(std::string label, bool enabled)
    : label_(std::move(label)), enabled_(enabled) {}

TerminalProgress::~TerminalProgress() {
    clear();
}

void TerminalProgress::update(double done, double total, const std::string& text) {
    done_ = done;
    total_ = total;
    if (!text.empty()) text_ = text;
    draw(false);
}

void TerminalProgress::setText(const std::string&, const std::string& text) {
    text_ = text;
    draw(false);
}

void TerminalProgress::setProgress(const std::string&, double value, double maximum) {
    update(value, maximum);
}

void TerminalProgress::draw(bool force) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && shownWidth_ > 0 && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    std::string line = label_ + ": " + text_;
    if (total_ > 0) {
        const int percent = static_cast<int>(std::floor(100.0 * std::min(done_, total_) / total_));
        line += (text_.empty() ? "" : "  ") + std::to_string(percent) + "%";
    }
    // Pad over what the previous line showed; stderr is unbuffered, so one
    // write per line.
    std::string shown = "\r" + line;
    if (line.size() < shownWidth_) shown.append(shownWidth_ - line.size(), ' ');
    shownWidth_ = line.size();
    std::fwrite(shown.data(), 1, shown.size(), stderr);
    std::fflush(stderr);
}

void TerminalProgress::clear() {
    if (!enabled_ || shownWidth_ == 0) return;
    const std::string blank = "\r" + std::string(shownWidth_, ' ') + "\r";
    std::fwrite(blank.data(), 1, blank.size(), stderr);
    std::fflush(stderr);
    shownWidth_ = 0;
}

namespace {

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) {
    interrupted.store(true);
}

} // namespace

StopOnInterrupt::StopOnInterrupt() {
    interrupted = false;
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sa.sa_flags = SA_RESETHAND; // the second Ctrl-C ends the program
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &oldInt_);
    sigaction(SIGTERM, &sa, &oldTerm_);
}

StopOnInterrupt::~StopOnInterrupt() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
}

const std::atomic<bool>& StopOnInterrupt::flag() const {
    return interrupted;
}

EarlierReports::EarlierReports(const std::string& folder) {
    for (const std::string& name : listFiles(folder, "report*"))
        names_.insert(joinPath(folder, name));
}

void EarlierReports::sayIfReplaced(const Context& c, const std::string& written) const {
    if (names_.count(written))
        c.err << c.name << ": replaced the earlier report " << written << "\n";
}

} // namespace trv::cli
