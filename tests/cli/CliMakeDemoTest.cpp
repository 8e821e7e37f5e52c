// trelvane-cli make-demo, run as a program on a program folder seeded from
// data/, and the project it leaves read back with the store's loaders.
#include "TestPaths.h"
#include "cli/CliRun.h"
#include "common/Files.h"
#include "display/LivePlots.h"
#include "store/ConfigFile.h"
#include "store/ProjectFile.h"
#include "support/Fakes.h"
#include "support/ShippedFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>

namespace trv {
namespace {

using test::seedProgramFolder;

// The current project of a program folder, loaded as the program loads it.
SharedState loadCurrent(const std::string& home, test::FakePorts& fp) {
    SharedState s;
    s.Program_Folder = home;
    loadConfig(s, fp.prompter);
    resolveProjectFolder(s);
    loadProject(s, s.config.Actual_Project_Number, fp.ports);
    return s;
}

TEST(CliMakeDemo, LeavesACurrentW96fProjectWithFourGroupsOfThreeColumns) {
    test::TempDir home, out;
    seedProgramFolder(home);
    const CliResult r = runCli(out, {"make-demo", home.path(), "--lapse", "5", "--com", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("project 1 \"Demo\""), std::string::npos) << r.out;

    test::FakePorts fp;
    SharedState s = loadCurrent(home.path(), fp);
    EXPECT_TRUE(fp.prompter.messages.empty()) << fp.prompter.texts().front();
    EXPECT_EQ(s.config.Actual_Project_Number, 1);
    EXPECT_EQ(s.config.Last_Project, 1);
    EXPECT_EQ(s.config.Serial_COM, 3);
    EXPECT_EQ(s.Project_Folder, home / "p00001");
    EXPECT_EQ(s.setup.Name, "Demo");
    EXPECT_EQ(s.setup.Aq_lapse, 5);
    EXPECT_EQ(s.setup.Plate_format, "w96f");

    // Every beam of a well belongs to the group of its plate column (three
    // columns a group, 24 wells each); every other beam is free.
    std::map<int, std::map<int, int>> wellsOfGroup; // group -> well -> beams
    for (int c = 0; c < kChannels; ++c) {
        const int well = s.plate.Channel_Well[static_cast<size_t>(c)];
        const int group = s.channels.Channel_Group[static_cast<size_t>(c)];
        if (well < 0) {
            EXPECT_EQ(group, -1) << "beam " << c;
            continue;
        }
        EXPECT_EQ(group, well / s.plate.Plate_Rows / 3 + 1) << "beam " << c;
        ++wellsOfGroup[group][well];
    }
    ASSERT_EQ(wellsOfGroup.size(), 4u);
    for (auto& [group, wells] : wellsOfGroup)
        EXPECT_EQ(wells.size(), 24u) << "group " << group;
    EXPECT_EQ(groupPickerEntries(s.channels),
              (std::vector<std::string>{"001_Control", "002_Dose 1", "003_Dose 2", "004_Dose 3"}));
}

TEST(CliMakeDemo, ASecondDemoTakesTheNextNumberAndLeavesTheFirst) {
    test::TempDir home, out;
    seedProgramFolder(home);
    ASSERT_EQ(runCli(out, {"make-demo", home.path()}).exitCode, 0);
    const std::string first = readWholeFile(joinPath(home / "p00001", kSetupFileName)).value_or("");
    const CliResult r = runCli(out, {"make-demo", home.path() + "/", "--name=Second run"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readWholeFile(joinPath(home / "p00001", kSetupFileName)).value_or("?"), first);

    test::FakePorts fp;
    SharedState s = loadCurrent(home.path(), fp);
    EXPECT_EQ(s.config.Actual_Project_Number, 2);
    EXPECT_EQ(s.config.Last_Project, 2);
    EXPECT_EQ(s.config.Serial_COM, 1);
    EXPECT_EQ(s.setup.Name, "Second run");
    EXPECT_EQ(s.setup.Aq_lapse, 3);
}

TEST(CliMakeDemo, RefusesAFolderWithoutConfigAndBadArguments) {
    test::TempDir home, out;
    CliResult r = runCli(out, {"make-demo", home.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no config.dat in"), std::string::npos) << r.err;
    EXPECT_FALSE(folderExists(home / "p00001"));

    seedProgramFolder(home);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"make-demo", home.path(), "--com", "16"},
          {"make-demo", home.path(), "--lapse", "0"},
          {"make-demo", home.path(), "--name="},
          {"make-demo", home.path(), "second-folder"},
          {"make-demo", home.path(), "--colour", "red"}}) {
        r = runCli(out, args);
        EXPECT_EQ(r.exitCode, 2) << args.back();
        EXPECT_NE(r.err.find("usage: trelvane-cli make-demo"), std::string::npos);
    }
    EXPECT_FALSE(folderExists(home / "p00001"));
}

TEST(CliMakeDemo, WithoutAFolderUsesTheProgramFolder) {
    test::TempDir home, out;
    seedProgramFolder(home);
    std::vector<std::string> envText = {"PATH=/usr/bin:/bin", "TRELVANE_HOME=" + home.path()};
    std::vector<char*> envp;
    for (auto& e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const CliResult r = runCliWith(out, {"make-demo", "--lapse", "2"}, envp.data());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    test::FakePorts fp;
    EXPECT_EQ(loadCurrent(home.path(), fp).setup.Aq_lapse, 2);
}

} // namespace
} // namespace trv
