#include "AcquisitionRig.h"

#include "SearchStats.h"

#include "acquisition/Analysis_Module.h"
#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "device/ModCOMM.h"
#include "device/PortTimeouts.h"
#include "store/ConfigFile.h"
#include "store/PlateFormat.h"

#include <rapidcheck.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <thread>

namespace trv::test {

namespace {

// The port's read time-outs, shortened so that a search can meet thousands
// of dropped replies: a read gives up after 25 ms (10 ms between bytes).
const CommTimeouts kShortTimeouts{10, 0, 25, 1000, 0};
// A tick waits out one read's time-out at most (five tries of 25 ms, 5 ms
// apart: 150 ms), with room for a busy machine (two searches side by side).
constexpr double kTickLimitMs = 450;
// With the link down a tick asks nothing, except for the reopening's probe:
// well under one read's time-out.
constexpr double kLinkDownTickLimitMs = 100;
constexpr int kGroups[] = {0, 32, 64, 96};

sim::SimOptions instrumentOptions(int seed) {
    sim::SimOptions o;
    o.port = 1;
    o.clock = sim::SimClock::PerSample;
    o.sampleSeconds = 0.070;
    o.model.seed = static_cast<uint32_t>(seed);
    return o;
}

// A full disk: part of the record reaches the file, then the write fails.
bool partialWrite(const std::string& path) {
    std::ofstream(path, std::ios::binary | std::ios::app) << std::string(100, '\x5a');
    errno = ENOSPC;
    return false;
}

[[noreturn]] void broken(const std::string& what) {
    if (std::getenv("TRELVANE_STATEFUL_TRACE")) std::cerr << "\n  broken: " << what;
    RC_FAIL(what);
    throw std::logic_error(what); // not reached
}

} // namespace

AcquisitionRig::AcquisitionRig() {
    SetCommOpenTimeouts(kShortTimeouts);
    s.Program_Folder = dir.path();
    for (const char* name : {"w384", "w96f", "w96u"}) {
        PlateLayout p;
        applyBuiltinPlate(p, name);
        dir.write(std::string(name) + ".dat", plateFileText(p, name, "built in"));
    }
    const std::string folder = dir / projectFolderName(1);
    makeFolder(folder);
    s.config.Actual_Project_Number = 1;
    s.config.Serial_COM = 1;
    s.Project_Folder = folder;
    s.setup.Name = "Rig";
    s.setup.Plate_format = "w96f";
    s.setup.RT_Buffer = 16;
    s.setup.Aq_lapse = 2;
    s.setup.Save_real = 1;
    s.setup.Threshold_Counter = 20;
    s.setup.Enab_Cal() = 0; // a full calibration takes thousands of exchanges
    s.setup.Enab_Zero() = 1;
    applyBuiltinPlate(s.plate, "w96f");

    sim = &sims.start(1, instrumentOptions(simSeed));
    if (CommOpen(1, "COM1", kDeviceLineSettings) != 0) broken("COM1 does not open");
    s.Device_Connected = true;
    ReadFactoryCalibration(s, fake.ports);
    fake.pump.every = [] { std::this_thread::sleep_for(std::chrono::microseconds(100)); };

    run = std::make_unique<AcquisitionRun>(s, fake.ports);
    run->setFreeDiskMB([](const std::string&) { return 100000LL; });
    run->setPrintUnattended({});
    RunHooks h;
    h.enableCmdPlay = [this](bool on) { playEnabled = on; };
    h.enableCmdPause = [this](bool on) { pauseEnabled = on; };
    run->setHooks(std::move(h));
    run->setOnSampleStored([this](int sample, SignalBlock&) {
        if (sample != 0) return;
        blockBegin_ = tickStart_;
        analysisInput_.reset();
    });
    run->setOnBlockAnalysis([this] {
        analysisInput_ = std::make_shared<SignalBlock>(run->realtime().rawBlock);
        analysisSnr_ = run->snr();
        analysisMethod_ = s.setup.DSP_Method;
    });
    wireFiles();
    run->FillControls();
}

AcquisitionRig::~AcquisitionRig() {
    run.reset();
    SetCommOpenTimeouts({100, 0, 500, 1000, 0});
}

void AcquisitionRig::wireFiles() {
    RunFileWriters w;
    w.raw = [this](const std::string& folder, int n, const SignalBlock& block) {
        if (diskFull) return partialWrite(joinPath(folder, rawFileName(n)));
        if (!AppendRawBlock(folder, n, block)) return false;
        pullLedger();
        pending_ = StoredBlock{};
        pending_.begin = blockBegin_;
        pending_.end = ledger_.size();
        pendingRaw_ = true;
        return true;
    };
    w.counts = [this](const std::string& folder, int32_t minutes, const ChannelArray<int16_t>& c) {
        const bool withRaw = pendingRaw_;
        pendingRaw_ = false;
        if (diskFull) return partialWrite(countsFilePath(folder));
        if (!AppendCounts(folder, minutes, c)) return false;
        StoredBlock b = withRaw ? pending_ : StoredBlock{};
        b.withRaw = withRaw;
        b.analysisInput = std::move(analysisInput_);
        b.snr = analysisSnr_;
        b.method = analysisMethod_;
        FolderState& f = folders_[folder];
        f.blocks.push_back(b);
        f.rtBuffer = run->realtime().rtBuffer();
        return true;
    };
    w.histogram = [this](const std::string& folder, int n, double m, double sps,
                         const BodyBendTable& t) {
        if (diskFull) return partialWrite(joinPath(folder, histogramFileName(n)));
        return AppendHistogram(folder, n, m, sps, t);
    };
    run->setFileWriters(std::move(w));
}

void AcquisitionRig::pullLedger() {
    if (!sim) return;
    std::vector<sim::SentSample> fresh = sim->samplesSentSince(simCursor_);
    simCursor_ += fresh.size();
    ledger_.insert(ledger_.end(), fresh.begin(), fresh.end());
}

void AcquisitionRig::killInstrument() {
    if (!sim) return;
    pullLedger();
    sims.stop(1);
    sim = nullptr;
    simCursor_ = 0;
}

void AcquisitionRig::restartInstrument() {
    if (sim) return;
    sim = &sims.start(1, instrumentOptions(++simSeed));
}

void AcquisitionRig::ticks(int n) {
    for (int i = 0; i < n; ++i)
        tick();
}

void AcquisitionRig::tick() {
    if (!run->timerRunning()) {
        fake.clock.advanceMs(tickMs);
        return;
    }
    pullLedger();
    tickStart_ = ledger_.size();
    const bool linkDownBefore = run->linkDown();
    const int stateBefore = s.Acq_State;
    const bool recordingBefore = s.recording;
    const int32_t endedBefore = run->blocksEnded();
    const int32_t accountedBefore =
        run->blocksRecorded() + run->blocksDropped() + run->blocksLost();
    reopensBefore_ = run->reopenAttempts();
    const auto t0 = std::chrono::steady_clock::now();
    run->AcquisitionTick();
    const double wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    checkTick(wallMs, linkDownBefore, stateBefore, recordingBefore, endedBefore, accountedBefore);
    fake.clock.advanceMs(tickMs);
}

void AcquisitionRig::checkTick(double wallMs, bool linkDownBefore, int stateBefore,
                               bool recordingBefore, int32_t endedBefore,
                               int32_t accountedBefore) {
    // Replies that come late are waited for: a tick asks at most nine times
    // (warm-up, groups, temperature).
    if (wallMs > kTickLimitMs + 9 * lateRepliesMs && !SearchStats::skipped("portwait"))
        broken(std::string("a tick") + (linkDownBefore ? " with the link down" : "") + " waited " +
               std::to_string(static_cast<int>(wallMs)) + " ms on the port");
    if (linkDownBefore && run->linkDown() && run->reopenAttempts() == reopensBefore_ &&
        wallMs > kLinkDownTickLimitMs && !SearchStats::skipped("portwait"))
        broken("a tick with the link down and no reopening waited " +
               std::to_string(static_cast<int>(wallMs)) + " ms");

    // Every block that ended while recording is stored, dropped or lost.
    const int32_t ended = run->blocksEnded() - endedBefore;
    const int32_t accounted =
        run->blocksRecorded() + run->blocksDropped() + run->blocksLost() - accountedBefore;
    if (recordingBefore && s.recording && stateBefore != 0 && s.Acq_State != 0 &&
        ended != accounted)
        broken(std::to_string(ended) + " block(s) ended while recording but " +
               std::to_string(accounted) + " stored, dropped or lost");

    // The lapse: the tick at which it has passed ends the run when the link
    // is down or the run is paused with its time counter on, and the block
    // it falls in ends it otherwise.
    const bool running = s.Acq_State != 0 && run->acquisitionRunning();
    const double minutes = (fake.clock.nowDays() - run->startTime()) * 1440;
    const bool timeCounts = stateBefore == 1 || (stateBefore == 2 && !run->timeCounterStopped());
    const bool passed = timeCounts && std::floor(minutes + 1e-6) >= s.setup.Aq_lapse &&
                        !run->calibration().blankInProgress();
    if (!running || !passed || SearchStats::skipped("lapse")) {
        ticksPastLapse_ = 0;
    } else {
        ++ticksPastLapse_;
        if ((linkDownBefore && run->linkDown()) || stateBefore == 2)
            broken("the lapse has passed, the link is down or the run paused, and the run goes on");
        if (ticksPastLapse_ > run->realtime().rtBuffer() + 1)
            broken("the lapse passed " + std::to_string(ticksPastLapse_) +
                   " ticks ago and the run goes on");
    }

    // A blank ends once it has taken its ticks (fed once the real-time
    // window has filled), and recording goes on; taken while idle it ends
    // too, unless Auto Zero is on (nothing feeds it: only Stop ends it).
    if (run->calibration().blankInProgress() && s.Acq_State == 1 &&
        (running || !run->switches().autoZero))
        ++blankTicks;
    else
        blankTicks = 0;
    if (blankTicks > s.setup.Threshold_Counter + s.setup.DSP_Interval + 3 &&
        !SearchStats::skipped("blank"))
        broken("a blank has been taken for " + std::to_string(blankTicks) +
               " ticks and does not end");

    followFolder();
}

// The folder the run records in, and how many blocks the run had recorded
// (and the folder held) when it started there: a new folder, or a new run
// (its count starts again) in the folder an idle blank made.
void AcquisitionRig::followFolder() {
    if (run->acquisitionPath() == folder_ && run->blocksRecorded() >= recordedAtFolderStart_)
        return;
    folder_ = run->acquisitionPath();
    recordedAtFolderStart_ = run->blocksRecorded();
    recordsAtFolderStart_ = folder_.empty() ? 0 : countsRecordCount(countsFilePath(folder_));
}

void AcquisitionRig::check() {
    pullLedger();
    if (!run->calibration().blankInProgress()) blankTicks = 0;
    followFolder();
    if (playEnabled != (s.Acq_State == 0))
        broken(std::string("Play is ") + (playEnabled ? "enabled" : "disabled") +
               " with Acq_State " + std::to_string(s.Acq_State));
    if (pauseEnabled != run->acquisitionRunning())
        broken(std::string("Pause is ") + (pauseEnabled ? "enabled" : "disabled") +
               " while an acquisition " + (run->acquisitionRunning() ? "runs" : "does not run"));
    // The timer runs while sampling, and while paused with the time counter on.
    const bool timed = s.Acq_State == 1 || (s.Acq_State == 2 && !run->timeCounterStopped());
    if (run->timerRunning() != timed)
        broken("the timer " + std::string(run->timerRunning() ? "runs" : "is stopped") +
               " with Acq_State " + std::to_string(s.Acq_State));

    for (auto& [folder, f] : folders_)
        checkFolder(folder, f);
    if (!folder_.empty()) {
        const long long records = countsRecordCount(countsFilePath(folder_));
        const long long expected =
            recordsAtFolderStart_ + run->blocksRecorded() - recordedAtFolderStart_;
        if (records != expected)
            broken("counts.bin holds " + std::to_string(records) + " records, the run recorded " +
                   std::to_string(expected) + " blocks in " + folder_);
    }
}

void AcquisitionRig::checkFolder(const std::string& folder, FolderState& f) {
    const std::string counts = countsFilePath(folder);
    const long long size = std::max(0LL, fileSize(counts));
    if (size % kCountsRecordSize != 0)
        broken("counts.bin of " + folder + " ends in a partial record (" + std::to_string(size) +
               " bytes)");
    const std::vector<CountsRecord> records = readCounts(counts);
    if (records.size() != f.blocks.size())
        broken("counts.bin of " + folder + " holds " + std::to_string(records.size()) +
               " records, " + std::to_string(f.blocks.size()) + " were written");
    long long withRaw = 0;
    for (const StoredBlock& b : f.blocks)
        withRaw += b.withRaw ? 1 : 0;
    long long rawRecords = 0;
    const long long rawSize = rawRecordSize(f.rtBuffer);
    for (int n = 0; fileExists(joinPath(folder, rawFileName(n))); ++n) {
        const long long bytes = fileSize(joinPath(folder, rawFileName(n)));
        if (bytes % rawSize != 0)
            broken(rawFileName(n) + " of " + folder + " ends in a partial record");
        rawRecords += bytes / rawSize;
    }
    if (rawRecords != withRaw)
        broken(folder + " holds " + std::to_string(rawRecords) + " raw blocks for " +
               std::to_string(withRaw) + " counts records stored with raw data");

    for (long long i = f.countsChecked; i < static_cast<long long>(records.size()); ++i) {
        const CountsRecord& r = records[static_cast<size_t>(i)];
        if (r.minutes < std::max(0, f.lastMinutes) && !SearchStats::skipped("minutes"))
            broken("record " + std::to_string(i) + " of " + folder + " goes back from minute " +
                   std::to_string(f.lastMinutes) + " to " + std::to_string(r.minutes));
        f.lastMinutes = r.minutes;
        const StoredBlock& b = f.blocks[static_cast<size_t>(i)];
        if (b.withRaw) checkRawBlock(folder, f, i, b);
        if (!b.analysisInput || SearchStats::skipped("recount")) continue;
        recount(folder, i, r, *b.analysisInput, b);
    }
    for (long long i = f.countsChecked; i < static_cast<long long>(records.size()); ++i)
        f.blocks[static_cast<size_t>(i)].analysisInput.reset();
    f.countsChecked = static_cast<long long>(records.size());
}

// The counts of an analysed block are the detection of the block its analysis
// received, and its stored raw block is that block as the detection leaves it
// (the analysed beams clipped).
void AcquisitionRig::recount(const std::string& folder, long long index, const CountsRecord& r,
                             SignalBlock block, const StoredBlock& b) {
    std::vector<int> beams;
    for (int beam = 0; beam < kChannels; ++beam)
        if (s.plate.Channel_Well[beam] >= 0) beams.push_back(beam);
    std::vector<int16_t> events(beams.size(), 0);
    DetectActivityBeams(block, beams.data(), static_cast<int>(beams.size()), b.snr, b.method,
                        events.data());
    const std::string record = "record " + std::to_string(index) + " of " + folder;
    for (size_t k = 0; k < beams.size(); ++k)
        if (r.counts[beams[k]] != events[k])
            broken(record + ": beam " + std::to_string(beams[k]) + " counts " +
                   std::to_string(r.counts[beams[k]]) + ", the detection of its block gives " +
                   std::to_string(events[k]));
    if (!b.withRaw) return;
    SignalBlock stored;
    readRawBlock(joinPath(folder, rawFileName(static_cast<int>(index / kBlocksPerFile))),
                 block.sampleCount() - 1, index % kBlocksPerFile, stored);
    if (!(stored == block)) broken(record + ": its raw block is not the block it counted");
}

void AcquisitionRig::checkRawBlock(const std::string& folder, FolderState& f, long long index,
                                   const StoredBlock& b) {
    if (SearchStats::skipped("raw")) return;
    const int rt = f.rtBuffer;
    SignalBlock block;
    if (!readRawBlock(joinPath(folder, rawFileName(static_cast<int>(index / kBlocksPerFile))), rt,
                      index % kBlocksPerFile, block))
        broken("raw block " + std::to_string(index) + " of " + folder + " does not read back");
    // A group's sample is told by its beams outside the wells, which nothing
    // processes: their values as the instrument sent them.
    auto fingerprint = [&](int group, const std::array<int16_t, 96>* sent, int column) {
        std::string key;
        for (int k = 0; k < kGroupBeams; ++k) {
            const int beam = BeamOfValue(group, k);
            if (s.plate.Channel_Well[beam] >= 0) continue;
            const int16_t v = sent ? (*sent)[static_cast<size_t>(k)] : block.at(beam, column);
            key.append(reinterpret_cast<const char*>(&v), sizeof v);
        }
        return key;
    };
    std::map<int, std::set<std::string>> sentInBlock;
    for (size_t e = b.begin; e < b.end && e < ledger_.size(); ++e) {
        const sim::SentSample& x = ledger_[e];
        if (x.complete && !x.badHigh)
            sentInBlock[x.groupStart].insert(fingerprint(x.groupStart, &x.values, 0));
    }
    auto sentBefore = [&](int g, const std::string& key) {
        for (size_t e = 0; e < b.begin && e < ledger_.size(); ++e)
            if (ledger_[e].groupStart == g && fingerprint(g, &ledger_[e].values, 0) == key)
                return true;
        return false;
    };
    std::set<int> heldColumns;
    for (int c = 0; c < rt; ++c) {
        for (int g : kGroups) {
            const std::string key = fingerprint(g, nullptr, c);
            if (sentInBlock[g].count(key)) continue;
            if (c > 0 && key == fingerprint(g, nullptr, c - 1)) {
                heldColumns.insert(c);
                continue;
            }
            broken("raw block " + std::to_string(index) + " of " + folder + ", sample " +
                   std::to_string(c) + ", group " + std::to_string(g) + ": " +
                   (sentBefore(g, key) ? "a sample the instrument sent before this block"
                                             : "a sample the instrument never sent"));
        }
    }
    if (static_cast<double>(heldColumns.size()) > 0.1 * rt)
        broken("raw block " + std::to_string(index) + " of " + folder + " stored with " +
               std::to_string(heldColumns.size()) + " of " + std::to_string(rt) +
               " samples held");
    f.rawChecked = index + 1;
}

} // namespace trv::test
