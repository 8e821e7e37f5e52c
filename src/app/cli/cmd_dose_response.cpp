// trelvane-cli dose-response: the dose-response curves of a stored
// acquisition, as the report window's "Dose-response..." makes them:
// dose_response.csv and one plot per compound. The paths written are printed,
// one a line; each compound's IC50 and every message go to stderr.
#include "analysis/DoseResponse.h"
#include "app/cli/CliArgs.h"
#include "common/Files.h"
#include "common/Locale.h"

namespace trv::cli {
namespace {

struct DoseResponseOptions {
    std::string acquisition, doses, basal, output;
    long long from = 0, to = 0;
};

Runner setUp(CLI::App& cmd) {
    auto o = std::make_shared<DoseResponseOptions>();
    addAcquisition(cmd, o->acquisition);
    cmd.add_option_function<std::string>(
           "--doses", [o](const std::string& s) { o->doses = cleanPath(s); },
           "the dose map: group,compound,concentration per line (the acquisition's doses.csv "
           "is the report window's)")
        ->required()
        ->type_name("FILE");
    addWholeNumber(cmd, "--from", o->from, 0, 100000000,
                   "the response window starts at this minute (records of it count)")
        ->required();
    addWholeNumber(cmd, "--to", o->to, 1, 100000000,
                   "the response window ends at this minute (records of it do not count)")
        ->required();
    cmd.add_option_function<std::string>(
           "--basal",
           [o](const std::string& s) {
               if (s.empty()) throw UsageError("--basal needs an acquisition folder");
               o->basal = s;
           },
           "responses as % of each well's activity per minute in this acquisition (a folder "
           "name of the same project, or a path)")
        ->type_name("ACQ");
    addOutputFolder(cmd, o->output,
                    "folder of the results, made when missing (default: ACQFOLDER)");

    return [o](const Context& c) {
        if (o->to <= o->from) throw UsageError("--to must be after --from");
        DoseResponseRequest rq;
        rq.acquisitionPath = o->acquisition;
        rq.programFolder = programFolder();
        rq.dosesPath = o->doses;
        rq.window = {static_cast<int32_t>(o->from), static_cast<int32_t>(o->to)};
        if (!o->basal.empty()) {
            // A bare folder name is a sibling of the acquisition.
            const bool bare = o->basal.find('/') == std::string::npos;
            rq.basalPath = cleanPath(bare ? joinPath(o->acquisition, "../" + o->basal) : o->basal);
        }
        if (!folderExists(rq.acquisitionPath)) {
            c.err << c.name << ": acquisition folder not found: " << rq.acquisitionPath << "\n";
            return kExitFailure;
        }
        if (!o->output.empty()) {
            if (!makeOutputFolder(c, o->output)) return kExitFailure;
            rq.outputFolder = o->output;
        }
        SystemLocale locale;
        const DoseResponseOutcome out = runDoseResponse(rq, locale);
        for (const std::string& line : doseResponseSummary(out, locale.decimalSeparator()))
            c.err << line << "\n";
        if (!out.written) return kExitFailure;
        c.out << out.csvPath << "\n";
        for (const std::string& p : out.plotPaths)
            c.out << p << "\n";
        return kExitOk;
    };
}

const CommandRegistration registered{
    "dose-response",
    "fit a dose-response curve per compound of a dose map (IC50 with its 95 % interval) and plot "
    "it",
    setUp};

} // namespace
} // namespace trv::cli
