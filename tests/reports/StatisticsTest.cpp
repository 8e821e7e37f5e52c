#include "reports/Statistics.h"
#include "reports/SeriesBuilder.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

// Bins of 30 minutes (ends 30, 60, 90).
ActivitySeries binned(const std::function<int(int, int)>& count,
                      const std::function<int(int)>& temp) {
    return test::makeSeries({30, 60, 90}, count, temp);
}

TEST(Statistics, ColumnsFollowBinEnds) {
    EXPECT_EQ(reportColumnCount(90, 30), 3);
    EXPECT_EQ(reportColumnCount(10, 30), 1); // at least one
    EXPECT_EQ(reportColumnCount(75, 30), 2); // 2.5 goes to the even 2
    EXPECT_EQ(reportColumnOf(30, 30), 1);
    EXPECT_EQ(reportColumnOf(31, 30), 2);
    EXPECT_EQ(reportColumnOf(5, 30), 1);
    EXPECT_EQ(reportColumnOf(90, 30), 3);
}

TEST(Statistics, OneBeamWellsGroupMeansAndSampleDeviation) {
    // Wells 0..3 on channels 0..3, one beam each; wells 0..2 in group 1,
    // well 3 alone in group 3; group 0 and 2 have no wells.
    ReportLayout L = test::makeLayout(2, 2, {0, 1, 2, 3}, {}, {1, 1, 1, 3});
    const int values[4] = {10, 13, 20, 7};
    ActivitySeries s = binned([&](int ch, int i) { return ch < 4 ? values[ch] * (i + 1) : 0; },
                              [](int) { return 0; });
    test::FakePrompter p;
    ReportStatistics st = computeStatistics(s, L, 90, 2, 30, OutputFormat::Rows, p);
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(st.columnCount, 3);
    EXPECT_EQ(st.maxGroup, 3);
    for (int c = 1; c <= 3; ++c) {
        EXPECT_TRUE(st.present(c));
        EXPECT_EQ(st.samples[static_cast<size_t>(c)], 1);
        EXPECT_EQ(st.wellValue.at(1, c), 13 * c);
        EXPECT_EQ(st.channelValue.at(2, c), 20 * c);
    }
    EXPECT_FALSE(st.present(0));
    EXPECT_FALSE(st.present(4));
    // Column 1: wells 10, 13, 20: mean 14.33 -> 14; squares rounded as
    // they accumulate: 16 + 1 + 36 = 53; sqrt(53 / 2) = 5.15 -> 5.
    EXPECT_EQ(st.groupMean.at(1, 1), 14);
    EXPECT_EQ(st.groupStdDev.at(1, 1), 5);
    // Column 2: 20, 26, 40: mean 28.67 -> 29; 81 + 9 + 121 = 211; 10.27 -> 10.
    EXPECT_EQ(st.groupMean.at(1, 2), 29);
    EXPECT_EQ(st.groupStdDev.at(1, 2), 10);
    EXPECT_EQ(st.groupWellCount[1], 3);
    // One well: deviation 0; no wells: nothing at all.
    EXPECT_EQ(st.groupMean.at(3, 3), 21);
    EXPECT_EQ(st.groupStdDev.at(3, 3), 0);
    EXPECT_EQ(st.groupWellCount[3], 1);
    EXPECT_EQ(st.groupWellCount[0], 0);
    EXPECT_EQ(st.groupWellCount[2], 0);
    EXPECT_EQ(st.groupMean.at(2, 1), 0);
}

