// Acquisitions with stored raw blocks, for the reprocessing tests and the
// reprocessing benchmark: setup.dat with the given plate, the channel
// tables, subproj.dat, counts.bin with "old" counts and the raw files 0.bin,
// 1.bin, ... holding one block per record, made of organism-like signals.
#pragma once

#include "TestPaths.h"
#include "acquisition/DataFiles.h"
#include "acquisition/SignalGenerators.h"
#include "common/Files.h"
#include "store/AcquisitionRecord.h"
#include "store/ChannelTablesFile.h"
#include "store/ProjectFile.h"

#include <cstdint>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace trv::test {

// The bytes of one raw block (501 rows, beam fastest) whose beam rows are
// organism-like signals drawn from a generator seeded with the block's seed.
inline std::string rawBlockBytes(unsigned seed) {
    std::mt19937 rng(seed);
    const SignalKind kinds[] = {SignalKind::Worms, SignalKind::Fish,     SignalKind::Flies,
                                SignalKind::Worms, SignalKind::Constant, SignalKind::Fish,
                                SignalKind::Noise, SignalKind::Worms};
    std::vector<Row> rows(385);
    for (int b = 0; b < 384; ++b)
        rows[static_cast<size_t>(b)] = makeSignal(kinds[static_cast<size_t>(b + seed) % 8], rng);
    std::string bytes(501 * 385 * 2, '\0');
    size_t p = 0;
    for (int s = 0; s < 501; ++s)
        for (int b = 0; b < 385; ++b) {
            const auto v =
                static_cast<uint16_t>(rows[static_cast<size_t>(b)][static_cast<size_t>(s)]);
            bytes[p++] = static_cast<char>(v & 0xff);
            bytes[p++] = static_cast<char>(v >> 8);
        }
    return bytes;
}

struct RawAcquisitionPlan {
    std::string plate = "w384";
    std::vector<int32_t> minutes; // stored time of every record
    int rawRecords = -1;          // raw blocks written (-1: one per record)
    int distinctBlocks = 0;       // >0: blocks repeat with this period (large benches)
    int method = 1, organism = 0, snrx10 = 18;
    std::function<int(int channel, int record)> oldCount = [](int, int) { return 7; };
    std::function<int(int record)> temperature = [](int) { return 250; };
    std::string title = "Raw run";
};

// Writes the acquisition into folder (created); the channel tables are the
// defaults.
inline void writeRawAcquisition(const std::string& folder, const RawAcquisitionPlan& plan) {
    makeFolder(folder);
    ProjectSetup setup;
    setup.Plate_format = plan.plate;
    setup.DSP_Method = static_cast<int16_t>(plan.method);
    setup.Organism() = static_cast<int16_t>(plan.organism);
    setup.SNRx10() = static_cast<int16_t>(plan.snrx10);
    writeFileAtomic(joinPath(folder, kSetupFileName), setupFileText(setup, 3));
    saveChannelTables(ChannelTables{}, folder);
    writeFileAtomic(joinPath(folder, kSubprojFileName), subprojFileText(plan.title, ""));

    std::string counts;
    for (size_t i = 0; i < plan.minutes.size(); ++i) {
        std::string rec(774, '\0');
        const auto t = static_cast<uint32_t>(plan.minutes[i]);
        for (int b = 0; b < 4; ++b)
            rec[static_cast<size_t>(b)] = static_cast<char>((t >> (8 * b)) & 0xff);
        for (int ch = 0; ch < 385; ++ch) {
            const int v = ch < 384 ? plan.oldCount(ch, static_cast<int>(i))
                                   : plan.temperature(static_cast<int>(i));
            rec[4 + 2 * static_cast<size_t>(ch)] = static_cast<char>(v & 0xff);
            rec[5 + 2 * static_cast<size_t>(ch)] = static_cast<char>((v >> 8) & 0xff);
        }
        counts += rec;
    }
    std::ofstream(joinPath(folder, "counts.bin"), std::ios::binary | std::ios::trunc) << counts;

    const int blocks =
        plan.rawRecords < 0 ? static_cast<int>(plan.minutes.size()) : plan.rawRecords;
    std::vector<std::string> cache;
    std::string file;
    for (int i = 0; i < blocks; ++i) {
        std::string bytes;
        if (plan.distinctBlocks > 0) {
            const size_t k = static_cast<size_t>(i % plan.distinctBlocks);
            if (cache.size() <= k) cache.push_back(rawBlockBytes(static_cast<unsigned>(k) + 1));
            bytes = cache[k];
        } else {
            bytes = rawBlockBytes(static_cast<unsigned>(i) + 1);
        }
        file += bytes;
        if (i % 11 == 10 || i == blocks - 1) {
            std::ofstream(joinPath(folder, rawFileName(i / 11)), std::ios::binary | std::ios::trunc)
                << file;
            file.clear();
        }
    }
}

// Times 0, 1, 2, ... last.
inline std::vector<int32_t> minuteTimes(int last) {
    std::vector<int32_t> t;
    for (int m = 0; m <= last; ++m)
        t.push_back(m);
    return t;
}

// A program folder holding the shipped plate formats.
inline void copyShippedPlates(const std::string& programFolder) {
    const std::string data = std::string(TRELVANE_SOURCE_DIR) + "/data";
    for (const std::string& f : listFiles(data, "w*.dat"))
        copyFile(joinPath(data, f), joinPath(programFolder, f));
}

} // namespace trv::test
