// The offline browser's group editor, exports and kinetics line plot,
// offscreen, on an acquisition recorded against the in-process simulated
// instrument: regrouped wells show in the bar plot and in a report made
// afterwards; the surface's bitmaps read back; the tag-mode kinetics plot
// exports the same joint report as trelvane-cli kinetics.
#include "acquisition/DataFiles.h"
#include "app/Frm_Init.h"
#include "app/TrelvaneApp.h"
#include "cli/CliRun.h"
#include "display/SurfaceQt.h"
#include "integration/RunFixture.h"
#include "offline/Frm_offline.h"
#include "offline/OfflineExports.h"
#include "reports/ReportWindowsQt.h"
#include "reports/frm_report.h"
#include "store/AcquisitionRecord.h"
#include "store/PlateFormat.h"
#include "store/ProjectFile.h"
#include "support/GuiApplication.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace trv {
namespace {

std::vector<std::string> entries(const QListWidget* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i)
        out.push_back(list->item(i)->text().toStdString());
    return out;
}

// Project 1 (96-well plate) with one acquisition of about a minute recorded
// against the simulator, listed and chosen in the offline browser.
struct OfflineTools : ::testing::Test {
    std::unique_ptr<test::RunFixture> rec;
    std::unique_ptr<TrelvaneApp> app;
    std::string acquisition, project;

    void SetUp() override {
        test::ensureApplication();
        rec = std::make_unique<test::RunFixture>();
        rec->s.setup.Aq_lapse = 1;
        ASSERT_TRUE(saveProject(rec->s));
        rec->fake.clock.set(2024, 3, 15, 9, 30, 0);
        ASSERT_TRUE(rec->play("Dose 1"));
        rec->ticksUntilStopped(20000);
        acquisition = rec->acqPath();
        project = rec->dir / "p00001";
        ASSERT_GT(countsRecordCount(countsFilePath(acquisition)), 0);
        rec->fake.prompter.clear();
        rec->fake.pump.every = [] { QCoreApplication::processEvents(); };
        app = std::make_unique<TrelvaneApp>(rec->s, rec->fake.ports);
    }
    void TearDown() override { app.reset(); }

    Frm_offline& w() { return app->offline(); }
    void doubleClick(int row) {
        const QPoint at = w().Listpj->visualItemRect(w().Listpj->item(row)).center();
        QTest::mouseClick(w().Listpj->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(w().Listpj->viewport(), Qt::LeftButton, {}, at);
    }
    // Opens the browser and chooses the acquisition (line 1 below its project).
    void choose() {
        app->launcher().choose(3);
        w().resize(1100, 700);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w()));
        doubleClick(0);
        ASSERT_GE(w().Listpj->count(), 2);
        doubleClick(1);
        ASSERT_FALSE(w().browser().chosenFolder().empty());
    }
    void click(int row) {
        QTest::mouseClick(w().Listpj->viewport(), Qt::LeftButton, {},
                          w().Listpj->visualItemRect(w().Listpj->item(row)).center());
    }
    // A copy of the recorded acquisition under another name.
    std::string copyAcquisition(const std::string& name) {
        const std::string folder = joinPath(project, name);
        EXPECT_TRUE(makeFolder(folder));
        for (const char* f :
             {"setup.dat", "status.dat", "groups.dat", "chgroup.dat", "counts.bin", "subproj.dat"})
            copyFile(joinPath(acquisition, f), joinPath(folder, f));
        return folder;
    }
    // The pixel of a well's centre on the plate editor's drawing.
    QPoint wellPixel(int row, int column) {
        const PlateLayout& p = w().regroup()->plate();
        return w()
            .Picreal->surface()
            .toPixel(p.Column_Offset + (column + 0.5) * p.Column_Pitch,
                     p.Row_Offset + (row + 0.5) * p.Row_Pitch)
            .toPoint();
    }
};

