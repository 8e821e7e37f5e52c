#include "common/Clock.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

namespace trv {

TEST(Clock, SerialDaysRoundTrip) {
    EXPECT_DOUBLE_EQ(toSerialDays({1899, 12, 30, 0, 0, 0, 0}), 0.0);
    EXPECT_DOUBLE_EQ(toSerialDays({1900, 1, 1, 12, 0, 0, 0}), 2.5);
    LocalDateTime t{2024, 2, 29, 23, 59, 58, 250};
    EXPECT_EQ(fromSerialDays(toSerialDays(t)), t);
    EXPECT_EQ(acquisitionFolderName({2024, 3, 15, 9, 30, 59, 0}), "20240315_0930");
}

TEST(Clock, FakeClockAdvancesOnSleep) {
    test::FakeClock c;
    c.set(2024, 12, 31, 23, 59, 59);
    c.sleepMs(1500);
    EXPECT_EQ(c.now(), (LocalDateTime{2025, 1, 1, 0, 0, 0, 500}));
    EXPECT_EQ(c.totalSleptMs, 1500);
}

} // namespace trv
