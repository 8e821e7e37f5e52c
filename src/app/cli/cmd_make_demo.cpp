// trelvane-cli make-demo: a ready demo project in a program folder, made the
// current project (see store/DemoProject.h).
#include "app/cli/CliArgs.h"
#include "app/cli/CliCommands.h"
#include "store/DemoProject.h"

namespace trv::cli {

const char* const kMakeDemoUsage = "HOME [--lapse 3] [--com 1] [--name Demo]";

int runMakeDemo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    auto usageError = [&](const std::string& message) {
        err << "trelvane-cli make-demo: " << message << "\n"
            << "usage: trelvane-cli make-demo " << kMakeDemoUsage << "\n";
        return kExitUsage;
    };
    std::string error;
    const auto parsed = CliArgs::parse(args, {"lapse", "com", "name"}, {}, error);
    if (!parsed) return usageError(error);
    if (parsed->positional().size() != 1) return usageError("give the program folder");
    long long lapse = 0, com = 0;
    if (!parsed->integer("lapse", 1, 32767, lapse, error, 3) ||
        !parsed->integer("com", 1, 15, com, error, 1))
        return usageError(error);
    DemoProjectOptions options;
    options.lapseMinutes = static_cast<int>(lapse);
    options.serialCom = static_cast<int>(com);
    options.name = parsed->text("name", "Demo");
    if (options.name.empty()) return usageError("the project name is empty");

    const DemoProjectResult r = makeDemoProject(parsed->positional().front(), options);
    if (r.project == 0) {
        err << "trelvane-cli make-demo: " << r.error << "\n";
        return kExitFailure;
    }
    out << "project " << r.project << " \"" << options.name << "\" in " << r.folder
        << " (w96f, 4 groups, " << lapse << " min, COM" << com << ") is the current project\n";
    return kExitOk;
}

} // namespace trv::cli