TEST_F(OfflineTools, RegroupedWellsShowInTheBarPlotAndALaterReport) {
    choose();
    Frm_offline& win = w();
    test::FakePrompter& prompter = rec->fake.prompter;

    // "Plate Config" on the acquisition line: the editor replaces the views.
    win.mn_plateconfig->trigger();
    ASSERT_NE(win.regroup(), nullptr);
    EXPECT_TRUE(win.Framegrup->isVisible());
    EXPECT_FALSE(win.Listpj->isEnabled());
    EXPECT_FALSE(win.Cmd_report->isEnabled());
    EXPECT_EQ(win.Combo_sets->count(), 24);
    EXPECT_EQ(win.Combo_sets->currentText(), QStringLiteral("04x01 [RowsxColumn]"));

    // Clear, then group 0 named "Treated" and dragged over A1..B3.
    QTest::mouseClick(win.Cmd_clear, Qt::LeftButton); // answered Yes
    EXPECT_TRUE(prompter.saw("Do you like to Clear Group lists?"));
    EXPECT_EQ(win.lstgrup2->count(), 0);
    const int freeBefore = win.lstchgrup2->count();
    prompter.type("Treated");
    QTest::keyClick(win.combogrup2, Qt::Key_Return);
    EXPECT_EQ(win.combogrup2->currentText(), QStringLiteral("000_Treated"));
    QTest::mousePress(win.Picreal, Qt::LeftButton, {}, wellPixel(0, 0));
    QTest::mouseMove(win.Picreal, wellPixel(1, 2));
    QTest::mouseRelease(win.Picreal, Qt::LeftButton, {}, wellPixel(1, 2));
    EXPECT_EQ(entries(win.lstgrup2),
              (std::vector<std::string>{"A1", "B1", "A2", "B2", "A3", "B3"}));
    EXPECT_LT(win.lstchgrup2->count(), freeBefore);
    EXPECT_EQ(win.combogrup2->itemText(win.combogrup2->count() - 1), QStringLiteral("001_Free"));
    if (const char* shot = std::getenv("TRELVANE_REGROUP_SCREENSHOT")) win.grab().save(shot);

    // Saved: the backups, the new files, the bar plot of the new groups.
    prompter.clear();
    QTest::mouseClick(win.cmdcancelgrups, Qt::LeftButton); // answered Yes
    EXPECT_TRUE(prompter.saw("Do you like to Save Changes?"));
    EXPECT_TRUE(prompter.saw("New Groups applied and saved")) << prompter.texts().back();
    EXPECT_EQ(win.regroup(), nullptr);
    EXPECT_FALSE(win.Framegrup->isVisible());
    EXPECT_TRUE(win.Listpj->isEnabled());
    EXPECT_TRUE(fileExists(joinPath(acquisition, "groups.bak")));
    EXPECT_TRUE(fileExists(joinPath(acquisition, "chgroup.bak")));
    EXPECT_EQ(win.plots().viewMode, offlineview::Bar);
    EXPECT_EQ(entries(win.lstgrup_plot), std::vector<std::string>{"000_Treated"});
    EXPECT_GT(win.plots().activity.at(0, 1), 0);

    // A bitmap of the bar plot, read back.
    win.bmpexporta->trigger();
    const std::string bmp = joinPath(rec->dir.path(), "image1.bmp");
    QImage image(QString::fromStdString(bmp));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), win.Picreal->surface().image().size());
    ASSERT_FALSE(rec->fake.desktop.calls.empty());
    EXPECT_EQ(rec->fake.desktop.calls.back().args, std::vector<std::string>{bmp});
    // "Export to ASCII..." in the bar plot writes nothing.
    win.asciiexporta->trigger();
    EXPECT_FALSE(fileExists(joinPath(rec->dir.path(), kRawTextFile)));

    // A report made afterwards lists the new group.
    QTest::mouseClick(win.Cmd_report, Qt::LeftButton);
    frm_report* report = app->reports().existingReport();
    ASSERT_NE(report, nullptr);
    QTest::mouseClick(report->Cmd_generate, Qt::LeftButton);
    const std::string text = readWholeFile(joinPath(acquisition, "report.csv")).value_or("");
    EXPECT_NE(text.find("Treated"), std::string::npos) << text.substr(0, 400);
}

