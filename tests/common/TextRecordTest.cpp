#include "common/TextRecord.h"

#include <gtest/gtest.h>

namespace trv {

TEST(TextRecord, WritesItemsWithCommasQuotesAndCrLf) {
    RecordWriter w;
    w.header("Config: <a>, <b>");
    w.integer(3).integer(-5).text("x y").real(2.5).end();
    w.printed("17,2,3");
    EXPECT_EQ(w.str(), "\"Config: <a>, <b>\"\r\n3,-5,\"x y\",2.5\r\n17,2,3\r\n");
}

TEST(TextRecord, ReadsItemsAcrossLinesWithQuotedCommasAndLineBreaks) {
    RecordReader r("\"head, er\"\r\n  12 , \"a,b\r\nc\",x y \r\n-4.5\r\n");
    EXPECT_EQ(r.item(), "head, er");
    EXPECT_EQ(r.int16(), 12);
    EXPECT_EQ(r.item(), "a,b\r\nc");
    EXPECT_EQ(r.item(), "x y");
    EXPECT_DOUBLE_EQ(r.real(), -4.5);
    EXPECT_FALSE(r.hasData());
    EXPECT_THROW(r.item(), RecordError);
}

TEST(TextRecord, NumbersOfTextItemsAndRangeErrors) {
    RecordReader r("abc,2.5,3.5,40000,\"7\"\n");
    EXPECT_EQ(r.int16(), 0);     // not a number
    EXPECT_EQ(r.int16(), 2);     // half to even
    EXPECT_EQ(r.int16(), 4);
    EXPECT_THROW(r.int16(), RecordError);
    EXPECT_EQ(r.int16(), 7);     // quoted numbers read as numbers
}

TEST(TextRecord, LinesAndItemsMix) {
    RecordReader r("\"h\"\r\nline two, as is\r\n1,2\n3");
    EXPECT_EQ(r.line(), "\"h\"");
    EXPECT_EQ(r.line(), "line two, as is");
    EXPECT_EQ(r.int16(), 1);
    EXPECT_EQ(r.int16(), 2);
    EXPECT_EQ(r.int16(), 3);
    EXPECT_TRUE(r.atEnd());
    EXPECT_THROW(r.line(), RecordError);
}

TEST(TextRecord, GarbageNeverReadsOutOfBounds) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
    RecordReader r(garbage);
    int items = 0;
    try {
        while (true) {
            r.item();
            ++items;
        }
    } catch (const RecordError&) {
    }
    EXPECT_GT(items, 0);
    RecordReader unterminated("\"never closed, 1, 2");
    EXPECT_THROW(unterminated.item(), RecordError);
}

TEST(TextRecord, NamesCannotBreakTheSyntax) {
    RecordWriter w;
    w.text("say \"hi\", ok").integer(1).end();
    RecordReader r(w.str());
    EXPECT_EQ(r.item(), "say 'hi', ok");
    EXPECT_EQ(r.int16(), 1);
}

} // namespace trv
