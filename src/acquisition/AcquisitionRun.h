// The acquisition run of the main window as a core object: Play, Pause, Stop
// and the 30 ms timer tick that samples the beams, processes every sample,
// analyses and records every block, and ends the run when the programmed
// lapse has passed. It owns the block arrays (through its RealtimeProcessor),
// the calibration procedures and the temperature and light panels. It draws
// nothing and includes no window code: windows read its state through the
// const accessors and are told when to draw through RunHooks.
//
// Life cycle
// ----------
// Play (CmdPlay_Click) checks, in this order, and refuses with its message,
//   leaving everything idle: a name for the experiment (the input box; a run
//   started with "/run" takes "Autorun project"), a project other than #0
//   (the setup window opens), an instrument (not OFFLINE MODE), and, for an
//   attended run saving raw data for more than 30 minutes, the disk space
//   question. It then writes the acquisition folder (a run that cannot
//   write it does not start), sets Acq_State 1 and recording, locks the
//   controls, clears the block arrays, totals, histograms and file
//   numbering, reads the temperature, sets the start light state, and runs
//   the start calibration (Auto Calibration) and threshold burst (Auto
//   Zero). A Stop during those ends Play with false. Otherwise the counters
//   restart, the start time is now, and the 30 ms timer (Timeradq) starts.
// Ticks (AcquisitionTick, each timeout of Timeradq): a tick that comes while
//   another runs (window events let in by a long step) returns at once.
//   While running (Acq_State 1) a tick warms the link after a start or
//   resume, samples the four beam groups (two in body-bends mode) into the
//   raw block at sampleIndex, holding a group's previous sample of the block
//   when its reply is invalid (a group without a reading at the block's
//   first sample takes its first reading of the block); a read that comes
//   short ends the tick's asking (the groups after it hold, a block end in
//   the tick does not read the temperature, a reopening waits for the next
//   tick), so a tick waits out the port's time-out once at most; counts bad ticks
//   ("<COM ERROR>" after 20) and reopens a link that stays silent every
//   reopenSeconds, without asking the port anything in between (those ticks
//   hold every group); after a reopening it records only from the
//   instrument it started with (same identification value, and the same
//   factory data where the connection read it); hands the sample to the
//   real-time processing (spike removal and statistics with Auto Zero, the
//   running threshold curve and counting without, the blank reading); has
//   the signal view draw the new samples every second tick; then advances
//   tickCount and sampleIndex. While paused with the time counter on
//   (Acq_State 2) a tick only keeps the elapsed time, the lapse and the
//   light program going.
// Block end (sampleIndex wraps at RT_Buffer): seconds per sample of the
//   block, the temperature read and regulated, the light schedule applied.
//   A block in which more than mostHeldShare of the ticks held a sample is
//   neither analysed nor stored (counted in blocksDropped). Otherwise, with
//   Auto Zero on, it is analysed: thresholds from its envelope, events per
//   beam (block counts and totals), body-bends histograms, and beams that
//   drifted too high re-adjusted at once. The live plots are refreshed.
//   While recording, its records are written in this order: the raw block
//   (with raw saving on), the counts record (always; when it fails the
//   block's raw record is taken back and the block counts in blocksLost)
//   and the histogram record (body-bends mode). Raw and histogram saving
//   stop for the rest of the run at their first failure. Each recorded
//   block advances the file numbering (numbering()) that names the raw and
//   histogram files.
// Lapse end (the elapsed whole minutes reach Aq_lapse at a block boundary,
// or at any tick while the link is down, the unfinished block not stored):
//   the timer stops, light and element are switched off, the report is
//   shown (with "User Defined BIN size" the report window with Autoreport
//   and then the main window; otherwise "Acquisition finished"), and Stop
//   follows; finished() tells this end from a Stop.
// Pause (CmdPause_Click) asks "Pause Time Counter?": Yes stops the timer
//   and the time counter (the start time moves on at resume), No goes on
//   counting time without sampling. Pressed again it resumes sampling.
// Stop (CmdStop_Click, the lapse end, a failed start calibration): Acq_State
//   0, the timer stopped, light and element off, the controls unlocked, a
//   blank in progress ended, the port purged; "/run" is forgotten.
// Read Blank during a run (Auto Zero off): recording stops, the blank is
//   taken into a folder of its own, and the acquisition then records on in
//   that folder from a fresh block, file numbering and start time.
//   Switching Auto Zero on (or manual calibration off) gives a blank in
//   progress up: the acquisition records on at once.
// Automatic restart ("AutoRestart on ComError"): after 30 bad ticks in a
//   row the run logs its end, stops the timer, closes the port, starts a new
//   instance of the program with "/run" (an unattended run, "Autorun
//   project", in a folder of its own) and quits this one without the exit
//   question (hooks.quitProgram).
//
// How a window drives it
// ----------------------
// * The window creates one AcquisitionRun over the shared state and its
//   ports, gives it its hooks (setHooks: everything only a window can do:
//   its timer, its buttons, its other windows, its drawings) and keeps its
//   menu switches in step (setAutoRestart, setUserBinSize; the calibration
//   sets Auto Calibration and Auto Zero).
// * CmdPlay_Click -> Play(); CmdPause_Click -> Pause(); CmdStop_Click ->
//   Stop(); Timeradq's timeout -> AcquisitionTick().
// * Texts go through ports.status (targets of trv::status): ElapsedTime
//   (Txt_time), Temperature (lbl_temperature), TimeBar (progress),
//   AcquisitionName (txt_subproject), BlankLabel (lblcalibrando, text and
//   visibility), and the status frame: StatusFrame (visibility), its caption
//   StatusCaption (lbl_autotext: "<AUTOCALIBRATION>", "<COM ERROR>",
//   "<< PAUSED >>") and its line StatusLine (lbl_autochannel), with the
//   progress strip Progress. Messages and the name input box go through
//   ports.prompter.
// * The drawings read the run's arrays (realtime(), bodyBendsHistogram())
//   with sampleIndex() as the write position and tickCount() for the tick
//   label; display builds its own block arrays and plot data from them.
// * Panels: panels() (TemperatureLight) and calibration() (Calibration)
//   take the panel and calibration button events; the organism, SNR and
//   body-bends controls are handled here (cmb_organism_Click ...), and
//   controls() is what they show.
// * Start-up: FillControls() after the project is loaded; the main window's
//   activation refresh (while idle): ActivationRefresh().
#pragma once