TEST(Statistics, SeveralBeamsAverageAndWellsWithoutBeamZeroAreNotMembers) {
    // Well 0: channels 0 and 16 (beams 0, 1); well 1: channels 1, 17, 33
    // (beams 0..2); well 2: only channel 2 as beam 1 (no beam 0).
    ReportLayout L;
    std::vector<int> wellOf(40, -1), beamOf(40, 0), groupOf(40, -1);
    wellOf[0] = 0;
    beamOf[0] = 0;
    groupOf[0] = 0;
    wellOf[16] = 0;
    beamOf[16] = 1;
    groupOf[16] = 0;
    wellOf[1] = 1;
    beamOf[1] = 0;
    groupOf[1] = 0;
    wellOf[17] = 1;
    beamOf[17] = 1;
    wellOf[33] = 1;
    beamOf[33] = 2;
    wellOf[2] = 2;
    beamOf[2] = 1;
    groupOf[2] = 0;
    L = test::makeLayout(3, 1, wellOf, beamOf, groupOf);
    ActivitySeries s = test::makeSeries({60}, [](int ch, int) {
        switch (ch) {
        case 0:
            return 3;
        case 16:
            return 4; // well 0: 3.5 -> 4 (halves to even)
        case 1:
            return 1;
        case 17:
            return 2;
        case 33:
            return 2; // well 1: 1.67 -> 2
        case 2:
            return 9; // well 2: 9
        default:
            return 0;
        }
    });
    test::FakePrompter p;
    ReportStatistics st = computeStatistics(s, L, 60, 0, 60, OutputFormat::List, p);
    EXPECT_EQ(st.wellValue.at(0, 1), 4);
    EXPECT_EQ(st.wellValue.at(1, 1), 2);
    EXPECT_EQ(st.wellValue.at(2, 1), 9);
    // Group 0 holds wells 0 and 1 (well 2 has no beam-0 channel).
    EXPECT_EQ(st.groupWellCount[0], 2);
    EXPECT_EQ(st.groupMean.at(0, 1), 3); // (4 + 2) / 2
    // (4-3)^2 + (2-3)^2 = 2; sqrt(2) = 1.41 -> 1
    EXPECT_EQ(st.groupStdDev.at(0, 1), 1);
}

TEST(Statistics, TemperatureAveragesValidReadingsPerColumn) {
    ReportLayout L = test::makeLayout(1, 1, {0}, {}, {0});
    // Two bins per 60-minute column? Bins are one per column; use bins of
    // 30 with a column of 30: temperatures 9 (invalid), 245, 501 (invalid).
    ActivitySeries s =
        binned([](int, int) { return 0; }, [](int i) { return i == 0   ? 9
                                                              : i == 1 ? 245
                                                                       : 501; });
    test::FakePrompter p;
    ReportStatistics st = computeStatistics(s, L, 90, 2, 30, OutputFormat::Histogram, p);
    EXPECT_EQ(st.columnTemperature[1], 0);
    EXPECT_EQ(st.columnTemperature[2], 245);
    EXPECT_EQ(st.columnTemperature[3], 0);
    // The histogram format computes no activity statistics.
    EXPECT_FALSE(st.present(2));

    // Two bins in one column (bin ends 10 and 20 with B = 20 map to column 1).
    ActivitySeries two = test::makeSeries(
        {10, 20}, [](int, int) { return 1; }, [](int i) { return i == 0 ? 241 : 244; });
    st = computeStatistics(two, L, 20, 1, 20, OutputFormat::Rows, p);
    EXPECT_EQ(st.columnTemperature[1], 242); // 242.5 -> 242
    EXPECT_EQ(st.samples[1], 2);
    EXPECT_EQ(st.channelValue.at(0, 1), 2);
}

TEST(Statistics, OutOfRangeGroupNumbersAreFree) {
    // A damaged chgroup.dat with 999 and 5000: those channels are free and
    // the group tables stay within their 385 entries.
    ReportLayout L = test::makeLayout(1, 3, {0, 1, 2}, {}, {2, 999, 5000});
    ActivitySeries s = test::makeSeries({30}, [](int ch, int) { return ch + 1; });
    test::FakePrompter p;
    ReportStatistics st = computeStatistics(s, L, 30, 0, 30, OutputFormat::Rows, p);
    EXPECT_EQ(st.maxGroup, 2);
    EXPECT_EQ(st.groupWellCount[2], 1);
    EXPECT_EQ(L.groupLabel(L.groupOf(1)), "\"999_Free\"");
    EXPECT_TRUE(p.messages.empty());
}

} // namespace
} // namespace trv
