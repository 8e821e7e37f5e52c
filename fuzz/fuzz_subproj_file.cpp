// subproj.dat of an acquisition: its name and comments, read and replaced.
#include "FuzzSupport.h"

#include "common/Prompter.h"
#include "store/AcquisitionRecord.h"

using namespace trv;

std::vector<std::string> trv::fuzz::fuzzSeeds() {
    return {subprojFileText("Larvae 24 h", "first line\r\nsecond, with comma"),
            subprojFileText("", ""), subprojFileText("x", "\"quoted\"")};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string folder = fuzz::freshFolder();
    fuzz::writeInput(kSubprojFileName, data, size);
    readAcquisitionName(folder);
    const std::string comments = readAcquisitionComments(folder);
    CollectingPrompter prompter;
    const std::string stored = renameAcquisition(folder, "Renamed run", prompter);
    if (stored == "Renamed run")
        fuzz::require(readAcquisitionName(folder) == "Renamed run", "a renamed run reads back");
    setAcquisitionComments(folder, comments, prompter);
    return 0;
}
