// Helpers shared by the benchmarks of long runs over stored acquisitions.
#pragma once

#include "common/Clock.h"
#include "common/Files.h"
#include "common/Prompter.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace trv::bench {

// A prompter without a window: every message is answered Yes, every input
// with an empty text.
struct QuietPrompter : Prompter {
    Answer message(const std::string&, Buttons, const std::string&) override { return Answer::Yes; }
    InputResult input(const std::string&, const std::string&, const std::string&) override {
        return {true, ""};
    }
};

// A clock that stands still where the benchmark sets it, and never sleeps.
struct ManualClock : Clock {
    LocalDateTime t{2024, 3, 15, 9, 30, 0, 0};
    LocalDateTime now() override { return t; }
    void sleepMs(int) override {}
};

// CPU seconds of the whole process (every thread).
inline double processCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// TRELVANE_BENCH_BLOCKS, else 2500 blocks (about 24 hours).
inline int benchBlockCount() {
    const char* env = std::getenv("TRELVANE_BENCH_BLOCKS");
    const int n = env ? std::atoi(env) : 2500;
    return n > 0 ? n : 2500;
}

// A new empty folder under the temporary directory.
inline std::string makeTempFolder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "trelvane-bench-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    return tmpl;
}

// The plate file w384.dat of the benchmarks: 384 wells of one beam each.
inline void writeOneBeamPerWellPlate(const std::string& folder) {
    std::string plate =
        "\"384 wells\",\"bench\"\r\n16,1.0,0,24,1.0,0\r\n\"<Channel>,<Well>,<Beam>\"\r\n";
    for (int c = 0; c < 384; ++c)
        plate += "\"" + std::to_string(c) + "\"," + std::to_string(c) + ",0\r\n";
    writeFileAtomic(joinPath(folder, "w384.dat"), plate);
}

// Every data file of a folder read once, so runs start from the page cache.
inline void warmFiles(const std::string& folder) {
    std::vector<char> buf(1 << 20);
    for (const std::string& f : listFiles(folder, "*.bin")) {
        std::ifstream in(joinPath(folder, f), std::ios::binary);
        while (in.read(buf.data(), static_cast<std::streamsize>(buf.size())) || in.gcount() > 0) {
        }
    }
}

} // namespace trv::bench
