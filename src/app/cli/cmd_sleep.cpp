// trelvane-cli sleep: sleep by light phase for every well and group of an
// acquisition (see analysis/SleepAnalysis.h); the paths written are printed,
// one a line.
#include "analysis/SleepAnalysis.h"
#include "app/cli/CliArgs.h"
#include "app/cli/CliSupport.h"
#include "common/Files.h"
#include "common/Locale.h"
#include "reports/ReportCommand.h"

namespace trv::cli {
namespace {

struct SleepOptions {
    std::string acquisition, output;
    std::optional<std::string> separator;
    SleepParameters p;
    int minBout = 0, lightOn = -1, lightOff = -1;
};

Runner setUp(CLI::App& cmd) {
    auto o = std::make_shared<SleepOptions>();
    addAcquisition(cmd, o->acquisition);
    addWholeNumber(cmd, "--bin", o->p.binMinutes, 1, 1440, "bin width in minutes (default 1)");
    addWholeNumber(cmd, "--threshold", o->p.threshold, 0, 1000000000,
                   "a bin with at most this activity is immobile (default 0)");
    addWholeNumber(cmd, "--min-bout", o->minBout, 1, 366 * 1440,
                   "shortest sleep bout in minutes (default 5 for Drosophila, else 1)");
    auto* on = addWholeNumber(cmd, "--light-on", o->lightOn, 0, 23,
                              "hour the light goes on (with --light-off; overrides setup.dat)");
    auto* off = addWholeNumber(cmd, "--light-off", o->lightOff, 0, 23,
                               "hour the light goes off (with --light-on)");
    addWholeNumber(cmd, "--dead-window", o->p.deadWindowHours, 1, 366 * 24,
                   "hours of stillness that mark a well dead (default 24)");
    cmd.add_option_function<std::string>(
           "--separator",
           [o](const std::string& s) {
               if (s.empty()) throw UsageError("--separator must not be empty");
               o->separator = s;
           },
           "field separator of the CSV files (default: the locale's list separator)")
        ->type_name("S");
    addOutputFolder(cmd, o->output, "folder of the files, made when missing (default: ACQFOLDER)");
    cmd.footer(std::string("Writes ") + kSleepWellsFile + ", " + kSleepGroupsFile + ", " +
               kSleepSettingsFile + " and " + kSleepProfileFile +
               ", each replaced whole. The light schedule is the acquisition's own (setup.dat) "
               "unless --light-on and --light-off give one.");

    return [o, on, off](const Context& c) {
        if ((on->count() > 0) != (off->count() > 0))
            throw UsageError("--light-on and --light-off go together: give both or neither");
        SleepRequest rq;
        rq.acquisitionPath = o->acquisition;
        rq.programFolder = programFolder();
        rq.parameters = o->p;
        if (o->minBout > 0) rq.parameters.minBout = o->minBout;
        if (on->count() > 0) {
            rq.parameters.lightOn = o->lightOn;
            rq.parameters.lightOff = o->lightOff;
        }
        rq.separator = o->separator;
        if (auto problem = sleepParameterProblem(rq.parameters)) throw UsageError(*problem);
        if (!folderExists(rq.acquisitionPath)) {
            c.err << c.name << ": acquisition folder not found: " << rq.acquisitionPath << "\n";
            return kExitFailure;
        }
        if (!o->output.empty()) {
            if (!makeOutputFolder(c, o->output)) return kExitFailure;
            rq.outputFolder = o->output;
        }
        AnsweringPrompter prompter(c.err, std::nullopt, std::nullopt);
        TerminalProgress progress(c.name);
        SystemLocale locale;
        SleepOutcome out =
            runSleep(rq, locale, prompter, [&](double done, double total, const std::string& what) {
                progress.update(done, total, what);
            });
        progress.clear();
        if (!out.written) {
            std::string error = out.error;
            for (size_t p; (p = error.find("\r\n")) != std::string::npos;)
                error.replace(p, 2, "\n");
            c.err << c.name << ": " << error << "\n";
            return kExitFailure;
        }
        for (const std::string& f : out.files)
            c.out << f << "\n";
        return kExitOk;
    };
}

const CommandRegistration registered{
    "sleep",
    "sleep by day and night per well and group: bouts, latency, dead and empty wells, from the "
    "acquisition's light schedule",
    setUp};

} // namespace
} // namespace trv::cli
