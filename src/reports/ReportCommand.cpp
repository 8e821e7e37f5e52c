#include "reports/ReportCommand.h"

#include "common/Clock.h"
#include "common/Desktop.h"
#include "common/EventPump.h"
#include "common/Files.h"
#include "common/Locale.h"
#include "common/Numeric.h"
#include "common/Ports.h"
#include "common/StatusView.h"

#include <filesystem>
#include <ostream>

namespace trv {

namespace {

std::string terminalText(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
        out += s[i];
    }
    return out;
}

// A path without "." and ".." parts and without a trailing separator.
std::string cleanPath(const std::string& p) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path abs = fs::absolute(fs::path(p), ec);
    if (ec) abs = fs::path(p);
    std::string s = abs.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

std::string parentOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

Answer AnsweringPrompter::message(const std::string& text, Buttons buttons, const std::string& title) {
    err_ << (title.empty() ? "" : title + ": ") << terminalText(text) << "\n";
    switch (buttons) {
    case Buttons::Ok:
    case Buttons::OkCancel: return Answer::Ok;
    case Buttons::YesNo:
        // The one yes/no question of a report: proceed with wells whose basal
        // activity is 0.
        if (zeroBasal_) return Answer::Yes;
        err_ << "(answered No: --zero-basal max|average|discard chooses how to proceed)\n";
        return Answer::No;
    case Buttons::YesNoCancel:
        if (!zeroBasal_) return Answer::Cancel;
        switch (*zeroBasal_) {
        case ZeroBasalRule::Maximum: return Answer::Yes;
        case ZeroBasalRule::PlateAverage: return Answer::No;
        default: return Answer::Cancel;
        }
    }
    return Answer::Cancel;
}

InputResult AnsweringPrompter::input(const std::string& prompt, const std::string& title,
                                     const std::string& preset) {
    err_ << (title.empty() ? "" : title + ": ") << terminalText(prompt) << "\n";
    // Only the first basal question is answered; anything else (the range
    // reminder after an answer out of range) ends the generation.
    if (prompt.rfind("Basal acquisition is ", 0) == 0 && !answered_) {
        answered_ = true;
        std::string answer = basalMinutes_ ? std::to_string(*basalMinutes_) : preset;
        err_ << "> " << answer << "\n";
        return {false, answer};
    }
    return {true, ""};
}

std::string reportCommandUsage() {
    return "usage: trelvane-cli report ACQFOLDER [options]\n"
           "  --bin MIN               bin size in minutes (default 30)\n"
           "  --format FORMAT         rows, list, warray, charray or histogram (default rows)\n"
           "  --type TYPE             csv or txt (default csv)\n"
           "  --separator TEXT        field separator (default: the locale's list separator\n"
           "                          for csv, a space for txt)\n"
           "  --std-error, --no-std-error   standard error section (default on)\n"
           "  --std-dev, --no-std-dev       standard deviation section (default off)\n"
           "  --n, --no-n                   wells per group section (default on)\n"
           "  --basal ACQ             normalise to this acquisition of the same project\n"
           "  --basal-minutes M       basal minutes to use (default: the question's default)\n"
           "  --zero-basal RULE       for grouped wells without basal activity: max, average\n"
           "                          or discard (without it such a report is not written)\n"
           "  --output FOLDER         folder of the report file (default: ACQFOLDER)\n";
}

std::optional<ReportCommandOptions> parseReportArguments(const std::vector<std::string>& args,
                                                         std::string& error) {
    ReportCommandOptions o;
    o.report.autoreport = true;  // never opened in a viewer from the command line
    auto valueOf = [&](size_t& i, const std::string& arg, std::string& name) -> std::optional<std::string> {
        auto eq = arg.find('=');
        if (eq != std::string::npos) {
            name = arg.substr(0, eq);
            return arg.substr(eq + 1);
        }
        name = arg;
        if (i + 1 >= args.size()) return std::nullopt;
        return args[++i];
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0) {
            if (!o.acquisition.empty()) {
                error = "more than one acquisition folder: " + arg;
                return std::nullopt;
            }
            o.acquisition = arg;
            continue;
        }
        if (arg == "--std-error") { o.report.stdError = true; continue; }
        if (arg == "--no-std-error") { o.report.stdError = false; continue; }
        if (arg == "--std-dev") { o.report.stdDev = true; continue; }
        if (arg == "--no-std-dev") { o.report.stdDev = false; continue; }
        if (arg == "--n") { o.report.wellCount = true; continue; }
        if (arg == "--no-n") { o.report.wellCount = false; continue; }
        std::string name;
        auto value = valueOf(i, arg, name);
        if (!value) {
            error = name + " needs a value";
            return std::nullopt;
        }
        const std::string& v = *value;
        if (name == "--bin") {
            o.bin = v;
        } else if (name == "--format") {
            if (v == "rows") o.report.format = OutputFormat::Rows;
            else if (v == "list") o.report.format = OutputFormat::List;
            else if (v == "warray") o.report.format = OutputFormat::WArray;
            else if (v == "charray") o.report.format = OutputFormat::ChArray;
            else if (v == "histogram") o.report.format = OutputFormat::Histogram;
            else {
                error = "unknown format: " + v;
                return std::nullopt;
            }
        } else if (name == "--type") {
            if (v == "csv") o.report.fileType = 0;
            else if (v == "txt") o.report.fileType = 1;
            else {
                error = "unknown file type: " + v;
                return std::nullopt;
            }
        } else if (name == "--separator") {
            o.separator = v;
        } else if (name == "--basal") {
            o.basal = v;
        } else if (name == "--basal-minutes") {
            if (!isNumber(commaAsPoint(v))) {
                error = "--basal-minutes needs a number: " + v;
                return std::nullopt;
            }
            double m = leadingNumber(commaAsPoint(v));
            if (m < 0 || m > 1e9) {
                error = "--basal-minutes out of range: " + v;
                return std::nullopt;
            }
            o.basalMinutes = static_cast<int>(roundHalfEven(m));
        } else if (name == "--zero-basal") {
            if (v == "max") o.zeroBasal = ZeroBasalRule::Maximum;
            else if (v == "average") o.zeroBasal = ZeroBasalRule::PlateAverage;
            else if (v == "discard") o.zeroBasal = ZeroBasalRule::Discard;
            else {
                error = "unknown --zero-basal rule: " + v;
                return std::nullopt;
            }
        } else if (name == "--output") {
            o.outputFolder = v;
        } else {
            error = "unknown option: " + name;
            return std::nullopt;
        }
    }
    if (o.acquisition.empty()) {
        error = "no acquisition folder given";
        return std::nullopt;
    }
    return o;
}

