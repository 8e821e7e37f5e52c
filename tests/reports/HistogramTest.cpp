#include "reports/Histogram.h"
#include "reports/SeriesBuilder.h"
#include "reports/Statistics.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace trv {
namespace {

struct Record {
    HistogramRecord r;
    const HistogramRecord& view(double minutes, double sps) {
        r.minutes = minutes;
        r.secondsPerSample = sps;
        return r;
    }
    void set(int bin, int beam, int32_t v) {
        r.bins[static_cast<size_t>(beam)][static_cast<size_t>(bin)] = v;
    }
};

TEST(Histogram, LastRecordOfAColumnWinsAndTheBoundaryNeverGoesBack) {
    ReportStatistics st;
    st.columnCount = 3;
    st.columnPresent.assign(5, false);
    HistogramTables t;
    HistogramAccumulator acc(t, st, 30);
    Record a, b, c, d;
    a.set(5, 7, 11);
    b.set(5, 7, 22);
    c.set(5, 7, 33);
    d.set(5, 7, 44);
    acc.beginFile();
    acc.addRecord(a.view(10, 0.4));
    acc.addRecord(b.view(25, 0.6)); // same column 1: replaces
    acc.endFile();
    EXPECT_DOUBLE_EQ(t.meanSecondsPerSample, 0.5);
    acc.beginFile();
    acc.addRecord(c.view(61, 0.25)); // column 3
    // An earlier time after a later one stays in the column reached.
    acc.addRecord(d.view(5, 0.25));
    EXPECT_EQ(t.channelHistogram.at(5, 7, 3), 44);
    // Bin 50 is never taken from a record.
    Record e;
    e.set(5, 7, 55);
    e.set(50, 7, 5);
    acc.addRecord(e.view(80, 0.25));
    EXPECT_EQ(t.channelHistogram.at(5, 7, 3), 55);
    EXPECT_EQ(t.channelHistogram.at(50, 7, 3), 0);
    // A damaged time is skipped; a time past the last column is not stored.
    Record bad;
    bad.set(5, 7, 99);
    acc.addRecord(bad.view(std::numeric_limits<double>::infinity(), 0.25));
    acc.addRecord(bad.view(5000, 0.25));
    acc.endFile();
    EXPECT_DOUBLE_EQ(t.meanSecondsPerSample, 0.25); // of the last file only
    EXPECT_EQ(t.channelHistogram.at(5, 7, 1), 22);
    EXPECT_FALSE(t.channelHistogram.hasColumn(2));
    EXPECT_EQ(t.channelHistogram.at(5, 7, 3), 55);
    EXPECT_EQ(t.channelHistogram.columnSlots(), 5);
    EXPECT_TRUE(st.present(1));
    EXPECT_FALSE(st.present(2));
    EXPECT_TRUE(st.present(3));
    EXPECT_FALSE(st.present(4));
}

TEST(Histogram, WellsAverageTheirBeamsAndGroupsTheirWells) {
    // Well 0: channels 0 and 16; well 1: channel 1; both in group 0.
    std::vector<int> wellOf(17, -1), beamOf(17, 0), groupOf(17, -1);
    wellOf[0] = 0;
    groupOf[0] = 0;
    wellOf[16] = 0;
    beamOf[16] = 1;
    groupOf[16] = 0;
    wellOf[1] = 1;
    groupOf[1] = 0;
    ReportLayout L = test::makeLayout(2, 1, wellOf, beamOf, groupOf);
    ActivitySeries s = test::makeSeries({30}, [](int, int) { return 0; });
    test::FakePrompter p;
    ReportStatistics st = computeStatistics(s, L, 30, 0, 30, OutputFormat::Histogram, p);
    HistogramTables t;
    HistogramAccumulator acc(t, st, 30);
    Record r;
    r.set(3, 0, 3);
    r.set(3, 16, 4); // well 0: 3.5 -> 4
    r.set(3, 1, 7);  // well 1: 7; group: (4 + 7) / 2 = 5.5 -> 6
    acc.beginFile();
    acc.addRecord(r.view(12, 0.5));
    acc.endFile();
    combineHistograms(t, st, s, 0, L, 30);
    EXPECT_EQ(t.wellHistogram.at(3, 0, 1), 4);
    EXPECT_EQ(t.wellHistogram.at(3, 1, 1), 7);
    EXPECT_EQ(t.groupHistogram.at(3, 0, 1), 6);
    EXPECT_EQ(st.groupWellCount[0], 2);
}

} // namespace
} // namespace trv