#include "acquisition/Analysis_Module.h"
#include "acquisition/Calibration.h"
#include "acquisition/DataFiles.h"
#include "acquisition/RealtimeProcessing.h"
#include "acquisition/RunHooks.h"
#include "acquisition/TemperatureLight.h"
#include "common/Ports.h"
#include "device/COM_Module.h"
#include "device/Connection.h"
#include "store/Module1.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace trv {

// The data file writers, replaceable so tests can make a write fail.
struct RunFileWriters {
    std::function<bool(const std::string&, int32_t, const ChannelArray<int16_t>&)> counts =
        AppendCounts;
    std::function<bool(const std::string&, int, const SignalBlock&)> raw = AppendRawBlock;
    std::function<bool(const std::string&, int, double, double, const BodyBendTable&)> histogram =
        AppendHistogram;
};

// Organism and SNR controls (cmb_organism, txt_snr_umbral and its label),
// body-bends check box (chk_bodybends).
struct RunControls {
    int cmb_organism = 0; // entry index
    std::string organismText = "C elegans(>L4)";
    std::string txt_snr_umbral = "1.8"; // SNR box text
    bool snrBoxVisible = false;
    std::string snrLabel = ">>>>"; // label next to the SNR box
    bool chk_bodybends = false;    // ticked
    bool bodyBendsVisible = false;
    bool bodyBendsEnabled = true;
    std::string plateFormatLabel; // the plate format label ("w96u" ...)
};

inline constexpr const char* kAutorunName = "Autorun project";

class AcquisitionRun final : private CalibrationContext {
  public:
    AcquisitionRun(SharedState& state, Ports& ports);
    AcquisitionRun(const AcquisitionRun&) = delete;
    AcquisitionRun& operator=(const AcquisitionRun&) = delete;