int runReportCommand(const std::vector<std::string>& args, const std::string& programFolder,
                     std::ostream& out, std::ostream& err) {
    std::string error;
    auto parsed = parseReportArguments(args, error);
    if (!parsed) {
        err << "report: " << error << "\n" << reportCommandUsage();
        return 2;
    }
    ReportCommandOptions& o = *parsed;

    SystemLocale locale;
    ReportRequest rq;
    rq.acquisitionPath = cleanPath(o.acquisition);
    rq.programFolder = programFolder;
    rq.binText = o.bin;
    rq.options = o.report;
    if (o.separator) {
        rq.options.separator = *o.separator;
    } else if (rq.options.fileType == 1) {
        rq.options.separator.assign(1, ' ');
    } else {
        std::string list = locale.listSeparator();
        rq.options.separator = list.empty() ? "," : list;
    }
    if (!o.outputFolder.empty()) {
        rq.options.outputFolder = cleanPath(o.outputFolder);
        if (!folderExists(rq.options.outputFolder)) {
            err << "report: output folder not found: " << o.outputFolder << "\n";
            return 2;
        }
    }
    if (!o.basal.empty()) {
        // The basal acquisition is always a sibling of the acquisition (same
        // project); a path elsewhere is refused rather than silently replaced.
        std::string basal = o.basal.find('/') == std::string::npos ? o.basal : cleanPath(o.basal);
        if (basal.find('/') != std::string::npos && parentOf(basal) != parentOf(rq.acquisitionPath)) {
            err << "report: the basal acquisition must be in the project of " << rq.acquisitionPath << "\n";
            return 2;
        }
        rq.basalChoice = nameOf(basal);
        if (!basalRequested(rq.basalChoice)) {
            err << "report: not an acquisition folder name: " << rq.basalChoice << "\n";
            return 2;
        }
    }

    AnsweringPrompter prompter(err, o.basalMinutes, o.zeroBasal);
    SystemClock clock;
    NoEventPump pump;
    SystemDesktop desktop;
    NullStatusView status;
    Ports ports{prompter, clock, pump, desktop, locale, status};
    ReportLayout layout;
    ReportOutcome outcome = generateReport(rq, layout, ports);
    if (outcome.status != ReportStatus::Written) return 1;
    out << outcome.path << "\n";
    return 0;
}

} // namespace trv
