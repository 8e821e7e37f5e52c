#include "store/CalibrationFile.h"

#include "StoreTestSupport.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

using test::StoreFixture;

const std::string kHeader = "\"<Num_Channel>, <PinHole>, <Gain> \"\r\n";

TEST(CalibrationFile, ResetAndSaveWritesEveryChannelAsTwoAndThree) {
    StoreFixture f;
    CalibrationTable t;
    t.Channel_PinHole.fill(9);
    ASSERT_TRUE(resetAndSaveCalibration(t, f.dir.path()));
    std::string text = f.dir.read("calvalue.dat");
    EXPECT_EQ(text.substr(0, kHeader.size() + 21), kHeader + "0,2,3\r\n1,2,3\r\n2,2,3\r\n");
    EXPECT_EQ(text.substr(text.size() - 20), "\r\n382,2,3\r\n383,2,3\r\n");
    EXPECT_EQ(test::lineCount(text), 385);
    EXPECT_EQ(t.Channel_PinHole[383], 2);
    EXPECT_EQ(t.Channel_PinHole[384], 9); // the spare slot is not a channel
}

TEST(CalibrationFile, WrittenAndReadBackByteForByte) {
    StoreFixture f;
    CalibrationTable t;
    t.Channel_PinHole[0] = 7;
    t.Channel_Gain[0] = -1;
    t.Channel_Gain[383] = 255;
    ASSERT_TRUE(saveCalibration(t, f.dir.path()));
    std::string text = f.dir.read("calvalue.dat");
    EXPECT_EQ(text.substr(0, kHeader.size() + 8), kHeader + "0,7,-1\r\n");
    EXPECT_EQ(text.substr(text.size() - 13), "\r\n383,2,255\r\n");
    CalibrationTable back;
    ASSERT_TRUE(loadCalibration(back, f.dir.path()));
    EXPECT_EQ(back.Channel_PinHole, t.Channel_PinHole);
    EXPECT_EQ(back.Channel_Gain, t.Channel_Gain);
    EXPECT_EQ(calibrationFileText(back), text);
}

TEST(CalibrationFile, ShortFileLoadsWhatItHas) {
    StoreFixture f;
    std::string text = kHeader;
    for (int c = 0; c < 255; ++c)
        text += std::to_string(c) + ",5,6\r\n";
    f.dir.write("calvalue.dat", text);
    CalibrationTable t;
    t.Channel_PinHole.fill(1);
    ASSERT_TRUE(loadCalibration(t, f.dir.path()));
    EXPECT_EQ(t.Channel_PinHole[254], 5);
    EXPECT_EQ(t.Channel_Gain[254], 6);
    EXPECT_EQ(t.Channel_PinHole[255], 1);
    EXPECT_EQ(t.Channel_PinHole[383], 1);
}

TEST(CalibrationFile, LinesArePositionalQuotesAndBlanksIgnored) {
    StoreFixture f;
    f.dir.write("calvalue.dat", kHeader + "17, 4 ,5\r\n"
                                          "\r\n"
                                          "\"1\",\"7\",\"8\"\r\n"
                                          "2,2.5,3.5\r\n"
                                          "3,-0.5,1e1\r\n");
    CalibrationTable t;
    ASSERT_TRUE(loadCalibration(t, f.dir.path()));
    EXPECT_EQ(t.Channel_PinHole[0], 4); // the line's own channel number is not used
    EXPECT_EQ(t.Channel_Gain[0], 5);
    EXPECT_EQ(t.Channel_PinHole[1], 7);
    EXPECT_EQ(t.Channel_Gain[1], 8);
    EXPECT_EQ(t.Channel_PinHole[2], 2); // halves go to the even neighbour
    EXPECT_EQ(t.Channel_Gain[2], 4);
    EXPECT_EQ(t.Channel_PinHole[3], 0);
    EXPECT_EQ(t.Channel_Gain[3], 10);
    EXPECT_EQ(t.Channel_PinHole[4], 2);
}

TEST(CalibrationFile, ErrorsReachTheCallerAndKeepWhatWasRead) {
    const std::string good = kHeader + "0,6,6\r\n";
    struct Case {
        std::string text;
        int16_t channel0; // 6 when line 1 was read before the damage
    };
    for (const Case& c :
         {Case{good + "1,7\r\n", 6}, Case{good + "1,x,3\r\n", 6}, Case{good + "1,4,3,9\r\n", 6},
          Case{good + "1,4,40000\r\n", 6}, Case{good + std::string("1,4,\x01\r\n"), 2},
          Case{std::string(), 2}, Case{good + std::string(2 * 1024 * 1024, '5'), 2}}) {
        StoreFixture f;
        f.dir.write("calvalue.dat", c.text);
        CalibrationTable t;
        EXPECT_FALSE(loadCalibration(t, f.dir.path())) << c.text.substr(0, 60);
        EXPECT_EQ(t.Channel_PinHole[0], c.channel0) << c.text.substr(0, 60);
        EXPECT_EQ(t.Channel_PinHole[1], 2);
        ASSERT_TRUE(saveCalibration(t, f.dir.path()));
        EXPECT_TRUE(loadCalibration(t, f.dir.path()));
    }
    StoreFixture none;
    CalibrationTable t;
    EXPECT_FALSE(loadCalibration(t, none.dir.path()));
    EXPECT_FALSE(saveCalibration(t, none.dir / "missing-folder"));
}

} // namespace
} // namespace trv
