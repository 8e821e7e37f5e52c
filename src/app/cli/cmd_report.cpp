// trelvane-cli report: the report of a stored acquisition, with every choice
// the report window offers; the window's questions are answered from the
// options.
#include "app/cli/CliArgs.h"
#include "app/cli/CliCommands.h"
#include "common/Files.h"
#include "common/Locale.h"
#include "reports/ReportCommand.h"

namespace trv::cli {

const char* const kReportUsage =
    "ACQFOLDER [--bin MIN] [--format rows|list|warray|charray|histogram] [--type csv|txt]\n"
    "      [--separator TEXT] [--std-error|--no-std-error] [--std-dev|--no-std-dev] [--n|--no-n]\n"
    "      [--basal ACQ [--basal-minutes M] [--zero-basal max|average|discard]] [--output FOLDER]\n"
    "    --bin         bin size in minutes (default 30)\n"
    "    --format      output format (default rows)\n"
    "    --type        file type (default csv)\n"
    "    --separator   field separator (default: the locale's list separator for csv, a space\n"
    "                  for txt)\n"
    "    --std-error, --std-dev, --n   group statistics written (default: standard error and N)\n"
    "    --basal       basal acquisition of the same project (folder name or path)\n"
    "    --basal-minutes  basal minutes to use (default: the question's default)\n"
    "    --zero-basal  for grouped wells without basal activity: use the well's largest bin,\n"
    "                  the plate average, or discard the well; without it no report is written\n"
    "    --output      folder of the report file (default: ACQFOLDER)";

namespace {

std::string parentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

int runReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    auto usageError = [&](const std::string& message) {
        err << "trelvane-cli report: " << message << "\n"
            << "usage: trelvane-cli report " << kReportUsage << "\n";
        return kExitUsage;
    };
    std::string error;
    const auto parsed = CliArgs::parse(
        args,
        {"bin", "format", "type", "separator", "basal", "basal-minutes", "zero-basal", "output"},
        {"std-error", "no-std-error", "std-dev", "no-std-dev", "n", "no-n"}, error);
    if (!parsed) return usageError(error);
    if (parsed->positional().size() != 1)
        return usageError(parsed->positional().empty() ? "the acquisition folder is missing"
                                                       : "only one acquisition is reported");
    HeadlessReport job;
    ReportRequest& rq = job.request;
    ReportOptions& o = rq.options;
    rq.acquisitionPath = cleanPath(parsed->positional().front());
    rq.programFolder = programFolder();
    rq.binText = parsed->text("bin", "30");

    const std::string format = parsed->text("format", "rows");
    if (format == "rows")
        o.format = OutputFormat::Rows;
    else if (format == "list")
        o.format = OutputFormat::List;
    else if (format == "warray")
        o.format = OutputFormat::WArray;
    else if (format == "charray")
        o.format = OutputFormat::ChArray;
    else if (format == "histogram")
        o.format = OutputFormat::Histogram;
    else
        return usageError("unknown format \"" + format + "\"");

    const std::string type = parsed->text("type", "csv");
    if (type == "csv")
        o.fileType = 0;
    else if (type == "txt")
        o.fileType = 1;
    else
        return usageError("unknown file type \"" + type + "\"");

    if (parsed->has("separator")) {
        o.separator = parsed->text("separator");
    } else if (o.fileType == 1) {
        o.separator.assign(1, ' ');
    } else {
        SystemLocale locale;
        const std::string list = locale.listSeparator();
        o.separator = list.empty() ? "," : list;
    }

    auto onOff = [&](const std::string& name, bool fallback, bool& target) {
        if (parsed->flag(name) && parsed->flag("no-" + name)) return false;
        target = parsed->flag(name) ? true : parsed->flag("no-" + name) ? false : fallback;
        return true;
    };
    if (!onOff("std-error", true, o.stdError) || !onOff("std-dev", false, o.stdDev) ||
        !onOff("n", true, o.wellCount))
        return usageError("an option and its --no- form are both given");

    if (parsed->has("output")) {
        o.outputFolder = cleanPath(parsed->text("output"));
        if (!folderExists(o.outputFolder)) {
            err << "trelvane-cli report: output folder not found: " << parsed->text("output")
                << "\n";
            return kExitFailure;
        }
    }

    if (parsed->has("basal")) {
        // The basal acquisition is always a sibling of the acquisition (same
        // project); a path elsewhere is refused rather than silently replaced.
        std::string basal = parsed->text("basal");
        if (basal.find('/') != std::string::npos) {
            basal = cleanPath(basal);
            if (parentOf(basal) != parentOf(rq.acquisitionPath))
                return usageError("the basal acquisition must be in the project of " +
                                  rq.acquisitionPath);
        }
        rq.basalChoice = nameOf(basal);
        if (!basalRequested(rq.basalChoice))
            return usageError("not an acquisition folder name: \"" + rq.basalChoice + "\"");
    }
    if (parsed->has("basal-minutes")) {
        long long minutes = 0;
        if (!parsed->integer("basal-minutes", 1, 32767, minutes, error)) return usageError(error);
        job.basalMinutes = static_cast<int>(minutes);
    }
    if (parsed->has("zero-basal")) {
        const std::string rule = parsed->text("zero-basal");
        if (rule == "max")
            job.zeroBasal = ZeroBasalRule::Maximum;
        else if (rule == "average")
            job.zeroBasal = ZeroBasalRule::PlateAverage;
        else if (rule == "discard")
            job.zeroBasal = ZeroBasalRule::Discard;
        else
            return usageError("unknown --zero-basal rule \"" + rule + "\"");
    }

    return runHeadlessReport(job, out, err) ? kExitOk : kExitFailure;
}

} // namespace trv::cli
