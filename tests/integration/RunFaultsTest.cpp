// A multi-day acquisition meets faults: a disk that refuses writes, a serial
// link that dies and comes back, a program restarted in the minute of a
// killed run. Each runs against the simulated instrument on a real pty, and
// the run log says what happened.
#include "RunFixture.h"

#include "acquisition/DataFiles.h"
#include "common/RunLog.h"
#include "device/PortTimeouts.h"
#include "store/AcquisitionRecord.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

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

// Ports opened meanwhile give a read up after 5 x 60 ms.
struct ShortTimeouts {
    CommTimeouts was = CommOpenTimeouts();
    ShortTimeouts() { SetCommOpenTimeouts({10, 0, 60, 1000, 0}); }
    ~ShortTimeouts() { SetCommOpenTimeouts(was); }
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
    EXPECT_EQ(f.run->sampleIndex(), 0); // the link answers: the lapse ends with a block

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
    // The unattended run's last line names the blocks the files lack.
    EXPECT_EQ(f.run->finishedLine(),
              "acquisition \"Autorun project\" finished; data in " + f.acqPath() +
                  "; 10 blocks recorded, 0 dropped, " +
                  std::to_string(f.run->blocksEnded() - 10) + " not saved");
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

// Ticks while the port is gone hold the block's own previous sample: the
// block with a few of them is stored without a sample of the block before.
TEST(RunFaults, TicksWithoutThePortHoldTheBlocksOwnPreviousSample) {
    FaultRun f(30000);
    f.s.setup.RT_Buffer = 100;
    f.run->setReopenSeconds(0.2);
    long heldRows = 0, foreignRows = 0;
    f.run->setOnSampleStored([&](int i, SignalBlock& raw) {
        if (!f.run->linkDown() || i == 0) return;
        ++heldRows;
        for (int b = 0; b < kChannels; ++b)
            if (raw.at(b, i) != raw.at(b, i - 1)) {
                ++foreignRows;
                break;
            }
    });
    ASSERT_TRUE(f.play());
    for (int i = 0; i < 150; ++i) // the second block half done
        f.tick();
    f.sims.stop(1);
    while (!f.run->linkDown() || CommIsOpen(1))
        f.tick();
    f.tick();
    f.sim = &f.sims.start(1, RunFixture::defaultSim());
    for (int i = 0; i < 50 && f.run->blocksEnded() < 2; ++i)
        f.tick();
    ASSERT_EQ(f.run->blocksEnded(), 2);
    EXPECT_GT(heldRows, 0);
    EXPECT_EQ(foreignRows, 0);
    EXPECT_EQ(f.run->blocksRecorded(), 2); // at most a tenth held
}

// An instrument that goes silent with its port open: once the link counts
// as down the ticks send nothing (only the reopening probes it), and the
// run ends at its lapse in the middle of its block without storing it.
TEST(RunFaults, ASilentInstrumentIsNotWaitedOnAndTheLapseStillEnds) {
    LogFile log;
    FaultRun f(1);
    f.s.setup.RT_Buffer = 2000; // 140 s blocks
    f.run->setReopenSeconds(20);
    ASSERT_TRUE(f.play());
    for (int i = 0; i < 300; ++i)
        f.tick();
    f.sims.stop(1);
    while (!f.run->linkDown())
        f.tick();
    sim::SimOptions silent = RunFixture::defaultSim();
    silent.faults.silentAfter = 0;
    f.sim = &f.sims.start(1, silent);
    const long ticks = f.ticksUntilStopped(3000);
    EXPECT_TRUE(f.run->finished());
    EXPECT_LE(ticks, 600); // 39 s after the link went down at 21 s
    EXPECT_EQ(f.run->elapsedMinutes(), 1);
    long samples = 0;
    for (const auto& fr : f.sim->frames())
        samples += fr[2] == 0x30;
    EXPECT_EQ(samples, 0);
    EXPECT_GE(f.sim->framesReceived(), 1); // probed on reopening
    EXPECT_EQ(f.run->blocksRecorded(), 0);
    EXPECT_TRUE(log.has("samples) is not stored"));
}

// An instrument that falls silent right after Play, its port still open:
// each tick waits out one read's time-out and asks nothing more (not the
// warm-up and then every group, each waiting out its own), the third such
// tick takes the link down, and the block with the silent ticks is not stored.
TEST(RunFaults, ASilentLinkAfterPlayIsWaitedOnOnceATick) {
    ShortTimeouts shortened;
    FaultRun f(30000);
    ASSERT_TRUE(f.play());
    const long before = f.sim->framesReceived();
    f.sim->updateFaults([&](sim::SimFaults& x) { x.silentAfter = before; });
    for (int i = 1; i <= AcquisitionRun::kSilentTicksForLinkDown; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f.tick();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - t0)
                            .count();
        EXPECT_EQ(f.sim->framesReceived() - before, i) << "tick " << i;
        EXPECT_LT(ms, 600) << "tick " << i;
    }
    EXPECT_TRUE(f.run->linkDown());
    f.sim->updateFaults([](sim::SimFaults& x) { x.silentAfter = -1; });
    for (int i = 0; i < 3 * 20 && f.run->blocksEnded() < 2; ++i)
        f.tick();
    EXPECT_FALSE(f.run->linkDown());
    EXPECT_EQ(f.run->blocksDropped(), 1);
    EXPECT_EQ(f.run->blocksRecorded(), 1);
}

