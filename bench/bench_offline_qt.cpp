// The offline browser's plots on the Qt surface (offscreen): choosing an
// acquisition of 2,500 counts records and drawing its bar plot, and loading
// and drawing one raw signal page (55 blocks) from a warm page cache.
#include "TestPaths.h"
#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "common/Prompter.h"
#include "display/SurfaceQt.h"
#include "offline/OfflinePlots.h"
#include "store/ChannelTablesFile.h"
#include "store/ProjectFile.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace trv::bench {
namespace {

class SilentPrompter : public Prompter {
  public:
    Answer message(const std::string&, Buttons, const std::string&) override { return Answer::Ok; }
    InputResult input(const std::string&, const std::string&, const std::string&) override {
        return {true, ""};
    }
};

// A program folder with one acquisition per plate format: 2,500 counts
// records (a record every 35 s is a 24-hour run) and five raw files of 11
// blocks, with noisy beam levels.
struct OfflineBenchData {
    std::string program;
    OfflineBenchData() {
        char tmpl[] = "/tmp/trv-bench-offline-XXXXXX";
        program = ::mkdtemp(tmpl);
        for (const char* plate : {"w96f", "w6"}) {
            std::filesystem::copy_file(std::string(TRELVANE_SOURCE_DIR) + "/data/" + plate + ".dat",
                                       joinPath(program, std::string(plate) + ".dat"));
            makeAcquisition(plate);
        }
    }
    ~OfflineBenchData() { std::filesystem::remove_all(program); }

    std::string folder(const std::string& plate) const { return joinPath(program, plate); }

    void makeAcquisition(const std::string& plate) {
        const std::string f = folder(plate);
        makeFolder(f);
        ProjectSetup setup;
        setup.Plate_format = plate;
        writeFileAtomic(joinPath(f, kSetupFileName), setupFileText(setup, 1));
        saveChannelTables(ChannelTables{}, f);
        std::mt19937 rng(7);
        std::string counts;
        for (int r = 0; r < 2500; ++r) {
            int32_t minutes = r * 35 / 60;
            counts.append(reinterpret_cast<const char*>(&minutes), 4);
            for (int c = 0; c < 385; ++c) {
                int16_t v = static_cast<int16_t>(rng() % 40);
                counts.append(reinterpret_cast<const char*>(&v), 2);
            }
        }
        std::ofstream(countsFilePath(f), std::ios::binary) << counts;
        std::vector<int16_t> block(501 * 385);
        for (int file = 0; file < 5; ++file) {
            std::ofstream out(joinPath(f, rawFileName(file)), std::ios::binary);
            for (int b = 0; b < 11; ++b) {
                for (auto& v : block)
                    v = static_cast<int16_t>(1600 + rng() % 300);
                out.write(reinterpret_cast<const char*>(block.data()),
                          static_cast<std::streamsize>(block.size() * 2));
            }
        }
    }
};

const OfflineBenchData& data() {
    static OfflineBenchData d;
    return d;
}

void BM_ChooseAndDrawBarPlot(benchmark::State& state) {
    const std::string folder = data().folder("w96f");
    SilentPrompter prompter;
    SurfaceQt s(800, 500);
    for (auto _ : state) {
        OfflineConfiguration config;
        loadOfflineConfiguration(folder, data().program, config, prompter);
        OfflinePlots plots;
        plots.acquisitionChosen(config);
        OfflineSource src{folder,
                          config,
                          {"+ 2024.0101\tp00001_Bench", "  > 2024.0101\t ACQ10:00 \"Bench\"",
                           configurationBlock(config, ".")}};
        plots.showGroupActivity(s, src, prompter);
        s.flush();
    }
}
BENCHMARK(BM_ChooseAndDrawBarPlot)->Unit(benchmark::kMillisecond);

// Load and draw (0), load only (1), draw only (2); plate w96f (2 beams per
// well) or w6 (up to 32).
void BM_RawPage(benchmark::State& state) {
    const std::string plate = state.range(0) == 0 ? "w96f" : "w6";
    const int part = static_cast<int>(state.range(1));
    const std::string folder = data().folder(plate);
    SilentPrompter prompter;
    OfflineConfiguration config;
    loadOfflineConfiguration(folder, data().program, config, prompter);
    OfflinePlots plots;
    plots.acquisitionChosen(config);
    OfflineSource src{folder, config, {}};
    SurfaceQt s(800, 500);
    plots.showChannelSignal(s, src); // warms the page cache
    for (auto _ : state) {
        if (part == 0) {
            plots.scrollPage(1, s, src);
        } else if (part == 1) {
            benchmark::DoNotOptimize(loadRawPage(folder, plots.rawLayout, 1, 500));
        } else {
            plots.Dibujar_canales(s, src);
        }
        s.flush();
    }
    state.SetLabel(plate + (part == 0 ? " load+draw" : part == 1 ? " load" : " draw"));
}
BENCHMARK(BM_RawPage)
    ->ArgNames({"plate", "part"})
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);

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
