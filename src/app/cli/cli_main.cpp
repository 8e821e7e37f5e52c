// trelvane-cli: headless work on stored acquisitions. The first argument
// names the command; the rest belongs to it.
#include "app/cli/CliCommands.h"

#include <cstring>
#include <iostream>

namespace {

using namespace trv::cli;

// One line per command; a new command adds its cmd_<name>.cpp and a line here.
const Command kCommands[] = {
    {"detect", kDetectUsage, "count the activity events of one channel in one stored raw block",
     runDetect},
    {"report", kReportUsage, "write the report of a stored acquisition and print its path", runReport},
    {"reprocess", kReprocessUsage,
     "detect the activity again from the stored raw blocks, report it (and store it with --replace)",
     runReprocess},
    {"export-wells", kExportWellsUsage,
     "write the activity of every well (or channel) in bins as small text files", runExportWells},
    {"make-demo", kMakeDemoUsage,
     "add a ready demo project (w96f, four groups, a few minutes) and make it the current one",
     runMakeDemo},
};

void printUsage(std::ostream& os) {
    os << "usage: trelvane-cli COMMAND [ARGUMENTS]\n\ncommands:\n";
    for (const Command& c : kCommands)
        os << "  " << c.name << " " << c.usage << "\n      " << c.summary << "\n";
    os << "  help [COMMAND]\n";
}

const Command* findCommand(const char* name) {
    for (const Command& c : kCommands)
        if (std::strcmp(c.name, name) == 0) return &c;
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage(std::cerr);
        return kExitUsage;
    }
    const char* name = argv[1];
    if (std::strcmp(name, "help") == 0 || std::strcmp(name, "--help") == 0 ||
        std::strcmp(name, "-h") == 0) {
        if (argc > 2) {
            if (const Command* c = findCommand(argv[2])) {
                std::cout << "usage: trelvane-cli " << c->name << " " << c->usage << "\n"
                          << c->summary << "\n";
                return kExitOk;
            }
            std::cerr << "trelvane-cli: unknown command \"" << argv[2] << "\"\n";
            return kExitUsage;
        }
        printUsage(std::cout);
        return kExitOk;
    }
    const Command* command = findCommand(name);
    if (!command) {
        std::cerr << "trelvane-cli: unknown command \"" << name << "\"\n";
        printUsage(std::cerr);
        return kExitUsage;
    }
    return command->run(std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
}
