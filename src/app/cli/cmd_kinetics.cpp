// trelvane-cli kinetics: the tables of the offline browser's kinetics line
// plot, headless and from the same code. With --tag, the joint report of a
// project's tagged series, written where the window's "Export Data" writes
// it (the project folder) and its path printed; without, the binned group
// activity of one acquisition as the normal-mode table on stdout.
#include "acquisition/DataFiles.h"
#include "app/cli/CliArgs.h"
#include "common/Files.h"
#include "offline/Kinetics.h"
#include "offline/OfflineConfiguration.h"
#include "reports/ReportCommand.h"
#include "store/AcquisitionRecord.h"
#include "store/ConfigFile.h"
#include "store/ProjectFile.h"

#include <sstream>

namespace trv::cli {
namespace {

struct KineticsOptions {
    std::string target, tag, separator = ";";
    int bin = 0;
    bool relativize = false;
};

// "K1" or "[K1]" as the tag text of tags_id.dat.
std::string tagText(const std::string& tag) {
    if (tag.size() >= 2 && tag.front() == '[' && tag.back() == ']') return tag;
    return "[" + tag + "]";
}

// A project folder path, or the name pNNNNN of one in the program folder.
std::string projectFolder(const std::string& target) {
    if (target.size() == 6 && target[0] == 'p' && isSafeName(target) && !folderExists(target))
        return joinPath(programFolder(), target);
    return cleanPath(target);
}

bool loadConfiguration(const Context& c, const std::string& folder, OfflineConfiguration& config,
                       Prompter& prompter) {
    if (!folderExists(folder)) {
        c.err << c.name << ": acquisition folder not found: " << folder << "\n";
        return false;
    }
    loadOfflineConfiguration(folder, programFolder(), config, prompter);
    return config.loaded();
}

int tagSeries(const Context& c, const KineticsOptions& o) {
    const std::string project = projectFolder(o.target);
    if (!fileExists(joinPath(project, kSetupFileName))) {
        c.err << c.name << ": no project folder " << project << "\n";
        return kExitFailure;
    }
    const std::string tag = tagText(o.tag);
    // A key that is no plain folder name, or a member without its activity
    // file, is left out by name: the report is of the members it lists.
    std::string members;
    std::istringstream keys(keysTaggedWith(project, tag));
    for (std::string key; keys >> key;) {
        if (!isSafeName(key)) {
            c.err << c.name << ": skipped the key \"" << key
                  << "\" of tags_id.dat: not a folder name\n";
            continue;
        }
        const std::string counts = countsFilePath(joinPath(project, key));
        std::optional<std::string> problem;
        if (!fileExists(counts))
            problem = "Activity file not Found into " + joinPath(project, key);
        else
            problem = countsTimesProblem(counts, readCounts(counts));
        if (problem)
            c.err << c.name << ": left out " << key << ": " << *problem << "\n";
        else
            members += (members.empty() ? "" : " ") + key;
    }
    if (members.empty()) {
        c.err << c.name << ": no acquisition of " << project << " with its activity file is tagged "
              << tag << "\n";
        return kExitFailure;
    }
    AnsweringPrompter prompter(c.err, std::nullopt, std::nullopt);
    SystemClock clock;
    // Every member is grouped as the series' first member is.
    OfflineConfiguration config;
    const std::string first = firstTagMember(members, clock.now());
    if (!loadConfiguration(c, joinPath(project, first), config, prompter)) return kExitFailure;
    const KineticsRequest request{
        "",      project, config.channels(), offlineGroupLists(config).plotGroups,
        members, 5,       o.relativize};
    const KineticsData data = loadKinetics(request, clock, prompter);
    if (data.M == 0) {
        c.err << c.name << ": every value of the series is 0; nothing was written\n";
        return kExitFailure;
    }
    const std::string path =
        writeJointReport(project, clock.now(), kineticsTable(data, kineticsSeparator(o.separator)));
    if (path.empty()) {
        c.err << c.name << ": the joint report could not be written in " << project << "\n";
        return kExitFailure;
    }
    c.out << path << "\n";
    return kExitOk;
}

int acquisitionTable(const Context& c, const KineticsOptions& o) {
    const std::string folder = cleanPath(o.target);
    AnsweringPrompter prompter(c.err, std::nullopt, std::nullopt);
    OfflineConfiguration config;
    if (!loadConfiguration(c, folder, config, prompter)) return kExitFailure;
    SystemClock clock;
    const int bin = o.bin > 0 ? o.bin : initialBinSize(config.setup.Aq_lapse);
    const KineticsRequest request{folder,
                                  "",
                                  config.channels(),
                                  offlineGroupLists(config).plotGroups,
                                  "",
                                  static_cast<double>(bin),
                                  false};
    const std::string counts = countsFilePath(folder);
    if (fileExists(counts)) {
        if (auto problem = countsTimesProblem(counts, readCounts(counts))) {
            c.err << c.name << ": " << *problem << "\n";
            return kExitFailure;
        }
    }
    const KineticsData data = loadKinetics(request, clock, prompter);
    if (!fileExists(counts)) return kExitFailure; // the loader has said so
    if (data.points == 0) {
        c.err << c.name << ": no bin of " << bin << " minutes is complete in " << folder
              << "; nothing to list\n";
        return kExitFailure;
    }
    c.out << kineticsTable(data, kineticsSeparator(o.separator)).table;
    return kExitOk;
}

Runner setUp(CLI::App& cmd) {
    auto o = std::make_shared<KineticsOptions>();
    cmd.add_option("TARGET", o->target,
                   "with --tag: a project folder, or its name pNNNNN in $TRELVANE_HOME; "
                   "without: an acquisition folder")
        ->required();
    cmd.add_option("--tag", o->tag, "the kinetic group tag of the series (K1..K4)")
        ->check(CLI::IsMember({"K1", "K2", "K3", "K4", "[K1]", "[K2]", "[K3]", "[K4]"}));
    auto* bin = addBinSize(cmd, o->bin,
                           "bin size in minutes of an acquisition's table (default as the "
                           "window: 5 for a lapse under an hour, else 30)");
    cmd.add_option("--separator", o->separator,
                   "field separator of the table (default \";\"; empty gives \";\")")
        ->type_name("TEXT");
    auto* relativize = cmd.add_flag("--relativize", o->relativize,
                                    "series values in percent of each group's first point");
    bin->excludes("--tag");
    relativize->needs("--tag");
    cmd.footer("With --tag the report's path is printed; without, the table itself.");
    return [o](const Context& c) {
        return o->tag.empty() ? acquisitionTable(c, *o) : tagSeries(c, *o);
    };
}

const CommandRegistration registered{
    "kinetics",
    "the kinetics line plot's tables: a tagged series' joint report, or an acquisition's "
    "binned group activity",
    setUp};

} // namespace
} // namespace trv::cli
