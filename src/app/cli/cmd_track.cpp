// trelvane-cli track: the travel distance table of a stored 6-well
// acquisition, one animal followed per well, computed headless by the same
// code as the offline browser's "Export Data" of the track view.
#include "app/cli/CliArgs.h"
#include "app/cli/CliSupport.h"
#include "common/Files.h"
#include "common/Locale.h"
#include "offline/OfflineConfiguration.h"
#include "offline/TrackSession.h"
#include "reports/ReportCommand.h"
#include "store/ConfigFile.h"

namespace trv::cli {
namespace {

struct TrackOptions {
    std::string acquisition, output;
    double threshold = 1.8;
};

// The window offers tracking for these acquisitions only: a larva or a fly
// alone in each well of a 6-well plate.
bool trackable(const OfflineConfiguration& config) {
    const int organism = config.setup.Organism();
    return config.setup.Plate_format == "w6" && (organism == 1 || organism == 3);
}

Runner setUp(CLI::App& cmd) {
    auto o = std::make_shared<TrackOptions>();
    addAcquisition(cmd, o->acquisition);
    cmd.add_option_function<std::string>(
           "--output", [o](const std::string& text) { o->output = cleanPath(text); },
           "file of the table, its folder made when missing (default: report.csv in ACQFOLDER, "
           "or the first report_N.csv that can be written)")
        ->type_name("FILE");
    addRealNumber(cmd, "--threshold", o->threshold, 1.1, 6,
                  "detection threshold, as the analysis threshold box (default 1.8)");
    cmd.footer("The table's path is printed. Ctrl-C stops after the current block and writes "
               "nothing.");

    return [o](const Context& c) {
        if (!folderExists(o->acquisition)) {
            c.err << c.name << ": acquisition folder not found: " << o->acquisition << "\n";
            return kExitFailure;
        }
        AnsweringPrompter prompter(c.err, std::nullopt, std::nullopt);
        OfflineConfiguration config;
        loadOfflineConfiguration(o->acquisition, programFolder(), config, prompter);
        if (!config.loaded()) return kExitFailure;
        if (!trackable(config)) {
            c.err << c.name
                  << ": tracking follows one zebrafish larva or fly per well of a 6-well plate "
                     "(w6); this acquisition has plate "
                  << config.setup.Plate_format << ", organism " << config.setup.Organism() << "\n";
            return kExitFailure;
        }
        TrackAnalysis track(config.plate());
        if (!loadTrackTimes(track, o->acquisition)) {
            c.err << "Activity file not Found\n";
            return kExitFailure;
        }

        TrackRunOptions run;
        run.folder = o->acquisition;
        run.rtBuffer = config.rawBlockSamples();
        run.snr = o->threshold;
        TerminalProgress progress(c.name);
        StopOnInterrupt interrupt;
        const int blocks = track.blockCount();
        const bool done = trackToEnd(track, run, [&](int block) {
            progress.update(block + 1, blocks, "Block " + std::to_string(block + 1));
            return !interrupt.stopped();
        });
        progress.clear();
        if (!done) {
            c.err << c.name << ": stopped; nothing was written\n";
            return kExitFailure;
        }

        SystemLocale locale;
        SystemClock clock;
        TravelTableHeader h;
        h.separator = locale.listSeparator();
        if (h.separator.empty()) h.separator = ",";
        h.decimalMark = locale.decimalSeparator();
        h.date = locale.formatDateTime(clock.now());
        h.folder = o->acquisition;
        const std::string table = travelDistanceTable(track, config.plate(), config.channels(), h);
        std::string path;
        if (o->output.empty()) {
            const EarlierReports earlier(o->acquisition);
            path = writeTravelTable(o->acquisition, table);
            if (!path.empty()) earlier.sayIfReplaced(c, path);
        } else {
            const size_t slash = o->output.find_last_of('/');
            if (slash != std::string::npos && slash > 0 &&
                !makeOutputFolder(c, o->output.substr(0, slash)))
                return kExitFailure;
            if (writeFileAtomic(o->output, table)) path = o->output;
        }
        if (path.empty()) {
            c.err << c.name << ": the table could not be written\n";
            return kExitFailure;
        }
        c.out << path << "\n";
        return kExitOk;
    };
}

const CommandRegistration registered{
    "track",
    "follow one animal per well of a 6-well acquisition and write its travel distance table",
    setUp};

} // namespace
} // namespace trv::cli
