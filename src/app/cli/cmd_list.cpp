// trelvane-cli list: the projects and acquisitions of the program folder
// ($TRELVANE_HOME), line for line as the offline browser's list holds them,
// from the same list code: the project lines newest first, a project's
// acquisitions below its line with --project, the browser's filter with
// --filter.
#include "app/cli/CliArgs.h"
#include "common/Files.h"
#include "offline/BrowserList.h"
#include "reports/ReportCommand.h"
#include "store/ConfigFile.h"
#include "store/ProjectFile.h"

namespace trv::cli {
namespace {

struct ListOptions {
    std::string filter;
    std::string project;
    bool ascending = false;
};

Runner setUp(CLI::App& cmd) {
    auto o = std::make_shared<ListOptions>();
    cmd.add_option("--filter", o->filter,
                   "keep the projects matching every term (blank-separated; \"...\" joins "
                   "words), in their own line or an acquisition's")
        ->type_name("TEXT");
    cmd.add_option("--project", o->project, "list this project's acquisitions below its line")
        ->type_name("pNNNNN");
    cmd.add_flag("--ascending", o->ascending, "oldest first (default: newest first)");

    return [o](const Context& c) {
        const std::string home = programFolder();
        if (!folderExists(home)) {
            c.err << c.name << ": no program folder " << home << "\n";
            return kExitFailure;
        }
        if (!o->project.empty() &&
            (o->project.size() != 6 || o->project[0] != 'p' || !isSafeName(o->project) ||
             !fileExists(joinPath(joinPath(home, o->project), kSetupFileName)))) {
            c.err << c.name << ": no project " << o->project << " in " << home << "\n";
            return kExitFailure;
        }
        // Messages (a setup.dat recovered from its backup) go to stderr.
        AnsweringPrompter prompter(c.err, std::nullopt, std::nullopt);
        BrowserList list(home, prompter);
        list.setDescending(!o->ascending);
        if (!o->project.empty()) list.setExpanded(o->project, true);
        if (o->filter.empty())
            list.listProjects();
        else
            list.applyFilter(o->filter);
        // A line break or other control character in a folder name would
        // split its entry: one entry, one line. Tabs part the fields.
        for (std::string line : list.lines()) {
            for (char& ch : line)
                if ((static_cast<unsigned char>(ch) < 0x20 && ch != '\t') || ch == 0x7f) ch = '?';
            c.out << line << "\n";
        }
        return kExitOk;
    };
}

const CommandRegistration registered{
    "list", "print the offline browser's list of projects and acquisitions of $TRELVANE_HOME",
    setUp};

} // namespace
} // namespace trv::cli
