#include "setup/ProjectArea.h"

#include "SetupTestSupport.h"
#include "common/Numeric.h"
#include "store/ChannelTablesFile.h"
#include "store/StoreText.h"
#include "store/ProjectFile.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

using test::SetupFixture;

std::string setupNamed(const std::string& name, int num) {
    ProjectSetup st;
    st.Name = name;
    return setupFileText(st, num);
}

struct ProjectAreaTest : SetupFixture, ::testing::Test {
    ProjectArea area{s, fake.ports};

    // The current project: number 3 named "Larvae" in its folder.
    void onProject3() {
        makeFolder(dir / "p00003");
        dir.write("p00003/setup.dat", setupNamed("Larvae", 3));
        s.Project_Folder = dir / "p00003";
        s.config = {3, 4, 1, 0};
        s.setup.Name = "Larvae";
    }
};

TEST_F(ProjectAreaTest, NewProjectTakesTheNextNumberAndWritesEverything) {
    onProject3();
    s.setup.Aq_lapse = 45;
    s.channels.Group_Name[0] = "Control";
    prompter().type("Mutants");

    ASSERT_TRUE(area.newProject());

    ASSERT_EQ(prompter().messages.size(), 1u);
    EXPECT_EQ(prompter().messages[0].text, "Do you like to Create a New Project?");
    EXPECT_EQ(prompter().messages[0].buttons, Buttons::OkCancel);
    ASSERT_EQ(prompter().prompts.size(), 1u);
    EXPECT_EQ(prompter().prompts[0].prompt, "Enter the New Project Name");
    EXPECT_EQ(prompter().prompts[0].title, "Saving <5> with a new name");

    EXPECT_EQ(s.config.Actual_Project_Number, 5);
    EXPECT_EQ(s.config.Last_Project, 5);
    EXPECT_EQ(s.Project_Folder, dir / "p00005");
    EXPECT_EQ(area.txtprj(), "5_Mutants");
    EXPECT_EQ(area.txtfolder(), dir / "p00005");
    EXPECT_EQ(dir.read("config.dat"), configFileText({5, 5, 1, 0}));

    // The new project starts as a copy of what was in memory.
    ProjectSetup expected = s.setup;
    EXPECT_EQ(expected.Working_folder, dir.path() + "/p00005/");
    EXPECT_EQ(dir.read("p00005/setup.dat"), setupFileText(expected, 5));
    EXPECT_EQ(dir.read("p00005/groups.dat"), channelTableText(s.channels, ChannelTableFile::Groups));
    EXPECT_TRUE(fileExists(dir / "p00005/chgroup.dat"));
    // The project it came from is untouched.
    EXPECT_EQ(dir.read("p00003/setup.dat"), setupNamed("Larvae", 3));
}

TEST_F(ProjectAreaTest, CancellingTheQuestionCreatesNothingButACancelledNameIsAccepted) {
    onProject3();
    prompter().answer(Answer::Cancel);
    EXPECT_FALSE(area.newProject());
    EXPECT_TRUE(prompter().prompts.empty());
    EXPECT_EQ(s.config.Last_Project, 4);
    EXPECT_FALSE(folderExists(dir / "p00005"));

    prompter().cancelInput();
    ASSERT_TRUE(area.newProject());
    EXPECT_EQ(area.txtprj(), "5_");
    EXPECT_EQ(s.setup.Name, "");
}

TEST_F(ProjectAreaTest, CounterAt32000WrapsToProjectOneAfterShowing32001) {
    onProject3();
    s.config.Last_Project = 32000;
    prompter().type("Wrapped");
    ASSERT_TRUE(area.newProject());
    EXPECT_EQ(prompter().prompts[0].title, "Saving <32001> with a new name");
    EXPECT_EQ(s.config.Actual_Project_Number, 1);
    EXPECT_EQ(s.config.Last_Project, 1);
    EXPECT_TRUE(fileExists(dir / "p00001/setup.dat"));
    EXPECT_EQ(dir.read("config.dat"), configFileText({1, 1, 1, 0}));
}

