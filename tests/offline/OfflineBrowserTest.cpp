#include "offline/OfflineBrowser.h"

#include "offline/BrowserFixture.h"
#include "store/WatchedFoldersFile.h"

#include <gtest/gtest.h>

using namespace trv;
using trv::test::BrowserFixture;

namespace {

struct Browser : BrowserFixture {
    OfflineBrowser b{program, fake.ports};
    Browser() {
        project("p00001", "Larvae run");
        acquisition("p00001", "20240131_1015", "First");
        acquisition("p00001", "20240205_0930", "Second");
        project("p00002", "Worms", 2);
        b.open();
    }
    // Expands p00001 (the second line of the list, newest first) and
    // returns the line of an acquisition.
    int expandFirst(const std::string& acquisitionFolder) {
        b.activate(1);
        return b.list().indexOfAcquisition("p00001", acquisitionFolder);
    }
};

} // namespace

TEST(OfflineBrowser, ChoosingAnAcquisitionSetsTheRightSide) {
    Browser fx;
    std::vector<std::string> calls;
    BrowserHooks& h = fx.b.hooks();
    h.loadConfiguration = [&](const std::string& f) {
        calls.push_back("load " + f);
        return true;
    };
    h.loadProjectConfiguration = [&](const std::string& f) {
        calls.push_back("project " + f);
        return true;
    };
    h.fillGroupLists = [&] { calls.push_back("groups"); };
    h.configurationBlock = [] { return std::string("\r\n\t***** CONFIG ******"); };
    h.settings = [] { return LoadedSettings{"w6", 3, 2, 8}; };
    h.showGroupActivity = [&] { calls.push_back("draw"); };
    ReportLaunch launched;
    h.openReport = [&](const ReportLaunch& r) { launched = r; };
    fx.dir.write("p00001/tags_id.dat", "20240131_1015 [K1][K3]\r\n");

    fx.b.Cmd_report_Click(); // nothing chosen yet
    EXPECT_TRUE(fx.fake.prompter.saw("Activity file not Found"));

    int line = fx.expandFirst("20240131_1015");
    ASSERT_EQ(line, 3);
    EXPECT_FALSE(fx.b.c.Cmd_reportEnabled);
    fx.b.activate(line);

    const std::string folder = fx.dir / "p00001/20240131_1015";
    EXPECT_EQ(calls, (std::vector<std::string>{"project " + fx.dir / "p00001/", "load " + folder,
                                               "groups", "draw"}));
    EXPECT_EQ(fx.b.chosenFolder(), folder);
    EXPECT_EQ(fx.b.c.headerProject, "+ 2024.0131\tp00001_Larvae run");
    EXPECT_EQ(fx.b.c.headerAcquisition, "  > 2024.0131\t ACQ10:15 \"First\"\t\t[K1][K3]");
    EXPECT_EQ(fx.b.c.Cmd_report, " 2024.0131\t ACQ10:15 \"First\"\t\t[K1][K3] => REPORT");
    EXPECT_EQ(fx.b.c.List_tags, (std::vector<std::string>{"[K1]", "[K3]"}));
    EXPECT_TRUE(fx.b.c.tagsVisible);
    EXPECT_EQ(fx.b.c.Txt_description, "Protocol Comments:");
    EXPECT_TRUE(fx.b.c.cmd_trackVisible); // w6 with Drosophila
    EXPECT_TRUE(fx.b.c.Cmd_reportEnabled && fx.b.c.cmdchannelsEnabled && fx.b.c.Cmd_analyzeEnabled);
    EXPECT_EQ(fx.b.c.listIndex, line);

    fx.b.Cmd_report_Click();
    EXPECT_EQ(launched.folder, folder);
    EXPECT_EQ(launched.basal, (std::vector<std::string>{"-", "20240205_0930", "20240131_1015"}));
    EXPECT_EQ(launched.caption, fx.b.c.Cmd_report);
    EXPECT_EQ(launched.organism, 3);
    EXPECT_EQ(launched.method, 2);
    EXPECT_EQ(launched.threshold, "0.8"); // Drosophila's threshold as loaded

    // A filter afterwards leaves "Report" on the acquisition shown.
    fx.b.cmd_lupa_Click("worms");
    launched = {};
    fx.b.Cmd_report_Click();
    EXPECT_EQ(launched.folder, folder);
}

TEST(OfflineBrowser, ReportCaptionIsCutAfterFiftyCharacters) {
    const std::string head = "  >";
    EXPECT_EQ(reportCaption(head + std::string(50, 'a')), std::string(50, 'a') + " => REPORT");
    EXPECT_EQ(reportCaption(head + std::string(51, 'a')), std::string(50, 'a') + ".. => REPORT");
    // A two-byte character straddling the cut is not split.
    EXPECT_EQ(reportCaption(head + std::string(49, 'a') + "\xc3\xa9" + "zz"),
              std::string(49, 'a') + ".. => REPORT");
}

