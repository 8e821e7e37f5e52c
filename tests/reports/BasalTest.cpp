#include "reports/Basal.h"
#include "common/Numeric.h"
#include "reports/SeriesBuilder.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

const std::string kQuestion =
    "Basal acquisition is 180min long, and BinSize=60min. \r\n\r\n"
    "How many minutes do you want to use to calculate Basal Meassurement?";

TEST(BasalMinutes, ShortBasalUsesOneBinWithoutAsking) {
    test::FakePrompter p;
    EXPECT_EQ(askBasalMinutes(60, 60, p), 60);
    EXPECT_EQ(askBasalMinutes(90, 60, p), 60); // 1.5 bins
    EXPECT_TRUE(p.prompts.empty());
}

TEST(BasalMinutes, LongBasalAsksWithItsDefault) {
    test::FakePrompter p;
    p.type(""); // keeps nothing: the default is only a preset
    p.type("150");
    EXPECT_EQ(askBasalMinutes(180, 60, p), 150);
    ASSERT_EQ(p.prompts.size(), 2u);
    EXPECT_EQ(p.prompts[0].prompt, kQuestion);
    EXPECT_EQ(p.prompts[0].title, "Basal Calculation");
    EXPECT_EQ(p.prompts[0].preset, "120"); // two bins
    EXPECT_EQ(p.prompts[1].prompt, "Enter a value between 60 and 180");
    EXPECT_EQ(p.prompts[1].preset, "60");

    // Under two bins long the default is one bin.
    test::FakePrompter q;
    q.type("100,4"); // a comma as decimal mark; rounded
    EXPECT_EQ(askBasalMinutes(110, 60, q), 100);
    EXPECT_EQ(q.prompts[0].preset, "60");
}

TEST(BasalMinutes, OutOfRangeAnswersAlternateTheTwoQuestions) {
    test::FakePrompter p;
    p.type("30");
    p.type("500");
    p.type("abc");
    p.type("180");
    EXPECT_EQ(askBasalMinutes(180, 60, p), 180);
    ASSERT_EQ(p.prompts.size(), 4u);
    EXPECT_EQ(p.prompts[0].prompt, kQuestion);
    EXPECT_EQ(p.prompts[1].prompt, "Enter a value between 60 and 180");
    EXPECT_EQ(p.prompts[2].prompt, kQuestion);
    EXPECT_EQ(p.prompts[3].prompt, "Enter a value between 60 and 180");
    // Cancelling ends the question (and the generation).
    test::FakePrompter c;
    c.type("10");
    c.cancelInput();
    EXPECT_FALSE(askBasalMinutes(180, 60, c).has_value());
}

TEST(BasalMinutes, FolderAndChoice) {
    EXPECT_FALSE(basalRequested(""));
    EXPECT_FALSE(basalRequested("-"));
    EXPECT_FALSE(basalRequested("20240101_000"));
    EXPECT_TRUE(basalRequested("20240101_0000"));
    EXPECT_EQ(basalFolderOf("/data/p00003/20240315_0930", "../../../etc/passwd"), "");
    EXPECT_EQ(basalFolderOf("/data/p00003/20240315_0930", "20240315_0800 Basal larvae"),
              "/data/p00003/20240315_0800");
}

// Channels 0..3 in wells 0..3 (one beam), groups 0, 0, 1, free.
struct Plate4 {
    ReportLayout L = test::makeLayout(2, 2, {0, 1, 2, 3}, {}, {0, 0, 1, -1});
};

TEST(BasalApply, PercentOfBasalCappedAt10000) {
    Plate4 f;
    // Basal: one 60-minute bin; channel 0 had 50, channel 1 had 1, channel 2
    // had 200, channel 3 (free) 7.
    ActivitySeries basal = test::makeSeries({60}, [](int ch, int) {
        return ch == 0 ? 50 : ch == 1 ? 1 : ch == 2 ? 200 : ch == 3 ? 7 : 0;
    });
    ActivitySeries s =
        test::makeSeries({60, 120}, [](int ch, int i) { return ch < 4 ? 400 * (i + 1) : 0; });
    test::FakePrompter p;
    BasalResult r = applyBasal(s, 1, basal, 0, 60, 60, f.L, p);
    EXPECT_TRUE(r.proceed);
    EXPECT_EQ(r.discardedChannels, 0);
    EXPECT_EQ(s.count(0, 0), 800);
    EXPECT_EQ(s.count(0, 1), 1600);
    EXPECT_EQ(s.count(1, 0), 10000);
    EXPECT_EQ(s.count(2, 1), 400);
    EXPECT_EQ(s.count(3, 0), 400); // free: left as it is
    EXPECT_TRUE(p.messages.empty());
}