TEST_F(OfflineTools, LinePlotsAndTheJointReportAsTheCommandLine) {
    choose();
    Frm_offline& win = w();
    const std::string first = acquisition.substr(acquisition.rfind('/') + 1);
    // Two more members of the series, one and three hours later, with the
    // recorded counts scaled.
    std::vector<CountsRecord> records = readCounts(countsFilePath(acquisition));
    for (auto [name, scale] : {std::pair{"20240315_1030", 2}, std::pair{"20240315_1230", 3}}) {
        const std::string folder = joinPath(project, name);
        ASSERT_TRUE(makeFolder(folder));
        for (const char* f : {"setup.dat", "status.dat", "groups.dat", "chgroup.dat"})
            copyFile(joinPath(acquisition, f), joinPath(folder, f));
        for (CountsRecord r : records) {
            for (int c = 0; c < kChannels; ++c)
                r.counts[static_cast<size_t>(c)] =
                    static_cast<int16_t>(r.counts[static_cast<size_t>(c)] * scale);
            ASSERT_TRUE(AppendCounts(folder, r.minutes, r.counts));
        }
        ASSERT_EQ(updateTags(project, name, "[K1]"), TagUpdate::Written);
    }
    ASSERT_EQ(updateTags(project, first, "[K1]"), TagUpdate::Written);
    doubleClick(win.browser().list().indexOfAcquisition("p00001", first)); // its tags listed
    ASSERT_EQ(win.List_tags->count(), 1);

    // Normal mode: bin size 5 for a one-minute lapse; "+" and "-".
    QTest::mouseClick(win.Cmd_lineplot, Qt::LeftButton);
    EXPECT_EQ(win.plots().viewMode, offlineview::Line);
    EXPECT_TRUE(win.frm_bin->isVisible());
    EXPECT_EQ(win.txt_bin->text(), QStringLiteral("5"));
    EXPECT_EQ(win.surfaceMenu(), win.mnline);
    QTest::mouseClick(win.cmd_plus, Qt::LeftButton);
    EXPECT_EQ(win.txt_bin->text(), QStringLiteral("10")); // divides the 30-minute span
    QTest::mouseClick(win.cmd_minus, Qt::LeftButton);
    EXPECT_EQ(win.txt_bin->text(), QStringLiteral("5"));
    win.mn_linebmp->trigger();
    EXPECT_FALSE(QImage(QString::fromStdString(joinPath(rec->dir.path(), "lineimg.bmp"))).isNull());

    // Tag mode by a double click on the tag.
    const QPoint tag = win.List_tags->visualItemRect(win.List_tags->item(0)).center();
    QTest::mouseClick(win.List_tags->viewport(), Qt::LeftButton, {}, tag);
    QTest::mouseDClick(win.List_tags->viewport(), Qt::LeftButton, {}, tag);
    ASSERT_TRUE(win.tagMode());
    EXPECT_FALSE(win.frm_bin->isVisible());
    EXPECT_EQ(win.surfaceMenu(), win.mnjoint);
    EXPECT_EQ(win.kinetics().points, 3);
    EXPECT_EQ(win.kinetics().labels[3], "180");
    if (const char* shot = std::getenv("TRELVANE_KINETICS_SCREENSHOT")) win.grab().save(shot);

    // "Export Data": the joint report, opened; the command line writes the
    // same table.
    rec->fake.clock.set(2024, 3, 15, 14, 0, 5);
    win.mn_jointexport->trigger();
    const std::string report = joinPath(project, "joint_report20240315140005.csv");
    const std::string written = readWholeFile(report).value_or("");
    ASSERT_FALSE(written.empty()) << ::testing::PrintToString(rec->fake.prompter.texts());
    EXPECT_EQ(rec->fake.desktop.calls.back().args, std::vector<std::string>{report});
    const std::string head =
        "Acq:;" + first + ";20240315_1030;20240315_1230\r\n\r\nGroup/Time[min];0;60;180\r\n";
    EXPECT_EQ(written.substr(written.find("\r\n") + 2, head.size()), head);
    test::TempDir io;
    const CliResult cli = runCli(io, rec->dir.path(), {"kinetics", "p00001", "--tag", "K1"});
    ASSERT_EQ(cli.exitCode, 0) << cli.err;
    const std::string cliPath = cli.out.substr(0, cli.out.find('\n'));
    const std::string fromCli = readWholeFile(cliPath).value_or("");
    EXPECT_EQ(fromCli.substr(fromCli.find("\r\n")), written.substr(written.find("\r\n")));

    // Relativized: every group's first point is 100 or 0.
    win.mn_relativize->trigger();
    for (const auto& v : win.kinetics().values)
        EXPECT_TRUE(v[1] == 100 || v[1] == 0);

    // Normal mode: the one-minute acquisition fills no 5-minute bin, so the
    // window draws no point and the command line says there is nothing to
    // list instead of printing an empty table.
    QTest::mouseClick(win.Cmd_lineplot, Qt::LeftButton);
    EXPECT_EQ(win.kinetics().points, 0);
    const CliResult table = runCli(io, rec->dir.path(), {"kinetics", acquisition, "--bin", "5"});
    EXPECT_EQ(table.exitCode, 1);
    EXPECT_EQ(table.out, "");
    EXPECT_NE(table.err.find("no bin of 5 minutes is complete"), std::string::npos) << table.err;

    // The heat map's pop-up opens the group editor; leaving without saving
    // keeps the files and says so.
    const std::string groups = readWholeFile(joinPath(acquisition, "chgroup.dat")).value_or("");
    QTest::mouseClick(win.Cmd_gridplot, Qt::LeftButton);
    ASSERT_EQ(win.surfaceMenu(), win.mnplate);
    win.findChild<QAction*>("mn_editgroups")->trigger();
    ASSERT_NE(win.regroup(), nullptr);
    QTest::mouseClick(win.Cmd_clear, Qt::LeftButton);
    rec->fake.prompter.answer(Answer::No);
    QTest::mouseClick(win.cmdcancelgrups, Qt::LeftButton);
    EXPECT_TRUE(rec->fake.prompter.saw("Original groups restored"));
    EXPECT_EQ(readWholeFile(joinPath(acquisition, "chgroup.dat")), groups);
    EXPECT_FALSE(fileExists(joinPath(acquisition, "chgroup.bak")));
    EXPECT_EQ(win.plots().viewMode, offlineview::Bar);
    EXPECT_TRUE(win.Cmd_gridplot->isEnabled());
}