TEST_F(ProjectAreaTest, DecliningTheOverwriteKeepsTheProjectButRaisesTheCounter) {
    onProject3();
    s.config.Last_Project = 32000;
    makeFolder(dir / "p00001");
    dir.write("p00001/setup.dat", setupNamed("Old one", 1));
    prompter().type("Wrapped");
    prompter().answer(Answer::Ok); // create?
    prompter().answer(Answer::No); // overwrite?

    EXPECT_FALSE(area.newProject());
    ASSERT_EQ(prompter().messages.size(), 2u);
    EXPECT_EQ(prompter().messages[1].text,
              "The project number to generate (p00001already exists. do you like to overwrite?");
    EXPECT_EQ(prompter().messages[1].buttons, Buttons::YesNo);
    EXPECT_EQ(s.config.Actual_Project_Number, 3);
    EXPECT_EQ(s.Project_Folder, dir / "p00003");
    EXPECT_EQ(s.setup.Name, "Larvae");
    EXPECT_EQ(s.config.Last_Project, 1);
    EXPECT_FALSE(fileExists(dir / "config.dat"));
    EXPECT_EQ(dir.read("p00001/setup.dat"), setupNamed("Old one", 1));

    // The next New proposes the number after it; overwriting an existing
    // folder reuses it.
    makeFolder(dir / "p00002");
    prompter().type("Second");
    ASSERT_TRUE(area.newProject());
    EXPECT_EQ(prompter().prompts[1].title, "Saving <2> with a new name");
    EXPECT_EQ(s.config.Actual_Project_Number, 2);
    EXPECT_TRUE(fileExists(dir / "p00002/setup.dat"));
}

TEST_F(ProjectAreaTest, SaveUpdatesSavesAsNewOrDoesNothing) {
    // Project 0: its folder is the program folder.
    s.config = {0, 7, 1, 0};
    s.setup.Name = "Default";
    s.setup.Aq_lapse = 60;
    prompter().answer(Answer::Yes);
    area.saveClick();
    EXPECT_EQ(prompter().messages[0].text, "Do you like to Update <0_Default> values?");
    EXPECT_EQ(prompter().messages[0].buttons, Buttons::YesNoCancel);
    EXPECT_EQ(dir.read("setup.dat"), setupFileText(s.setup, 0));

    prompter().clear();
    s.setup.Aq_lapse = 90;
    prompter().answer(Answer::Cancel);
    area.saveClick();
    EXPECT_EQ(leadingNumber(splitLines(dir.read("setup.dat"))[3].substr(2)), 60);

    // No: save as new, without the "create" question.
    prompter().clear();
    prompter().answer(Answer::No);
    prompter().type("Copy");
    area.saveClick();
    ASSERT_EQ(prompter().messages.size(), 1u);
    EXPECT_EQ(prompter().prompts[0].prompt, "Enter the New Project Name");
    EXPECT_EQ(prompter().prompts[0].title, "Saving <0_Default> with a new name");
    EXPECT_EQ(area.txtprj(), "8_Copy");
    EXPECT_EQ(dir.read("p00008/setup.dat"), setupFileText(s.setup, 8));
}

TEST_F(ProjectAreaTest, SaveIntoAMissingFolderSaysSo) {
    s.config = {3, 3, 1, 0};
    s.Project_Folder = dir / "p00003"; // deleted behind the program's back
    prompter().answer(Answer::Yes);
    area.saveClick();
    EXPECT_TRUE(prompter().saw("<Error Saving Project Files>"));
}

struct ProjectListTest : ProjectAreaTest {
    void SetUp() override {
        dir.write("setup.dat", setupNamed("Default", 0));
        for (auto [folder, name, num] : {std::tuple{"p00003", "Larvae run", 3},
                                         std::tuple{"p00001", "First", 1},
                                         std::tuple{"p00000", "Zero folder", 0},
                                         std::tuple{"p00004.old", "Archived", 4},
                                         std::tuple{"q00005", "Not a project", 5},
                                         std::tuple{"p99999", "Out of range", 9999}}) {
            makeFolder(dir / folder);
            dir.write(std::string(folder) + "/setup.dat", setupNamed(name, num));
        }
        makeFolder(dir / "p00002"); // no setup.dat
        makeFolder(dir / "p00007");
        dir.write("p00007/setup.dat", "\"short\"\r\n1\r\n"); // nothing to recover from
        s.config = {1, 7, 1, 0};
        s.Project_Folder = dir / "p00001";
        s.setup.Name = "First";
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& e : area.list()) out.push_back(e.text);
        return out;
    }
    int entry(const std::string& folder) const {
        for (size_t i = 0; i < area.list().size(); ++i)
            if (area.list()[i].folder == folder) return static_cast<int>(i);
        return -1;
    }
};

