#include "offline/BrowserList.h"

#include "offline/BrowserFixture.h"

#include <gtest/gtest.h>

using namespace trv;
using trv::test::BrowserFixture;

// Whatever bytes a folder name holds, the line gives back that folder.
TEST(BrowserLines, ReadBackTheFolderTheyWereMadeFrom) {
    const std::string acquisitions[] = {"20240131_1015",
                                        "2024\"131_1015",
                                        "2024\t131_10\t5",
                                        "20.4.131_10:5",
                                        "2ACQ0131_1015",
                                        "2024\xff\xfe"
                                        "31_1015",
                                        ">>>>>>>>_>>>>",
                                        "+0240131_1015"};
    const std::string names[] = {"",
                                 "plain",
                                 "with \"quotes\" ACQ10:15 > .",
                                 "tab\there",
                                 std::string(3000, 'x'),
                                 "\xc3\x28 bad utf8"};
    const std::string tags = "[K1][K3]";
    for (const auto& folder : acquisitions)
        for (const auto& name : names) {
            EXPECT_EQ(acquisitionFolderOfLine(acquisitionLine(folder, name, nullptr)), folder);
            EXPECT_EQ(acquisitionFolderOfLine(acquisitionLine(folder, name, &tags)), folder);
            EXPECT_EQ(acquisitionFolderOfFlatLine(flatLine(folder, name)), folder);
        }
    for (const std::string project : {"p00001", "p\t0001", "p.:>\"_", "p\xff\xfe\x01zz"})
        for (const std::string& date : {std::string("2024.0131"), std::string(8, ' '),
                                        listDate("2024\t131_1015"), listDate("20.4.131_1015")}) {
            EXPECT_EQ(projectFolderOfLine(projectLine(date, project, "name\twith tab")), project)
                << date;
        }
    EXPECT_EQ(acquisitionLine("20240131_1015", "First", nullptr),
              "  > 2024.0131\t ACQ10:15 \"First\"");
    const std::string none;
    EXPECT_EQ(acquisitionLine("20240131_1015", "A", &none), "  > 2024.0131\t ACQ10:15 \"A\"\t\t");
    EXPECT_EQ(projectFolderOfLine("  > 2024.0131\t ACQ10:15 \"First\""), "");
    EXPECT_EQ(acquisitionFolderOfLine("+ 2024.0131\tp00001_x"), "");
}

