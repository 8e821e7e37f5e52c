// The kinetics line plot: bin size rules, time units, the tagged series with
// relativizing, the joint report, and what the drawing leaves alone.
#include "offline/Kinetics.h"

#include "display/RecordingSurface.h"
#include "offline/BrowserFixture.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

TEST(KineticsBinSize, MinusAndPlusRules) {
    struct Case {
        const char* what;
        bool plus;
        double box;
        int binCount;
        double binSize;
        int expected;
    };
    const Case cases[] = {
        // Span (13 - 1) x 5 = 60: 7 stays, does not divide 60, 2 is raised to 5.
        {"minus 7 on 60 minutes", false, 7, 13, 5, 5},
        {"minus 30 on 60 minutes", false, 30, 13, 5, 25 - 5},
        {"plus 4", true, 4, 201, 5, 5},
        {"plus 125", true, 125, 241, 5, 120},
        // Span 1000: 125 divides it, no span rule moves it.
        {"plus 120", true, 120, 201, 5, 125},
        // Span 40: 35 is more than half the span.
        {"plus 30 on 40 minutes", true, 30, 5, 10, 20},
        // A short acquisition counts as half an hour: 10 divides it.
        {"plus 5 on one bin", true, 5, 1, 5, 10},
    };
    for (const Case& c : cases) {
        const int v = c.plus ? binSizePlus(c.box, c.binCount, c.binSize)
                             : binSizeMinus(c.box, c.binCount, c.binSize);
        EXPECT_EQ(v, c.expected) << c.what;
    }
    EXPECT_EQ(initialBinSize(45), 5);
    EXPECT_EQ(initialBinSize(60), 30);
}

TEST(KineticsTime, UnitsAndLabels) {
    EXPECT_EQ(kineticsTimeUnit(1440), "min");
    EXPECT_EQ(kineticsTimeUnit(2 * 1440), "h");
    EXPECT_EQ(kineticsTimeUnit(3 * 1440), "h");
    EXPECT_EQ(kineticsTimeUnit(4 * 1440), "day");
    EXPECT_EQ(kineticsTimeLabel(2 * 1440, "h"), "48.0");
    EXPECT_EQ(kineticsTimeLabel(90, "h"), "1.5");
    EXPECT_EQ(kineticsTimeLabel(4 * 1440, "day"), "4.0");
    EXPECT_EQ(kineticsTimeLabel(75, "min"), "75");
}

TEST(KineticsPalette, RunsOfThirteen) {
    const auto p = kineticsPalette();
    EXPECT_EQ(p[0], rgb(255, 0, 0));
    EXPECT_EQ(p[6], colour::Black);
    EXPECT_EQ(p[7], rgb(255, 128, 0));
    // s = 13: Z = 255 - 383 / 255 x 13 = 235.47 -> 235.
    EXPECT_EQ(p[14], rgb(0, 235, 0));
    // From s = 182 on Z would be negative: 0.
    EXPECT_EQ(p[190], rgb(128, 0, 0));
    EXPECT_EQ(p[384], colour::Black);
}

// A project with members at 15:00, 16:00 and 17:00 (listed out of order),
// group 0 = channels 0 and 1, group 1 = channel 2, free = channel 3, the
// others in group 2.
struct TagSeriesFixture : ::testing::Test {
    test::BrowserFixture fx;
    std::string project = fx.project("p00001", "Series");
    ChannelTables tables;
    void SetUp() override {
        tables.Channel_Group.fill(2);
        tables.Channel_Group[0] = tables.Channel_Group[1] = 0;
        tables.Channel_Group[2] = 1;
        tables.Channel_Group[3] = -1;
        tables.Group_Name[0] = "Control";
        member("20240305_1600", 41, 5, 10);
        member("20240305_1500", 35, 0, 12);
        member("20240305_1700", 38, 7, 9);
    }
    void member(const std::string& name, int16_t group0, int16_t group1, int16_t free) {
        const std::string folder = fx.acquisition("p00001", name, name, false);
        std::vector<int16_t> v(385, 1);
        v[0] = v[1] = group0;
        v[2] = group1;
        v[3] = free;
        writeFileAtomic(joinPath(folder, "counts.bin"), test::countsRecordBytes(0, v));
    }
    KineticsData load(bool relativize) {
        KineticsRequest r{"",
                          project,
                          tables,
                          {"000_Control", "001_Group1", "999_Free"},
                          "20240305_1600 20240305_1500 20240305_1700",
                          5,
                          relativize};
        return loadKinetics(r, fx.fake.clock, fx.fake.prompter);
    }
};

