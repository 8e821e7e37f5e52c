#include "setup/AcquisitionSettings.h"

#include "SetupTestSupport.h"
#include "store/ProjectFile.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

using test::SetupFixture;

struct SettingsTest : SetupFixture, ::testing::Test {
    std::vector<std::pair<MainTool, bool>> tools;
    std::vector<DetectionSummary> summaries;
    std::vector<std::string> notes;
    std::vector<std::string> calls; // hooks in the order they ran
    SetupHooks hooks;
    AcquisitionSettings set{s, fake.ports, hooks};

    SettingsTest() {
        hooks.mainTool = [this](MainTool t, bool shown) { tools.push_back({t, shown}); };
    }
};

TEST_F(SettingsTest, LapseIsKeptBetweenTwoMinutesAnd32000) {
    set.fill();
    EXPECT_EQ(set.lapseText(), "30");
    set.lapseChanged("40000");
    EXPECT_EQ(s.setup.Aq_lapse, 32000);
    EXPECT_EQ(set.lapseText(), "32000");
    set.lapseChanged("32000");
    EXPECT_EQ(s.setup.Aq_lapse, 32000);
    set.lapseChanged("31999.5");
    EXPECT_EQ(s.setup.Aq_lapse, 32000);
    EXPECT_EQ(set.lapseText(), "31999.5");
    set.lapseChanged("90 min");
    EXPECT_EQ(s.setup.Aq_lapse, 90);
    EXPECT_EQ(set.lapseText(), "90 min");
    set.lapseChanged("2,5"); // comma as decimal mark, half to even
    EXPECT_EQ(s.setup.Aq_lapse, 2);
    set.lapseChanged("3,5");
    EXPECT_EQ(s.setup.Aq_lapse, 4);
    for (const char* low : {"0", "-15", "-99999", "abc", "", "0.4"}) {
        s.setup.Aq_lapse = 30;
        set.lapseChanged(low);
        EXPECT_EQ(s.setup.Aq_lapse, 2) << low;
        EXPECT_EQ(set.lapseText(), "2") << low;
    }
}

TEST_F(SettingsTest, BufferOutsideTwoHundredToTenThousandBecomesTwoHundred) {
    set.fill();
    EXPECT_EQ(set.bufferText(), "500");
    for (auto [typed, value] : {std::pair{"150", 200}, std::pair{"10001", 200}, std::pair{"10000", 10000},
                                std::pair{"200", 200}, std::pair{"x", 200}, std::pair{"199.6", 200},
                                std::pair{"750,4", 750}}) {
        set.bufferLeft(typed);
        EXPECT_EQ(s.setup.RT_Buffer, value) << typed;
    }
    set.bufferLeft("150");
    EXPECT_EQ(set.bufferText(), "200");
    set.bufferLeft("10000");
    EXPECT_EQ(set.bufferText(), "10000");
}

TEST_F(SettingsTest, SampleRateAndIntervalAreTakenAsReadWithin16Bits) {
    set.sampleChanged("120.5");
    EXPECT_EQ(s.setup.Sample_Rate, 120);
    set.sampleChanged("-3");
    EXPECT_EQ(s.setup.Sample_Rate, -3);
    set.dspIntervalChanged("45x");
    EXPECT_EQ(s.setup.DSP_Interval, 45);
    set.dspIntervalChanged("99999");
    EXPECT_EQ(s.setup.DSP_Interval, 32767);
    EXPECT_EQ(set.dspIntervalText(), "99999");
}

TEST_F(SettingsTest, OrganismPresets) {
    set.fill();
    set.organismChosen(1);
    EXPECT_EQ(s.setup.Organism(), 1);
    EXPECT_EQ(s.setup.DSP_Method, 1);
    EXPECT_EQ(s.setup.SNRx10(), 28);
    EXPECT_EQ(set.snrText(), "2.8");
    set.organismChosen(2);
    EXPECT_EQ(s.setup.DSP_Method, 2);
    EXPECT_EQ(s.setup.SNRx10(), 18);
    set.organismChosen(3);
    EXPECT_EQ(s.setup.DSP_Method, 3);
    EXPECT_EQ(set.snrText(), "0.8");
    set.organismChosen(0);
    EXPECT_EQ(s.setup.DSP_Method, 1);
    EXPECT_EQ(s.setup.SNRx10(), 18);
    set.dspChosen(0);
    set.aqModeChosen(4);
    EXPECT_EQ(s.setup.DSP_Method, 0);
    EXPECT_EQ(s.setup.Aq_mode, 4);
}

