// counts.bin, raw block files and histogram files: byte layouts, numbering,
// reading back, and files cut short in the middle of a record.
#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <random>

namespace trv {
namespace {

std::string le16(int v) {
    const auto u = static_cast<uint16_t>(v);
    return std::string{static_cast<char>(u & 0xff), static_cast<char>(u >> 8)};
}
std::string le32(long long v) {
    const auto u = static_cast<uint32_t>(v);
    std::string s;
    for (int i = 0; i < 4; ++i)
        s += static_cast<char>((u >> (8 * i)) & 0xff);
    return s;
}

TEST(DataFiles, CountsRecordBytes) {
    test::TempDir dir;
    ChannelArray<int16_t> counts{};
    counts[0] = 5;
    counts[1] = 300;
    counts[383] = -2;
    counts[384] = temperatureTenths(24.25);
    ASSERT_TRUE(AppendCounts(dir.path(), 1, counts));

    std::string expected = std::string("\x01\x00\x00\x00", 4) + std::string("\x05\x00", 2) +
                           std::string("\x2c\x01", 2); // 300 = 0x012c
    expected += std::string(2 * 381, '\0');
    expected += std::string("\xfe\xff", 2); // -2
    expected += std::string("\xf2\x00", 2); // 242 tenths
    ASSERT_EQ(expected.size(), 774u);
    EXPECT_EQ(dir.read("counts.bin"), expected);

    const auto records = readCounts(dir / "counts.bin");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].minutes, 1);
    EXPECT_EQ(records[0].counts, counts);
}

TEST(DataFiles, TemperatureTenthsHalvesToEven) {
    EXPECT_EQ(temperatureTenths(24.25), 242);
    EXPECT_EQ(temperatureTenths(24.75), 248);
    EXPECT_EQ(temperatureTenths(-3.05), -30); // -30.5 or a hair above it: -30 either way
    EXPECT_EQ(temperatureTenths(37.0), 370);
    EXPECT_EQ(temperatureTenths(1e9), 32767);
}

TEST(DataFiles, RawBlockRecordBytesAreSampleMajorBeamFastest) {
    test::TempDir dir;
    SignalBlock block(3); // RT_Buffer = 2
    block.at(0, 0) = 1;
    block.at(384, 0) = 0x0102;
    block.at(1, 2) = -1;
    block.at(2, 1) = 4095;
    ASSERT_TRUE(AppendRawBlock(dir.path(), 0, block));

    std::string expected(3 * 385 * 2, '\0');
    auto set = [&](int s, int b, int v) { expected.replace((s * 385 + b) * 2, 2, le16(v)); };
    set(0, 0, 1);
    set(0, 384, 0x0102);
    set(2, 1, -1);
    set(1, 2, 4095);
    EXPECT_EQ(dir.read("0.bin"), expected);
    EXPECT_EQ(rawRecordSize(500), 385770);

    SignalBlock back;
    ASSERT_TRUE(readRawBlock(dir / "0.bin", 2, 0, back));
    EXPECT_EQ(back, block);
}

TEST(DataFiles, HistogramRecordBytesAreBinMajorBeamFastest) {
    test::TempDir dir;
    auto table = std::make_unique<BodyBendTable>();
    (*table)[3][2] = 7;
    (*table)[384][49] = 0x01020304;
    (*table)[0][50] = -1;
    ASSERT_TRUE(AppendHistogram(dir.path(), 0, 2.0, 0.5, *table));

    std::string expected;
    expected += std::string("\0\0\0\0\0\0\x00\x40", 8); // 2.0
    expected += std::string("\0\0\0\0\0\0\xe0\x3f", 8); // 0.5
    expected += std::string(51 * 385 * 4, '\0');
    auto set = [&](int d, int b, long long v) {
        expected.replace(16 + (d * 385 + b) * 4, 4, le32(v));
    };
    set(2, 3, 7);
    set(49, 384, 0x01020304);
    set(50, 0, -1);
    ASSERT_EQ(expected.size(), 78556u);
    EXPECT_EQ(dir.read("histo0000.bin"), expected);

    auto back = std::make_unique<HistogramRecord>();
    ASSERT_TRUE(readHistogramRecord(dir / "histo0000.bin", 0, *back));
    EXPECT_EQ(back->minutes, 2.0);
    EXPECT_EQ(back->secondsPerSample, 0.5);
    EXPECT_EQ(back->bins, *table);
    EXPECT_FALSE(readHistogramRecord(dir / "histo0000.bin", 1, *back));
}

