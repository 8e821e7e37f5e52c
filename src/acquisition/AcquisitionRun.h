// The acquisition run of the main window as a core object: Play, Pause, Stop
// and the 30 ms timer tick that samples the beams, processes every sample,
// analyses and records every block, and ends the run when the programmed
// lapse has passed. It owns the block arrays (through its RealtimeProcessor),
// the calibration procedures and the temperature and light panels.
//
// How a window drives it
// ----------------------
// * The window creates one AcquisitionRun over the shared state and its
//   ports, fills `hooks` (everything only a window can do: its timer, its
//   buttons, its other windows, its drawings), and sets `switches` from its
//   menus (and keeps them in step when the user toggles them).
// * CmdPlay_Click -> Play(); CmdPause_Click -> Pause(); CmdStop_Click ->
//   Stop().
// * Timeradq: a 30 ms timer that hooks.setTimer(true/false) starts and
//   stops; its timeout calls AcquisitionTick(). The tick guards itself
//   against re-entry (a tick that lets window events run may receive
//   another timeout: that one returns at once).
// * Texts go through ports.status (targets of trv::status): ElapsedTime
//   (Txt_time), Temperature (lbl_temperature), TimeBar (progress),
//   AcquisitionName (txt_subproject), BlankLabel (lblcalibrando, text and
//   visibility), and the status frame: StatusFrame (visibility), its caption
//   StatusCaption (lbl_autotext: "<AUTOCALIBRATION>", "<COM ERROR>",
//   "<< PAUSED >>") and its line StatusLine (lbl_autochannel), with the
//   progress strip Progress. Messages and the name input box go through
//   ports.prompter.
// * The drawings read the run's arrays (display builds its block arrays and
//   plot data from them: runBlockArrays, runPlotData), with sampleIndex as
//   the write position and tickCount for the tick label.
// * Panels: `panels` (TemperatureLight) and `calibration` (Calibration) take
//   the panel and calibration button events; the organism, SNR and
//   body-bends controls are handled here (cmb_organism_Click ...).
// * Start-up: FillControls() after the project is loaded; the main window's
//   activation refresh (while idle): ActivationRefresh().
#pragma once

#include "acquisition/Analysis_Module.h"
#include "acquisition/Calibration.h"
#include "acquisition/DataFiles.h"
#include "acquisition/RealtimeProcessing.h"
#include "acquisition/TemperatureLight.h"
#include "common/Ports.h"
#include "device/COM_Module.h"
#include "store/Module1.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace trv {

// What only the main window can do. Every hook may be left empty.
struct RunHooks {
    // Timeradq (30 ms): started with true, stopped with false.
    std::function<void(bool)> setTimer;
    // Enabled state of CmdPlay, CmdPause, Cmdsetup (">Edit") and Cmdoffline
    // ("<< Back").
    std::function<void(bool)> enableCmdPlay;
    std::function<void(bool)> enableCmdPause;
    std::function<void(bool)> enableCmdsetup;
    std::function<void(bool)> enableCmdoffline;
    // Locks (true) or unlocks the comments box (txt_description).
    std::function<void(bool)> lockComments;
    // Locks (true) or unlocks the organism choice (cmb_organism) and the SNR
    // box (txt_snr_umbral).
    std::function<void(bool)> lockOrganism;
    // Enabled state of chk_bodybends.
    std::function<void(bool)> enableBodyBends;
    // The text of the comments box, written to subproj.dat at Play.
    std::function<std::string()> commentsText;
    // Stops the device-test timer (Timer_test).
    std::function<void()> stopTestTimer;
    // Opens the setup window (Frm_setup) and hides the main window.
    std::function<void()> openSetup;
    // Hides the setup and offline windows.
    std::function<void()> hideOtherWindows;
    // Play, before the disk check: prepares the live plot of the current
    // plot type.
    std::function<void()> prepareLivePlot;
    // Play, once the start calibration is done: display scales reset
    // (LiveDisplay::acquisitionStarted with the cleared arrays).
    std::function<void()> acquisitionStarted;
    // Read Blank: the signal view's group list (LiveDisplay::blankStarted).
    std::function<void()> blankStarted;
    // Tick: the signal view's refresh once per start or resume
    // (SignalView::refreshAfterStart).
    std::function<void()> refreshSignalAfterStart;
    // Every second tick: SignalView::drawNewSamples (the run sets the
    // temperature label right after).
    std::function<void()> drawNewSamples;
    // Every time the real-time window counter wraps: toggle the signal
    // view's traceColourFlag.
    std::function<void()> toggleTraceColour;
    // Block end: LivePlots::refreshActivePlot.
    std::function<void()> refreshActivePlot;
    // Lapse end: "Show my report" (Cmdreport). With autoreport true the
    // report window's "Autoreport" box is set first.
    std::function<void(bool autoreport)> showReport;
    // Lapse end with "User Defined BIN size": the main window is shown again.
    std::function<void()> showMainWindow;
    // Automatic restart: ends this program at once, without the exit
    // question (the new instance has already been started).
    std::function<void()> quitProgram;
    // Body-bends mode switched: show (true) or hide the histogram plot
    // button (Cmd_histoplot).
    std::function<void(bool)> showHistogramButton;
};

