// Channel calibration: every beam's power and gain are stepped until its
// receiver level sits in the band 1638..1843 (Calibrate at the start of an
// acquisition and on "Fast CALIB", ReAdjust for beams that drift too high at
// a block end), and the thresholds are measured from the noise (Zero on
// "Fast ZERO" and at the start, ReadBlank on "Read Blank"). The settings
// live in calvalue.dat in the program folder.
//
// The procedures belong to one AcquisitionRun: they sample into its block
// arrays, watch its run state (Stop pressed while window events run ends
// them) and stop it when a setting cannot be written during the start
// calibration.
#pragma once

#include "common/Clock.h"
#include "store/Module1.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace trv {

class AcquisitionRun;

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

    explicit Calibration(AcquisitionRun& run);

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
    void resumeRecording();

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
    friend class AcquisitionRun;
    bool calibrationPass(bool withWarmup, int16_t* levels, bool lenient);
    // Stop: whatever blank was going on is over.
    void endBlank();
    void changed();

    AcquisitionRun& run_;
    bool blankSession_ = false; // Read Blank started the sampling itself
    bool blankInRun_ = false;   // a blank interrupts the acquisition's recording
    bool resumeRecording_ = false;
    LocalDateTime blankFolderTime_{}; // when the blank's folder was made
    long long blankStartTick_ = 0;
};

} // namespace trv
