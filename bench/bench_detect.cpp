// Detection speed: one call per method, the block-end analysis of all 384
// beams, the step-by-step reference for comparison, and the per-tick
// real-time processing of 384 beams.
#include "acquisition/Analysis_Module.h"
#include "acquisition/LiteralDetection.h"
#include "acquisition/RealtimeProcessing.h"
#include "acquisition/SignalGenerators.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

using namespace trv;

// A block as a plate of worms, fish or flies gives it: organism signals on
// most beams, a few empty or dark ones.
SignalBlock realisticBlock(unsigned seed) {
    SignalBlock block;
    std::mt19937 rng(seed);
    const test::SignalKind kinds[] = {test::SignalKind::Worms, test::SignalKind::Fish,
                                      test::SignalKind::Flies, test::SignalKind::Worms,
                                      test::SignalKind::Fish,  test::SignalKind::Constant,
                                      test::SignalKind::Noise, test::SignalKind::DarkSpikes};
    for (int b = 0; b < kChannels; ++b) {
        const auto row = test::makeSignal(kinds[static_cast<size_t>(b) % 8], rng);
        std::copy(row.begin(), row.end(), block.row(b));
    }
    return block;
}

void BM_DetectOneBeam(benchmark::State& state) {
    const int method = static_cast<int>(state.range(0));
    const SignalBlock source = realisticBlock(1);
    SignalBlock block = source;
    int beam = 0;
    for (auto _ : state) {
        // Restore the row the last call clipped (a 1 kB copy).
        std::copy(source.row(beam), source.row(beam) + 501, block.row(beam));
        benchmark::DoNotOptimize(DetectActivity(block, beam, 1.8, method, 0, "", 0, nullptr));
        beam = (beam + 1) % kChannels;
    }
}
BENCHMARK(BM_DetectOneBeam)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

void BM_DetectOneBeamLiteral(benchmark::State& state) {
    const int method = static_cast<int>(state.range(0));
    const SignalBlock source = realisticBlock(1);
    int beam = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(literal::detect(source.row(beam), 500, 1.8, method));
        beam = (beam + 1) % kChannels;
    }
}
BENCHMARK(BM_DetectOneBeamLiteral)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

// The block end: every beam of a 384-well plate analysed.
void BM_BlockEndAllBeams(benchmark::State& state) {
    const int method = static_cast<int>(state.range(0));
    const SignalBlock source = realisticBlock(2);
    SignalBlock block;
    for (auto _ : state) {
        state.PauseTiming();
        block = source;
        state.ResumeTiming();
        int total = 0;
        for (int b = 0; b < kChannels; ++b)
            total += DetectActivity(block, b, 1.8, method, 0, "", 0, nullptr);
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_BlockEndAllBeams)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// The same block end through the batch entry (beams side by side).
void BM_BlockEndAllBeamsBatch(benchmark::State& state) {
    const int method = static_cast<int>(state.range(0));
    const SignalBlock source = realisticBlock(2);
    SignalBlock block;
    int beams[kChannels];
    for (int b = 0; b < kChannels; ++b)
        beams[b] = b;
    int16_t events[kChannels];
    for (auto _ : state) {
        state.PauseTiming();
        block = source;
        state.ResumeTiming();
        DetectActivityBeams(block, beams, kChannels, 1.8, method, events);
        benchmark::DoNotOptimize(events);
    }
}
BENCHMARK(BM_BlockEndAllBeamsBatch)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void BM_BlockEndAllBeamsLiteral(benchmark::State& state) {
    const int method = static_cast<int>(state.range(0));
    const SignalBlock source = realisticBlock(2);
    for (auto _ : state) {
        int total = 0;
        for (int b = 0; b < kChannels; ++b)
            total += literal::detect(source.row(b), 500, 1.8, method).count;
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_BlockEndAllBeamsLiteral)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void BM_BodyBendAllBeams(benchmark::State& state) {
    const SignalBlock block = realisticBlock(3);
    std::array<int16_t, kBodyBendBins> h;
    for (auto _ : state) {
        for (int b = 0; b < kChannels; ++b)
            BodyBendHistogram(block, b, h, 20.0);
        benchmark::DoNotOptimize(h);
    }
}
BENCHMARK(BM_BodyBendAllBeams)->Unit(benchmark::kMillisecond);

// One tick of real-time processing for 384 in-well beams, DSP_Interval 30,
// in the steady state (window filled, counting running).
void BM_RealtimeTick(benchmark::State& state) {
    const bool autoZero = state.range(0) != 0;
    const int method = static_cast<int>(state.range(1));
    RealtimeProcessor rt(500);
    const SignalBlock source = realisticBlock(4);
    ChannelArray<double> thresholds;
    thresholds.fill(30.0);
    ChannelArray<int16_t> wells;
    wells.fill(0);
    wells[kChannels] = -1;
    RealtimeSettings settings;
    settings.DSP_Method = static_cast<int16_t>(method);
    settings.autoZero = autoZero;
    int32_t ticks = 0;
    int s = 0, windowCounter = 0;
    for (auto _ : state) {
        // The tick stores the new sample of every beam, then processes it.
        for (int b = 0; b < kChannels; ++b)
            rt.rawBlock.at(b, s) = source.at(b, s);
        rt.processSample(s, ticks + 100, windowCounter, settings, thresholds, wells);
        ++ticks;
        s = (s + 1) % 500;
        windowCounter = windowCounter < 30 ? windowCounter + 1 : 0;
    }
    benchmark::DoNotOptimize(rt.blockCounts);
}
BENCHMARK(BM_RealtimeTick)
    ->Args({1, 1})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({0, 2})
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
