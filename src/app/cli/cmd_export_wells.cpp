// trelvane-cli export-wells: the per-well export of the report window ("1
// file/well Report") for a stored acquisition; the paths written are
// printed, one a line.
#include "app/cli/CliArgs.h"
#include "app/cli/CliCommands.h"
#include "common/Files.h"
#include "common/Locale.h"
#include "reports/ReportCommand.h"
#include "reports/WellExport.h"

namespace trv::cli {

const char* const kExportWellsUsage =
    "ACQFOLDER --bin MIN [--time-field]\n"
    "    --bin         bin size in minutes (at least 2; a shorter acquisition sets its own)\n"
    "    --time-field  one file per well (<www>_<well>.txt), each line stamped with the end of\n"
    "                  its bin counted from now; without it one line of values per channel\n"
    "                  (ch<cccccc>.txt) and the bin ends in seconds in time.txt";

int runExportWells(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    auto usageError = [&](const std::string& message) {
        err << "trelvane-cli export-wells: " << message << "\n"
            << "usage: trelvane-cli export-wells " << kExportWellsUsage << "\n";
        return kExitUsage;
    };
    std::string error;
    const auto parsed = CliArgs::parse(args, {"bin"}, {"time-field"}, error);
    if (!parsed) return usageError(error);
    if (parsed->positional().size() != 1)
        return usageError(parsed->positional().empty() ? "the acquisition folder is missing"
                                                       : "only one acquisition is exported");
    long long bin = 0;
    if (!parsed->integer("bin", 1, 32767, bin, error)) return usageError(error);

    WellExportRequest rq;
    rq.acquisitionPath = cleanPath(parsed->positional().front());
    rq.programFolder = programFolder();
    rq.binText = std::to_string(bin);
    rq.timeField = parsed->flag("time-field");
    rq.openResult = false;
    if (!folderExists(rq.acquisitionPath)) {
        err << "trelvane-cli export-wells: acquisition folder not found: "
            << parsed->positional().front() << "\n";
        return kExitFailure;
    }

    AnsweringPrompter prompter(err, std::nullopt, std::nullopt);
    SystemClock clock;
    NoEventPump pump;
    SystemDesktop desktop;
    SystemLocale locale;
    NullStatusView status;
    Ports ports{prompter, clock, pump, desktop, locale, status};
    rq.timeBase = clock.now();
    ReportLayout layout;
    const WellExportOutcome o = exportWells(rq, layout, ports);
    if (o.status != WellExportStatus::Written) return kExitFailure;
    if (o.binSize != bin) err << "bin size " << o.binSize << " minutes\n";
    for (const std::string& f : o.files)
        out << f << "\n";
    return out ? kExitOk : kExitFailure;
}

} // namespace trv::cli
