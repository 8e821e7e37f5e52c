// trelvane-cli export-dam: an acquisition as monitor files for rhythm and
// sleep analysis tools (see reports/MonitorExport.h); the paths written are
// printed, one a line.
#include "app/cli/CliArgs.h"
#include "app/cli/CliSupport.h"
#include "common/Files.h"
#include "reports/MonitorExport.h"
#include "reports/ReportCommand.h"

namespace trv::cli {
namespace {

struct ExportDamOptions {
    std::string acquisition, output, per = "channels";
    int bin = 0;
};

Runner setUp(CLI::App& cmd) {
    auto o = std::make_shared<ExportDamOptions>();
    addAcquisition(cmd, o->acquisition);
    addBinSize(cmd, o->bin,
               "sum the records into bins of MIN minutes, each line stamped with its bin's end "
               "(default: one line per record, or 1-minute bins when records are less than a "
               "minute apart)");
    addChoice(cmd, "--per", o->per, {"channels", "wells"},
              "one column per channel (384 columns, default) or per well of the plate (its "
              "beams summed)");
    addOutputFolder(cmd, o->output, "folder of the files, made when missing (default: ACQFOLDER)");
    cmd.footer("Writes Monitor1.txt, Monitor2.txt, ... (32 columns each) and " +
               std::string(kMonitorMapName) +
               ", which says what each column holds. Ctrl-C stops before anything is written.");

    return [o](const Context& c) {
        MonitorExportRequest rq;
        rq.acquisitionPath = o->acquisition;
        rq.programFolder = programFolder();
        rq.binMinutes = o->bin;
        rq.perWell = o->per == "wells";
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
        StopOnInterrupt interrupt;
        const MonitorExportOutcome out =
            exportMonitorFiles(rq, prompter, &interrupt.flag(), [&](double done, double total) {
                progress.update(done, total, "lines");
            });
        progress.clear();
        if (!out.written) {
            c.err << c.name << ": "
                  << (interrupt.stopped() ? "stopped; nothing was written" : out.error) << "\n";
            return kExitFailure;
        }
        if (o->bin == 0 && out.binMinutes == 1)
            c.err << c.name << ": records less than a minute apart: summed into 1-minute bins\n";
        for (const std::string& f : out.files)
            c.out << f << "\n";
        return kExitOk;
    };
}

const CommandRegistration registered{
    "export-dam",
    "write the acquisition as monitor files (32 channels or wells each) for rhythm analysis tools",
    setUp};

} // namespace
} // namespace trv::cli
