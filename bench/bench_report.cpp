// Report generation of synthetic acquisitions: 24 hours and 7 days, a
// record about every 35 s, all 384 channels in wells, Rows format, bin 30.
// The time-stepped spreading is also measured alone against the literal
// channel-by-channel walk.
#include "BenchSupport.h"
#include "common/Files.h"
#include "common/HeadlessPorts.h"
#include "reports/ActivityFile.h"
#include "reports/LiteralResample.h"
#include "reports/ReportGenerator.h"
#include "reports/Resample.h"
#include "store/ChannelTablesFile.h"
#include "store/ProjectFile.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

namespace trv {
namespace {

class QuietPrompter : public Prompter {
  public:
    Answer message(const std::string&, Buttons, const std::string&) override { return Answer::Yes; }
    InputResult input(const std::string&, const std::string&, const std::string& preset) override {
        return {false, preset};
    }
};

// A program folder with a one-well-per-channel plate and a project holding
// the synthetic acquisitions; removed at exit.
struct Synthetic {
    std::string root;
    std::string acq24h, acq7d;

    Synthetic() {
        root = bench::makeTempFolder();
        bench::writeOneBeamPerWellPlate(root);
        makeFolder(joinPath(root, "p00001"));
        acq24h = acquisition("20240315_0930", 24 * 60);
        acq7d = acquisition("20240316_0930", 7 * 24 * 60);
    }
    ~Synthetic() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }

    std::string acquisition(const std::string& name, int minutes) {
        std::string folder = joinPath(joinPath(root, "p00001"), name);
        makeFolder(folder);
        ProjectSetup setup;
        setup.Plate_format = "w384";
        writeFileAtomic(joinPath(folder, "setup.dat"), setupFileText(setup, 1));
        saveChannelTables(ChannelTables(), folder);
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> activity(0, 40);
        std::string bytes;
        std::string rec(774, '\0');
        for (long i = 0;; ++i) {
            long seconds = i * 35;
            if (seconds > minutes * 60L) break;
            int32_t stored = static_cast<int32_t>(seconds / 60); // elapsed whole minutes
            for (int b = 0; b < 4; ++b)
                rec[static_cast<size_t>(b)] = static_cast<char>((stored >> (8 * b)) & 0xFF);
            for (int ch = 0; ch < 385; ++ch) {
                int v = ch == 384 ? 245 : activity(rng);
                rec[4 + 2 * static_cast<size_t>(ch)] = static_cast<char>(v & 0xFF);
                rec[5 + 2 * static_cast<size_t>(ch)] = static_cast<char>((v >> 8) & 0xFF);
            }
            bytes += rec;
        }
        std::ofstream(joinPath(folder, "counts.bin"), std::ios::binary) << bytes;
        return folder;
    }
};

Synthetic& data() {
    static Synthetic s;
    return s;
}

void generate(benchmark::State& state, const std::string& folder) {
    QuietPrompter prompter;
    HeadlessPorts headless(prompter, nullptr, HeadlessDesktop::None);
    ReportRequest rq;
    rq.acquisitionPath = folder;
    rq.programFolder = data().root;
    rq.binText = "30";
    rq.options.autoreport = true;
    for (auto _ : state) {
        ReportLayout layout;
        ReportOutcome o = generateReport(rq, layout, headless.ports);
        if (o.status != ReportStatus::Written) state.SkipWithError("report not written");
    }
}

void BM_Report24h(benchmark::State& state) {
    generate(state, data().acq24h);
}
void BM_Report7d(benchmark::State& state) {
    generate(state, data().acq7d);
}

// The spreading alone on the loaded series (bin 30).
struct Loaded {
    ActivitySeries series;
    int32_t tmax = 0;
    int n = 0;
    int K = 0;
};

Loaded load(const std::string& folder) {
    QuietPrompter p;
    Loaded l;
    l.n = loadActivityFile(joinPath(folder, "counts.bin"), l.series, p);
    for (int32_t t : l.series.time)
        l.tmax = std::max(l.tmax, t);
    l.K = static_cast<int>(std::nearbyint(l.tmax / 30.0));
    return l;
}

void spread(benchmark::State& state, const std::string& folder, bool literal) {
    Loaded l = load(folder);
    resample_detail::BinSums sums;
    for (auto _ : state) {
        if (literal)
            test::literalRegularBinSums(l.series, l.tmax, l.n, 30, l.K, sums);
        else
            resample_detail::regularBinSums(l.series, l.tmax, l.n, 30, l.K, sums);
        benchmark::DoNotOptimize(sums.sum.data());
    }
}

void BM_Spread24h_Fast(benchmark::State& state) {
    spread(state, data().acq24h, false);
}
void BM_Spread24h_Literal(benchmark::State& state) {
    spread(state, data().acq24h, true);
}
void BM_Spread7d_Fast(benchmark::State& state) {
    spread(state, data().acq7d, false);
}
void BM_Spread7d_Literal(benchmark::State& state) {
    spread(state, data().acq7d, true);
}

BENCHMARK(BM_Report24h)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Report7d)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Spread24h_Fast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Spread24h_Literal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Spread7d_Fast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Spread7d_Literal)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
} // namespace trv

BENCHMARK_MAIN();
