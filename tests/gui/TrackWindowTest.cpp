// The offline window's track view and analysis frame offscreen, on a 6-well
// acquisition of fish larvae recorded against the in-process simulated
// instrument: playback on Timer_play with its ".bmp" frames, stop, "Export
// Data" writing the same table as the headless export, and "Analyze" over
// the channel signal view.
#include "TestPaths.h"
#include "app/Frm_Init.h"
#include "app/TrelvaneApp.h"
#include "display/SurfaceQt.h"
#include "integration/RunFixture.h"
#include "offline/Frm_offline.h"
#include "store/ProjectFile.h"
#include "support/GuiApplication.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

namespace trv {
namespace {

struct TrackWindow : ::testing::Test {
    std::unique_ptr<test::RunFixture> rec;
    std::unique_ptr<TrelvaneApp> app;

    void SetUp() override {
        test::ensureApplication();
        sim::SimOptions o = test::RunFixture::defaultSim();
        o.model.organism = sim::Organism::FishLarvae;
        o.model.plateRows = 2;
        o.model.plateColumns = 3;
        o.model.seed = 11;
        rec = std::make_unique<test::RunFixture>(o, "w6");
        copyFile(std::string(TRELVANE_SOURCE_DIR) + "/data/w6.dat", rec->dir / "w6.dat");
        ASSERT_TRUE(loadPlateFormat(rec->s.plate, rec->dir.path(), rec->s.setup.Plate_format,
                                    rec->fake.prompter));
        rec->s.setup.Organism() = 1;
        rec->s.setup.Aq_lapse = 1; // two blocks
        ASSERT_TRUE(saveProject(rec->s));
        rec->fake.clock.set(2024, 3, 15, 9, 30, 0);
        ASSERT_TRUE(rec->play("Larvae"));
        rec->ticksUntilStopped(5000);
        ASSERT_TRUE(rec->run->finished());
        rec->fake.prompter.clear();
        rec->fake.pump.every = [] { QCoreApplication::processEvents(); };
        app = std::make_unique<TrelvaneApp>(rec->s, rec->fake.ports);

        app->launcher().choose(3);
        QListWidget* list = w().Listpj;
        for (int row : {0, 1}) {
            const QPoint at = list->visualItemRect(list->item(row)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        }
        ASSERT_EQ(w().browser().chosenFolder(), rec->acqPath());
    }
    void TearDown() override { app.reset(); }

    Frm_offline& w() { return app->offline(); }
    std::string pageBox() { return w().txt_page->text().toStdString(); }
    void typeThreshold(const QString& text) {
        w().frmtxt_threshold->selectAll();
        QTest::keyClicks(w().frmtxt_threshold, text);
    }
    static void save(Frm_offline& win, const char* variable) {
        if (const char* path = std::getenv(variable)) win.grab().save(path);
    }
};

int bmpFrames(const std::string& folder) {
    int n = 0;
    if (std::filesystem::is_directory(folder))
        for (const auto& e : std::filesystem::directory_iterator(folder)) {
            const std::string name = e.path().filename().string();
            EXPECT_EQ(name.size(), 9u) << name; // five digits + ".bmp"
            ++n;
        }
    return n;
}

TEST_F(TrackWindow, PlaysStopsAndExportsTheHeadlessTable) {
    Frm_offline& win = w();
    ASSERT_TRUE(win.cmd_track->isVisible());
    // Prepared: the plate drawn, the ".bmp" box and the threshold shown,
    // nothing playing; the out-of-range threshold becomes 1.8.
    typeThreshold("7");
    win.chk_bmp->setChecked(true);
    QTest::mouseClick(win.cmd_track, Qt::LeftButton);
    EXPECT_EQ(win.plots().viewMode, offlineview::Track);
    EXPECT_TRUE(win.chk_bmp->isVisible());
    EXPECT_TRUE(win.fmranalizar->isVisible());
    EXPECT_FALSE(win.Cmd_analyze->isEnabled());
    EXPECT_EQ(win.frmtxt_threshold->text(), QStringLiteral("1.8"));
    EXPECT_FALSE(win.Timer_play->isActive());
    EXPECT_EQ(pageBox(), "0/999");
    const std::string bmp = rec->acqPath() + "/bmp";
    EXPECT_TRUE(std::filesystem::is_directory(bmp));

    // Playing: the timer at 20 ms steps through the samples and saves a
    // frame for every step where an animal moved.
    QTest::mouseClick(win.cmd_track, Qt::LeftButton);
    EXPECT_TRUE(win.Timer_play->isActive());
    EXPECT_EQ(win.Timer_play->interval(), 20);
    QTRY_VERIFY_WITH_TIMEOUT(bmpFrames(bmp) >= 2, 20000);
    QTest::mouseClick(win.cmd_track, Qt::LeftButton);
    EXPECT_FALSE(win.Timer_play->isActive());
    const long long stoppedAt = win.tracks().analysis()->position();
    EXPECT_GT(stoppedAt, 0);
    EXPECT_EQ(pageBox(), std::to_string(stoppedAt - 1) + "/999");
    QTest::qWait(100);
    EXPECT_EQ(win.tracks().analysis()->position(), stoppedAt);
    // The picture of the track view (docs/offline-track.png) shows longer paths.
    if (std::getenv("TRELVANE_TRACK_SCREENSHOT")) {
        QTest::mouseClick(win.cmd_track, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(win.tracks().analysis()->position() > 700, 30000);
        QTest::mouseClick(win.cmd_track, Qt::LeftButton);
        save(win, "TRELVANE_TRACK_SCREENSHOT");
    }

    // The right button offers the track pop-up; "Export Data" tracks the
    // rest without drawing and writes the table a headless run writes.
    QTest::mouseClick(win.Picreal, Qt::RightButton);
    EXPECT_TRUE(win.mntrack->isVisible());
    win.mntrack->hide();
    win.mn_datatrack->trigger();
    EXPECT_EQ(win.plots().viewMode, offlineview::None);
    EXPECT_EQ(pageBox(), "999/999");
    const std::string path = rec->acqPath() + "/report.csv";
    ASSERT_EQ(win.tracks().lastTablePath, path);
    ASSERT_FALSE(rec->fake.desktop.calls.empty());
    EXPECT_EQ(rec->fake.desktop.calls.back().args.at(0), path);

    TrackAnalysis headless(win.configuration().plate());
    ASSERT_TRUE(loadTrackTimes(headless, rec->acqPath()));
    TrackRunOptions o;
    o.folder = rec->acqPath();
    ASSERT_TRUE(trackToEnd(headless, o));
    TravelTableHeader h;
    h.folder = rec->acqPath();
    const std::string table = travelDistanceTable(headless, win.configuration().plate(),
                                                  win.configuration().channels(), h);
    auto withoutDate = [](std::string s) { return s.substr(s.find("\r\n")); };
    EXPECT_EQ(withoutDate(readWholeFile(path).value_or("")), withoutDate(table));
    for (int well = 0; well < 6; ++well)
        EXPECT_GT(headless.distance(well), 0.0) << well;
}

TEST_F(TrackWindow, EveryControlStaysInSightAtTheDefaultSize) {
    Frm_offline& win = w();
    win.resize(1100, 700);
    QTest::qWait(50);
    const QRect inside = win.rect();
    for (QWidget* c : std::initializer_list<QWidget*>{
             win.Cmd_leegroups, win.cmdchannels, win.Cmd_barplot, win.Cmd_gridplot,
             win.Cmd_lineplot, win.cmd_track, win.Cmd_report, win.lstgrup_plot, win.txt_search,
             win.cmd_lupa, win.Listpj}) {
        ASSERT_TRUE(c->isVisible()) << c->objectName().toStdString();
        const QRect at(c->mapTo(&win, QPoint(0, 0)), c->size());
        EXPECT_TRUE(inside.contains(at)) << c->objectName().toStdString();
    }
    EXPECT_GE(win.Listpj->width(), 300);
    EXPECT_GE(win.txt_search->width(), 100);
    save(win, "TRELVANE_LAYOUT_SCREENSHOT");
    QTest::mouseClick(win.Cmd_gridplot, Qt::LeftButton);
    save(win, "TRELVANE_HEATMAP_SCREENSHOT");
}

TEST_F(TrackWindow, AnalyzeLaysTheDetectionOverTheChannelSignal) {
    Frm_offline& win = w();
    // The channel signal view of the first well, its page read in the background.
    QTest::mouseClick(win.cmdchannels, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(win.loadingPage(), 0, 10000);
    ASSERT_EQ(win.plots().rawPage.page, 1);
    ASSERT_TRUE(win.fmranalizar->isVisible());
    ASSERT_TRUE(win.Cmd_analyze->isEnabled());

    const QImage before = win.Picreal->surface().image().copy();
    typeThreshold("6");
    win.cmb_modeanalisis->setCurrentIndex(1);
    emit win.cmb_modeanalisis->activated(1);
    QTest::mouseClick(win.Cmd_analyze, Qt::LeftButton);
    // The threshold box keeps an accepted value; the overlay changed the picture.
    EXPECT_EQ(win.frmtxt_threshold->text(), QStringLiteral("6"));
    EXPECT_EQ(win.cmb_modeanalisis->currentIndex(), 1);
    EXPECT_NE(win.Picreal->surface().image(), before);
    const auto bar = rec->fake.status.progress.at(status::OfflineProgress);
    EXPECT_EQ(bar.first, bar.second);
    save(win, "TRELVANE_ANALYSIS_SCREENSHOT");

    typeThreshold("0.5");
    QTest::mouseClick(win.Cmd_analyze, Qt::LeftButton);
    EXPECT_EQ(win.frmtxt_threshold->text(), QStringLiteral("1.8"));
}

} // namespace
} // namespace trv
