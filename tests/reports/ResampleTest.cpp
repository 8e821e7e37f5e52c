#include "reports/Resample.h"
#include "reports/LiteralResample.h"
#include "reports/SeriesBuilder.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace trv {
namespace {

using resample_detail::BinSums;

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// Random counts (some silent channels, some busy), a record about every 35 s
// or at a whole-minute interval, several bin sizes: the fast spreading gives
// the very same doubles as the channel-by-channel walk.
TEST(Resample, FastSpreadingMatchesTheLiteralWalkBitForBit) {
    std::mt19937 rng(1234);
    struct Case {
        int minutes;
        double secondsPerRecord;
        int bin;
    };
    const Case cases[] = {{180, 35, 30}, {130, 60, 60}, {97, 35, 7},
                          {45, 120, 1},  {600, 35, 17}, {61, 10, 60}};
    for (const Case& cs : cases) {
        std::vector<int32_t> times;
        for (int i = 0;; ++i) {
            double t = i * cs.secondsPerRecord / 60.0;
            if (t > cs.minutes) break;
            times.push_back(static_cast<int32_t>(t));
        }
        std::uniform_int_distribution<int> value(0, 300);
        ActivitySeries s = test::makeSeries(
            times, [&](int ch, int) { return (ch / 16) % 3 == 0 ? 0 : value(rng); },
            [&](int i) { return i % 7 == 0 ? 0 : 200 + i % 50; });
        const int n = s.lastIndex();
        const int32_t tmax = times.back();
        const int K = static_cast<int>(std::nearbyint(static_cast<double>(tmax) / cs.bin));
        BinSums fast, literal;
        resample_detail::regularBinSums(s, tmax, n, cs.bin, K, fast);
        test::literalRegularBinSums(s, tmax, n, cs.bin, K, literal);
        SCOPED_TRACE(cs.minutes);
        EXPECT_TRUE(sameBits(fast.sum, literal.sum));
        EXPECT_TRUE(sameBits(fast.temperature, literal.temperature));
        // Spreading keeps the total of every used record (up to the steps'
        // rounding): not a trivially empty result.
        double total = 0;
        for (double v : fast.sum)
            total += v;
        EXPECT_GT(total, 0.0);
    }
}

TEST(Resample, RemainderBelowThreeQuartersIsDroppedAboveIsScaled) {
    test::FakePrompter p;
    // 130 minutes, one record a minute, bin 60: two bins, the 10 minutes
    // left over (17 %) are dropped.
    ActivitySeries s =
        test::makeSeries(test::everyMinutes(130), [](int ch, int) { return ch == 5 ? 1 : 0; });
    int32_t tmax = 130;
    EXPECT_EQ(resampleSeries(s, tmax, s.lastIndex(), 60, p), 1);
    EXPECT_EQ(tmax, 120);
    ASSERT_EQ(s.size(), 2);
    EXPECT_EQ(s.time, (std::vector<int32_t>{60, 120}));
    EXPECT_EQ(s.count(5, 0), 60);
    EXPECT_EQ(s.count(5, 1), 60);
    EXPECT_EQ(s.count(4, 1), 0);

    // 110 minutes: the second bin covers 83 % and is scaled by 1.17.
    s = test::makeSeries(test::everyMinutes(110), [](int ch, int) { return ch == 5 ? 1 : 0; });
    tmax = 110;
    EXPECT_EQ(resampleSeries(s, tmax, s.lastIndex(), 60, p), 1);
    EXPECT_EQ(tmax, 120);
    EXPECT_EQ(s.count(5, 0), 60);
    EXPECT_EQ(s.count(5, 1), 58); // 50 x (1 + 16.7 / 100) = 58.3
    EXPECT_TRUE(p.messages.empty());
}

TEST(Resample, ShortSeriesGiveNoWholeBin) {
    test::FakePrompter p;
    ActivitySeries s = test::makeSeries(test::everyMinutes(20), [](int, int) { return 3; });
    int32_t tmax = 20;
    EXPECT_EQ(resampleSeries(s, tmax, s.lastIndex(), 60, p), kNoWholeBin);
    // 40 of 60 minutes: one bin is rounded up (K = 1) but covers 67 %, so it
    // is dropped too.
    s = test::makeSeries(test::everyMinutes(40), [](int, int) { return 3; });
    tmax = 40;
    EXPECT_EQ(resampleSeries(s, tmax, s.lastIndex(), 60, p), kNoWholeBin);
    ActivitySeries empty;
    tmax = 0;
    EXPECT_EQ(resampleSeries(empty, tmax, -1, 60, p), kNoWholeBin);
    EXPECT_EQ(resampleSeries(s, tmax, s.lastIndex(), 0, p), kNoWholeBin);
}

TEST(Resample, IntervalJumpSwitchesToWholeRecords) {
    std::vector<int32_t> regular = {0, 1, 2, 3, 4, 5, 6};
    std::vector<int32_t> jump = {0, 1, 2, 5, 8, 11}; // 1 minute, then 3
    EXPECT_FALSE(resample_detail::isIrregular(regular, 6));
    EXPECT_TRUE(resample_detail::isIrregular(jump, 5));
    // Zero intervals (two records in the same minute) never trigger it.
    EXPECT_FALSE(resample_detail::isIrregular({0, 0, 1, 1, 2, 2, 3}, 6));
    // A jump of exactly twice the interval is still regular.
    EXPECT_FALSE(resample_detail::isIrregular({0, 1, 3, 5}, 3));

    test::FakePrompter p;
    ActivitySeries s = test::makeSeries(
        jump, [](int ch, int i) { return ch == 0 ? i + 1 : 0; }, [](int i) { return 240 + i; });
    int32_t tmax = 11;
    EXPECT_EQ(resampleSeries(s, tmax, s.lastIndex(), 5, p), 1);
    EXPECT_EQ(tmax, 10);
    // Records at 0, 1, 2 and 5 fill the first bin, 8 and 11 the second; the
    // bin moves on after the record that crosses its end.
    EXPECT_EQ(s.count(0, 0), 1 + 2 + 3 + 4);
    EXPECT_EQ(s.count(0, 1), 5 + 6);
    EXPECT_EQ(s.temperature, (std::vector<int16_t>{243, 245}));
    EXPECT_EQ(s.time, (std::vector<int32_t>{5, 10}));
}

TEST(Resample, OverflowsEndWithTheCalculationMessage) {
    test::FakePrompter p;
    // Bin ends are 16-bit minutes: a 23-day acquisition in day bins fails at
    // bin 22 (23 x 1440 > 32767).
    ActivitySeries s = test::makeSeries({0, 16560, 33120}, [](int, int) { return 0; });
    int32_t tmax = 33120;
    EXPECT_EQ(resampleSeries(s, tmax, s.lastIndex(), 1440, p), kResampleFailed);
    EXPECT_EQ(p.texts(), (std::vector<std::string>{"Resampling Calculation Error22"}));

    // A bin whose count leaves 16 bits.
    p.clear();
    s = test::makeSeries(test::everyMinutes(130), [](int ch, int) { return ch == 9 ? 30000 : 0; });
    tmax = 130;
    EXPECT_EQ(resampleSeries(s, tmax, s.lastIndex(), 60, p), kResampleFailed);
    EXPECT_EQ(p.texts(), (std::vector<std::string>{"Resampling Calculation Error0"}));
}

} // namespace
} // namespace trv

