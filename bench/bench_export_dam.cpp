// Monitor-file export of a synthetic 7-day acquisition: a record every 30 s
// (20,161 records), all 384 channels in wells of a 384-well plate. One line
// per record for every channel (12 files), and 30-minute bins per well.
#include "BenchSupport.h"
#include "common/Files.h"
#include "reports/MonitorExport.h"
#include "store/ChannelTablesFile.h"
#include "store/ProjectFile.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace trv {
namespace {

class QuietPrompter : public Prompter {
  public:
    Answer message(const std::string&, Buttons, const std::string&) override { return Answer::Ok; }
    InputResult input(const std::string&, const std::string&, const std::string&) override {
        return {true, ""};
    }
};

struct SevenDays {
    std::string root, folder;
    long records = 0;
    SevenDays() {
        root = bench::makeTempFolder();
        bench::writeOneBeamPerWellPlate(root);
        makeFolder(joinPath(root, "p00001"));
        folder = joinPath(joinPath(root, "p00001"), "20240316_0930");
        makeFolder(folder);
        ProjectSetup setup;
        setup.Plate_format = "w384";
        writeFileAtomic(joinPath(folder, "setup.dat"), setupFileText(setup, 1));
        saveChannelTables(ChannelTables(), folder);
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> activity(0, 40);
        std::string bytes, rec(774, '\0');
        for (long seconds = 0; seconds <= 7L * 24 * 3600; seconds += 30, ++records) {
            const auto stored = static_cast<int32_t>(seconds / 60);
            for (int b = 0; b < 4; ++b)
                rec[static_cast<size_t>(b)] = static_cast<char>((stored >> (8 * b)) & 0xFF);
            for (int ch = 0; ch < 385; ++ch) {
                const int v = ch == 384 ? 245 : activity(rng);
                rec[4 + 2 * static_cast<size_t>(ch)] = static_cast<char>(v & 0xFF);
                rec[5 + 2 * static_cast<size_t>(ch)] = static_cast<char>((v >> 8) & 0xFF);
            }
            bytes += rec;
        }
        std::ofstream(joinPath(folder, "counts.bin"), std::ios::binary) << bytes;
    }
    ~SevenDays() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
};

SevenDays& data() {
    static SevenDays d;
    return d;
}

void exportDam(benchmark::State& state, int bin, bool perWell) {
    QuietPrompter prompter;
    MonitorExportRequest rq;
    rq.acquisitionPath = data().folder;
    rq.programFolder = data().root;
    rq.binMinutes = bin;
    rq.perWell = perWell;
    for (auto _ : state) {
        const MonitorExportOutcome o = exportMonitorFiles(rq, prompter);
        if (!o.written) state.SkipWithError(o.error.c_str());
    }
    state.counters["records"] = static_cast<double>(data().records);
    state.counters["per_record_us"] = benchmark::Counter(
        static_cast<double>(data().records) * 1e-6,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ExportDam7dChannelsPerRecord(benchmark::State& state) {
    exportDam(state, 0, false);
}
void BM_ExportDam7dWellsBin30(benchmark::State& state) {
    exportDam(state, 30, true);
}
BENCHMARK(BM_ExportDam7dChannelsPerRecord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportDam7dWellsBin30)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace trv

BENCHMARK_MAIN();
