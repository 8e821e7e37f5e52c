// The acquisition run's own logic without an instrument: the Play questions
// and refusals, the disk check, the tick's bookkeeping (lapse end, pause,
// counters, failed writes, re-entry), the organism, SNR and body-bends
// controls. The instrument port is port 0, which the serial layer refuses at
// once: every sample is missing and the run carries on as it must.
#include "acquisition/AcquisitionRun.h"
#include "common/Files.h"
#include "store/AcquisitionRecord.h"
#include "store/ConfigFile.h"
#include "store/PlateFormat.h"
#include "support/Fakes.h"
#include "support/RunConfig.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace trv::test {
namespace {

constexpr const char* kStars = "*************************************************";

struct Rig {
    TempDir dir;
    FakePorts fake;
    SharedState s;
    std::unique_ptr<AcquisitionRun> run;
    std::vector<std::string> calls;

    Rig() {
        s.Program_Folder = dir.path();
        s.Project_Folder = dir / projectFolderName(1);
        makeFolder(s.Project_Folder);
        s.config.Actual_Project_Number = 1;
        s.config.Serial_COM = 0; // refused at once by the serial layer
        s.setup.Name = "Proj";
        applyBuiltinPlate(s.plate, "w96f");
        run = std::make_unique<AcquisitionRun>(s, fake.ports);
        run->setAutoCalibration(false);
        run->setAutoZero(false);
        run->setFreeDiskMB([](const std::string&) { return 100000LL; });
        // Every sample is missing here: these tests are about the run's
        // bookkeeping, so its blocks are stored whatever share is held (the
        // share is tested against the simulated instrument).
        run->setMostHeldShare(1.0);
        run->setPrintUnattended(nullptr);
        auto record = [this](const std::string& what) {
            return [this, what] { calls.push_back(what); };
        };
        RunHooks h;
        h.openSetup = record("openSetup");
        h.showReport = [this](bool a) { calls.push_back(a ? "autoreport" : "report"); };
        h.showMainWindow = record("showMainWindow");
        h.refreshActivePlot = record("plot");
        h.setTimer = [this](bool on) { calls.push_back(on ? "timer on" : "timer off"); };
        run->setHooks(std::move(h));
    }
    bool play(const std::string& name = "Exp") {
        fake.prompter.type(name);
        return run->Play();
    }
    void tick(int ms) {
        run->AcquisitionTick();
        fake.clock.advanceMs(ms);
    }
    int count(const std::string& what) const {
        return static_cast<int>(std::count(calls.begin(), calls.end(), what));
    }
    long long countsRecords() const {
        return countsRecordCount(countsFilePath(run->acquisitionPath()));
    }
};

TEST(RunPlay, NamePromptAndTitle) {
    Rig r;
    r.play("First");
    ASSERT_EQ(r.fake.prompter.prompts.size(), 1u);
    const auto& asked = r.fake.prompter.prompts[0];
    const std::string base = std::string(kStars) + "\r\n" +
                             "***   Enter a Name for this Experiment  ***\r\n" + kStars + "\r\n";
    EXPECT_EQ(asked.prompt, base + "Comments:\r\n~~~~~~~\r\n"
                                   "> Auto Calibration is OFF: Remember to read Blank.\r\n");
    EXPECT_EQ(asked.title, "New Acquisition");
    EXPECT_EQ(asked.preset, "Proj_1");
    r.run->setAutoCalibration(true);
    r.run->setAutoZero(true);
    EXPECT_EQ(r.run->namePrompt(), base);
    r.run->setAutoZero(false);
    EXPECT_NE(r.run->namePrompt(), base);
}

TEST(RunPlay, RefusalsLeaveEverythingIdle) {
    {
        Rig r; // empty name, and a cancelled box
        EXPECT_FALSE(r.play(""));
        r.fake.prompter.cancelInput();
        EXPECT_FALSE(r.run->Play());
        EXPECT_EQ(r.fake.prompter.texts(),
                  (std::vector<std::string>{"Each Experiment Requires a name",
                                            "Each Experiment Requires a name"}));
        EXPECT_EQ(r.s.Acq_State, 0);
        EXPECT_FALSE(r.s.recording);
        EXPECT_TRUE(listSubfolders(r.s.Project_Folder).empty());
    }
    {
        Rig r; // project 0
        r.s.config.Actual_Project_Number = 0;
        EXPECT_FALSE(r.play());
        EXPECT_EQ(r.fake.prompter.texts(),
                  std::vector<std::string>{"Operation not allowed in Project #0:Default. Go to "
                                           "<Setup> and Save it with another name"});
        EXPECT_EQ(r.count("openSetup"), 1);
        EXPECT_EQ(r.s.Acq_State, 0);
        EXPECT_TRUE(listSubfolders(r.s.Project_Folder).empty());
    }
    {
        Rig r; // offline
        r.s.Offline_Mode = true;
        EXPECT_FALSE(r.play());
        EXPECT_EQ(r.fake.prompter.texts(),
                  std::vector<std::string>{"Acquisition not allowed in OFFLINE MODE. Connect the "
                                           "equipment and restart the program."});
        EXPECT_EQ(r.s.Acq_State, 0);
        EXPECT_EQ(r.count("timer on"), 0);
    }
    {
        Rig r; // the run switch names the acquisition and asks nothing
        r.run->setRunSwitch(true);
        r.s.setup.Aq_lapse = 10000;
        r.run->setFreeDiskMB([](const std::string&) { return 10LL; });
        EXPECT_TRUE(r.run->Play());
        EXPECT_TRUE(r.fake.prompter.prompts.empty());
        EXPECT_TRUE(r.fake.prompter.messages.empty());
        EXPECT_EQ(readAcquisitionName(r.run->acquisitionPath()), "Autorun project");
        r.run->Stop();
        EXPECT_FALSE(r.run->runSwitch());
    }
}

TEST(RunPlay, DiskCheckTexts) {
    const auto c = AcquisitionRun::diskCheck(10000, 5000);
    EXPECT_TRUE(c.ask); // need 4000 > 1000, though free - need = 1000 is not low
    EXPECT_EQ(c.text, "WARNING:\r\n"
                      "Programmed Acquisition lapse = 10000minutes & RealTime_recording=YES\r\n"
                      "Required Disk space for RealTime Saving = 4000MB\r\n"
                      "Current Disk Space=5000MB\r\n"
                      "\r\nPROCEED?");
    EXPECT_FALSE(AcquisitionRun::diskCheck(1000, 1400).ask); // 400 needed, 1000 left
    const auto low = AcquisitionRun::diskCheck(1000, 1399);
    EXPECT_TRUE(low.ask);
    EXPECT_NE(low.text.find("Current Disk Space=1399MB\r\nLOW DISK SPACE\r\n\r\nPROCEED?"),
              std::string::npos);
    const auto none = AcquisitionRun::diskCheck(1000, 599);
    EXPECT_NE(none.text.find("LOW DISK SPACE\r\nNOT ENOUGH DISK SPACE\r\n (Please, Increase Disk "
                             "Space Availablility or Deselect Realtime recording)\r\nPROCEED?"),
              std::string::npos);
    EXPECT_NE(AcquisitionRun::diskCheck(45, 100).text.find("Saving = 18MB"), std::string::npos);
}

TEST(RunPlay, DiskQuestionOnlyAboveThirtyMinutesWithRealTimeSaving) {
    {
        Rig r;
        r.s.setup.Aq_lapse = 30;
        r.run->setFreeDiskMB([](const std::string&) { return 1LL; });
        EXPECT_TRUE(r.play());
        EXPECT_TRUE(r.fake.prompter.messages.empty());
    }
    {
        Rig r;
        r.s.setup.Aq_lapse = 31;
        r.s.setup.Save_real = 0;
        r.run->setFreeDiskMB([](const std::string&) { return 1LL; });
        EXPECT_TRUE(r.play());
        EXPECT_TRUE(r.fake.prompter.messages.empty());
    }
    {
        Rig r; // No: the setup window opens, nothing starts
        r.s.setup.Aq_lapse = 10000;
        std::string asked;
        r.run->setFreeDiskMB([&](const std::string& path) {
            asked = path;
            return 5000LL;
        });
        r.fake.prompter.answer(Answer::No);
        EXPECT_FALSE(r.play());
        EXPECT_EQ(asked, r.s.Project_Folder);
        ASSERT_EQ(r.fake.prompter.messages.size(), 1u);
        EXPECT_EQ(r.fake.prompter.messages[0].buttons, Buttons::YesNo);
        EXPECT_EQ(r.count("openSetup"), 1);
        EXPECT_EQ(r.s.Acq_State, 0);
        EXPECT_TRUE(listSubfolders(r.s.Project_Folder).empty());
    }
}

TEST(RunPlay, StartsRecordingIntoAFolderOfTheMinute) {
    Rig r;
    r.fake.clock.set(2024, 3, 15, 9, 30, 12);
    withHooks(*r.run,
              [&](RunHooks& h) { h.commentsText = [] { return std::string("two\r\nlines"); }; });
    EXPECT_TRUE(r.play("My \"exp\""));
    EXPECT_EQ(r.run->acqFolder(), "20240315_0930");
    EXPECT_EQ(r.s.Acq_State, 1);
    EXPECT_TRUE(r.s.recording);
    EXPECT_TRUE(r.run->timerRunning());
    EXPECT_EQ(r.fake.status.current["txt_subproject"], "My \"exp\"");
    EXPECT_EQ(readAcquisitionName(r.run->acquisitionPath()), "My 'exp'");
    EXPECT_EQ(readAcquisitionComments(r.run->acquisitionPath()), "two\r\nlines");
    EXPECT_TRUE(fileExists(joinPath(r.run->acquisitionPath(), "setup.dat")));
}

// No instrument answers here, so the link is down: the lapse does not wait
// for the block end (with a link that answers it does; see the runs against
// the simulated instrument), and the unfinished block is not stored.
TEST(RunTick, WithoutAnInstrumentTheLapseDoesNotWaitForTheBlockEnd) {
    Rig r;
    r.s.setup.RT_Buffer = 20;
    r.s.setup.Aq_lapse = 1;
    ASSERT_TRUE(r.play());
    int ticks = 0;
    while (r.run->timerRunning() && ticks < 1000) {
        r.tick(700); // one minute after 86 ticks, mid-block
        ++ticks;
    }
    EXPECT_EQ(ticks, 87);
    EXPECT_TRUE(r.run->finished());
    EXPECT_EQ(r.s.Acq_State, 0);
    EXPECT_EQ(r.countsRecords(), 4);
    EXPECT_EQ(r.count("report"), 1);
    EXPECT_EQ(r.count("plot"), 4);
    EXPECT_TRUE(r.fake.prompter.saw("Acquisition finished"));
    EXPECT_EQ(r.fake.status.current["Txt_time"], "00:01:00 [0d]");
}

TEST(RunTick, UserBinSizeSetsAutoreportAndShowsTheMainWindow) {
    Rig r;
    r.s.setup.RT_Buffer = 10;
    r.s.setup.Aq_lapse = 1;
    r.run->setUserBinSize(true);
    ASSERT_TRUE(r.play());
    while (r.run->timerRunning())
        r.tick(1000);
    EXPECT_EQ(r.count("autoreport"), 1);
    EXPECT_EQ(r.count("showMainWindow"), 1);
    EXPECT_FALSE(r.fake.prompter.saw("Acquisition finished"));
}

TEST(RunTick, CountsRecordsCarryTheMinuteShownAndTheTemperature) {
    Rig r;
    r.s.setup.RT_Buffer = 30;
    r.s.Temp_Offset = 24.0;
    r.s.Temp_Slope = -0.25; // a silent sensor reads -1: 24.25 degrees shown
    ASSERT_TRUE(r.play());
    for (int i = 0; i < 90; ++i)
        r.tick(1000);
    const auto recs = readCounts(countsFilePath(r.run->acquisitionPath()));
    ASSERT_EQ(recs.size(), 3u);
    // A block ends before the tick shows its time: the record has the
    // minute shown by the previous tick (29 s, 59 s and 89 s).
    EXPECT_EQ(recs[0].minutes, 0);
    EXPECT_EQ(recs[1].minutes, 0);
    EXPECT_EQ(recs[2].minutes, 1);
    // A reading without reply is shown as it computes, never stored: 0 is
    // what the reports read as no reading.
    EXPECT_EQ(recs[0].counts[384], 0);
    EXPECT_EQ(r.fake.status.current["lbl_temperature"], "T=24.2*C");
    // With real-time saving on, the raw file holds the same blocks.
    EXPECT_EQ(rawBlockCount(joinPath(r.run->acquisitionPath(), "0.bin"), 30), 3);
}

TEST(RunTick, StoppedBeforeTheFirstBlockEndLeavesNoCounts) {
    Rig r;
    r.s.setup.Save_real = 0;
    ASSERT_TRUE(r.play());
    for (int i = 0; i < 250; ++i)
        r.tick(70);
    r.run->Stop();
    EXPECT_EQ(r.s.Acq_State, 0);
    EXPECT_FALSE(r.run->timerRunning());
    EXPECT_FALSE(fileExists(countsFilePath(r.run->acquisitionPath())));
    EXPECT_FALSE(fileExists(joinPath(r.run->acquisitionPath(), "0.bin")));
}

TEST(RunTick, WithoutRealTimeSavingOnlyCountsAreWritten) {
    Rig r;
    r.s.setup.Save_real = 0;
    r.s.setup.RT_Buffer = 10;
    ASSERT_TRUE(r.play());
    for (int i = 0; i < 25; ++i)
        r.tick(70);
    EXPECT_EQ(r.countsRecords(), 2);
    EXPECT_TRUE(listFiles(r.run->acquisitionPath(), "*.bin") ==
                std::vector<std::string>{"counts.bin"});
}

TEST(RunTick, TwelfthBlockGoesToTheNextFileAndNumberingSurvivesAFailedBlock) {
    Rig r;
    r.s.setup.RT_Buffer = 8;
    int failCounts = 0;
    withFileWriters(*r.run, [&](RunFileWriters& w) {
        w.counts = [&](const std::string& folder, int32_t m, const ChannelArray<int16_t>& c) {
            if (failCounts > 0) {
                --failCounts;
                return false;
            }
            return AppendCounts(folder, m, c);
        };
    });
    ASSERT_TRUE(r.play());
    const std::string folder = r.run->acquisitionPath();
    for (int i = 0; i < 8 * 5; ++i)
        r.tick(100);
    EXPECT_EQ(r.countsRecords(), 5);
    failCounts = 1; // the 6th block cannot be written
    for (int i = 0; i < 8; ++i)
        r.tick(100);
    EXPECT_EQ(r.countsRecords(), 5);
    // The raw block already written for it was taken back.
    EXPECT_EQ(rawBlockCount(joinPath(folder, "0.bin"), 8), 5);
    EXPECT_EQ(fileSize(joinPath(folder, "0.bin")) % rawRecordSize(8), 0);
    EXPECT_EQ(r.s.Acq_State, 1);
    EXPECT_TRUE(r.run->timerRunning());
    // The next ticks run as usual: blocks 7 to 13 are written.
    for (int i = 0; i < 8 * 7; ++i)
        r.tick(100);
    EXPECT_EQ(r.countsRecords(), 12);
    EXPECT_EQ(rawBlockCount(joinPath(folder, "0.bin"), 8), 11);
    EXPECT_EQ(rawBlockCount(joinPath(folder, "1.bin"), 8), 1);
}

// The counts are the experiment's result: a raw block that cannot be
// written stops raw saving (the raw file keeps the blocks before it, in step
// with counts.bin), and the counts records go on.
TEST(RunTick, ARawWriteFailureStopsRawSavingAndTheCountsGoOn) {
    Rig r;
    r.s.setup.RT_Buffer = 8;
    bool failRaw = false;
    withFileWriters(*r.run, [&](RunFileWriters& w) {
        w.raw = [&](const std::string& folder, int n, const SignalBlock& b) {
            return !failRaw && AppendRawBlock(folder, n, b);
        };
    });
    ASSERT_TRUE(r.play());
    for (int i = 0; i < 16; ++i)
        r.tick(100);
    failRaw = true;
    for (int i = 0; i < 8; ++i)
        r.tick(100);
    failRaw = false;
    for (int i = 0; i < 8; ++i)
        r.tick(100);
    EXPECT_EQ(r.countsRecords(), 4);
    EXPECT_EQ(rawBlockCount(joinPath(r.run->acquisitionPath(), "0.bin"), 8), 2);
    EXPECT_TRUE(r.run->rawSavingStopped());
}

TEST(RunTick, ADarkBeamWithRareSpikesCostsNeitherTheBlockNorOtherBeams) {
    Rig r;
    r.s.setup.RT_Buffer = 500;
    r.run->setAutoZero(true);
    const int dark = r.s.plate.wellChannel(0, 0);
    const int lit = r.s.plate.wellChannel(5, 0);
    ASSERT_GE(dark, 0);
    ASSERT_GE(lit, 0);
    // The dark beam's clipping curve runs far past the 16-bit range.
    r.run->setOnSampleStored([&](int i, SignalBlock& raw) {
        raw.at(dark, i) = static_cast<int16_t>(i % 97 == 5 ? 4095 : 0);
        // A lit beam with a little noise and a deep dip every 97 samples.
        raw.at(lit, i) = static_cast<int16_t>(i % 97 < 3 ? 1000 : 1700 + (i % 2 ? 5 : -5));
    });
    ASSERT_TRUE(r.play());
    for (int i = 0; i < 1000; ++i)
        r.tick(70);
    const auto recs = readCounts(countsFilePath(r.run->acquisitionPath()));
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_GE(recs[1].counts[lit], 4); // five dips in the block
    EXPECT_LE(recs[1].counts[lit], 6);
    EXPECT_EQ(rawBlockCount(joinPath(r.run->acquisitionPath(), "0.bin"), 500), 2);
    EXPECT_GE(r.s.channels.Channel_Threshold[dark], 1);
}

TEST(RunTick, IsNeverReEntered) {
    Rig r;
    ASSERT_TRUE(r.play());
    int inner = 0;
    withHooks(*r.run, [&](RunHooks& h) {
        h.drawNewSamples = [&] {
            ++inner;
            r.run->AcquisitionTick(); // a timer event while window events run
        };
    });
    r.tick(70);
    EXPECT_EQ(inner, 1);
    EXPECT_EQ(r.run->tickCount(), 1);
    EXPECT_EQ(r.run->sampleIndex(), 1);
}

TEST(RunTick, SignalViewHooksAndWindowCounter) {
    Rig r;
    r.s.setup.DSP_Interval = 5;
    int draws = 0, toggles = 0, refreshes = 0;
    withHooks(*r.run, [&](RunHooks& h) { h.drawNewSamples = [&] { ++draws; }; });
    withHooks(*r.run, [&](RunHooks& h) { h.toggleTraceColour = [&] { ++toggles; }; });
    withHooks(*r.run, [&](RunHooks& h) { h.refreshSignalAfterStart = [&] { ++refreshes; }; });
    ASSERT_TRUE(r.play());
    for (int i = 0; i < 24; ++i)
        r.tick(70);
    EXPECT_EQ(draws, 12);
    EXPECT_EQ(toggles, 4); // the counter runs 0..5 and wraps every sixth tick
    EXPECT_EQ(refreshes, 1);
}

TEST(RunPause, WithoutTheTimeCounterTheLapseStillEndsAtAnyTick) {
    Rig r;
    r.s.setup.RT_Buffer = 100;
    r.s.setup.Aq_lapse = 1;
    ASSERT_TRUE(r.play());
    for (int i = 0; i < 10; ++i)
        r.tick(1000);
    r.fake.prompter.answer(Answer::No);
    r.run->Pause();
    EXPECT_EQ(r.fake.prompter.messages.back().text, "Pause Time Counter?");
    EXPECT_EQ(r.s.Acq_State, 2);
    EXPECT_TRUE(r.run->timerRunning());
    EXPECT_EQ(r.fake.status.current["statusLine"], "Time Counter = ON");
    EXPECT_EQ(r.fake.status.current["statusCaption"], "<< PAUSED >>");
    EXPECT_TRUE(r.fake.status.visible["statusFrame"]);
    const int sample = r.run->sampleIndex();
    int ticks = 0;
    while (r.run->timerRunning() && ticks < 100) {
        r.tick(1000);
        ++ticks;
    }
    EXPECT_EQ(ticks, 51); // minute 1 reached mid-block, while paused
    EXPECT_EQ(r.run->sampleIndex(), sample);
    EXPECT_TRUE(r.run->finished());
    EXPECT_EQ(r.s.Acq_State, 0);
    EXPECT_EQ(r.countsRecords(), 0);
}

TEST(RunPause, WithTheTimeCounterStoppedThePauseDoesNotCount) {
    Rig r;
    r.s.setup.RT_Buffer = 10;
    r.s.setup.Aq_lapse = 2;
    ASSERT_TRUE(r.play());
    for (int i = 0; i < 30; ++i)
        r.tick(1000);
    r.fake.prompter.answer(Answer::Yes);
    r.run->Pause();
    EXPECT_FALSE(r.run->timerRunning());
    EXPECT_EQ(r.fake.status.current["statusLine"], "Time Counter = OFF");
    r.fake.clock.advanceMs(3600 * 1000); // an hour away
    r.run->Pause();                      // resume
    EXPECT_EQ(r.s.Acq_State, 1);
    EXPECT_TRUE(r.run->timerRunning());
    EXPECT_FALSE(r.fake.status.visible["statusFrame"]);
    EXPECT_EQ(r.run->ticksSinceStart(), 0);
    int ticks = 0;
    while (r.run->timerRunning() && ticks < 1000) {
        r.tick(1000);
        ++ticks;
    }
    // The first tick with 120 s counted: 30 + 89 s fall short, 30 + 90 s do
    // not (the hour away never counts; no instrument answers here, so no
    // warm-up pauses add to the time, and with the link down the lapse does
    // not wait for the block end).
    EXPECT_EQ(ticks, 91);
    EXPECT_EQ(r.countsRecords(), 12);
}

TEST(RunStop, HooksAndOutputs) {
    Rig r;
    std::vector<std::string> seen;
    withHooks(*r.run, [&](RunHooks& h) {
        h.enableCmdPlay = [&](bool on) { seen.push_back(on ? "play+" : "play-"); };
    });
    withHooks(*r.run, [&](RunHooks& h) {
        h.enableCmdPause = [&](bool on) { seen.push_back(on ? "pause+" : "pause-"); };
    });
    withHooks(*r.run, [&](RunHooks& h) {
        h.lockComments = [&](bool on) { seen.push_back(on ? "lock" : "unlock"); };
    });
    withHooks(*r.run, [&](RunHooks& h) {
        h.lockOrganism = [&](bool on) { seen.push_back(on ? "org-lock" : "org-unlock"); };
    });
    ASSERT_TRUE(r.play());
    EXPECT_EQ(seen, (std::vector<std::string>{"lock", "play-", "pause+", "org-lock"}));
    seen.clear();
    r.run->panels().out.lightOn = r.run->panels().out.tempOn = r.run->panels().out.heating = true;
    r.run->Stop();
    EXPECT_EQ(seen, (std::vector<std::string>{"pause-", "play+", "unlock", "org-unlock"}));
    EXPECT_FALSE(r.run->panels().out.lightOn);
    EXPECT_FALSE(r.run->panels().out.tempOn);
    EXPECT_TRUE(r.run->panels().out.heating);
    EXPECT_FALSE(r.fake.status.visible["lblcalibrando"]);
}

TEST(RunTick, BodyBendsGroupsCycle) {
    Rig r;
    applyBuiltinPlate(r.s.plate, "w96u");
    withControls(*r.run, [](RunControls& c) { c.plateFormatLabel = "w96u"; });
    r.run->chk_bodybends_Click(true);
    r.s.setup.RT_Buffer = 8;
    ASSERT_TRUE(r.play());
    std::vector<int> groups{static_cast<int>(r.run->bodyBendsGroup())};
    for (int block = 0; block < 3; ++block) {
        for (int i = 0; i < 8; ++i)
            r.tick(100);
        groups.push_back(r.run->bodyBendsGroup());
    }
    EXPECT_EQ(groups, (std::vector<int>{0, 64, 0, 64}));
    const std::string folder = r.run->acquisitionPath();
    EXPECT_EQ(histogramRecordCount(joinPath(folder, "histo0000.bin")), 3);
}

TEST(RunElapsed, Text) {
    EXPECT_EQ(AcquisitionRun::elapsedText(0), "00:00:00 [0d]");
    EXPECT_EQ(AcquisitionRun::elapsedText(3723.0 / 86400), "01:02:03 [0d]");
    EXPECT_EQ(AcquisitionRun::elapsedText(2 + 86399.0 / 86400), "23:59:59 [2d]");
}

TEST(RunControls, OrganismPresetsAndTheSnrBox) {
    Rig r;
    r.run->cmb_organism_Click(1);
    EXPECT_EQ(r.run->controls().txt_snr_umbral, "2.1");
    EXPECT_DOUBLE_EQ(r.run->snr(), 2.1);
    EXPECT_EQ(r.run->controls().snrLabel, ">>>>");
    EXPECT_FALSE(r.run->controls().snrBoxVisible);
    EXPECT_EQ(r.s.setup.Organism(), 1);
    r.run->cmb_organism_Click(2);
    EXPECT_EQ(r.run->controls().snrLabel, "> Zero SNR:");
    EXPECT_TRUE(r.run->controls().snrBoxVisible);
    withControls(*r.run,
                 [](RunControls& c) { c.txt_snr_umbral = "1.2"; }); // 1.4 or less becomes 1.8
    r.run->cmb_organism_Click(2);
    EXPECT_DOUBLE_EQ(r.run->snr(), 1.8);
    EXPECT_EQ(r.run->controls().txt_snr_umbral, "1.8");
    r.run->setSnr(3.3);
    r.run->cmb_organism_Click(3); // Drosophila changes nothing
    EXPECT_DOUBLE_EQ(r.run->snr(), 3.3);

    r.run->cmb_organism_Click(0);
    r.run->txt_snr_umbral_LostFocus("2,55");
    EXPECT_EQ(r.s.setup.SNRx10(), 26);
    EXPECT_EQ(r.run->controls().txt_snr_umbral, "2.5"); // one decimal of the binary 2.55
    EXPECT_EQ(r.run->controls().cmb_organism, 2);
    EXPECT_EQ(r.run->controls().organismText, "Echinococcus");
    EXPECT_TRUE(r.fake.prompter.messages.empty());
    for (const char* bad : {"1", "5.1", "abc", ""}) {
        r.run->txt_snr_umbral_LostFocus(bad);
        EXPECT_EQ(r.fake.prompter.messages.back().text, "Invalid value: 1.1 to 5.0") << bad;
        EXPECT_EQ(r.run->controls().txt_snr_umbral, "1.8");
        EXPECT_EQ(r.s.setup.SNRx10(), 18);
    }
    r.run->txt_snr_umbral_LostFocus("5");
    EXPECT_EQ(r.s.setup.SNRx10(), 50);

    r.run->lbl_snr_Click();
    EXPECT_FALSE(r.run->controls().snrBoxVisible);
    EXPECT_EQ(r.run->controls().snrLabel, ">>>>");
    r.run->lbl_snr_Click();
    EXPECT_TRUE(r.run->controls().snrBoxVisible);
}

TEST(RunControls, StartUpFillTakesTheProjectsOrganismAndSnr) {
    Rig r;
    r.s.setup.Organism() = 2;
    r.s.setup.SNRx10() = 25;
    r.s.setup.Enab_Cal() = 0;
    r.s.setup.Enab_Zero() = 1;
    r.run->FillControls();
    EXPECT_EQ(r.run->controls().txt_snr_umbral, "2.5");
    EXPECT_DOUBLE_EQ(r.run->snr(), 2.5);
    EXPECT_FALSE(r.run->switches().autoCalibration);
    EXPECT_TRUE(r.run->switches().autoZero);
    EXPECT_TRUE(r.run->calibration().controls.cmd_calibra);
    EXPECT_FALSE(r.run->calibration().controls.Cmd_autozero);
    r.s.setup.Organism() = 0; // the preset puts 1.8 whatever was stored
    r.run->FillControls();
    EXPECT_DOUBLE_EQ(r.run->snr(), 1.8);
    r.s.setup.Organism() = 5;
    r.s.setup.SNRx10() = 0;
    r.run->FillControls();
    EXPECT_EQ(r.run->controls().organismText, "size 0.1-1mm");
    EXPECT_EQ(r.run->controls().txt_snr_umbral, "1.8");
}

TEST(RunControls, BodyBendsOnlyOnW96u) {
    Rig r;
    bool histogramButton = false;
    withHooks(*r.run,
              [&](RunHooks& h) { h.showHistogramButton = [&](bool on) { histogramButton = on; }; });
    withControls(*r.run, [](RunControls& c) {
        c.plateFormatLabel = "w96f";
        c.bodyBendsVisible = true;
    });
    r.run->chk_bodybends_Click(true);
    EXPECT_FALSE(r.s.BodyBends_Mode);
    EXPECT_FALSE(r.run->controls().chk_bodybends);
    EXPECT_FALSE(r.run->controls().bodyBendsVisible);
    EXPECT_TRUE(r.fake.prompter.messages.empty());

    withControls(*r.run, [](RunControls& c) { c.plateFormatLabel = "w96u"; });
    r.run->chk_bodybends_Click(true);
    EXPECT_TRUE(r.s.BodyBends_Mode);
    EXPECT_TRUE(histogramButton);
    EXPECT_EQ(r.fake.prompter.texts(),
              std::vector<std::string>{"WARNING!\r\nExperimental functionality! Beta "
                                       "testing.\r\nContact us for more information"});
    r.run->chk_bodybends_Click(false);
    EXPECT_FALSE(r.s.BodyBends_Mode);
    EXPECT_FALSE(histogramButton);

    r.s.setup.Plate_format = "w96u";
    r.s.setup.RT_Buffer = 50;
    r.run->ActivationRefresh();
    EXPECT_TRUE(r.run->controls().bodyBendsEnabled);
    EXPECT_FALSE(r.run->controls().bodyBendsVisible);
    EXPECT_EQ(r.run->realtime().rawBlock.sampleCount(), 51);
}

} // namespace
} // namespace trv::test
