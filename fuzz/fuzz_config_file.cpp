// config.dat: loadConfig and the project folder it leads to.
#include "FuzzSupport.h"

#include "common/Prompter.h"
#include "store/ConfigFile.h"

using namespace trv;

std::vector<std::string> trv::fuzz::fuzzSeeds() {
    AppConfig c;
    c.Actual_Project_Number = 3;
    c.Last_Project = 7;
    c.Serial_COM = 2;
    return {shippedFile("config.dat"), configFileText(AppConfig{}), configFileText(c)};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SharedState s;
    s.Program_Folder = fuzz::freshFolder();
    fuzz::writeInput(kConfigFileName, data, size);
    CollectingPrompter prompter;
    loadConfig(s, prompter);
    fuzz::require(s.config.Actual_Project_Number >= 0 && s.config.Last_Project >= 0,
                  "loaded project numbers are not negative");
    resolveProjectFolder(s);
    return 0;
}
