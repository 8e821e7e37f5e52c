// A multi-day acquisition meets faults: a disk that refuses writes, a serial
// link that dies and comes back, a program restarted in the minute of a
// killed run. Each runs against the simulated instrument on a real pty, and
// the run log says what happened.
#include "RunFixture.h"

#include "acquisition/DataFiles.h"
#include "common/RunLog.h"
#include "store/AcquisitionRecord.h"

#include <algorithm>
#include <cerrno>

namespace trv::test {
namespace {

// The run log in a temporary folder for the length of a test.
struct LogFile {
    TempDir dir;
    LogFile() { runlog::open(dir.path(), "test"); }
    ~LogFile() { runlog::close(); }
    std::string text() const { return dir.read(runlog::kFileName); }
    bool has(const std::string& s) const { return text().find(s) != std::string::npos; }
};

// An unattended run of 20-sample blocks (1.4 s each) with its printed lines.
struct FaultRun : RunFixture {
    std::vector<std::string> printed;
    explicit FaultRun(int lapseMinutes) {
        s.setup.RT_Buffer = 20;
        s.setup.Save_real = 1;
        s.setup.Aq_lapse = static_cast<int16_t>(lapseMinutes);
        run->setAutoCalibration(false);
        run->setRunSwitch(true);
        run->setPrintUnattended([this](const std::string& t) { printed.push_back(t); });
    }
    int printedWith(const std::string& part) const {
        return static_cast<int>(std::count_if(printed.begin(), printed.end(), [&](auto& p) {
            return p.find(part) != std::string::npos;
        }));
    }
    long long rawBlocks() const {
        long long n = 0;
        for (int k = 0; fileExists(joinPath(acqPath(), rawFileName(k))); ++k)
            n += rawBlockCount(joinPath(acqPath(), rawFileName(k)), 20);
        return n;
    }
};

// The disk refuses raw blocks from the third block on and every counts
// record from the eleventh on: counts go on being written after the raw
// files stop, the raw files keep the blocks before the failure (in step with
// counts.bin), every failure is said, and the lapse still ends the run.
TEST(RunFaults, AFullDiskStopsRawSavingButNotCountsAndTheLapseStillEnds) {
    LogFile log;
    FaultRun f(1);
    int rawCalls = 0, countsCalls = 0;
    withFileWriters(*f.run, [&](RunFileWriters& w) {
        w.raw = [&](const std::string& folder, int n, const SignalBlock& b) {
            if (++rawCalls >= 3) {
                errno = ENOSPC;
                return false;
            }
            return AppendRawBlock(folder, n, b);
        };
    });
    withFileWriters(*f.run, [&](RunFileWriters& w) {
        w.counts = [&](const std::string& folder, int32_t m, const ChannelArray<int16_t>& c) {
            if (++countsCalls >= 11) {
                errno = ENOSPC;
                return false;
            }
            return AppendCounts(folder, m, c);
        };
    });
    ASSERT_TRUE(f.play());
    const long ticks = f.ticksUntilStopped(5000);
    EXPECT_LT(ticks, 5000) << "the lapse never ended";
    EXPECT_TRUE(f.run->finished());

    EXPECT_EQ(rawCalls, 3); // raw saving stopped at its first failure
    EXPECT_EQ(countsRecordCount(countsFilePath(f.acqPath())), 10);
    EXPECT_EQ(f.rawBlocks(), 2);
    EXPECT_EQ(f.run->blocksRecorded(), 10);
    EXPECT_EQ(f.run->blocksLost(), f.run->blocksEnded() - 10);
    EXPECT_EQ(f.printedWith("Raw data saving stopped at block 3: No space left on device"), 1);
    EXPECT_EQ(f.printedWith("Block 11 not saved: No space left on device"), 1);
    EXPECT_EQ(f.fake.status.current["statusCaption"], "<DISK ERROR>");
    EXPECT_TRUE(log.has("raw data saving stopped for the rest of the acquisition"));
    EXPECT_TRUE(log.has("block 11 at minute 0: counts record not written"));
    EXPECT_TRUE(log.has("finished at its lapse"));
}

// The instrument's program is killed (the pty goes away) and started again
// on the same port a minute and a half later: the blocks of held samples in
// between are not stored, the run reopens the port by itself, records again
// when the instrument answers, and the gap shows in the record times.
TEST(RunFaults, APulledLinkIsReopenedAndTheGapShowsInTheRecordTimes) {
    LogFile log;
    FaultRun f(30000);
    f.run->setReopenSeconds(5);
    ASSERT_TRUE(f.play());
    for (int i = 0; i < 3 * 20; ++i)
        f.tick();
    ASSERT_EQ(f.run->blocksRecorded(), 3);

    f.sims.stop(1);
    for (int i = 0; i < 1300; ++i) // 91 s of ticks without an instrument
        f.tick();
    EXPECT_TRUE(f.run->linkDown());
    EXPECT_GE(f.run->reopenAttempts(), 10);
    EXPECT_EQ(f.run->blocksRecorded(), 3);
    EXPECT_GE(f.run->blocksDropped(), 60);

    sim::SimOptions o = RunFixture::defaultSim();
    f.sim = &f.sims.start(1, o);
    long waited = 0;
    while (f.run->linkDown() && waited < 200) {
        f.tick();
        ++waited;
    }
    ASSERT_FALSE(f.run->linkDown()) << "the port was never reopened";
    EXPECT_LE(waited, 80); // within one reopening interval (5 s = 72 ticks)
    for (int i = 0; i < 3 * 20; ++i)
        f.tick();
    EXPECT_GE(f.run->blocksRecorded(), 5);

    const auto records = readCounts(countsFilePath(f.acqPath()));
    ASSERT_EQ(static_cast<int>(records.size()), f.run->blocksRecorded());
    // Three blocks before the gap (all in minute 0), the next after it.
    EXPECT_EQ(records[2].minutes, 0);
    EXPECT_GE(records[3].minutes, 1);
    for (const CountsRecord& r : records) // the simulated plate sits near 25 degrees
        EXPECT_GT(r.counts[kChannels], 100) << "minute " << r.minutes;

    EXPECT_EQ(f.printedWith("<COM ERROR> VERIFY COM PORT!"), 1);
    EXPECT_EQ(f.printedWith("the instrument does not answer"), 1);
    EXPECT_EQ(f.printedWith("Connected on COM[ 1 ]"), 1);
    EXPECT_TRUE(log.has("not stored: 20 of 20 samples held"));
    EXPECT_TRUE(log.has("COM1: reopening failed"));
    EXPECT_TRUE(log.has("answers again after reopening the port"));
}

// A temperature reading that gets no reply is stored as 0 (no reading),
// never as the value a missing reply computes to.
TEST(RunFaults, ATemperatureWithoutReplyIsNotStored) {
    FaultRun f(30000);
    f.run->setOnSampleStored([&](int sample, SignalBlock&) {
        if (sample == 19 && f.run->blocksEnded() == 1) // the next reply is the block-end reading
            f.sim->updateFaults([](sim::SimFaults& x) { x.dropNext = 1; });
    });
    ASSERT_TRUE(f.play());
    for (int i = 0; i < 3 * 20; ++i)
        f.tick();
    const auto records = readCounts(countsFilePath(f.acqPath()));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_GT(records[0].counts[kChannels], 100);
    EXPECT_EQ(records[1].counts[kChannels], 0);
    EXPECT_GT(records[2].counts[kChannels], 100);
}

// A program restarted in the minute of a killed run records in a folder of
// its own; the killed run's files stay as they were.
TEST(RunFaults, ARestartInTheSameMinuteNeverSharesTheKilledRunsFiles) {
    LogFile log;
    FaultRun f(30000);
    ASSERT_TRUE(f.play());
    for (int i = 0; i < 2 * 20; ++i)
        f.tick();
    const std::string first = f.acqPath();
    const long long countsSize = fileSize(countsFilePath(first));
    const long long rawSize = fileSize(joinPath(first, "0.bin"));
    ASSERT_EQ(countsSize, 2 * kCountsRecordSize);

    // The new instance, in the same minute.
    AcquisitionRun again(f.s, f.fake.ports);
    again.setAutoCalibration(false);
    again.setRunSwitch(true);
    f.s.Acq_State = 0;
    ASSERT_TRUE(again.Play());
    EXPECT_NE(again.acquisitionPath(), first);
    EXPECT_EQ(again.acqFolder(), "20240315_0931");
    EXPECT_TRUE(log.has("20240315_0930 already holds a run (a restart in its minute); this run "
                        "records in 20240315_0931"));
    for (int i = 0; i < 2 * 20; ++i) {
        again.AcquisitionTick();
        f.fake.clock.advanceMs(f.tickMs);
    }
    EXPECT_EQ(countsRecordCount(countsFilePath(again.acquisitionPath())), 2);
    EXPECT_EQ(fileSize(countsFilePath(first)), countsSize);
    EXPECT_EQ(fileSize(joinPath(first, "0.bin")), rawSize);
    for (const CountsRecord& r : readCounts(countsFilePath(again.acquisitionPath())))
        EXPECT_EQ(r.minutes, 0);
}

// A clock set back ten minutes right after Play, and again an hour later
// (the end of summer time): the records' minutes never go back, and the
// lapse keeps its length in the run's own time.
TEST(RunFaults, AClockSetBackNeverTakesTheRecordsBack) {
    LogFile log;
    FaultRun f(2);
    ASSERT_TRUE(f.play());
    f.fake.clock.advanceMs(-600'000);
    for (int i = 0; i < 2 * 20; ++i)
        f.tick();
    f.fake.clock.advanceMs(60'000);
    for (int i = 0; i < 20; ++i)
        f.tick();
    f.fake.clock.advanceMs(-3'600'000);
    const long ticks = f.ticksUntilStopped(5000);
    EXPECT_TRUE(f.run->finished());
    // Two minutes of the run's time: about 850 ticks of 70 ms after the first minute.
    EXPECT_GT(ticks, 700);
    const auto records = readCounts(countsFilePath(f.acqPath()));
    ASSERT_GE(records.size(), 4u);
    EXPECT_EQ(records[0].minutes, 0);
    EXPECT_EQ(records[2].minutes, 1);
    for (size_t i = 1; i < records.size(); ++i)
        EXPECT_GE(records[i].minutes, records[i - 1].minutes) << "record " << i;
    EXPECT_TRUE(log.has("the clock went back 600 s"));
}

} // namespace
} // namespace trv::test
