// trelvane-cli make-demo: a ready demo project in a program folder, made the
// current project (see store/DemoProject.h).
#include "app/cli/CliArgs.h"
#include "store/ConfigFile.h"
#include "store/DemoProject.h"

namespace trv::cli {
namespace {

struct MakeDemoOptions {
    std::string home;
    int lapse = 3, com = 1;
    std::string name = "Demo";
};

Runner setUp(CLI::App& cmd) {
    auto o = std::make_shared<MakeDemoOptions>();
    cmd.add_option("HOME", o->home,
                   "program folder (holding config.dat); default: the programs' own, "
                   "$TRELVANE_HOME or ~/.local/share/trelvane")
        ->type_name("");
    addWholeNumber(cmd, "--lapse", o->lapse, 1, 32767, "acquisition lapse in minutes (default 3)");
    addWholeNumber(cmd, "--com", o->com, 1, 15, "serial port number COMn (default 1)");
    cmd.add_option("--name", o->name, "project name (default Demo)")->type_name("TEXT");

    return [o](const Context& c) {
        if (o->name.empty()) throw UsageError("the project name is empty");
        DemoProjectOptions options;
        options.lapseMinutes = o->lapse;
        options.serialCom = o->com;
        options.name = o->name;
        // The programs' own folder (made from the shipped files on an
        // installed program's first use) when none is named.
        const DemoProjectResult r =
            makeDemoProject(o->home.empty() ? programFolder() : o->home, options);
        if (r.project == 0) {
            c.err << c.name << ": " << r.error << "\n";
            return kExitFailure;
        }
        c.out << "project " << r.project << " \"" << options.name << "\" in " << r.folder
              << " (w96f, 4 groups, " << o->lapse << " min, COM" << o->com
              << ") is the current project\n";
        return kExitOk;
    };
}

const CommandRegistration registered{
    "make-demo",
    "add a ready demo project (w96f, four groups, a few minutes) and make it the current one",
    setUp};

} // namespace
} // namespace trv::cli