TEST(BrowserLines, FilterTermSlots) {
    struct Case {
        std::string text;
        std::vector<std::string> terms;
    } cases[] = {
        {"larvae", {"larvae"}},
        {"\"dose one\" control", {"doseone", "control"}},
        {"a  b", {"a", "b"}},
        {"1 2 3 4 5 6 7 8 9 10 11 12", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "101112"}},
        // Two blanks leave an empty slot that still counts towards the ten.
        {"1  2 3 4 5 6 7 8 9 10", {"1", "2", "3", "4", "5", "6", "7", "8", "910"}},
        {"\"unclosed run", {"unclosedrun"}},
        {"   ", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(filterTerms(c.text), c.terms) << c.text;
}

TEST(BrowserList, EmptyProgramFolderGivesAnEmptyList) {
    BrowserFixture fx;
    BrowserList list(fx.program, fx.fake.prompter);
    list.listProjects();
    EXPECT_TRUE(list.lines().empty());
    EXPECT_EQ(list.kindAt(0), LineKind::None);
    EXPECT_EQ(list.projectAt(0), "");
}

TEST(BrowserList, ProjectsAcquisitionsOrderAndTags) {
    BrowserFixture fx;
    fx.project("p00001", "Larvae run");
    fx.project("p00002", "Empty project", 2);
    fx.project("p00003", "Worms", 3);
    makeFolder(fx.dir / "p0004");  // five characters: not a project
    makeFolder(fx.dir / "p00005"); // no setup.dat: not listed
    // The oldest folder gives the date even without counts.bin.
    fx.acquisition("p00001", "20240101_0800", "No data", false);
    fx.acquisition("p00001", "20240131_1015", "First");
    fx.acquisition("p00001", "20240205_0930", "Second");
    fx.acquisition("p00003", "20230301_1200", "Only");
    fx.dir.write("p00003/tags_id.dat", "20230301_1200 [K1][K3]\r\n");

    BrowserList list(fx.program, fx.fake.prompter);
    list.listProjects();
    EXPECT_EQ(list.lines(), (std::vector<std::string>{"+ 2023.0301\tp00003_Worms",
                                                      "+         \tp00002_Empty project",
                                                      "+ 2024.0101\tp00001_Larvae run"}));
    EXPECT_EQ(list.projectAt(1), "p00002");

    list.setExpanded("p00001", true);
    list.setExpanded("p00003", true);
    list.setDescending(false);
    list.rebuild();
    EXPECT_EQ(list.lines(), (std::vector<std::string>{
                                "+ 2024.0101\tp00001_Larvae run",
                                "  > 2024.0131\t ACQ10:15 \"First\"",
                                "  > 2024.0205\t ACQ09:30 \"Second\"",
                                "+         \tp00002_Empty project",
                                "+ 2023.0301\tp00003_Worms",
                                "  > 2023.0301\t ACQ12:00 \"Only\"\t\t[K1][K3]",
                            }));
    EXPECT_EQ(list.selectionKind, LineKind::Project);
    EXPECT_EQ(list.projectAt(2), "p00001");
    EXPECT_EQ(list.acquisitionAt(2), "20240205_0930");
    EXPECT_EQ(list.projectAt(5), "p00003");
    EXPECT_EQ(list.listedAcquisitions("p00001"),
              (std::vector<std::string>{"20240131_1015", "20240205_0930"}));

    ASSERT_TRUE(list.listFlat("p00001"));
    EXPECT_EQ(list.lines(),
              (std::vector<std::string>{"20240131_1015 First", "20240205_0930 Second"}));
    EXPECT_EQ(list.projectAt(1), "p00001");
    EXPECT_EQ(list.acquisitionAt(1), "20240205_0930");
    EXPECT_FALSE(list.listFlat("p00002"));
    EXPECT_EQ(list.size(), 2); // unchanged
}

TEST(BrowserList, FilterKeepsProjectsMatchingEveryTerm) {
    BrowserFixture fx;
    fx.project("p00001", "Larvae run");
    fx.project("p00002", "Worms", 2);
    fx.project("p00003", "Empty larvae", 3);
    fx.acquisition("p00001", "20240131_1015", "DoseONE control");
    fx.acquisition("p00001", "20240201_1015", "hidden dose", false); // not searched
    fx.acquisition("p00002", "20240301_1200", "Heat shock");
    fx.dir.write("p00002/tags_id.dat", "20240301_1200 [K2]\r\n");

    struct Case {
        std::string text;
        std::vector<std::string> projects;
    } cases[] = {
        {"LARVAE", {"p00003", "p00001"}},
        {"\"dose one\"", {"p00001"}},   // its acquisition "DoseONE": quoted words are joined
        {"larvae control", {"p00001"}}, // both terms must match
        {"hidden", {}},                 // folder without counts.bin
        {"[K2]", {}},                   // tag text is not searched
        {"ACQ12:00", {"p00002"}},
        {"empty", {"p00003"}}, // a project without acquisitions: own line only
    };
    for (const auto& c : cases) {
        BrowserList list(fx.program, fx.fake.prompter);
        list.applyFilter(c.text);
        std::vector<std::string> projects;
        for (int i = 0; i < list.size(); ++i)
            projects.push_back(list.projectAt(i));
        EXPECT_EQ(projects, c.projects) << c.text;
        EXPECT_TRUE(list.filterOn());
    }

    // Expanding a filtered project lists its acquisitions below it.
    BrowserList list(fx.program, fx.fake.prompter);
    list.applyFilter("larvae");
    list.setExpanded("p00001", true);
    list.rebuild();
    EXPECT_EQ(list.size(), 3);
    EXPECT_EQ(list.acquisitionAt(2), "20240131_1015");
    list.applyFilter("");
    EXPECT_FALSE(list.filterOn());
    EXPECT_EQ(list.indexOfProject("p00002"), 1);
}
