// The acquisition rig of the stateful search: the run over a program folder
// and the simulated instrument on COM1 of a real pty, the fake clock, the
// connection and calibration commands the main window calls, a disk that
// can fill up, and the checks that must hold after every action.
#pragma once

#include "acquisition/AcquisitionRun.h"
#include "device/Connection.h"
#include "support/Fakes.h"
#include "support/SimPorts.h"
#include "support/TempDir.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace trv::test {

struct AcquisitionRig {
    AcquisitionRig();
    ~AcquisitionRig();

    TempDir dir;
    SimPorts sims;
    FakePorts fake;
    SharedState s;
    ComPortMenu menu;
    std::unique_ptr<AcquisitionRun> run;
    sim::SimInstrument* sim = nullptr; // null while the instrument is killed
    int simSeed = 7;
    int tickMs = 70; // fake time per timer tick

    // What the window shows, as the run's hooks set it.
    bool playEnabled = true;
    bool pauseEnabled = false;
    // The disk refuses every write (leaving a part of the record behind).
    bool diskFull = false;
    // Ticks of the blank in progress (Read Blank starts it again).
    int blankTicks = 0;
    // The instrument's replies come this late (ms).
    int lateRepliesMs = 0;

    // --- World -----------------------------------------------------------
    void killInstrument();
    void restartInstrument();
    // One timer tick when the timer runs (the fake time of a tick passes
    // either way); every tick is checked.
    void tick();
    void ticks(int n);

    // --- Checks (throw on failure, with what broke) -----------------------
    // After every action.
    void check();

  private:
    // Every beam sample the instrument sent, over all its restarts.
    std::vector<sim::SentSample> ledger_;
    size_t simCursor_ = 0;
    void pullLedger();

    // The ledger span of the block being sampled, and of the raw block the
    // writer has just stored (moved to the folder once its counts record is
    // written too).
    size_t tickStart_ = 0, blockBegin_ = 0;
    struct StoredBlock {
        size_t begin = 0, end = 0;
        // The block as the analysis received it, when the block was analysed
        // (Auto Zero on); dropped once the record is checked.
        std::shared_ptr<SignalBlock> analysisInput;
        double snr = 0;
        int method = 0;
        bool withRaw = false;
    };
    // The block the run's analysis is handed at this block's end.
    std::shared_ptr<SignalBlock> analysisInput_;
    double analysisSnr_ = 0;
    int analysisMethod_ = 0;
    StoredBlock pending_;
    bool pendingRaw_ = false;

    struct FolderState {
        std::vector<StoredBlock> blocks; // one per counts record written
        long long countsChecked = 0;
        long long rawChecked = 0;
        int32_t lastMinutes = -1;
        int rtBuffer = 0;
    };
    std::map<std::string, FolderState> folders_;
    std::string folder_;
    int32_t recordedAtFolderStart_ = 0;
    long long recordsAtFolderStart_ = 0;
    void followFolder();

    // Lapse watch.
    int ticksPastLapse_ = 0;
    int32_t reopensBefore_ = 0;

    void wireFiles();
    void checkTick(double wallMs, bool linkDownBefore, int stateBefore, bool recordingBefore,
                   int32_t endedBefore, int32_t accountedBefore);
    void checkFolder(const std::string& folder, FolderState& f);
    void checkRawBlock(const std::string& folder, FolderState& f, long long index,
                       const StoredBlock& b);
    void recount(const std::string& folder, long long index, const CountsRecord& r,
                 SignalBlock block, const StoredBlock& b);
};

} // namespace trv::test
