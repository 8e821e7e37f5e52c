#include "store/PlateFormat.h"

#include "StoreTestSupport.h"
#include "store/ProjectFile.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

using test::FakePrompter;
using test::StoreFixture;

const std::string kPlateHead = "\"Plate format\"\r\n\"test\"\r\n";

// A plate file listing (well, beam) per channel; channels past the list are
// left out of the file.
std::string plateText(const std::string& geometry,
                      const std::vector<std::pair<int, int>>& channels) {
    std::string text = kPlateHead + geometry + "\r\n\"<Channel>, <Well>, <Beam>\"\r\n";
    for (size_t c = 0; c < channels.size(); ++c)
        text += "\"" + std::to_string(c) + "\"," + std::to_string(channels[c].first) + "," +
                std::to_string(channels[c].second) + "\r\n";
    return text;
}

TEST(PlateFormat, BuiltInLayouts) {
    PlateLayout p;
    applyBuiltinPlate(p, "w96f");
    EXPECT_EQ(p.Plate_Rows, 8);
    EXPECT_DOUBLE_EQ(p.Row_Offset, -0.5);
    EXPECT_DOUBLE_EQ(p.Column_Offset, 0.0);
    EXPECT_EQ(p.Max_Well, 95);
    EXPECT_EQ(p.Max_Beam, 1);
    EXPECT_EQ(p.Channel_Well[0], 0);
    EXPECT_EQ(p.Channel_Well[16], 0);
    EXPECT_EQ(p.Channel_Beam[16], 1);
    EXPECT_EQ(p.Channel_Well[2], 1);
    EXPECT_EQ(p.Channel_Well[18], 1);
    EXPECT_EQ(p.Channel_Well[1], -1);
    EXPECT_EQ(p.Channel_Well[32], 8);
    EXPECT_EQ(p.wellChannel(95, 1), 382);
    EXPECT_EQ(p.channelLabel(18), "B1.1");
    EXPECT_EQ(p.channelLabel(382), "H12.1");

    applyBuiltinPlate(p, "w96u");
    EXPECT_DOUBLE_EQ(p.Column_Offset, -0.5);
    EXPECT_EQ(p.Max_Beam, 0);
    EXPECT_EQ(p.Channel_Well[16], -1);
    EXPECT_EQ(p.Channel_Well[32], 8);
    EXPECT_EQ(p.wellChannel(95, 0), 366);

    applyBuiltinPlate(p, "w384");
    EXPECT_EQ(p.Max_Well, 383);
    EXPECT_EQ(p.wellChannel(200, 0), 200);
    EXPECT_EQ(p.channelLabel(17), "B2.0");
}

TEST(PlateFormat, FileWrittenAndReadBackByteForByte) {
    std::vector<std::pair<int, int>> channels(kChannels, {-1, 0});
    channels[0] = {0, 0};
    channels[1] = {0, 1};
    channels[16] = {1, 0};
    std::string text = plateText("2,8,-0.25,3,8.5,-1", channels);
    StoreFixture f;
    f.dir.write("wtest.dat", text);
    PlateLayout p;
    ASSERT_EQ(readPlateFile(p, f.dir / "wtest.dat"), 0);
    EXPECT_EQ(p.Plate_Rows, 2);
    EXPECT_DOUBLE_EQ(p.Row_Pitch, 8.0);
    EXPECT_DOUBLE_EQ(p.Row_Offset, -0.25);
    EXPECT_EQ(p.Plate_Columns, 3);
    EXPECT_DOUBLE_EQ(p.Column_Pitch, 8.5);
    EXPECT_DOUBLE_EQ(p.Column_Offset, -1.0);
    EXPECT_EQ(p.Max_Well, 1);
    EXPECT_EQ(p.Max_Beam, 1);
    EXPECT_EQ(p.wellChannel(0, 1), 1);
    // Wells with fewer beams leave -1 where no channel serves them.
    EXPECT_EQ(p.wellChannel(1, 0), 16);
    EXPECT_EQ(p.wellChannel(1, 1), -1);
    EXPECT_EQ(plateFileText(p, "Plate format", "test"), text);
}

TEST(PlateFormat, Plate384FromFile) {
    std::vector<std::pair<int, int>> channels;
    for (int c = 0; c < kChannels; ++c)
        channels.push_back({c, 0});
    StoreFixture f;
    f.dir.write("w384.dat", plateText("16,1,0,24,1,0", channels));
    PlateLayout p;
    ASSERT_EQ(readPlateFile(p, f.dir / "w384.dat"), 0);
    EXPECT_EQ(p.Max_Well, 383);
    EXPECT_EQ(p.Max_Beam, 0);
    for (int c : {0, 17, 383})
        EXPECT_EQ(p.wellChannel(c, 0), c);
}