    // --- Configuration (set by the window, or by tests) --------------------
    void setHooks(RunHooks hooks) { hooks_ = std::move(hooks); }
    const RunHooks& hooks() const override { return hooks_; }
    void setFileWriters(RunFileWriters files) { files_ = std::move(files); }
    const RunFileWriters& fileWriters() const { return files_; }
    // Menu switches; the calibration's menu entries set the first two too.
    const RunSwitches& switches() const override { return switches_; }
    void setAutoCalibration(bool on) override { switches_.autoCalibration = on; }
    void setAutoZero(bool on) override { switches_.autoZero = on; }
    void setAutoRestart(bool on) { switches_.autoRestart = on; }
    void setUserBinSize(bool on) { switches_.userBinSize = on; }
    // Free megabytes of the drive holding a path (-1 when unknown).
    void setFreeDiskMB(std::function<long long(const std::string&)> f) {
        freeDiskMB_ = std::move(f);
    }
    // Unattended runs (started with "/run") have nobody watching the window:
    // what the status frame says about the link and the data files is also
    // written here (by default to the standard error, one line each; empty
    // for none).
    void setPrintUnattended(std::function<void(const std::string&)> f) {
        printUnattended_ = std::move(f);
    }
    // A link that answers nothing at all is reopened this often (seconds).
    void setReopenSeconds(double s) { reopenSeconds_ = s; }
    // A block is stored as data only when at most this share of its ticks
    // held a previous sample for want of a valid reply: beyond it the block
    // is mostly copies, and its counts would read as activity that was lost.
    void setMostHeldShare(double share) { mostHeldShare_ = share; }
    // Started with "/run": Play takes the name "Autorun project" and skips
    // the disk check. Stop forgets it.
    void setRunSwitch(bool on) { runSwitch_ = on; }
    bool runSwitch() const { return runSwitch_; }
    // The window's SNR value (snr), shown with one decimal.
    void setSnr(double v) override { snr_ = v; }
    double snr() const override { return snr_; }
    // What the organism, SNR and body-bends controls show; the window hands
    // back what the setup window chose.
    const RunControls& controls() const { return controls_; }
    void setControls(RunControls c) { controls_ = std::move(c); }
    // Called by the tick at each stored sample (after decoding, before the
    // real-time processing), with the raw block: for tests and measurements,
    // which may put a signal of their own in the sample.
    void setOnSampleStored(std::function<void(int sampleIndex, SignalBlock& rawBlock)> f) {
        onSampleStored_ = std::move(f);
    }
    // Called at a block end just before the block analysis.
    void setOnBlockAnalysis(std::function<void()> f) { onBlockAnalysis_ = std::move(f); }
    // Called at the end of each block and at each change of state (started,
    // paused, resumed, stopped, link lost and back), on the run's thread:
    // watchers read the state here and must return at once.
    void setOnProgress(std::function<void()> f) { onProgress_ = std::move(f); }

    // --- Sub-objects whose commands the window calls ------------------------
    TemperatureLight& panels() { return panels_; }
    const TemperatureLight& panels() const { return panels_; }
    Calibration& calibration() { return calibration_; }
    const Calibration& calibration() const { return calibration_; }

    // --- Commands ---------------------------------------------------------
    // CmdPlay_Click. True when an acquisition started (and still runs).
    bool Play();
    // CmdPause_Click: pauses (asking "Pause Time Counter?") or resumes.
    void Pause();
    // CmdStop_Click; also the lapse end and a failed start calibration.
    void Stop();
    // Timeradq_Timer.
    void AcquisitionTick();

    // --- Controls ---------------------------------------------------------
    // Organism chosen (entry 0..3): its preset of the SNR box.
    void cmb_organism_Click(int index);
    // Label next to the SNR box clicked: the box is shown or hidden.
    void lbl_snr_Click();
    // Leaving the SNR box.
    void txt_snr_umbral_LostFocus(const std::string& text);
    // chk_bodybends ticked or unticked.
    void chk_bodybends_Click(bool ticked);

    // Start-up filling of the organism, SNR, calibration switches and
    // panels from the project (after it was loaded).
    void FillControls();
    // Activation of the main window while idle: block arrays for RT_Buffer
    // + 1 samples cleared, totals and histograms cleared, blank mode off,
    // the panels' pending change dropped, body-bends box enabled only for
    // "w96u" and hidden.
    void ActivationRefresh();

    // --- State (read by the window, the drawings and tests) ----------------
    int16_t Acq_State() const { return state_.Acq_State; }
    // An acquisition started by Play is running or paused (a blank session
    // that Read Blank started while idle is none).
    bool acquisitionRunning() const {
        return state_.Acq_State != 0 && !calibration_.blankSessionRunning();
    }
    bool timerRunning() const { return timerRunning_; }
    // The shared state the run works on.
    const SharedState& sharedState() const { return state_; }

