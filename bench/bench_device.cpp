// One full beam sample (four group requests, 192-byte replies read as the
// acquisition reads them: 96 + 96) through the serial channel and a pty to
// the simulated instrument, unpaced and at the pace of a 115200-baud line.
//
// Counters:
//   samples_per_s    samples a second
//   of_link_limit    samples a second over the link limit (1 / 68.4 ms)
//   cpu_us           the calling thread's CPU time per sample
//   cpu_of_link_pct  that CPU time as a share of one sample's link time
#include "SimInstrument.h"
#include "device/COM_Module.h"
#include "device/ModCOMM.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

namespace {

// 4 x (5 request + 192 reply) bytes of 10 bits at 115200 baud.
constexpr double kLinkSeconds = 4.0 * (5 + 192) * 10 / 115200.0;
constexpr int kPort = 1;

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void beamSample(benchmark::State& state, bool paced) {
    std::string dir = (std::filesystem::temp_directory_path() / "trelvane-bench-XXXXXX").string();
    if (!::mkdtemp(dir.data())) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    trv::sim::SimOptions o;
    o.linkPath = dir + "/COM1";
    o.paced = paced;
    o.clock = trv::sim::SimClock::PerSample;
    trv::sim::SimInstrument sim(o);
    std::string error;
    if (!sim.start(&error) || trv::CommOpen(kPort, o.linkPath, trv::kDeviceLineSettings) != 0) {
        state.SkipWithError(
            ("cannot reach the simulator: " + error + trv::CommError.message).c_str());
        std::filesystem::remove_all(dir);
        return;
    }

    std::array<int16_t, 385> levels{};
    long bad = 0;
    const double cpu0 = threadCpuSeconds();
    for (auto _ : state) {
        const int valid = trv::SampleAllBeams(kPort, levels, trv::SampleReads::TwoHalves);
        if (valid != 4) ++bad;
        benchmark::DoNotOptimize(levels.data());
    }
    const double cpu = threadCpuSeconds() - cpu0;

    trv::CommClose(kPort);
    sim.stop();
    std::filesystem::remove_all(dir);

    const double n = static_cast<double>(state.iterations());
    state.counters["samples_per_s"] = benchmark::Counter(n, benchmark::Counter::kIsRate);
    state.counters["of_link_limit"] =
        benchmark::Counter(n * kLinkSeconds, benchmark::Counter::kIsRate);
    state.counters["cpu_us"] = cpu / n * 1e6;
    state.counters["cpu_of_link_pct"] = cpu / n / kLinkSeconds * 100.0;
    state.counters["bad_samples"] = static_cast<double>(bad);
}

void BM_BeamSampleUnpaced(benchmark::State& state) {
    beamSample(state, false);
}
void BM_BeamSamplePaced(benchmark::State& state) {
    beamSample(state, true);
}

} // namespace

BENCHMARK(BM_BeamSampleUnpaced)->UseRealTime()->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_BeamSamplePaced)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

BENCHMARK_MAIN();
