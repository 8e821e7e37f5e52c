// The program's windows offscreen: the launcher's four choices, the main
// window's Play, Pause and Stop against the in-process simulated instrument
// on a real pty, closing, resizing and activation. The ports are fakes, so
// every message and question is scripted and recorded.
#include "TestPaths.h"
#include "app/Frm_Init.h"

#include "app/TrelvaneApp.h"
#include "common/Files.h"
#include "device/ModCOMM.h"
#include "display/Frm_Main.h"
#include "display/QtStatusView.h"
#include "display/SurfaceQt.h"
#include "maintenance/Frm_Arena.h"
#include "maintenance/Frm_Factory.h"
#include "maintenance/MaintenanceWindowsQt.h"
#include "offline/Frm_offline.h"
#include "setup/Frm_setup.h"
#include "store/AcquisitionRecord.h"
#include "store/ConfigFile.h"
#include "store/DemoProject.h"
#include "store/ProjectFile.h"
#include "support/Fakes.h"
#include "support/GuiApplication.h"
#include "support/ShippedFiles.h"
#include "support/SimPorts.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

namespace trv {
namespace {

// A program folder seeded from data/ with the demo project current, the
// simulated instrument on COM1, fake ports whose event pump lets Qt events
// run, and the program's windows over them.
struct ProgramFixture : ::testing::Test {
    test::TempDir home;
    test::SimPorts sims;
    test::FakePorts fp;
    SharedState s;
    std::unique_ptr<TrelvaneApp> app;
    std::vector<int> endCodes;
    int offlineOpened = 0;

    void SetUp() override {
        test::ensureApplication();
        test::seedProgramFolder(home);
        DemoProjectOptions demo;
        demo.lapseMinutes = 3;
        ASSERT_EQ(makeDemoProject(home.path(), demo).project, 1);
        s.Program_Folder = home.path();
        fp.pump.every = [] { QCoreApplication::processEvents(); };
    }
    void TearDown() override {
        app.reset();
        for (int port = 1; port <= kSearchPorts; ++port)
            if (CommIsOpen(port)) CommClose(port);
    }

    sim::SimInstrument& instrument() {
        sim::SimOptions o;
        o.port = 1;
        o.model.seed = 3;
        return sims.start(1, o);
    }

    TrelvaneApp& start(const std::string& commandLine = "") {
        app = std::make_unique<TrelvaneApp>(s, fp.ports);
        app->onEnd = [this](int code) { endCodes.push_back(code); };
        app->openOffline = [this] { ++offlineOpened; };
        EXPECT_TRUE(app->start(commandLine));
        main().run().setFreeDiskMB([](const std::string&) { return 100000LL; });
        return *app;
    }
    Frm_Main& main() { return app->main(); }
    Frm_Init& launcher() { return app->launcher(); }

