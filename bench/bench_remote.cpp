// The remote view's cost:
//   BM_StatusJson              server time of one /api/status answer (a day of
//                              one-minute blocks in the snapshot, 50 log lines)
//   BM_StatusRequest           one /api/status request over 127.0.0.1, client
//                              and server together
//   BM_BlockEndTick/clients    CPU time of the run's thread for the tick that
//                              ends a block (w384, Auto Zero on, records
//                              written) with the remote view off (-1), or on
//                              and that many clients polling /api/status
//                              every 100 ms on other threads
#include "remote/HttpProbe.h"

#include "BenchSupport.h"
#include "acquisition/AcquisitionRun.h"
#include "common/HeadlessPorts.h"
#include "common/RunLog.h"
#include "remote/RemoteServer.h"
#include "remote/RemoteView.h"
#include "store/PlateFormat.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

namespace {

using namespace trv;

using bench::ManualClock;
using bench::QuietPrompter;

const std::string kToken = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJK-_0123";

// A day of one-minute blocks of 12 groups, a 96-well heat map, a run log.
std::shared_ptr<remote::RunSnapshot> daySnapshot() {
    auto s = std::make_shared<remote::RunSnapshot>();
    s->state = "recording";
    s->blocksRecorded = 1440;
    for (int g = 0; g < 12; ++g)
        s->groups.push_back({g, "Group" + std::to_string(g)});
    auto chunk = std::make_shared<remote::BlockChunk>();
    for (int b = 1; b <= 1440; ++b) {
        chunk->push_back({b, b, 1710495124 + 60 * b, true, 22.5, std::vector<int32_t>(12, 40)});
        if (chunk->size() == remote::kChunkRows) {
            s->blocks.push_back(chunk);
            chunk = std::make_shared<remote::BlockChunk>();
        }
    }
    s->blocks.push_back(chunk);
    s->plateRows = 8;
    s->plateColumns = 12;
    s->wellsLastHour.assign(96, 1234);
    return s;
}

struct LogFolder {
    std::string dir = bench::makeTempFolder();
    LogFolder() {
        std::ofstream log(dir + "/trelvane.log");
        for (int i = 0; i < 5000; ++i)
            log << "2024-03-15 09:30:00.000 [info] trelvane 1234: block " << i
                << " recorded as counts record " << i << " at minute " << i << "\n";
    }
    ~LogFolder() { std::filesystem::remove_all(dir); }
};

void BM_StatusJson(benchmark::State& state) {
    LogFolder log;
    remote::SnapshotBoard board;
    board.publish(daySnapshot());
    remote::RemoteConfig c;
    remote::RemoteServer server(board, c, kToken, log.dir + "/trelvane.log");
    for (auto _ : state)
        benchmark::DoNotOptimize(server.statusJson());
}
BENCHMARK(BM_StatusJson)->Unit(benchmark::kMicrosecond);

void BM_StatusRequest(benchmark::State& state) {
    LogFolder log;
    remote::SnapshotBoard board;
    board.publish(daySnapshot());
    remote::RemoteConfig c;
    c.port = 0;
    remote::RemoteServer server(board, c, kToken, log.dir + "/trelvane.log");
    if (!server.start().empty()) std::abort();
    for (auto _ : state) {
        const auto a = test::get(server.port(), "/api/status", "Authorization: Bearer " + kToken + "\r\n");
        if (a.status != 200) state.SkipWithError("no answer");
    }
}
BENCHMARK(BM_StatusRequest)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A w384 run without an instrument (as bench_run), its samples fed a plate
// signal, with the remote view publishing at each block end when on.
struct Run {
    QuietPrompter prompter;
    ManualClock clock;
    NoEventPump pump;
    NoDesktop desktop;
    SystemLocale locale;
    NullStatusView status;
    Ports ports{prompter, clock, pump, desktop, locale, status};
    SharedState s;
    AcquisitionRun run{s, ports};
    std::string folder = bench::makeTempFolder();
    SignalBlock signal;
    bool feeding = true;
    std::unique_ptr<remote::RemoteView> view;
    explicit Run(bool remoteOn) : signal(s.setup.RT_Buffer + 1) {
        s.Program_Folder = folder;
        s.Project_Folder = folder;
        s.config.Actual_Project_Number = 1;
        s.config.Serial_COM = 0;
        applyBuiltinPlate(s.plate, "w384");
        std::mt19937 rng(5);
        std::normal_distribution<double> noise(0, 6);
        for (int b = 0; b < kChannels; ++b)
            for (int i = 0; i <= s.setup.RT_Buffer; ++i)
                signal.at(b, i) = static_cast<int16_t>(1700 + noise(rng) - (i % 61 == b % 7 ? 300 : 0));
        if (remoteOn) {
            std::ofstream(folder + "/remote.conf") << "enabled = yes\nport = 0\n";
            view = std::make_unique<remote::RemoteView>(folder);
            if (!view->start().empty()) std::abort();
            view->watch(run, clock);
        }
        run.setAutoZero(false);
        run.setAutoCalibration(false);
        run.setRunSwitch(true);
        run.setPrintUnattended(nullptr);
        run.setOnSampleStored([this](int i, SignalBlock& raw) {
            if (!feeding) return;
            for (int b = 0; b < kChannels; ++b)
                raw.at(b, i) = signal.at(b, i);
        });
        if (!run.Play()) std::abort();
        s.Offline_Mode = true;
        run.setAutoZero(true);
        s.channels.Channel_Threshold.fill(12);
        while (run.ticksSinceStart() < 1000)
            run.AcquisitionTick();
    }
    ~Run() {
        run.Stop();
        view.reset();
        std::filesystem::remove_all(folder);
    }
};

void BM_BlockEndTick(benchmark::State& state) {
    const int clients = static_cast<int>(state.range(0));
    Run r(clients >= 0);
    std::atomic<bool> stop{false};
    std::atomic<long> answers{0};
    std::vector<std::thread> pollers;
    for (int c = 0; c < clients; ++c)
        pollers.emplace_back([&] {
            const std::string bearer = "Authorization: Bearer " + r.view->token() + "\r\n";
            // Bounded: at most 10 minutes of polling.
            for (int i = 0; i < 6000 && !stop; ++i) {
                if (test::get(r.view->server()->port(), "/api/status", bearer).status == 200) ++answers;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
    const int lastSample = r.s.setup.RT_Buffer - 1;
    for (auto _ : state) {
        state.PauseTiming();
        r.feeding = true;
        while (r.run.sampleIndex() != lastSample)
            r.run.AcquisitionTick();
        r.feeding = false;
        state.ResumeTiming();
        r.run.AcquisitionTick();
    }
    stop = true;
    for (auto& t : pollers)
        t.join();
    state.counters["answers"] = static_cast<double>(answers);
    state.counters["dropped"] = r.run.blocksDropped();
}
BENCHMARK(BM_BlockEndTick)->Arg(-1)->Arg(0)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(60);

} // namespace

BENCHMARK_MAIN();
