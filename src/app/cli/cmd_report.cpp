// trelvane-cli report ACQFOLDER [options]: writes the report of a stored
// acquisition as the report window would, and prints its path.
#include "Commands.h"

#include "common/Files.h"
#include "reports/ReportCommand.h"

#include <cstdlib>
#include <iostream>

namespace trv::cli {

int cmdReport(const std::vector<std::string>& args) {
    const char* home = std::getenv("TRELVANE_HOME");
    const std::string programFolder = home && *home ? std::string(home) : executableFolder();
    return runReportCommand(args, programFolder, std::cout, std::cerr);
}

} // namespace trv::cli