TEST_F(SettingsTest, SnrRangesPerOrganism) {
    s.setup.Organism() = 3; // Drosophila
    s.setup.SNRx10() = 6;
    set.fill();
    EXPECT_EQ(set.snrText(), "0.6");
    EXPECT_FALSE(set.snrEnabled());
    set.snrDoubleClicked();
    EXPECT_TRUE(set.snrEnabled());

    EXPECT_FALSE(set.snrLeft("1.0"));
    EXPECT_EQ(prompter().texts(), std::vector<std::string>{"Enter a valid SNR: 0.5 to 0.9"});
    EXPECT_EQ(set.snrText(), "0.8");
    EXPECT_EQ(s.setup.SNRx10(), 8);
    EXPECT_TRUE(set.snrLeft("0,5"));
    EXPECT_EQ(s.setup.SNRx10(), 5);
    EXPECT_EQ(set.snrText(), "0.5");
    EXPECT_TRUE(set.snrLeft("0.94")); // shown as 0.9 first, then read
    EXPECT_EQ(s.setup.SNRx10(), 9);
    EXPECT_EQ(set.snrText(), "0.9");
    EXPECT_FALSE(set.snrLeft("0.4"));

    prompter().clear();
    set.organismChosen(0); // C.elegans
    EXPECT_TRUE(set.snrLeft("5.0"));
    EXPECT_EQ(s.setup.SNRx10(), 50);
    EXPECT_TRUE(set.snrLeft("1.4"));
    EXPECT_EQ(s.setup.SNRx10(), 14);
    EXPECT_FALSE(set.snrLeft("5.1"));
    EXPECT_EQ(prompter().texts(), std::vector<std::string>{"Enter a valid SNR: 1.4 to 5.0"});
    EXPECT_EQ(s.setup.SNRx10(), 18);
    EXPECT_EQ(set.snrText(), "1.8");
    EXPECT_FALSE(set.snrLeft("1.3"));
    EXPECT_FALSE(set.snrLeft("abc"));

    set.organismChosen(1);
    EXPECT_FALSE(set.snrLeft("7"));
    EXPECT_EQ(s.setup.SNRx10(), 28);
}

TEST_F(SettingsTest, SnrShownWithTheLocaleDecimalMark) {
    fake.locale.decimal = ",";
    s.setup.SNRx10() = 25;
    set.fill();
    EXPECT_EQ(set.snrText(), "2,5");
    EXPECT_TRUE(set.snrLeft("3,2"));
    EXPECT_EQ(s.setup.SNRx10(), 32);
    EXPECT_EQ(set.snrText(), "3,2");
    EXPECT_EQ(set.summary().detection, "Detection Mode1, C.elegans [snr 3,2]");
}

TEST_F(SettingsTest, ZeroSnrTakesTheOrganismDefaultOnOpeningExceptDrosophila) {
    for (auto [organism, expected] : {std::pair{0, 18}, std::pair{1, 28}, std::pair{2, 18}, std::pair{3, 0}}) {
        s.setup.Organism() = static_cast<int16_t>(organism);
        s.setup.SNRx10() = 0;
        set.fill();
        EXPECT_EQ(s.setup.SNRx10(), expected) << organism;
    }
    set.defaultSnrIfZero(); // leaving the window gives Drosophila its 0.8
    EXPECT_EQ(s.setup.SNRx10(), 8);
}

TEST_F(SettingsTest, SaveCountsIsAlwaysOnAndSaveRealFollowsTheChoice) {
    s.setup.Save_counts = 0;
    s.setup.Save_real = 0;
    set.fill();
    EXPECT_EQ(set.saveCountIndex(), 1);
    EXPECT_EQ(set.saveRealIndex(), 0);
    set.saveCountChosen(0); // "NO"
    EXPECT_EQ(s.setup.Save_counts, 1);
    EXPECT_EQ(set.saveCountIndex(), 1);
    set.saveRealChosen("YES");
    EXPECT_EQ(s.setup.Save_real, 1);
    set.saveRealChosen("NO");
    EXPECT_EQ(s.setup.Save_real, 0);
    EXPECT_EQ(set.saveRealIndex(), 0);
}

TEST_F(SettingsTest, ToolSwitchesReachTheMainWindow) {
    s.setup.Menu1 = 0;
    s.setup.Menu2 = 1;
    s.setup.Menu5 = 1;
    set.fill();
    EXPECT_EQ(s.setup.Menu1, 1);
    EXPECT_TRUE(set.calibrationChecked());
    EXPECT_FALSE(set.calibrationEnabled());
    EXPECT_TRUE(set.lightChecked());
    EXPECT_FALSE(set.temperatureChecked());
    EXPECT_FALSE(set.menuChecked(4));
    EXPECT_TRUE(set.menuChecked(5));

    set.lightClicked(false);
    set.temperatureClicked(true);
    set.calibrationClicked(false);
    EXPECT_EQ(s.setup.Menu2, 0);
    EXPECT_EQ(s.setup.Menu3, 1);
    EXPECT_EQ(s.setup.Menu1, 0);
    EXPECT_EQ(tools, (std::vector<std::pair<MainTool, bool>>{{MainTool::Calibration, true},
                                                             {MainTool::Light, false},
                                                             {MainTool::Temperature, true},
                                                             {MainTool::Calibration, false}}));
}

