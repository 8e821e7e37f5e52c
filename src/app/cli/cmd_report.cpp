// trelvane-cli report: the report of a stored acquisition, with every choice
// the report window offers; the window's questions are answered from the
// options.
#include "app/cli/CliArgs.h"
#include "app/cli/CliSupport.h"
#include "common/Files.h"
#include "common/Locale.h"
#include "reports/ReportCommand.h"

namespace trv::cli {
namespace {

struct ReportCommandOptions {
    std::string acquisition;
    int bin = 30;
    std::string format = "rows", type = "csv", separator, basal, zeroBasal, output;
    bool separatorGiven = false;
    bool stdError = true, stdDev = false, wellCount = true;
    int basalMinutes = 0; // 0: not given
};

std::string parentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

OutputFormat formatNamed(const std::string& name) {
    if (name == "list") return OutputFormat::List;
    if (name == "warray") return OutputFormat::WArray;
    if (name == "charray") return OutputFormat::ChArray;
    if (name == "histogram") return OutputFormat::Histogram;
    return OutputFormat::Rows;
}

Runner setUp(CLI::App& cmd) {
    auto o = std::make_shared<ReportCommandOptions>();
    addAcquisition(cmd, o->acquisition);
    addBinSize(cmd, o->bin, "bin size in minutes (default 30)");
    addChoice(cmd, "--format", o->format, {"rows", "list", "warray", "charray", "histogram"},
              "output format (default rows)");
    addChoice(cmd, "--type", o->type, {"csv", "txt"}, "file type (default csv)");
    cmd.add_option_function<std::string>(
           "--separator",
           [o](const std::string& s) {
               // A line break or other control character would break the
               // report's lines; a tab makes a tab-separated file.
               for (unsigned char ch : s)
                   if ((ch < 0x20 && ch != '\t') || ch == 0x7f)
                       throw UsageError("--separator must not hold a line break or another "
                                        "control character");
               o->separator = s;
               o->separatorGiven = true;
           },
           "field separator (default: the locale's list separator for csv, a space for txt)")
        ->type_name("TEXT");
    addOnOff(cmd, "std-error", o->stdError, "write the groups' standard error (default)");
    addOnOff(cmd, "std-dev", o->stdDev, "write the groups' standard deviation");
    addOnOff(cmd, "n", o->wellCount, "write the groups' number of wells (default)");
    CLI::Option* basal =
        cmd.add_option("--basal", o->basal,
                       "basal acquisition of the same project (folder name or path)")
            ->type_name("ACQ");
    addWholeNumber(cmd, "--basal-minutes", o->basalMinutes, 1, 32767,
                   "basal minutes to use (default: the question's default)")
        ->needs(basal);
    addChoice(cmd, "--zero-basal", o->zeroBasal, {"max", "average", "discard"},
              "for grouped wells without basal activity: use the well's largest bin, the plate "
              "average, or discard the well; without it no report is written")
        ->needs(basal);
    addOutputFolder(cmd, o->output,
                    "folder of the report file, made when missing (default: ACQFOLDER)");

    return [o](const Context& c) {
        HeadlessReport job;
        ReportRequest& rq = job.request;
        ReportOptions& opt = rq.options;
        rq.acquisitionPath = o->acquisition;
        rq.programFolder = programFolder();
        rq.binText = std::to_string(o->bin);
        opt.format = formatNamed(o->format);
        opt.fileType = o->type == "txt" ? 1 : 0;
        if (o->separatorGiven) {
            opt.separator = o->separator;
        } else if (opt.fileType == 1) {
            opt.separator.assign(1, ' ');
        } else {
            SystemLocale locale;
            const std::string list = locale.listSeparator();
            opt.separator = list.empty() ? "," : list;
        }
        opt.stdError = o->stdError;
        opt.stdDev = o->stdDev;
        opt.wellCount = o->wellCount;

        if (!o->basal.empty()) {
            // The basal acquisition is always a sibling of the acquisition
            // (same project); a path elsewhere is refused rather than
            // silently replaced.
            std::string basal = o->basal;
            if (basal.find('/') != std::string::npos) {
                basal = cleanPath(basal);
                if (parentOf(basal) != parentOf(rq.acquisitionPath))
                    throw UsageError("the basal acquisition must be in the project of " +
                                     rq.acquisitionPath);
            }
            rq.basalChoice = nameOf(basal);
            if (!basalRequested(rq.basalChoice))
                throw UsageError("not an acquisition folder name: \"" + rq.basalChoice + "\"");
        }
        if (o->basalMinutes > 0) job.basalMinutes = o->basalMinutes;
        if (o->zeroBasal == "max")
            job.zeroBasal = ZeroBasalRule::Maximum;
        else if (o->zeroBasal == "average")
            job.zeroBasal = ZeroBasalRule::PlateAverage;
        else if (o->zeroBasal == "discard")
            job.zeroBasal = ZeroBasalRule::Discard;

        if (!o->output.empty()) {
            if (!makeOutputFolder(c, o->output)) return kExitFailure;
            opt.outputFolder = o->output;
        }
        const EarlierReports earlier(opt.outputFolder.empty() ? rq.acquisitionPath
                                                              : opt.outputFolder);
        const auto path = runHeadlessReport(job, c.err);
        if (!path) return kExitFailure;
        earlier.sayIfReplaced(c, *path);
        c.out << *path << "\n";
        return kExitOk;
    };
}

const CommandRegistration registered{
    "report", "write the report of a stored acquisition and print its path", setUp};

} // namespace
} // namespace trv::cli
