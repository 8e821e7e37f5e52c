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

  private:
    std::ostream& err_;
    std::optional<int> basalMinutes_;
    std::optional<ZeroBasalRule> zeroBasal_;
    bool answered_ = false;
};

struct HeadlessReport {
    ReportRequest request;
    std::optional<int> basalMinutes;
    std::optional<ZeroBasalRule> zeroBasal;
};

// Generates the report (never opened in a viewer), prints its path on `out`
// and returns true when it was written; messages go to `err`.
bool runHeadlessReport(const HeadlessReport& job, std::ostream& out, std::ostream& err);

} // namespace trv
