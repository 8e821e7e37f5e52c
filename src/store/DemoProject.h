// A ready demo project for a program folder: a 96-well plate with adapter
// (w96f), four groups of three plate columns each, a short lapse; made the
// current project so that "Run Latest Project" and the run switch record at
// once. Written with the store's own save functions.
#pragma once

#include <string>

namespace trv {

struct DemoProjectOptions {
    std::string name = "Demo";
    int lapseMinutes = 3;
    int serialCom = 1;
};

struct DemoProjectResult {
    int project = 0;    // the new project's number (0 on failure)
    std::string folder; // its folder
    std::string error;  // why it failed
};

// Creates the demo project under the first free project number of the
// program folder (which must hold config.dat) and writes config.dat with it
// as the current project and serialCom as the port. The report options in
// force (repoconf.dat, defaults when there is none) are stored as the
// user's, so an acquisition that reaches its lapse writes its report.
DemoProjectResult makeDemoProject(const std::string& programFolder,
                                  const DemoProjectOptions& options);

} // namespace trv
