// trelvane-cli sleep: sleep by light phase for every well and group of an
// acquisition (see analysis/SleepAnalysis.h); the paths written are printed,
// one a line.
#include "analysis/SleepAnalysis.h"
#include "app/cli/AnalysisOptions.h"
#include "app/cli/CliSupport.h"
#include "common/Files.h"
#include "common/Locale.h"
#include "reports/ReportCommand.h"

namespace trv::cli {
namespace {

struct SleepOptions : AnalysisOptions {
    SleepParameters p;
    int minBout = 0;
};

Runner setUp(CLI::App& cmd) {
    auto o = std::make_shared<SleepOptions>();
    addAcquisition(cmd, o->acquisition);
    addWholeNumber(cmd, "--bin", o->p.binMinutes, 1, 1440, "bin width in minutes (default 1)");
    addWholeNumber(cmd, "--threshold", o->p.threshold, 0, 1000000000,
                   "a bin with at most this activity is immobile (default 0)");
    addWholeNumber(cmd, "--min-bout", o->minBout, 1, 366 * 1440,
                   "shortest sleep bout in minutes (default 5 for Drosophila, else 1)");
    addWholeNumber(cmd, "--dead-window", o->p.deadWindowHours, 1, 366 * 24,
                   "hours of stillness that mark a well dead (default 24)");
    o->add(cmd);
    cmd.footer(std::string("Writes ") + kSleepWellsFile + ", " + kSleepGroupsFile + ", " +
               kSleepSettingsFile + " and " + kSleepProfileFile +
               ", each replaced whole. The light schedule is the acquisition's own (setup.dat) "
               "unless --light-on and --light-off give one.");

    return [o](const Context& c) {
        SleepRequest rq;
        rq.acquisitionPath = o->acquisition;
        rq.programFolder = programFolder();
        rq.parameters = o->p;
        if (o->minBout > 0) rq.parameters.minBout = o->minBout;
        o->lightHours(rq.parameters.lightOn, rq.parameters.lightOff);
        rq.separator = o->separator;
        if (auto problem = sleepParameterProblem(rq.parameters)) throw UsageError(*problem);
        if (!o->foldersReady(c, rq.outputFolder)) return kExitFailure;
        AnsweringPrompter prompter(c.err, std::nullopt, std::nullopt);
        TerminalProgress progress(c.name);
        SystemLocale locale;
        SleepOutcome out =
            runSleep(rq, locale, prompter, [&](double done, double total, const std::string& what) {
                progress.update(done, total, what);
            });
        progress.clear();
        return analysisResult(c, out.written, out.error, out.files);
    };
}

const CommandRegistration registered{
    "sleep",
    "sleep by day and night per well and group: bouts, latency, dead and empty wells, from the "
    "acquisition's light schedule",
    setUp};

} // namespace
} // namespace trv::cli
