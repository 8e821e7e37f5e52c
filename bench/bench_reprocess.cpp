// Raw-data reprocessing of a synthetic 24-hour acquisition: 2,500 blocks of
// 385,770 bytes (about 1 GB of raw files) on a 384-well plate, every
// channel in a well, and the same blocks on the 96-well plate of two beams
// per well (192 channels detected). Measured from a warm page cache: the whole run with two
// detection threads, the same run on one thread, and reading the blocks
// alone (the share of the run spent in the files). The data are made once
// in a temporary folder and removed at exit.
// TRELVANE_BENCH_BLOCKS=<n> sets the number of blocks (default 2500).
#include "BenchSupport.h"
#include "acquisition/RawBlockReader.h"
#include "common/Clock.h"
#include "common/Desktop.h"
#include "common/EventPump.h"
#include "common/Files.h"
#include "common/Locale.h"
#include "common/StatusView.h"
#include "reports/RawAcquisition.h"
#include "reports/RawReprocess.h"
#include "reports/StoredDetection.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/resource.h>

namespace trv {
namespace {

class QuietPrompter : public Prompter {
  public:
    std::vector<std::string> texts;
    Answer message(const std::string& t, Buttons, const std::string&) override {
        texts.push_back(t);
        return Answer::Yes;
    }
    InputResult input(const std::string&, const std::string&, const std::string& p) override {
        return {false, p};
    }
};

class NoDesktop : public Desktop {
  public:
    bool openDocument(const std::string&) override { return true; }
    bool openFolder(const std::string&) override { return true; }
    bool showInFolder(const std::string&) override { return true; }
    bool openUrl(const std::string&) override { return true; }
    bool startSelf(const std::vector<std::string>&) override { return true; }
};

// Counts the event-pump calls, as a window's pump would run between blocks.
class CountingPump : public EventPump {
  public:
    long long calls = 0;
    void processEvents() override { ++calls; }
};

using bench::processCpuSeconds;

struct Synthetic {
    std::string root, program, folder;
    std::string folder96; // the same blocks on the 96-well plate (192 channels detected)
    int blocks = bench::benchBlockCount();

    Synthetic() {
        root = bench::makeTempFolder();
        program = root;
        test::copyShippedPlates(program);
        makeFolder(joinPath(root, "p00001"));
        folder = joinPath(root, "p00001/20240315_0930");
        test::RawAcquisitionPlan plan;
        plan.plate = "w384";
        // 24 hours: a block about every 35 s.
        for (int i = 0; i < blocks; ++i)
            plan.minutes.push_back(static_cast<int32_t>(static_cast<long long>(i) * 1440 / blocks));
        plan.distinctBlocks = 11;
        test::writeRawAcquisition(folder, plan);
        // The same records and blocks under a 96-well setup: the raw files
        // are shared through hard links.
        folder96 = joinPath(root, "p00001/20240315_1030");
        test::RawAcquisitionPlan small = plan;
        small.plate = "w96f";
        small.rawRecords = 0;
        test::writeRawAcquisition(folder96, small);
        for (const std::string& f : listFiles(folder, "*.bin"))
            if (f != "counts.bin")
                std::filesystem::create_hard_link(joinPath(folder, f), joinPath(folder96, f));
        warm();
    }
    ~Synthetic() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    void warm() const { bench::warmFiles(folder); }
};

Synthetic& data() {
    static Synthetic s;
    return s;
}

void BM_Reprocess(benchmark::State& state) {
    Synthetic& d = data();
    const int workers = static_cast<int>(state.range(0));
    const int method = static_cast<int>(state.range(1));
    const bool plate96 = state.range(2) == 96;
    QuietPrompter prompter;
    SystemClock clock;
    CountingPump pump;
    NoDesktop desktop;
    SystemLocale locale;
    NullStatusView status;
    Ports ports{prompter, clock, pump, desktop, locale, status};
    std::atomic<bool> stop{false};
    ReprocessRequest rq;
    rq.acquisitionPath = plate96 ? d.folder96 : d.folder;
    rq.programFolder = d.program;
    rq.method = method;
    rq.thresholdText = method == 3 ? "0.8" : "1.8";
    rq.organism = method == 3 ? 3 : 0;
    rq.lapseText = kExportRawLapse; // the whole acquisition
    rq.options.autoreport = true;
    rq.workers = workers;
    int processed = 0;
    const double cpu0 = processCpuSeconds();
    for (auto _ : state) {
        ReportLayout layout;
        const ReprocessOutcome o = reprocessRawData(rq, layout, ports, stop);
        if (o.status != ReprocessStatus::Reported) {
            state.SkipWithError("reprocessing failed");
            break;
        }
        processed = o.range.processed;
    }
    state.counters["blocks"] = processed;
    state.counters["blocks_per_s"] =
        benchmark::Counter(processed, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["pump_calls"] = static_cast<double>(pump.calls) / state.iterations();
    // All threads together: equal figures for one and two workers mean the
    // second thread adds no work, so on two free cores the run halves.
    state.counters["cpu_ms_per_block"] =
        (processCpuSeconds() - cpu0) * 1000 / state.iterations() / std::max(processed, 1);
}
BENCHMARK(BM_Reprocess)
    ->ArgNames({"workers", "method", "plate"})
    ->Args({2, 1, 384})
    ->Args({1, 1, 384})
    ->Args({2, 1, 96})
    ->Args({1, 1, 96})
    ->Args({2, 0, 384})
    ->Args({1, 0, 384})
    ->Args({2, 2, 384})
    ->Args({1, 2, 384})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The detection engine alone (no report): every channel of every block.
void BM_DetectBlocks(benchmark::State& state) {
    Synthetic& d = data();
    StoredDetectionJob job;
    job.folder = d.folder;
    job.recordCount = d.blocks;
    for (int ch = 0; ch < kChannels; ++ch)
        job.channels.push_back(ch);
    job.method = 1;
    job.workers = static_cast<int>(state.range(0));
    const double cpu0 = processCpuSeconds();
    for (auto _ : state) {
        StoredDetectionResult r = detectStoredBlocks(job, [](int) { return true; });
        if (r.end != StoredDetectionEnd::Done) state.SkipWithError("detection failed");
        benchmark::DoNotOptimize(r.counts.data());
    }
    state.counters["blocks_per_s"] =
        benchmark::Counter(d.blocks, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["cpu_ms_per_block"] =
        (processCpuSeconds() - cpu0) * 1000 / state.iterations() / d.blocks;
}
BENCHMARK(BM_DetectBlocks)
    ->ArgName("workers")
    ->Arg(2)
    ->Arg(1)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Reading and rearranging the blocks alone, on one thread.
void BM_ReadBlocks(benchmark::State& state) {
    Synthetic& d = data();
    SignalBlock block;
    for (auto _ : state) {
        RawBlockReader reader(d.folder, 500);
        for (int i = 0; i < d.blocks; ++i)
            if (!reader.read(i, block)) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(block.row(0));
    }
    state.counters["ms_per_block"] = benchmark::Counter(
        d.blocks, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["blocks_per_s"] =
        benchmark::Counter(d.blocks, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReadBlocks)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace trv

BENCHMARK_MAIN();