// Menu entries and switches of the main window that steer the run.
struct RunSwitches {
    bool autoCalibration = true; // "Auto   Calibration" (Enab_Cal)
    bool autoZero = true;        // "Auto   Zero" (Enab_Zero)
    bool autoRestart = false;    // "AutoRestart on ComError"
    bool userBinSize = false;    // "User Defined BIN size"
};

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

class AcquisitionRun {
  public:
    AcquisitionRun(SharedState& state, Ports& ports);
    AcquisitionRun(const AcquisitionRun&) = delete;
    AcquisitionRun& operator=(const AcquisitionRun&) = delete;

    RunHooks hooks;
    RunSwitches switches;
    RunControls controls;
    RunFileWriters files;
    // Free megabytes of the drive holding a path (-1 when unknown).
    std::function<long long(const std::string&)> freeDiskMB;
    // Unattended runs (started with "/run") have nobody watching the window:
    // what the status frame says about the link and the data files is also
    // written here (by default to the standard error, one line each).
    std::function<void(const std::string&)> printUnattended;
    // A link that answers nothing at all is reopened this often (seconds).
    double reopenSeconds = 5;
    // A block is stored as data only when at most this share of its ticks
    // held a previous sample for want of a valid reply: beyond it the block
    // is mostly copies, and its counts would read as activity that was lost.
    double mostHeldShare = 0.1;

    // The window's SNR value (snr), shown with one decimal.
    double snr = 1.8;
    // Started with "/run": Play takes the name "Autorun project" and skips
    // the disk check. Stop forgets it.
    bool runSwitch = false;

    TemperatureLight panels;
    Calibration calibration;
    RealtimeProcessor realtime;

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

    // --- State (read by the window and the drawings) -----------------------
    int16_t Acq_State() const { return state_.Acq_State; }
    // An acquisition started by Play is running or paused (a blank session
    // that Read Blank started while idle is none).
    bool acquisitionRunning() const {
        return state_.Acq_State != 0 && !calibration.blankSessionRunning();
    }
    bool timerRunning() const { return timerRunning_; }

