// trelvane-cli: headless work on stored acquisitions, one subcommand per
// task.
#include "Commands.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>& args);
    const char* summary;
};

const Command kCommands[] = {
    {"report", trv::cli::cmdReport, "write the report of an acquisition"},
};

int usage(std::ostream& os) {
    os << "usage: trelvane-cli COMMAND [arguments]\n\ncommands:\n";
    for (const Command& c : kCommands) os << "  " << c.name << "    " << c.summary << "\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage(std::cerr);
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        usage(std::cout);
        return 0;
    }
    for (const Command& c : kCommands)
        if (std::strcmp(argv[1], c.name) == 0) return c.run(std::vector<std::string>(argv + 2, argv + argc));
    std::cerr << "trelvane-cli: unknown command: " << argv[1] << "\n";
    return usage(std::cerr);
}
