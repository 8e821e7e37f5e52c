// trelvane-cli rhythm: the circadian rhythm of every well and group of an
// acquisition (see analysis/RhythmAnalysis.h); the paths written are
// printed, one a line.
#include "analysis/RhythmAnalysis.h"
#include "app/cli/AnalysisOptions.h"
#include "app/cli/CliSupport.h"
#include "common/Files.h"
#include "common/Locale.h"
#include "reports/ReportCommand.h"

namespace trv::cli {
namespace {

struct RhythmOptions : AnalysisOptions {
    std::string periods = "16-32";
    RhythmParameters p;
    int toHour = -1;
    bool perWell = false;
};

Runner setUp(CLI::App& cmd) {
    auto o = std::make_shared<RhythmOptions>();
    addAcquisition(cmd, o->acquisition);
    addWholeNumber(cmd, "--bin", o->p.binMinutes, 1, 60,
                   "bin width in minutes, a divisor of 60 (default 6)");
    addWholeNumber(cmd, "--from-hour", o->p.fromHour, 0, 366 * 24,
                   "the series starts at this hour of the acquisition (default 0)");
    auto* to = addWholeNumber(cmd, "--to-hour", o->toHour, 1, 366 * 24,
                              "the series ends at this hour (default: the end)");
    cmd.add_option("--periods", o->periods, "periods tested, whole hours A-B (default 16-32)")
        ->type_name("A-B");
    addRealNumber(cmd, "--alpha", o->p.alpha, 1e-12, 0.5,
                  "significance level of the chi-square periodogram (default 0.01)");
    addWholeNumber(cmd, "--actogram-bin", o->p.actogramBinMinutes, 1, 1440,
                   "actogram bar width in minutes (default 30)");
    cmd.add_flag("--per-well", o->perWell, "an actogram for every well too");
    o->add(cmd);

    return [o, to](const Context& c) {
        RhythmRequest rq;
        rq.acquisitionPath = o->acquisition;
        rq.programFolder = programFolder();
        rq.parameters = o->p;
        const auto dash = o->periods.find('-');
        if (dash == std::string::npos) throw UsageError("--periods must be A-B, not " + o->periods);
        rq.parameters.periodMinHours =
            static_cast<int>(wholeNumber("--periods", o->periods.substr(0, dash), 1, 100));
        rq.parameters.periodMaxHours =
            static_cast<int>(wholeNumber("--periods", o->periods.substr(dash + 1), 1, 100));
        if (to->count() > 0) rq.parameters.toHour = o->toHour;
        o->lightHours(rq.parameters.lightOn, rq.parameters.lightOff);
        rq.perWell = o->perWell;
        rq.separator = o->separator;
        if (auto problem = rhythmParameterProblem(rq.parameters)) throw UsageError(*problem);
        if (!o->foldersReady(c, rq.outputFolder)) return kExitFailure;
        AnsweringPrompter prompter(c.err, std::nullopt, std::nullopt);
        TerminalProgress progress(c.name);
        RhythmOutcome out =
            computeRhythm(rq, prompter, [&](double done, double total, const std::string& what) {
                progress.update(done, total, what);
            });
        if (out.usage) {
            progress.clear();
            throw UsageError(out.error);
        }
        progress.update(0, 0, "writing");
        SystemLocale locale;
        if (out.result) writeRhythmFiles(rq, locale, out);
        progress.clear();
        return analysisResult(c, out.written, out.error, out.files);
    };
}

const CommandRegistration registered{
    "rhythm",
    "circadian rhythm per well and group: chi-square and Lomb-Scargle periodograms, "
    "double-plotted actograms",
    setUp};

} // namespace
} // namespace trv::cli
