// Activity detection: the boundary behaviour of each method, the marks file
// and the body-bend histogram.
#include "acquisition/Analysis_Module.h"
#include "acquisition/LiteralDetection.h"
#include "acquisition/SignalGenerators.h"
#include "common/Files.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>

namespace trv {
namespace {

using Row = std::array<int16_t, 501>;

Row constant(int v) {
    Row x;
    x.fill(static_cast<int16_t>(v));
    return x;
}

std::vector<int> eventSamples(const DetectionTrace& t) {
    std::vector<int> at;
    for (int i = 0; i < 500; ++i)
        if (t.marks[static_cast<size_t>(i)] == '1') at.push_back(i);
    return at;
}

TEST(DetectActivity, ConstantSignalCountsNothingAndKeepsItsSamples) {
    for (int v : {100, 500, 2000, 4095}) {
        for (int method : {0, 1}) {
            Row x = constant(v);
            DetectionTrace t;
            EXPECT_EQ(DetectSamples(x.data(), 500, 1.8, method, &t), 0) << v;
            EXPECT_EQ(x, constant(v)) << "the clipping curve stays above a constant signal";
            // P2 = 1: the threshold starts at 98.25 % and settles towards 99 %.
            EXPECT_EQ(t.threshold[0], roundHalfEven(0.9825 * v));
            for (int u = 0; u < 500; ++u) {
                EXPECT_GE(t.threshold[static_cast<size_t>(u)], roundHalfEven(0.9825 * v));
                EXPECT_LE(t.threshold[static_cast<size_t>(u)], roundHalfEven(0.99 * v));
                EXPECT_LT(t.threshold[static_cast<size_t>(u)], v);
            }
            // Each step moves a quarter of the way, rounded: it stops within
            // 2 of the 99 % level.
            EXPECT_GE(t.threshold[499], roundHalfEven(0.99 * v) - 2);
            EXPECT_EQ(t.marks, std::string(500, '0'));
        }
    }
}

TEST(DetectActivity, DarkBeamCountsNothingWithAnyMethod) {
    for (int method = 0; method <= 3; ++method) {
        Row x = constant(0);
        DetectionTrace t;
        EXPECT_EQ(DetectSamples(x.data(), 500, 1.8, method, &t), 0) << method;
        EXPECT_EQ(x, constant(0));
    }
}

TEST(DetectActivity, ZeroMeanSignalUsesSnrAsNoise) {
    // Equal and opposite spikes on a zero level: the mean signal rounds to 0,
    // so the noise is the snr itself instead of a division by zero.
    Row x = constant(0);
    x[5] = 2000;
    x[6] = -2000;
    const double snr = 2.0;
    DetectionTrace t;
    DetectSamples(x.data(), 500, snr, 1, &t);
    // First curve: P1 = snr + 1, m = round(26 * 2000 / 30) = 1733 at sample 0.
    EXPECT_LT(x[5], 2000) << "the spike is cut by a curve built with P1 = 3";
    // Second envelope: mean signal <= 0, so P2 = snr + 1 as well.
    const long long m0 = roundHalfEven(26.0 * x[5] / 30.0);
    EXPECT_EQ(t.threshold[0], roundHalfEven((100 - (snr + 1) * 1.75) / 100 * m0));
}

// A level of 2000 with a small ripple and one deep two-sample dip in the
// middle of every 30-sample window.
Row dippedEveryWindow() {
    Row x;
    for (int i = 0; i < 501; ++i)
        x[i] = static_cast<int16_t>(2000 + (i % 3 - 1) * 5);
    for (int d = 15; d < 500; d += 30)
        x[d] = x[d + 1] = 1200;
    return x;
}

TEST(DetectActivity, MethodZeroCountsAtMostOneEventPerWindow) {
    Row x = dippedEveryWindow();
    DetectionTrace t;
    // 17 dips, but only the windows ending at 30, 60, ..., 480 are counted.
    EXPECT_EQ(DetectSamples(x.data(), 500, 1.8, 0, &t), 16);
    std::vector<int> expected;
    for (int u = 30; u <= 480; u += 30)
        expected.push_back(u);
    EXPECT_EQ(eventSamples(t), expected);

    Row y = dippedEveryWindow();
    EXPECT_EQ(DetectSamples(y.data(), 500, 1.8, 1, nullptr), 17) << "method 1 counts every dip";

    // Whatever the signal, never more than 16, and only at window ends.
    std::mt19937 rng(5);
    for (int it = 0; it < 300; ++it) {
        Row z = test::makeSignal(static_cast<test::SignalKind>(it % 3), rng);
        DetectionTrace tz;
        EXPECT_LE(DetectSamples(z.data(), 500, 1.1, 0, &tz), 16);
        for (int u : eventSamples(tz))
            EXPECT_EQ(u % 30, 0) << u;
    }
}

TEST(DetectActivity, MethodOneBelowTheThresholdAllBlockCountsOnce) {
    // A negative level lies below its own threshold (the threshold is a
    // fraction of the envelope): one crossing at sample 0, never re-armed.
    Row x = constant(-1000);
    DetectionTrace t;
    EXPECT_EQ(DetectSamples(x.data(), 500, 1.8, 1, &t), 1);
    EXPECT_EQ(eventSamples(t), std::vector<int>{0});
    for (int u = 0; u < 500; ++u)
        EXPECT_LT(x[static_cast<size_t>(u)], t.threshold[static_cast<size_t>(u)]);

    // On a real level: a dip that stays down for 200 samples counts once.
    Row y = constant(2000);
    for (int i = 150; i < 350; ++i)
        y[i] = 1500;
    DetectionTrace ty;
    EXPECT_EQ(DetectSamples(y.data(), 500, 1.8, 1, &ty), 1);
    EXPECT_EQ(eventSamples(ty), std::vector<int>{150});
}

TEST(DetectActivity, MethodOneSampleEqualToTheThresholdNeitherCountsNorReArms) {
    // Plateaus (never strict extremes) keep the envelope, and so the
    // threshold, those of the constant level.
    DetectionTrace flat;
    Row c = constant(2000);
    DetectSamples(c.data(), 500, 1.8, 1, &flat);
    const int16_t th = flat.threshold[102];
    ASSERT_EQ(th, 1978); // 99 % of 2000, less the two the rounded steps never climb
    for (int u = 100; u < 500; ++u)
        ASSERT_EQ(flat.threshold[static_cast<size_t>(u)], th);

    auto run = [&](int16_t middle, int16_t alone) {
        Row x = constant(2000);
        x[100] = x[101] = 1900;   // below: counts
        x[102] = x[103] = middle; // at the threshold: must not re-arm
        x[104] = x[105] = 1900;   // below again: counts only if re-armed
        x[300] = x[301] = alone;  // a lone plateau at the threshold: no count
        DetectionTrace t;
        DetectSamples(x.data(), 500, 1.8, 1, &t);
        EXPECT_EQ(t.threshold, flat.threshold) << "the plateaus must not move the threshold";
        return eventSamples(t);
    };
    EXPECT_EQ(run(th, th), (std::vector<int>{100}));
    EXPECT_EQ(run(th + 1, th), (std::vector<int>{100, 104})) << "strictly above re-arms";
    EXPECT_EQ(run(th, th - 1), (std::vector<int>{100, 300})) << "strictly below counts";
}

TEST(DetectActivity, MethodThreeCountsTheFirstPairBelowTheThreshold) {
    // A constant level lies below snr times itself: one event at sample 1.
    Row x = constant(1000);
    DetectionTrace t;
    EXPECT_EQ(DetectSamples(x.data(), 500, 1.5, 3, &t), 1);
    EXPECT_EQ(eventSamples(t), std::vector<int>{1});
    EXPECT_EQ(t.events[1], -1);
    EXPECT_EQ(t.events[0], 0);
    EXPECT_EQ(t.threshold[0], 1500);

    // A first pair above the threshold: the event waits for the first pair
    // below it (samples 2 and 3).
    Row y = constant(1000);
    y[0] = y[1] = 3000;
    DetectionTrace ty;
    EXPECT_EQ(DetectSamples(y.data(), 500, 1.5, 3, &ty), 1);
    EXPECT_EQ(eventSamples(ty), std::vector<int>{3});
}

Row rippled(int level) {
    Row x;
    for (int i = 0; i < 501; ++i)
        x[i] = static_cast<int16_t>(level + (i % 2) * 4);
    return x;
}

TEST(DetectActivity, MotilityCountsRunsOfTenBeyondTheAmplitudeLimit) {
    // A rippled level with one slow dip (down 50 per sample, a stay, back up):
    // the detrended, smoothed signal runs one way for ten samples far beyond
    // the amplitude limit only around the dip.
    Row x = rippled(2000);
    for (int i = 0; i < 20; ++i)
        x[200 + i] = static_cast<int16_t>(2000 - 50 * i);
    for (int i = 220; i < 250; ++i)
        x[i] = static_cast<int16_t>(1050 + (i % 2) * 4);
    for (int i = 0; i < 20; ++i)
        x[250 + i] = static_cast<int16_t>(1050 + 50 * i);
    const Row copy = x;
    DetectionTrace t;
    const int n = DetectSamples(x.data(), 500, 1.8, 2, &t);
    EXPECT_GE(n, 2);
    for (int e : eventSamples(t))
        EXPECT_TRUE(e >= 100 && e < 300) << e;
    EXPECT_EQ(t.events, (std::array<int16_t, 501>{})) << "method 2 leaves the event trace alone";
    const auto ref = literal::detect(copy.data(), 500, 1.8, 2);
    EXPECT_EQ(n, ref.count);
    EXPECT_EQ(t.marks, ref.marks);

    Row still = rippled(2000);
    EXPECT_EQ(DetectSamples(still.data(), 500, 1.8, 2, nullptr), 0);
}

TEST(DetectActivity, CurveOverflowIsContainedToTheBeam) {
    // A dark beam with rare full-scale spikes drives the clipping curve far
    // beyond 16 bits: it saturates, the spikes stay as they are, and the
    // neighbouring beams of the block are untouched.
    SignalBlock block;
    for (int b = 0; b < SignalBlock::kBeams; ++b)
        for (int s = 0; s < 501; ++s)
            block.at(b, s) = static_cast<int16_t>(1500 + (s * 7 + b) % 40);
    // Flat zero: the envelope keeps the first spike's height for the rest of
    // the block, against a mean level of 132.
    block.clearBeam(10);
    block.at(10, 120) = 4095;
    for (int s = 200; s < 500; s += 20)
        block.at(10, s) = 4095;
    const SignalBlock before = block;
    for (int method = 0; method <= 3; ++method) {
        SignalBlock b = before;
        DetectionTrace t;
        const int n = DetectActivity(b, 10, 5.0, method, 0, "", 0, &t);
        const auto ref = literal::detect(before.row(10), 500, 5.0, method);
        EXPECT_EQ(n, ref.count) << method;
        // The first spike meets a curve built from the dark samples before it;
        // the second one a curve far beyond 16 bits, saturated at 32767.
        EXPECT_LT(b.at(10, 120), 4095);
        for (int s = 200; s < 500; s += 20)
            EXPECT_EQ(b.at(10, s), 4095) << "a saturated curve cuts nothing: " << s;
        for (int beam = 0; beam < SignalBlock::kBeams; ++beam) {
            if (beam == 10) continue;
            ASSERT_TRUE(std::equal(b.row(beam), b.row(beam) + 501, before.row(beam))) << beam;
        }
    }
}

TEST(DetectActivity, ClipsOnlyTheAnalysedSamplesOfItsBeam) {
    SignalBlock block;
    std::mt19937 rng(11);
    for (int b = 0; b < SignalBlock::kBeams; ++b) {
        const auto row = test::makeSignal(test::SignalKind::Worms, rng);
        std::copy(row.begin(), row.end(), block.row(b));
    }
    // A spike far above the curve, and sample 500 (never analysed) as well.
    block.at(42, 250) = 4095;
    block.at(42, 500) = 4095;
    const SignalBlock before = block;
    const auto ref = literal::detect(before.row(42), 500, 1.8, 1);
    DetectionTrace t;
    EXPECT_EQ(DetectActivity(block, 42, 1.8, 1, 0, "", 0, &t), ref.count);
    EXPECT_TRUE(std::equal(ref.clipped.begin(), ref.clipped.end(), block.row(42)));
    EXPECT_LT(block.at(42, 250), 4000);
    EXPECT_EQ(block.at(42, 500), 4095);
    for (int beam = 0; beam < SignalBlock::kBeams; ++beam) {
        if (beam == 42) continue;
        ASSERT_TRUE(std::equal(block.row(beam), block.row(beam) + 501, before.row(beam)));
    }

    // A block of RT_Buffer = 200: rows 0..199 are analysed (the last one
    // repeated), row 200 is left alone.
    SignalBlock shortBlock(201);
    for (int s = 0; s < 201; ++s)
        shortBlock.at(3, s) = before.at(42, s);
    const auto refShort = literal::detect(before.row(42), 200, 1.8, 1);
    EXPECT_EQ(DetectActivity(shortBlock, 3, 1.8, 1, 0, "", 0, nullptr), refShort.count);
    for (int s = 0; s < 200; ++s)
        EXPECT_EQ(shortBlock.at(3, s), refShort.clipped[static_cast<size_t>(s)]);
    EXPECT_EQ(shortBlock.at(3, 200), before.at(42, 200));

    // Out-of-range beams and unknown methods count nothing.
    EXPECT_EQ(DetectActivity(block, 385, 1.8, 1, 0, "", 0, nullptr), 0);
    EXPECT_EQ(DetectActivity(block, -1, 1.8, 1, 0, "", 0, nullptr), 0);
    EXPECT_EQ(DetectActivity(block, 7, 1.8, 4, 0, "", 0, nullptr), 0);
}

TEST(DetectActivity, TraceEventsAccumulateUntilTheCallerClearsThem) {
    Row a = dippedEveryWindow();
    Row b = constant(-1000);
    DetectionTrace t;
    DetectSamples(a.data(), 500, 1.8, 1, &t);
    DetectSamples(b.data(), 500, 1.8, 1, &t);
    EXPECT_EQ(eventSamples(t), std::vector<int>{0}) << "marks belong to the last call";
    EXPECT_EQ(t.events[0], -1);
    EXPECT_EQ(t.events[15], -1) << "events of the first call are still set";
}

TEST(DetectActivity, AppendsMarksLinesToTheBeamFile) {
    test::TempDir dir;
    SignalBlock block;
    Row x = dippedEveryWindow();
    std::copy(x.begin(), x.end(), block.row(7));
    const SignalBlock before = block;

    const int n = DetectActivity(block, 7, 1.8, 0, 1, dir.path(), 1234, nullptr);
    EXPECT_EQ(n, 16);
    SignalBlock again = before;
    DetectionTrace t;
    DetectActivity(again, 7, 1.8, 0, 1, dir.path(), -5, &t);
    EXPECT_FALSE(t.marksWriteFailed);
    std::string line = std::string(500, '0');
    for (int u = 30; u <= 480; u += 30)
        line[static_cast<size_t>(u)] = '1';
    EXPECT_EQ(dir.read("ch7.raw"), "1234 " + line + "\r\n-5 " + line + "\r\n");
    EXPECT_EQ(marksFilePath(dir.path(), 7), dir / "ch7.raw");

    // writeMarks 0 writes nothing; an unwritable folder is reported in the trace.
    SignalBlock third = before;
    DetectActivity(third, 8, 1.8, 0, 0, dir.path(), 1, nullptr);
    EXPECT_FALSE(fileExists(dir / "ch8.raw"));
    DetectionTrace failed;
    EXPECT_EQ(DetectActivity(third, 7, 1.8, 0, 1, dir / "missing", 1, &failed), 16);
    EXPECT_TRUE(failed.marksWriteFailed);
}

// A level of 2000 with V-shaped dips (a strict minimum after smoothing).
Row dipsAt(std::initializer_list<int> centres) {
    Row x = constant(2000);
    for (int p : centres) {
        const int16_t shape[5] = {1800, 1400, 1000, 1400, 1800};
        for (int k = 0; k < 5; ++k)
            x[p - 2 + k] = shape[k];
    }
    return x;
}

TEST(BodyBendHistogram, CountsIntervalsOfTwoToFortyNineSamples) {
    // Dips at 100 (49+ after the start), 150 (50 later), 199 (49), 240 (41),
    // 250 (10), 300 (50).
    Row x = dipsAt({100, 150, 199, 240, 250, 300});
    std::array<int16_t, kBodyBendBins> h;
    h.fill(-7);
    EXPECT_EQ(BodyBendHistogramSamples(x.data(), 500, h, 0.0), 1);
    std::array<int16_t, kBodyBendBins> expected{};
    expected[49] = 1;
    expected[41] = 1;
    expected[10] = 1;
    EXPECT_EQ(h, expected);

    // The smoothed dip is 520 deep; the threshold is used rounded, halves to even.
    BodyBendHistogramSamples(x.data(), 500, h, 518.5); // 518: still a drop
    EXPECT_EQ(h, expected);
    BodyBendHistogramSamples(x.data(), 500, h, 519.5); // 520: nothing left
    EXPECT_EQ(h, (std::array<int16_t, kBodyBendBins>{}));

    // Through a block: same result, samples untouched.
    SignalBlock block;
    std::copy(x.begin(), x.end(), block.row(3));
    const SignalBlock before = block;
    BodyBendHistogram(block, 3, h, 0.0);
    EXPECT_EQ(h, expected);
    EXPECT_EQ(block, before);
}

TEST(BodyBendHistogram, NeverCountsZeroOrOneSampleIntervals) {
    std::mt19937 rng(8);
    for (int it = 0; it < 2000; ++it) {
        Row x = test::makeSignal(static_cast<test::SignalKind>(it % 10), rng);
        std::array<int16_t, kBodyBendBins> h;
        BodyBendHistogramSamples(x.data(), 500, h, static_cast<double>(it % 20));
        ASSERT_EQ(h[0], 0);
        ASSERT_EQ(h[1], 0);
    }
}

} // namespace
} // namespace trv

