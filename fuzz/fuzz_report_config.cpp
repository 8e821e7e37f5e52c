// repoconf.dat: the stored report options.
#include "FuzzSupport.h"

#include "common/Locale.h"
#include "common/Prompter.h"
#include "store/ReportConfigFile.h"

using namespace trv;

std::vector<std::string> trv::fuzz::fuzzSeeds() {
    ReportConfig r;
    r.Bin = 15;
    r.spacer = ";";
    r.out_format = 3;
    r.method = 2;
    return {reportConfigText(ReportConfig{}, 1), reportConfigText(r, 1), reportConfigText(r, 0)};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SharedState s;
    s.Program_Folder = fuzz::freshFolder();
    fuzz::writeInput(kReportConfigFileName, data, size);
    CollectingPrompter prompter;
    SystemLocale locale;
    loadReportConfig(s, 1, prompter, locale);
    return 0;
}