TEST(OfflineBrowser, ArchiveRenamesWithoutEverOverwriting) {
    Browser fx;
    fx.fake.clock.set(2024, 3, 15, 9, 30, 7);
    int line = fx.expandFirst("20240131_1015");

    // Project lines are refused.
    fx.b.select(1);
    fx.b.mnDelete_Click();
    EXPECT_TRUE(fx.fake.prompter.saw("Remove function only available for subprojects"));

    // "No" and "Cancel" leave everything.
    fx.b.select(line);
    fx.fake.prompter.answer(Answer::No);
    fx.b.mnDelete_Click();
    fx.fake.prompter.answer(Answer::Yes);
    fx.fake.prompter.answer(Answer::Cancel);
    fx.b.mnDelete_Click();
    EXPECT_TRUE(folderExists(fx.dir / "p00001/20240131_1015"));

    // An earlier archive of the same second (an empty folder would be
    // replaced by a plain rename) is kept.
    makeFolder(fx.dir / "p00001/20240131_1015removed20240315093007");
    fx.b.select(line);
    fx.b.mnDelete_Click();
    EXPECT_FALSE(folderExists(fx.dir / "p00001/20240131_1015"));
    EXPECT_TRUE(fileExists(fx.dir / "p00001/20240131_1015removed20240315093007_2/counts.bin"));
    EXPECT_TRUE(folderExists(fx.dir / "p00001/20240131_1015removed20240315093007"));
    EXPECT_EQ(fx.b.list().indexOfAcquisition("p00001", "20240131_1015"), -1);
    EXPECT_NE(fx.b.list().indexOfAcquisition("p00001", "20240205_0930"), -1);

    // Archiving the chosen acquisition clears what showed it.
    int cleared = 0;
    fx.b.hooks().clearView = [&] { ++cleared; };
    line = fx.b.list().indexOfAcquisition("p00001", "20240205_0930");
    fx.b.activate(line);
    ASSERT_TRUE(fx.b.c.Cmd_reportEnabled);
    fx.b.mnDelete_Click();
    EXPECT_EQ(cleared, 1);
    EXPECT_EQ(fx.b.chosenFolder(), "");
    EXPECT_FALSE(fx.b.c.Cmd_reportEnabled);
    EXPECT_EQ(fx.b.c.Cmd_report, "[ REPORT ]");
    EXPECT_FALSE(fx.b.c.Txt_descriptionVisible);
}

TEST(OfflineBrowser, RenameFindAndPlateConfig) {
    Browser fx;
    int line = fx.expandFirst("20240205_0930");
    fx.b.select(line);
    fx.fake.prompter.type("Renamed \"run\"");
    fx.b.mnRename_Click();
    ASSERT_EQ(fx.fake.prompter.prompts.size(), 1u);
    EXPECT_EQ(fx.fake.prompter.prompts[0].prompt, "Enter Name of acquisition");
    EXPECT_EQ(fx.fake.prompter.prompts[0].title, "Rename");
    EXPECT_EQ(fx.fake.prompter.prompts[0].preset, "Second");
    EXPECT_EQ(readAcquisitionName(fx.dir / "p00001/20240205_0930"), "Renamed 'run'");
    EXPECT_EQ(fx.b.c.listIndex, line);

    fx.b.select(0);
    fx.fake.prompter.type("Nematodes");
    fx.b.mnRename_Click();
    EXPECT_EQ(fx.fake.prompter.prompts[1].preset, "Worms");
    EXPECT_EQ(fx.b.c.lines[0], "+         \tp00002_Nematodes");

    fx.b.mnFind_Click();
    fx.b.select(line);
    fx.b.mnFind_Click();
    ASSERT_EQ(fx.fake.desktop.calls.size(), 2u);
    EXPECT_EQ(fx.fake.desktop.calls[0].args[0], fx.dir / "p00002");
    EXPECT_EQ(fx.fake.desktop.calls[1].args[0], fx.dir / "p00001/20240205_0930");

    fx.b.select(0);
    fx.b.mnPlateConfig_Click();
    EXPECT_TRUE(fx.fake.prompter.saw("Only possible for SubProjects"));
    EXPECT_FALSE(fx.fake.prompter.saw("Error Renaming"));

    // Without a line, or when the editor cannot open, it says so and the
    // plot buttons stay as they were.
    std::vector<std::string> opened;
    bool opens = false;
    fx.b.hooks().openGroupEditor = [&] {
        opened.push_back(fx.b.chosenFolder());
        return opens;
    };
    fx.b.c.listIndex = -1;
    fx.b.mnPlateConfig_Click();
    EXPECT_TRUE(fx.fake.prompter.saw(kChooseAcquisitionFirst));
    fx.b.select(line);
    fx.b.mnPlateConfig_Click();
    EXPECT_TRUE(fx.b.c.plotButtonsEnabled);
    // On a line other than the chosen acquisition's, that line's
    // acquisition is chosen first.
    opens = true;
    const int first = fx.b.list().indexOfAcquisition("p00001", "20240131_1015");
    fx.b.select(first);
    fx.b.mnPlateConfig_Click();
    EXPECT_FALSE(fx.b.c.plotButtonsEnabled);
    EXPECT_EQ(opened, (std::vector<std::string>{fx.dir / "p00001/20240205_0930",
                                                fx.dir / "p00001/20240131_1015"}));
}

