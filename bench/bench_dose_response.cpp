// Dose-response of a compound screen: a 384-well plate, 16 compounds of 24
// wells (8 doses x 3 wells, each well within 10 % of the curve), 7 days
// recorded with two records a minute (20,162 records). Measured: reading counts.bin, the well
// responses over the whole week with the 16 fits, the fits alone, and the whole command with its
// table and 16 plots written.
#include "analysis/DoseAcquisition.h"
#include "analysis/DoseResponse.h"
#include "common/Locale.h"
#include "common/Prompter.h"
#include "reports/ActivityFile.h"
#include "reports/ReportLoad.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace trv {
namespace {

struct Screen {
    test::AcquisitionFixture fx;
    test::DoseScreen screen;
    std::string acq;
    Screen() {
        screen.compounds = 16;
        screen.doses = 8;
        screen.wellsPerDose = 3;
        screen.controlWells = 0;
        screen.unmappedWells = 0;
        screen.minutes = 7 * 1440;
        screen.recordsPerMinute = 2;
        screen.wellSpread = 0.1;
        acq = screen.write(fx, "20240301_0900");
    }
};

Screen& screen() {
    static Screen s;
    return s;
}

struct Loaded {
    ActivitySeries series;
    ReportLayout layout;
    DoseMap map;
    Loaded() {
        CollectingPrompter p;
        loadActivityFile(joinPath(screen().acq, "counts.bin"), series, p);
        loadReportLayout(screen().acq, screen().fx.program, layout, p);
        map = readDoseMapFile(joinPath(screen().acq, kDoseMapFileName)).map;
        if (!p.messages.empty() || series.size() != 20162 || !layout.loaded) std::abort();
    }
};

Loaded& loaded() {
    static Loaded l;
    return l;
}

void BM_ReadActivityFile(benchmark::State& state) {
    const std::string path = joinPath(screen().acq, "counts.bin");
    CollectingPrompter p;
    for (auto _ : state) {
        ActivitySeries s;
        benchmark::DoNotOptimize(loadActivityFile(path, s, p));
    }
    state.counters["records"] = 20162;
}

void BM_ResponsesAndFits(benchmark::State& state) {
    Loaded& l = loaded();
    int withIC50 = 0;
    for (auto _ : state) {
        DoseResponseResult r =
            analyseDoseResponse(l.series, l.layout, l.map, MinuteWindow{0, 7 * 1440}, nullptr);
        withIC50 = 0;
        for (const CompoundResult& c : r.compounds)
            withIC50 += c.fit.hasIC50 ? 1 : 0;
    }
    if (withIC50 != 16) state.SkipWithError("a compound without IC50");
    state.counters["compound"] = benchmark::Counter(
        16, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_FitsOnly(benchmark::State& state) {
    Loaded& l = loaded();
    const DoseResponseResult r =
        analyseDoseResponse(l.series, l.layout, l.map, MinuteWindow{0, 7 * 1440}, nullptr);
    std::vector<std::vector<DosePoint>> points;
    for (const CompoundResult& c : r.compounds) {
        points.emplace_back();
        for (const WellResponse& w : c.wells)
            points.back().push_back({w.concentration, w.response});
    }
    for (auto _ : state)
        for (const auto& p : points)
            benchmark::DoNotOptimize(fitDoseResponse(p));
    state.counters["fit"] = benchmark::Counter(16, benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

class CLocale : public Locale {
  public:
    std::string listSeparator() override { return ","; }
    std::string decimalSeparator() override { return "."; }
    std::string formatDateTime(const LocalDateTime&) override { return ""; }
};

void BM_WholeCommand(benchmark::State& state) {
    CLocale locale;
    DoseResponseRequest rq;
    rq.acquisitionPath = screen().acq;
    rq.programFolder = screen().fx.program;
    rq.window = {0, 7 * 1440};
    rq.outputFolder = screen().fx.dir / "out";
    for (auto _ : state)
        if (!runDoseResponse(rq, locale).written) state.SkipWithError("nothing written");
}

BENCHMARK(BM_ReadActivityFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResponsesAndFits)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FitsOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeCommand)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace trv

BENCHMARK_MAIN();
