// setup.dat of a project or acquisition folder: the project reader, the
// project description and the report's setting text.
#include "FuzzSupport.h"

#include "common/Prompter.h"
#include "reports/ReportLoad.h"
#include "store/ProjectFile.h"

using namespace trv;

std::vector<std::string> trv::fuzz::fuzzSeeds() {
    ProjectSetup s;
    s.Name = "Larvae, run \"2\"";
    s.Working_folder = "/data/p00003/";
    s.Plate_format = "w48";
    s.Mn[1] = {1, 9, 21, 3, 5, 5};
    return {shippedFile("setup.dat"), setupFileText(ProjectSetup{}, 1), setupFileText(s, 3)};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string folder = fuzz::freshFolder();
    const std::string path = fuzz::writeInput(kSetupFileName, data, size);
    ProjectSetup setup;
    const SetupRead read = readSetupFile(path, setup);
    fuzz::require(read.stage >= 0 && read.stage <= 11, "setup read stage in 0..11");
    applySetupDefaults(setup, read.readUpTo, "/program", 3);
    reportSettingText(folder, ",");
    CollectingPrompter prompter;
    describeProject(folder, prompter);
    return 0;
}
