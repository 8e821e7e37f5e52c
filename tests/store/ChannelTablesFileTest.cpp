#include "store/ChannelTablesFile.h"

#include "StoreTestSupport.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace trv {
namespace {

using test::FakePrompter;
using test::StoreFixture;

bool startsWith(const std::string& s, const std::string& head) {
    return s.compare(0, head.size(), head) == 0;
}
bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(ChannelTablesFile, EachTableWrittenWithItsHeaderAndNumberFormat) {
    ChannelTables t;
    t.Channel_Enabled[1] = 0;
    t.Channel_Enabled[2] = 5;
    t.Channel_Threshold[0] = 2.34567;
    t.Channel_Threshold[1] = 4.0004;
    t.Channel_Threshold[2] = 2.5;
    t.Channel_Threshold[383] = -0.0004;
    t.Group_Name[0] = "Control, day 1";
    t.Group_Name[1] = "say \"x\"";
    t.Group_Name[2] = "bell\x07 and\r\nbreak";
    t.Channel_Group[1] = -1;

    std::string status = channelTableText(t, ChannelTableFile::Status);
    EXPECT_TRUE(startsWith(status, "\"<Channel>, <Enabled>\"\r\n0,1\r\n1,0\r\n2,1\r\n3,1\r\n"));
    EXPECT_TRUE(endsWith(status, "\r\n383,1\r\n"));
    std::string thresholds = channelTableText(t, ChannelTableFile::Threshold);
    EXPECT_TRUE(
        startsWith(thresholds, "\"<Channel>, <Threshold>\"\r\n0,2.346\r\n1,4\r\n2,2.5\r\n3,3\r\n"));
    EXPECT_TRUE(endsWith(thresholds, "\r\n382,3\r\n383,0\r\n"));
    std::string groups = channelTableText(t, ChannelTableFile::Groups);
    EXPECT_TRUE(startsWith(groups, "\"<Group_Number>, <Group_Name>\"\r\n0,\"Control, day 1\"\r\n"
                                   "1,\"say 'x'\"\r\n2,\"bell  and  break\"\r\n3,\"Group3\"\r\n"));
    EXPECT_NE(groups.find("\r\n11,\"Group11\"\r\n12,\"Free\"\r\n"), std::string::npos);
    EXPECT_TRUE(endsWith(groups, "\r\n383,\"Free\"\r\n"));
    std::string chgroup = channelTableText(t, ChannelTableFile::ChannelGroups);
    EXPECT_TRUE(startsWith(chgroup, "\"<Channel>, <Group: -1=Free>\"\r\n0,0\r\n1,-1\r\n2,0\r\n"));
    EXPECT_NE(chgroup.find("\r\n15,0\r\n16,1\r\n"), std::string::npos);
    EXPECT_NE(chgroup.find("\r\n367,11\r\n368,12\r\n"), std::string::npos);
    EXPECT_TRUE(endsWith(chgroup, "\r\n383,12\r\n"));
    for (const auto* text : {&status, &thresholds, &groups, &chgroup})
        EXPECT_EQ(test::lineCount(*text), 385);

    // Read back from files: what was written is what loads.
    StoreFixture f;
    ASSERT_TRUE(saveChannelTables(t, f.dir.path()));
    ChannelTables back;
    back.Channel_Group.fill(7);
    FakePrompter p;
    loadChannelTables(back, f.dir.path(), 3, p);
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(back.Channel_Enabled[1], 0);
    EXPECT_EQ(back.Channel_Enabled[2], -1);
    EXPECT_DOUBLE_EQ(back.Channel_Threshold[0], 2.346);
    EXPECT_DOUBLE_EQ(back.Channel_Threshold[1], 4.0);
    EXPECT_EQ(back.Group_Name[0], "Control, day 1");
    EXPECT_EQ(back.Group_Name[1], "say 'x'");
    EXPECT_EQ(back.Channel_Group[1], -1);
    EXPECT_EQ(back.Channel_Group[383], 12);
    EXPECT_EQ(back.Channel_Group[384], 7); // slot 384 is never in a file
    EXPECT_EQ(channelTableText(back, ChannelTableFile::Status), status);
    EXPECT_EQ(channelTableText(back, ChannelTableFile::Threshold), thresholds);
    EXPECT_EQ(channelTableText(back, ChannelTableFile::Groups), groups);
    EXPECT_EQ(channelTableText(back, ChannelTableFile::ChannelGroups), chgroup);
}

TEST(ChannelTablesFile, MissingChannelGroupsGiveTheDefaultGrouping) {
    StoreFixture f;
    std::string folder = f.useProject(3);
    ChannelTables t;
    t.Channel_Group.fill(-1);
    saveChannelTables(t, folder);
    ::unlink(joinPath(folder, "chgroup.dat").c_str());
    FakePrompter p;
    loadChannelTables(f.s, p);
    EXPECT_EQ(p.texts(), std::vector<std::string>{
                             "Error [\\p00003\\chgroup.dat] => Loading default groups..."});
    auto& g = f.s.channels.Channel_Group;
    for (int c : {0, 15})
        EXPECT_EQ(g[static_cast<size_t>(c)], 0) << c;
    for (int c : {16, 47})
        EXPECT_EQ(g[static_cast<size_t>(c)], 1) << c;
    for (int c : {336, 367})
        EXPECT_EQ(g[static_cast<size_t>(c)], 11) << c;
    for (int c : {368, 383})
        EXPECT_EQ(g[static_cast<size_t>(c)], 12) << c;
}

TEST(ChannelTablesFile, ValuesArePositionalAndNormalised) {
    StoreFixture f;
    f.dir.write("status.dat", "\"<Channel>, <Enabled>\"\r\n200,1\r\n7,0\r\n9,5\r\n");
    f.dir.write("threshld.dat", "\"<Channel>, <Threshold>\"\r\n12,4.0004\r\n0,2.34567\r\n");
    ChannelTables t;
    t.Channel_Enabled.fill(0);
    t.Channel_Enabled[10] = -1;
    ASSERT_TRUE(readChannelTable(t, f.dir.path(), ChannelTableFile::Status));
    ASSERT_TRUE(readChannelTable(t, f.dir.path(), ChannelTableFile::Threshold));
    EXPECT_EQ(t.Channel_Enabled[0], -1); // record "200,1" fills channel 0
    EXPECT_EQ(t.Channel_Enabled[1], 0);
    EXPECT_EQ(t.Channel_Enabled[2], -1); // 5 means enabled
    // Channels a short file does not list keep what they had.
    EXPECT_EQ(t.Channel_Enabled[3], 0);
    EXPECT_EQ(t.Channel_Enabled[10], -1);
    EXPECT_TRUE(startsWith(channelTableText(t, ChannelTableFile::Status),
                           "\"<Channel>, <Enabled>\"\r\n0,1\r\n1,0\r\n2,1\r\n3,0\r\n"));
    EXPECT_TRUE(startsWith(channelTableText(t, ChannelTableFile::Threshold),
                           "\"<Channel>, <Threshold>\"\r\n0,4\r\n1,2.346\r\n2,3\r\n"));
}

TEST(ChannelTablesFile, MoreThan385RecordsAreIgnored) {
    StoreFixture f;
    std::string text = "\"<Channel>, <Group: -1=Free>\"\r\n";
    for (int i = 0; i < 500; ++i)
        text += std::to_string(i) + "," + std::to_string(i % 7) + "\r\n";
    f.dir.write("chgroup.dat", text);
    ChannelTables t;
    ASSERT_TRUE(readChannelTable(t, f.dir.path(), ChannelTableFile::ChannelGroups));
    EXPECT_EQ(t.Channel_Group[384], 384 % 7);
    EXPECT_EQ(t.Channel_Group[100], 100 % 7);
}

TEST(ChannelTablesFile, DamagedFileFallsBackForItsOwnArrayOnly) {
    const std::string head = "\"<Channel>, <Enabled>\"\r\n0,0\r\n1,0\r\n";
    std::string overlong = head + std::string(2 * 1024 * 1024, '1');
    for (const std::string& bad : {std::string(), head + "2,", head + "2,\x01\x02\x03\r\n",
                                   head + "2,70000\r\n", overlong, head + "\"3,1\r\n"}) {
        StoreFixture f;
        std::string folder = f.useProject(3);
        ChannelTables good;
        good.Channel_Threshold.fill(1.5);
        saveChannelTables(good, folder);
        f.dir.write("p00003/status.dat", bad);
        f.s.channels.Channel_Enabled.fill(0);
        FakePrompter p;
        loadChannelTables(f.s, p);
        EXPECT_EQ(p.texts(), std::vector<std::string>{
                                 "Error [\\p00003\\status.dat] => Loading default values..."});
        EXPECT_EQ(f.s.channels.Channel_Enabled[0], -1); // defaults, not the records read before
        EXPECT_EQ(f.s.channels.Channel_Enabled[383], -1);
        EXPECT_DOUBLE_EQ(f.s.channels.Channel_Threshold[9], 1.5); // the other tables still load
        ASSERT_TRUE(saveChannelTables(f.s.channels, folder));
        p.clear();
        loadChannelTables(f.s, p);
        EXPECT_TRUE(p.messages.empty());
    }
}

// A threshold is a share of a beam's level in percent: values far outside
// any signal make the file damaged (its message and the defaults).
TEST(ChannelTablesFile, ThresholdsFarOutsideAnySignalAreADamagedFile) {
    const struct {
        const char* value;
        bool accepted;
    } cases[] = {{"0", true},     {"2.5", true},     {"501", true},  {"1000", true},
                 {"-0.5", false}, {"1000.5", false}, {"1e6", false}, {"-1e6", false}};
    for (const auto& c : cases) {
        StoreFixture f;
        const std::string folder = f.useProject(3);
        saveChannelTables(ChannelTables{}, folder);
        f.dir.write("p00003/threshld.dat",
                    std::string("\"<Channel>, <Threshold>\"\r\n0,1.5\r\n1,") + c.value + "\r\n");
        FakePrompter p;
        loadChannelTables(f.s, p);
        EXPECT_EQ(p.messages.empty(), c.accepted) << c.value;
        EXPECT_DOUBLE_EQ(f.s.channels.Channel_Threshold[0], c.accepted ? 1.5 : 3.0) << c.value;
    }
}

TEST(ChannelTablesFile, EveryTableNamesItselfInItsMessage) {
    StoreFixture f;
    std::string folder = f.useProject(12);
    FakePrompter p;
    ChannelTables t;
    t.Group_Name[0] = "kept?";
    loadChannelTables(t, folder, 12, p);
    EXPECT_EQ(p.texts(), (std::vector<std::string>{
                             "Error [\\p00012\\status.dat] => Loading default values...",
                             "Error [\\p00012\\threshld.dat] => Loading default values...",
                             "Error [\\p00012\\groups.dat] => Loading default groups...",
                             "Error [\\p00012\\chgroup.dat] => Loading default groups..."}));
    EXPECT_EQ(t.Group_Name[0], "Group0");
    EXPECT_EQ(t.Group_Name[12], "Free");
}

} // namespace
} // namespace trv
