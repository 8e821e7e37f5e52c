// tags_id.dat of a project folder: the tag lines, lookups and the rewrite.
#include "FuzzSupport.h"

#include "store/AcquisitionRecord.h"

using namespace trv;

namespace {
const std::string kKey = "20240105_1130";
}

std::vector<std::string> trv::fuzz::fuzzSeeds() {
    return {"20240105_1130 [K1][K2]\r\n20240106_0900 [K2]\r\n", "20240105_1130\r\n",
            "20240106_0900 [A]\n20240105_1130 [K1]", "key with blanks [X]\r\n"};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string folder = fuzz::freshFolder();
    fuzz::writeInput(kTagsFileName, data, size);
    const std::vector<std::string> lines = readTagLines(folder);
    tagTextIn(lines, kKey);
    tagTextOf(folder, kKey);
    keysTaggedWith(folder, "[K2]");
    if (updateTags(folder, kKey, "[K9]") == TagUpdate::Written)
        fuzz::require(tagTextOf(folder, kKey).find("[K9]") != std::string::npos,
                      "an added tag reads back");
    if (updateTags(folder, kKey, "") == TagUpdate::Written)
        fuzz::require(tagTextOf(folder, kKey).find("[K9]") == std::string::npos,
                      "cleared tags are gone");
    return 0;
}
