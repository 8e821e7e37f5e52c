// The offline browser offscreen, on an acquisition recorded against the
// in-process simulated instrument: the launcher opens it, the list filters,
// expands and tags, an acquisition opens with its bar plot, "Report" opens
// the report window, "<< Back" returns to the launcher; the raw signal pages
// while the window keeps answering.
#include "acquisition/DataFiles.h"
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
        // The pictures of the README show a full raw page: 33 minutes of
        // 35-second blocks fill six raw files.
        rec->s.setup.Aq_lapse = std::getenv("TRELVANE_OFFLINE_RAW_SCREENSHOT") ? 33 : 1;
        rec->s.setup.Name = "Larvae \"A\"";
        ASSERT_TRUE(saveProject(rec->s));
        rec->fake.clock.set(2024, 3, 15, 9, 30, 0);
        ASSERT_TRUE(rec->play("Heat shock"));
        rec->ticksUntilStopped(40000);
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
    // Any pixel (of that colour) from column `from` on.
    static bool painted(const QImage& img, QRgb colour = 0, int from = 0) {
        for (int y = 0; y < img.height(); ++y)
            for (int x = from; x < img.width(); ++x)
                if (colour ? img.pixel(x, y) == colour : img.pixel(x, y) != qRgb(255, 255, 255))
                    return true;
        return false;
    }
    // Expands project 1 and chooses its acquisition.
    void openAcquisition() {
        app->launcher().choose(3);
        doubleClick(0);
        ASSERT_EQ(w().Listpj->count(), 2);
        doubleClick(1);
        ASSERT_TRUE(w().Cmd_report->isEnabled());
        ASSERT_TRUE(w().Cmd_barplot->isEnabled());
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
    EXPECT_FALSE(w().Cmd_barplot->isEnabled());
    EXPECT_FALSE(w().Cmd_gridplot->isEnabled());
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

TEST_F(OfflineWindow, PagesTheRawSignalWhileTheWindowAnswers) {
    // A one-minute recording holds one raw file; copies of it make six
    // files, two pages (files 0-4 and 5).
    const std::string first = joinPath(acquisition, rawFileName(0));
    ASSERT_TRUE(fileExists(first));
    for (int n = 1; n <= 5; ++n) {
        const std::string file = joinPath(acquisition, rawFileName(n));
        if (!fileExists(file)) {
            ASSERT_EQ(copyFile(first, file), 1);
        }
    }
    openAcquisition();
    Frm_offline& win = w();

    QTest::mouseClick(win.cmdchannels, Qt::LeftButton);
    EXPECT_EQ(win.cmdchannels->text(), QStringLiteral("[Channel Signal]"));
    EXPECT_FALSE(win.lstgrup_plot->isVisible());
    EXPECT_FALSE(win.Cmd_barplot->isVisible());
    EXPECT_TRUE(win.combogrup->isVisible());
    EXPECT_TRUE(win.Pic_status->isVisible());
    EXPECT_GT(win.lstgrup->count(), 0); // the wells of the group the picker shows
    ASSERT_TRUE(QTest::qWaitFor([&] { return win.loadingPage() == 0; }));
    EXPECT_EQ(win.plots().currentPage, 1);
    EXPECT_EQ(win.txt_page->text(), QStringLiteral("1/2"));
    EXPECT_EQ(win.scrollpage->maximum(), 2);
    EXPECT_EQ(win.Pic_status->value(), 100);
    // Beam 0 of the first well is drawn in red.
    EXPECT_TRUE(painted(win.Picreal->surface().image(), qRgb(255, 0, 0)));

    // A wider window: page 1 (whose fifth file lies at four
    // fifths of the width) is drawn again over the whole plot.
    const int oldWidth = win.Picreal->width();
    win.resize(win.width() + 300, win.height());
    ASSERT_GT(win.Picreal->width(), oldWidth + 100);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return painted(win.Picreal->surface().image(), qRgb(255, 0, 0), oldWidth + 50); }));
    win.resize(win.width() - 300, win.height());
    // Page 2 is read on a worker thread: the scroll bar's change returns at
    // once, the page box tells the page, and the page is drawn when it comes.
    win.scrollpage->setValue(2);
    EXPECT_EQ(win.loadingPage(), 2);
    EXPECT_EQ(win.plots().currentPage, 1);
    EXPECT_EQ(win.txt_page->text(), QStringLiteral("2/2"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return win.loadingPage() == 0; }));
    EXPECT_EQ(win.plots().currentPage, 2);
    EXPECT_EQ(win.scrollpage->value(), 2);
    EXPECT_TRUE(win.plots().rawPage.has(0));
    EXPECT_FALSE(win.plots().rawPage.has(RawPageLayout::kBlocksPerFile * 2));
    EXPECT_TRUE(painted(win.Picreal->surface().image(), qRgb(255, 0, 0)));
    if (const char* shot = std::getenv("TRELVANE_OFFLINE_RAW_SCREENSHOT")) {
        win.scrollpage->setValue(1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return win.loadingPage() == 0; }));
        win.grab().save(shot);
    }

    // The group picker fills the well list; a well chosen there moves the
    // row and column pickers to it.
    ASSERT_GT(win.combogrup->count(), 1);
    win.combogrup->setCurrentIndex(1);
    emit win.combogrup->activated(1);
    ASSERT_GT(win.lstgrup->count(), 0);
    const QString label = win.lstgrup->item(0)->text(); // "B1.0"
    win.lstgrup->setCurrentRow(0);
    QTest::keyClick(win.lstgrup, Qt::Key_Return);
    EXPECT_EQ(win.Combofila->currentText(), label.left(1));
    EXPECT_EQ(win.Combocol->currentText(), label.mid(1, label.indexOf('.') - 1));
    EXPECT_EQ(win.plots().pickedChannel(),
              win.configuration().plate().wellChannel((win.Combocol->currentText().toInt() -
                                                       1) * win.configuration().plate().Plate_Rows +
                                                          (label.at(0).toLatin1() - 'A'),
                                                      0));

    // In the heat map the scroll bar goes back to the current page.
    QTest::mouseClick(win.Cmd_leegroups, Qt::LeftButton);
    EXPECT_TRUE(win.lstgrup_plot->isVisible());
    QTest::mouseClick(win.Cmd_gridplot, Qt::LeftButton);
    if (const char* shot = std::getenv("TRELVANE_OFFLINE_HEATMAP_SCREENSHOT"))
        win.grab().save(shot);
    win.scrollpage->setValue(1);
    EXPECT_EQ(win.loadingPage(), 0);
    EXPECT_EQ(win.scrollpage->value(), win.plots().currentPage);
    EXPECT_TRUE(rec->fake.prompter.messages.empty()) << rec->fake.prompter.texts().front();
}

} // namespace
} // namespace trv