// The first tick after Play gets no reply to its warm-up and holds every
// group: the next tick's readings fill the first sample of every group, not
// only of the first and the last (the others kept what the block array held).
TEST(RunFaults, GroupsWithoutReplyAtTheFirstSampleTakeTheBlocksFirstReading) {
    ShortTimeouts shortened;
    FaultRun f(30000);
    int differing = -1;
    f.run->setOnSampleStored([&](int i, SignalBlock& raw) {
        if (i != 1) return;
        differing = 0;
        for (int b = 0; b < kChannels; ++b)
            differing += raw.at(b, 0) != raw.at(b, 1);
    });
    ASSERT_TRUE(f.play());
    f.sim->updateFaults([](sim::SimFaults& x) { x.dropNext = 1; });
    f.tick();
    f.tick();
    EXPECT_EQ(differing, 0);
}

// After a link loss the run records only from the instrument it started
// with: another identification value, or the same one with other factory
// data, keeps the link down and is said; the first instrument back records.
TEST(RunFaults, AnotherInstrumentOnThePortIsNotRecorded) {
    LogFile log;
    FaultRun f(30000);
    f.s.Device_Id = 96;
    ASSERT_TRUE(f.s.Factory_Cal_Valid);
    ASSERT_TRUE(f.play());
    for (int i = 0; i < 2 * 20; ++i)
        f.tick();
    ASSERT_EQ(f.run->blocksRecorded(), 2);
    struct Case {
        int id;
        double offset;
        bool same;
    };
    for (const Case c : {Case{50, 0.5, false}, Case{96, -2.5, false}, Case{96, 0.5, true}}) {
        SCOPED_TRACE(c.id);
        f.sims.stop(1);
        while (!f.run->linkDown())
            f.tick();
        sim::SimOptions o = RunFixture::defaultSim();
        o.identification = c.id;
        o.model.factory = sim::factoryData(6, 24, c.offset, 0.219);
        f.sim = &f.sims.start(1, o);
        const int before = f.run->blocksRecorded();
        for (int i = 0; i < 200; ++i) // two reopenings
            f.tick();
        const std::string line = "a different instrument (id " + std::to_string(c.id) +
                                 ") answers on COM1; not recording from it";
        if (c.same) {
            EXPECT_FALSE(f.run->linkDown());
            EXPECT_GT(f.run->blocksRecorded(), before);
        } else {
            EXPECT_TRUE(f.run->linkDown());
            EXPECT_EQ(f.run->blocksRecorded(), before);
            EXPECT_EQ(f.fake.status.current["statusLine"], line);
            EXPECT_EQ(f.printedWith(line), 1);
            EXPECT_TRUE(log.has(line));
        }
    }
    EXPECT_EQ(static_cast<int>(readCounts(countsFilePath(f.acqPath())).size()),
              f.run->blocksRecorded());
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
    // The folder's name is a minute late: the exact start is kept beside.
    auto startOf = [](const AcquisitionRun& r) {
        LocalDateTime t = fromSerialDays(r.startTime());
        t.millisecond = 0;
        return t;
    };
    EXPECT_EQ(startOf(again).minute, 30);
    EXPECT_EQ(acquisitionStartTime(again.acquisitionPath()), startOf(again));
    EXPECT_EQ(acquisitionStartTime(first), startOf(*f.run));
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
