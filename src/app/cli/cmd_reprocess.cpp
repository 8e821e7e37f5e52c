// trelvane-cli reprocess: the activity of a stored acquisition detected
// again from its raw blocks, and its report; with --replace the new counts
// replace those of counts.bin. The report window's raw-data frame runs the
// same procedure.
#include "app/cli/CliArgs.h"
#include "app/cli/CliSupport.h"
#include "common/Files.h"
#include "common/Locale.h"
#include "common/Numeric.h"
#include "reports/RawReprocess.h"
#include "reports/ReportCommand.h"

namespace trv::cli {
namespace {

struct ReprocessOptions {
    std::string acquisition, output;
    int method = 0, organism = 0, bin = 30;
    double snr = 0, hours = 1.0;
    bool hoursGiven = false, replace = false, exportRaw = false;
};

Runner setUp(CLI::App& cmd) {
    auto o = std::make_shared<ReprocessOptions>();
    addAcquisition(cmd, o->acquisition);
    addWholeNumber(cmd, "--method", o->method, 0, 3,
                   "detection method 0..3 (0 threshold+binary, 1 threshold average, 2 motility "
                   "index, 3 Drosophila)")
        ->required();
    addWholeNumber(cmd, "--organism", o->organism, 0, 3,
                   "0 C. elegans, 1 zebrafish, 2 Echinococcus, 3 Drosophila")
        ->required();
    addRealNumber(cmd, "--snr", o->snr, 0.1, 100,
                  "signal-to-noise threshold: 1.1..6 (0.5..1 for Drosophila)")
        ->required();
    CLI::Option* hours =
        cmd.add_option_function<std::string>(
               "--hours",
               [o](const std::string& text) {
                   o->hours = realNumber("--hours", text, 0.0, 100000);
                   o->hoursGiven = true;
               },
               "hours of the acquisition to process (default 1, at least 5 minutes; with "
               "--export-raw the whole acquisition)")
            ->type_name("NUM");
    cmd.add_flag("--replace", o->replace,
                 "process the whole acquisition and store the new counts in counts.bin (the "
                 "acquisition's setup.dat records the detection used)")
        ->excludes(hours);
    cmd.add_flag("--export-raw", o->exportRaw,
                 "write the event marks of every channel (ch<N>.raw)");
    addBinSize(cmd, o->bin, "report bin size in minutes (default 30)");
    addOutputFolder(cmd, o->output,
                    "folder of the report (rows, csv), made when missing (default: ACQFOLDER)");
    cmd.footer("The report's path is printed. Ctrl-C stops after the current block and changes "
               "nothing.");

    return [o](const Context& c) {
        if (!thresholdInRange(o->organism, o->snr))
            throw UsageError(std::string("--snr must be between ") +
                             (o->organism == kOrganismDrosophila ? "0.5 and 1" : "1.1 and 6") +
                             " for this organism");
        ReprocessRequest rq;
        rq.acquisitionPath = o->acquisition;
        rq.programFolder = programFolder();
        rq.method = o->method;
        rq.organism = o->organism;
        rq.thresholdText = plainReal(o->snr);
        rq.replaceData = o->replace;
        rq.rawExport = o->exportRaw;
        rq.lapseText = o->hoursGiven || !rq.rawExport ? plainReal(o->hours) : kExportRawLapse;
        rq.binText = std::to_string(o->bin);
        rq.options.autoreport = true;
        SystemLocale locale;
        const std::string list = locale.listSeparator();
        rq.options.separator = list.empty() ? "," : list;

        if (!folderExists(rq.acquisitionPath)) {
            c.err << c.name << ": acquisition folder not found: " << rq.acquisitionPath << "\n";
            return kExitFailure;
        }
        if (!fileExists(joinPath(rq.acquisitionPath, "0.bin"))) {
            c.err << "Real Time Data Not Found\n";
            return kExitFailure;
        }
        if (!o->output.empty()) {
            if (!makeOutputFolder(c, o->output)) return kExitFailure;
            rq.options.outputFolder = o->output;
        }
        const EarlierReports earlier(o->output.empty() ? rq.acquisitionPath : o->output);

        AnsweringPrompter prompter(c.err, std::nullopt, std::nullopt);
        SystemClock clock;
        NoEventPump pump;
        SystemDesktop desktop;
        TerminalProgress progress(c.name);
        Ports ports{prompter, clock, pump, desktop, locale, progress};
        ReportLayout layout;
        StopOnInterrupt interrupt;
        const ReprocessOutcome out = reprocessRawData(rq, layout, ports, interrupt.flag());
        progress.clear();
        if (out.status == ReprocessStatus::Stopped) {
            c.err << c.name << ": stopped; nothing was changed\n";
            return kExitFailure;
        }
        if (out.status != ReprocessStatus::Reported) return kExitFailure;
        c.err << out.range.processed << " record" << (out.range.processed == 1 ? "" : "s")
              << " processed" << (out.countsReplaced ? "; counts.bin replaced" : "") << "\n";
        earlier.sayIfReplaced(c, out.reportPath);
        c.out << out.reportPath << "\n";
        return kExitOk;
    };
}

const CommandRegistration registered{
    "reprocess",
    "detect the activity again from the stored raw blocks, report it (and store it with "
    "--replace)",
    setUp};

} // namespace
} // namespace trv::cli
