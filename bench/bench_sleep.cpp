// Sleep analysis of a 384-well plate over 7 days with two records a minute
// (20,160 records), 1-minute bins, light 08 to 20. Measured: all figures from
// the loaded records (the series, dead and empty wells, bouts, phases and
// group figures), the same from the folder (counts.bin read as well), and the
// whole command with its four files written. The rhythm analysis of the same
// week: both periodograms of every well (6-minute bins, 16 to 32 h) with one
// and with two workers.
#include "TestPaths.h"
#include "analysis/RhythmAnalysis.h"
#include "analysis/SleepAnalysis.h"
#include "common/Locale.h"
#include "common/Prompter.h"
#include "reports/AcquisitionFixture.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace trv {
namespace {

struct Week {
    test::AcquisitionFixture fx;
    std::string acq;
    Week() {
        copyFile(std::string(TRELVANE_SOURCE_DIR) + "/data/w384.dat",
                 joinPath(fx.program, "w384.dat"));
        ChannelTables t;
        for (int c = 0; c < kChannels; ++c)
            t.Channel_Group[static_cast<size_t>(c)] = static_cast<int16_t>(c / 48);
        acq = fx.acquisition("20240301_0800", "week", t, "w384");
        ProjectSetup setup;
        setup.Plate_format = "w384";
        setup.Organism() = 3;
        setup.Light_Enable() = 1;
        setup.Time_ON() = 8;
        setup.Time_OFF() = 20;
        writeFileAtomic(joinPath(acq, "setup.dat"), setupFileText(setup, 3));
        std::vector<int32_t> minutes;
        for (int i = 0; i < 20160; ++i)
            minutes.push_back(i / 2);
        // Each well sleeps 25 minutes of every 90, shifted by well; well 383
        // stays empty.
        test::AcquisitionFixture::writeCounts(
            acq, minutes,
            [](int ch, int i) {
                if (ch == 383 || (i / 2 + ch * 7) % 90 < 25) return 0;
                return (ch + i) % 5 + 1;
            },
            [](int) { return 250; });
    }
};

Week& week() {
    static Week w;
    return w;
}

SleepRequest request() {
    SleepRequest rq;
    rq.acquisitionPath = week().acq;
    rq.programFolder = week().fx.program;
    return rq;
}

AcquisitionData& loaded() {
    static AcquisitionData data = [] {
        AcquisitionData d;
        std::string error;
        CollectingPrompter p;
        if (!loadAcquisitionData(week().acq, week().fx.program, d, error, p) ||
            d.records.size() != 20160)
            std::abort();
        return d;
    }();
    return data;
}

void BM_SleepFiguresFromRecords(benchmark::State& state) {
    const AcquisitionData& d = loaded();
    for (auto _ : state) {
        SleepResult r = analyseSleep(buildWellSeries(d, 1), SleepParameters{}, d.setup);
        benchmark::DoNotOptimize(r.groups.data());
    }
}
BENCHMARK(BM_SleepFiguresFromRecords)->Unit(benchmark::kMillisecond);

void BM_SleepFiguresFromFolder(benchmark::State& state) {
    const SleepRequest rq = request();
    for (auto _ : state) {
        CollectingPrompter p;
        SleepOutcome out = computeSleep(rq, p);
        if (!out.result) std::abort();
    }
}
BENCHMARK(BM_SleepFiguresFromFolder)->Unit(benchmark::kMillisecond);

void BM_SleepCommandWithFiles(benchmark::State& state) {
    SleepRequest rq = request();
    for (auto _ : state) {
        CollectingPrompter p;
        SystemLocale locale;
        SleepOutcome out = runSleep(rq, locale, p);
        if (!out.written) std::abort();
    }
}
BENCHMARK(BM_SleepCommandWithFiles)->Unit(benchmark::kMillisecond);

void BM_RhythmAllWells(benchmark::State& state) {
    const AcquisitionData& d = loaded();
    const WellSeries minutes = buildWellSeries(d, 1);
    RhythmParameters p;
    p.threads = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::string problem;
        auto r = analyseRhythm(minutes, p, d.setup, problem);
        if (!r) std::abort();
        benchmark::DoNotOptimize(r->groups.data());
    }
}
BENCHMARK(BM_RhythmAllWells)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace trv

BENCHMARK_MAIN();
