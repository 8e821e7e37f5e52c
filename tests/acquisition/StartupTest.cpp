// Start-up and shutdown of the main window without the window: the load
// sequence against a real program folder seeded from data/, the start-up
// timer driven the way the window drives it (armed by a hook, fired while
// window events run), the run switch, and closing.
#include "acquisition/Startup.h"
#include "TestPaths.h"

#include "common/Files.h"
#include "store/ConfigFile.h"
#include "store/ProjectFile.h"
#include "store/ReportConfigFile.h"
#include "support/Fakes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace trv {
namespace {

using test::FakePorts;
using test::TempDir;

// A program folder holding the shipped files, a FakePorts and a Startup
// whose hooks record what the window was asked to do. The timer hooks only
// arm a flag; the fake event pump fires the tick while armed, as Qt fires
// Timerinicio while load() lets events run.
struct StartupFixture : ::testing::Test {
    TempDir dir;
    SharedState s;
    FakePorts fp;
    std::vector<std::string> calls;
    bool timerArmed = false;
    int timerStarts = 0;
    std::unique_ptr<Startup> startup;
    StartupHooks hooks;

    StartupFixture() {
        for (const std::string& f : listFiles(std::string(TRELVANE_SOURCE_DIR) + "/data"))
            copyFile(std::string(TRELVANE_SOURCE_DIR) + "/data/" + f, dir / f);
        s.Program_Folder = dir.path();
        auto note = [this](const std::string& what) {
            return [this, what] { calls.push_back(what + "@" + std::to_string(s.Startup_Stage)); };
        };
        hooks.startTimer = [this] {
            timerArmed = true;
            ++timerStarts;
        };
        hooks.stopTimer = [this] { timerArmed = false; };
        hooks.showLauncher = [this](bool enabled) {
            calls.push_back(enabled ? "launcher" : "launcher-disabled");
        };
        hooks.enableLauncher = note("enable");
        hooks.showTestDeviceEntry = note("testdevice");
        hooks.fillTools = note("tools");
        hooks.fillSettings = note("settings");
        hooks.reportConfigLoaded = [this](bool user) {
            calls.push_back(std::string("report-") + (user ? "user" : "default"));
        };
        hooks.fillPickers = note("pickers");
        hooks.displayDefaults = note("defaults");
        hooks.showMainMaximized = note("maximized");
        hooks.connect = [this] {
            calls.push_back("connect");
            startup->startRunStep(); // what Connect does with the run switch
        };
        hooks.showMain = note("main");
        hooks.play = [this](const std::string& name) { calls.push_back("play " + name); };
        hooks.closePort = note("close-port");
        hooks.endProgram = [this](int code) { calls.push_back("end " + std::to_string(code)); };
        fp.pump.every = [this] {
            if (timerArmed) startup->timerTick();
        };
    }

