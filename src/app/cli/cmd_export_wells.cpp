// trelvane-cli export-wells: the per-well export of the report window ("1
// file/well Report") for a stored acquisition; the paths written are
// printed, one a line.
#include "app/cli/CliArgs.h"
#include "app/cli/CliSupport.h"
#include "common/Files.h"
#include "common/Locale.h"
#include "reports/ReportCommand.h"
#include "reports/WellExport.h"

namespace trv::cli {
namespace {

struct ExportWellsOptions {
    std::string acquisition;
    int bin = 0;
    bool timeField = false;
};

Runner setUp(CLI::App& cmd) {
    auto o = std::make_shared<ExportWellsOptions>();
    addAcquisition(cmd, o->acquisition);
    addBinSize(cmd, o->bin, "bin size in minutes (at least 2; a shorter acquisition sets its own)")
        ->required();
    cmd.add_flag("--time-field", o->timeField,
                 "one file per well (<www>_<well>.txt), each line stamped with the end of its bin "
                 "counted from now; without it one line of values per channel (ch<cccccc>.txt) "
                 "and the bin ends in seconds in time.txt");
    cmd.footer("Ctrl-C stops before anything is written.");

    return [o](const Context& c) {
        WellExportRequest rq;
        rq.acquisitionPath = o->acquisition;
        rq.programFolder = programFolder();
        rq.binText = std::to_string(o->bin);
        rq.timeField = o->timeField;
        rq.openResult = false;
        if (!folderExists(rq.acquisitionPath)) {
            c.err << c.name << ": acquisition folder not found: " << rq.acquisitionPath << "\n";
            return kExitFailure;
        }
        AnsweringPrompter prompter(c.err, std::nullopt, std::nullopt);
        SystemClock clock;
        NoEventPump pump;
        SystemDesktop desktop;
        SystemLocale locale;
        NullStatusView status;
        Ports ports{prompter, clock, pump, desktop, locale, status};
        rq.timeBase = clock.now();
        TerminalProgress progress(c.name);
        StopOnInterrupt interrupt;
        rq.stop = &interrupt.flag();
        rq.progress = [&](double done, double total) { progress.update(done, total, "files"); };
        ReportLayout layout;
        const WellExportOutcome out = exportWells(rq, layout, ports);
        progress.clear();
        if (out.stopped) {
            c.err << c.name << ": stopped; nothing was written\n";
            return kExitFailure;
        }
        if (out.status != WellExportStatus::Written) return kExitFailure;
        if (out.binSize != o->bin) c.err << "bin size " << out.binSize << " minutes\n";
        for (const std::string& f : out.files)
            c.out << f << "\n";
        return kExitOk;
    };
}

const CommandRegistration registered{
    "export-wells", "write the activity of every well (or channel) in bins as small text files",
    setUp};

} // namespace
} // namespace trv::cli
