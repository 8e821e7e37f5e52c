// Redraw time of each live plot view and of the channel signal view on the
// recording surface (the drawing procedures' own cost, no pixels).
#include "PlotBenchData.h"

#include "display/RecordingSurface.h"

#include <benchmark/benchmark.h>

namespace trv::bench {
namespace {

const PlotBenchData& data() {
    static PlotBenchData d;
    return d;
}

void BM_PlotRefresh(benchmark::State& state) {
    const auto& d = data();
    LivePlots p = plotsIn(static_cast<int16_t>(state.range(0)), d);
    RecordingSurface s(600, 400);
    auto in = d.plotData();
    for (auto _ : state) {
        s.forget();
        p.refreshActivePlot(s, in);
        benchmark::DoNotOptimize(s.primitives().data());
    }
    state.counters["primitives"] = static_cast<double>(s.primitives().size());
}
BENCHMARK(BM_PlotRefresh)
    ->ArgName("mode")
    ->Arg(plotmode::Group)
    ->Arg(plotmode::Bar)
    ->Arg(plotmode::Heatmap)
    ->Arg(plotmode::Histogram)
    ->Unit(benchmark::kMicrosecond);

void BM_HeatmapFull(benchmark::State& state) {
    const auto& d = data();
    LivePlots p = plotsIn(plotmode::Heatmap, d);
    RecordingSurface s(600, 400);
    auto in = d.plotData();
    for (auto _ : state) {
        s.forget();
        p.redraw(s, in);
    }
    state.counters["primitives"] = static_cast<double>(s.primitives().size());
}
BENCHMARK(BM_HeatmapFull)->Unit(benchmark::kMicrosecond);

void BM_SignalFullRedraw(benchmark::State& state) {
    const auto& d = data();
    SignalView v;
    v.zoomLevel = static_cast<int32_t>(state.range(0));
    RecordingSurface s(400, 400);
    auto b = d.block();
    v.updateZoomReference(b, PlotBenchData::R);
    for (auto _ : state) {
        s.forget();
        v.redrawChannelSignal(s, b, PlotBenchData::R);
    }
    state.counters["primitives"] = static_cast<double>(s.primitives().size());
}
BENCHMARK(BM_SignalFullRedraw)->ArgName("zoom")->Arg(0)->Arg(3)->Unit(benchmark::kMicrosecond);

void BM_SignalNewSamples(benchmark::State& state) {
    const auto& d = data();
    SignalView v;
    RecordingSurface s(400, 400);
    auto b = d.block();
    long long tick = 0;
    for (auto _ : state) {
        s.forget();
        v.drawNewSamples(s, b, PlotBenchData::R, ++tick);
    }
}
BENCHMARK(BM_SignalNewSamples)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace trv::bench

BENCHMARK_MAIN();
