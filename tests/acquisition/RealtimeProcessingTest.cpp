// Real-time processing of each tick's sample: warm-up, spike removal,
// real-time counting, window rows across the block boundary, blank reading.
#include "acquisition/RealtimeProcessing.h"
#include "common/Numeric.h"

#include <gtest/gtest.h>

#include <functional>

namespace trv {
namespace {

// Drives the processor the way the acquisition tick does: store the sample,
// process it, then advance the sample index, the window counter and the
// ticks since Play.
struct TickRun {
    RealtimeProcessor rt{500};
    RealtimeSettings settings;
    ChannelArray<double> thresholds;
    ChannelArray<int16_t> wells;
    int s = 0;
    int32_t ticks = 0;
    int windowCounter = 0;

    explicit TickRun(bool autoZero, int method = 1, double thr = 20.0) {
        settings.autoZero = autoZero;
        settings.DSP_Method = static_cast<int16_t>(method);
        thresholds.fill(thr);
        wells.fill(-1);
        wells[0] = 0; // beams 0 and 1 in wells, beam 2 in none
        wells[1] = 1;
    }
    // One tick; level(beam, tick) gives the new sample of beams 0..2.
    void tick(const std::function<int(int, int)>& level) {
        for (int b = 0; b < 3; ++b)
            rt.rawBlock.at(b, s) = static_cast<int16_t>(level(b, ticks));
        rt.processSample(s, ticks, windowCounter, settings, thresholds, wells);
        s = (s + 1) % settings.RT_Buffer;
        windowCounter = windowCounter < settings.DSP_Interval ? windowCounter + 1 : 0;
        ++ticks;
    }
    void ticksOf(int n, const std::function<int(int, int)>& level) {
        for (int i = 0; i < n; ++i)
            tick(level);
    }
};

TEST(RealtimeProcessing, AutoZeroOffCountsNothingDuringTheFirst45Ticks) {
    // Level 2000, then from tick 40 on far below any curve.
    TickRun run(false, 1);
    auto level = [](int, int t) { return t < 40 ? 2000 : 100; };
    run.ticksOf(31, level); // ticks 0..30: the window is filling
    for (int r = 0; r <= 30; ++r)
        EXPECT_EQ(run.rt.filteredBlock.at(0, r), 0) << r;
    run.ticksOf(15, level); // up to tick 45: curves, but no counting yet
    EXPECT_EQ(run.rt.blockCounts[0], 0);
    EXPECT_EQ(run.rt.totals[0], 0);
    EXPECT_GT(run.rt.filteredBlock.at(0, 45), 100) << "the curve is running";
    run.tick(level); // tick 46
    EXPECT_EQ(run.rt.blockCounts[0], 1);
    EXPECT_EQ(run.rt.totals[0], 1);
    EXPECT_EQ(run.rt.inEvent[0], -1);
    EXPECT_EQ(run.rt.pendingEvent[0], 1);
    // Staying below counts nothing more; beam 2 lies in no well.
    run.ticksOf(20, level);
    EXPECT_EQ(run.rt.blockCounts[0], 1);
    EXPECT_EQ(run.rt.blockCounts[2], 0);
    EXPECT_NE(run.rt.filteredBlock.at(2, 60), 0) << "its curve is still drawn";
}

TEST(RealtimeProcessing, AutoZeroOnReplacesASinglePeakAboveTheClippingCurve) {
    // Threshold 10: the clipping curve settles at 110 % of the window maximum.
    for (int peak : {3000, 2100}) {
        TickRun run(true, 1, 10.0);
        auto level = [peak](int, int t) {
            if (t == 100) return peak;
            if (t == 101) return 2001;
            return 2000;
        };
        run.ticksOf(102, level); // the peak is judged when sample 101 arrives
        EXPECT_EQ(run.rt.clipBlock.at(0, 99), 2200);
        if (peak == 3000) {
            // Mean of its neighbours, 2000.5, halves to even.
            EXPECT_EQ(run.rt.rawBlock.at(0, 100), 2000);
            EXPECT_EQ(run.rt.upperEnv.at(0, 101), 2000) << "the peak never reaches the envelope";
            EXPECT_EQ(run.rt.levelSum[0], 2000LL * run.rt.statCount[0]);
        } else {
            EXPECT_EQ(run.rt.rawBlock.at(0, 100), 2100) << "a peak under the curve stays";
            EXPECT_EQ(run.rt.upperEnv.at(0, 101), 2100);
            EXPECT_EQ(run.rt.levelSum[0], 2000LL * run.rt.statCount[0] + 100);
        }
        // Statistics run from sample 2 of the block (ticks 31..101 here).
        EXPECT_EQ(run.rt.statCount[0], 71);
        EXPECT_EQ(run.rt.statCount[2], 0) << "beams outside the wells are not processed";
        const BlockStatistics st = run.rt.blockStatistics(0);
        EXPECT_TRUE(st.valid);
        EXPECT_EQ(st.level, peak == 3000 ? 2000 : 2001); // 2000 + 100 / 71, rounded
        EXPECT_EQ(st.envelope, peak == 3000 ? 0 : 1);    // one width of 100 in 71 samples
    }
}

TEST(RealtimeProcessing, AutoZeroOnRestartsTheStatisticsEveryBlock) {
    TickRun run(true, 1, 10.0);
    run.settings.RT_Buffer = 200;
    run.ticksOf(250, [](int, int t) { return 2000 + (t % 7) * 3; });
    // Block 2 began at tick 200; samples 2..49 of it are in the statistics.
    EXPECT_EQ(run.rt.statCount[0], 48);
    EXPECT_EQ(run.rt.rawBlock.sampleCount(), 201) << "the arrays follow RT_Buffer";
    EXPECT_FALSE(RealtimeProcessor(500).blockStatistics(0).valid);
}

TEST(RealtimeProcessing, MethodZeroCountsAtMostOneEventPerWindow) {
    // A dip every third tick: method 1 counts every dip, method 0 only once
    // per window, on the tick the window counter reaches 30.
    auto level = [](int, int t) { return t % 3 == 0 ? 500 : 2000; };
    TickRun one(false, 1);
    one.ticksOf(400, level);
    TickRun zero(false, 0);
    int windowEnds = 0;
    for (int i = 0; i < 400; ++i) {
        const int before = zero.rt.totals[0];
        const bool windowEnd = zero.windowCounter >= 30 && zero.ticks > 45;
        zero.tick(level);
        const int added = zero.rt.totals[0] - before;
        EXPECT_LE(added, windowEnd ? 1 : 0) << "tick " << i;
        windowEnds += windowEnd;
    }
    EXPECT_GT(zero.rt.totals[0], 0);
    EXPECT_LE(zero.rt.totals[0], windowEnds);
    EXPECT_GT(one.rt.totals[0], 3 * zero.rt.totals[0]);
}

TEST(RealtimeProcessing, WindowAtSampleZeroReachesIntoThePreviousBlock) {
    TickRun run(false, 1, 20.0);
    RealtimeProcessor& rt = run.rt;
    // Rows left by the previous block: the window of sample 0 is rows
    // 469..498 (row 499 and row 0 are not in it).
    for (int r = 400; r < 500; ++r)
        rt.rawBlock.at(0, r) = 1000;
    rt.rawBlock.at(0, 480) = 3000;
    rt.rawBlock.at(0, 499) = 4000;
    rt.rawBlock.at(0, 0) = 1500;
    rt.filteredBlock.at(0, 496) = 100;
    rt.filteredBlock.at(0, 497) = 200;
    rt.filteredBlock.at(0, 498) = 300;
    rt.processSample(0, 100, 0, run.settings, run.thresholds, run.wells);
    // ((100 - 20) * 3000 / 100 + 600) / 4
    EXPECT_EQ(rt.filteredBlock.at(0, 0), 750);

    // Auto Zero on, sample 2: the three curve rows are 499, 0 -> 499 and 1.
    TickRun on(true, 1, 10.0);
    RealtimeProcessor& az = on.rt;
    for (int r = 0; r < 501; ++r)
        az.rawBlock.at(0, r) = 1000;
    az.clipBlock.at(0, 498) = 1;
    az.clipBlock.at(0, 499) = 10;
    az.clipBlock.at(0, 1) = 100;
    az.processSample(2, 100, 0, on.settings, on.thresholds, on.wells);
    // ((10 + 100) * 1000 / 100 + 1 + 10 + 100) / 4 = 302.75
    EXPECT_EQ(az.clipBlock.at(0, 2), 303);
}

TEST(RealtimeProcessing, StartingCurveWhenTheWindowHasJustFilled) {
    TickRun run(false, 1, 20.0);
    run.s = 490; // resumed near the end of a block
    run.rt.filteredBlock.at(0, 1) = 1234;
    run.ticksOf(32, [](int, int) { return 2000; }); // the last tick, 31, is at sample 21
    for (int r = 0; r <= 21; ++r)
        EXPECT_EQ(run.rt.filteredBlock.at(0, r), 1234) << r;
}

TEST(RealtimeProcessing, BlankReadingSetsThresholdsFromTheExtremes) {
    TickRun run(false, 1, 20.0);
    int hookCalls = 0;
    run.rt.blankHook = [&](RealtimeProcessor& p) {
        ++hookCalls;
        EXPECT_TRUE(p.blankRunning);
    };
    run.rt.startBlank();
    EXPECT_EQ(run.rt.blankMin[0], 10000);
    const int values[] = {1000, 800, 1200, 1100};
    run.ticksOf(31, [](int, int) { return 1000; }); // window filling: the blank is not fed
    EXPECT_EQ(hookCalls, 0);
    EXPECT_EQ(run.rt.blankMax[0], 0);
    for (int v : values)
        run.tick([v](int, int) { return v; });
    EXPECT_EQ(hookCalls, 4);
    EXPECT_EQ(run.rt.blankMin[0], 800);
    EXPECT_EQ(run.rt.blankMax[0], 1200);
    // floor((1 - 800 / 1200) * 100 * 1.15) + 1
    EXPECT_EQ(run.thresholds[0], 39.0);
    EXPECT_EQ(run.rt.filteredBlock.at(0, 34), roundHalfEven((100 - 39.0) / 100 * 1100));
    EXPECT_EQ(run.thresholds[2], 20.0) << "beams outside the wells keep their threshold";
    EXPECT_EQ(RealtimeProcessor::blankThreshold(1000, 1000), 1.0);

    ChannelArray<double> fresh;
    fresh.fill(5.0);
    run.rt.applyBlankThresholds(fresh, run.wells);
    EXPECT_EQ(fresh[0], 39.0);
    EXPECT_EQ(fresh[2], 5.0);

    // With Auto Zero on the blank is never fed.
    TickRun on(true, 1, 20.0);
    int onCalls = 0;
    on.rt.blankHook = [&](RealtimeProcessor&) { ++onCalls; };
    on.rt.startBlank();
    on.ticksOf(100, [](int, int t) { return 1000 + t; });
    EXPECT_EQ(onCalls, 0);
    EXPECT_EQ(on.rt.blankMax[0], 0);
    EXPECT_EQ(on.thresholds[0], 20.0);
}

TEST(RealtimeProcessing, WindowsLongerThanTheBlockStayInsideTheArrays) {
    // DSP_Interval has no range check in the setup window.
    for (bool autoZero : {true, false}) {
        for (int method = 0; method <= 3; ++method) {
            TickRun run(autoZero, method, 20.0);
            run.settings.RT_Buffer = 200;
            run.settings.DSP_Interval = 5000;
            run.ticksOf(5300, [](int, int t) { return 1000 + (t % 11) * 50; });
            run.settings.DSP_Interval = 0;
            run.ticksOf(50, [](int, int t) { return 1000 + (t % 11) * 50; });
            run.settings.DSP_Interval = -5;
            run.ticksOf(50, [](int, int t) { return 1000 + (t % 11) * 50; });
            EXPECT_EQ(run.rt.rawBlock.sampleCount(), 201);
        }
    }
}

} // namespace
} // namespace trv
