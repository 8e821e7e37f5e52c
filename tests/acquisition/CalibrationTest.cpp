// The band step of the beam calibration and the calibration switches.
#include "acquisition/Calibration.h"
#include "acquisition/AcquisitionRun.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

namespace trv::test {
namespace {

struct Step {
    int16_t power, gain;
    BeamCalibration beam;
    bool write;
};

Step step(int v, int power, int gain, int direction = 0) {
    Step s{static_cast<int16_t>(power), static_cast<int16_t>(gain), {false, direction}, false};
    s.write = Calibration::BandStep(v, s.power, s.gain, s.beam);
    return s;
}

TEST(BandStep, InsideTheBandIsDoneWithoutAWrite) {
    for (int v : {Calibration::LOW, 1700, Calibration::HIGH}) {
        const Step s = step(v, 4, 3, 1);
        EXPECT_TRUE(s.beam.done);
        EXPECT_EQ(s.beam.direction, 0);
        EXPECT_FALSE(s.write);
        EXPECT_EQ(s.power, 4);
        EXPECT_EQ(s.gain, 3);
    }
}

TEST(BandStep, RaisingStepsTheGainThenThePower) {
    Step s = step(1637, 3, 5);
    EXPECT_EQ(s.gain, 6);
    EXPECT_EQ(s.beam.direction, 1);
    EXPECT_TRUE(s.write);
    s = step(100, 3, 7);
    EXPECT_EQ(s.power, 4);
    EXPECT_EQ(s.gain, 0);
    EXPECT_TRUE(s.write);
    // At power 7 and gain 7 a dim beam is left as it is.
    s = step(100, 7, 7, 1);
    EXPECT_TRUE(s.beam.done);
    EXPECT_FALSE(s.write);
    EXPECT_EQ(s.power, 7);
    EXPECT_EQ(s.gain, 7);
}

TEST(BandStep, LoweringStepsTheGainThenThePower) {
    Step s = step(1844, 3, 5);
    EXPECT_EQ(s.gain, 4);
    EXPECT_EQ(s.beam.direction, -1);
    s = step(4000, 3, 0);
    EXPECT_EQ(s.power, 2);
    EXPECT_EQ(s.gain, 7);
    EXPECT_TRUE(s.write);
    s = step(4000, 1, 0); // the lowest the step goes
    EXPECT_TRUE(s.beam.done);
    EXPECT_FALSE(s.write);
    EXPECT_EQ(s.power, 1);
}

TEST(BandStep, OvershootsStopOrTurnBack) {
    // Lowered from above the band to below it: stays there.
    Step s = step(1500, 3, 4, -1);
    EXPECT_TRUE(s.beam.done);
    EXPECT_FALSE(s.write);
    EXPECT_EQ(s.gain, 4);
    // Raised from below to above: written again unchanged and lowered on the
    // next pass.
    s = step(2000, 3, 4, 1);
    EXPECT_FALSE(s.beam.done);
    EXPECT_EQ(s.beam.direction, 0);
    EXPECT_TRUE(s.write);
    EXPECT_EQ(s.gain, 4);
    const bool again = Calibration::BandStep(2000, s.power, s.gain, s.beam);
    EXPECT_TRUE(again);
    EXPECT_EQ(s.gain, 3);
    EXPECT_EQ(s.beam.direction, -1);
}

TEST(BandStep, AlwaysEndsFromAnySettingAndLevel) {
    // A beam whose level never moves is done within the settings' range.
    for (int v : {0, 1000, 3000, 4095}) {
        for (int p0 = 0; p0 <= 31; p0 += 5) {
            int16_t power = static_cast<int16_t>(p0), gain = 3;
            BeamCalibration beam;
            int passes = 0;
            while (!beam.done && passes < 1000) {
                Calibration::BandStep(v, power, gain, beam);
                ++passes;
            }
            EXPECT_TRUE(beam.done) << v << " " << p0;
            EXPECT_GE(gain, 0);
            EXPECT_LE(gain, 7);
            EXPECT_GE(power, 0);
        }
    }
}

struct Switches {
    FakePorts fake;
    SharedState s;
    AcquisitionRun run{s, fake.ports};
    int controlBox = 0;
    Switches() {
        s.config.Serial_COM = 0;
        run.calibration().setCalibrationControlBox = [this] { ++controlBox; };
    }
};

TEST(CalibrationSwitches, AutoSwitchesShowTheFastButtonsWhileOff) {
    Switches w;
    Calibration& c = w.run.calibration();
    c.AutoCalibration_Click(false);
    EXPECT_FALSE(w.run.switches().autoCalibration);
    EXPECT_EQ(w.s.setup.Enab_Cal(), 0);
    EXPECT_TRUE(c.controls.cmd_calibra);
    c.AutoZero_Click(false);
    EXPECT_EQ(w.s.setup.Enab_Zero(), 0);
    EXPECT_TRUE(c.controls.Cmd_autozero);
    c.AutoZero_Click(true);
    EXPECT_FALSE(c.controls.Cmd_autozero);
    EXPECT_EQ(w.s.setup.Enab_Zero(), 1);
}

TEST(CalibrationSwitches, ManualCalibrationOnAndOff) {
    Switches w;
    Calibration& c = w.run.calibration();
    c.AutoCalibration_Click(false);
    c.ManualCalibrationOn();
    EXPECT_TRUE(c.controls.Cmd_readblank);
    EXPECT_TRUE(c.controls.manualOn);
    EXPECT_FALSE(c.controls.manualOff);
    EXPECT_TRUE(c.controls.autoCalibrationEnabled);
    EXPECT_TRUE(w.s.Manual_Calibration);
    c.ManualCalibrationOff();
    EXPECT_FALSE(c.controls.Cmd_readblank);
    EXPECT_TRUE(w.run.switches().autoCalibration);
    EXPECT_TRUE(w.run.switches().autoZero);
    EXPECT_FALSE(c.controls.autoCalibrationEnabled);
    EXPECT_FALSE(c.controls.autoZeroEnabled);
    EXPECT_FALSE(c.controls.cmd_calibra);
    EXPECT_EQ(w.controlBox, 1);
    EXPECT_TRUE(c.controls.manualOff);
    EXPECT_FALSE(c.controls.manualOn);
}

TEST(CalibrationProcedures, OfflineCalibrateRefusesAndIdleZeroEndsAfterOneSample) {
    Switches w;
    w.s.Offline_Mode = true;
    EXPECT_FALSE(w.run.calibration().Calibrate());
    EXPECT_EQ(w.fake.prompter.texts(),
              std::vector<std::string>{"Operation not possible in OFFLINE mode"});

    w.s.channels.Channel_Threshold.fill(42);
    w.run.calibration().Zero(); // idle: ends after its first sample
    EXPECT_EQ(w.s.channels.Channel_Threshold[0], 42);
    EXPECT_EQ(w.fake.status.on("statusLine"),
              (std::vector<std::string>{"AutoZero Calculation .... <000>", "AutoZero... <0>"}));
    EXPECT_EQ(w.fake.status.progress["progress"].second, 30);
}

// The calibration over a context of its own: a raw block to prepare, the
// switches and the SNR; nothing else of a run.
struct BlockContext : CalibrationContext {
    RealtimeProcessor rt;
    RunSwitches sw;
    RunHooks h;
    double snrValue = 1.8;
    std::string name;
    RealtimeProcessor& processor() override { return rt; }
    const RunSwitches& switches() const override { return sw; }
    void setAutoCalibration(bool on) override { sw.autoCalibration = on; }
    void setAutoZero(bool on) override { sw.autoZero = on; }
    double snr() const override { return snrValue; }
    void setSnr(double v) override { snrValue = v; }
    const RunHooks& hooks() const override { return h; }
    int32_t tickCount() const override { return 0; }
    const std::string& acqName() const override { return name; }
    void setAcquisitionFolder(const std::string&) override {}
    void restartBlock() override {}
    void restartClock() override {}
    void blankRestart(bool) override {}
    void recordingRestart() override {}
    void setTimer(bool) override {}
    void showStatusFrame(const std::string&) override {}
    void hideStatusFrame() override {}
    void stop() override {}
};

TEST(CalibrationProcedures, ZeroUsesRowsElevenOnOfItsBurst) {
    Switches w;
    w.s.Offline_Mode = true; // nothing read: the block rows are the burst
    w.s.Acq_State = 1;
    BlockContext run;
    run.sw.autoCalibration = false; // 100 samples
    run.snrValue = 2.0;
    Calibration calibration(w.s, w.fake.ports, run);
    SignalBlock& raw = run.rt.rawBlock;
    for (int i = 0; i < raw.sampleCount(); ++i) {
        raw.at(0, i) = static_cast<int16_t>(1000 + (i % 2) * 100); // zig-zag 1000/1100
        raw.at(1, i) = static_cast<int16_t>(i <= 10 ? 4000 : 500); // rows 0..10 ignored
    }
    calibration.Zero();
    // Beam 0: envelope 100 wide around a mean of 1050 (rows 11..98).
    const double mean = std::nearbyint((44 * 1100.0 + 44 * 1000.0) / 88);
    EXPECT_DOUBLE_EQ(w.s.channels.Channel_Threshold[0], 100 / mean * 100 * 2.0 + 1);
    EXPECT_DOUBLE_EQ(w.s.channels.Channel_Threshold[1], 1); // flat: no noise
    EXPECT_DOUBLE_EQ(w.s.channels.Channel_Threshold[2], 1); // dark beam: noise 0
    EXPECT_EQ(w.fake.status.progress["progress"].second, 100);
}

} // namespace
} // namespace trv::test