TEST_F(ProjectListTest, ListsProjectFoldersWithASetupFile) {
    prompter().answer(Answer::No);
    area.loadClick();
    EXPECT_EQ(prompter().messages[0].text, "Do you like to save current values before new load?");
    EXPECT_TRUE(area.listVisible());
    EXPECT_EQ(texts(), (std::vector<std::string>{"p00000_Zero folder", "p00001_First",
                                                 "p00003_Larvae run", "p00007_SETUP NOT FOUND!!"}));
    area.hideList();
    EXPECT_FALSE(area.listVisible());
}

TEST_F(ProjectListTest, SaveBeforeLoadAnswers) {
    s.setup.Aq_lapse = 77;
    prompter().answer(Answer::Cancel);
    area.loadClick();
    EXPECT_FALSE(area.listVisible());
    EXPECT_EQ(dir.read("p00001/setup.dat"), setupNamed("First", 1));

    prompter().answer(Answer::Yes);
    area.loadClick();
    EXPECT_TRUE(area.listVisible());
    EXPECT_EQ(dir.read("p00001/setup.dat"), setupFileText(s.setup, 1));
}

TEST_F(ProjectListTest, ChoosingAnEntryLoadsThatProject) {
    area.fillList();
    s.setup.Aq_lapse = 77; // unsaved: lost by the load
    ASSERT_TRUE(area.chooseEntry(entry("p00003")));
    EXPECT_EQ(s.config.Actual_Project_Number, 3);
    EXPECT_EQ(s.Project_Folder, dir / "p00003");
    EXPECT_EQ(s.setup.Name, "Larvae run");
    EXPECT_EQ(s.setup.Aq_lapse, 30);
    EXPECT_EQ(dir.read("config.dat"), configFileText({3, 7, 1, 0}));
    EXPECT_FALSE(area.listVisible());
    EXPECT_FALSE(area.chooseEntry(-1)); // an empty selection does nothing
    EXPECT_EQ(s.config.Actual_Project_Number, 3);
}

TEST_F(ProjectListTest, FolderP00000LoadsProjectZeroFromTheProgramFolder) {
    area.fillList();
    ASSERT_TRUE(area.chooseEntry(entry("p00000")));
    EXPECT_EQ(s.config.Actual_Project_Number, 0);
    EXPECT_EQ(s.Project_Folder, dir.path());
    EXPECT_EQ(s.setup.Name, "Default");
    EXPECT_EQ(area.txtprj(), "0_Default");
}

TEST(ProjectNumberOfFolder, FiveDigitsOrFourAfterALetter) {
    EXPECT_EQ(projectNumberOfFolder("p00003"), 3);
    EXPECT_EQ(projectNumberOfFolder("p32000"), 32000);
    EXPECT_EQ(projectNumberOfFolder("p00000"), 0);
    EXPECT_EQ(projectNumberOfFolder("px0042"), 42);
    EXPECT_EQ(projectNumberOfFolder("p12"), 12);
    EXPECT_EQ(projectNumberOfFolder("p"), 0);
}

TEST_F(ProjectAreaTest, RenameRefusesProjectZeroAndChangesOnlyMemory) {
    s.config = {0, 3, 1, 0};
    s.setup.Name = "Default";
    area.rename();
    EXPECT_EQ(prompter().texts(), std::vector<std::string>{
                                      "Not possible to rename the Default project. Save it with another Name"});
    EXPECT_TRUE(prompter().prompts.empty());
    EXPECT_EQ(s.setup.Name, "Default");

    onProject3();
    prompter().type("Larvae \"fast\"");
    area.rename();
    EXPECT_EQ(prompter().prompts.back().prompt, "Rename Project: Entre New Name");
    EXPECT_EQ(area.txtprj(), "3_Larvae 'fast'");
    EXPECT_EQ(dir.read("p00003/setup.dat"), setupNamed("Larvae", 3));

    prompter().type(""); // an empty answer keeps the name
    area.rename();
    EXPECT_EQ(s.setup.Name, "Larvae 'fast'");
}

} // namespace
} // namespace trv
