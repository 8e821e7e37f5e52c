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
           "file of the table, its folder made when missing (default: the first report_N.csv "
           "of ACQFOLDER that does not exist yet; its report.csv is never replaced)")
        ->type_name("FILE");
    addRealNumber(cmd, "--threshold", o->threshold, 1.1, 6,
                  "detection threshold, as the analysis threshold box (default 1.8)");
    cmd.footer("The path of the table written is printed. Ctrl-C stops after the current block "
               "and writes nothing.");

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
        std::string problem;
        if (!loadTrackTimes(track, o->acquisition, &problem)) {
            c.err << (problem.empty() ? "Activity file not Found" : c.name + ": " + problem)
                  << "\n";
            return kExitFailure;
        }

        TrackRunOptions run;
        run.folder = o->acquisition;
        run.rtBuffer = config.rawBlockSamples();
        run.snr = o->threshold;
        // Blocks without usable raw data are named, and count as without
        // events; with none left there is nothing to track.
        const int blocks = track.blockCount();
        long long missing = 0;
        for (const RawGap& g : trackRawGaps(track, run)) {
            c.err << c.name << ": " << rawGapText(g) << "\n";
            missing += g.lastRecord - g.firstRecord + 1;
        }
        if (missing >= blocks) {
            c.err << c.name << ": no block could be tracked; nothing was written\n";
            return kExitFailure;
        }
        TerminalProgress progress(c.name);
        StopOnInterrupt interrupt;
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
        if (!o->output.empty()) {
            const size_t slash = o->output.find_last_of('/');
            if (slash != std::string::npos && slash > 0 &&
                !makeOutputFolder(c, o->output.substr(0, slash)))
                return kExitFailure;
        }
        const std::string path = writeTravelTable(o->acquisition, table, o->output);
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
