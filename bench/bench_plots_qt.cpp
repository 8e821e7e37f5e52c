// Redraw time of each live plot view and of the channel signal view painted
// into the Qt surface's image (offscreen), at a realistic window size.
#include "PlotBenchData.h"

#include "display/SurfaceQt.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

namespace trv::bench {
namespace {

const PlotBenchData& data() {
    static PlotBenchData d;
    return d;
}

void BM_QtPlotRefresh(benchmark::State& state) {
    const auto& d = data();
    LivePlots p = plotsIn(static_cast<int16_t>(state.range(0)), d);
    SurfaceQt s(600, 400);
    auto in = d.plotData();
    p.redraw(s, in);
    for (auto _ : state) {
        p.refreshActivePlot(s, in);
        s.flush(); // the painting is finished, as before the window shows it
    }
}
BENCHMARK(BM_QtPlotRefresh)
    ->ArgName("mode")
    ->Arg(plotmode::Group)
    ->Arg(plotmode::Bar)
    ->Arg(plotmode::Heatmap)
    ->Arg(plotmode::Histogram)
    ->Unit(benchmark::kMicrosecond);

void BM_QtHeatmapFull(benchmark::State& state) {
    const auto& d = data();
    LivePlots p = plotsIn(plotmode::Heatmap, d);
    SurfaceQt s(600, 400);
    auto in = d.plotData();
    for (auto _ : state) {
        p.redraw(s, in);
        s.flush();
    }
}
BENCHMARK(BM_QtHeatmapFull)->Unit(benchmark::kMicrosecond);

void BM_QtSignalFullRedraw(benchmark::State& state) {
    const auto& d = data();
    SignalView v;
    v.zoomLevel = static_cast<int32_t>(state.range(0));
    SurfaceQt s(400, 400);
    auto b = d.block();
    v.updateZoomReference(b, PlotBenchData::R);
    for (auto _ : state) {
        v.redrawChannelSignal(s, b, PlotBenchData::R);
        s.flush();
    }
}
BENCHMARK(BM_QtSignalFullRedraw)->ArgName("zoom")->Arg(0)->Arg(3)->Unit(benchmark::kMicrosecond);

void BM_QtSignalNewSamples(benchmark::State& state) {
    const auto& d = data();
    SignalView v;
    SurfaceQt s(400, 400);
    auto b = d.block();
    v.drawAxes(s, PlotBenchData::S);
    long long tick = 0;
    for (auto _ : state) {
        v.drawNewSamples(s, b, PlotBenchData::R, ++tick);
        s.flush();
    }
}
BENCHMARK(BM_QtSignalNewSamples)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace trv::bench

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
