// Reports without a window (trelvane-cli report): a Prompter that answers
// the report's questions from the command's options, and a run with the
// system's clock and locale.
#pragma once

#include "common/Prompter.h"
#include "reports/Basal.h"
#include "reports/ReportGenerator.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace trv {

// Answers the report's questions without a window: the basal minutes from
// the given value (else the question's default), the zero-basal questions
// from the given rule (without one the generation ends). Every message and
// question is printed to the error stream; any other question is cancelled.
class AnsweringPrompter : public Prompter {
  public:
    AnsweringPrompter(std::ostream& err, std::optional<int> basalMinutes,
                      std::optional<ZeroBasalRule> zeroBasal)
        : err_(err), basalMinutes_(basalMinutes), zeroBasal_(zeroBasal) {}
    Answer message(const std::string& text, Buttons buttons, const std::string& title) override;
    InputResult input(const std::string& prompt, const std::string& title,
                      const std::string& preset) override;
    // True once a message said the report's figures could not be computed.
    bool calculationFailed() const { return calculationFailed_; }

  private:
    std::ostream& err_;
    std::optional<int> basalMinutes_;
    std::optional<ZeroBasalRule> zeroBasal_;
    bool answered_ = false;
    bool calculationFailed_ = false;
};

struct HeadlessReport {
    ReportRequest request;
    std::optional<int> basalMinutes;
    std::optional<ZeroBasalRule> zeroBasal;
};

// Generates the report (never opened in a viewer) and returns its path when
// it was written whole; messages go to `err`. Without a command's user to
// see the message, a report whose histograms or statistics could not be
// computed is a failure: the histogram format without histogram files
// writes nothing, a calculation error leaves the written file and fails.
std::optional<std::string> runHeadlessReport(const HeadlessReport& job, std::ostream& err);

} // namespace trv
