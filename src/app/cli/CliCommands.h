// The commands of trelvane-cli. Each lives in its own cmd_<name>.cpp and is
// listed once in the table of cli_main.cpp.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace trv::cli {

// Exit codes shared by every command.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1; // a file could not be read or written, data out of range
constexpr int kExitUsage = 2;   // bad arguments

// A command receives the arguments after its name.
using CommandFunction = int (*)(const std::vector<std::string>& args, std::ostream& out,
                                std::ostream& err);

struct Command {
    const char* name;
    const char* usage;   // argument synopsis, after the command name
    const char* summary; // one line
    CommandFunction run;
};

int runMakeDemo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
extern const char* const kMakeDemoUsage;

int runDetect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
extern const char* const kDetectUsage;

int runReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
extern const char* const kReportUsage;

int runReprocess(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
extern const char* const kReprocessUsage;

int runExportWells(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
extern const char* const kExportWellsUsage;

} // namespace trv::cli