    Startup& make() {
        startup = std::make_unique<Startup>(s, fp.ports, hooks);
        return *startup;
    }
    void writeConfig(int project, int last, int com) {
        AppConfig c;
        c.Actual_Project_Number = static_cast<int16_t>(project);
        c.Last_Project = static_cast<int16_t>(last);
        c.Serial_COM = static_cast<int16_t>(com);
        dir.write(kConfigFileName, configFileText(c));
    }
    // A saved project n named `name` with a lapse of `lapse` minutes.
    void writeProject(int n, const std::string& name, int lapse) {
        std::string folder = dir / projectFolderName(n);
        makeFolder(folder);
        SharedState p;
        p.Program_Folder = dir.path();
        p.Project_Folder = folder;
        p.config.Actual_Project_Number = static_cast<int16_t>(n);
        p.setup.Name = name;
        p.setup.Aq_lapse = static_cast<int16_t>(lapse);
        ASSERT_TRUE(saveProject(p));
    }
    int indexOf(const std::string& call) const {
        for (size_t i = 0; i < calls.size(); ++i)
            if (calls[i] == call) return static_cast<int>(i);
        return -1;
    }
};

TEST(RunSwitch, OnlyTheWholeTrimmedLineInThreeSpellingsCounts) {
    for (const char* yes : {"/run", "/RUN", "/Run", "  /RUN  ", "\t/run \r\n"})
        EXPECT_TRUE(isRunSwitch(yes)) << "[" << yes << "]";
    for (const char* no : {"", "run", "-run", "/run x", "/rUN", "/runs", "x /run", "/ run"})
        EXPECT_FALSE(isRunSwitch(no)) << "[" << no << "]";
    // Arguments are joined with blanks first, so two words never count.
    EXPECT_TRUE(isRunSwitch(commandLineOf({"/RUN"})));
    EXPECT_FALSE(isRunSwitch(commandLineOf({"/run", "x"})));
    EXPECT_FALSE(isRunSwitch(commandLineOf({})));
}

TEST(StartupTexts, OrganismSnrNameAndClosingQuestion) {
    EXPECT_EQ(organismChoices(), (std::vector<std::string>{"C elegans(>L4)", "Zebrafish(Larvae)",
                                                           "Echinococcus", "Drosophila"}));
    EXPECT_EQ(snrBoxText(0), "1.8");
    EXPECT_EQ(snrBoxText(25), "2.5");
    EXPECT_EQ(snrBoxText(14), "1.4");
    EXPECT_EQ(lapseChoices().front(), "15");
    EXPECT_EQ(lapseChoices().back(), "1440");
    EXPECT_EQ(lapseChoices().size(), 10u);

    SharedState s;
    s.config.Actual_Project_Number = 3;
    s.setup.Name = "Larvae";
    EXPECT_EQ(defaultAcquisitionName(s), "Larvae_3");
    EXPECT_EQ(closingQuestion(s), "Update values to project 3_Larvae before Exit?");

    EXPECT_EQ(plateFormatCaption("w96f"), "96f Microplate");
    EXPECT_EQ(plateFormatCaption("w384"), "384 Microplate");
    s.setup.DSP_Method = 2;
    s.setup.Organism() = 1;
    s.setup.SNRx10() = 0; // nothing stored: the threshold a Zebrafish run starts with
    EXPECT_EQ(detectionText(s.setup), "Detection Mode2, Zebrafish [snr 2.1]");
    s.setup.SNRx10() = 21;
    EXPECT_EQ(detectionText(s.setup), "Detection Mode2, Zebrafish [snr 2.1]");
}

TEST_F(StartupFixture, LoadShowsTheStartingTextsInOrderAndReachesEveryStage) {
    writeProject(3, "Larvae", 45);
    writeConfig(3, 3, 2);
    s.Offline_Mode = true; // left over from before: the load clears it
    s.recording = true;
    s.Blank_Mode = s.BodyBends_Mode = s.Manual_Calibration = true;
    Startup& st = make();
    ASSERT_TRUE(st.load(""));

    EXPECT_EQ(fp.status.on(status::NewsLine),
              (std::vector<std::string>{kNewsReadingConfig, kNewsConfigOk, kNewsNotConnected}));
    // The window's parts run in order, each at its stage; the launcher is shown
    // disabled before the first text and enabled at the end.
    std::vector<std::string> expected = {"testdevice@0", "launcher-disabled", "tools@4",
                                         "settings@5",   "report-default",    "pickers@5",
                                         "defaults@5",   "enable@8"};
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(s.Startup_Stage, 9);
    EXPECT_EQ(timerStarts, 5); // steps 0 to 4, each one tick
    EXPECT_FALSE(timerArmed);
    EXPECT_FALSE(st.runSwitch);
    EXPECT_FALSE(s.Offline_Mode || s.recording || s.Blank_Mode || s.BodyBends_Mode ||
                 s.Manual_Calibration);
    EXPECT_EQ(s.Acq_State, 0);

    // The project and its settings are those of p00003.
    EXPECT_EQ(s.config.Actual_Project_Number, 3);
    EXPECT_EQ(s.config.Serial_COM, 2);
    EXPECT_EQ(s.Project_Folder, dir / "p00003");
    EXPECT_EQ(s.setup.Name, "Larvae");
    EXPECT_EQ(s.setup.Aq_lapse, 45);
    EXPECT_TRUE(fp.prompter.messages.empty()) << fp.prompter.texts().front();
    // No run switch: nothing sleeps its half seconds and no step 5 follows.
    EXPECT_EQ(std::count(fp.clock.sleeps.begin(), fp.clock.sleeps.end(), 500), 0);
}

TEST_F(StartupFixture, MissingConfigEndsTheProgramWithItsMessage) {
    std::remove((dir / kConfigFileName).c_str());
    Startup& st = make();
    EXPECT_FALSE(st.load(""));
    EXPECT_EQ(
        fp.prompter.texts(),
        std::vector<std::string>{"Config file not found: Check correct software installation"});
    EXPECT_EQ(calls.back(), "end 1");
    EXPECT_EQ(indexOf("launcher-disabled"), -1);
    EXPECT_TRUE(fp.status.on(status::NewsLine).empty());
    EXPECT_FALSE(fileExists(dir / kConfigFileName)); // nothing written in its place
}

TEST_F(StartupFixture, AProjectWhoseFolderIsMissingStartsOnProjectZero) {
    writeConfig(7, 9, 1); // p00007 does not exist
    Startup& st = make();
    ASSERT_TRUE(st.load(""));
    EXPECT_EQ(s.config.Actual_Project_Number, 0);
    EXPECT_EQ(s.Project_Folder, dir.path());
    EXPECT_EQ(s.setup.Name, "Default"); // the shipped project 0
    EXPECT_EQ(s.config.Last_Project, 9);
}

TEST_F(StartupFixture, ReportOptionsLoadAtStartUpWithTheLocaleSeparator) {
    // No repoconf.dat: defaults with the locale's separator, written to disk.
    fp.locale.list = ";";
    {
        Startup& st = make();
        ASSERT_TRUE(st.load(""));
    }
    EXPECT_NE(indexOf("report-default"), -1);
    EXPECT_EQ(s.report.spacer, ";");
    ASSERT_TRUE(fileExists(dir / kReportConfigFileName));

    // A user configuration on disk is kept and reported as the user's.
    s.report.Bin = 60;
    FakePorts other;
    ASSERT_TRUE(saveReportConfig(s, 1, other.prompter));
    s.report = ReportConfig{};
    calls.clear();
    Startup& st = make();
    ASSERT_TRUE(st.load(""));
    EXPECT_NE(indexOf("report-user"), -1);
    EXPECT_EQ(s.report.Bin, 60);
    EXPECT_EQ(s.report.User_defined, 1);
}

TEST_F(StartupFixture, RunSwitchConnectsThenPlaysAutorunWithoutQuestions) {
    writeProject(2, "Worms", 3);
    writeConfig(2, 2, 1);
    Startup& st = make();
    ASSERT_TRUE(st.load("  /RUN "));
    EXPECT_TRUE(st.runSwitch);
    // Two half-second pauses around a round of window events, before anything.
    ASSERT_GE(fp.clock.sleeps.size(), 2u);
    EXPECT_EQ(fp.clock.sleeps[0], 500);
    EXPECT_EQ(fp.clock.sleeps[1], 500);

    // load() left the timer armed with step 5; it fires when events run next.
    EXPECT_TRUE(timerArmed);
    EXPECT_EQ(st.startupStep, 5);
    EXPECT_EQ(indexOf("maximized@9"), -1);
    fp.ports.pump.processEvents(); // step 5: main window, Connect (arms step 6)
    EXPECT_NE(indexOf("maximized@9"), -1);
    EXPECT_LT(indexOf("maximized@9"), indexOf("connect"));
    EXPECT_EQ(indexOf("play Autorun project"), -1);
    EXPECT_TRUE(timerArmed);
    fp.ports.pump.processEvents(); // step 6: the acquisition
    EXPECT_EQ(calls.back(), "play Autorun project");
    EXPECT_LT(indexOf("main@9"), indexOf("play Autorun project"));
    EXPECT_FALSE(timerArmed);
    EXPECT_TRUE(fp.prompter.messages.empty());
    EXPECT_TRUE(fp.prompter.prompts.empty());

    // Later ticks of steps 5 and 6 do nothing once unattended mode is over.
    st.forgetRunSwitch();
    size_t before = calls.size();
    st.startupStep = 5;
    st.timerTick();
    st.startupStep = 6;
    st.timerTick();
    EXPECT_EQ(calls.size(), before);
}

TEST_F(StartupFixture, AFailureWhileFillingNamesTheStageAndEnds) {
    hooks.fillSettings = [] { throw std::runtime_error("bad control"); };
    Startup& st = make();
    EXPECT_FALSE(st.load(""));
    EXPECT_EQ(fp.prompter.texts(),
              std::vector<std::string>{"Error loading INIT parameters #ERROR:5"});
    EXPECT_EQ(calls.back(), "end 1");
    EXPECT_EQ(indexOf("enable@8"), -1);
}

TEST_F(StartupFixture, ClosingAsksToSaveUnlessOfflineAndAlwaysReleasesThePort) {
    writeProject(4, "Flies", 30);
    writeConfig(4, 4, 1);
    Startup& st = make();
    ASSERT_TRUE(st.load(""));
    std::string setupFile = joinPath(dir / "p00004", kSetupFileName);
    std::remove(setupFile.c_str());

    // Offline: no question, nothing saved, port released.
    s.Offline_Mode = true;
    calls.clear();
    st.closing();
    EXPECT_TRUE(fp.prompter.messages.empty());
    EXPECT_FALSE(fileExists(setupFile));
    EXPECT_EQ(calls, std::vector<std::string>{"close-port@9"});

    // Connected, answered No: the question, nothing saved.
    s.Offline_Mode = false;
    calls.clear();
    fp.prompter.answer(Answer::No);
    st.closing();
    ASSERT_EQ(fp.prompter.messages.size(), 1u);
    EXPECT_EQ(fp.prompter.messages[0].text, "Update values to project 4_Flies before Exit?");
    EXPECT_EQ(fp.prompter.messages[0].buttons, Buttons::YesNo);
    EXPECT_FALSE(fileExists(setupFile));
    EXPECT_EQ(calls, std::vector<std::string>{"close-port@9"});

    // Answered Yes: the project is written, with the two pauses, then the port.
    s.setup.Aq_lapse = 90;
    fp.clock.sleeps.clear();
    fp.prompter.answer(Answer::Yes);
    st.closing();
    ASSERT_TRUE(fileExists(setupFile));
    ProjectSetup back;
    EXPECT_TRUE(readSetupFile(setupFile, back).ok());
    EXPECT_EQ(back.Aq_lapse, 90);
    EXPECT_EQ(back.Name, "Flies");
    EXPECT_EQ(fp.clock.sleeps, (std::vector<int>{300, 300}));
}

} // namespace
} // namespace trv
