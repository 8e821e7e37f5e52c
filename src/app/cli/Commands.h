// The subcommands of trelvane-cli. Each lives in its own cmd_<name>.cpp and
// takes the arguments that follow its name.
#pragma once

#include <string>
#include <vector>

namespace trv::cli {

int cmdReport(const std::vector<std::string>& args);

} // namespace trv::cli
