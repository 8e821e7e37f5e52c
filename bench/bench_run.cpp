// The acquisition tick for a full plate (384 beams in wells, w384):
//   BM_OrdinaryTick/autoZero  CPU time of one tick that does not end a block,
//                             without the serial exchange (no instrument: the
//                             samples stay as they are), Auto Zero on (1) or off (0)
//   BM_BlockEndTick/autoZero  CPU time of the tick that ends a block: block
//                             analysis (Auto Zero on), records written
//   BM_PacedSampling          samples a second against the simulator at the pace
//                             of a 115200-baud line, and that over the link limit
//                             (one sample = 4 x (5 + 192) bytes of 10 bits)
#include "SimInstrument.h"
#include "BenchSupport.h"
#include "acquisition/AcquisitionRun.h"
#include "common/HeadlessPorts.h"
#include "common/Files.h"
#include "device/ModCOMM.h"
#include "store/PlateFormat.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace {

using namespace trv;

constexpr double kLinkSeconds = 4.0 * (5 + 192) * 10 / 115200.0;

using bench::ManualClock;
using bench::QuietPrompter;

// Ports without windows: messages answer Yes, time is set by hand or real.
struct BenchPorts {
    QuietPrompter prompter;
    ManualClock manual;
    SystemClock system;
    NoEventPump pump;
    NoDesktop desktop;
    SystemLocale locale;
    NullStatusView status;
    Ports ports;
    explicit BenchPorts(bool realTime)
        : ports{prompter, realTime ? static_cast<Clock&>(system) : manual, pump, desktop, locale,
                status} {}
};

// A plate of worms: a level near 1700 with noise and a dip now and then.
void fillSignal(SignalBlock& block, int rt) {
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0, 6);
    std::uniform_int_distribution<int> dip(0, 60);
    for (int b = 0; b < kChannels; ++b)
        for (int i = 0; i <= rt; ++i)
            block.at(b, i) = static_cast<int16_t>(1700 + noise(rng) - (dip(rng) == 0 ? 300 : 0));
}

// A run started by Play (no instrument: port 0, which the serial layer refuses
// at once), then taken offline so that its ticks read nothing. While
// `feeding` the plate's signal is put into every stored sample.
struct Offline {
    BenchPorts fake{false};
    SharedState s;
    AcquisitionRun run{s, fake.ports};
    std::string folder = bench::makeTempFolder();
    SignalBlock signal;
    bool feeding = true;
    explicit Offline(bool autoZero) : signal(s.setup.RT_Buffer + 1) {
        s.Program_Folder = folder;
        s.Project_Folder = folder;
        s.config.Actual_Project_Number = 1;
        s.config.Serial_COM = 0;
        applyBuiltinPlate(s.plate, "w384");
        fillSignal(signal, s.setup.RT_Buffer);
        run.setAutoZero(false);
        run.setAutoCalibration(false);
        run.setRunSwitch(true); // "Autorun project", no questions
        run.setPrintUnattended(nullptr);
        run.setOnSampleStored([this](int i, SignalBlock& raw) {
            if (!feeding) return;
            for (int b = 0; b < kChannels; ++b)
                raw.at(b, i) = signal.at(b, i);
        });
        if (!run.Play()) std::abort();
        s.Offline_Mode = true;
        run.setAutoZero(autoZero);
        s.channels.Channel_Threshold.fill(12);
        // Past the start window, with every row of the block filled.
        while (run.ticksSinceStart() < 1000)
            run.AcquisitionTick();
        feeding = false;
    }
    ~Offline() {
        run.Stop();
        std::filesystem::remove_all(folder);
    }
};

void BM_OrdinaryTick(benchmark::State& state) {
    Offline o(state.range(0) != 0);
    const int lastSample = o.s.setup.RT_Buffer - 1;
    for (auto _ : state) {
        if (o.run.sampleIndex() == lastSample) {
            // The block end is measured on its own.
            state.PauseTiming();
            o.run.AcquisitionTick();
            state.ResumeTiming();
        }
        o.run.AcquisitionTick();
    }
}
BENCHMARK(BM_OrdinaryTick)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_BlockEndTick(benchmark::State& state) {
    Offline o(state.range(0) != 0);
    const int lastSample = o.s.setup.RT_Buffer - 1;
    for (auto _ : state) {
        // A whole block of the plate's signal, its statistics gathered by the
        // ticks as in a run.
        state.PauseTiming();
        o.feeding = true;
        while (o.run.sampleIndex() != lastSample)
            o.run.AcquisitionTick();
        o.feeding = false;
        state.ResumeTiming();
        o.run.AcquisitionTick();
    }
}
BENCHMARK(BM_BlockEndTick)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(40);

void BM_PacedSampling(benchmark::State& state) {
    const std::string dir = bench::makeTempFolder();
    sim::SimOptions so;
    so.paced = true;
    so.linkPath = joinPath(dir, "COM1");
    sim::SimInstrument instrument(so);
    if (!instrument.start() || CommOpen(1, so.linkPath, kDeviceLineSettings) != 0) {
        state.SkipWithError("no simulated instrument");
        return;
    }
    BenchPorts bp{true};
    Ports& ports = bp.ports;
    SharedState s;
    s.Program_Folder = dir;
    s.Project_Folder = dir;
    s.config.Actual_Project_Number = 1;
    s.config.Serial_COM = 1;
    applyBuiltinPlate(s.plate, "w384");
    AcquisitionRun run(s, ports);
    run.setAutoCalibration(false);
    run.setAutoZero(true);
    run.setRunSwitch(true);
    const int ticks = static_cast<int>(state.range(0));
    double samplesPerSecond = 0;
    for (auto _ : state) {
        if (!run.Play()) {
            state.SkipWithError("Play refused");
            break;
        }
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < ticks; ++i)
            run.AcquisitionTick();
        const double secs =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        samplesPerSecond = ticks / secs;
        run.Stop();
    }
    state.counters["samples_per_s"] = samplesPerSecond;
    state.counters["of_link_limit"] = samplesPerSecond * kLinkSeconds;
    CommClose(1);
    instrument.stop();
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_PacedSampling)->Arg(500)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