TEST(BasalApply, SeveralBinsAreScaledToOneBinAndWellsAveraged) {
    // Well 0 = channels 0 (beam 0) and 16 (beam 1), group 0.
    ReportLayout L =
        test::makeLayout(1, 1, {0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0},
                         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
                         {0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0});
    // Basal of 3 bins of 30 minutes; M = 60 uses bins ending 30 and 60:
    // channel 0: 10 + 20 = 30 -> x 30/60 = 15; channel 16: 25 + 25 = 50 -> 25.
    // Well basal (15 + 25) / 2 = 20.
    ActivitySeries basal = test::makeSeries({30, 60, 90}, [](int ch, int i) {
        if (ch == 0) return (i + 1) * 10;
        if (ch == 16) return 25;
        return 0;
    });
    ActivitySeries s = test::makeSeries({30}, [](int ch, int) {
        return ch == 0 ? 30 : ch == 16 ? 15 : 0;
    });
    test::FakePrompter p;
    BasalResult r = applyBasal(s, 0, basal, 2, 60, 30, L, p);
    EXPECT_TRUE(r.proceed);
    // Both channels carry the well average 22.5 -> 22, as 110 % of 20.
    EXPECT_EQ(s.count(0, 0), 110);
    EXPECT_EQ(s.count(16, 0), 110);
}

TEST(BasalApply, ZeroBasalWellsRefusedOrDiscarded) {
    ActivitySeries basal = test::makeSeries({60}, [](int ch, int) { return ch == 0 ? 40 : 0; });
    auto main = [] {
        return test::makeSeries({60, 120},
                                [](int ch, int i) { return ch < 4 ? 10 * (ch + 1) + i : 0; });
    };
    const std::string proceedText = "You have 2 BASAL WELLS with 0 activity. Proceed anyway??";

    { // No: no report.
        Plate4 f;
        ActivitySeries s = main();
        test::FakePrompter p;
        p.answer(Answer::No);
        BasalResult r = applyBasal(s, 1, basal, 0, 60, 60, f.L, p);
        EXPECT_FALSE(r.proceed);
        ASSERT_EQ(p.messages.size(), 1u);
        EXPECT_EQ(p.messages[0].text, proceedText);
        EXPECT_EQ(p.messages[0].buttons, Buttons::YesNo);
    }
    { // Yes, then Cancel: discard; channels 1 and 2 become free with -999.
        Plate4 f;
        ActivitySeries s = main();
        test::FakePrompter p;
        p.answer(Answer::Yes);
        p.answer(Answer::Cancel);
        BasalResult r = applyBasal(s, 1, basal, 0, 60, 60, f.L, p);
        EXPECT_TRUE(r.proceed);
        EXPECT_EQ(r.rule, ZeroBasalRule::Discard);
        EXPECT_EQ(r.discardedChannels, 2);
        EXPECT_EQ(f.L.groupOf(1), -1);
        EXPECT_EQ(f.L.groupOf(2), -1);
        EXPECT_EQ(f.L.groupOf(0), 0);
        EXPECT_EQ(s.count(1, 0), -999);
        EXPECT_EQ(s.count(2, 1), -999);
        EXPECT_EQ(s.count(0, 0), 25); // 10 of 40
        EXPECT_EQ(s.count(3, 1), 41); // free channel untouched
        ASSERT_EQ(p.messages.size(), 3u);
        EXPECT_EQ(p.messages[1].buttons, Buttons::YesNoCancel);
        EXPECT_EQ(p.messages[1].text,
                  "For ZERO Activity Basal Wells:\r\n"
                  "[YES] to replace <BASAL Well> with <MAX Well Activity>\r\n"
                  "[NO] to replace <BASAL Well> with <BASAL Microplate Average>\r\n"
                  "[CANCEL] to DISCARD Well in Calculation\r\n\r\n"
                  "TO BE APPLIED TO ALL 0 ACTIVITY BASAL WELLs");
        EXPECT_EQ(
            p.messages[2].text,
            "ERROR in 2 BASAL channels.\r\nChannels were discarded and transferred to Free Group");
    }
    { // Yes, Yes: the channel's largest bin becomes its basal.
        Plate4 f;
        ActivitySeries s = main();
        test::FakePrompter p;
        p.answer(Answer::Yes);
        p.answer(Answer::Yes);
        BasalResult r = applyBasal(s, 1, basal, 0, 60, 60, f.L, p);
        EXPECT_EQ(r.discardedChannels, 0);
        EXPECT_EQ(s.count(1, 0), 95); // 20 of 21 -> 95.2
        EXPECT_EQ(s.count(1, 1), 100);
        EXPECT_EQ(s.count(2, 0), 97); // 30 of 31 -> 96.8
    }
    { // Yes, No: the plate average of the basal values at that moment:
        // channel 1: (40 + 0 + 0) / 3 = 13.3 -> 13; channel 2: (40 + 13 + 0) / 3
        // = 17.7 -> 18.
        Plate4 f;
        ActivitySeries s = main();
        test::FakePrompter p;
        p.answer(Answer::Yes);
        p.answer(Answer::No);
        applyBasal(s, 1, basal, 0, 60, 60, f.L, p);
        EXPECT_EQ(s.count(1, 0), 154); // 20 / 13 = 153.8
        EXPECT_EQ(s.count(2, 0), 167); // 30 / 18 = 166.7
    }
}

TEST(BasalApply, BasalSumsAreSixteenBit) {
    Plate4 f;
    ActivitySeries basal =
        test::makeSeries({30, 60}, [](int ch, int) { return ch == 0 ? 20000 : 1; });
    ActivitySeries s = test::makeSeries({30}, [](int, int) { return 1; });
    test::FakePrompter p;
    EXPECT_THROW(applyBasal(s, 0, basal, 1, 60, 30, f.L, p), Overflow16);
}

} // namespace
} // namespace trv
