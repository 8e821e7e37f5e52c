// The argument checks every trelvane-cli command shares: numbers, choices,
// on/off pairs and the acquisition folder are declared through these, so a
// value such as "abc", "", "0", "nan", "1e309" or "30abc" gets the same
// refusal (exit 2) from every command.
#pragma once

#include "app/cli/CliCommands.h"
#include "store/ConfigFile.h"

#include <string>
#include <vector>

namespace trv::cli {

// The text as a whole number in [min, max]; throws UsageError naming the
// option otherwise.
long long wholeNumber(const std::string& option, const std::string& text, long long min,
                      long long max);
// The text as a finite number in [min, max] ("," is read as a point).
double realNumber(const std::string& option, const std::string& text, double min, double max);

// An option ("--bin" or "-b,--bin") taking a whole number in [min, max];
// target keeps its value when the option is absent.
CLI::Option* addWholeNumber(CLI::App& cmd, const std::string& names, long long& target,
                            long long min, long long max, const std::string& help);
CLI::Option* addWholeNumber(CLI::App& cmd, const std::string& names, int& target, long long min,
                            long long max, const std::string& help);
CLI::Option* addRealNumber(CLI::App& cmd, const std::string& names, double& target, double min,
                           double max, const std::string& help);
// An option taking one of the given words.
CLI::Option* addChoice(CLI::App& cmd, const std::string& names, std::string& target,
                       const std::vector<std::string>& choices, const std::string& help);
// --bin MIN, a bin size in minutes (1..32767).
CLI::Option* addBinSize(CLI::App& cmd, int& target, const std::string& help);
// --NAME and --no-NAME, which exclude each other; target keeps its value
// when neither is given.
void addOnOff(CLI::App& cmd, const std::string& name, bool& target, const std::string& help);
// The required positional acquisition folder, stored as a clean absolute
// path (see cleanPath).
CLI::Option* addAcquisition(CLI::App& cmd, std::string& target,
                            const std::string& help = "acquisition folder (pNNNNN/YYYYMMDD_hhmm)");
// --output FOLDER, stored as a clean absolute path; the folder is made when
// missing (makeOutputFolder).
CLI::Option* addOutputFolder(CLI::App& cmd, std::string& target, const std::string& help);

// Makes the output folder (with its parents) when it does not exist; false
// with a message on c.err when it cannot.
bool makeOutputFolder(const Context& c, const std::string& folder);

// An absolute path without "." and ".." parts or a trailing separator.
std::string cleanPath(const std::string& path);

} // namespace trv::cli
