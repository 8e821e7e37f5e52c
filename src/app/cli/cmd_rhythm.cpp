// trelvane-cli rhythm: the circadian rhythm of every well and group of an
// acquisition (see analysis/RhythmAnalysis.h); the paths written are
// printed, one a line.
#include "analysis/RhythmAnalysis.h"
#include "app/cli/CliArgs.h"
#include "app/cli/CliSupport.h"
#include "common/Files.h"
#include "common/Locale.h"
#include "reports/ReportCommand.h"

namespace trv::cli {
namespace {

struct RhythmOptions {
    std::string acquisition, output, periods = "16-32";
    std::optional<std::string> separator;
    RhythmParameters p;
    int toHour = -1, lightOn = -1, lightOff = -1;
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
    auto* on = addWholeNumber(cmd, "--light-on", o->lightOn, 0, 23,
                              "hour the light goes on (with --light-off; overrides setup.dat)");
    auto* off = addWholeNumber(cmd, "--light-off", o->lightOff, 0, 23,
                               "hour the light goes off (with --light-on)");
    cmd.add_option_function<std::string>(
           "--separator",
           [o](const std::string& s) {
               if (s.empty()) throw UsageError("--separator must not be empty");
               o->separator = s;
           },
           "field separator of the CSV files (default: the locale's list separator)")
        ->type_name("S");
    addOutputFolder(cmd, o->output, "folder of the files, made when missing (default: ACQFOLDER)");

    return [o, on, off, to](const Context& c) {
        if ((on->count() > 0) != (off->count() > 0))
            throw UsageError("--light-on and --light-off go together: give both or neither");
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
        if (on->count() > 0) {
            rq.parameters.lightOn = o->lightOn;
            rq.parameters.lightOff = o->lightOff;
        }
        rq.perWell = o->perWell;
        rq.separator = o->separator;
        if (auto problem = rhythmParameterProblem(rq.parameters)) throw UsageError(*problem);
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
        progress.update(0, 2, "periodograms");
        RhythmOutcome out = computeRhythm(rq, prompter);
        if (out.usage) {
            progress.clear();
            throw UsageError(out.error);
        }
        progress.update(1, 2, "writing");
        SystemLocale locale;
        if (out.result) writeRhythmFiles(rq, locale, out);
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
    "rhythm",
    "circadian rhythm per well and group: chi-square and Lomb-Scargle periodograms, "
    "double-plotted actograms",
    setUp};

} // namespace
} // namespace trv::cli
