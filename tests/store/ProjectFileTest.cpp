#include "store/ProjectFile.h"
#include "store/AcquisitionRecord.h"

#include "StoreTestSupport.h"
#include "store/ChannelTablesFile.h"
#include "support/Fakes.h"
#include "support/Sanitizers.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace trv {
namespace {

using test::FakePorts;
using test::FakePrompter;
using test::StoreFixture;

const std::string kSetupFixture =
    "\"Project Setup: <Num_proj>,<Name>,<Working_folder>,<Plate_format>\"\r\n"
    "3,\"Larvae, run 'B'\",\"/home/u/trv/p00003/\",\"w384\"\r\n"
    "\"<Aq_mode>,<Aq_lapse>,<Sample_Rate>,<RT_Buffer>,<DSP_Method>,<DSP_Interval>\"\r\n"
    "2,45,99,500,3,30\r\n"
    "\"<Binary_Acq>,<Threshold_Counter>,<Cal_value>,<Cal_mode>,<Save_counts>,<Save_real>\"\r\n"
    "1,300,80,1,1,0\r\n"
    "\"Tools: <Menu1:Cal>, <Menu2:Light>, <Menu3:Temp>, <Menu4>, <Menu5>, <Menu6>\"\r\n"
    "1,1,0,0,0,0\r\n"
    "\"Mn1: <Organism>, <Enab_Cal>, <Enab_Zero>, <SNRx10>,,\"\r\n"
    "1,1,1,25,0,0\r\n"
    "\"Mn2: <Enable>, <Time_ON>, <v3:Time_OFF>,,,\"\r\n"
    "1,8,20,3,5,-5\r\n"
    "\"Mn3: <v1:Enable>, <v2:Tempx10>,,,,\"\r\n"
    "0,200,0,0,0,0\r\n"
    "\"Mn4: ,,,,,\"\r\n"
    "0,0,0,0,0,0\r\n"
    "\"Mn5: ,,,,,\"\r\n"
    "0,0,0,0,0,0\r\n"
    "\"Mn6: ,,,,,\"\r\n"
    "0,0,0,0,0,7\r\n";

ProjectSetup fixtureSetup() {
    ProjectSetup st;
    st.Name = "Larvae, run \"B\"";
    st.Working_folder = "/home/u/trv/p00003/";
    st.Plate_format = "w384";
    st.Aq_mode = 2;
    st.Aq_lapse = 45;
    st.DSP_Method = 3;
    st.Save_real = 0;
    st.Menu2 = 1;
    st.Mn[0] = {1, 1, 1, 25, 0, 0};
    st.Mn[1] = {1, 8, 20, 3, 5, -5};
    st.Mn[5][5] = 7;
    return st;
}

// A complete setup.dat naming a project; plate w96f so loads stay quiet.
std::string setupNamed(const std::string& name, int num) {
    ProjectSetup st;
    st.Name = name;
    return setupFileText(st, num);
}

std::string firstLines(const std::string& text, int n) {
    std::string out;
    for (const auto& l : splitLines(text)) {
        if (n-- <= 0) break;
        out += l + "\r\n";
    }
    return out;
}

TEST(ProjectFile, SetupWrittenAndReadBackByteForByte) {
    EXPECT_EQ(setupFileText(fixtureSetup(), 3), kSetupFixture);
    StoreFixture f;
    f.dir.write("setup.dat", kSetupFixture);
    ProjectSetup st;
    ASSERT_TRUE(readSetupFile(f.dir / "setup.dat", st).ok());
    EXPECT_EQ(st.Num_proj, 3);
    EXPECT_EQ(st.Name, "Larvae, run 'B'");
    EXPECT_EQ(st.Plate_format, "w384");
    EXPECT_EQ(st.Aq_lapse, 45);
    EXPECT_EQ(st.Save_real, 0);
    EXPECT_EQ(st.Menu2, 1);
    EXPECT_EQ(st.Pulse_OFFx10(), -5);
    EXPECT_EQ(st.Mn[5][5], 7);
    EXPECT_EQ(setupFileText(st, 3), kSetupFixture);
}

TEST(ProjectFile, SaveKeepsThePreviousVersionAndWritesTheTables) {
    StoreFixture f;
    std::string folder = f.useProject(3);
    f.s.setup.Name = "first";
    ASSERT_TRUE(saveProject(f.s));
    EXPECT_FALSE(fileExists(joinPath(folder, "setup.bak"))); // nothing to back up yet
    f.s.setup.Name = "second";
    f.s.channels.Channel_Group[5] = -1;
    ASSERT_TRUE(saveProject(f.s));
    EXPECT_EQ(f.dir.read("p00003/setup.bak"), setupNamed("first", 3));
    EXPECT_EQ(f.dir.read("p00003/setup.dat"), setupNamed("second", 3));
    for (const char* table : {"status.dat", "threshld.dat", "groups.dat", "chgroup.dat"})
        EXPECT_EQ(test::lineCount(f.dir.read(std::string("p00003/") + table)), 385) << table;

    FakePorts fp;
    SharedState other;
    other.Program_Folder = f.s.Program_Folder;
    other.Project_Folder = folder;
    other.config.Actual_Project_Number = 3;
    loadProject(other, 3, fp.ports);
    EXPECT_TRUE(fp.prompter.messages.empty()) << fp.prompter.texts().front();
    EXPECT_EQ(other.setup.Name, "second");
    EXPECT_EQ(other.channels.Channel_Group[5], -1);
    EXPECT_EQ(other.plate.Max_Beam, 1); // w96f loaded from its file
}

TEST(ProjectFile, BlockSizeOutsideTheSetupRangeLoadsAsTheFallbackAndRunsStoreIt) {
    const struct {
        int16_t stored, loaded;
    } cases[] = {{0, 200},     {1, 200},   {-7, 200},      {199, 200},
                 {10001, 200}, {200, 200}, {10000, 10000}, {500, 500}};
    for (const auto& c : cases) {
        StoreFixture f;
        const std::string folder = f.useProject(3);
        f.s.setup.RT_Buffer = c.stored;
        ASSERT_TRUE(saveProject(f.s));
        f.s.setup.RT_Buffer = 500;
        FakePorts fp;
        loadProject(f.s, 3, fp.ports);
        EXPECT_EQ(f.s.setup.RT_Buffer, c.loaded) << c.stored;
        EXPECT_TRUE(fp.prompter.messages.empty()) << c.stored;
        // An acquisition's copy of the project holds the block size it records with.
        const std::string acq = createAcquisitionFolder(f.s, {2024, 3, 15, 9, 30, 0, 0}, "r", "");
        ProjectSetup copy;
        ASSERT_TRUE(readSetupFile(joinPath(joinPath(folder, acq), "setup.dat"), copy).ok());
        EXPECT_EQ(copy.RT_Buffer, c.loaded) << c.stored;
    }
}

TEST(ProjectFile, TwelveLineFileKeepsToolsAndMnWithoutMessage) {
    StoreFixture f;
    std::string folder = f.useProject(3);
    saveProject(f.s); // channel tables, so only setup.dat matters
    f.dir.write("p00003/setup.dat", firstLines(kSetupFixture, 12));
    f.s.setup.Menu2 = 0;
    f.s.setup.Mn[1] = {0, 6, 18, 0, 0, 0};
    FakePorts fp;
    loadProject(f.s, 3, fp.ports);
    EXPECT_TRUE(fp.prompter.messages.empty());
    EXPECT_EQ(f.s.setup.Name, "Larvae, run 'B'");
    EXPECT_EQ(f.s.setup.DSP_Method, 3);
    EXPECT_EQ(f.s.setup.Save_real, 0);
    EXPECT_EQ(f.s.setup.Menu2, 0);
    EXPECT_EQ(f.s.setup.Mn[1][1], 6);
    EXPECT_EQ(f.s.setup.Mn[1][2], 18);
}

TEST(ProjectFile, ShortFileIsRecoveredFromTheBackup) {
    StoreFixture f;
    f.useProject(5);
    saveProject(f.s);
    f.dir.write("p00005/setup.bak", setupNamed("from backup", 5));
    f.dir.write("p00005/setup.dat", firstLines(setupNamed("broken", 5), 4));
    FakePorts fp;
    loadProject(f.s, 5, fp.ports);
    EXPECT_EQ(fp.prompter.texts(),
              (std::vector<std::string>{
                  "Error [\\p00005\\setup.dat] ID#4 => Loading values from: p00005\\",
                  "Warning!! PLEASE Re-Check setup values before RUN"}));
    EXPECT_EQ(f.s.setup.Name, "from backup");
    EXPECT_EQ(f.dir.read("p00005/setup.dat"), setupNamed("from backup", 5));
}

TEST(ProjectFile, RecoveryTakesTheNewestAcquisitionByDate) {
    struct Case {
        std::vector<std::string> folders;
        std::string expected;
    };
    for (const Case& c : {Case{{"20231231_2359", "20240101_0001"}, "20240101_0001"},
                          Case{{"20240301_0800", "20240302_0700"}, "20240302_0700"},
                          Case{{"20240301_0800", "2024010_1200", "20240101-1200", "20990101_0000x"},
                               "20240301_0800"}}) {
        StoreFixture f;
        std::string folder = f.useProject(5);
        saveProject(f.s);
        ::unlink(joinPath(folder, "setup.dat").c_str());
        for (const auto& name : c.folders) {
            makeFolder(joinPath(folder, name));
            f.dir.write("p00005/" + name + "/setup.dat", setupNamed(name, 5));
        }
        EXPECT_EQ(recoveryAcquisitionFolder(folder), c.expected);
        FakePorts fp;
        loadProject(f.s, 5, fp.ports);
        ASSERT_FALSE(fp.prompter.messages.empty());
        EXPECT_EQ(fp.prompter.texts().front(),
                  "Error [\\p00005\\setup.dat] ID#1 => Loading values from: p00005\\" + c.expected);
        EXPECT_EQ(f.s.setup.Name, c.expected);
    }
    StoreFixture none;
    EXPECT_EQ(recoveryAcquisitionFolder(none.dir / "missing"), "");
}

TEST(ProjectFile, ShortAcquisitionCopyIsNotUsedAndDefaultsFollow) {
    StoreFixture f;
    std::string folder = f.useProject(5);
    saveProject(f.s);
    ::unlink(joinPath(folder, "setup.dat").c_str());
    makeFolder(joinPath(folder, "20240301_0800"));
    f.dir.write("p00005/20240301_0800/setup.dat", firstLines(setupNamed("short", 5), 16));
    f.s.setup.Name = "in memory";
    f.s.setup.Plate_format = "w384";
    f.s.setup.Mn[2][1] = 250;
    FakePorts fp;
    loadProject(f.s, 5, fp.ports);
    EXPECT_EQ(
        fp.prompter.texts(),
        (std::vector<std::string>{"Error [\\p00005\\setup.dat] ID#1 => Loading default values...",
                                  "Warning!! PLEASE Re-Check setup values before RUN"}));
    EXPECT_EQ(f.s.setup.Name, "Default");
    EXPECT_EQ(f.s.setup.Plate_format, "w96f");
    EXPECT_EQ(f.s.setup.Working_folder, f.dir.path() + "/p00005/");
    EXPECT_EQ(f.s.setup.Tempx10(), 200);
    EXPECT_FALSE(fileExists(joinPath(folder, "setup.dat")));
}

TEST(ProjectFile, RecoveryRunsOnceWhenTheBackupIsBrokenToo) {
    StoreFixture f;
    f.useProject(5);
    saveProject(f.s);
    f.dir.write("p00005/setup.dat", "garbage\x01\r\n");
    f.dir.write("p00005/setup.bak", firstLines(setupNamed("old", 5), 4));
    FakePorts fp;
    loadProject(f.s, 5, fp.ports);
    EXPECT_EQ(fp.prompter.texts(),
              (std::vector<std::string>{
                  "Error [\\p00005\\setup.dat] ID#1 => Loading values from: p00005\\",
                  "Warning!! PLEASE Re-Check setup values before RUN",
                  "Error [\\p00005\\setup.dat] ID#4 => Loading default values...",
                  "Warning!! PLEASE Re-Check setup values before RUN"}));
    EXPECT_EQ(f.s.setup.Name, "Default");
}

TEST(ProjectFile, ProjectZeroNeverRecoversAndGetsDefaults) {
    StoreFixture f;
    saveProject(f.s);
    f.dir.write("setup.dat", "\"Project Setup\"\r\n");
    f.dir.write("setup.bak", setupNamed("backup", 0));
    f.s.setup.Name = "before";
    f.s.setup.Plate_format = "w384";
    FakePorts fp;
    loadProject(f.s, 0, fp.ports);
    EXPECT_EQ(
        fp.prompter.texts(),
        (std::vector<std::string>{"Error [\\p00000\\setup.dat] ID#4 => Loading default values...",
                                  "Warning!! PLEASE Re-Check setup values before RUN"}));
    EXPECT_EQ(f.s.setup.Name, "Default");
    EXPECT_EQ(f.s.setup.Plate_format, "w96f");
    EXPECT_EQ(f.dir.read("setup.dat"), "\"Project Setup\"\r\n");
}

TEST(ProjectFile, DefaultsOnlyForTheGroupsNotRead) {
    StoreFixture f;
    saveProject(f.s);
    std::string text = kSetupFixture;
    // A number outside 16 bits in line 4 stops the read at stage 2.
    text.replace(text.find("2,45,99"), 7, "2,99999");
    f.dir.write("setup.dat", text);
    FakePorts fp;
    loadProject(f.s, 0, fp.ports);
    EXPECT_EQ(fp.prompter.texts().front(),
              "Error [\\p00000\\setup.dat] ID#2 => Loading default values...");
    EXPECT_EQ(f.s.setup.Name, "Larvae, run 'B'"); // group 1 was read
    EXPECT_EQ(f.s.setup.Aq_mode, 1);
    EXPECT_EQ(f.s.setup.Aq_lapse, 30);
    EXPECT_EQ(f.s.setup.Save_real, 1);
    EXPECT_EQ(f.s.setup.Menu2, 0);
    EXPECT_EQ(f.s.setup.Mn[1], ProjectSetup::defaultMn()[1]);
    // The next save writes a file that loads without a word.
    ASSERT_TRUE(saveProject(f.s));
    fp.prompter.clear();
    loadProject(f.s, 0, fp.ports);
    EXPECT_TRUE(fp.prompter.messages.empty());
}

TEST(ProjectFile, BadInputAlwaysEndsWithACompleteSetup) {
    std::string overlong =
        "\"Project Setup\"\r\n3,\"" + std::string(2 * 1024 * 1024, 'x') + "\"\r\n";
    std::string truncated = kSetupFixture.substr(0, kSetupFixture.find("Larvae") + 3);
    std::string wrongNumber = kSetupFixture;
    wrongNumber.replace(wrongNumber.find("3,\"Larvae"), 1, "three");
    for (const std::string& content :
         {std::string(),
          std::string("\x7f\x45\x4c\x46\x02\x01\x01\x00\r\n\r\n\r\n\r\n\r\n\r\n", 20), overlong,
          truncated, wrongNumber}) {
        StoreFixture f;
        saveProject(f.s);
        f.dir.write("setup.dat", content);
        FakePorts fp;
        loadProject(f.s, 0, fp.ports);
        ASSERT_EQ(fp.prompter.messages.size(), 2u);
        EXPECT_NE(fp.prompter.texts()[0].find("=> Loading default values..."), std::string::npos);
        ASSERT_TRUE(saveProject(f.s));
        fp.prompter.clear();
        loadProject(f.s, 0, fp.ports);
        EXPECT_TRUE(fp.prompter.messages.empty());
    }
}

TEST(ProjectFile, LoadReadsSetupThenTablesThenPlate) {
    StoreFixture f;
    std::string folder = f.useProject(6);
    f.dir.write("p00006/setup.dat", [] {
        ProjectSetup st;
        st.Plate_format = "w24";
        return setupFileText(st, 6);
    }());
    FakePorts fp;
    loadProject(f.s, 6, fp.ports);
    EXPECT_EQ(
        fp.prompter.texts(),
        (std::vector<std::string>{
            "Error [\\p00006\\status.dat] => Loading default values...",
            "Error [\\p00006\\threshld.dat] => Loading default values...",
            "Error [\\p00006\\groups.dat] => Loading default groups...",
            "Error [\\p00006\\chgroup.dat] => Loading default groups...",
            "Error [\\w24.dat] ID#1 => Loading plate format from default: 384,96f or 96u..."}));
    EXPECT_EQ(f.s.setup.Plate_format, "w96f");
    EXPECT_TRUE(fp.status.texts.empty());
}

TEST(ProjectFile, ProjectNumberDifferentFromTheFolderIsOnlyAWarning) {
    StoreFixture f;
    f.useProject(5);
    saveProject(f.s);
    f.dir.write("p00005/setup.dat", setupNamed("moved", 4));
    FakePorts fp;
    loadProject(f.s, 5, fp.ports);
    const std::string warning = "Warning: Project ID# <> Folder Name [p005]";
    EXPECT_EQ(fp.prompter.texts(), std::vector<std::string>{warning});
    EXPECT_EQ(fp.status.on(status::NewsLine), std::vector<std::string>{warning});
    EXPECT_EQ(f.s.setup.Name, "moved");
    EXPECT_EQ(f.s.setup.Num_proj, 4);
}

TEST(ProjectFile, DescribeRecoversOrReportsInTheText) {
    StoreFixture f;
    FakePrompter p;
    std::string folder = f.useProject(3);
    f.dir.write("p00003/setup.dat", setupNamed("Larvae run", 3));
    EXPECT_EQ(describeProject(folder, p), "<Project> p00003: Larvae run");

    f.dir.write("p00003/setup.dat", "\"x\"\r\n");
    f.dir.write("p00003/setup.bak", setupNamed("from bak", 3));
    EXPECT_EQ(describeProject(folder, p), "<Project> p00003: from bak");
    EXPECT_EQ(p.texts(),
              std::vector<std::string>{"Error reading Setup.dat -> recovered from Setup.bak"});

    p.clear();
    ::unlink(joinPath(folder, "setup.dat").c_str());
    ::unlink(joinPath(folder, "setup.bak").c_str());
    makeFolder(joinPath(folder, "20240102_0800"));
    f.dir.write("p00003/20240102_0800/setup.dat", setupNamed("from acq", 3));
    EXPECT_EQ(describeProject(folder, p), "<Project> p00003: from acq");
    EXPECT_EQ(p.texts(), std::vector<std::string>{"Error reading Setup.dat -> recovered from " +
                                                  joinPath(folder, "20240102_0800")});

    std::string empty = f.useProject(4);
    EXPECT_EQ(describeProject(empty, p), "<Project> p: SETUP NOT FOUND!!");
    f.dir.write("p00004/setup.dat", "\"h\"\r\n1,\"unclosed\r\n\r\n\r\n\r\n\r\n");
    EXPECT_EQ(describeProject(empty, p), "ERROR on SETUP.DAT FILE!!!");
}

// A setup.dat of gigabytes (here sparse) is damaged like any over-long store
// file: read, described and renamed within a small address space, without
// reading it.
TEST(ProjectFile, OverLongSetupIsDamagedAndNeverReadWhole) {
#if TRV_ADDRESS_SANITIZER
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#else
    StoreFixture f;
    const std::string folder = f.useProject(3);
    const std::string setup = joinPath(folder, "setup.dat");
    f.dir.write("p00003/setup.dat", kSetupFixture);
    ASSERT_EQ(::truncate(setup.c_str(), 3LL << 30), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{1ull << 30, 1ull << 30};
        ::setrlimit(RLIMIT_AS, &limit);
        FakePrompter p;
        ProjectSetup st;
        const bool damaged = readSetupFile(setup, st).stage != 0 &&
                             describeProject(folder, p) == "<Project> p: SETUP NOT FOUND!!" &&
                             renameProject(folder, "x", p).empty();
        ::_exit(damaged ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
#endif
}

TEST(ProjectFile, RenameKeepsEveryOtherLineAndSurvivesCommasAndQuotes) {
    StoreFixture f;
    FakePrompter p;
    std::string folder = f.useProject(3);
    f.dir.write("p00003/setup.dat", kSetupFixture);
    EXPECT_EQ(renameProject(folder, "Dose 1, 2, 3", p), "Dose 1, 2, 3");
    EXPECT_EQ(renameProject(folder, "say \"hi\", twice", p), "say 'hi', twice");
    std::string text = f.dir.read("p00003/setup.dat");
    std::string expected = kSetupFixture;
    expected.replace(expected.find("\"Larvae, run 'B'\""), 17, "\"say 'hi', twice\"");
    EXPECT_EQ(text, expected);
    EXPECT_EQ(f.dir.read("p00003/setup.bak").find("\"Dose 1, 2, 3\",\"/home"),
              kSetupFixture.find("\"Larvae"));
    EXPECT_EQ(describeProject(folder, p), "<Project> p00003: say 'hi', twice");
    EXPECT_TRUE(p.messages.empty());

    // Nothing to rename: the name comes back and nothing is created.
    std::string empty = f.useProject(4);
    EXPECT_EQ(renameProject(empty, "new", p), "new");
    EXPECT_FALSE(fileExists(joinPath(empty, "setup.dat")));
    EXPECT_FALSE(fileExists(joinPath(empty, "setup.bak")));
}

TEST(ProjectFile, RenameRefusesFilesItCannotRebuild) {
    StoreFixture f;
    FakePrompter p;
    std::string folder = f.useProject(3);
    std::string longFile;
    for (int i = 0; i < 52; ++i)
        longFile += "1,2\r\n";
    std::string manyFields = "\"h\"\r\n1,2,3,4,5,6,7,8,9,10,11,12\r\n";
    std::string unclosed = "\"h\"\r\n1,\"open,\"x\"\r\n";
    for (const std::string& content :
         {longFile, manyFields, unclosed, std::string("\"only one line\"")}) {
        f.dir.write("p00003/setup.dat", content);
        EXPECT_EQ(renameProject(folder, "x", p), "");
        EXPECT_EQ(f.dir.read("p00003/setup.dat"), content);
    }
}

TEST(ProjectFile, RenameWithoutBackupCopyShowsError) {
    StoreFixture f;
    FakePrompter p;
    std::string folder = f.useProject(3);
    f.dir.write("p00003/setup.dat", kSetupFixture);
    makeFolder(joinPath(folder, "setup.bak")); // a folder where the copy must go
    EXPECT_EQ(renameProject(folder, "x", p), "");
    EXPECT_EQ(p.texts(), std::vector<std::string>{"error"});
    EXPECT_EQ(f.dir.read("p00003/setup.dat"), kSetupFixture);
}

} // namespace
} // namespace trv
