#include "reports/ReportCommand.h"

#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "common/HeadlessPorts.h"

#include <ostream>

namespace trv {

namespace {

constexpr const char* kHistogramDataError = "Error getting Histogram.bin data";
constexpr const char* kCalculationError = "Report Calculation Error";

std::string terminalText(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
        out += s[i];
    }
    return out;
}

} // namespace

Answer AnsweringPrompter::message(const std::string& text, Buttons buttons,
                                  const std::string& title) {
    err_ << (title.empty() ? "" : title + ": ") << terminalText(text) << "\n";
    if (text == kHistogramDataError || text == kCalculationError) calculationFailed_ = true;
    switch (buttons) {
    case Buttons::Ok:
    case Buttons::OkCancel:
        return Answer::Ok;
    case Buttons::YesNo:
        // The one yes/no question of a report: proceed with wells whose basal
        // activity is 0.
        if (zeroBasal_) return Answer::Yes;
        err_ << "(answered No: --zero-basal max|average|discard chooses how to proceed)\n";
        return Answer::No;
    case Buttons::YesNoCancel:
        if (!zeroBasal_) return Answer::Cancel;
        switch (*zeroBasal_) {
        case ZeroBasalRule::Maximum:
            return Answer::Yes;
        case ZeroBasalRule::PlateAverage:
            return Answer::No;
        default:
            return Answer::Cancel;
        }
    }
    return Answer::Cancel;
}

InputResult AnsweringPrompter::input(const std::string& prompt, const std::string& title,
                                     const std::string& preset) {
    err_ << (title.empty() ? "" : title + ": ") << terminalText(prompt) << "\n";
    // Only the first basal question is answered; anything else (the range
    // reminder after an answer out of range) ends the generation.
    if (prompt.rfind("Basal acquisition is ", 0) == 0 && !answered_) {
        answered_ = true;
        std::string answer = basalMinutes_ ? std::to_string(*basalMinutes_) : preset;
        err_ << "> " << answer << "\n";
        return {false, answer};
    }
    return {true, ""};
}

std::optional<std::string> runHeadlessReport(const HeadlessReport& job, std::ostream& err) {
    AnsweringPrompter prompter(err, job.basalMinutes, job.zeroBasal);
    if (job.request.options.format == OutputFormat::Histogram &&
        listFiles(job.request.acquisitionPath, kHistogramFilePattern).empty()) {
        prompter.show(kHistogramDataError);
        return std::nullopt;
    }
    HeadlessPorts headless(prompter);
    Ports& ports = headless.ports;
    ReportRequest rq = job.request;
    rq.options.autoreport = true;
    ReportLayout layout;
    ReportOutcome outcome = generateReport(rq, layout, ports);
    if (outcome.status != ReportStatus::Written) return std::nullopt;
    if (prompter.calculationFailed()) {
        err << outcome.path << " was written with sections missing\n";
        return std::nullopt;
    }
    return outcome.path;
}

} // namespace trv
