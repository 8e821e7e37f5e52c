// Channel calibration: every beam's power and gain are stepped until its
// receiver level sits in the band 1638..1843 (Calibrate at the start of an
// acquisition and on "Fast CALIB", ReAdjust for beams that drift too high at
// a block end), and the thresholds are measured from the noise (Zero on
// "Fast ZERO" and at the start, ReadBlank on "Read Blank"). The settings
// live in calvalue.dat in the program folder.
//
// The procedures belong to one AcquisitionRun and reach it only through
// CalibrationContext: they sample into its raw block, watch its run state
// (Stop pressed while window events run ends them), stop it when a setting
// cannot be written during the start calibration, and restart its block,
// counters and folder around a blank reading.
#pragma once

#include "acquisition/RealtimeProcessing.h"
#include "acquisition/RunHooks.h"
#include "common/Clock.h"
#include "common/Ports.h"
#include "store/Module1.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace trv {

// What the calibration reaches of its run (the run implements it).
class CalibrationContext {
  public:
    // The run's real-time processing: its raw block, which the procedures
    // sample into, and the blank reading's extremes and thresholds.
    virtual RealtimeProcessor& processor() = 0;
    // Auto Calibration and Auto Zero, which the menu entries set.
    virtual const RunSwitches& switches() const = 0;
    virtual void setAutoCalibration(bool on) = 0;
    virtual void setAutoZero(bool on) = 0;
    // The SNR the thresholds are taken with (the buttons take it from the box).
    virtual double snr() const = 0;
    virtual void setSnr(double v) = 0;
    // The window's hooks (its buttons and other windows during a blank).
    virtual const RunHooks& hooks() const = 0;
    // Sampled ticks, and the name given at Play.
    virtual int32_t tickCount() const = 0;
    virtual const std::string& acqName() const = 0;
    // The folder the run records in (a name in the project folder).
    virtual void setAcquisitionFolder(const std::string& name) = 0;
    // The block starts again at its first sample; the start time and the
    // block's start are now.
    virtual void restartBlock() = 0;
    virtual void restartClock() = 0;
    // A blank begins: the run is not finished, its block, tick and window
    // counters and file numbering start again (and, idle, its bad ticks).
    virtual void blankRestart(bool idle) = 0;
    // The acquisition records on after its blank: block, counters, file
    // numbering, detection state, block counts, elapsed and start time anew.
    virtual void recordingRestart() = 0;
    // The run's timer (Timeradq), its status frame, and its Stop.
    virtual void setTimer(bool on) = 0;
    virtual void showStatusFrame(const std::string& caption) = 0;
    virtual void hideStatusFrame() = 0;
    virtual void stop() = 0;

  protected:
    ~CalibrationContext() = default;
};

// Where one beam is in its calibration.
struct BeamCalibration {
    bool done = false;
    int direction = 0; // -1 lowering, 0 none, 1 raising
};

// What the calibration controls of the main window show.
struct CalibrationControls {
    bool cmd_calibra = false;           // "Fast CALIB" shown (while Auto Calibration is off)
    bool Cmd_autozero = false;          // "Fast ZERO" shown (while Auto Zero is off)
    bool Cmd_readblank = false;         // "Read Blank" shown (manual calibration on)
    bool autoCalibrationEnabled = true; // menu entry "Auto   Calibration" usable
    bool autoZeroEnabled = true;        // menu entry "Auto   Zero" usable
    bool manualOn = false;              // "Manual_Calibration" "ON" checked
    bool manualOff = true;              // "Manual_Calibration" "OFF" checked
};

class Calibration {
  public:
    static constexpr int LOW = 1638;  // 40 % of 4096
    static constexpr int HIGH = 1843; // 45 % of 4096

    Calibration(SharedState& state, Ports& ports, CalibrationContext& run);

    CalibrationControls controls;
    // Called after anything the controls show has changed.
    std::function<void()> onControlsChanged;
    // "Manual_Calibration" "OFF" sets the setup window's "Calibration
    // Control" box.
    std::function<void()> setCalibrationControlBox;

    // One band step of a beam whose level is v. Changes power and gain as
    // needed; true when the beam's new setting has to be written.
    static bool BandStep(int v, int16_t& power, int16_t& gain, BeamCalibration& beam);

    // Full calibration of all beams (Play with Auto Calibration on, "Fast
    // CALIB"). While idle it only loads and saves calvalue.dat. True when it
    // ended with "Calibration OK".
    bool Calibrate();
    // Re-adjustment of the beams marked true (block end). Ends quietly on a
    // failed write; the acquisition goes on.
    bool ReAdjust(const std::array<bool, kSlots>& marked);
    // Thresholds from a short burst of samples (Play with Auto Zero on, "Fast
    // ZERO"): 30 samples when both switches are on, else 100.
    void Zero();
    // Thresholds from the signal over Threshold_Counter ticks of the run
    // (Auto Zero off). Pressed while idle it starts a sampling session that
    // records nothing and ends by itself when the blank is taken. Pressed
    // during an acquisition it stops recording, takes the blank into a
    // folder of its own and, once the blank is taken, the acquisition
    // records on in that folder from a fresh block and start time.
    void ReadBlank();
    // Called by the run after each tick that fed the blank: ends the blank
    // when the tick counter has passed Threshold_Counter.
    void BlankTick();
    // A blank taken during an acquisition has ended: the tick hands the
    // recording back (resumeRecording) instead of going on with its block.
    bool recordingToResume() const { return resumeRecording_; }
    // Read Blank pressed while idle is sampling on its own.
    bool blankSessionRunning() const { return blankSession_; }
    // A blank is being taken, on its own or during the acquisition.
    bool blankInProgress() const { return blankSession_ || blankInRun_; }
    void resumeRecording();
    // A blank in progress is given up without new thresholds: a session
    // started while idle ends, an acquisition records on at once.
    void cancelBlank(const std::string& why);
    // Stop: whatever blank was going on is over.
    void endBlank();

    // Buttons: take the SNR from the box text ("Fast ZERO" reads a comma as
    // a decimal point), show the status frame, run, hide the frame.
    void cmd_calibra_Click(const std::string& snrText);
    void Cmd_autozero_Click(const std::string& snrText);
    void Cmd_readblank_Click();

    // Menu switches.
    void AutoCalibration_Click(bool checked);
    void AutoZero_Click(bool checked);
    void ManualCalibrationOn();
    void ManualCalibrationOff();
    // Start-up: the switches from Enab_Cal and Enab_Zero, the buttons shown
    // while their switch is off, manual calibration off.
    void FillControls();

  private:
    bool calibrationPass(bool withWarmup, int16_t* levels, bool lenient);
    void changed();
    int serialPort() const { return state_.config.Serial_COM; }

    SharedState& state_;
    Ports& ports_;
    CalibrationContext& run_;
    bool blankSession_ = false; // Read Blank started the sampling itself
    bool blankInRun_ = false;   // a blank interrupts the acquisition's recording
    bool resumeRecording_ = false;
    LocalDateTime blankFolderTime_{}; // when the blank's folder was made
    long long blankStartTick_ = 0;
};

} // namespace trv