TEST_F(TagSeriesFixture, JointReportByteForByte) {
    KineticsData d = load(false);
    d.entries.erase(d.entries.begin() + 1);
    d.values.erase(d.values.begin() + 1);
    const KineticsTable t = kineticsTable(d, ";");
    const LocalDateTime now{2024, 3, 5, 17, 42, 9, 0};
    EXPECT_EQ(jointReportText(now, t), "Joint Report [2024-03-05 17:42.09]\r\n"
                                       "Acq:;20240305_1500;20240305_1600;20240305_1700\r\n"
                                       "\r\n"
                                       "Group/Time[min];0;60;120\r\n"
                                       "[#000_Contro];35;41;38\r\n"
                                       "[#999_Free];12;10;9\r\n"
                                       "\r\n");
    EXPECT_EQ(jointReportName(now), "joint_report20240305174209.csv");

    // A second report in the same second is kept beside the first.
    const std::string first = writeJointReport(project, now, t);
    EXPECT_EQ(first, joinPath(project, "joint_report20240305174209.csv"));
    const std::string second = writeJointReport(project, now, kineticsTable(d, ","));
    EXPECT_EQ(second, joinPath(project, "joint_report20240305174209_2.csv"));
    EXPECT_EQ(readWholeFile(first).value_or(""), jointReportText(now, t));
    EXPECT_TRUE(fx.fake.prompter.messages.empty());
}

TEST_F(TagSeriesFixture, RelativizedToTheFirstPoint) {
    const KineticsData d = load(true);
    ASSERT_EQ(d.points, 3);
    // Group 0: 35, 41, 38 -> 100, 117.1, 108.6; group 1 starts at 0: all 0.
    EXPECT_EQ(d.values[0][1], 100);
    EXPECT_NEAR(d.values[0][2], 41.0 / 35 * 100, 1e-9);
    EXPECT_EQ(d.values[1], (std::vector<double>{0, 0, 0, 0}));
    EXPECT_EQ(d.values[2][1], 100);
    EXPECT_EQ(d.M, 117);
    EXPECT_EQ(d.X, 121);
    const KineticsTable t = kineticsTable(d, ";");
    EXPECT_NE(t.table.find("[#000_Contro];100;117;109\r\n"), std::string::npos) << t.table;
    EXPECT_NE(t.table.find("[#001_Group1];0;0;0\r\n"), std::string::npos) << t.table;
}

TEST_F(TagSeriesFixture, MembersOverDaysAreLabelledInHoursOrDays) {
    member("20240307_1500", 40, 1, 1); // two days after the first
    KineticsRequest r{"", project, tables, {"000_Control"}, "20240305_1500 20240307_1500",
                      5,  false};
    KineticsData d = loadKinetics(r, fx.fake.clock, fx.fake.prompter);
    EXPECT_EQ(d.unit, "h");
    EXPECT_EQ(d.labels[2], "48.0");
    member("20240309_1500", 40, 1, 1);
    r.members = "20240305_1500 20240309_1500";
    d = loadKinetics(r, fx.fake.clock, fx.fake.prompter);
    EXPECT_EQ(d.unit, "day");
    EXPECT_EQ(kineticsTable(d, ";").table.substr(0, 23), "Group/Time[day];0;4.0\r\n");
}

TEST(KineticsPlot, NormalModeLeavesTheLastBinAndAnEmptyAcquisition) {
    test::BrowserFixture fx;
    fx.project("p00001", "P");
    const std::string folder = fx.acquisition("p00001", "20240305_1500", "A", false);
    ChannelTables tables;
    tables.Channel_Group.fill(0);
    KineticsRequest r{folder, "", tables, {"000_Group0"}, "", 5, false};

    // Without counts.bin: the message, and nothing drawn over the old picture.
    RecordingSurface s;
    KineticsData d = loadKinetics(r, fx.fake.clock, fx.fake.prompter);
    EXPECT_TRUE(fx.fake.prompter.saw("Activity file not Found"));
    EXPECT_EQ(d.M, 0);
    Dibujar_lineplot(s, d, 0);
    EXPECT_TRUE(s.primitives().empty());

    // 0..19 minutes, 2 counts a minute per channel: bins 1..4 of 10 counts
    // each, bin 5 (minute 19 onwards) still filling and not drawn.
    std::string bytes;
    for (int m = 0; m <= 19; ++m)
        bytes += test::countsRecordBytes(m, std::vector<int16_t>(385, 2));
    writeFileAtomic(joinPath(folder, "counts.bin"), bytes);
    d = loadKinetics(r, fx.fake.clock, fx.fake.prompter);
    EXPECT_EQ(d.binCount, 5);
    EXPECT_EQ(d.points, 4);
    EXPECT_EQ(kineticsTable(d, ",").table,
              "Group/Time[min],5,10,15,20\r\n[#000_Group0],10,10,10,10\r\n");
    Dibujar_lineplot(s, d, 0);
    int segments = 0;
    for (const auto& p : s.primitives())
        if (p.kind == RecordingSurface::Kind::Line && p.colour == kineticsPalette()[0]) ++segments;
    EXPECT_EQ(segments, 3 + 1); // three segments and the legend's sample line
}

} // namespace
} // namespace trv
