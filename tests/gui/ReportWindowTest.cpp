// The report window and the options dialog offscreen: named controls, a
// Rows report from "Generate...", the raw-data frame, STOP, the automatic
// report, and the options dialog's Apply and Back to Default.
// TRELVANE_SHOT_DIR=<folder> also saves pictures of the windows there.
#include "reports/AcquisitionFixture.h"

#include "GuiApplication.h"
#include "reports/RawAcquisition.h"
#include "reports/ReportWindowsQt.h"
#include "reports/frm_report.h"
#include "reports/frm_reportset.h"
#include "store/ReportConfigFile.h"
#include "store/StoreText.h"
#include "support/Fakes.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

namespace trv {
namespace {

void shot(QWidget* w, const char* name) {
    const QByteArray dir = qgetenv("TRELVANE_SHOT_DIR");
    if (dir.isEmpty()) return;
    w->grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
}

std::string readAll(const std::string& path) {
    auto s = readWholeFile(path);
    return s ? *s : std::string();
}

class ReportWindowGui : public ::testing::Test {
  protected:
    test::AcquisitionFixture fx;
    test::FakePorts fake;
    SharedState s;
    bool userBin = false;
    std::vector<int> mainBins;
    std::unique_ptr<ReportWindows> windows;
    std::string acq;