TEST(OfflineBrowser, TagsFromTheMenu) {
    Browser fx;
    const std::string project = fx.dir / "p00001";
    fx.b.mnTag_Click(1, {0}); // the project list: refused
    EXPECT_TRUE(fx.fake.prompter.saw("Tags Apply only to Subprojects (acquisitions)"));
    EXPECT_FALSE(fileExists(project + "/tags_id.dat"));

    int second = fx.expandFirst("20240205_0930");
    fx.b.select(second);
    ASSERT_TRUE(fx.b.tagMenuVisible());
    fx.b.mnTag_Click(0, {second}); // CLEAR without a line writes nothing
    EXPECT_FALSE(fileExists(project + "/tags_id.dat"));
    fx.b.mnTag_Click(2, {second, second + 1});
    fx.b.mnTag_Click(2, {second});
    fx.b.mnTag_Click(1, {second});
    EXPECT_EQ(fx.dir.read("p00001/tags_id.dat"),
              "20240205_0930 [K2][K1]\r\n20240131_1015 [K2]\r\n");
    EXPECT_EQ(fx.b.c.lines[static_cast<size_t>(second)],
              "  > 2024.0205\t ACQ09:30 \"Second\"\t\t[K2][K1]");
    EXPECT_EQ(fx.b.c.listIndex, second);
    EXPECT_EQ(fx.b.list().selectionKind, LineKind::Acquisition);
}

TEST(OfflineBrowser, CommentsAreKeptWhenTheBoxIsLeft) {
    Browser fx;
    int first = fx.expandFirst("20240131_1015");
    int second = fx.b.list().indexOfAcquisition("p00001", "20240205_0930");
    fx.b.activate(first);
    fx.b.Txt_description_LostFocus(); // no edit: nothing written
    EXPECT_FALSE(fileExists(fx.dir / "p00001/20240131_1015/subproj.bak"));
    fx.b.Txt_description_Change("Dose 5 uM\r\nsecond line");
    // Choosing another acquisition keeps the edit of the first.
    fx.b.activate(second);
    EXPECT_EQ(readAcquisitionComments(fx.dir / "p00001/20240131_1015"), "Dose 5 uM\r\nsecond line");
    EXPECT_EQ(fx.b.c.Txt_description, "Protocol Comments:");
    fx.b.activate(first);
    EXPECT_EQ(fx.b.c.Txt_description, "Dose 5 uM\r\nsecond line");
}

TEST(OfflineBrowser, WatchedFolders) {
    Browser fx;
    makeFolder(fx.dir / "watched");
    fx.fake.prompter.type(fx.dir / "missing");
    fx.b.mnWatch_Click(1);
    EXPECT_FALSE(fileExists(fx.dir / "foldview.dat"));
    fx.fake.prompter.type(fx.dir / "watched");
    fx.b.mnWatch_Click(1);
    EXPECT_EQ(fx.fake.prompter.prompts[1].preset, "_folder2");
    EXPECT_EQ(fx.dir.read("foldview.dat"),
              "_folder1\r\n" + fx.dir / "watched" + "\r\n_folder3\r\n_folder4\r\n_folder5\r\n");

    struct Case {
        std::string content;
        std::string second; // caption of entry 2
    } cases[] = {
        {"x\r\n" + fx.dir / "watched" + "\n", fx.dir / "watched"},
        {"x\r\n" + fx.dir / "watched" + "\x01\x02\r\n", "_folder2"}, // binary: defaults
        {"x\r\n" + fx.dir / "missing" + "\r\n", "_folder2"},
        {"", "_folder2"},
    };
    for (const auto& c : cases) {
        fx.dir.write("foldview.dat", c.content);
        EXPECT_EQ(readWatchedFolders(fx.program)[1], c.second);
    }
}

TEST(OfflineBrowser, DateFlipsTheOrderAndListsASelectedAcquisitionsProjectFlat) {
    Browser fx;
    fx.b.lbl_date_Click(); // a project line selected (none): the tree, oldest first
    EXPECT_EQ(fx.b.c.lbl_orden, "v");
    EXPECT_EQ(fx.b.list().projectAt(0), "p00001");
    fx.b.activate(0);
    int first = fx.b.list().indexOfAcquisition("p00001", "20240131_1015");
    fx.b.select(first);
    fx.b.lbl_date_Click(); // newest first, that project alone
    EXPECT_EQ(fx.b.c.lines,
              (std::vector<std::string>{"20240205_0930 Second", "20240131_1015 First"}));
    EXPECT_EQ(fx.b.c.listIndex, 1);
    fx.b.activate(0); // a flat line is chosen like any acquisition line
    EXPECT_EQ(fx.b.chosenFolder(), fx.dir / "p00001/20240205_0930");
    EXPECT_EQ(fx.b.c.headerAcquisition, "  > 2024.0205\t ACQ09:30 \"Second\"");
    fx.b.lblproject_Click();
    EXPECT_FALSE(fx.b.list().flat());
    EXPECT_EQ(fx.b.c.lines.size(), 2u);
}
