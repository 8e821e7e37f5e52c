// trelvane-crashcheck: the helper of scripts/crashtest, built on the core's
// own readers.
//
//   prepare HOME          makes the current project of a program folder fit
//                         for crash runs: 200-sample blocks (the smallest the
//                         setup window allows), raw saving on, a long lapse,
//                         no start calibration
//   kill PID HOME MODE MS [N]
//                         kills process PID with SIGKILL: MODE "time" after
//                         MS milliseconds; MODE "raw" or "counts" once MS
//                         have passed and then the newest acquisition's raw
//                         file or counts.bin has grown N times (default 1):
//                         in the middle of a block end's writes
//   check HOME            checks every acquisition of the current project
//                         against the run log and prints the figures; exit 1
//                         when anything is wrong
#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "common/Prompter.h"
#include "common/RunLog.h"
#include "common/StatusView.h"
#include "store/AcquisitionRecord.h"
#include "store/ConfigFile.h"
#include "store/ProjectFile.h"
#include "store/StoreText.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>
#include <unistd.h>

namespace {

using namespace trv;

// Counts every message instead of showing it.
class CountingPrompter : public Prompter {
  public:
    std::vector<std::string> shown;
    Answer message(const std::string& text, Buttons, const std::string&) override {
        shown.push_back(text);
        return Answer::No;
    }
    InputResult input(const std::string& prompt, const std::string&, const std::string&) override {
        shown.push_back(prompt);
        return {true, ""};
    }
};

// The current project of a program folder, loaded as the program loads it.
struct Project {
    SharedState s;
    CountingPrompter prompter;
    explicit Project(const std::string& home) {
        s.Program_Folder = home;
        loadConfig(s, prompter);
        resolveProjectFolder(s);
        NullStatusView status;
        loadProject(s, s.config.Actual_Project_Number, prompter, status);
    }
};

int prepare(const std::string& home) {
    Project p(home);
    if (p.s.config.Actual_Project_Number == 0) {
        std::fprintf(stderr, "crashcheck: %s has no current project\n", home.c_str());
        return 1;
    }
    p.s.setup.RT_Buffer = kRtBufferMin;
    p.s.setup.Save_real = 1;
    p.s.setup.Aq_lapse = 600;
    // The start calibration takes seconds against the simulator; without it
    // the kills fall on recording rather than on calibrating.
    p.s.setup.Enab_Cal() = 0;
    return saveProject(p.s) ? 0 : 1;
}

std::vector<std::string> acquisitionFolders(const std::string& project) {
    std::vector<std::string> out;
    for (const std::string& name : listSubfolders(project))
        if (isAcquisitionFolderName(name)) out.push_back(name);
    return out;
}

// Bytes of counts.bin or of all raw files of a folder (0 when missing).
long long dataBytes(const std::string& folder, bool raw) {
    if (!raw) return std::max(0LL, fileSize(countsFilePath(folder)));
    long long total = 0;
    for (int n = 0;; ++n) {
        const long long size = fileSize(joinPath(folder, rawFileName(n)));
        if (size < 0) break;
        total += size;
    }
    return total;
}

int kill(pid_t pid, const std::string& home, const std::string& mode, int delayMs, int writes) {
    using Clock = std::chrono::steady_clock;
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    if (mode != "time") {
        const Project p(home);
        const std::string project = projectFolderPath(home, p.s.config.Actual_Project_Number);
        const bool raw = mode == "raw";
        // A large write shows as several size changes: the N-th record is
        // the one that takes the file past N - 1 records more than it had.
        const long long record = raw ? rawRecordSize(p.s.setup.RT_Buffer) : kCountsRecordSize;
        long long base = 0;
        const auto until = Clock::now() + std::chrono::seconds(30);
        std::string folder;
        long long before = -2;
        auto lastList = Clock::now() - std::chrono::seconds(1);
        while (Clock::now() < until && ::kill(pid, 0) == 0) {
            if (Clock::now() - lastList > std::chrono::milliseconds(50)) {
                const auto names = acquisitionFolders(project);
                const std::string newest = names.empty() ? "" : joinPath(project, names.back());
                if (newest != folder) {
                    folder = newest;
                    before = base = folder.empty() ? -2 : dataBytes(folder, raw);
                }
                lastList = Clock::now();
            }
            if (!folder.empty()) {
                const long long now = dataBytes(folder, raw);
                if (now != before && now > base + (writes - 1) * record) break;
                before = now;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    return ::kill(pid, SIGKILL) == 0 ? 0 : 1;
}

// What the run log says about each process: the folder it recorded in and
// the last counts record it reported written.
struct LoggedRun {
    std::string folder;
    long long lastRecord = 0;
};

std::map<std::string, LoggedRun> readLog(const std::string& home) {
    std::map<std::string, LoggedRun> runs;
    std::vector<std::string> files;
    for (int k = static_cast<int>(runlog::kKeptFiles); k >= 1; --k)
        files.push_back(joinPath(home, "trelvane." + std::to_string(k) + ".log"));
    files.push_back(joinPath(home, runlog::kFileName));
    const std::string started = "acquisition started in ";
    const std::string recorded = " recorded as counts record ";
    for (const std::string& file : files) {
        auto text = readWholeFile(file, size_t{1} << 30);
        if (!text) continue;
        for (const std::string& line : splitLines(*text)) {
            const size_t open = line.find('['), close = line.find("] ");
            if (open == std::string::npos || close == std::string::npos) continue;
            const std::string pid = line.substr(open + 1, close - open - 1);
            if (size_t at = line.find(started); at != std::string::npos) {
                const size_t from = at + started.size();
                runs[pid].folder = line.substr(from, line.find(" (", from) - from);
            } else if (size_t at = line.find(recorded); at != std::string::npos) {
                runs[pid].lastRecord = std::atoll(line.c_str() + at + recorded.size());
            }
        }
    }
    return runs;
}

int check(const std::string& home) {
    Project p(home);
    int problems = 0;
    auto problem = [&](const std::string& text) {
        ++problems;
        std::printf("PROBLEM: %s\n", text.c_str());
    };
    for (const std::string& m : p.prompter.shown)
        problem("loading the project said: " + m);
    const std::string project = p.s.Project_Folder;
    const std::map<std::string, LoggedRun> runs = readLog(home);

    std::map<std::string, int> runsPerFolder;
    std::map<std::string, long long> loggedRecords;
    for (const auto& [pid, run] : runs) {
        if (run.folder.empty()) continue;
        ++runsPerFolder[run.folder];
        loggedRecords[run.folder] = std::max(loggedRecords[run.folder], run.lastRecord);
    }

    int folders = 0, withData = 0, partialTails = 0, rawAhead = 0;
    long long records = 0;
    for (const std::string& name : acquisitionFolders(project)) {
        const std::string folder = joinPath(project, name);
        ++folders;
        ProjectSetup setup;
        const int rt = readSetupFile(joinPath(folder, kSetupFileName), setup).ok()
                           ? setup.RT_Buffer
                           : p.s.setup.RT_Buffer;
        const long long countsSize = std::max(0LL, fileSize(countsFilePath(folder)));
        const long long counts = countsSize / kCountsRecordSize;
        int partial = countsSize % kCountsRecordSize != 0 ? 1 : 0;
        long long raw = 0;
        for (int n = 0;; ++n) {
            const long long size = fileSize(joinPath(folder, rawFileName(n)));
            if (size < 0) break;
            raw += size / rawRecordSize(rt);
            if (size % rawRecordSize(rt) != 0) ++partial;
        }
        records += counts;
        if (counts > 0) ++withData;
        partialTails += partial;
        if (raw == counts + 1) ++rawAhead;

        // A kill can cut the one record being written; every other is whole.
        if (partial > 1) problem(name + ": " + std::to_string(partial) + " files end in part");
        if (raw != counts && raw != counts + 1)
            problem(name + ": " + std::to_string(counts) + " counts records but " +
                    std::to_string(raw) + " raw blocks");
        const auto it = runsPerFolder.find(folder);
        const int writers = it == runsPerFolder.end() ? 0 : it->second;
        if (writers > 1) problem(name + ": " + std::to_string(writers) + " runs recorded here");
        if (counts > 0 && writers == 0) problem(name + ": data but no run logged for it");
        const long long logged = loggedRecords.count(folder) ? loggedRecords[folder] : 0;
        if (counts < logged)
            problem(name + ": " + std::to_string(logged) + " blocks logged as recorded, " +
                    std::to_string(counts) + " in counts.bin");
        if (counts > logged + 1)
            problem(name + ": " + std::to_string(counts) + " records, only " +
                    std::to_string(logged) + " logged");
        // One run per folder: its record times never go back.
        const std::vector<CountsRecord> recs = readCounts(countsFilePath(folder));
        for (size_t i = 1; i < recs.size(); ++i)
            if (recs[i].minutes < recs[i - 1].minutes) {
                problem(name + ": record " + std::to_string(i) + " goes back in time");
                break;
            }
        if (!recs.empty() && readAcquisitionName(folder).empty())
            problem(name + ": records but no subproj.dat");
    }
    std::printf("runs logged: %zu\nacquisition folders: %d (%d with records)\n"
                "counts records: %lld\nfiles ending in part of a record: %d\n"
                "folders with one raw block more than counts records: %d\nproblems: %d\n",
                runs.size(), folders, withData, records, partialTails, rawAhead, problems);
    return problems == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> a(argv + 1, argv + argc);
    if (a.size() == 2 && a[0] == "prepare") return prepare(a[1]);
    if (a.size() == 2 && a[0] == "check") return check(a[1]);
    if ((a.size() == 5 || a.size() == 6) && a[0] == "kill" &&
        (a[3] == "time" || a[3] == "raw" || a[3] == "counts"))
        return kill(static_cast<pid_t>(std::atol(a[1].c_str())), a[2], a[3],
                    std::atoi(a[4].c_str()), a.size() == 6 ? std::atoi(a[5].c_str()) : 1);
    std::fprintf(stderr, "usage: trelvane-crashcheck prepare HOME | check HOME |"
                         " kill PID HOME time|raw|counts MS [N]\n");
    return 2;
}
