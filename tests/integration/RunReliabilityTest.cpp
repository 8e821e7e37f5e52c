// What a recording acquisition leaves behind when its process is killed at a
// random moment, and when the disk refuses a write. Each acquisition runs in
// a child process with its own simulated instrument; the parent kills it or
// waits for it, then reads the files back.
#include "acquisition/AcquisitionRun.h"
#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "device/ModCOMM.h"
#include "store/AcquisitionRecord.h"
#include "store/ConfigFile.h"
#include "store/PlateFormat.h"
#include "store/ProjectFile.h"
#include "support/Fakes.h"
#include "support/TempDir.h"

#include "SimInstrument.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace trv::test {
namespace {

constexpr int kRtBuffer = 10;

// A program folder with project 1 on the two-beam 96-well plate.
void makeInstallation(const std::string& programFolder) {
    PlateLayout p;
    applyBuiltinPlate(p, "w96f");
    writeFileAtomic(joinPath(programFolder, "w96f.dat"), plateFileText(p, "w96f", "built in"));
    SharedState s;
    s.Program_Folder = programFolder;
    s.Project_Folder = joinPath(programFolder, projectFolderName(1));
    s.config.Actual_Project_Number = 1;
    s.setup.Name = "Killed";
    s.setup.RT_Buffer = kRtBuffer;
    makeFolder(s.Project_Folder);
    saveProject(s);
}

struct ChildRun {
    std::string programFolder;
    int startMinute = 0;
    int progressFd = -1; // the child writes its recorded block count here
    // Called after every tick with the number of ticks so far.
    std::function<void(AcquisitionRun&, long)> onTick;
};

// Runs in the child: an acquisition that records until it is killed or the
// block callback ends it. Never returns.
[[noreturn]] void runChild(const ChildRun& c, int maxBlocks) {
    sim::SimOptions o;
    o.clock = sim::SimClock::PerSample;
    o.sampleSeconds = 0.1;
    o.model.seed = static_cast<uint32_t>(c.startMinute + 1);
    o.linkPath = joinPath(c.programFolder, "COM1_" + std::to_string(c.startMinute));
    sim::SimInstrument instrument(o);
    if (!instrument.start()) _exit(3);
    if (CommOpen(1, o.linkPath, kDeviceLineSettings) != 0) _exit(4);

    FakePorts fake;
    fake.clock.set(2024, 1, 1, 10 + c.startMinute / 60, c.startMinute % 60);
    SharedState s;
    s.Program_Folder = c.programFolder;
    s.Project_Folder = joinPath(c.programFolder, projectFolderName(1));
    s.config.Actual_Project_Number = 1;
    s.config.Serial_COM = 1;
    s.setup.Name = "Killed";
    s.setup.RT_Buffer = kRtBuffer;
    s.setup.Aq_lapse = 30000;
    applyBuiltinPlate(s.plate, "w96f");
    AcquisitionRun run(s, fake.ports);
    run.setAutoCalibration(false);
    run.setAutoZero(true);
    run.setRunSwitch(true);
    run.setPrintUnattended(nullptr);
    if (!run.Play()) _exit(5);
    int reported = 0;
    long ticks = 0;
    while (run.blocksRecorded() < maxBlocks && ticks < 100000) {
        run.AcquisitionTick();
        fake.clock.advanceMs(100);
        ++ticks;
        if (run.blocksRecorded() != reported) {
            reported = run.blocksRecorded();
            if (c.progressFd >= 0) (void)!::write(c.progressFd, &reported, sizeof reported);
        }
        if (c.onTick) c.onTick(run, ticks);
    }
    CommClose(1);
    instrument.stop();
    _exit(0);
}

struct FileCheck {
    long long counts = 0; // whole records
    long long raw = 0;
    int partialFiles = 0;   // files ending in part of a record
    std::string partialRaw; // the raw file that does
    std::string detail;
};

FileCheck checkFolder(const std::string& folder) {
    FileCheck r;
    const long long countsSize = fileSize(countsFilePath(folder));
    if (countsSize > 0) {
        r.counts = countsSize / kCountsRecordSize;
        if (countsSize % kCountsRecordSize != 0) {
            ++r.partialFiles;
            r.detail += "counts.bin " + std::to_string(countsSize) + " ";
        }
    }
    for (int n = 0; fileExists(joinPath(folder, rawFileName(n))); ++n) {
        const long long size = fileSize(joinPath(folder, rawFileName(n)));
        r.raw += size / rawRecordSize(kRtBuffer);
        if (size % rawRecordSize(kRtBuffer) != 0) {
            ++r.partialFiles;
            r.partialRaw = rawFileName(n);
            r.detail += rawFileName(n) + " " + std::to_string(size) + " ";
        }
    }
    return r;
}

TEST(RunReliability, KilledAtRandomMomentsKeepsEveryFinishedBlockInWholeRecords) {
    TempDir dir;
    makeInstallation(dir.path());
    std::mt19937 rng(20240315);
    std::uniform_int_distribution<int> delayMs(20, 400);
    constexpr int kKills = 24;
    int withData = 0, partial = 0;
    for (int k = 0; k < kKills; ++k) {
        int fds[2];
        ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        ChildRun c{dir.path(), k, fds[1], {}};
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            runChild(c, 1 << 30);
        }
        ::close(fds[1]);
        int finished = 0, value = 0;
        // Every second kill waits for the first finished block, so that on a
        // loaded machine half the kills still land after data was written.
        if (k % 2 == 1) {
            pollfd p{fds[0], POLLIN, 0};
            if (::poll(&p, 1, 60000) == 1 &&
                ::read(fds[0], &value, sizeof value) == static_cast<ssize_t>(sizeof value))
                finished = value;
        }
        ::usleep(static_cast<useconds_t>(delayMs(rng)) * 1000);
        ASSERT_EQ(::kill(pid, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself: " << WEXITSTATUS(status);
        while (::read(fds[0], &value, sizeof value) == static_cast<ssize_t>(sizeof value))
            finished = value;
        ::close(fds[0]);

        const std::string folder =
            joinPath(joinPath(dir.path(), projectFolderName(1)), "20240101_10" + zeroPadded(k, 2));
        if (!folderExists(folder)) {
            EXPECT_EQ(finished, 0);
            continue; // killed before Play made its folder
        }
        const FileCheck f = checkFolder(folder);
        // A kill stops a write at a page boundary, so the one record being
        // written may be there in part; every record before it is whole.
        EXPECT_LE(f.partialFiles, 1) << "kill " << k << ": " << f.detail;
        // Every block reported finished is in counts.bin; at most the block
        // being written when the kill came is there too.
        EXPECT_GE(f.counts, finished) << "kill " << k;
        EXPECT_LE(f.counts, finished + 1) << "kill " << k;
        // The raw files hold the same blocks, or one more when the kill came
        // between a block's raw record and its counts record.
        EXPECT_GE(f.raw, f.counts) << "kill " << k;
        EXPECT_LE(f.raw, f.counts + 1) << "kill " << k;
        // Whole records read back.
        EXPECT_EQ(static_cast<long long>(readCounts(countsFilePath(folder)).size()), f.counts);
        if (f.counts > 0) ++withData;
        if (f.partialFiles > 0) {
            // The next append (a reprocessing, or this block written again)
            // cuts the part first: the file is whole records again.
            ++partial;
            if (f.partialRaw.empty()) {
                ASSERT_TRUE(AppendCounts(folder, 0, ChannelArray<int16_t>{}));
                EXPECT_EQ(fileSize(countsFilePath(folder)), (f.counts + 1) * kCountsRecordSize);
            } else {
                ASSERT_TRUE(
                    AppendRawBlock(folder, std::stoi(f.partialRaw), SignalBlock(kRtBuffer + 1)));
                EXPECT_EQ(fileSize(joinPath(folder, f.partialRaw)) % rawRecordSize(kRtBuffer), 0);
            }
        }
        // The snapshot is complete or absent, never torn (atomic writes).
        if (fileExists(joinPath(folder, "setup.dat"))) {
            ProjectSetup copy;
            EXPECT_TRUE(readSetupFile(joinPath(folder, "setup.dat"), copy).ok()) << "kill " << k;
        }
        if (fileExists(joinPath(folder, "subproj.dat"))) {
            EXPECT_EQ(readAcquisitionName(folder), "Autorun project");
        }
    }
    EXPECT_GT(withData, kKills / 2);
    if (partial > 0)
        std::printf("%d of %d kills came in the middle of a record\n", partial, kKills);

    // The project still loads without a message.
    SharedState s;
    FakePorts fake;
    s.Program_Folder = dir.path();
    s.config.Actual_Project_Number = 1;
    s.Project_Folder = joinPath(dir.path(), projectFolderName(1));
    loadProject(s, 1, fake.ports);
    EXPECT_EQ(fake.prompter.texts(), std::vector<std::string>{});
    EXPECT_EQ(s.setup.Name, "Killed");
}

// The disk refuses a raw block (a file-size limit leaves room for only part
// of it): its part is cut off again, raw saving stops, and the counts
// records go on, the refused block's included.
TEST(RunReliability, ARefusedRawWriteStopsRawSavingAndTheCountsGoOn) {
    TempDir dir;
    makeInstallation(dir.path());
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN); // a refused write fails instead of killing
        ChildRun c{dir.path(), 0, -1, {}};
        c.onTick = [](AcquisitionRun&, long tick) {
            rlimit lim{};
            ::getrlimit(RLIMIT_FSIZE, &lim);
            if (tick == 3 * kRtBuffer) // three blocks written; the fourth will not fit
                lim.rlim_cur = static_cast<rlim_t>(4 * rawRecordSize(kRtBuffer) - 1000);
            else if (tick == 4 * kRtBuffer)
                lim.rlim_cur = lim.rlim_max;
            ::setrlimit(RLIMIT_FSIZE, &lim);
        };
        runChild(c, 6);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    const std::string folder =
        joinPath(joinPath(dir.path(), projectFolderName(1)), "20240101_1000");
    const FileCheck f = checkFolder(folder);
    EXPECT_EQ(f.partialFiles, 0) << f.detail;
    EXPECT_EQ(f.counts, 6);
    EXPECT_EQ(f.raw, 3); // the blocks before the refused one
}

} // namespace
} // namespace trv::test
