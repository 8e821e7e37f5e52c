// Command-line arguments of one trelvane-cli command: positional arguments
// and "--name value", "--name=value" or "--flag" options, checked against
// the options the command knows.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace trv::cli {

class CliArgs {
  public:
    // Parses args; on a mistake (unknown option, missing value, an option
    // given twice) returns nothing and sets error.
    static std::optional<CliArgs> parse(const std::vector<std::string>& args,
                                        const std::set<std::string>& valueOptions,
                                        const std::set<std::string>& flagOptions,
                                        std::string& error);

    const std::vector<std::string>& positional() const { return positional_; }
    bool flag(const std::string& name) const { return flags_.count(name) > 0; }
    bool has(const std::string& name) const { return values_.count(name) > 0; }
    // The option's text as given; fallback when absent.
    std::string text(const std::string& name, const std::string& fallback = "") const {
        const auto it = values_.find(name);
        return it == values_.end() ? fallback : it->second;
    }

    // The option as a whole number in [min, max]; fallback when absent (no
    // fallback: the option is required). False with error set otherwise.
    bool integer(const std::string& name, long long min, long long max, long long& out,
                 std::string& error, std::optional<long long> fallback = std::nullopt) const;
    // The option as a finite real in [min, max] ("," is read as a point).
    bool real(const std::string& name, double min, double max, double& out, std::string& error,
              std::optional<double> fallback = std::nullopt) const;

  private:
    std::vector<std::string> positional_;
    std::map<std::string, std::string> values_;
    std::set<std::string> flags_;
};

// An absolute path without "." and ".." parts or a trailing separator.
std::string cleanPath(const std::string& path);

// The program folder (plate formats): $TRELVANE_HOME, else the folder of
// the executable.
std::string programFolder();

} // namespace trv::cli
