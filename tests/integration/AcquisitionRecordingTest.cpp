// A whole acquisition recorded against the simulated instrument and every
// file read back.
#include "RunFixture.h"

#include "acquisition/DataFiles.h"
#include "store/AcquisitionRecord.h"
#include "store/ProjectFile.h"

#include <map>

namespace trv::test {
namespace {

TEST(AcquisitionRecording, ThirtyMinutesOfW96fWithDefaultSettingsReadBack) {
    // A quarter of a second per sample keeps the test short (15 blocks for 30
    // minutes); the simulated worms follow the same clock.
    sim::SimOptions o = RunFixture::defaultSim();
    o.sampleSeconds = 0.24;
    RunFixture f(o);
    f.tickMs = 240;
    f.s.setup.Aq_lapse = 30;
    f.fake.clock.set(2024, 3, 15, 9, 30, 0);

    // What each tick stored (decoded from the instrument), per block and
    // sample, and the temperature reading at each block end.
    std::vector<SignalBlock> sent;
    std::vector<SignalBlock> beforeAnalysis;
    std::vector<int> sensorTenths;
    const int rt = f.s.setup.RT_Buffer;
    f.run->setOnSampleStored([&](int sample, SignalBlock& raw) {
        if (sample == 0) sent.emplace_back(rt + 1);
        for (int b = 0; b < kChannels; ++b)
            sent.back().at(b, sample) = raw.at(b, sample);
    });
    f.run->setOnBlockAnalysis([&] {
        beforeAnalysis.push_back(f.run->realtime().rawBlock);
        int raw = 0;
        f.sim->withModel([&](sim::SimModel& m) { raw = m.temperatureReading(); });
        sensorTenths.push_back(temperatureTenths(raw * f.s.Temp_Slope + f.s.Temp_Offset));
    });

    ASSERT_TRUE(f.play("Thirty minutes"));
    EXPECT_EQ(f.s.Acq_State, 1);
    const long ticks = f.ticksUntilStopped(40000);
    EXPECT_EQ(f.s.Acq_State, 0);
    EXPECT_TRUE(f.run->finished());
    EXPECT_TRUE(f.fake.prompter.saw("Acquisition finished"));
    // The lapse ends only at a block boundary: a whole number of blocks.
    EXPECT_EQ(ticks % rt, 0);
    EXPECT_GE(f.run->elapsedMinutes(), 30);

    const std::string folder = f.acqPath();
    EXPECT_EQ(readAcquisitionName(folder), "Thirty minutes");
    EXPECT_TRUE(fileExists(joinPath(folder, "setup.dat")));
    for (const char* t : {"status.dat", "threshld.dat", "groups.dat", "chgroup.dat"})
        EXPECT_TRUE(fileExists(joinPath(folder, t))) << t;

    const auto records = readCounts(countsFilePath(folder));
    const long blocks = ticks / rt;
    ASSERT_EQ(static_cast<long>(records.size()), blocks);
    EXPECT_EQ(fileSize(countsFilePath(folder)), blocks * kCountsRecordSize);
    ASSERT_EQ(static_cast<long>(sensorTenths.size()), blocks);
    int previous = -1;
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_GE(records[i].minutes, previous);
        previous = records[i].minutes;
        EXPECT_EQ(records[i].counts[384], sensorTenths[i]) << "block " << i;
        for (int b = 0; b < kChannels; ++b)
            if (f.s.plate.Channel_Well[b] < 0) {
                EXPECT_EQ(records[i].counts[b], 0);
            }
    }
    EXPECT_LT(records.front().minutes, records.back().minutes);
    long long events = 0;
    for (const auto& r : records)
        for (int b = 0; b < kChannels; ++b)
            events += r.counts[b];
    EXPECT_GT(events, 0) << "the simulated worms were never seen";

    // Raw files: 11 blocks each, the last one the rest.
    int file = 0;
    long seen = 0;
    while (fileExists(joinPath(folder, rawFileName(file)))) {
        const long n = rawBlockCount(joinPath(folder, rawFileName(file)), rt);
        EXPECT_EQ(fileSize(joinPath(folder, rawFileName(file))) % rawRecordSize(rt), 0);
        if (seen + n < blocks) {
            EXPECT_EQ(n, kBlocksPerFile) << rawFileName(file);
        }
        for (long k = 0; k < n; ++k) {
            SignalBlock stored;
            ASSERT_TRUE(readRawBlock(joinPath(folder, rawFileName(file)), rt, k, stored));
            const SignalBlock& before = beforeAnalysis[static_cast<size_t>(seen + k)];
            const SignalBlock& fromDevice = sent[static_cast<size_t>(seen + k)];
            for (int b = 0; b < kChannels; ++b) {
                for (int i = 0; i < rt; ++i) {
                    const int16_t v = stored.at(b, i);
                    if (f.s.plate.Channel_Well[b] < 0) {
                        // Not analysed: exactly what the instrument sent.
                        ASSERT_EQ(v, fromDevice.at(b, i)) << b << "," << i;
                    } else {
                        // Analysed: what the block held, cut down where
                        // the clipping curve was below it.
                        ASSERT_LE(v, before.at(b, i));
                        ASSERT_LE(before.at(b, i), fromDevice.at(b, i));
                    }
                }
                ASSERT_EQ(stored.at(384, 0), 0);
            }
            // The analysis of the block as it stood gives the stored samples.
            SignalBlock again = before;
            for (int b = 0; b < kChannels; ++b)
                if (f.s.plate.Channel_Well[b] >= 0)
                    DetectActivity(again, b, f.run->snr(), f.s.setup.DSP_Method, 0, "", 0);
            for (int b = 0; b < kChannels; ++b)
                for (int i = 0; i < rt; ++i)
                    ASSERT_EQ(stored.at(b, i), again.at(b, i));
        }
        seen += n;
        ++file;
    }
    EXPECT_EQ(seen, blocks);
    EXPECT_EQ(file, static_cast<int>((blocks + kBlocksPerFile - 1) / kBlocksPerFile));
    EXPECT_FALSE(fileExists(joinPath(folder, histogramFileName(0))));

    // The project still loads from the acquisition folder's snapshot.
    ProjectSetup copy;
    EXPECT_TRUE(readSetupFile(joinPath(folder, "setup.dat"), copy).ok());
    EXPECT_EQ(copy.Plate_format, "w96f");
}

} // namespace
} // namespace trv::test