TEST(PlateFormat, ShorterListLeavesNoWellsOfThePreviousPlate) {
    StoreFixture f;
    f.dir.write("w2.dat", plateText("1,1,0,2,1,0", {{0, 0}, {1, 0}}));
    PlateLayout p;
    applyBuiltinPlate(p, "w384");
    ASSERT_EQ(readPlateFile(p, f.dir / "w2.dat"), 0);
    EXPECT_EQ(p.Max_Well, 1);
    EXPECT_EQ(p.Channel_Well[2], -1);
    EXPECT_EQ(p.Channel_Well[383], -1);
    EXPECT_EQ(p.Well_Channel.size(), 2u);
}

TEST(PlateFormat, TwoChannelsOnOnePairTheHigherWins) {
    StoreFixture f;
    f.dir.write("wdup.dat", plateText("1,1,0,1,1,0", {{0, 0}, {0, 0}, {0, 1}}));
    PlateLayout p;
    ASSERT_EQ(readPlateFile(p, f.dir / "wdup.dat"), 0);
    EXPECT_EQ(p.wellChannel(0, 0), 1);
    EXPECT_EQ(p.wellChannel(0, 1), 2);
}

TEST(PlateFormat, MissingFileFallsBackToW96f) {
    StoreFixture f;
    f.s.setup.Plate_format = "w48";
    f.s.plate.Channel_Well.fill(3);
    FakePrompter p;
    EXPECT_FALSE(loadPlateFormat(f.s, p));
    EXPECT_EQ(
        p.texts(),
        std::vector<std::string>{
            "Error [\\w48.dat] ID#1 => Loading plate format from default: 384,96f or 96u..."});
    EXPECT_EQ(f.s.setup.Plate_format, "w96f");
    EXPECT_EQ(f.s.plate.Max_Beam, 1);
    EXPECT_EQ(f.s.plate.Channel_Well[1], -1);
}

TEST(PlateFormat, DamagedFilesFallBackToTheirBuiltInLayout) {
    std::vector<std::pair<int, int>> ok(10, {0, 0});
    struct Case {
        std::string text;
        int stage;
    };
    std::vector<Case> cases = {
        {"", 1},
        {kPlateHead + "16,1,0", 1},
        {kPlateHead + "0,1,0,24,1,0\r\n\"h\"\r\n", 1},            // no rows
        {plateText("16,1,0,24,1,0", ok) + "\"10\",999,0\r\n", 2}, // well beyond 385 slots
        {plateText("16,1,0,24,1,0", ok) + "\"10\",4,-2\r\n", 2},  // negative beam in a well
        {plateText("16,1,0,24,1,0", ok) + "\"10\",4\r\n", 2},     // truncated triple
        {plateText("16,1,0,24,1,0", ok) + "\"10\",4,\x01\x02\r\n", 1},
        {kPlateHead + "16,1,0,24,1,0\r\n\"h\"\r\n" + std::string(2 * 1024 * 1024, '0'), 1},
    };
    for (const Case& c : cases) {
        StoreFixture f;
        f.dir.write("w384.dat", c.text);
        f.s.setup.Plate_format = "w384";
        FakePrompter p;
        EXPECT_FALSE(loadPlateFormat(f.s, p));
        EXPECT_EQ(p.texts(), std::vector<std::string>{plateErrorMessage("w384", c.stage)})
            << c.text.substr(0, 60);
        EXPECT_EQ(f.s.setup.Plate_format, "w384");
        EXPECT_EQ(f.s.plate.Max_Well, 383);
        EXPECT_EQ(f.s.plate.wellChannel(383, 0), 383);
    }
}

TEST(PlateFormat, NamesNeverReachOutsideTheProgramFolder) {
    StoreFixture f;
    makeFolder(f.dir / "inner");
    PlateLayout w384;
    applyBuiltinPlate(w384, "w384");
    f.dir.write("evil.dat", plateFileText(w384, "a", "b"));
    std::string programFolder = f.dir / "inner";
    FakePrompter p;
    for (std::string name : {"../evil", "/etc/passwd", "..", ""}) {
        PlateLayout plate;
        std::string format = name;
        EXPECT_FALSE(loadPlateFormat(plate, programFolder, format, p)) << name;
        EXPECT_EQ(format, "w96f");
        EXPECT_EQ(plate.Max_Beam, 1);
    }
}

TEST(PlateFormat, UpperCaseFileNamesAreFound) {
    StoreFixture f;
    PlateLayout w384;
    applyBuiltinPlate(w384, "w384");
    f.dir.write("W48.DAT", plateFileText(w384, "a", "b"));
    FakePrompter p;
    EXPECT_TRUE(changePlateFormat(f.s, "w48", p));
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(f.s.setup.Plate_format, "w48");
    EXPECT_EQ(f.s.plate.Max_Well, 383);
}

TEST(PlateFormat, ProjectLoadReadsThePlateAfterTheTables) {
    StoreFixture f;
    f.useProject(2);
    f.s.setup.Plate_format = "w384";
    saveProject(f.s);
    f.s.setup.Plate_format = "w96f";
    test::FakePorts fp;
    loadProject(f.s, 2, fp.ports);
    EXPECT_TRUE(fp.prompter.messages.empty());
    EXPECT_EQ(f.s.plate.Max_Well, 383);
}

} // namespace
} // namespace trv
