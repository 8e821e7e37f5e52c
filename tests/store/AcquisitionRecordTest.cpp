#include "store/AcquisitionRecord.h"

#include "StoreTestSupport.h"
#include "store/ProjectFile.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <sstream>
#include <unistd.h>

namespace trv {
namespace {

using test::FakePrompter;
using test::StoreFixture;

TEST(AcquisitionRecord, SubprojWrittenAndReadBackByteForByte) {
    const std::string text =
        subprojFileText("Dose \"A\",\r\n10 uM", "first line\x1b\r\n\r\nthird, with \"quotes\"");
    EXPECT_EQ(text, "\"Dose 'A',  10 uM\"\r\n\"first line \r\n\r\nthird, with 'quotes'\"\r\n");
    StoreFixture f;
    f.dir.write("subproj.dat", text);
    EXPECT_EQ(readAcquisitionName(f.dir.path()), "Dose 'A',  10 uM");
    // The empty line inside the comments is not shown.
    EXPECT_EQ(readAcquisitionComments(f.dir.path()), "first line \r\nthird, with 'quotes'");
}

// The exact start is preferred to the folder's minute; a damaged or missing
// start.dat falls back to the folder name.
TEST(AcquisitionRecord, TheStartFileOrElseTheFolderName) {
    const LocalDateTime t{2024, 3, 15, 9, 30, 2, 0};
    EXPECT_EQ(startFileText(t, 60), "2024-03-15T09:30:02+01:00\r\n");
    EXPECT_EQ(startFileText(t, -330), "2024-03-15T09:30:02-05:30\r\n");
    const LocalDateTime minute{2024, 3, 15, 9, 31, 0, 0};
    struct Case {
        const char* text; // nullptr: no start.dat
        LocalDateTime start;
    };
    for (const Case& c : std::vector<Case>{{"2024-03-15T09:30:02-05:30\r\n", t},
                                           {"2024-03-15T09:30:02+00:00", t},
                                           {"2024-02-30T09:30:02+00:00\r\n", minute},
                                           {"2024-03-15 09:30:02+00:00\r\n", minute},
                                           {"2024-03-15T09:30:02+00:00 x\r\n", minute},
                                           {"", minute},
                                           {nullptr, minute}}) {
        SCOPED_TRACE(c.text ? c.text : "none");
        StoreFixture f;
        const std::string folder = f.dir / "20240315_0931";
        ASSERT_TRUE(makeFolder(folder));
        if (c.text) f.dir.write("20240315_0931/start.dat", c.text);
        EXPECT_EQ(acquisitionStartTime(folder), c.start);
    }
    StoreFixture f;
    ASSERT_TRUE(writeAcquisitionStart(f.dir.path(), t));
    EXPECT_EQ(readAcquisitionStart(f.dir.path()), t);
    EXPECT_EQ(acquisitionStartTime(f.dir / "notatime"), std::nullopt);
}

TEST(AcquisitionRecord, CreateSavesTheProjectIntoTheFolderAndComesBack) {
    StoreFixture f;
    std::string project = f.useProject(3);
    f.s.setup.Name = "Larvae";
    f.s.channels.Channel_Group[0] = 4;
    std::string name = createAcquisitionFolder(f.s, {2024, 3, 15, 9, 30, 12, 0}, "Run 1", "note");
    EXPECT_EQ(name, "20240315_0930");
    EXPECT_EQ(f.s.Project_Folder, project);
    std::string acq = joinPath(project, name);
    EXPECT_EQ(f.dir.read("p00003/20240315_0930/setup.dat"), setupFileText(f.s.setup, 3));
    for (const char* file : {"status.dat", "threshld.dat", "groups.dat", "chgroup.dat"})
        EXPECT_TRUE(fileExists(joinPath(acq, file))) << file;
    EXPECT_EQ(f.dir.read("p00003/20240315_0930/subproj.dat"), "\"Run 1\"\r\n\"note\"\r\n");
    EXPECT_FALSE(fileExists(joinPath(project, "setup.dat"))); // the project itself is not saved

    // A second start in the same minute (a program restarted after a kill)
    // records in the next free minute; the first run's files stay as they were.
    f.s.setup.Name = "Larvae 2";
    EXPECT_EQ(createAcquisitionFolder(f.s, {2024, 3, 15, 9, 30, 55, 0}, "Run 2", ""),
              "20240315_0931");
    EXPECT_EQ(readAcquisitionName(acq), "Run 1");
    EXPECT_EQ(readAcquisitionName(joinPath(project, "20240315_0931")), "Run 2");
    EXPECT_EQ(f.s.Project_Folder, project);
}

TEST(AcquisitionRecord, TheNextFreeMinuteSkipsFoldersHoldingARun) {
    struct Case {
        const char* taken; // folders present, with what they hold
        LocalDateTime start;
        const char* expected;
    };
    const Case cases[] = {
        {"", {2024, 3, 15, 9, 30, 59, 999}, "20240315_0930"},
        // A snapshot alone (a blank reading) holds no run: it is taken as is.
        {"20240315_0930:setup.dat", {2024, 3, 15, 9, 30, 1, 0}, "20240315_0930"},
        {"20240315_0930:counts.bin", {2024, 3, 15, 9, 30, 1, 0}, "20240315_0931"},
        {"20240315_0930:0.bin 20240315_0931:subproj.dat",
         {2024, 3, 15, 9, 30, 1, 0},
         "20240315_0932"},
        {"20241231_2359:subproj.dat", {2024, 12, 31, 23, 59, 30, 0}, "20250101_0000"},
    };
    for (const Case& c : cases) {
        StoreFixture f;
        const std::string project = f.useProject(1);
        std::istringstream taken(c.taken);
        std::string entry;
        while (taken >> entry) {
            const std::string folder = joinPath(project, entry.substr(0, entry.find(':')));
            makeFolder(folder);
            writeFileAtomic(joinPath(folder, entry.substr(entry.find(':') + 1)), "x");
        }
        EXPECT_EQ(freeAcquisitionFolderName(project, c.start), c.expected) << c.taken;
    }
}

TEST(AcquisitionRecord, CreateFailsVisiblyWhenTheFolderCannotBeMade) {
    StoreFixture f;
    f.s.Project_Folder = f.dir / "gone";
    EXPECT_EQ(createAcquisitionFolder(f.s, {2024, 3, 15, 9, 30, 0, 0}, "x", ""), "");
    EXPECT_EQ(f.s.Project_Folder, f.dir / "gone");
    f.s.Project_Folder.clear();
    EXPECT_FALSE(saveProject(f.s));
    EXPECT_EQ(createAcquisitionFolder(f.s, {2024, 3, 15, 9, 30, 0, 0}, "x", ""), "");
    EXPECT_FALSE(folderExists("20240315_0930"));
}

TEST(AcquisitionRecord, RenameKeepsCommentsAndTheBackup) {
    StoreFixture f;
    FakePrompter p;
    f.dir.write("subproj.dat", subprojFileText("old", "line 1\r\nline 2"));
    EXPECT_EQ(renameAcquisition(f.dir.path(), "new, \"better\"", p), "new, 'better'");
    EXPECT_EQ(f.dir.read("subproj.dat"), "\"new, 'better'\"\r\n\"line 1\r\nline 2\"\r\n");
    EXPECT_EQ(f.dir.read("subproj.bak"), subprojFileText("old", "line 1\r\nline 2"));
    EXPECT_EQ(setAcquisitionComments(f.dir.path(), "only this", p), "OK");
    EXPECT_EQ(f.dir.read("subproj.dat"), "\"new, 'better'\"\r\n\"only this\"\r\n");
    EXPECT_TRUE(p.messages.empty());
}

TEST(AcquisitionRecord, UpdatesWithoutSubprojDoNothing) {
    StoreFixture f;
    FakePrompter p;
    EXPECT_EQ(renameAcquisition(f.dir.path(), "new", p), "new");
    EXPECT_EQ(setAcquisitionComments(f.dir.path(), "c", p), "OK");
    EXPECT_FALSE(fileExists(f.dir / "subproj.dat"));
    EXPECT_FALSE(fileExists(f.dir / "subproj.bak"));
    EXPECT_EQ(readAcquisitionName(f.dir.path()), "");
    EXPECT_EQ(readAcquisitionComments(f.dir.path()), "");
}

TEST(AcquisitionRecord, UpdatesOfDamagedFiles) {
    StoreFixture f;
    FakePrompter p;
    // Comments can be set on an empty file: the name stays empty.
    f.dir.write("subproj.dat", "");
    EXPECT_EQ(setAcquisitionComments(f.dir.path(), "c", p), "OK");
    EXPECT_EQ(f.dir.read("subproj.dat"), "\"\"\r\n\"c\"\r\n");
    // A rename needs the comments it keeps.
    f.dir.write("subproj.dat", "\"name only\"\r\n");
    EXPECT_EQ(renameAcquisition(f.dir.path(), "x", p), "");
    EXPECT_EQ(f.dir.read("subproj.dat"), "\"name only\"\r\n");
    f.dir.write("subproj.dat", std::string("\"a\x00\x01\"\r\n", 7));
    EXPECT_EQ(readAcquisitionName(f.dir.path()), "");
    EXPECT_EQ(renameAcquisition(f.dir.path(), "x", p), "");
    // The backup cannot be written: "error" and the file stays.
    f.dir.write("subproj.dat", subprojFileText("a", "b"));
    ::unlink((f.dir / "subproj.bak").c_str());
    ASSERT_TRUE(makeFolder(f.dir / "subproj.bak"));
    EXPECT_EQ(renameAcquisition(f.dir.path(), "x", p), "");
    EXPECT_EQ(p.texts(), std::vector<std::string>{"error"});
    EXPECT_EQ(readAcquisitionName(f.dir.path()), "a");
}

TEST(AcquisitionRecord, Tags) {
    StoreFixture f;
    EXPECT_EQ(tagTextOf(f.dir.path(), "20240315_0930"), "");
    EXPECT_EQ(keysTaggedWith(f.dir.path(), "[K1]"), "");
    f.dir.write("tags_id.dat",
                "20240315_0930 [K1][K3]\r\n"
                "20240316_1000\r\n"       // no blank: never matched
                " [K1] leading blank\r\n" // blank first: skipped
                "20240317_1100 [K2] two words\r\n"
                "20240318_1200 [K3][K1]\r\n");
    EXPECT_EQ(tagTextOf(f.dir.path(), "20240315_0930"), "[K1][K3]");
    EXPECT_EQ(tagTextOf(f.dir.path(), "20240317_1100"), "[K2] two words");
    EXPECT_EQ(tagTextOf(f.dir.path(), "20240316_1000"), "");
    EXPECT_EQ(tagTextOf(f.dir.path(), "20240315"), "");
    EXPECT_EQ(keysTaggedWith(f.dir.path(), "[K1]"), "20240315_0930 20240318_1200");
    EXPECT_EQ(keysTaggedWith(f.dir.path(), "[K2]"), "20240317_1100");
    // The text is looked for from the second character on.
    EXPECT_EQ(keysTaggedWith(f.dir.path(), "2024031"), "");
    EXPECT_EQ(keysTaggedWith(f.dir.path(), "0240315"), "20240315_0930");
    EXPECT_EQ(keysTaggedWith(f.dir.path(), "[K4]"), "");
}

TEST(AcquisitionRecord, TagUpdatesRewriteTheFileWholeOnlyWhenSomethingChanged) {
    const std::string key = "20240131_1015";
    std::string thousand;
    for (int i = 0; i < 1001; ++i)
        thousand += "20230101_0000 [K1]\r\n";
    const std::string exactly1000 = thousand.substr(0, thousand.size() / 1001 * 1000);
    const std::string longer = key + "_x [K1]\r\n" + key + " [K1]\r\n";
    struct Case {
        const char* what;
        std::string before; // "" with missing: no file
        bool missing;
        std::string key, tag;
        TagUpdate result;
        std::string after; // when missing after: "" and no file
    } cases[] = {
        {"new file", "", true, key, "[K1]", TagUpdate::Written, key + " [K1]\r\n"},
        {"twice", key + " [K1]\r\n", false, key, "[K1]", TagUpdate::Unchanged, key + " [K1]\r\n"},
        {"appended, LF lines become CR LF", "x y\n" + key + " [K1]\n", false, key, "[K2]",
         TagUpdate::Written, "x y\r\n" + key + " [K1][K2]\r\n"},
        {"clear without a line", "", true, key, "", TagUpdate::Unchanged, ""},
        {"clear keeps the key alone", key + " [K1][K3]\r\nz w\r\n", false, key, "",
         TagUpdate::Written, key + "\r\nz w\r\n"},
        {"a key alone gets a second line", key + "\r\n", false, key, "[K4]", TagUpdate::Written,
         key + "\r\n" + key + " [K4]\r\n"},
        {"binary file left alone", "ab\x01\x02" + key + " [K1]", false, key, "[K2]",
         TagUpdate::Refused, "ab\x01\x02" + key + " [K1]"},
        {"more than 1000 lines left alone", thousand, false, key, "[K1]", TagUpdate::Refused,
         thousand},
        {"a blank in the key", "", true, "2024 131_1015", "[K1]", TagUpdate::Refused, ""},
        {"1000 lines still updated", exactly1000, false, key, "[K2]", TagUpdate::Written,
         exactly1000 + key + " [K2]\r\n"},
        {"a longer key is another acquisition", longer, false, key, "[K2]", TagUpdate::Written,
         key + "_x [K1]\r\n" + key + " [K1][K2]\r\n"},
        {"clearing leaves a longer key alone", longer, false, key, "", TagUpdate::Written,
         key + "_x [K1]\r\n" + key + "\r\n"},
    };
    for (const auto& c : cases) {
        StoreFixture f;
        if (!c.missing) f.dir.write("tags_id.dat", c.before);
        EXPECT_EQ(updateTags(f.dir.path(), c.key, c.tag), c.result) << c.what;
        if (c.after.empty())
            EXPECT_FALSE(fileExists(f.dir / "tags_id.dat")) << c.what;
        else
            EXPECT_EQ(f.dir.read("tags_id.dat"), c.after) << c.what;
    }
}

TEST(AcquisitionRecord, FolderNameShape) {
    EXPECT_TRUE(isAcquisitionFolderName("20240315_0930"));
    EXPECT_FALSE(isAcquisitionFolderName("2024010_1200"));
    EXPECT_FALSE(isAcquisitionFolderName("20240101-1200"));
    EXPECT_FALSE(isAcquisitionFolderName("20240315_0930_old"));
}

} // namespace
} // namespace trv