TEST_F(SettingsTest, AdvancedFrameToggles) {
    set.fill();
    EXPECT_FALSE(set.advancedVisible());
    EXPECT_FALSE(set.advancedButtonVisible());
    set.advancedMenu();
    EXPECT_TRUE(set.advancedVisible());
    EXPECT_TRUE(set.advancedButtonVisible());
    EXPECT_EQ(set.advancedCaption(), "[Advanced Tools]    <-");
    set.advancedClicked();
    EXPECT_FALSE(set.advancedVisible());
    EXPECT_TRUE(set.advancedButtonVisible());
    EXPECT_EQ(set.advancedCaption(), "[Advanced Tools]    ->");
    set.advancedClicked();
    set.advancedMenu();
    EXPECT_FALSE(set.advancedVisible());
    EXPECT_FALSE(set.advancedButtonVisible());
}

// The window's ways out, with hooks recording what reaches the main window.
struct LeavingTest : SettingsTest {
    SetupModel model{s, fake.ports, picwell, recordingHooks()};

    SetupHooks recordingHooks() {
        SetupHooks h;
        h.detection = [this](const DetectionSummary& d) { summaries.push_back(d); calls.push_back("detection"); };
        h.notes = [this](const std::string& n) { notes.push_back(n); calls.push_back("notes"); };
        h.connect = [this] { calls.push_back("connect"); s.Device_Connected = true; };
        h.showMain = [this] { calls.push_back("main"); };
        h.showLauncher = [this] { calls.push_back("launcher"); };
        h.mainTool = [this](MainTool, bool) { calls.push_back("tool"); };
        return h;
    }
    void SetUp() override {
        dir.write("setup.dat", setupFileText(ProjectSetup{}, 0));
        s.setup.Name = "Default";
        model.open();
        calls.clear();
    }
};

TEST_F(LeavingTest, ContinueHandsTheSettingsOnAndConnectsWhenNeeded) {
    s.setup.Organism() = 3;
    s.setup.SNRx10() = 0;
    s.setup.DSP_Method = 3;
    model.setNotes("larvae, 5 dpf");
    model.settings().advancedMenu();
    model.continueToRun();

    EXPECT_EQ(calls, (std::vector<std::string>{"detection", "notes", "connect", "main"}));
    ASSERT_EQ(summaries.size(), 1u);
    EXPECT_EQ(summaries[0].detection, "Detection Mode3, Drosophila [snr 0.8]");
    EXPECT_EQ(summaries[0].snr, "0.8");
    EXPECT_EQ(summaries[0].organism, 3);
    EXPECT_EQ(s.setup.SNRx10(), 8);
    EXPECT_EQ(notes, std::vector<std::string>{"larvae, 5 dpf"});
    EXPECT_FALSE(model.settings().advancedVisible());
    EXPECT_FALSE(model.settings().advancedButtonVisible());

    // Connected already: no second connect.
    calls.clear();
    s.setup.Organism() = 0;
    s.setup.SNRx10() = 20;
    s.setup.DSP_Method = 1;
    model.continueToRun();
    EXPECT_EQ(calls, (std::vector<std::string>{"detection", "notes", "main"}));
    EXPECT_EQ(summaries[1].detection, "Detection Mode1, C.elegans [snr 2.0]");
    EXPECT_EQ(summaries[1].snr, "2");
}

TEST_F(LeavingTest, BackAndCloseGoToTheLauncher) {
    model.setNotes("kept for later");
    model.back();
    EXPECT_EQ(calls, (std::vector<std::string>{"detection", "launcher"}));
    EXPECT_EQ(summaries[0].detection, "Detection Mode1, C.elegans [snr 1.8]");
    EXPECT_TRUE(notes.empty());

    calls.clear();
    model.closed();
    EXPECT_EQ(calls, (std::vector<std::string>{"notes", "launcher"}));
    EXPECT_EQ(notes, std::vector<std::string>{"kept for later"});
}

TEST_F(LeavingTest, UnsavedEditsSurviveReopeningTheWindow) {
    s.setup.Aq_lapse = 45;
    s.channels.Channel_Group[0] = 7;
    model.closed();
    model.open();
    EXPECT_EQ(s.setup.Aq_lapse, 45);
    EXPECT_EQ(model.settings().lapseText(), "45");
    EXPECT_EQ(s.channels.Channel_Group[0], 7);

    // Even when the project's name is empty.
    s.setup.Name = "";
    model.open();
    EXPECT_EQ(s.setup.Aq_lapse, 45);
}

TEST(SetupOpening, LoadsTheCurrentProjectWhenNoneIsLoaded) {
    SetupFixture f;
    f.dir.write("setup.dat", setupFileText(ProjectSetup{}, 0));
    makeFolder(f.dir / "p00002");
    ProjectSetup st;
    st.Name = "Two";
    st.Aq_lapse = 120;
    f.dir.write("p00002/setup.dat", setupFileText(st, 2));
    f.s.config.Actual_Project_Number = 2;
    f.s.Project_Folder = ""; // not placed yet: found from the project number
    f.s.setup.Name = "";
    SetupModel model(f.s, f.fake.ports, f.picwell);
    model.open();
    EXPECT_EQ(f.s.Project_Folder, f.dir / "p00002");
    EXPECT_EQ(f.s.setup.Name, "Two");
    EXPECT_EQ(model.settings().lapseText(), "120");
    EXPECT_EQ(model.project().txtprj(), "2_Two");
    EXPECT_TRUE(model.groups().loaded());
}

} // namespace
} // namespace trv