TEST_F(OfflineTools, ExpandingAnotherProjectKeepsTheChosenAcquisitionsGroups) {
    // Project 2: a 384-well plate, every channel in group 7 "Foreign".
    SharedState other = rec->s;
    other.config.Actual_Project_Number = 2;
    other.Project_Folder = rec->dir / "p00002";
    other.setup.Plate_format = "w384";
    applyBuiltinPlate(other.plate, "w384");
    other.channels.Channel_Group.fill(7);
    other.channels.Group_Name[7] = "Foreign";
    ASSERT_TRUE(makeFolder(other.Project_Folder));
    ASSERT_TRUE(saveProject(other));
    const std::string chgroup = readWholeFile(joinPath(acquisition, "chgroup.dat")).value_or("");

    app->launcher().choose(3);
    Frm_offline& win = w();
    ASSERT_EQ(win.Listpj->count(), 2); // p00002, p00001
    doubleClick(1);
    doubleClick(2); // the acquisition of p00001
    ASSERT_EQ(win.browser().chosenFolder(), acquisition);
    const std::vector<std::string> own = entries(win.lstgrup_plot);
    doubleClick(0); // expands p00002
    EXPECT_EQ(win.projectConfiguration().plate().Max_Well, 383);

    QTest::mouseClick(win.Cmd_barplot, Qt::LeftButton);
    EXPECT_EQ(entries(win.lstgrup_plot), own);
    QTest::mouseClick(win.Cmd_gridplot, Qt::LeftButton);
    EXPECT_EQ(win.source().config.plate().Max_Well, 95);
    EXPECT_NE(win.source().config.channels().Group_Name[7], "Foreign");

    // "Plate Config" and "EXIT Group Edition" / Yes keep the acquisition's groups.
    const int line =
        win.browser().list().indexOfAcquisition("p00001", acquisition.substr(project.size() + 1));
    click(line);
    win.mn_plateconfig->trigger();
    ASSERT_NE(win.regroup(), nullptr);
    EXPECT_EQ(win.regroup()->plate().Max_Well, 95);
    QTest::mouseClick(win.cmdcancelgrups, Qt::LeftButton); // answered Yes
    EXPECT_TRUE(rec->fake.prompter.saw("New Groups applied and saved"));
    // (The editor names a used group still called "Free"; the channels keep their groups.)
    EXPECT_EQ(readWholeFile(joinPath(acquisition, "chgroup.dat")), chgroup);
    const std::string names = readWholeFile(joinPath(acquisition, "groups.dat")).value_or("");
    EXPECT_EQ(names.find("Foreign"), std::string::npos);
    EXPECT_EQ(win.lstgrup_plot->count(), static_cast<int>(own.size()));
}

