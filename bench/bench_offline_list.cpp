// The offline browser's list on a program folder of 100 projects with 50
// acquisitions each (5,000 acquisition folders with subproj.dat and
// counts.bin, tags in every project): listing the projects, listing them all
// expanded, and filtering the expanded list with a term that only
// acquisition names hold (every project's acquisitions are searched).
#include "common/Files.h"
#include "common/Prompter.h"
#include "offline/BrowserList.h"
#include "store/AcquisitionRecord.h"
#include "store/ProjectFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace trv {
namespace {

class QuietPrompter : public Prompter {
  public:
    Answer message(const std::string&, Buttons, const std::string&) override { return Answer::Ok; }
    InputResult input(const std::string&, const std::string&, const std::string&) override {
        return {true, ""};
    }
};

constexpr int kProjects = 100;
constexpr int kAcquisitions = 50;

struct ProgramFolder {
    std::string root;
    ProgramFolder() {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "trelvane-bench-list-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) std::abort();
        root = tmpl;
        const std::string counts(774, '\0');
        for (int p = 1; p <= kProjects; ++p) {
            const std::string folder = joinPath(root, "p" + std::to_string(100000 + p).substr(1));
            makeFolder(folder);
            ProjectSetup setup;
            setup.Name = "Project " + std::to_string(p);
            writeFileAtomic(joinPath(folder, kSetupFileName), setupFileText(setup, p));
            std::string tags;
            for (int a = 0; a < kAcquisitions; ++a) {
                char acq[16];
                std::snprintf(acq, sizeof acq, "2024%02d%02d_%02d%02d", 1 + a / 28, 1 + a % 28,
                              8 + p % 10, a % 60);
                const std::string path = joinPath(folder, acq);
                makeFolder(path);
                writePlainFile(joinPath(path, kSubprojFileName),
                               subprojFileText("Plate " + std::to_string(a) +
                                                   (a == kAcquisitions - 1 ? " needle" : ""),
                                               "comments"));
                writePlainFile(joinPath(path, "counts.bin"), counts);
                if (a % 5 == 0) tags += std::string(acq) + " [K1]\r\n";
            }
            writePlainFile(joinPath(folder, kTagsFileName), tags);
        }
    }
    ~ProgramFolder() { std::filesystem::remove_all(root); }
};

ProgramFolder& folder() {
    static ProgramFolder f;
    return f;
}

void BM_ListProjects(benchmark::State& state) {
    QuietPrompter prompter;
    BrowserList list(folder().root, prompter);
    for (auto _ : state) {
        list.listProjects();
        benchmark::DoNotOptimize(list.lines().data());
    }
    state.counters["lines"] = list.size();
}

void BM_ListAllExpanded(benchmark::State& state) {
    QuietPrompter prompter;
    BrowserList list(folder().root, prompter);
    for (int p = 1; p <= kProjects; ++p)
        list.setExpanded("p" + std::to_string(100000 + p).substr(1), true);
    for (auto _ : state) {
        list.listProjects();
        benchmark::DoNotOptimize(list.lines().data());
    }
    state.counters["lines"] = list.size();
    state.SetItemsProcessed(state.iterations() * kProjects * kAcquisitions);
}

void BM_FilterAllExpanded(benchmark::State& state) {
    QuietPrompter prompter;
    BrowserList list(folder().root, prompter);
    for (int p = 1; p <= kProjects; ++p)
        list.setExpanded("p" + std::to_string(100000 + p).substr(1), true);
    for (auto _ : state) {
        list.applyFilter("needle");
        benchmark::DoNotOptimize(list.lines().data());
    }
    state.counters["lines"] = list.size();
    state.SetItemsProcessed(state.iterations() * kProjects * kAcquisitions);
}

BENCHMARK(BM_ListProjects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListAllExpanded)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterAllExpanded)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace trv

BENCHMARK_MAIN();
