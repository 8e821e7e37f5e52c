// The report window and the options dialog without their windows: the
// options flowing between them and repoconf.dat, "Show my report", the
// automatic report, the raw-data frame's controls and the export questions.
#include "reports/ReportWindowModel.h"
#include "reports/AcquisitionFixture.h"
#include "reports/RawAcquisition.h"
#include "reports/ReportOptionsModel.h"
#include "store/ReportConfigFile.h"
#include "store/StoreText.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace trv {
namespace {

std::string readAll(const std::string& path) {
    auto s = readWholeFile(path);
    return s ? *s : std::string();
}

struct ReportWindowTest : ::testing::Test {
    test::AcquisitionFixture fx;
    test::FakePorts fake;
    SharedState s;
    std::vector<std::string> calls;
    std::vector<int> mainBins;
    std::vector<bool> userBin;

    void SetUp() override {
        s.Program_Folder = fx.program;
        fake.locale.list = ";";
        test::copyShippedPlates(fx.program);
    }

    ReportWindowHooks windowHooks() {
        ReportWindowHooks h;
        h.show = [this] { calls.push_back("show"); };
        h.hide = [this] { calls.push_back("hide"); };
        h.frameShown = [this] { calls.push_back("frame"); };
        h.mainBinSize = [this](int b) { mainBins.push_back(b); };
        return h;
    }

    ReportOptionsHooks optionHooks() {
        ReportOptionsHooks h;
        h.setUserBinSize = [this](bool on) { userBin.push_back(on); };
        h.hide = [this] { calls.push_back("hideOptions"); };
        return h;
    }

    // A stored user configuration: bin 90, text, tab spacer, W.Array,
    // standard deviation only, Zebrafish, method 2, threshold 2.5, rawexport.
    void storeUserConfig(int rawexport = 1) {
        writeFileAtomic(joinPath(fx.program, "repoconf.dat"),
                        std::string("\"") + kReportConfigHeader +
                            "\"\r\n1,90,1,\"\t\",0,1,0,2,1,2,25," + std::to_string(rawexport) +
                            "\r\n");
    }

    std::string line2() {
        auto lines = splitLines(readAll(joinPath(fx.program, "repoconf.dat")));
        return lines.size() > 1 ? lines[1] : std::string();
    }

