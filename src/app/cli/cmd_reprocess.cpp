// trelvane-cli reprocess: the activity of a stored acquisition detected
// again from its raw blocks, and its report; with --replace the new counts
// replace those of counts.bin. The report window's raw-data frame runs the
// same procedure.
#include "app/cli/CliArgs.h"
#include "app/cli/CliCommands.h"
#include "common/Files.h"
#include "common/Locale.h"
#include "common/Numeric.h"
#include "reports/RawReprocess.h"
#include "reports/ReportCommand.h"

#include <atomic>
#include <csignal>

namespace trv::cli {

const char* const kReprocessUsage =
    "ACQFOLDER --method M --organism O --snr S [--hours H | --replace] [--export-raw] [--bin MIN]\n"
    "    --method      detection method 0..3 (0 threshold+binary, 1 threshold average,\n"
    "                  2 motility index, 3 Drosophila)\n"
    "    --organism    0 C. elegans, 1 zebrafish, 2 Echinococcus, 3 Drosophila\n"
    "    --snr         signal-to-noise threshold: 1.1..6 (0.5..1 for Drosophila)\n"
    "    --hours       hours of the acquisition to process (default 1, at least 5 minutes;\n"
    "                  with --export-raw the whole acquisition)\n"
    "    --replace     process the whole acquisition and store the new counts in counts.bin\n"
    "                  (the acquisition's setup.dat records the detection used)\n"
    "    --export-raw  write the event marks of every channel (ch<N>.raw)\n"
    "    --bin         report bin size in minutes (default 30)\n"
    "  The report is written in the acquisition folder (rows, csv); its path is printed.\n"
    "  Ctrl-C stops after the current block and changes nothing.";

namespace {

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) {
    interrupted.store(true);
}

// Interrupts end the run at the next block instead of the program, so
// counts.bin is never left between two versions.
class InterruptGuard {
  public:
    InterruptGuard() {
        interrupted = false;
        struct sigaction sa {};
        sa.sa_handler = onInterrupt;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, &oldInt_);
        sigaction(SIGTERM, &sa, &oldTerm_);
    }
    ~InterruptGuard() {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
    }

  private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

} // namespace

int runReprocess(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    auto usageError = [&](const std::string& message) {
        err << "trelvane-cli reprocess: " << message << "\n"
            << "usage: trelvane-cli reprocess " << kReprocessUsage << "\n";
        return kExitUsage;
    };
    std::string error;
    const auto parsed = CliArgs::parse(args, {"method", "organism", "snr", "hours", "bin"},
                                       {"replace", "export-raw"}, error);
    if (!parsed) return usageError(error);
    if (parsed->positional().size() != 1)
        return usageError(parsed->positional().empty() ? "the acquisition folder is missing"
                                                       : "only one acquisition is processed");
    long long method = 0, organism = 0;
    double snr = 0, hours = 0;
    if (!parsed->integer("method", 0, 3, method, error) ||
        !parsed->integer("organism", 0, 3, organism, error) ||
        !parsed->real("snr", 0.1, 100, snr, error) ||
        !parsed->real("hours", 0.0, 100000, hours, error, 1.0))
        return usageError(error);
    if (!thresholdInRange(static_cast<int>(organism), snr))
        return usageError(std::string("--snr must be between ") +
                          (organism == kOrganismDrosophila ? "0.5 and 1" : "1.1 and 6") +
                          " for this organism");
    if (parsed->has("hours") && parsed->flag("replace"))
        return usageError("--hours and --replace exclude each other");
    if (parsed->has("bin")) {
        long long bin = 0;
        if (!parsed->integer("bin", 1, 32767, bin, error)) return usageError(error);
    }

    ReprocessRequest rq;
    rq.acquisitionPath = cleanPath(parsed->positional().front());
    rq.programFolder = programFolder();
    rq.method = static_cast<int>(method);
    rq.organism = static_cast<int>(organism);
    rq.thresholdText = plainReal(snr);
    rq.replaceData = parsed->flag("replace");
    rq.rawExport = parsed->flag("export-raw");
    rq.lapseText = parsed->has("hours") || !rq.rawExport ? plainReal(hours) : kExportRawLapse;
    rq.binText = parsed->text("bin", "30");
    rq.options.autoreport = true;
    SystemLocale locale;
    const std::string list = locale.listSeparator();
    rq.options.separator = list.empty() ? "," : list;

    if (!folderExists(rq.acquisitionPath)) {
        err << "trelvane-cli reprocess: acquisition folder not found: "
            << parsed->positional().front() << "\n";
        return kExitFailure;
    }
    if (!fileExists(joinPath(rq.acquisitionPath, "0.bin"))) {
        err << "Real Time Data Not Found\n";
        return kExitFailure;
    }

    AnsweringPrompter prompter(err, std::nullopt, std::nullopt);
    SystemClock clock;
    NoEventPump pump;
    SystemDesktop desktop;
    NullStatusView status;
    Ports ports{prompter, clock, pump, desktop, locale, status};
    ReportLayout layout;
    InterruptGuard guard;
    const ReprocessOutcome o = reprocessRawData(rq, layout, ports, interrupted);
    if (o.status == ReprocessStatus::Stopped) {
        err << "trelvane-cli reprocess: stopped; nothing was changed\n";
        return kExitFailure;
    }
    if (o.status != ReprocessStatus::Reported) return kExitFailure;
    err << o.range.processed << " record" << (o.range.processed == 1 ? "" : "s") << " processed"
        << (o.countsReplaced ? "; counts.bin replaced" : "") << "\n";
    out << o.reportPath << "\n";
    return out ? kExitOk : kExitFailure;
}

} // namespace trv::cli
