// The headless report: "trelvane-cli report ACQFOLDER [options]" with every
// choice the report window offers, and a Prompter that answers the window's
// questions from those options.
#pragma once

#include "common/Prompter.h"
#include "reports/Basal.h"
#include "reports/ReportGenerator.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace trv {

struct ReportCommandOptions {
    std::string acquisition;
    std::string bin = "30";
    std::optional<std::string> separator;
    std::string basal;                    // folder name or path; empty: none
    std::optional<int> basalMinutes;
    std::optional<ZeroBasalRule> zeroBasal;
    std::string outputFolder;
    ReportOptions report;
};

// Answers the report's questions without a window: the basal minutes from
// --basal-minutes (else the question's default), the zero-basal questions
// from --zero-basal (without it the generation ends). Every message and
// question is printed to the error stream; any other question is cancelled.
class AnsweringPrompter : public Prompter {
public:
    AnsweringPrompter(std::ostream& err, std::optional<int> basalMinutes,
                      std::optional<ZeroBasalRule> zeroBasal)
        : err_(err), basalMinutes_(basalMinutes), zeroBasal_(zeroBasal) {}
    Answer message(const std::string& text, Buttons buttons, const std::string& title) override;
    InputResult input(const std::string& prompt, const std::string& title, const std::string& preset) override;

private:
    std::ostream& err_;
    std::optional<int> basalMinutes_;
    std::optional<ZeroBasalRule> zeroBasal_;
    bool answered_ = false;
};

// Parses the arguments after "report". Nothing, with the reason in `error`,
// when they are not usable.
std::optional<ReportCommandOptions> parseReportArguments(const std::vector<std::string>& args,
                                                         std::string& error);

// The usage text of the command.
std::string reportCommandUsage();

// Runs the command: prints the report's path on `out` and returns 0 when it
// was written; messages go to `err`; 1 when the generation ended or failed,
// 2 for unusable arguments. programFolder holds the plate-format files.
int runReportCommand(const std::vector<std::string>& args, const std::string& programFolder,
                     std::ostream& out, std::ostream& err);

} // namespace trv