    const std::string& acqName() const override { return acqName_; }
    const std::string& acqFolder() const { return acqFolder_; } // yyyymmdd_hhmm
    // Full path of the current acquisition folder ("" before Play).
    std::string acquisitionPath() const;
    double startTime() const { return startTime_; }   // serial days
    double blockStart() const { return blockStart_; } // serial days
    // Where the next sample goes in the block (0..RT_Buffer-1).
    int sampleIndex() const { return sampleIndex_; }
    // Ticks since Play or resume, and sampled ticks since Play.
    int32_t ticksSinceStart() const { return ticksSinceStart_; }
    int32_t tickCount() const override { return tickCount_; }
    int32_t elapsedMinutes() const { return elapsedMinutes_; }
    double elapsedMinutesExact() const { return elapsedMinutesExact_; }
    double secondsPerSample() const { return secondsPerSample_; } // of the last block
    // Mean seconds per sample of the blocks recorded so far (the running sum
    // before the first one).
    double meanSecondsPerSample() const {
        return blocksRecorded_ > 0 ? secondsSum_ / blocksRecorded_ : secondsSum_;
    }
    const DataFileNumbering& numbering() const { return numbering_; }
    // Bad ticks in a row.
    int16_t comErrorTicks() const { return comErrorTicks_; }
    // The first beam group sampled in body-bends mode.
    int16_t bodyBendsGroup() const { return bodyBendsGroup_; }
    // The run ended at its lapse (not by Stop).
    bool finished() const { return finished_; }
    bool timeCounterStopped() const { return timeCounterStopped_; }
    int32_t blocksRecorded() const { return blocksRecorded_; }
    // Blocks ended since Play, recorded or not (numbered from 1 in the log).
    int32_t blocksEnded() const { return blocksEnded_; }
    // Blocks not stored because too many of their samples were held, and
    // blocks whose counts record could not be written.
    int32_t blocksDropped() const { return blocksDropped_; }
    int32_t blocksLost() const { return blocksLost_; }
    // Raw and histogram records stop at their first failed write (the files
    // then hold the blocks before it, in step with counts.bin).
    bool rawSavingStopped() const { return rawSavingStopped_; }
    bool histogramSavingStopped() const { return histogramSavingStopped_; }
    // No reply at all for a while: the port is being reopened.
    bool linkDown() const { return linkDown_; }
    int32_t reopenAttempts() const { return reopenAttempts_; }

    // Ticks without a single reply byte before the link counts as down.
    static constexpr int kSilentTicksForLinkDown = 3;

    // The block arrays, block counts and totals.
    const RealtimeProcessor& realtime() const { return realtime_; }
    // Cumulative body-bend histograms [beam][bin], and each beam's largest bin.
    const BodyBendTable& bodyBendsHistogram() const { return bodyBendsHistogram_; }
    const ChannelArray<int32_t>& bodyBendsLargest() const { return bodyBendsLargest_; }

    // "hh:mm:ss [Nd]" of a duration in days.
    static std::string elapsedText(double days);
    // What an unattended run prints at each block end: "00:02:05 [0d]
    // block 4: 4 records written".
    std::string blockProgressLine() const;
    // "37 blocks recorded, 7 dropped, 5 not saved".
    std::string blockTotals() const;
    // The last line of an unattended run: its name, folder and block totals.
    std::string finishedLine() const;
    // The input box prompt of Play.
    std::string namePrompt() const;
    // The disk check text of Play, and whether it asks the question.
    struct DiskCheck {
        bool ask = false;
        std::string text;
    };
    static DiskCheck diskCheck(int lapseMinutes, long long freeMB);

  private:
    // Block, tick and file counters back to the start of a recording.
    void restartCounters();
    // What only the calibration reaches (CalibrationContext).
    RealtimeProcessor& processor() override { return realtime_; }
    void setAcquisitionFolder(const std::string& name) override { acqFolder_ = name; }
    void restartBlock() override { sampleIndex_ = 0; }
    void restartClock() override;
    void blankRestart(bool idle) override;
    void recordingRestart() override;
    void setTimer(bool on) override;
    void showStatusFrame(const std::string& caption) override;
    void hideStatusFrame() override;
    void stop() override { Stop(); }

