// A 6-well acquisition made straight from the simulated instrument's model,
// for the track tests and the tracking benchmark: every 30 ms one sample of
// every beam, 500 samples a block, the raw blocks in 0.bin, 1.bin, ... and
// one counts.bin record per block, on the shipped w6 plate.
#pragma once

#include "SimModel.h"
#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "store/ChannelTablesFile.h"
#include "store/ProjectFile.h"

#include <cstdint>
#include <string>

namespace trv::test {

struct SimSixWellPlan {
    uint32_t seed = 1;
    sim::Organism organism = sim::Organism::FishLarvae;
    int blocks = 4;
    // Blocks made from the model; the later ones repeat them in turn (a
    // long benchmark acquisition without simulating a whole day).
    int distinctBlocks = 0;
};

inline void writeSimSixWell(const std::string& folder, const SimSixWellPlan& plan) {
    makeFolder(folder);
    ProjectSetup setup;
    setup.Plate_format = "w6";
    setup.DSP_Method = 1;
    setup.Organism() = plan.organism == sim::Organism::Flies ? 3 : 1;
    writeFileAtomic(joinPath(folder, kSetupFileName), setupFileText(setup, 3));
    saveChannelTables(ChannelTables{}, folder);

    sim::SimModelOptions o;
    o.seed = plan.seed;
    o.organism = plan.organism;
    o.plateRows = 2;
    o.plateColumns = 3;
    sim::SimModel model(o);
    constexpr double kSampleSeconds = 0.030;
    const int distinct = plan.distinctBlocks > 0 ? plan.distinctBlocks : plan.blocks;
    // Raw records as stored: 501 sample rows, beam fastest, little-endian.
    std::vector<std::string> made;
    std::string file, counts;
    for (int b = 0; b < plan.blocks; ++b) {
        if (static_cast<int>(made.size()) < distinct) {
            std::string rec(static_cast<size_t>(rawRecordSize(500)), '\0');
            size_t at = 0;
            auto put = [&](int v) {
                rec[at++] = static_cast<char>(v & 0xFF);
                rec[at++] = static_cast<char>((v >> 8) & 0xFF);
            };
            std::vector<int> last(sim::kBeams, 0);
            for (int s = 0; s <= 500; ++s) {
                if (s < 500) model.advanceTo(model.time() + kSampleSeconds);
                for (int c = 0; c < sim::kBeams; ++c) {
                    if (s < 500) last[static_cast<size_t>(c)] = model.level(c);
                    put(last[static_cast<size_t>(c)]);
                }
                put(0); // slot 384
            }
            made.push_back(std::move(rec));
        }
        file += made[static_cast<size_t>(b % distinct)];
        if (b % kBlocksPerFile == kBlocksPerFile - 1 || b == plan.blocks - 1) {
            writePlainFile(joinPath(folder, rawFileName(b / kBlocksPerFile)), file);
            file.clear();
        }
        // One record per block: its minute, no counts, 25.0 degrees.
        std::string c(static_cast<size_t>(kCountsRecordSize), '\0');
        const auto minutes = static_cast<uint32_t>(b * 500 * kSampleSeconds / 60);
        for (int i = 0; i < 4; ++i)
            c[static_cast<size_t>(i)] = static_cast<char>((minutes >> (8 * i)) & 0xFF);
        c[772] = static_cast<char>(250);
        counts += c;
    }
    writePlainFile(countsFilePath(folder), counts);
}

} // namespace trv::test
