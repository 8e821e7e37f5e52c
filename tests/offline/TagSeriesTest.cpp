#include "offline/TagSeries.h"

#include "offline/BrowserFixture.h"

#include <gtest/gtest.h>

using namespace trv;
using trv::test::BrowserFixture;
using trv::test::countsRecordBytes;

TEST(TagSeries, MembersInStartOrderWithGroupMeans) {
    BrowserFixture fx;
    fx.project("p00001", "Kinetics");
    const std::string project = fx.dir / "p00001";
    ChannelTables tables;
    auto& groups = tables.Channel_Group;
    groups.fill(-1);
    groups[0] = groups[1] = 0;
    groups[2] = 1;
    groups[3] = 7;
    groups[10] = 999; // out of range: free

    // Two records; group 0 sums to 13 over two channels (6.5 rounds to 6).
    auto record = [](int ch0, int ch2) {
        std::vector<int16_t> v(385, 1);
        v[0] = static_cast<int16_t>(ch0);
        v[1] = 0;
        v[2] = static_cast<int16_t>(ch2);
        return v;
    };
    fx.acquisition("p00001", "20240102_0900", "later");
    makeFolder(project + "/20240101_0800");
    fx.dir.write("p00001/20240101_0800/counts.bin",
                 countsRecordBytes(0, record(13, 2)) + countsRecordBytes(1, record(0, 1)));

    TaggedSeries s;
    // "x" and "b" are too short to carry a date: they count as now, in list order.
    int largest = loadTagMembers("x 20240102_0900  b 20240101_0800", project, tables, fx.fake.clock,
                                 fx.fake.prompter, s);
    EXPECT_EQ(s.members, (std::vector<std::string>{"20240101_0800", "20240102_0900", "x", "b"}));
    EXPECT_EQ(s.orderedList, " 20240101_0800 20240102_0900 x b");
    EXPECT_EQ(s.starts[0], (LocalDateTime{2024, 1, 1, 8, 0, 0, 0}));
    EXPECT_EQ(s.starts[2], fx.fake.clock.current);
    EXPECT_EQ(s.at(0, 1), 6); // 13 / 2 = 6.5, halves to even
    EXPECT_EQ(s.at(1, 1), 3);
    EXPECT_EQ(s.at(7, 1), 2);
    EXPECT_EQ(s.at(2, 1), 0);         // a group without channels
    EXPECT_EQ(s.at(384, 1), 2 * 380); // the free group's plain sum: channels 4..383
    EXPECT_EQ(s.at(0, 2), 1);         // one record of 1 on each of its two channels
    EXPECT_EQ(s.at(0, 3), 0);
    EXPECT_EQ(largest, 6); // the largest unrounded mean 6.5
    EXPECT_EQ(fx.fake.prompter.texts(),
              (std::vector<std::string>{"Activity file not Found into " + project + "/x",
                                        "Activity file not Found into " + project + "/b"}));
}

TEST(TagSeries, AMemberWithDamagedRecordTimesIsLeftOutByName) {
    BrowserFixture fx;
    fx.project("p00001", "Kinetics");
    const std::string project = fx.dir / "p00001";
    ChannelTables tables;
    tables.Channel_Group.fill(-1);
    tables.Channel_Group[0] = 0;
    for (const char* name : {"20240101_0800", "20240102_0800"})
        makeFolder(project + "/" + name);
    const std::vector<int16_t> eight(385, 8);
    fx.dir.write("p00001/20240101_0800/counts.bin", countsRecordBytes(0, eight));
    fx.dir.write("p00001/20240102_0800/counts.bin",
                 countsRecordBytes(0, eight) + countsRecordBytes(-5, eight));
    TaggedSeries s;
    EXPECT_EQ(loadTagMembers("20240101_0800 20240102_0800", project, tables, fx.fake.clock,
                             fx.fake.prompter, s),
              8);
    EXPECT_EQ(s.at(0, 1), 8);
    EXPECT_EQ(s.at(0, 2), 0);
    const std::string counts = project + "/20240102_0800/counts.bin";
    EXPECT_EQ(fx.fake.prompter.texts(),
              (std::vector<std::string>{"record 2 of " + counts +
                                        " has the time -5 minutes: the file is damaged"}));
}

TEST(TagSeries, AtMostNinetyNineMembers) {
    BrowserFixture fx;
    ChannelTables tables;
    for (int n : {99, 100}) {
        std::string list;
        for (int i = 0; i < n; ++i)
            list += " m" + std::to_string(i);
        TaggedSeries s;
        fx.fake.prompter.clear();
        int r = loadTagMembers(list, fx.program, tables, fx.fake.clock, fx.fake.prompter, s);
        EXPECT_EQ(r, 0);
        EXPECT_EQ(s.count(), n == 99 ? 99 : 0);
        EXPECT_EQ(fx.fake.prompter.saw("To many Tagged Sub_Projects! (max=99)"), n == 100);
    }
}