TEST_F(OfflineTools, PlateConfigEditsTheLineItWasAskedOn) {
    const std::string second = copyAcquisition("20240315_1030");
    // A third whose plate format file is missing.
    const std::string broken = copyAcquisition("20240315_1130");
    ProjectSetup setup = rec->s.setup;
    setup.Plate_format = "w13";
    ASSERT_TRUE(writeFileAtomic(joinPath(broken, "setup.dat"), setupFileText(setup, 1)));
    const std::string chgroup = readWholeFile(joinPath(acquisition, "chgroup.dat")).value_or("");
    test::FakePrompter& prompter = rec->fake.prompter;

    app->launcher().choose(3);
    Frm_offline& win = w();
    win.mn_plateconfig->trigger(); // nothing chosen, no line
    EXPECT_TRUE(prompter.saw(kChooseAcquisitionFirst));
    doubleClick(0); // 1130, 1030, then the recorded one
    ASSERT_EQ(win.Listpj->count(), 4);
    doubleClick(3);
    ASSERT_TRUE(win.Cmd_barplot->isEnabled());

    // No plate layout: said, and the plot buttons come back with the next choice.
    click(1);
    win.mn_plateconfig->trigger();
    EXPECT_EQ(win.regroup(), nullptr);
    EXPECT_TRUE(prompter.saw(kNoPlateToEdit + broken))
        << ::testing::PrintToString(prompter.texts());
    doubleClick(3);
    EXPECT_TRUE(win.Cmd_barplot->isEnabled());

    // On another line: that acquisition is chosen and named in the caption.
    click(2);
    win.mn_plateconfig->trigger();
    ASSERT_NE(win.regroup(), nullptr);
    EXPECT_EQ(win.browser().chosenFolder(), second);
    EXPECT_TRUE(win.windowTitle().contains(QString::fromStdString(second)));
    QTest::mouseClick(win.Cmd_clear, Qt::LeftButton);
    QTest::mouseClick(win.cmdcancelgrups, Qt::LeftButton);
    EXPECT_EQ(readWholeFile(joinPath(acquisition, "chgroup.dat")), chgroup);
    EXPECT_NE(readWholeFile(joinPath(second, "chgroup.dat")), chgroup);
    EXPECT_EQ(win.windowTitle(), QString::fromLatin1(Frm_offline::Caption));
}

} // namespace
} // namespace trv