    void SetUp() override {
        test::ensureApplication();
        s.Program_Folder = fx.program;
        test::copyShippedPlates(fx.program);
        test::RawAcquisitionPlan plan;
        plan.plate = "wsix";
        plan.minutes = test::minuteTimes(180);
        plan.distinctBlocks = 5;
        acq = joinPath(fx.project, "20240315_0930");
        test::writeRawAcquisition(acq, plan);
        ReportWindowsHooks h;
        h.userBinSize = [this] { return userBin; };
        h.setUserBinSize = [this](bool on) { userBin = on; };
        h.mainBinSize = [this](int b) { mainBins.push_back(b); };
        windows = std::make_unique<ReportWindows>(s, fake.ports, h);
    }
    void TearDown() override { windows.reset(); }
};

TEST_F(ReportWindowGui, EveryControlCarriesItsName) {
    frm_report& w = windows->report();
    EXPECT_EQ(w.windowTitle(), "Report Output");
    for (const char* name :
         {"Txt_inputfile", "Cmb_binsize", "cmbbasal", "txt_customspacer", "chk_autoreport",
          "Cmd_generate", "Cmd_cancel", "Frame_run", "Cmb_dspmethod", "Cmb_organism",
          "frmtxt_threshold", "frmtxt_datalapse", "Chk_replacedata", "Chk_rawexport",
          "cmd_runframe", "cmd_stopframe", "frmlbl_status"})
        EXPECT_NE(w.findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(w.findChildren<QRadioButton*>("Option_report").size(), 2);
    EXPECT_EQ(w.findChildren<QRadioButton*>("Option_output").size(), 5);
    EXPECT_EQ(w.findChildren<QCheckBox*>("Chk_statistic").size(), 5);
    EXPECT_NE(w.findChild<QAction*>("mnrecalculate"), nullptr);
    EXPECT_NE(w.findChild<QAction*>("mncircadian"), nullptr);
    EXPECT_EQ(w.Cmb_binsize->count(), 11);
    EXPECT_EQ(w.Cmb_dspmethod->itemText(2), "2_uOrganism (Motility Index)");
    EXPECT_EQ(w.Cmb_organism->itemText(1), "Zebrafish(Larvae)");

    frm_reportset& d = windows->options();
    EXPECT_EQ(d.windowTitle(), "[User Defined Report]");
    for (const char* name : {"Cmb_binsize", "txt_customspacer", "Chk_rawexport", "Chk_autofile",
                             "Cmd_generate", "Cmd_cancel"})
        EXPECT_NE(d.findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(d.Cmd_generate->text(), "Apply");
    EXPECT_EQ(d.Cmd_cancel->text(), "Back to Default");
    EXPECT_EQ(d.Option_output[3]->text(), "CHArray");
}

TEST_F(ReportWindowGui, GeneratesARowsReport) {
    ASSERT_TRUE(windows->showMyReport(acq, "60", false));
    frm_report& w = windows->report();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.Txt_inputfile->text().toStdString(), acq);
    EXPECT_EQ(w.Cmb_binsize->currentText(), "60");
    EXPECT_TRUE(w.Option_output[0]->isChecked());
    EXPECT_FALSE(w.Option_output[4]->isVisible());
    EXPECT_TRUE(w.Chk_statistic[2]->isChecked());
    EXPECT_TRUE(w.Chk_statistic[4]->isChecked());
    EXPECT_FALSE(w.Frame_run->isVisible());
    shot(&w, "report_window");

    QTest::mouseClick(w.Cmd_generate, Qt::LeftButton);
    const std::string report = readAll(joinPath(acq, "report.csv"));
    ASSERT_FALSE(report.empty()) << ::testing::PrintToString(fake.prompter.texts());
    EXPECT_NE(report.find("Group/Time[m],60,120,180\r\n"), std::string::npos);
    EXPECT_NE(report.find("\"<<<<<< Group Activity: Number of wells/group >>>>>>\""),
              std::string::npos);
    ASSERT_EQ(fake.desktop.calls.size(), 1u);
    EXPECT_EQ(fake.desktop.calls[0].args[0], joinPath(acq, "report.csv"));

    // Text file: the separator becomes a space.
    QTest::mouseClick(w.Option_report[1], Qt::LeftButton);
    EXPECT_EQ(w.txt_customspacer->text(), " ");

    // Closing hands the configured bin size to the main window; the next
    // window reads the options again.
    w.close();
    QApplication::processEvents();
    EXPECT_EQ(mainBins, std::vector<int>{30});
    EXPECT_EQ(windows->existingReport(), nullptr);
}

TEST_F(ReportWindowGui, RawFrameRunsAndStops) {
    ASSERT_TRUE(windows->showMyReport(acq, "30", false));
    frm_report& w = windows->report();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const int before = w.height();
    w.mnrecalculate->trigger();
    EXPECT_TRUE(w.Frame_run->isVisible());
    EXPECT_GT(w.height(), before);

    w.Cmb_organism->setCurrentIndex(1);
    emit w.Cmb_organism->activated(1);
    EXPECT_EQ(w.frmtxt_threshold->text(), "2.8");
    w.frmtxt_threshold->setFocus();
    w.frmtxt_threshold->selectAll();
    QTest::keyClicks(w.frmtxt_threshold, "7");
    w.cmd_runframe->setFocus(); // leaving the box
    EXPECT_EQ(w.frmtxt_threshold->text(), "1.8");
    shot(&w, "report_window_raw_frame");

    QTest::mouseClick(w.Chk_replacedata, Qt::LeftButton);
    EXPECT_FALSE(w.frmtxt_datalapse->isEnabled());
    const std::string counts = readAll(joinPath(acq, "counts.bin"));
    // STOP pressed while the fifth block is under way.
    fake.pump.at[5] = [&] {
        EXPECT_TRUE(w.cmd_stopframe->isEnabled());
        EXPECT_FALSE(w.cmd_runframe->isEnabled());
        w.cmd_stopframe->click();
    };
    QTest::mouseClick(w.cmd_runframe, Qt::LeftButton);
    EXPECT_EQ(w.frmlbl_status->text(), "Block 6/181");
    EXPECT_EQ(readAll(joinPath(acq, "counts.bin")), counts);
    EXPECT_TRUE(listFiles(acq, "report*").empty());
    EXPECT_TRUE(w.cmd_runframe->isEnabled());

    // Run again to the end.
    fake.pump.at.clear();
    QTest::mouseClick(w.cmd_runframe, Qt::LeftButton);
    EXPECT_EQ(w.frmlbl_status->text(), "Block 181/181");
    EXPECT_NE(readAll(joinPath(acq, "counts.bin")), counts);
    EXPECT_TRUE(fileExists(joinPath(acq, "report.csv")));
}

TEST_F(ReportWindowGui, AutomaticReportAfterTheLapse) {
    userBin = true;
    ReportOptionsModel setter(s, fake.ports);
    setter.open();
    setter.fields.binText = "60";
    setter.Cmd_generate_Click();
    fake.prompter.clear();

    ASSERT_TRUE(windows->showMyReport(acq, "60", true));
    frm_report& w = windows->report();
    EXPECT_TRUE(w.chk_autoreport->isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 5000);
    EXPECT_TRUE(fileExists(joinPath(acq, "report.csv")));
    EXPECT_EQ(fake.prompter.texts(), std::vector<std::string>{"Report File AutoGenerated"});
    EXPECT_TRUE(fake.desktop.calls.empty());
    EXPECT_FALSE(w.chk_autoreport->isChecked());
    EXPECT_TRUE(w.frm_options->isEnabled());
}

TEST_F(ReportWindowGui, OptionsDialogAppliesAndResets) {
    windows->openOptions();
    frm_reportset& d = windows->options();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    EXPECT_EQ(d.Cmb_binsize->currentText(), "30");
    EXPECT_TRUE(d.Chk_autofile->isChecked());
    EXPECT_FALSE(d.Chk_autofile->isEnabled());
    shot(&d, "options_dialog");

    d.Cmb_binsize->setEditText("90");
    QTest::mouseClick(d.Option_report[1], Qt::LeftButton);
    d.txt_customspacer->setText("|");
    QTest::mouseClick(d.Option_output[2], Qt::LeftButton);
    QTest::mouseClick(d.Chk_statistic[3], Qt::LeftButton);
    d.Chk_rawexport->click();
    QTest::mouseClick(d.Cmd_generate, Qt::LeftButton);
    auto line2 = [&] { return splitLines(readAll(joinPath(fx.program, "repoconf.dat")))[1]; };
    EXPECT_EQ(line2(), "1,90,1,\"|\",1,1,1,2,0,1,18,1");
    EXPECT_TRUE(userBin);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(fake.prompter.texts(), std::vector<std::string>{"User Configuration Applied"});

    // A report window created now shows the user's options.
    frm_report& w = windows->report();
    EXPECT_EQ(w.Cmb_binsize->currentText(), "90");
    EXPECT_TRUE(w.Option_report[1]->isChecked());
    EXPECT_TRUE(w.Option_output[2]->isChecked());
    EXPECT_TRUE(w.Chk_rawexport->isChecked());
    EXPECT_EQ(w.frmtxt_datalapse->text(), "533");
    w.close();

    windows->openOptions();
    EXPECT_EQ(d.Cmb_binsize->currentText(), "90");
    QTest::mouseClick(d.Cmd_cancel, Qt::LeftButton);
    EXPECT_EQ(line2(), "0,30,0,\",\",1,0,1,0,0,1,18,0");
    EXPECT_FALSE(userBin);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(fake.prompter.texts().back(), "Default Report Configuration Applied");
}

} // namespace
} // namespace trv
