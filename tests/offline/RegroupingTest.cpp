// Regrouping a stored acquisition: the set sizes of a 96-well plate, moving
// and freeing wells, disabled channels, and the saves with their backups.
#include "offline/Regrouping.h"

#include "common/Files.h"
#include "display/RecordingSurface.h"
#include "store/ChannelTablesFile.h"
#include "support/Fakes.h"
#include "support/PlateLayouts.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

// A well's centre on the w96f plate (rows and columns of pitch 2).
double xOf(int column) {
    return 2.0 * column + 1;
}
double yOf(int row) {
    return -0.5 + 2.0 * row + 1;
}

struct Regroup : ::testing::Test {
    test::FakePorts fake;
    RecordingSurface surface;
    OfflineConfiguration config;
    void SetUp() override {
        config.layout.plate = test::w96fPlate();
        config.layout.channels.Channel_Group.fill(-1);
        // Well A1 (channels 0, 16) and A2 (32, 48) in group 0, B1 (2, 18) in group 1.
        for (int c : {0, 16, 32, 48})
            config.layout.channels.Channel_Group[static_cast<size_t>(c)] = 0;
        for (int c : {2, 18})
            config.layout.channels.Channel_Group[static_cast<size_t>(c)] = 1;
        config.layout.channels.Group_Name[0] = "Control";
        config.layout.channels.Channel_Enabled[18] = 0; // B1 beam 1 is disabled
    }
    int16_t groupOf(const RegroupSession& s, int c) {
        return s.channels().Channel_Group[static_cast<size_t>(c)];
    }
};

TEST_F(Regroup, SetSizesOfA96WellPlate) {
    RegroupSession s(config, fake.ports, surface);
    ASSERT_EQ(s.setSizes().size(), 24u);
    EXPECT_EQ(s.setSizes()[static_cast<size_t>(s.initialSetSize())], "04x01 [RowsxColumn]");
    EXPECT_EQ(s.setSizes().back(), "08x12 [RowsxColumn]");
    // Group 0 picked: its wells; the picker offers one number above the largest.
    EXPECT_EQ(s.assignedWells(), (std::vector<std::string>{"A1", "A2"}));
    EXPECT_EQ(s.editor().groups().back().number, 2);
    EXPECT_FALSE(surface.primitives().empty());
}

TEST_F(Regroup, WellsMoveBetweenGroupsAndDisabledChannelsStay) {
    RegroupSession s(config, fake.ports, surface);
    GroupEditor& e = s.editor();
    e.selectIndex(1); // group 1
    // A drag from A2 to B2 with the left button: A2 moves from group 0, B2 joins.
    e.mouseDown(MouseButton::Left, xOf(1), yOf(0));
    e.mouseMove(xOf(1), yOf(1));
    e.mouseUp(MouseButton::Left, xOf(1), yOf(1));
    for (int c : {32, 48, 34, 50})
        EXPECT_EQ(groupOf(s, c), 1) << c;
    EXPECT_EQ(groupOf(s, 0), 0);
    // Right click on B1: its enabled channel is freed, the disabled one kept.
    e.mouseDown(MouseButton::Right, xOf(0), yOf(1));
    e.mouseUp(MouseButton::Right, xOf(0), yOf(1));
    EXPECT_EQ(groupOf(s, 2), -1);
    EXPECT_EQ(groupOf(s, 18), 1);
    // A disabled free channel never joins a group.
    e.mouseDown(MouseButton::Left, xOf(0), yOf(1));
    e.mouseUp(MouseButton::Left, xOf(0), yOf(1));
    EXPECT_EQ(groupOf(s, 2), 1);
    EXPECT_EQ(groupOf(s, 18), 1);
    EXPECT_EQ(s.freeChannels().front(), "C1.0");
    // The configuration the session started from is untouched.
    EXPECT_EQ(config.channels().Channel_Group[32], 0);
}

TEST_F(Regroup, SavesKeepBackupsAndNeverWriteUnreadableFiles) {
    test::TempDir dir;
    const std::string folder = dir.path();
    ASSERT_TRUE(saveChannelTables(config.channels(), folder));
    const std::string original = readWholeFile(joinPath(folder, "chgroup.dat")).value_or("");
    fake.clock.set(2024, 3, 5, 17, 42, 5);

    config.folder = folder; // the session saves where its configuration came from
    RegroupSession s(config, fake.ports, surface);
    s.editor().clearGroups();
    ASSERT_TRUE(s.save());
    const std::string cleared = readWholeFile(joinPath(folder, "chgroup.dat")).value_or("");
    EXPECT_NE(cleared, original);
    EXPECT_EQ(readWholeFile(joinPath(folder, "chgroup.bak")), original);
    EXPECT_EQ(readWholeFile(joinPath(folder, "chgroup202403051742.bak")), original);
    EXPECT_TRUE(fileExists(joinPath(folder, "groups202403051742.bak")));
    EXPECT_GE(fake.clock.totalSleptMs, 210);

    // A second save in the same minute: both backups hold the first save's
    // groups, the state before this save.
    fake.clock.set(2024, 3, 5, 17, 42, 50);
    s.editor().autoArrange("04x01 [RowsxColumn]");
    ASSERT_TRUE(s.save());
    EXPECT_EQ(readWholeFile(joinPath(folder, "chgroup.bak")), cleared);
    EXPECT_EQ(readWholeFile(joinPath(folder, "chgroup202403051742.bak")), cleared);
    ChannelTables back;
    ASSERT_TRUE(readChannelTable(back, folder, ChannelTableFile::ChannelGroups));
    for (int c = 0; c < kChannels; ++c)
        ASSERT_EQ(back.Channel_Group[c], s.channels().Channel_Group[c]) << c;
    EXPECT_EQ(back.Channel_Group[0], 0);
    EXPECT_EQ(back.Channel_Group[32], 2);  // A2 starts the third set of 4 x 1
    EXPECT_EQ(back.Channel_Group[18], -1); // disabled: left free by the tiling

    // Names too long for the readers: nothing is replaced.
    ChannelTables huge = s.channels();
    huge.Group_Name.fill(std::string(3000, 'x'));
    const std::string before = readWholeFile(joinPath(folder, "groups.dat")).value_or("");
    EXPECT_FALSE(saveGroupFiles(folder, huge, fake.ports));
    EXPECT_EQ(readWholeFile(joinPath(folder, "groups.dat")), before);
    ASSERT_TRUE(readChannelTable(back, folder, ChannelTableFile::Groups));
}

} // namespace
} // namespace trv