namespace trv {
namespace {

TEST(DetectActivityBeams, MatchesOneCallPerBeam) {
    // Mixed organisms over a plate; beams analysed four at a time must give
    // what one call per beam gives, traces included, for any beam list.
    SignalBlock block;
    std::mt19937 rng(21);
    for (int b = 0; b < SignalBlock::kBeams; ++b) {
        const auto row = test::makeSignal(static_cast<test::SignalKind>(b % 10), rng);
        std::copy(row.begin(), row.end(), block.row(b));
    }
    for (int method = 0; method <= 3; ++method) {
        const std::vector<int> beams = {5, 0, 383, 17, 200, 201, 202, -3, 99, 384, 12};
        SignalBlock single = block, batch = block;
        std::vector<int16_t> expected(beams.size()), got(beams.size(), 77);
        std::vector<DetectionTrace> expTraces(beams.size()), gotTraces(beams.size());
        std::vector<DetectionTrace*> tracePtrs;
        for (size_t i = 0; i < beams.size(); ++i) {
            expected[i] = DetectActivity(single, beams[i], 1.8, method, 0, "", 0, &expTraces[i]);
            tracePtrs.push_back(i == 3 ? nullptr : &gotTraces[i]);
        }
        DetectActivityBeams(batch, beams.data(), static_cast<int>(beams.size()), 1.8, method,
                            got.data(), tracePtrs.data());
        EXPECT_EQ(got, expected) << method;
        EXPECT_EQ(batch, single) << "same clipping, same beams touched";
        for (size_t i = 0; i < beams.size(); ++i) {
            if (!tracePtrs[i] || beams[i] < 0 || beams[i] > 384) continue;
            EXPECT_EQ(gotTraces[i].marks, expTraces[i].marks) << i;
            EXPECT_EQ(gotTraces[i].threshold, expTraces[i].threshold) << i;
            EXPECT_EQ(gotTraces[i].events, expTraces[i].events) << i;
        }
        EXPECT_EQ(got[7], 0);
    }
}

TEST(DetectActivityBeams, HalvesOfAPlateOnTwoThreadsGiveTheSequentialResult) {
    SignalBlock block;
    std::mt19937 rng(31);
    for (int b = 0; b < SignalBlock::kBeams; ++b) {
        const auto row = test::makeSignal(static_cast<test::SignalKind>(b % 10), rng);
        std::copy(row.begin(), row.end(), block.row(b));
    }
    std::vector<int> beams(kChannels);
    for (int b = 0; b < kChannels; ++b)
        beams[static_cast<size_t>(b)] = b;
    for (int method = 0; method <= 3; ++method) {
        SignalBlock sequential = block, threaded = block;
        std::vector<int16_t> expected(kChannels), got(kChannels);
        DetectActivityBeams(sequential, beams.data(), kChannels, 2.0, method, expected.data());
        std::thread other(
            [&] { DetectActivityBeams(threaded, beams.data(), 192, 2.0, method, got.data()); });
        DetectActivityBeams(threaded, beams.data() + 192, 192, 2.0, method, got.data() + 192);
        other.join();
        EXPECT_EQ(got, expected) << method;
        EXPECT_EQ(threaded, sequential) << method;
    }
}

} // namespace
} // namespace trv
