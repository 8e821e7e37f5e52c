// The fast detection against the step-by-step reference on many blocks.
#include "acquisition/Analysis_Module.h"
#include "acquisition/LiteralDetection.h"
#include "acquisition/SignalGenerators.h"
#include "support/Sanitizers.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace trv {
namespace {

#if TRV_ADDRESS_SANITIZER
constexpr int kBlocksPerMethod = 2000; // the instrumented build is many times slower
#else
constexpr int kBlocksPerMethod = 10000;
#endif

std::string describe(test::SignalKind kind, double snr, int iteration) {
    return "kind " + std::to_string(static_cast<int>(kind)) + " snr " + std::to_string(snr) +
           " block " + std::to_string(iteration);
}

class DetectionEquivalence : public ::testing::TestWithParam<int> {};

TEST_P(DetectionEquivalence, FastMatchesReferenceOnEveryOutput) {
    const int method = GetParam();
    std::mt19937 rng(20240611u + static_cast<unsigned>(method));
    std::uniform_real_distribution<double> snrDist(1.1, 5.0);
    const int kinds = static_cast<int>(test::SignalKind::Count);
    int withEvents = 0, clippedSomething = 0;
    for (int it = 0; it < kBlocksPerMethod; ++it) {
        const auto kind = static_cast<test::SignalKind>(it % kinds);
        // Mostly the user's range, sometimes the organism presets exactly.
        double snr = snrDist(rng);
        if (it % 7 == 0) snr = 1.8;
        if (it % 11 == 0) snr = 2.1;
        test::Row row = test::makeSignal(kind, rng);

        // Traces start from arbitrary values: entries a method does not set
        // must keep them in both implementations.
        DetectionTrace trace;
        for (auto& v : trace.threshold)
            v = static_cast<int16_t>(rng() & 0x7fff);
        for (auto& v : trace.events)
            v = static_cast<int16_t>((rng() & 1) ? -1 : 0);
        const auto ref =
            literal::detect(row.data(), 500, snr, method, trace.threshold, trace.events);

        test::Row fast = row;
        const int16_t count = DetectSamples(fast.data(), 500, snr, method, &trace);
        const std::string where = describe(kind, snr, it);
        ASSERT_EQ(count, ref.count) << where;
        ASSERT_EQ(trace.marks, ref.marks) << where;
        ASSERT_EQ(trace.threshold, ref.threshold) << where;
        ASSERT_EQ(trace.events, ref.events) << where;
        for (int i = 0; i < 500; ++i)
            ASSERT_EQ(fast[i], ref.clipped[i]) << where << " sample " << i;
        ASSERT_EQ(fast[500], row[500]) << "sample 500 is never analysed";

        // Without a trace the count and the clipping are the same.
        test::Row bare = row;
        ASSERT_EQ(DetectSamples(bare.data(), 500, snr, method, nullptr), ref.count) << where;
        ASSERT_TRUE(std::equal(bare.begin(), bare.begin() + 500, ref.clipped.begin())) << where;

        withEvents += ref.count > 0;
        clippedSomething += !std::equal(row.begin(), row.begin() + 500, ref.clipped.begin());
    }
    // The blocks must exercise the detection, not only the quiet paths.
    EXPECT_GT(withEvents, kBlocksPerMethod / 4);
    EXPECT_GT(clippedSomething, kBlocksPerMethod / 10);
}

INSTANTIATE_TEST_SUITE_P(Methods, DetectionEquivalence, ::testing::Values(0, 1, 2, 3));

TEST(DetectionEquivalence, ShortRowsArePaddedTheSameWay) {
    // RT_Buffer below 500: fewer samples than the detection reads.
    std::mt19937 rng(77);
    for (int it = 0; it < 400; ++it) {
        test::Row row = test::makeSignal(static_cast<test::SignalKind>(it % 3), rng);
        const int count = 1 + static_cast<int>(rng() % 499);
        const int method = it % 4;
        const auto ref = literal::detect(row.data(), count, 1.8, method);
        test::Row fast = row;
        DetectionTrace trace;
        ASSERT_EQ(DetectSamples(fast.data(), count, 1.8, method, &trace), ref.count);
        ASSERT_EQ(trace.marks, ref.marks);
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(fast[i], ref.clipped[i]);
        for (int i = count; i < 501; ++i)
            ASSERT_EQ(fast[i], row[i]) << "beyond the row is untouched";
    }
}

TEST(BodyBendEquivalence, FastMatchesReferenceOnEveryBin) {
    std::mt19937 rng(99);
    const int kinds = static_cast<int>(test::SignalKind::Count);
    std::uniform_real_distribution<double> thDist(0.0, 300.0);
    int nonEmpty = 0;
    for (int it = 0; it < kBlocksPerMethod; ++it) {
        test::Row row = test::makeSignal(static_cast<test::SignalKind>(it % kinds), rng);
        double th = thDist(rng);
        if (it % 5 == 0) th = std::floor(th) + 0.5; // halves go to even
        const auto ref = literal::bodyBends(row.data(), 500, th);
        std::array<int16_t, kBodyBendBins> fast;
        fast.fill(123);
        ASSERT_EQ(BodyBendHistogramSamples(row.data(), 500, fast, th), 1);
        ASSERT_EQ(fast, ref) << "block " << it << " threshold " << th;
        nonEmpty += std::any_of(ref.begin(), ref.end(), [](int16_t v) { return v != 0; });
    }
    EXPECT_GT(nonEmpty, kBlocksPerMethod / 4);
}

} // namespace
} // namespace trv
