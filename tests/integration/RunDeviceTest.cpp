// The run, its calibration and its outputs against the simulated instrument.
#include "RunFixture.h"

#include "acquisition/DataFiles.h"
#include "store/AcquisitionRecord.h"
#include "store/CalibrationFile.h"
#include "store/ChannelTablesFile.h"

#include <chrono>
#include <set>
#include <thread>

namespace trv::test {
namespace {

bool eventually(const std::function<bool()>& ok, int ms = 2000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!ok()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The clean level of a beam at a setting, under the simulator's model.
double levelAt(sim::SimInstrument& sim, int beam, int power, int gain) {
    double v = 0;
    sim.withModel([&](sim::SimModel& m) {
        sim::SimModel copy = m;
        copy.setSetting(beam, static_cast<uint8_t>(gain * 32 + power));
        v = copy.cleanLevel(beam);
    });
    return v;
}

TEST(RunCalibration, ConvergesAndCalvalueHoldsWhatTheInstrumentHolds) {
    RunFixture f(SimPorts::quiet());
    f.run->setAutoCalibration(true);
    f.run->setAutoZero(true);
    ASSERT_TRUE(f.play());
    EXPECT_EQ(f.s.Acq_State, 1);
    EXPECT_EQ(f.fake.status.on("statusLine").back(), "AutoZero... <29>");
    const auto lines = f.fake.status.on("statusLine");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Writing First Time Calibration..."),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Calibrating... [383]"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Calibration OK"), lines.end());

    CalibrationTable file;
    ASSERT_TRUE(loadCalibration(file, f.s.Program_Folder));
    constexpr int LOW = Calibration::LOW, HIGH = Calibration::HIGH;
    int inBand = 0;
    for (int b = 0; b < kChannels; ++b) {
        const int power = f.s.calibration.Channel_PinHole[b];
        const int gain = f.s.calibration.Channel_Gain[b];
        ASSERT_EQ(file.Channel_PinHole[b], power) << b;
        ASSERT_EQ(file.Channel_Gain[b], gain) << b;
        ASSERT_EQ(f.sim->beamSetting(b), gain * 32 + power) << b;
        if (f.s.plate.Channel_Well[b] < 0) {
            EXPECT_EQ(power + gain, 0) << b;
            continue;
        }
        const double v = levelAt(*f.sim, b, power, gain);
        const int strength = power * 8 + gain;
        if (v >= LOW && v <= HIGH) {
            ++inBand;
        } else if (v < LOW) {
            // Left below the band: the top of the raising range, or one step
            // up overshoots it (lowered past the band).
            const int up = strength + 1;
            EXPECT_TRUE((power == 7 && gain == 7) || levelAt(*f.sim, b, up / 8, up % 8) > HIGH)
                << "beam " << b << " at " << v;
        } else {
            EXPECT_TRUE(power <= 1 && gain == 0) << "beam " << b << " at " << v;
        }
    }
    EXPECT_GT(inBand, 150);
    // Zeroing a flat signal: no noise, every threshold 1.
    for (int b = 0; b < kChannels; ++b)
        EXPECT_DOUBLE_EQ(f.s.channels.Channel_Threshold[b], 1.0) << b;
    f.run->Stop();
}

TEST(RunCalibration, ZeroSetsThresholdsFromTheBurstItSampled) {
    RunFixture f;
    f.run->setAutoCalibration(false);
    f.run->setAutoZero(true); // 100 samples
    f.run->setSnr(2.0);
    ASSERT_TRUE(f.play());
    const SignalBlock& x = f.run->realtime().rawBlock;
    int noisy = 0;
    for (int b = 0; b < kChannels; ++b) {
        long long upper = x.at(b, 10), lower = x.at(b, 10), sumDiff = 0, sumSig = 0, n = 0;
        for (int k = 11; k <= 98; ++k) {
            if (x.at(b, k) < x.at(b, k - 1) && x.at(b, k) < x.at(b, k + 1)) lower = x.at(b, k);
            if (x.at(b, k) > x.at(b, k - 1) && x.at(b, k) > x.at(b, k + 1)) upper = x.at(b, k);
            sumDiff += upper - lower;
            sumSig += x.at(b, k);
            ++n;
        }
        const double d = std::nearbyint(static_cast<double>(sumDiff) / n);
        const double m = std::nearbyint(static_cast<double>(sumSig) / n);
        const double noise = m < 1 ? 0 : (1 - (m - d) / m) * 100 * 2.0;
        EXPECT_DOUBLE_EQ(f.s.channels.Channel_Threshold[b], std::max(1.0, noise + 1)) << b;
        if (f.s.channels.Channel_Threshold[b] > 1) ++noisy;
    }
    EXPECT_GT(noisy, 300); // the simulator's noise is seen
    f.run->Stop();
}

TEST(RunCalibration, ABeamDrivenHighIsBroughtBackIntoTheBandAtTheBlockEnd) {
    RunFixture f(SimPorts::quiet());
    f.run->setAutoCalibration(false); // no start calibration: one beam is set by hand
    f.run->setAutoZero(true);
    f.s.setup.RT_Buffer = 20;
    f.s.setup.DSP_Interval = 5; // block statistics from the sixth sample on
    ASSERT_TRUE(f.play());
    f.run->setAutoCalibration(true);
    // An in-well beam at power 4, gain 3 whose receiver then doubles its
    // level (about 3500, far above 1944); every other beam stays dark.
    int beam = 0;
    while (f.s.plate.Channel_Well[beam] < 0)
        ++beam;
    f.s.calibration.Channel_PinHole[beam] = 4;
    f.s.calibration.Channel_Gain[beam] = 3;
    const int strength = 4 * 8 + 3;
    f.sim->withModel([&](sim::SimModel& m) {
        m.setSetting(beam, 3 * 32 + 4);
        m.setTargetStrength(beam, strength / 2);
    });
    ASSERT_GT(levelAt(*f.sim, beam, 4, 3), 1944);
    std::vector<uint8_t> before(kChannels);
    for (int b = 0; b < kChannels; ++b)
        before[static_cast<size_t>(b)] = f.sim->beamSetting(b);

    f.fake.status.texts.clear();
    for (int i = 0; i < 20; ++i) // one block
        f.tick();
    const auto lines = f.fake.status.on("statusLine");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Auto-Adjustment...");
    EXPECT_EQ(lines.back(), "Calibration OK");
    EXPECT_FALSE(f.fake.status.visible["statusFrame"]);
    const int power = f.s.calibration.Channel_PinHole[beam];
    const int gain = f.s.calibration.Channel_Gain[beam];
    const double v = levelAt(*f.sim, beam, power, gain);
    EXPECT_GE(v, Calibration::LOW);
    EXPECT_LE(v, Calibration::HIGH);
    // The instrument holds the new setting; no other beam was touched.
    for (int b = 0; b < kChannels; ++b) {
        if (b == beam) continue;
        ASSERT_EQ(f.sim->beamSetting(b), before[static_cast<size_t>(b)]) << b;
    }
    EXPECT_EQ(f.sim->beamSetting(beam), gain * 32 + power);
    CalibrationTable file;
    ASSERT_TRUE(loadCalibration(file, f.s.Program_Folder));
    EXPECT_EQ(file.Channel_PinHole[beam], power);
    EXPECT_EQ(file.Channel_Gain[beam], gain);
    // The run goes on recording.
    EXPECT_EQ(f.s.Acq_State, 1);
    EXPECT_EQ(countsRecordCount(countsFilePath(f.acqPath())), 1);
    f.run->Stop();
}

TEST(RunCalibration, FailedWritesOfTheStartCalibration) {
    const std::string commError = "Communication error. Check COM PORT and equipment connection.";
    {
        // The first write of the initial settings is never acknowledged: the
        // messages, and the acquisition starts with what the instrument holds.
        RunFixture f(SimPorts::quiet());
        f.run->setAutoCalibration(true);
        f.run->setAutoZero(false);
        f.sim->updateFaults([](sim::SimFaults& x) { x.wrongAckNext = 36; });
        EXPECT_TRUE(f.play());
        EXPECT_EQ(f.fake.prompter.texts(),
                  (std::vector<std::string>{
                      "Ops...Data Writing ERROR: reg(0)... Check COM and Try again", commError}));
        EXPECT_EQ(f.s.Acq_State, 1);
        EXPECT_FALSE(f.fake.status.visible["statusFrame"]);
        f.run->Stop();
    }
    {
        // A write of the first adjustment pass fails: the acquisition stops.
        RunFixture f(SimPorts::quiet());
        f.run->setAutoCalibration(true);
        f.run->setAutoZero(true);
        bool armed = false;
        f.fake.clock.onSleep = [&](int ms) {
            if (ms != 50 || armed) return; // the warm-up before the first pass
            armed = true;
            f.sim->updateFaults([](sim::SimFaults& x) { x.wrongAckNext = 36; });
        };
        EXPECT_FALSE(f.play());
        ASSERT_EQ(f.fake.prompter.texts().size(), 1u);
        EXPECT_EQ(f.fake.prompter.texts()[0].rfind("Ops...Data Writing ERROR: reg(", 0), 0u);
        EXPECT_EQ(f.s.Acq_State, 0);
        EXPECT_FALSE(f.run->timerRunning());
        EXPECT_FALSE(f.fake.status.visible["statusFrame"]);
        EXPECT_NE(f.fake.status.on("statusLine").back(), "Calibration OK");
    }
}

TEST(RunOutputs, ABlockEndReadsTheTemperatureSendsTheOutputsThenWritesTheRecords) {
    RunFixture f;
    f.run->setAutoCalibration(false);
    f.run->setAutoZero(true);
    f.s.setup.RT_Buffer = 20;
    std::vector<int> opcodesAtWrite; // what the instrument had received then
    withFileWriters(*f.run, [&](RunFileWriters& w) {
        w.counts = [&](const std::string& folder, int32_t minute,
                       const ChannelArray<int16_t>& counts) {
            std::this_thread::sleep_for(
                std::chrono::milliseconds(100)); // frames on the line arrive
            for (const auto& fr : f.sim->frames())
                opcodesAtWrite.push_back(fr[2]);
            return AppendCounts(folder, minute, counts);
        };
    });
    std::vector<std::string> printed;
    f.run->setPrintUnattended([&](const std::string& text) { printed.push_back(text); });
    f.run->setRunSwitch(true);
    ASSERT_TRUE(f.play());
    for (int i = 0; i < 19; ++i)
        f.tick();
    f.sim->clearFrames();
    f.tick(); // the twentieth sample ends the block
    // Four sample requests, then the temperature, then the output state,
    // and only then the records.
    EXPECT_EQ(opcodesAtWrite, (std::vector<int>{0x30, 0x30, 0x30, 0x30, 0x21, 0x10}));
    EXPECT_EQ(countsRecordCount(countsFilePath(f.acqPath())), 1);
    // What an unattended run prints for it (20 ticks of 70 ms).
    ASSERT_FALSE(printed.empty());
    EXPECT_EQ(printed.back(), "00:00:01 [0d] block 1: 1 record written");
    f.run->Stop();
}

TEST(RunCalibration, ReadBlankWhileIdleSamplesUntilTheCounterAndStops) {
    RunFixture f;
    f.run->setAutoCalibration(false);
    f.run->setAutoZero(false);
    f.s.setup.Threshold_Counter = 60;
    f.fake.clock.set(2024, 5, 2, 14, 7);
    f.run->calibration().Cmd_readblank_Click();
    EXPECT_EQ(f.s.Acq_State, 1);
    EXPECT_FALSE(f.s.recording);
    EXPECT_TRUE(f.s.Blank_Mode);
    EXPECT_EQ(f.fake.status.current["lblcalibrando"], "Setting Blank.... (60 samples)");
    const long ticks = f.ticksUntilStopped(1000);
    EXPECT_EQ(ticks, 62); // fed from tick 32 on; 61 ticks done pass the counter of 60
    EXPECT_EQ(f.s.Acq_State, 0);
    EXPECT_FALSE(f.s.Blank_Mode);
    EXPECT_EQ(f.fake.status.on("lblcalibrando").back(), "Setting (383) OK...");
    EXPECT_FALSE(f.fake.status.visible["lblcalibrando"]);
    int measured = 0;
    for (int b = 0; b < kChannels; ++b) {
        if (f.s.plate.Channel_Well[b] < 0) continue;
        const auto& rt = f.run->realtime();
        ASSERT_LT(rt.blankMin[b], rt.blankMax[b]) << b;
        EXPECT_DOUBLE_EQ(f.s.channels.Channel_Threshold[b],
                         RealtimeProcessor::blankThreshold(rt.blankMin[b], rt.blankMax[b]));
        ++measured;
    }
    EXPECT_GT(measured, 0);
    // The folder of the minute holds the setup, but no acquisition record.
    const std::string folder = joinPath(f.s.Project_Folder, "20240502_1407");
    EXPECT_TRUE(fileExists(joinPath(folder, "setup.dat")));
    EXPECT_FALSE(fileExists(joinPath(folder, "subproj.dat")));
    EXPECT_FALSE(fileExists(joinPath(folder, "counts.bin")));
}

TEST(RunCalibration, ReadBlankWithAutoZeroOnNeverCompletes) {
    RunFixture f;
    f.run->setAutoZero(true);
    f.s.setup.Threshold_Counter = 20;
    f.run->calibration().Cmd_readblank_Click();
    EXPECT_EQ(f.ticksUntilStopped(200), 200);
    EXPECT_TRUE(f.s.Blank_Mode);
    f.run->Stop();
    EXPECT_EQ(f.s.Acq_State, 0);
    EXPECT_FALSE(f.run->timerRunning());
    EXPECT_FALSE(f.run->realtime().blankRunning);
}

TEST(RunCalibration, ReadBlankDuringARecordingMovesTheRunToAFreshFolder) {
    RunFixture f;
    f.run->setAutoCalibration(false);
    f.run->setAutoZero(false);
    f.s.setup.RT_Buffer = 20;
    f.s.setup.DSP_Interval = 5;
    f.s.setup.Threshold_Counter = 30;
    f.fake.clock.set(2024, 5, 2, 14, 7);
    // Every sample taken while the blank runs (or recording is off) is
    // marked; a counts record of a block holding one of them is a fault.
    std::vector<bool> blankSample(21, false);
    f.run->setOnSampleStored([&](int i, SignalBlock&) {
        blankSample[static_cast<size_t>(i)] = f.run->realtime().blankRunning || !f.s.recording;
    });
    int blankBlocksStored = 0;
    withFileWriters(*f.run, [&](RunFileWriters& w) {
        w.counts = [&](const std::string& folder, int32_t minute,
                       const ChannelArray<int16_t>& counts) {
            if (std::find(blankSample.begin(), blankSample.begin() + 20, true) !=
                blankSample.begin() + 20)
                ++blankBlocksStored;
            return AppendCounts(folder, minute, counts);
        };
    });
    ASSERT_TRUE(f.play());
    const std::string first = f.acqPath();
    for (int i = 0; i < 50; ++i) // two blocks and a half
        f.tick();
    ASSERT_EQ(countsRecordCount(countsFilePath(first)), 2);

    // Pressed in the minute the acquisition started: its folder is taken.
    f.run->calibration().Cmd_readblank_Click();
    EXPECT_FALSE(f.s.recording);
    EXPECT_EQ(f.run->acqFolder(), "20240502_1408");
    const std::string second = f.acqPath();
    EXPECT_TRUE(fileExists(joinPath(second, "setup.dat")));
    long ticks = 0;
    while (f.s.Blank_Mode && ticks < 500) {
        f.tick();
        ++ticks;
    }
    ASSERT_FALSE(f.s.Blank_Mode);
    EXPECT_EQ(f.fake.status.on("lblcalibrando").back(), "Setting (383) OK...");
    // Not stuck: the acquisition records on in the blank's folder.
    EXPECT_TRUE(f.run->timerRunning());
    EXPECT_EQ(f.s.Acq_State, 1);
    EXPECT_TRUE(f.s.recording);
    EXPECT_EQ(f.run->sampleIndex(), 0);
    for (int i = 0; i < 40; ++i)
        f.tick();
    EXPECT_EQ(countsRecordCount(countsFilePath(second)), 2);
    EXPECT_EQ(countsRecordCount(countsFilePath(first)), 2);
    EXPECT_EQ(blankBlocksStored, 0);
    EXPECT_EQ(readAcquisitionName(second), "Run A");
    // The new blank is in force and stored with the acquisition.
    SharedState back;
    ASSERT_TRUE(readChannelTable(back.channels, second, ChannelTableFile::Threshold));
    int measured = 0;
    for (int b = 0; b < kChannels; ++b) {
        if (f.s.plate.Channel_Well[b] < 0) continue;
        const auto& rt = f.run->realtime();
        ASSERT_DOUBLE_EQ(f.s.channels.Channel_Threshold[b],
                         RealtimeProcessor::blankThreshold(rt.blankMin[b], rt.blankMax[b]));
        EXPECT_DOUBLE_EQ(back.channels.Channel_Threshold[b], f.s.channels.Channel_Threshold[b]);
        ++measured;
    }
    EXPECT_GT(measured, 0);
    f.run->Stop();
}

TEST(RunCalibration, ReadBlankDuringARecordingWithAutoZeroOnKeepsRecording) {
    // The blank would never end: stopping the recording for it would lose
    // the rest of the acquisition.
    RunFixture g;
    g.run->setAutoCalibration(false);
    g.run->setAutoZero(true);
    ASSERT_TRUE(g.play());
    g.run->calibration().Cmd_readblank_Click();
    EXPECT_TRUE(g.s.recording);
    EXPECT_FALSE(g.s.Blank_Mode);
    EXPECT_EQ(g.fake.prompter.texts().back(),
              "Read Blank needs Auto Zero OFF: the acquisition goes on recording.");
    g.run->Stop();
}

// A recording of 20-sample blocks, manual calibration on and Auto Zero off,
// with a blank pressed after one block and a quarter.
struct BlankInRun : RunFixture {
    explicit BlankInRun(int lapseMinutes = 30000) {
        run->setAutoCalibration(false);
        run->calibration().ManualCalibrationOn();
        run->calibration().AutoZero_Click(false);
        s.setup.RT_Buffer = 20;
        s.setup.DSP_Interval = 5;
        s.setup.Threshold_Counter = 30;
        s.setup.Aq_lapse = static_cast<int16_t>(lapseMinutes);
        EXPECT_TRUE(play());
        for (int i = 0; i < 25; ++i)
            tick();
        run->calibration().Cmd_readblank_Click();
        EXPECT_TRUE(s.Blank_Mode);
    }
};

// Switching Auto Zero on, or manual calibration off, while the blank is
// being taken gives the blank up: the run records on and ends at its lapse.
TEST(RunCalibration, AutoZeroOnDuringABlankGivesItUpAndTheRunRecordsOn) {
    for (const bool manualOff : {false, true}) {
        SCOPED_TRACE(manualOff ? "manual calibration off" : "Auto Zero on");
        BlankInRun f(1);
        for (int i = 0; i < 3; ++i)
            f.tick();
        if (manualOff)
            f.run->calibration().ManualCalibrationOff();
        else
            f.run->calibration().AutoZero_Click(true);
        EXPECT_FALSE(f.s.Blank_Mode);
        EXPECT_FALSE(f.fake.status.visible["lblcalibrando"]);
        EXPECT_LT(f.ticksUntilStopped(3000), 3000) << "the run never ended";
        EXPECT_TRUE(f.run->finished());
        EXPECT_GE(countsRecordCount(countsFilePath(f.acqPath())), 30);
        EXPECT_EQ(readAcquisitionName(f.acqPath()), "Run A");
    }
}

// Samples held during the blank are not held samples of the first block
// recorded after it.
TEST(RunCalibration, HeldSamplesOfTheBlankDoNotCountInTheNextBlock) {
    BlankInRun f;
    for (int i = 0; i < 22; ++i) // past the blank's first block end
        f.tick();
    ASSERT_TRUE(f.s.Blank_Mode);
    f.sim->updateFaults([](sim::SimFaults& x) { x.badHighNext = 4 * 5; });
    long ticks = 0;
    while (f.s.Blank_Mode && ticks++ < 500)
        f.tick();
    ASSERT_FALSE(f.s.Blank_Mode);
    ASSERT_EQ(f.sim->faults().badHighNext, 0); // all five held before the blank ended
    for (int i = 0; i < 20; ++i)
        f.tick();
    EXPECT_EQ(f.run->blocksDropped(), 0);
    EXPECT_EQ(countsRecordCount(countsFilePath(f.acqPath())), 1);
    f.run->Stop();
}

// A block is stored when at most a tenth of its ticks held a sample, and
// dropped beyond that.
TEST(RunComErrors, ABlockWithMoreThanATenthHeldIsDropped) {
    for (const auto& [heldTicks, stored] : {std::pair{3, true}, std::pair{4, false}}) {
        SCOPED_TRACE(heldTicks);
        RunFixture f;
        f.run->setAutoCalibration(false);
        f.run->setAutoZero(true);
        f.s.setup.RT_Buffer = 30;
        ASSERT_TRUE(f.play());
        for (int i = 0; i < 40; ++i) // a block and a third
            f.tick();
        f.sim->updateFaults([&](sim::SimFaults& x) { x.badHighNext = 4 * heldTicks; });
        for (int i = 0; i < 20; ++i)
            f.tick();
        EXPECT_EQ(f.run->blocksEnded(), 2);
        EXPECT_EQ(f.run->blocksDropped(), stored ? 0 : 1);
        EXPECT_EQ(countsRecordCount(countsFilePath(f.acqPath())), stored ? 2 : 1);
        f.run->Stop();
    }
}

struct ComErrors : RunFixture {
    ComErrors() {
        run->setAutoCalibration(false);
        run->setAutoZero(false);
        EXPECT_TRUE(play());
        for (int i = 0; i < 5; ++i)
            tick();
        sim->updateFaults([](sim::SimFaults& x) { x.badHighNext = 1000000; });
    }
    std::string caption() { return fake.status.current["statusCaption"]; }
    std::string line() { return fake.status.current["statusLine"]; }
};

TEST(RunComErrors, TwentyBadTicksShowNothingTheThirtyFirstRestarts) {
    ComErrors f;
    f.run->setAutoRestart(true);
    for (int i = 1; i <= 20; ++i) {
        const int before = f.run->sampleIndex();
        f.tick();
        // The invalid groups hold the previous sample.
        for (int b : {0, 130, 300})
            ASSERT_EQ(f.run->realtime().rawBlock.at(b, before),
                      f.run->realtime().rawBlock.at(b, before - 1));
        EXPECT_NE(f.caption(), "<COM ERROR>") << i;
    }
    EXPECT_EQ(f.run->comErrorTicks(), 20);
    f.tick(); // 21st
    EXPECT_EQ(f.caption(), "<COM ERROR>");
    EXPECT_TRUE(f.fake.status.visible["statusFrame"]);
    EXPECT_EQ(f.line(), "Restarting COM..10");
    for (int i = 22; i <= 30; ++i)
        f.tick();
    EXPECT_EQ(f.line(), "Restarting COM..1");
    EXPECT_TRUE(f.fake.desktop.calls.empty());
    EXPECT_TRUE(f.events.empty() || f.events.back() != "quit");
    f.tick(); // 31st
    ASSERT_EQ(f.fake.desktop.calls.size(), 1u);
    EXPECT_EQ(f.fake.desktop.calls[0].what, "startSelf");
    EXPECT_EQ(f.fake.desktop.calls[0].args, std::vector<std::string>{"/run"});
    EXPECT_EQ(f.events.back(), "quit");
    EXPECT_FALSE(f.run->timerRunning());
    EXPECT_FALSE(CommIsOpen(1)); // the new instance can open it
}

TEST(RunComErrors, WithoutAutoRestartTheCounterStaysAtTwenty) {
    ComErrors f;
    for (int i = 1; i <= 40; ++i)
        f.tick();
    EXPECT_EQ(f.caption(), "<COM ERROR>");
    EXPECT_EQ(f.line(), "VERIFY COM PORT!");
    EXPECT_EQ(f.run->comErrorTicks(), 20);
    EXPECT_TRUE(f.fake.desktop.calls.empty());
    EXPECT_EQ(f.s.Acq_State, 1);
}

TEST(RunComErrors, OneGoodTickClearsTheCounter) {
    ComErrors f;
    f.run->setAutoRestart(true);
    for (int i = 1; i <= 19; ++i)
        f.tick();
    EXPECT_EQ(f.run->comErrorTicks(), 19);
    f.sim->updateFaults([](sim::SimFaults& x) { x.badHighNext = 0; });
    f.tick();
    EXPECT_EQ(f.run->comErrorTicks(), 0);
    f.sim->updateFaults([](sim::SimFaults& x) { x.badHighNext = 1000000; });
    for (int i = 1; i <= 20; ++i)
        f.tick();
    EXPECT_NE(f.caption(), "<COM ERROR>");
    // Only the last group decides: a bad first group is not a bad tick.
    f.sim->updateFaults([](sim::SimFaults& x) { x.badHighNext = 1; });
    f.tick();
    f.tick();
    EXPECT_EQ(f.run->comErrorTicks(), 0);
}

TEST(RunBodyBends, TwoGroupsPerBlockCycling) {
    RunFixture f(RunFixture::defaultSim(), "w96u");
    f.run->setAutoCalibration(false);
    f.run->setAutoZero(true);
    f.s.setup.RT_Buffer = 20;
    withControls(*f.run, [](RunControls& c) { c.plateFormatLabel = "w96u"; });
    f.run->chk_bodybends_Click(true);
    ASSERT_TRUE(f.play());
    std::vector<std::set<int>> perBlock;
    for (int block = 0; block < 3; ++block) {
        std::set<int> groups;
        for (int i = 0; i < 20; ++i) {
            const bool warm = f.run->sampleIndex() <= 1;
            f.sim->clearFrames();
            f.tick();
            if (warm) continue;
            for (const auto& fr : f.sim->frames())
                if (fr[2] == 0x30) groups.insert(fr[3]);
        }
        perBlock.push_back(groups);
    }
    EXPECT_EQ(perBlock[0], (std::set<int>{0, 32}));
    EXPECT_EQ(perBlock[1], (std::set<int>{64, 96}));
    EXPECT_EQ(perBlock[2], (std::set<int>{0, 32}));
    const std::string folder = f.acqPath();
    EXPECT_EQ(histogramRecordCount(joinPath(folder, "histo0000.bin")), 3);
    HistogramRecord h;
    ASSERT_TRUE(readHistogramRecord(joinPath(folder, "histo0000.bin"), 2, h));
    for (int b = 0; b < kSlots; ++b) {
        EXPECT_EQ(h.bins[b][0], 0);
        EXPECT_EQ(h.bins[b][1], 0);
        EXPECT_EQ(h.bins[b][50], 0);
        for (int k = 0; k < kHistogramFileBins; ++k)
            ASSERT_EQ(h.bins[b][k], f.run->bodyBendsHistogram()[b][k]);
    }
    f.run->Stop();
}

TEST(RunOutputs, APanelButtonDuringTheRunIsSentAtTheNextPulseTick) {
    RunFixture f;
    f.run->setAutoCalibration(false);
    f.run->setAutoZero(false);
    ASSERT_TRUE(f.play());
    for (int i = 0; i < 3; ++i)
        f.tick();
    f.run->panels().cmd_luz_Click();
    EXPECT_EQ(f.run->panels().look.shape_light, Indicator::Green);
    EXPECT_EQ(f.run->panels().look.cmd_luz, "OFF");
    while (f.run->sampleIndex() < 24) {
        f.tick();
        EXPECT_EQ(f.sim->outputState() & 4, 0) << f.run->sampleIndex();
    }
    f.tick(); // sample position 25: the change goes out after the samples
    EXPECT_EQ(f.run->panels().look.cmd_luz, "ON");
    EXPECT_TRUE(eventually([&] { return (f.sim->outputState() & 4) != 0; }));

    // Stop mid-block: nothing recorded yet, light and element off.
    f.run->panels().out.tempOn = true;
    f.run->panels().ApplyOutputs();
    EXPECT_TRUE(eventually([&] { return f.sim->outputState() == 5; }));
    f.run->Stop();
    EXPECT_TRUE(eventually([&] { return f.sim->outputState() == 0; })) << f.sim->outputState();
    EXPECT_FALSE(fileExists(countsFilePath(f.acqPath())));
    EXPECT_EQ(f.s.Acq_State, 0);
}

TEST(RunOutputs, RegulationAtTheBlockEndDrivesTheElement) {
    sim::SimOptions o = RunFixture::defaultSim();
    o.model.startTemperature = 22.0;
    RunFixture f(o);
    f.run->setAutoCalibration(false);
    f.run->setAutoZero(false);
    f.s.setup.RT_Buffer = 20;
    f.run->panels().Chk_tenabled_Click(true);
    f.run->panels().boxes.txttemp = "30";
    ASSERT_TRUE(f.play());
    EXPECT_DOUBLE_EQ(f.s.Temp_SetPoint, 30.0);
    for (int i = 0; i < 20; ++i)
        f.tick();
    EXPECT_TRUE(eventually([&] { return f.sim->outputState() == 3; })); // heating, on
    EXPECT_NEAR(f.s.Temp_Current, 22.0, 0.5) << f.sim->outputState();
    f.sim->setPlateTemperature(31.0);
    for (int i = 0; i < 20; ++i)
        f.tick();
    EXPECT_TRUE(eventually([&] { return f.sim->outputState() == 1; })); // cooling, on
    f.run->Stop();
}

} // namespace
} // namespace trv::test