TEST(DataFiles, TwelfthBlockOpensTheNextRawAndHistogramFiles) {
    test::TempDir dir;
    SignalBlock block(11); // RT_Buffer = 10
    auto table = std::make_unique<BodyBendTable>();
    DataFileNumbering numbering;
    for (int blockNo = 0; blockNo < 12; ++blockNo) {
        block.at(7, 0) = static_cast<int16_t>(blockNo);
        (*table)[7][2] = blockNo;
        ASSERT_TRUE(AppendRawBlock(dir.path(), numbering.fileNumber, block));
        ASSERT_TRUE(AppendHistogram(dir.path(), numbering.fileNumber, blockNo, 0.03, *table));
        numbering.blockRecorded();
    }
    EXPECT_EQ(rawBlockCount(dir / "0.bin", 10), 11);
    EXPECT_EQ(rawBlockCount(dir / "1.bin", 10), 1);
    EXPECT_EQ(histogramRecordCount(dir / "histo0000.bin"), 11);
    EXPECT_EQ(histogramRecordCount(dir / "histo0001.bin"), 1);
    EXPECT_EQ(numbering.fileNumber, 1);
    EXPECT_EQ(numbering.blocksInFile, 1);

    SignalBlock back;
    ASSERT_TRUE(readRawBlock(dir / "1.bin", 10, 0, back));
    EXPECT_EQ(back.at(7, 0), 11);
    ASSERT_TRUE(readRawBlock(dir / "0.bin", 10, 10, back));
    EXPECT_EQ(back.at(7, 0), 10);
    EXPECT_FALSE(readRawBlock(dir / "0.bin", 10, 11, back));
    auto rec = std::make_unique<HistogramRecord>();
    ASSERT_TRUE(readHistogramRecord(dir / "histo0001.bin", 0, *rec));
    EXPECT_EQ(rec->bins[7][2], 11);
    EXPECT_EQ(histogramFileName(12), "histo0012.bin");
    EXPECT_EQ(rawFileName(12), "12.bin");
}

TEST(DataFiles, PartialLastRecordIsNeitherReadNorLeftInTheWay) {
    test::TempDir dir;
    ChannelArray<int16_t> counts{};
    for (int i = 0; i < 2; ++i) {
        counts[0] = static_cast<int16_t>(i + 1);
        ASSERT_TRUE(AppendCounts(dir.path(), i, counts));
    }
    // A write that stopped half-way (a full disk).
    ASSERT_TRUE(appendDurable(dir / "counts.bin", "\x09\x00\x00\x00\x07", 5));
    EXPECT_EQ(countsRecordCount(dir / "counts.bin"), 2);
    EXPECT_EQ(readCounts(dir / "counts.bin").size(), 2u);

    counts[0] = 3;
    ASSERT_TRUE(AppendCounts(dir.path(), 2, counts));
    EXPECT_EQ(fileSize(dir / "counts.bin"), 3 * 774);
    const auto records = readCounts(dir / "counts.bin");
    ASSERT_EQ(records.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(records[static_cast<size_t>(i)].minutes, i);
        EXPECT_EQ(records[static_cast<size_t>(i)].counts[0], i + 1);
    }

    // The same for a raw file.
    SignalBlock block(201);
    block.at(5, 200) = 77;
    ASSERT_TRUE(AppendRawBlock(dir.path(), 3, block));
    ASSERT_TRUE(appendDurable(dir / "3.bin", "xyz", 3));
    EXPECT_EQ(rawBlockCount(dir / "3.bin", 200), 1);
    ASSERT_TRUE(AppendRawBlock(dir.path(), 3, block));
    EXPECT_EQ(fileSize(dir / "3.bin"), 2 * rawRecordSize(200));
    SignalBlock back;
    ASSERT_TRUE(readRawBlock(dir / "3.bin", 200, 1, back));
    EXPECT_EQ(back, block);
}

TEST(DataFiles, MissingFilesAndFoldersHaveNoRecords) {
    test::TempDir dir;
    EXPECT_TRUE(readCounts(dir / "counts.bin").empty());
    EXPECT_EQ(rawBlockCount(dir / "0.bin", 500), 0);
    SignalBlock b;
    EXPECT_FALSE(readRawBlock(dir / "0.bin", 500, 0, b));
    ChannelArray<int16_t> counts{};
    EXPECT_FALSE(AppendCounts(dir / "no/such", 0, counts));
    EXPECT_FALSE(fileExists(dir / "no/such/counts.bin"));
}

TEST(DataFiles, RawBlocksRoundTripWithDefaultBuffer) {
    test::TempDir dir;
    std::mt19937 rng(4);
    SignalBlock first, second;
    for (int b = 0; b < SignalBlock::kBeams; ++b)
        for (int s = 0; s < 501; ++s) {
            first.at(b, s) = static_cast<int16_t>(rng() & 0xfff);
            second.at(b, s) = static_cast<int16_t>(rng());
        }
    ASSERT_TRUE(AppendRawBlock(dir.path(), 0, first));
    ASSERT_TRUE(AppendRawBlock(dir.path(), 0, second));
    EXPECT_EQ(fileSize(dir / "0.bin"), 2 * 385770);
    SignalBlock back;
    ASSERT_TRUE(readRawBlock(dir / "0.bin", 500, 1, back));
    EXPECT_EQ(back, second);
    ASSERT_TRUE(readRawBlock(dir / "0.bin", 500, 0, back));
    EXPECT_EQ(back, first);
}

} // namespace
} // namespace trv
