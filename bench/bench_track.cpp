// Tracking a simulated 24-hour 6-well acquisition without drawing: 2,500
// blocks of 385,770 bytes (about 1 GB of raw files), one fish larva per
// well, 192 channels detected per block. The export path of the window and
// of trelvane-cli track (trackToEnd) with two detection threads and with
// one, from a warm page cache; the data are made once in a temporary folder
// (66 distinct blocks from the simulator, repeated) and removed at exit.
// TRELVANE_BENCH_BLOCKS=<n> sets the number of blocks (default 2500).
#include "BenchSupport.h"
#include "common/Files.h"
#include "offline/OfflineConfiguration.h"
#include "offline/SimSixWell.h"
#include "offline/TrackSession.h"
#include "reports/RawAcquisition.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace trv {
namespace {

class QuietPrompter : public Prompter {
  public:
    Answer message(const std::string&, Buttons, const std::string&) override { return Answer::Ok; }
    InputResult input(const std::string&, const std::string&, const std::string& p) override {
        return {false, p};
    }
};

using bench::processCpuSeconds;

struct SixWellDay {
    std::string root, folder;
    OfflineConfiguration config;
    int blocks = bench::benchBlockCount();

    SixWellDay() {
        root = bench::makeTempFolder();
        test::copyShippedPlates(root);
        makeFolder(joinPath(root, "p00001"));
        folder = joinPath(root, "p00001/20240315_0930");
        test::writeSimSixWell(folder, {7, sim::Organism::FishLarvae, blocks, 66});
        QuietPrompter prompter;
        loadOfflineConfiguration(folder, root, config, prompter);
        if (!config.loaded()) std::abort();
        bench::warmFiles(folder);
    }
    ~SixWellDay() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
};

SixWellDay& data() {
    static SixWellDay d;
    return d;
}

void BM_TrackWholeAcquisition(benchmark::State& state) {
    SixWellDay& d = data();
    TrackRunOptions o;
    o.folder = d.folder;
    o.workers = static_cast<int>(state.range(0));
    double total = 0;
    const double cpu0 = processCpuSeconds();
    for (auto _ : state) {
        TrackAnalysis track(d.config.plate());
        loadTrackTimes(track, d.folder);
        long long afterBlockCalls = 0;
        if (!trackToEnd(track, o, [&](int) { return ++afterBlockCalls > 0; }))
            state.SkipWithError("tracking stopped");
        total = 0;
        for (int w = 0; w < track.wellCount(); ++w)
            total += track.distance(w);
        if (afterBlockCalls != d.blocks) state.SkipWithError("not every block reported");
    }
    state.counters["blocks"] = d.blocks;
    state.counters["ms_per_block"] = benchmark::Counter(
        d.blocks, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["cpu_ms_per_block"] =
        (processCpuSeconds() - cpu0) * 1000 / state.iterations() / d.blocks;
    state.counters["metres"] = total * kBeamStepMm / 1000;
}
BENCHMARK(BM_TrackWholeAcquisition)
    ->ArgName("workers")
    ->Arg(2)
    ->Arg(1)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
} // namespace trv

BENCHMARK_MAIN();
