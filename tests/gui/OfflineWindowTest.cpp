// The offline browser offscreen, on an acquisition recorded against the
// in-process simulated instrument: the launcher opens it, the list filters,
// expands and tags, an acquisition opens with its bar plot, "Report" opens
// the report window, "<< Back" returns to the launcher.
#include "app/Frm_Init.h"
#include "app/TrelvaneApp.h"
#include "display/SurfaceQt.h"
#include "integration/RunFixture.h"
#include "offline/Frm_offline.h"
#include "reports/ReportWindowsQt.h"
#include "reports/frm_report.h"
#include "store/AcquisitionRecord.h"
#include "store/ProjectFile.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEnterEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>
#include <QTimer>

#include <gtest/gtest.h>

namespace trv {
namespace {

void ensureApplication() {
    if (QApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_gui";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

// Project 1 ("Test", 96-well plate) with one acquisition of about a minute
// recorded against the simulator, then the program's windows over the same
// program folder.
struct OfflineWindow : ::testing::Test {
    std::unique_ptr<test::RunFixture> rec;
    std::unique_ptr<TrelvaneApp> app;
    std::string acquisition;

    void SetUp() override {
        ensureApplication();
        rec = std::make_unique<test::RunFixture>();
        rec->s.setup.Aq_lapse = 1;
        rec->s.setup.Name = "Larvae \"A\"";
        ASSERT_TRUE(saveProject(rec->s));
        rec->fake.clock.set(2024, 3, 15, 9, 30, 0);
        ASSERT_TRUE(rec->play("Heat shock"));
        rec->ticksUntilStopped(20000);
        ASSERT_GT(countsRecordCount(countsFilePath(rec->acqPath())), 0);
        acquisition = rec->acqPath();
        rec->fake.prompter.clear();
        rec->fake.pump.every = [] { QCoreApplication::processEvents(); };
        app = std::make_unique<TrelvaneApp>(rec->s, rec->fake.ports);
    }
    void TearDown() override { app.reset(); }

    Frm_offline& w() { return app->offline(); }
    QPoint rowCentre(int row) { return w().Listpj->visualItemRect(w().Listpj->item(row)).center(); }
    // A press and release, then the double click (the widget overload of
    // mouseDClick sends only the double click itself).
    void doubleClick(int row) {
        QTest::mouseClick(w().Listpj->viewport(), Qt::LeftButton, {}, rowCentre(row));
        QTest::mouseDClick(w().Listpj->viewport(), Qt::LeftButton, {}, rowCentre(row));
    }
    static bool painted(const QImage& img) {
        for (int y = 0; y < img.height(); y += 3)
            for (int x = 0; x < img.width(); x += 3)
                if (img.pixel(x, y) != qRgb(255, 255, 255)) return true;
        return false;
    }
};

TEST_F(OfflineWindow, EveryControlCarriesItsName) {
    app->launcher().choose(3);
    const char* names[] = {
        "Listpj",       "lblproject",   "lbl_date",         "lbl_orden",        "txt_search",
        "cmd_lupa",     "Cmd_main",     "Picreal",          "Cmd_leegroups",    "cmdchannels",
        "Cmd_barplot",  "Cmd_gridplot", "Cmd_lineplot",     "lstgrup_plot",     "txt_page",
        "scrollpage",   "frm_bin",      "txt_bin",          "cmd_minus",        "cmd_plus",
        "combogrup",    "lstgrup",      "lblcanal",         "Combofila",        "Combocol",
        "txtsub",       "fmranalizar",  "frmtxt_threshold", "cmb_modeanalisis", "Cmd_analyze",
        "Pic_status",   "chk_bmp",      "cmd_track",        "Cmd_report",       "Txt_description",
        "lbl_tags",     "List_tags",    "Framegrup",        "combogrup2",       "lstgrup2",
        "lstchgrup2",   "Combo_sets",   "cmd_goset",        "Cmd_clear",        "cmdcancelgrups",
        "Timer_button", "mnlist",       "mn_tag",           "mn_replicate",     "mnexport",
        "mnjoint",      "mnline",       "mnplate",          "mntrack"};
    for (const char* n : names)
        EXPECT_NE(w().findChild<QObject*>(QString::fromLatin1(n)), nullptr) << n;
    EXPECT_EQ(w().windowTitle(),
              QStringLiteral("<Trelvane> Acquisition Software  --------> Report analysis"));
    // At open: nothing of an acquisition is shown yet.
    EXPECT_TRUE(w().isVisible());
    EXPECT_FALSE(app->launcher().isVisible());
    EXPECT_FALSE(w().Txt_description->isVisible());
    EXPECT_FALSE(w().chk_bmp->isVisible());
    EXPECT_FALSE(w().Framegrup->isVisible());
    EXPECT_FALSE(w().Cmd_report->isEnabled());
    EXPECT_EQ(w().cmb_modeanalisis->currentText(), QStringLiteral("Mode:0"));
    EXPECT_EQ(w().frmtxt_threshold->text(), QStringLiteral("1.8"));
}

TEST_F(OfflineWindow, ListsFiltersTagsAndOpensARecordedAcquisition) {
    app->launcher().choose(3);
    Frm_offline& win = w();
    ASSERT_EQ(win.Listpj->count(), 1);
    EXPECT_EQ(win.Listpj->item(0)->text(), QStringLiteral("+ 2024.0315     p00001_Larvae 'A'"));

    // The header labels turn green under the mouse, blue again by the timer.
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(win.lbl_date, &enter);
    EXPECT_TRUE(win.lbl_date->styleSheet().contains("rgb(0,255,0)"));
    EXPECT_TRUE(win.Timer_button->isActive());
    QTest::qWait(win.Timer_button->interval() + 200);
    EXPECT_TRUE(win.lbl_date->styleSheet().contains("rgb(0,0,255)"));

    // Filter: no match, then a match through the acquisition's name.
    win.txt_search->setText("nothing here");
    QTest::mouseClick(win.cmd_lupa, Qt::LeftButton);
    EXPECT_EQ(win.Listpj->count(), 0);
    win.txt_search->setText("shock");
    QTest::keyClick(win.txt_search, Qt::Key_Return);
    ASSERT_EQ(win.Listpj->count(), 1);

    // Expand, then tag the acquisition from the pop-up menu.
    doubleClick(0);
    ASSERT_EQ(win.Listpj->count(), 2);
    const std::string folder = acquisition.substr(acquisition.rfind('/') + 1);
    EXPECT_EQ(win.browser().list().acquisitionAt(1), folder);
    QTest::mouseClick(win.Listpj->viewport(), Qt::LeftButton, {}, rowCentre(1));
    ASSERT_TRUE(win.browser().tagMenuVisible());
    win.mn_tags[3]->trigger();
    EXPECT_TRUE(win.Listpj->item(1)->text().endsWith("[K3]"));
    EXPECT_EQ(tagTextOf(rec->dir / "p00001", folder), "[K3]");

    // Open it: the bar plot, the header, the tags and the comments.
    doubleClick(1);
    EXPECT_TRUE(win.Cmd_report->isEnabled());
    EXPECT_TRUE(win.cmdchannels->isEnabled());
    EXPECT_TRUE(win.Cmd_report->text().endsWith(" => REPORT"));
    EXPECT_TRUE(win.Txt_description->isVisible());
    EXPECT_EQ(win.Txt_description->toPlainText(), QStringLiteral("Protocol Comments:"));
    ASSERT_EQ(win.List_tags->count(), 1);
    EXPECT_EQ(win.List_tags->item(0)->text(), QStringLiteral("[K3]"));
    EXPECT_GT(win.lstgrup_plot->count(), 0);
    EXPECT_TRUE(painted(win.Picreal->surface().image()));
    EXPECT_TRUE(rec->fake.prompter.messages.empty()) << rec->fake.prompter.texts().front();

    // A picture of the window (docs/offline-browser.png), drawn again at the
    // plot's final size.
    if (const char* shot = std::getenv("TRELVANE_OFFLINE_SCREENSHOT")) {
        QTest::mouseClick(win.Cmd_leegroups, Qt::LeftButton);
        win.grab().save(shot);
    }

    // Comments typed in the box are kept when it loses the focus.
    win.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&win));
    win.Txt_description->setFocus();
    win.Txt_description->moveCursor(QTextCursor::End);
    QTest::keyClicks(win.Txt_description, " 5 uM");
    win.txt_search->setFocus();
    EXPECT_EQ(readAcquisitionComments(acquisition), "Protocol Comments: 5 uM");

    // "Report" opens the report window on this acquisition.
    QTest::mouseClick(win.Cmd_report, Qt::LeftButton);
    frm_report* report = app->reports().existingReport();
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->isVisible());
    EXPECT_EQ(report->windowTitle(), win.Cmd_report->text());

    // "<< Back": the launcher again.
    QTest::mouseClick(win.Cmd_main, Qt::LeftButton);
    EXPECT_FALSE(win.isVisible());
    EXPECT_TRUE(app->launcher().isVisible());
}

} // namespace
} // namespace trv
