// Helpers for long trelvane-cli commands: a progress line on a terminal,
// Ctrl-C that stops the work cleanly, and a word on stderr when a report
// written earlier is replaced.
#pragma once

#include "app/cli/CliCommands.h"
#include "common/StatusView.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <set>
#include <string>

namespace trv::cli {

// One line on stderr that updates in place ("reprocess: Block 12/96  12%"),
// at most ten times a second, and is cleared at the end. When stderr is not
// a terminal it shows nothing, so logs and pipes get only the messages.
// As a StatusView it shows the texts and progress strips that the core's
// long procedures report.
class TerminalProgress : public StatusView {
  public:
    // label starts the line (the command's name); enabled: show even when
    // stderr is not a terminal (tests).
    explicit TerminalProgress(std::string label);
    TerminalProgress(std::string label, bool enabled);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // done of total (total 0: no share), with an optional text.
    void update(double done, double total, const std::string& text = "");
    // Clears the line (before other output, and at the end).
    void clear();
    bool enabled() const { return enabled_; }

    void setText(const std::string& target, const std::string& text) override;
    void setVisible(const std::string&, bool) override {}
    void setProgress(const std::string& target, double value, double maximum) override;
    void repaint() override {}

  private:
    void draw(bool force);

    std::string label_;
    bool enabled_;
    std::string text_;
    double done_ = 0, total_ = 0;
    size_t shownWidth_ = 0;
    std::chrono::steady_clock::time_point lastDraw_{};
};

// While it lives, Ctrl-C (SIGINT) and SIGTERM set a flag that the long loop
// reads, instead of ending the program half-way through a file; a second
// Ctrl-C ends the program at once.
class StopOnInterrupt {
  public:
    StopOnInterrupt();
    ~StopOnInterrupt();
    StopOnInterrupt(const StopOnInterrupt&) = delete;
    StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;

    const std::atomic<bool>& flag() const;
    bool stopped() const { return flag().load(); }

  private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

// The report files of a folder before a command writes one there; after it,
// says on stderr when the new report replaced one of them (the report is
// always "report.<ext>" unless that file is locked).
class EarlierReports {
  public:
    explicit EarlierReports(const std::string& folder);
    void sayIfReplaced(const Context& c, const std::string& written) const;

  private:
    std::set<std::string> names_;
};

} // namespace trv::cli