    int count(const std::string& target, const std::string& text) const {
        auto on = fp.status.on(target);
        return static_cast<int>(std::count(on.begin(), on.end(), text));
    }
    // Lets Qt run (timers included) until the condition holds or time is up.
    static bool waitFor(const std::function<bool()>& done, int ms) {
        return QTest::qWaitFor(done, ms);
    }
};

// Over the Qt status view, the program hands each window the status targets
// it shows.
TEST_F(ProgramFixture, StatusTargetsReachTheControlsOfEveryWindow) {
    QtStatusView view;
    Ports ports{fp.prompter, fp.clock, fp.pump, fp.desktop, fp.locale, view};
    TrelvaneApp program(s, ports);
    Frm_Main& m = program.main();
    const struct {
        const char* target;
        std::function<QString()> shown;
    } cases[] = {
        {status::NewsLine, [&] { return program.launcher().newsLine()->text(); }},
        {status::StatusLine, [&] { return m.lbl_autochannel->text(); }},
        {status::AcquisitionName, [&] { return m.txt_subproject->text(); }},
        {status::NoteLabel, [&] { return m.lbl_autostart->text(); }},
        {status::OfflinePageBox, [&] { return program.offline().txt_page->text(); }},
    };
    for (const auto& c : cases) {
        ports.status.setText(c.target, "shown");
        EXPECT_EQ(c.shown(), "shown") << c.target;
    }
}

TEST_F(ProgramFixture, StartUpLeavesTheLauncherReadyWithTheMainWindowFilled) {
    start();
    // The demo project's report options are the user's: its lapse end
    // writes the report by itself.
    EXPECT_TRUE(main().mn_userbin->isChecked());
    EXPECT_TRUE(launcher().isVisible());
    EXPECT_TRUE(launcher().isEnabled());
    EXPECT_FALSE(main().isVisible());
    EXPECT_EQ(fp.status.on(status::NewsLine),
              (std::vector<std::string>{kNewsReadingConfig, kNewsConfigOk, kNewsNotConnected}));
    EXPECT_TRUE(fp.prompter.messages.empty());

    Frm_Main& m = main();
    EXPECT_EQ(m.windowTitle().toStdString(), "<Trelvane> Acquisition Software  --------> Main");
    EXPECT_EQ(m.txt_projecto->text(), "1_Demo");
    EXPECT_EQ(m.txt_acqlapse->text(), "3");
    EXPECT_EQ(m.txt_wellformat->text(), "96f Microplate");
    EXPECT_EQ(m.txt_subproject->text(), "Demo_1");
    EXPECT_EQ(m.combogrup->count(), 4);
    EXPECT_EQ(m.combogrup->itemText(0), "001_Control");
    EXPECT_EQ(m.Combofila->count(), 8);
    EXPECT_EQ(m.Combocol->count(), 12);
    EXPECT_EQ(m.combo_minutes->itemText(0), "15");
    EXPECT_EQ(m.combo_minutes->currentText(), "30"); // the report bin size
    EXPECT_EQ(m.cmb_organism->count(), 4);
    EXPECT_FALSE(m.CmdPause->isEnabled());
    EXPECT_TRUE(m.mnstatustest->isVisible());
    // Every documented control carries its name.
    for (const char* name :
         {"CmdPlay",         "CmdPause",         "CmdStop",          "Cmdreport",
          "Cmdsetup",        "Cmdoffline",       "cmd_connect",      "Cmd_disconnect",
          "Picact",          "Picreal",          "Combofila",        "Combocol",
          "txtsub",          "lstgrup",          "cmdbeam_minus",    "cmdbeam_plus",
          "Cmdzoom_minus",   "Cmdzoom_plus",     "Cmd_barplot",      "Cmd_gridplot",
          "Cmd_histoplot",   "combogrup",        "cmd_pgup",         "cmd_pgdown",
          "Cmd_readblank",   "cmd_calibra",      "Cmd_autozero",     "combo_minutes",
          "cmb_organism",    "txt_snr_umbral",   "chk_bodybends",    "Frame_temp",
          "Frame_light",     "cmd_nextwindows1", "cmd_nextwindows2", "txttemp",
          "txt_lon",         "txt_loff",         "frm_pulse",        "Txt_time",
          "lbl_temperature", "lbl_torun",        "lbl_autostart",    "lbl_autotext",
          "lbl_autochannel", "lblcalibrando",    "Framereal",        "frm_mn1"})
        EXPECT_NE(m.findChild<QWidget*>(name), nullptr) << name;
    for (const char* name : {"mncontent", "mnabout", "mnexit", "mnstatustest", "mn_userbin",
                             "mn_factory", "lght_ctl", "temp_ctl", "mncom1", "mncom15"})
        EXPECT_NE(m.findChild<QAction*>(name), nullptr) << name;
}

TEST_F(ProgramFixture, TheFourLauncherChoices) {
    instrument();
    start();
    Frm_Init& l = launcher();

    // 4, answered No: the launcher stays.
    fp.prompter.answer(Answer::No);
    l.choose(4);
    EXPECT_TRUE(fp.prompter.saw("Sure to Quit?"));
    EXPECT_TRUE(l.isVisible());
    EXPECT_TRUE(endCodes.empty());

    // 3: the offline browser.
    l.choose(3);
    EXPECT_EQ(offlineOpened, 1);
    EXPECT_FALSE(l.isVisible());
    l.show();

    // 1: the setup window.
    l.choose(1);
    ASSERT_NE(app->setupWindow(), nullptr);
    EXPECT_TRUE(app->setupWindow()->isVisible());
    EXPECT_FALSE(l.isVisible());
    EXPECT_FALSE(main().isVisible());
    app->setupWindow()->hide();
    l.show();

    // 2: the main window, connecting first.
    l.choose(2);
    EXPECT_TRUE(main().isVisible());
    EXPECT_FALSE(l.isVisible());
    EXPECT_TRUE(s.Device_Connected);
    EXPECT_FALSE(s.Offline_Mode);
    EXPECT_TRUE(CommIsOpen(1));
    EXPECT_EQ(count(status::StatusLine, "STARTING....."), 1);

    // "<< Back", then 2 again: already connected, no second connect.
    QTest::mouseClick(main().Cmdoffline, Qt::LeftButton);
    EXPECT_TRUE(l.isVisible());
    EXPECT_FALSE(main().isVisible());
    l.choose(2);
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(count(status::StatusLine, "STARTING....."), 1);

    // 4, answered Yes: unsaved edits are offered for saving as by File >
    // Exit, then the program ends and the port is released.
    main().hide();
    l.show();
    s.setup.Aq_lapse = 7;
    fp.prompter.clear();
    fp.prompter.answer(Answer::Yes);
    fp.prompter.answer(Answer::Yes);
    l.choose(4);
    EXPECT_EQ(fp.prompter.texts(),
              (std::vector<std::string>{"Sure to Quit?",
                                        "Update values to project 1_Demo before Exit?"}));
    EXPECT_EQ(endCodes, std::vector<int>{0});
    EXPECT_FALSE(CommIsOpen(1));
    SharedState back;
    back.Program_Folder = home.path();
    back.Project_Folder = home / "p00001";
    loadProject(back, 1, fp.prompter, fp.status);
    EXPECT_EQ(back.setup.Aq_lapse, 7);
}

TEST_F(ProgramFixture, EditAndBackCarryTheNotesToTheSetupWindow) {
    instrument();
    start();
    launcher().choose(2);
    Frm_Main& m = main();
    Frm_setup& setup = *app->setupWindow();
    m.txt_description->setPlainText("plate 7, 25 degrees");
    QTest::mouseClick(m.Cmdsetup, Qt::LeftButton);
    EXPECT_TRUE(setup.isVisible());
    EXPECT_FALSE(m.isVisible());
    EXPECT_EQ(setup.Txt_description->toPlainText(), "plate 7, 25 degrees");

    // "Continue to Run..." comes back with the notes and the detection summary.
    setup.Txt_description->setPlainText("plate 7, 26 degrees");
    QTest::mouseClick(setup.Command_main, Qt::LeftButton);
    EXPECT_TRUE(m.isVisible());
    EXPECT_FALSE(setup.isVisible());
    EXPECT_EQ(m.txt_description->toPlainText(), "plate 7, 26 degrees");
    EXPECT_EQ(m.txt_detection->text(), "Detection Mode1, C.elegans [snr 1.8]");
    EXPECT_EQ(count(status::StatusLine, "STARTING....."), 1); // connected already

    // "<< Back" hands the notes to the setup window for its next opening.
    m.txt_description->setPlainText("plate 8");
    QTest::mouseClick(m.Cmdoffline, Qt::LeftButton);
    EXPECT_TRUE(launcher().isVisible());
    launcher().choose(1);
    EXPECT_EQ(setup.Txt_description->toPlainText(), "plate 8");
}

TEST_F(ProgramFixture, PlayAsksForANameAndRefusesAnEmptyOne) {
    instrument();
    start();
    launcher().choose(2);
    ASSERT_TRUE(s.Device_Connected);
    fp.prompter.clear();

    fp.prompter.type("");
    QTest::mouseClick(main().CmdPlay, Qt::LeftButton);
    ASSERT_EQ(fp.prompter.prompts.size(), 1u);
    EXPECT_EQ(fp.prompter.prompts[0].title, "New Acquisition");
    EXPECT_EQ(fp.prompter.prompts[0].prompt.rfind(std::string(49, '*') + "\r\n", 0), 0u);
    EXPECT_NE(fp.prompter.prompts[0].prompt.find("***   Enter a Name for this Experiment  ***"),
              std::string::npos);
    EXPECT_EQ(fp.prompter.texts(), std::vector<std::string>{"Each Experiment Requires a name"});
    EXPECT_EQ(s.Acq_State, 0);
    EXPECT_TRUE(main().CmdPlay->isEnabled());
    EXPECT_FALSE(main().timerAdq()->isActive());
    EXPECT_TRUE(listSubfolders(home / "p00001").empty()); // no acquisition folder

    // A cancelled box refuses the same way.
    fp.prompter.cancelInput();
    QTest::mouseClick(main().CmdPlay, Qt::LeftButton);
    EXPECT_EQ(s.Acq_State, 0);
    EXPECT_TRUE(listSubfolders(home / "p00001").empty());
}

TEST_F(ProgramFixture, AnAcquisitionStartsPausesAndStops) {
    instrument();
    start();
    launcher().choose(2);
    ASSERT_TRUE(s.Device_Connected);
    Frm_Main& m = main();
    m.txt_description->setPlainText("first plate");

    fp.prompter.type("Run A");
    QTest::mouseClick(m.CmdPlay, Qt::LeftButton);
    ASSERT_EQ(s.Acq_State, 1) << (fp.prompter.messages.empty() ? "" : fp.prompter.texts().back());
    EXPECT_TRUE(m.timerAdq()->isActive());
    EXPECT_FALSE(m.CmdPlay->isEnabled());
    EXPECT_TRUE(m.CmdPause->isEnabled());
    EXPECT_FALSE(m.Cmdsetup->isEnabled());
    EXPECT_FALSE(m.Cmdoffline->isEnabled());
    EXPECT_TRUE(m.txt_description->isReadOnly());
    EXPECT_FALSE(m.cmb_organism->isEnabled());
    const std::string folder = m.run().acquisitionPath();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(readAcquisitionName(folder), "Run A");
    EXPECT_EQ(readAcquisitionComments(folder), "first plate");

    // The timer samples the instrument.
    ASSERT_TRUE(waitFor([&] { return m.run().tickCount() >= 5; }, 5000));

    // Pause, stopping the time counter.
    fp.prompter.answer(Answer::Yes);
    QTest::mouseClick(m.CmdPause, Qt::LeftButton);
    EXPECT_TRUE(fp.prompter.saw("Pause Time Counter?"));
    EXPECT_EQ(s.Acq_State, 2);
    EXPECT_FALSE(m.timerAdq()->isActive());
    const int32_t ticksWhilePaused = m.run().tickCount();
    QTest::qWait(150);
    EXPECT_EQ(m.run().tickCount(), ticksWhilePaused);

    // Resume.
    QTest::mouseClick(m.CmdPause, Qt::LeftButton);
    EXPECT_EQ(s.Acq_State, 1);
    EXPECT_TRUE(m.timerAdq()->isActive());
    ASSERT_TRUE(waitFor([&] { return m.run().tickCount() > ticksWhilePaused + 2; }, 5000));

    // Connecting or disconnecting cannot happen under a run.
    EXPECT_FALSE(m.cmd_connect->isEnabled());
    EXPECT_FALSE(m.Cmd_disconnect->isEnabled());

    // Stop asks first; No keeps recording.
    fp.prompter.clear();
    fp.prompter.answer(Answer::No);
    QTest::mouseClick(m.CmdStop, Qt::LeftButton);
    EXPECT_EQ(fp.prompter.texts(), std::vector<std::string>{"Stop the running acquisition?"});
    EXPECT_EQ(s.Acq_State, 1);
    EXPECT_TRUE(m.timerAdq()->isActive());
    fp.prompter.answer(Answer::Yes);
    QTest::mouseClick(m.CmdStop, Qt::LeftButton);
    EXPECT_EQ(s.Acq_State, 0);
    EXPECT_TRUE(m.cmd_connect->isEnabled());
    EXPECT_TRUE(m.Cmd_disconnect->isEnabled());
    EXPECT_FALSE(m.timerAdq()->isActive());
    EXPECT_TRUE(m.CmdPlay->isEnabled());
    EXPECT_FALSE(m.CmdPause->isEnabled());
    EXPECT_TRUE(m.Cmdsetup->isEnabled());
    EXPECT_TRUE(m.Cmdoffline->isEnabled());
    EXPECT_FALSE(m.txt_description->isReadOnly());
    EXPECT_TRUE(m.cmb_organism->isEnabled());
    const int32_t ticksAtStop = m.run().tickCount();
    QTest::qWait(120);
    EXPECT_EQ(m.run().tickCount(), ticksAtStop);
    EXPECT_TRUE(CommIsOpen(1)); // the instrument stays connected
}

TEST_F(ProgramFixture, ResizingDuringAnAcquisitionKeepsTheViewAndItsPage) {
    instrument();
    start();
    // Sixteen groups of six wells: the bar plot needs two pages.
    for (int c = 0; c < kChannels; ++c) {
        int well = s.plate.Channel_Well[static_cast<size_t>(c)];
        s.channels.Channel_Group[static_cast<size_t>(c)] =
            well < 0 ? int16_t{-1} : static_cast<int16_t>(well / 6);
    }
    launcher().choose(2);
    Frm_Main& m = main();
    m.resize(1100, 720);
    fp.prompter.type("Paged");
    QTest::mouseClick(m.CmdPlay, Qt::LeftButton);
    ASSERT_EQ(s.Acq_State, 1);

    QTest::mouseClick(m.Cmd_barplot, Qt::LeftButton);
    EXPECT_TRUE(m.cmd_pgup->isVisible());
    QTest::mouseClick(m.cmd_pgup, Qt::LeftButton);
    ASSERT_EQ(m.display().plots.plotPage, 1);

    m.resize(1300, 860);
    QCoreApplication::processEvents();
    EXPECT_EQ(m.display().plots.plotMode, plotmode::Bar);
    EXPECT_EQ(m.display().plots.plotPage, 1);
    EXPECT_TRUE(m.cmd_pgup->isVisible());
    // The plot surface follows the widget.
    EXPECT_EQ(m.Picact->surface().pixelWidth(), m.Picact->width());
    EXPECT_EQ(m.Picact->surface().pixelHeight(), m.Picact->height());
    // The plot area keeps its share of the wider window.
    EXPECT_NEAR(m.Picact->width() / double(m.centralWidget()->width()), 0.59, 0.03);

    QTest::mouseClick(m.Cmd_gridplot, Qt::LeftButton);
    m.resize(1000, 700);
    QCoreApplication::processEvents();
    EXPECT_EQ(m.display().plots.plotMode, plotmode::Heatmap);
    EXPECT_FALSE(m.cmd_pgup->isVisible());

    // Closing the window during the acquisition stops it first (once the
    // user agrees), then asks about the project.
    fp.prompter.clear();
    fp.prompter.answer(Answer::Ok);
    fp.prompter.answer(Answer::No);
    m.close();
    EXPECT_EQ(s.Acq_State, 0);
    EXPECT_FALSE(m.timerAdq()->isActive());
    EXPECT_EQ(fp.prompter.texts(),
              (std::vector<std::string>{"An acquisition is running. Stop it and exit the program?",
                                        "Update values to project 1_Demo before Exit?"}));
    EXPECT_EQ(endCodes, std::vector<int>{0});
    EXPECT_FALSE(CommIsOpen(1));
}

TEST_F(ProgramFixture, ActivationWhileIdleClearsCountsAndZoom) {
    start();
    Frm_Main& m = main();
    // A count left by an earlier acquisition.
    const_cast<RealtimeProcessor&>(m.run().realtime()).totals[5] = 300;
    m.display().signal.zoomReference[5] = 1700;
    s.setup.Aq_lapse = 45; // changed elsewhere meanwhile
    ASSERT_FALSE(m.isVisible());
    m.show(); // what the launcher and the setup window do when they hand over
    const LivePlotData d = runPlotData(m.run());
    for (int c = 0; c < kChannels; ++c)
        ASSERT_EQ(d.total(c), 0) << c;
    EXPECT_EQ(m.display().signal.zoomReference[5], 0);
    EXPECT_EQ(m.txt_acqlapse->text(), "45");
    EXPECT_TRUE(fp.prompter.messages.empty());
}

TEST_F(ProgramFixture, ClosingOfflineAsksNothing) {
    start();
    s.Offline_Mode = true;
    fp.prompter.clear();
    main().close();
    EXPECT_TRUE(fp.prompter.messages.empty());
    EXPECT_EQ(endCodes, std::vector<int>{0});
}

TEST_F(ProgramFixture, ClosingConnectedAsksToSaveTheProject) {
    instrument();
    start();
    launcher().choose(2);
    ASSERT_TRUE(CommIsOpen(1));
    fp.prompter.clear();
    fp.prompter.answer(Answer::No);
    QAction* exit = main().mnexit;
    exit->trigger();
    EXPECT_EQ(fp.prompter.texts(),
              std::vector<std::string>{"Update values to project 1_Demo before Exit?"});
    EXPECT_EQ(endCodes, std::vector<int>{0});
    EXPECT_FALSE(CommIsOpen(1));
}

TEST_F(ProgramFixture, ClosingDuringARecordingAsksWhetherToStopItFirst) {
    instrument();
    start();
    launcher().choose(2);
    Frm_Main& m = main();
    fp.prompter.type("Run A");
    QTest::mouseClick(m.CmdPlay, Qt::LeftButton);
    ASSERT_EQ(s.Acq_State, 1);
    const std::string stopAndExit = "An acquisition is running. Stop it and exit the program?";

    // Cancel: the run and the window stay.
    fp.prompter.clear();
    fp.prompter.answer(Answer::Cancel);
    EXPECT_FALSE(m.close());
    EXPECT_EQ(fp.prompter.texts(), std::vector<std::string>{stopAndExit});
    EXPECT_TRUE(m.isVisible());
    EXPECT_EQ(s.Acq_State, 1);
    EXPECT_TRUE(m.timerAdq()->isActive());
    EXPECT_TRUE(endCodes.empty());

    // OK: stopped, then the project question as always.
    fp.prompter.clear();
    fp.prompter.answer(Answer::Ok);
    fp.prompter.answer(Answer::No);
    m.mnexit->trigger();
    EXPECT_EQ(
        fp.prompter.texts(),
        (std::vector<std::string>{stopAndExit, "Update values to project 1_Demo before Exit?"}));
    EXPECT_EQ(s.Acq_State, 0);
    EXPECT_EQ(endCodes, std::vector<int>{0});
}

TEST_F(ProgramFixture, RunSwitchConnectsAndRecordsWithoutQuestions) {
    instrument();
    start(" /run ");
    ASSERT_TRUE(waitFor([&] { return s.Acq_State == 1; }, 20000));
    EXPECT_TRUE(main().isVisible());
    EXPECT_FALSE(launcher().isVisible());
    EXPECT_EQ(main().run().acqName(), "Autorun project");
    EXPECT_TRUE(fp.prompter.prompts.empty());
    EXPECT_TRUE(fp.prompter.messages.empty());
    EXPECT_EQ(readAcquisitionName(main().run().acquisitionPath()), "Autorun project");
    QTest::mouseClick(main().CmdStop, Qt::LeftButton);
    EXPECT_EQ(s.Acq_State, 0);
    EXPECT_TRUE(fp.prompter.messages.empty()); // an unattended run stops without a question
    EXPECT_FALSE(main().startup().runSwitch);  // stopping ends unattended mode
}

TEST_F(ProgramFixture, ComPortsMenuAndReportBeforeAnyAcquisition) {
    start();
    Frm_Main& m = main();
    m.findChild<QAction*>("mncom3")->trigger();
    EXPECT_EQ(s.config.Serial_COM, 3);
    for (int n = 1; n <= kSearchPorts; ++n)
        EXPECT_EQ(m.findChild<QAction*>(QString("mncom%1").arg(n))->isChecked(), n == 3) << n;
    SharedState back;
    back.Program_Folder = home.path();
    loadConfig(back, fp.prompter);
    EXPECT_EQ(back.config.Serial_COM, 3); // saved at once

    QTest::mouseClick(m.Cmdreport, Qt::LeftButton);
    EXPECT_EQ(fp.prompter.texts(), std::vector<std::string>{"Activity file not Found"});
}

TEST_F(ProgramFixture, TemperatureAndLightPanelsShareOnePlace) {
    start();
    Frm_Main& m = main();
    m.show();
    ASSERT_EQ(m.frontPanel(), nullptr); // the demo project shows neither

    m.temp_ctl->trigger();
    EXPECT_EQ(fp.prompter.texts(),
              std::vector<std::string>{"Only available in some hardware versions"});
    EXPECT_EQ(m.frontPanel(), m.Frame_temp);
    m.lght_ctl->trigger(); // the panel shown last comes to the front
    EXPECT_EQ(m.frontPanel(), m.Frame_light);
    EXPECT_FALSE(m.Frame_temp->isVisible()); // never drawn under the other
    EXPECT_TRUE(m.temp_ctl->isChecked());

    QTest::mouseClick(m.cmd_nextwindows2, Qt::LeftButton); // on the light panel
    EXPECT_EQ(m.frontPanel(), m.Frame_temp);
    QTest::mouseClick(m.cmd_nextwindows1, Qt::LeftButton); // on the temperature panel
    EXPECT_EQ(m.frontPanel(), m.Frame_light);

    fp.prompter.clear();
    m.lght_ctl->trigger(); // hiding asks nothing
    EXPECT_TRUE(fp.prompter.messages.empty());
    EXPECT_EQ(m.frontPanel(), m.Frame_temp);
    EXPECT_FALSE(m.lght_ctl->isChecked());
}

TEST_F(ProgramFixture, HelpOpensTheDocumentAndAboutShowsTheVersion) {
    start();
    main().mncontent->trigger();
    ASSERT_EQ(fp.desktop.calls.size(), 1u);
    EXPECT_EQ(fp.desktop.calls[0].what, "openDocument");
    EXPECT_EQ(fp.desktop.calls[0].args, std::vector<std::string>{home / "trv_help.pdf"});
    EXPECT_TRUE(fp.prompter.messages.empty());
    // Nothing could show it: the user is told where it is.
    fp.desktop.result = false;
    main().mncontent->trigger();
    EXPECT_EQ(fp.prompter.texts(),
              std::vector<std::string>{noViewerMessage(home / "trv_help.pdf")});

    QTimer::singleShot(0, [] {
        QWidget* about = QApplication::activeModalWidget();
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(about->objectName(), "Frm_About");
        auto* version = about->findChild<QLabel*>("Label_version");
        ASSERT_NE(version, nullptr);
        EXPECT_EQ(version->text(), "Version " TRELVANE_VERSION);
        about->close();
    });
    main().mnabout->trigger();
}

TEST_F(ProgramFixture, MaintenanceToolsOpenFromTheMenus) {
    instrument();
    start();
    Frm_Main& m = main();
    m.mn_factory->trigger(); // not connected yet
    EXPECT_EQ(
        fp.prompter.texts(),
        std::vector<std::string>{"Only possible to access in: ONLINE mode and STOP experiment"});
    launcher().choose(2);
    ASSERT_TRUE(s.Device_Connected);

    MaintenanceWindows& tools = app->maintenance();
    m.mn_factory->trigger();
    EXPECT_TRUE(tools.factory().isVisible());
    EXPECT_FALSE(m.isVisible());
    tools.factory().close();
    EXPECT_TRUE(m.isVisible());

    ASSERT_NE(m.findChild<QAction*>("mnarena"), nullptr);
    EXPECT_EQ(m.mnarena->text(), "Calibration Workbench");
    m.mnarena->trigger();
    EXPECT_TRUE(tools.workbench().isVisible());
    EXPECT_FALSE(m.isVisible());
    QTest::mouseClick(tools.workbench().cmdmain, Qt::LeftButton);
    EXPECT_FALSE(tools.workbench().isVisible());
    EXPECT_TRUE(m.isVisible());

    // The device test in the activity drawing, declined at "OK to proceed?".
    fp.prompter.clear();
    for (Answer a : {Answer::Ok, Answer::Ok, Answer::Ok, Answer::No})
        fp.prompter.answer(a);
    m.mnstatustest->trigger();
    EXPECT_TRUE(tools.Timer_test->isActive());
    EXPECT_EQ(fp.status.current[status::NoteLabel],
              "Open and close Trelvane Door to see sensing changes");
    ASSERT_TRUE(waitFor([&] { return !tools.deviceTest().running(); }, 10000));
    EXPECT_EQ(tools.deviceTest().end(), TestEnd::Declined);
    EXPECT_FALSE(tools.Timer_test->isActive());
    EXPECT_EQ(fp.prompter.texts().back(), "OK to proceed?");
    EXPECT_EQ(countLines(home / "testdev96.txt"), 1);
    // Beam 0 was lit and switched off again: its cell in the grid is dark.
    const QImage& picture = m.Picact->surface().image();
    const QPointF cell = m.Picact->surface().toPixel(0.5, 0.3);
    EXPECT_LT(qGray(picture.pixel(cell.toPoint())), 40);
}

} // namespace
} // namespace trv