namespace trv {
namespace {

TEST(Resample, DamagedTimesFailWithoutWalkingYears) {
    test::FakePrompter p;
    // A record dated two million minutes late: the failure is known at the
    // first bin ending past 32767 (bin 1092 with B = 30), found at once.
    ActivitySeries s = test::makeSeries({0, 1, 2, 2000000}, [](int, int) { return 1; });
    int32_t tmax = 2000000;
    EXPECT_EQ(resampleSeries(s, tmax, s.lastIndex(), 30, p), kResampleFailed);
    EXPECT_EQ(p.texts(), (std::vector<std::string>{"Resampling Calculation Error1092"}));

    // A count overflow in an earlier bin is still reported first.
    p.clear();
    s = test::makeSeries({0, 0, 1, 2000000},
                         [](int ch, int i) { return ch == 3 && i < 2 ? 30000 : 0; });
    tmax = 2000000;
    EXPECT_EQ(resampleSeries(s, tmax, s.lastIndex(), 30, p), kResampleFailed);
    EXPECT_EQ(p.texts(), (std::vector<std::string>{"Resampling Calculation Error0"}));

    // Whole-record binning of few records over a long time keeps every bin.
    p.clear();
    s = test::makeSeries({0, 1, 2, 100}, [](int ch, int i) { return ch == 0 ? i + 1 : 0; });
    tmax = 100;
    EXPECT_EQ(resampleSeries(s, tmax, s.lastIndex(), 1, p), 99);
    // Each record goes to the bin current when it is read: 1 + 2, 3, then
    // the record at minute 100 in bin 2.
    EXPECT_EQ(s.count(0, 0), 3);
    EXPECT_EQ(s.count(0, 1), 3);
    EXPECT_EQ(s.count(0, 2), 4);
    EXPECT_EQ(s.count(0, 50), 0);
    EXPECT_TRUE(p.messages.empty());
}

} // namespace
} // namespace trv
