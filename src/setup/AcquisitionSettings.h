// The acquisition and detection settings of the setup window: organism and
// detection method with the signal-to-noise threshold, lapse, mode, sample
// rate, detection interval, buffer, what to save, the tool switches and the
// advanced frame. Edits the current ProjectSetup in SharedState at once; the
// file changes when the project is saved.
#pragma once

#include "setup/SetupHooks.h"
#include "store/Module1.h"

#include <string>
#include <vector>

namespace trv {

struct Ports;

inline constexpr const char* kSnrErrorDrosophila = "Enter a valid SNR: 0.5 to 0.9";
inline constexpr const char* kSnrErrorOthers = "Enter a valid SNR: 1.4 to 5.0";
inline constexpr const char* kAdvancedShown = "[Advanced Tools]    <-";
inline constexpr const char* kAdvancedHidden = "[Advanced Tools]    ->";

// Entries of Cmb_organism, ComboDSP, Combo_aqmode and the two save lists.
const std::vector<std::string>& organismNames();
const std::vector<std::string>& dspMethodNames();
const std::vector<std::string>& aqModeNames();
const std::vector<std::string>& noYes();

// The preset of an organism (0..3): SNR x 10 and detection method; false for
// any other index.
struct OrganismPreset {
    int snrx10;
    int dspMethod;
};
bool organismPreset(int organism, OrganismPreset& preset);

// True when SNR v is valid for the organism: 0.5 <= v < 1.0 for Drosophila,
// 1.4 <= v <= 5.0 for the others.
bool validSnr(int organism, double v);

class AcquisitionSettings {
public:
    AcquisitionSettings(SharedState& state, Ports& ports, SetupHooks& hooks);

    // Fills the controls from the current project (on opening and after a
    // project load).
    void fill();

    // --- what the controls show (indices -1: nothing selected)
    int organismIndex() const { return s_.setup.Organism(); }
    int dspIndex() const { return s_.setup.DSP_Method; }
    int aqModeIndex() const { return s_.setup.Aq_mode; }
    int saveCountIndex() const { return saveCountIndex_; }
    int saveRealIndex() const { return saveRealIndex_; }
    const std::string& snrText() const { return snrText_; }
    bool snrEnabled() const { return snrEnabled_; }
    const std::string& lapseText() const { return lapseText_; }
    const std::string& sampleText() const { return sampleText_; }
    const std::string& dspIntervalText() const { return dspIntervalText_; }
    const std::string& bufferText() const { return bufferText_; }
    bool calibrationChecked() const { return s_.setup.Menu1 != 0; }
    bool calibrationEnabled() const { return false; }
    bool lightChecked() const { return s_.setup.Menu2 != 0; }
    bool temperatureChecked() const { return s_.setup.Menu3 != 0; }
    bool menuChecked(int n) const; // Chk_mn4..Chk_mn6 for n = 4..6
    bool advancedVisible() const { return advancedVisible_; }
    bool advancedButtonVisible() const { return advancedButtonVisible_; }
    std::string advancedCaption() const { return advancedVisible_ ? kAdvancedShown : kAdvancedHidden; }

    // --- editing
    void organismChosen(int index);
    void dspChosen(int index);
    void aqModeChosen(int index);
    // The lapse text changed; the text may be corrected (lapseText()).
    void lapseChanged(const std::string& text);
    void sampleChanged(const std::string& text);
    void dspIntervalChanged(const std::string& text);
    // The buffer box lost the focus.
    void bufferLeft(const std::string& text);
    void saveCountChosen(int index);
    void saveRealChosen(const std::string& text);
    void calibrationClicked(bool checked);
    void lightClicked(bool checked);
    void temperatureClicked(bool checked);
    void advancedClicked();     // cmd_advanced
    void advancedMenu();        // mn_advanced
    void hideAdvanced();        // on opening and on leaving the window
    void snrDoubleClicked();    // enables lbl_snr for editing
    // lbl_snr lost the focus: validates the text. False when it was refused
    // (the message was shown and the focus goes back to the box).
    bool snrLeft(const std::string& text);

    // SNRx10 from the organism when it is 0 (before leaving for the main window).
    void defaultSnrIfZero();
    // The texts for the main window.
    DetectionSummary summary() const;

private:
    std::string snrShown(int snrx10) const;
    std::string decimalMark() const;
    void mainTool(MainTool tool, bool shown);

    SharedState& s_;
    Ports& ports_;
    SetupHooks& hooks_;

    int saveCountIndex_ = 1;
    int saveRealIndex_ = 1;
    std::string snrText_;
    bool snrEnabled_ = false;
    std::string lapseText_, sampleText_, dspIntervalText_, bufferText_;
    bool advancedVisible_ = false;
    bool advancedButtonVisible_ = false;
};

} // namespace trv
