// The calibration workbench: its rules, the automatic search and SET against
// the simulated instrument, the channel table edits and multitsk.dat.
#include "maintenance/Workbench.h"

#include "MaintenanceFixture.h"
#include "common/Files.h"

#include <algorithm>
#include <cstdio>

#include <gtest/gtest.h>

namespace trv::test {
namespace {

TEST(WorkbenchRules, BandSettingBoxesAndModeText) {
    EXPECT_EQ(SearchBand(80), (std::pair{1741, 1536}));
    EXPECT_EQ(SearchBand(50), (std::pair{1126, 922}));
    struct Case {
        const char* text;
        int highest, value;
    };
    for (const Case& c : std::vector<Case>{{"9", 8, 0},
                                           {"8", 8, 8},
                                           {"-1", 8, 0},
                                           {"3,4", 8, 3},
                                           {"x", 8, 0},
                                           {"8", 7, 0}, // a gain of 8 would not fit the byte
                                           {"7", 7, 7}})
        EXPECT_EQ(SettingFromText(c.text, c.highest), c.value) << c.text << " " << c.highest;
    EXPECT_EQ(CalibrationModeText(0), "0_Max.Gain");
    EXPECT_EQ(CalibrationModeText(1), "Max.Gain");
    EXPECT_EQ(CalibrationModeText(2), "Max.Power");
}

TEST(Workbench, ChannelChoiceEnableAndThresholdStayInMemory) {
    FakePorts fake;
    SharedState s;
    TempDir home;
    s.Program_Folder = s.Project_Folder = home.path();
    Workbench w(s, fake.ports);
    int mainChannel = 5;
    w.hooks.mainChannel = [&] { return mainChannel; };
    w.hooks.setMainChannel = [&](int c) { mainChannel = c; };
    w.open();
    EXPECT_EQ(w.channel, 5);
    w.Combocol_Click(2);
    w.Combofila_Click('B');
    EXPECT_EQ(w.channel, 17);
    EXPECT_EQ(mainChannel, 17);
    w.Picwell_Click(3, 4);
    EXPECT_EQ(w.channel, 52);
    w.Picwell_Click(1, 1);

    s.channels.Channel_Enabled[17] = 0;
    w.Picwell_Click(1, 1);
    EXPECT_EQ(w.status, "DISABLED");
    fake.prompter.answer(Answer::No);
    w.lblstatus_DblClick();
    EXPECT_EQ(s.channels.Channel_Enabled[17], 0);
    w.lblstatus_DblClick();
    EXPECT_EQ(fake.prompter.texts(),
              (std::vector<std::string>{"Do you like to Enable Channel 17?",
                                        "Do you like to Enable Channel 17?"}));
    EXPECT_EQ(s.channels.Channel_Enabled[17], -1);
    EXPECT_EQ(w.status, "ENABLED");
    w.Scroll_threshold_Change(12);
    EXPECT_EQ(s.channels.Channel_Threshold[17], 12.0);
    w.lblstatus_DblClick();
    EXPECT_EQ(fake.prompter.texts().back(), "Do you like to Disable Channel 17?");
    EXPECT_EQ(s.channels.Channel_Enabled[17], 0);
    EXPECT_TRUE(listFiles(home.path()).empty()); // nothing on disk until the project is saved
}

TEST(Workbench, SamplesAndTheirThresholds) {
    ConnectedBench bench;
    bench.s.channels.Channel_Threshold[10] = 20;
    Workbench w(bench.s, bench.fake.ports);
    bench.sim->withModel([](sim::SimModel& m) { m.setSetting(10, 7 * 32 + 3); });
    for (int i = 0; i < 10; ++i)
        w.takeSample();
    EXPECT_EQ(w.thresholdValue(10, 0), 0.0);
    bench.sim->withModel([](sim::SimModel& m) { m.setSetting(10, 7 * 32 + 2); }); // dimmer
    w.takeSample();
    const int bright = w.level(10, 0), dim = w.level(10, 10);
    ASSERT_GT(bright, dim);
    // The 11th sample fills the first 11 thresholds with 80 % of the peak.
    for (int i = 0; i <= 10; ++i)
        EXPECT_DOUBLE_EQ(w.thresholdValue(10, i), bright * 0.8) << i;
    for (int i = 0; i < 11; ++i)
        w.takeSample();
    EXPECT_DOUBLE_EQ(w.thresholdValue(10, 21), dim * 0.8);
    EXPECT_EQ(w.writePosition(), 22);
    // A group that does not arrive keeps its beams' last levels; the others
    // move on.
    bench.sim->withModel([](sim::SimModel& m) {
        m.setSetting(10, 7 * 32 + 3);
        m.setSetting(40, 7 * 32 + 3);
    });
    const int before40 = w.level(40, 21);
    bench.sim->updateFaults([](sim::SimFaults& f) { f.badHighNext = 1; });
    w.takeSample();
    EXPECT_EQ(w.level(10, 22), dim);
    EXPECT_GT(w.level(40, 22), before40);
}

TEST(Workbench, SetWritesEveryBeamAndTheSearchBringsEveryBeamIntoTheBand) {
    ConnectedBench bench;
    Workbench w(bench.s, bench.fake.ports);
    w.open();
    w.txt_power = "9";
    w.txt_ganancia = "5";
    w.cmd_setcalibra_Click();
    EXPECT_EQ(w.txt_power, "0");
    for (int b = 0; b < kChannels; ++b)
        ASSERT_EQ(bench.sim->beamSetting(b), 5 * 32) << b;

    // The project's mode 0 reads "0_Max.Gain": the search does nothing.
    bench.s.setup.Cal_mode = 0;
    w.open();
    bench.sim->clearFrames();
    w.Cmdcalibrar_Click();
    EXPECT_TRUE(bench.sim->frames().empty());
    EXPECT_FALSE(w.onlineEnabled);
    EXPECT_FALSE(w.progressShown);

    w.Combomode = "Max.Gain";
    w.Txtajuste = "80";
    w.Cmdcalibrar_Click();
    EXPECT_FALSE(w.progressShown);
    EXPECT_FALSE(w.onlineEnabled);
    for (int b = 0; b < kChannels; ++b) {
        int level = 0;
        bench.sim->withModel([&](sim::SimModel& m) { level = m.level(b); });
        ASSERT_GE(level, 1536) << b;
        ASSERT_LE(level, 1741) << b;
        EXPECT_EQ(bench.sim->beamSetting(b), w.searchGain(b) * 32 + w.searchPower(b));
    }
    EXPECT_TRUE(bench.fake.prompter.messages.empty());
}

TEST(Workbench, OfflineStopsTheSearchAndTheGainCurve) {
    ConnectedBench bench;
    Workbench w(bench.s, bench.fake.ports);
    w.open();
    bench.fake.pump.at[3] = [&] { w.cmdoffline_Click(); };
    w.Cmdcalibrar_Click();
    EXPECT_TRUE(w.onlineEnabled);
    EXPECT_EQ(bench.sim->beamSetting(300), 7 * 32 + 3); // never searched

    // The gain curve, stopped after its first power and gain.
    bench.fake.pump.calls = 0;
    bench.fake.pump.at.clear();
    bench.fake.pump.at[24] = [&] { w.cmdoffline_Click(); };
    w.cmdTEST_Click();
    EXPECT_FALSE(w.busy);
    EXPECT_EQ(w.txt_test, "Gain=1;Pinhole=0");
    const std::string mean = bench.home.read("test_mean.txt");
    EXPECT_EQ(mean.rfind("[p0,g0] ", 0), 0u);
    EXPECT_EQ(std::count(mean.begin(), mean.end(), ' '), kChannels);
    EXPECT_EQ(mean.substr(mean.size() - 5), " 40\r\n"); // dark beams at setting 0
    const std::string desv = bench.home.read("test_desv.txt");
    EXPECT_EQ(
        desv, "[p0,g0]" + [] {
            std::string z;
            for (int b = 0; b < kChannels; ++b)
                z += " 0";
            return z;
        }() + "\r\n");
    EXPECT_EQ(countLines(bench.home / "test_bk.txt"), 22);
}

TEST(Workbench, ExitClearsThePortInMultitask) {
    ConnectedBench bench;
    PortFlags flags;
    for (int p = 1; p <= 15; ++p)
        flags.emplace_back(p, p == 3 || p == 4);
    ASSERT_TRUE(WriteMultitask(bench.home / "multitsk.dat", flags));
    Workbench w(bench.s, bench.fake.ports);
    int ended = 0;
    w.hooks.endProgram = [&] { ++ended; };
    w.cmdexit_Click();
    EXPECT_EQ(ended, 1);
    const std::string text = bench.home.read("multitsk.dat");
    EXPECT_EQ(text.rfind("1,#FALSE#\r\n2,#FALSE#\r\n3,#FALSE#\r\n4,#TRUE#\r\n5,#FALSE#", 0), 0u);
    EXPECT_EQ(countLines(bench.home / "multitsk.dat"), 15);
    // Without the file the program still ends.
    std::remove((bench.home / "multitsk.dat").c_str());
    w.cmdexit_Click();
    EXPECT_EQ(ended, 2);
    EXPECT_FALSE(fileExists(bench.home / "multitsk.dat"));
}

} // namespace
} // namespace trv::test
