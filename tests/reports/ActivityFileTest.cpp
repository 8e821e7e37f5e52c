#include "reports/ActivityFile.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

TEST(DayCorrection, MidnightCases) {
    // 1430, 1435, 5, 10: the duration counts the new day from the record
    // after the drop; loading stops at the last record reaching the maximum.
    const std::vector<int32_t> a = {1430, 1435, 5, 10};
    EXPECT_EQ(durationOfStoredTimes(a), 1450);
    EXPECT_EQ(lastRisingRecord(a), 1);
    EXPECT_EQ(dayCorrectedTimes(a), (std::vector<int32_t>{1430, 1435, 1445, 1450}));

    // 2000, 500, 2500: all three load, corrected 2000, 1940, 3940.
    const std::vector<int32_t> b = {2000, 500, 2500};
    EXPECT_EQ(lastRisingRecord(b), 2);
    EXPECT_EQ(dayCorrectedTimes(b), (std::vector<int32_t>{2000, 1940, 3940}));
    EXPECT_EQ(durationOfStoredTimes(b), 3940);

    // A drop of exactly 1000 is not a new day; equal times still rise.
    EXPECT_EQ(dayCorrectedTimes({1200, 200}), (std::vector<int32_t>{1200, 200}));
    EXPECT_EQ(lastRisingRecord({0, 0, 1, 1, 0}), 3);
    EXPECT_EQ(lastRisingRecord({}), -1);
    EXPECT_EQ(durationOfStoredTimes({}), 0);
}

} // namespace
} // namespace trv