    struct TickSample {
        bool bad = false;    // the last group was invalid
        bool held = false;   // some group held its previous sample
        bool silent = false; // not one reply byte came back
    };
    TickSample sampleGroups();
    TickSample holdAllGroups();
    int tickGroups(std::array<int, 4>& groups) const;
    void holdGroup(int groupStart);
    void storeGroup(int groupStart, const BeamGroupSample& g);
    std::string otherInstrument(int id);
    bool serialHealth(bool bad);
    void watchLink(bool silent);
    bool reopenLink();
    void linkAnswers(const std::string& how);
    // `always`: printed by an attended run too.
    void showTrouble(const std::string& caption, const std::string& line, bool always = false);
    void sayUnattended(const std::string& text, bool always = false);
    double minutesSinceStart() const;
    double timeBarPercent() const;
    void blockEnd();
    void blockAnalysis();
    bool writeBlockRecords();
    void logRunEnd(const std::string& how);
    void updateElapsed();
    bool lapseEnd();
    void warmUp();
    RealtimeSettings realtimeSettings() const;
    int port() const { return state_.config.Serial_COM; }
    void applyOrganismPreset(int index);

    SharedState& state_;
    Ports& ports_;

    // Configuration.
    RunHooks hooks_;
    RunSwitches switches_;
    RunControls controls_;
    RunFileWriters files_;
    std::function<long long(const std::string&)> freeDiskMB_;
    std::function<void(const std::string&)> printUnattended_;
    double reopenSeconds_ = 5;
    double mostHeldShare_ = 0.1;
    double snr_ = 1.8;
    bool runSwitch_ = false;
    std::function<void(int, SignalBlock&)> onSampleStored_;
    std::function<void()> onBlockAnalysis_;
    std::function<void()> onProgress_;
    void progress() {
        if (onProgress_) onProgress_();
    }

    TemperatureLight panels_;
    Calibration calibration_;
    RealtimeProcessor realtime_;

    // Run state.
    std::string acqName_;
    std::string acqFolder_;
    double startTime_ = 0;
    double blockStart_ = 0;
    int sampleIndex_ = 0;
    int32_t ticksSinceStart_ = 0;
    int32_t tickCount_ = 0;
    int32_t elapsedMinutes_ = 0;
    double elapsedMinutesExact_ = 0;
    double secondsPerSample_ = 0;
    DataFileNumbering numbering_;
    int16_t comErrorTicks_ = 0;
    int16_t bodyBendsGroup_ = 0;
    int16_t bodyBendsLimit_ = 127;
    bool finished_ = false;
    bool timeCounterStopped_ = false;
    double pausedElapsed_ = 0; // days, remembered by a pause that stopped the counter
    int32_t signalViewCounter_ = 0;
    int32_t windowCounter_ = 0; // real-time window counter, 0..DSP_Interval
    double secondsSum_ = 0;     // seconds per sample of the recorded blocks
    int32_t blocksRecorded_ = 0;
    int32_t blocksEnded_ = 0;
    int heldTicks_ = 0; // ticks of the current block in which a group held its sample
    bool startWritten_ = false; // the folder's start.dat
    int32_t blocksDropped_ = 0;
    int32_t blocksLost_ = 0;
    bool rawSavingStopped_ = false;
    bool histogramSavingStopped_ = false;
    bool linkDown_ = false;
    int32_t reopenAttempts_ = 0;
    BodyBendTable bodyBendsHistogram_{};
    ChannelArray<int32_t> bodyBendsLargest_{};
    // Beams marked for re-adjustment by the last block analysis.
    std::array<bool, kSlots> readjust_{};

    bool timerRunning_ = false;
    bool inTick_ = false;
    int silentTicks_ = 0;
    // A read of this tick came short (it waited out the port's time-out, or
    // the port failed): the tick asks the instrument nothing more, so it
    // never waits on the port for longer than one read's time-out.
    bool portGaveUp_ = false;
    double linkLostAt_ = 0;   // serial days
    double nextReopen_ = 0;   // serial days
    std::string reopenError_; // the last reopen failure logged
    std::string lastPrinted_; // the last text printed for an unattended run
    std::string tickError_;   // the last failure that ended a tick, logged once
    std::string foreignLine_; // another instrument answers on the port: what is shown
    // The instrument the run started with: its identification value and,
    // when the connection read it, its factory data.
    struct RunInstrument {
        int id = 0;
        bool factoryRead = false;
        FactoryCalibration factory;
    } runInstrument_;
    // Groups whose first reading of the block is still to come (held at the
    // block's first sample), by group start / 32.
    std::array<bool, kGroupStarts.size()> awaitingReading_{};
    static size_t groupSlot(int groupStart) { return static_cast<size_t>(groupStart / 32); }
};

} // namespace trv