    // A 3-hour acquisition with a record every minute and raw blocks.
    std::string rawAcquisition(const std::string& name = "20240315_0930", int last = 180) {
        test::RawAcquisitionPlan plan;
        plan.plate = "wsix";
        plan.minutes = test::minuteTimes(last);
        plan.distinctBlocks = 5;
        const std::string folder = joinPath(fx.project, name);
        test::writeRawAcquisition(folder, plan);
        return folder;
    }
};

TEST_F(ReportWindowTest, DefaultsWhenUserDefinedBinSizeIsCleared) {
    storeUserConfig();
    ReportWindowModel w(s, fake.ports, windowHooks());
    w.create(false);
    const ReportOptionFields& o = w.c.options;
    EXPECT_EQ(o.binText, "30");
    EXPECT_EQ(o.binEntries, binSizeEntries());
    EXPECT_EQ(o.outputFormat, 0);
    EXPECT_EQ(o.fileType, 0);
    EXPECT_EQ(o.spacer, ";");
    EXPECT_TRUE(o.statistics[kStatStdError]);
    EXPECT_FALSE(o.statistics[kStatStdDev]);
    EXPECT_TRUE(o.statistics[kStatN]);
    EXPECT_FALSE(o.rawExport);
    EXPECT_EQ(w.c.Cmb_dspmethod, 1);
    EXPECT_EQ(w.c.Cmb_organism, 0);
    EXPECT_EQ(w.c.frmtxt_threshold, "1.8");
    EXPECT_EQ(w.c.frmtxt_datalapse, "1");
    EXPECT_FALSE(w.c.frameVisible);
    // The defaults are stored in place of the user's options.
    EXPECT_EQ(line2(), "0,30,0,\";\",1,0,1,0,0,1,18,0");
}

TEST_F(ReportWindowTest, UserOptionsWhenUserDefinedBinSizeIsChecked) {
    storeUserConfig();
    ReportWindowModel w(s, fake.ports, windowHooks());
    w.create(true);
    const ReportOptionFields& o = w.c.options;
    EXPECT_EQ(o.binText, "90");
    EXPECT_EQ(o.binEntries.back(), "90");
    EXPECT_EQ(o.fileType, 1);
    EXPECT_EQ(o.spacer, "\t");
    EXPECT_EQ(o.outputFormat, 2);
    EXPECT_FALSE(o.statistics[kStatStdError]);
    EXPECT_TRUE(o.statistics[kStatStdDev]);
    EXPECT_FALSE(o.statistics[kStatN]);
    EXPECT_EQ(w.c.Cmb_organism, 1);
    EXPECT_EQ(w.c.Cmb_dspmethod, 2);
    EXPECT_EQ(w.c.frmtxt_threshold, "2.5");
    // "Export Raw" set: the whole acquisition, nothing replaced.
    EXPECT_TRUE(o.rawExport);
    EXPECT_EQ(w.c.frmtxt_datalapse, "533");
    EXPECT_FALSE(w.c.Chk_replacedata);
    const ReportOptions r = reportOptionsOf(o, false);
    EXPECT_EQ(r.format, OutputFormat::WArray);
    EXPECT_EQ(r.separator, "\t");
    EXPECT_TRUE(r.stdDev);
}

TEST_F(ReportWindowTest, OptionsDialogAppliesAndGoesBackToDefault) {
    ReportOptionsModel d(s, fake.ports, optionHooks());
    d.open();
    EXPECT_EQ(d.fields.binText, "30");
    EXPECT_TRUE(d.Chk_autofile);
    d.fields.binText = "90";
    d.fields.fileType = 1;
    d.fields.spacer = "|";
    d.fields.outputFormat = 1;
    d.fields.statistics[kStatStdDev] = true;
    d.fields.rawExport = true;
    d.Cmd_generate_Click();
    EXPECT_EQ(line2(), "1,90,1,\"|\",1,1,1,1,0,1,18,1");
    EXPECT_EQ(fake.prompter.texts(), std::vector<std::string>{"User Configuration Applied"});
    EXPECT_EQ(userBin, std::vector<bool>{true});
    EXPECT_EQ(calls, std::vector<std::string>{"hideOptions"});

    // A new report window with the entry checked shows what was applied.
    ReportWindowModel w(s, fake.ports, windowHooks());
    w.create(true);
    EXPECT_EQ(w.c.options.binText, "90");
    EXPECT_EQ(w.c.options.spacer, "|");

    d.open();
    EXPECT_EQ(d.fields.binText, "90");
    d.Cmd_cancel_Click();
    EXPECT_EQ(line2(), "0,30,0,\";\",1,0,1,0,0,1,18,0");
    EXPECT_EQ(fake.prompter.texts().back(), "Default Report Configuration Applied");
    EXPECT_EQ(userBin, (std::vector<bool>{true, false}));
    EXPECT_EQ(s.report.Bin, 30);
}

TEST_F(ReportWindowTest, StoredBinOfOneReadsBackAsThirty) {
    ReportOptionsModel d(s, fake.ports, optionHooks());
    d.open();
    d.fields.binText = "1";
    d.Cmd_generate_Click();
    EXPECT_EQ(line2().substr(0, 5), "1,1,0");
    d.open();
    EXPECT_EQ(d.fields.binText, "30");
}

TEST_F(ReportWindowTest, FileTypeSetsTheSpacer) {
    ReportWindowModel w(s, fake.ports, windowHooks());
    w.create(false);
    w.c.options.spacer = "#";
    w.Option_report_Click(1);
    EXPECT_EQ(w.c.options.spacer, " ");
    EXPECT_EQ(w.c.options.fileType, 1);
    w.Option_report_Click(0);
    EXPECT_EQ(w.c.options.spacer, ";");
    EXPECT_EQ(reportOptionsOf(w.c.options, false).fileType, 0);
}

TEST_F(ReportWindowTest, ShowMyReportPicksTheOutputForTheFolder) {
    ReportWindowModel w(s, fake.ports, windowHooks());
    w.create(false);
    // Before any acquisition: no folder.
    EXPECT_FALSE(w.showMyReport("", "60", false));
    EXPECT_EQ(fake.prompter.texts(), std::vector<std::string>{"Activity file not Found"});
    EXPECT_EQ(w.c.options.binText, "60");
    EXPECT_TRUE(calls.empty());

    const std::string folder = rawAcquisition();
    test::appendHistogramRecord(folder, 0, 1.0, 0.5, [](int, int) { return 1; });
    EXPECT_TRUE(w.showMyReport(folder + "/", "120", false));
    EXPECT_EQ(w.c.Txt_inputfile, folder);
    EXPECT_TRUE(w.c.histogramVisible);
    EXPECT_EQ(w.c.options.outputFormat, 4);
    EXPECT_EQ(calls, std::vector<std::string>{"show"});

    const std::string plain = rawAcquisition("20240315_1100", 30);
    EXPECT_TRUE(w.showMyReport(plain, "120", false));
    EXPECT_FALSE(w.c.histogramVisible);
    EXPECT_EQ(w.c.options.outputFormat, 0);
    // Opened by hand: activation generates nothing.
    w.activated();
    EXPECT_TRUE(listFiles(plain, "report*").empty());
}

TEST_F(ReportWindowTest, AutomaticReportWritesWithoutViewerAndHides) {
    storeUserConfig(0);
    ReportWindowModel w(s, fake.ports, windowHooks());
    w.create(true);
    const std::string folder = rawAcquisition();
    ASSERT_TRUE(w.showMyReport(folder, "60", true));
    EXPECT_TRUE(w.c.chk_autoreport);
    w.activated();
    EXPECT_TRUE(fileExists(joinPath(folder, "report.txt")));
    EXPECT_EQ(fake.prompter.texts(), std::vector<std::string>{"Report File AutoGenerated"});
    EXPECT_TRUE(fake.desktop.calls.empty());
    EXPECT_EQ(calls, (std::vector<std::string>{"show", "hide"}));
    EXPECT_FALSE(w.c.chk_autoreport);
    EXPECT_TRUE(w.c.optionsEnabled);
    EXPECT_EQ(fake.clock.sleeps, std::vector<int>{1500});
    // Rows although the configuration says W.Array, with the bin size of
    // the main window's box.
    EXPECT_EQ(w.c.options.outputFormat, 0);
    const std::string report = readAll(joinPath(folder, "report.txt"));
    EXPECT_EQ(report.find("WELL ARRAY"), std::string::npos);
    EXPECT_NE(report.find("Group/Time[m]\t60\t120\t180"), std::string::npos);
}

TEST_F(ReportWindowTest, AutomaticReportWithExportRawReprocesses) {
    storeUserConfig(1);
    ReportWindowModel w(s, fake.ports, windowHooks());
    w.create(true);
    const std::string folder = rawAcquisition("20240315_0930", 40);
    const std::string counts = readAll(joinPath(folder, "counts.bin"));
    ASSERT_TRUE(w.showMyReport(folder, "30", true));
    w.activated();
    EXPECT_EQ(fake.prompter.texts(), std::vector<std::string>{"Report File AutoGenerated"});
    EXPECT_EQ(fake.clock.sleeps, (std::vector<int>{1500, 1000, 500}));
    EXPECT_TRUE(w.c.frameVisible);
    // Every record re-detected with marks files; counts.bin kept.
    EXPECT_EQ(countLines(joinPath(folder, "ch0.raw")), 41);
    EXPECT_EQ(readAll(joinPath(folder, "counts.bin")), counts);
    EXPECT_EQ(w.c.frmlbl_status, "Block 41/41");
    const std::string report = readAll(joinPath(folder, "report.txt"));
    EXPECT_NE(report.find("2_uOrganism (Motility Index) Zebrafish(Larvae) [SNR=2.5]"),
              std::string::npos);
    EXPECT_TRUE(fake.desktop.calls.empty());
}

TEST_F(ReportWindowTest, FailedAutomaticReportIsNotAnnouncedAsWritten) {
    storeUserConfig(0);
    ReportWindowModel w(s, fake.ports, windowHooks());
    w.create(true);
    const std::string folder = rawAcquisition();
    std::remove(joinPath(fx.program, "wsix.dat").c_str());
    ASSERT_TRUE(w.showMyReport(folder, "60", true));
    w.activated();
    EXPECT_EQ(fake.prompter.texts(),
              std::vector<std::string>{"Multiwell Configuration File wsix.dat or .bak not found"});
    EXPECT_EQ(calls.back(), "hide");
    EXPECT_FALSE(w.c.chk_autoreport);
}

TEST_F(ReportWindowTest, RawFrameControls) {
    ReportWindowModel w(s, fake.ports, windowHooks());
    w.create(false);
    const std::string folder = rawAcquisition("20240315_0930", 20);
    w.showAcquisition(folder, {"-", "20240301_0800 basal"}, "Report");
    EXPECT_EQ(w.c.cmbbasal, "-");
    EXPECT_EQ(w.c.caption, "Report");

    s.Acq_State = 1; // recording: no frame
    EXPECT_FALSE(w.mnrecalculate_Click());
    s.Acq_State = 0;
    EXPECT_TRUE(w.mnrecalculate_Click());
    EXPECT_TRUE(w.c.frameVisible);
    EXPECT_EQ(calls.back(), "frame");

    w.Cmb_organism_Click(kOrganismDrosophila);
    EXPECT_EQ(w.c.frmtxt_threshold, "0.8");
    EXPECT_EQ(w.c.Cmb_dspmethod, 3);
    w.Cmb_organism_Click(kOrganismZebrafish);
    EXPECT_EQ(w.c.frmtxt_threshold, "2.8");
    EXPECT_EQ(w.c.Cmb_dspmethod, 3);
    w.c.frmtxt_threshold = "7";
    w.frmtxt_threshold_LostFocus();
    EXPECT_EQ(w.c.frmtxt_threshold, "1.8");

    w.Chk_replacedata_Click(true);
    EXPECT_FALSE(w.c.datalapseEnabled);
    w.Chk_rawexport_Click(true);
    EXPECT_FALSE(w.c.Chk_replacedata);
    EXPECT_TRUE(w.c.datalapseEnabled);
    EXPECT_EQ(w.c.frmtxt_datalapse, "533");
    w.Chk_rawexport_Click(false);

    // A lapse under five minutes is raised, and the box says so.
    w.c.frmtxt_datalapse = "0,01";
    w.c.options.binText = "1";
    w.cmd_runframe_Click();
    EXPECT_EQ(w.c.frmtxt_datalapse, "0.08");
    EXPECT_EQ(w.c.options.binText, "2");
    EXPECT_FALSE(w.lastReport().empty());
    EXPECT_FALSE(w.c.running);

    w.Cmd_cancel_Click();
    EXPECT_TRUE(w.c.basalEntries.empty());
    EXPECT_EQ(w.c.cmbbasal, "");

    // Without raw files the frame stays hidden.
    const std::string noRaw = fx.acquisition("20240315_1200", "No raw");
    ReportWindowModel other(s, fake.ports, windowHooks());
    other.create(false);
    other.showAcquisition(noRaw, {}, "Report");
    EXPECT_FALSE(other.mnrecalculate_Click());
    EXPECT_TRUE(fake.prompter.saw("Real Time Data Not Found"));
}

TEST_F(ReportWindowTest, StopDuringARunAndClosingWhileRunning) {
    ReportWindowModel w(s, fake.ports, windowHooks());
    w.create(false);
    const std::string folder = rawAcquisition("20240315_0930", 60);
    w.showAcquisition(folder, {}, "Report");
    w.Chk_replacedata_Click(true);
    const std::string counts = readAll(joinPath(folder, "counts.bin"));
    // The window is closed during the run: STOP, and the close waits.
    fake.pump.at[5] = [&] {
        EXPECT_FALSE(w.closing());
        w.Cmd_generate_Click(); // refused while running
    };
    w.cmd_runframe_Click();
    EXPECT_TRUE(w.closeWhenIdle());
    EXPECT_EQ(readAll(joinPath(folder, "counts.bin")), counts);
    EXPECT_TRUE(listFiles(folder, "report*").empty());
    EXPECT_TRUE(mainBins.empty());
    EXPECT_TRUE(w.closing());
    EXPECT_EQ(mainBins, std::vector<int>{30});
}

TEST_F(ReportWindowTest, GenerateAndExportFromTheWindow) {
    ReportWindowModel w(s, fake.ports, windowHooks());
    w.create(false);
    const std::string folder = rawAcquisition("20240315_0930", 20);
    w.showAcquisition(folder, {}, "Report");
    w.c.options.binText = "60";
    w.Cmd_generate_Click();
    EXPECT_EQ(w.c.options.binText, "20"); // a 20-minute acquisition
    EXPECT_EQ(w.lastReport(), joinPath(folder, "report.csv"));
    ASSERT_EQ(fake.desktop.calls.size(), 1u);

    fake.prompter.answer(Answer::No);
    w.mncircadian_Click();
    EXPECT_FALSE(fileExists(joinPath(folder, "time.txt")));
    fake.prompter.answer(Answer::Yes);
    fake.prompter.answer(Answer::No);
    w.c.options.binText = "60";
    w.mncircadian_Click();
    EXPECT_EQ(readAll(joinPath(folder, "time.txt")), "1260\r\n");
    EXPECT_EQ(w.c.options.binText, "21");
    const auto texts = fake.prompter.texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Do you like to Export 384 text files?"), 2);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Include time field?"), 1);
}

} // namespace
} // namespace trv
