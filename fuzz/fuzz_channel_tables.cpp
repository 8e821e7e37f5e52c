// status.dat, threshld.dat, groups.dat and chgroup.dat: the first input byte
// picks the table, the rest is the file.
#include "FuzzSupport.h"

#include "store/ChannelTablesFile.h"

using namespace trv;

namespace {
constexpr ChannelTableFile kFiles[] = {ChannelTableFile::Status, ChannelTableFile::Threshold,
                                       ChannelTableFile::Groups, ChannelTableFile::ChannelGroups};
}

std::vector<std::string> trv::fuzz::fuzzSeeds() {
    std::vector<std::string> seeds;
    ChannelTables changed;
    changed.Channel_Enabled[5] = 0;
    changed.Channel_Threshold[7] = 12.5;
    changed.Group_Name[3] = "Mutant, \"b\"";
    changed.Channel_Group[9] = -1;
    for (int i = 0; i < 4; ++i) {
        const std::string selector(1, static_cast<char>(i));
        seeds.push_back(selector + shippedFile(channelTableFileName(kFiles[i])));
        seeds.push_back(selector + channelTableText(changed, kFiles[i]));
    }
    return seeds;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const ChannelTableFile file = kFiles[data[0] % 4];
    const std::string folder = fuzz::freshFolder();
    fuzz::writeInput(channelTableFileName(file), data + 1, size - 1);
    ChannelTables tables;
    if (readChannelTable(tables, folder, file)) {
        // What was read is written back and read again the same way.
        ChannelTables again;
        fuzz::writeInput(channelTableFileName(file), channelTableText(tables, file));
        fuzz::require(readChannelTable(again, folder, file), "a written table reads back");
        fuzz::require(channelTableText(again, file) == channelTableText(tables, file),
                      "a written table reads back unchanged");
    }
    return 0;
}
