#include "common/Numeric.h"

#include <gtest/gtest.h>

namespace trv {

TEST(Numeric, RoundsHalvesToEven) {
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(242.5), 242);
    EXPECT_EQ(roundHalfEven(247.5), 248);
    EXPECT_EQ(roundHalfEven(2.5000001), 3);
    EXPECT_DOUBLE_EQ(roundDecimals(1.23456, 3), 1.235);
}

TEST(Numeric, LeadingNumberTakesTheNumberAtTheStart) {
    EXPECT_DOUBLE_EQ(leadingNumber("12abc"), 12);
    EXPECT_DOUBLE_EQ(leadingNumber("  -3.5x"), -3.5);
    EXPECT_DOUBLE_EQ(leadingNumber("abc"), 0);
    EXPECT_DOUBLE_EQ(leadingNumber(""), 0);
    EXPECT_DOUBLE_EQ(leadingNumber("."), 0);
    EXPECT_DOUBLE_EQ(leadingNumber(".5"), 0.5);
    EXPECT_DOUBLE_EQ(leadingNumber("1e3"), 1000);
    EXPECT_DOUBLE_EQ(leadingNumber("1e"), 1);
    EXPECT_DOUBLE_EQ(leadingNumber("1,8"), 1);
    EXPECT_DOUBLE_EQ(leadingNumber(commaAsPoint("1,8")), 1.8);
    EXPECT_DOUBLE_EQ(leadingNumber("1e999"), 0); // not a finite number
    EXPECT_TRUE(isNumber(" 4.5 "));
    EXPECT_FALSE(isNumber("4.5a"));
    EXPECT_FALSE(isNumber(""));
}

TEST(Numeric, FormatsFixedWidthAndPlainReals) {
    EXPECT_EQ(zeroPadded(3, 5), "00003");
    EXPECT_EQ(zeroPadded(32000, 5), "32000");
    EXPECT_EQ(fixedDecimals(1.8, 1), "1.8");
    EXPECT_EQ(fixedDecimals(-0.01, 1), "0.0");
    EXPECT_EQ(fixedDecimals(24.25, 1), "24.2"); // exact tie goes to even
    EXPECT_EQ(plainReal(2.5), "2.5");
    EXPECT_EQ(plainReal(4.0), "4");
    EXPECT_EQ(plainReal(2.346), "2.346");
    EXPECT_EQ(plainReal(0.0001), "0.0001");
    EXPECT_EQ(plainReal(-0.0), "0");
    EXPECT_EQ(plainReal(1e20), "100000000000000000000");
    EXPECT_EQ(withDecimalMark("1.5;2.5", ","), "1,5;2,5");
}

TEST(Numeric, DetectsSixteenBitOverflow) {
    EXPECT_EQ(checkedInt16(32767), 32767);
    EXPECT_EQ(checkedInt16(-32768), -32768);
    EXPECT_THROW(checkedInt16(32768), Overflow16);
    EXPECT_THROW(checkedInt16(-32769), Overflow16);
    EXPECT_THROW(roundToInt16(32767.5), Overflow16); // rounds to 32768
    EXPECT_EQ(roundToInt16(32766.5), 32766);
    EXPECT_THROW(roundToInt16(1e300), Overflow16);
    EXPECT_EQ(saturateInt16(40000), 32767);
    EXPECT_EQ(saturateInt16(-40000), -32768);
}

} // namespace trv