    std::string acqName;
    std::string acqFolder; // yyyymmdd_hhmm
    double startTime = 0;  // serial days
    double blockStart = 0; // serial days
    int sampleIndex = 0;
    int32_t ticksSinceStart = 0;
    int32_t tickCount = 0;
    int32_t elapsedMinutes = 0;
    double elapsedMinutesExact = 0;
    double secondsPerSample = 0;
    DataFileNumbering numbering;
    int16_t comErrorTicks = 0;
    int16_t bodyBendsGroup = 0;
    int16_t bodyBendsLimit = 127;
    bool finished = false;
    bool timeCounterStopped = false;
    double pausedElapsed = 0; // days, remembered by a pause that stopped the counter
    int32_t signalViewCounter = 0;
    int32_t windowCounter = 0; // real-time window counter, 0..DSP_Interval
    double secondsSum = 0;     // seconds per sample of the recorded blocks
    int32_t blocksRecorded = 0;
    // Blocks ended since Play, recorded or not (numbered from 1 in the log).
    int32_t blocksEnded = 0;
    // Ticks of the current block in which a group held its previous sample.
    int heldTicks = 0;
    // Blocks not stored because too many of their samples were held, and
    // blocks whose counts record could not be written.
    int32_t blocksDropped = 0;
    int32_t blocksLost = 0;
    // Raw and histogram records stop at their first failed write (the files
    // then hold the blocks before it, in step with counts.bin).
    bool rawSavingStopped = false;
    bool histogramSavingStopped = false;
    // No reply at all for a while: the port is being reopened.
    bool linkDown = false;
    int32_t reopenAttempts = 0;

    // Ticks without a single reply byte before the link counts as down.
    static constexpr int kSilentTicksForLinkDown = 3;

    // Cumulative body-bend histograms [beam][bin], and each beam's largest bin.
    BodyBendTable bodyBendsHistogram{};
    ChannelArray<int32_t> bodyBendsLargest{};
    // Beams marked for re-adjustment by the last block analysis.
    std::array<bool, kSlots> readjust{};

    // Full path of the current acquisition folder ("" before Play).
    std::string acquisitionPath() const;
    // The shared state the run works on, for reading.
    const SharedState& sharedState() const { return state_; }
    // Mean seconds per sample of the blocks recorded so far (the running sum
    // before the first one).
    double meanSecondsPerSample() const {
        return blocksRecorded > 0 ? secondsSum / blocksRecorded : secondsSum;
    }
    // "hh:mm:ss [Nd]" of a duration in days.
    static std::string elapsedText(double days);
    // What an unattended run prints at each block end: "00:02:05 [0d]
    // block 4: 4 records written".
    std::string blockProgressLine() const;
    // The input box prompt of Play.
    std::string namePrompt() const;
    // The disk check text of Play, and whether it asks the question.
    struct DiskCheck {
        bool ask = false;
        std::string text;
    };
    static DiskCheck diskCheck(int lapseMinutes, long long freeMB);

    // Called by the tick at each stored sample (after decoding, before the
    // real-time processing): for tests and measurements.
    std::function<void(int sampleIndex)> onSampleStored;
    // Called at a block end just before the block analysis.
    std::function<void()> onBlockAnalysis;

  private:
    friend class Calibration;
    void setTimer(bool on);
    struct TickSample {
        bool bad = false;    // the last group was invalid
        bool held = false;   // some group held its previous sample
        bool silent = false; // not one reply byte came back
    };
    TickSample sampleGroups();
    bool serialHealth(bool bad);
    void watchLink(bool silent);
    bool reopenLink();
    void linkAnswers(const std::string& how);
    void showTrouble(const std::string& caption, const std::string& line);
    void sayUnattended(const std::string& text);
    double minutesSinceStart() const;
    double timeBarPercent() const;
    void blockEnd();
    void blockAnalysis();
    bool writeBlockRecords();
    void logRunEnd(const std::string& how);
    void updateElapsed();
    bool lapseEnd();
    void startStatusFrame(const std::string& caption);
    void hideStatusFrame();
    void warmUp();
    RealtimeSettings realtimeSettings() const;
    int port() const { return state_.config.Serial_COM; }
    void applyOrganismPreset(int index);

    SharedState& state_;
    Ports& ports_;
    bool timerRunning_ = false;
    bool inTick_ = false;
    int silentTicks_ = 0;
    double linkLostAt_ = 0;   // serial days
    double nextReopen_ = 0;   // serial days
    std::string reopenError_; // the last reopen failure logged
    std::string lastPrinted_; // the last text printed for an unattended run
    std::string tickError_;   // the last failure that ended a tick, logged once
    std::array<int16_t, kGroupBeams * 4> groupBuffer_{};
};

} // namespace trv
