// The calibration workbench (Frm_Arena): a technician's tool for the beams of
// one instrument. Live trace of a chosen beam and of the whole plate, power
// and gain of one beam or of all, an acknowledged SET of every beam, the
// automatic search for the power and gain that bring every beam to a target
// level, the gain-curve recording over every low power and gain, and a
// channel's enabled flag and detection threshold (kept in memory; saved with
// the project).
//
// The window owns its controls, its sampling timer (Timerreal) and its
// drawing surfaces; it copies the fields below into its controls after each
// call (and from onViewChanged during long procedures).
#pragma once

#include "common/Ports.h"
#include "display/Surface.h"
#include "store/Module1.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace trv {

inline constexpr int kWorkbenchHistory = 600; // samples kept per beam
inline constexpr int kPeakWindow = 11;        // samples behind a threshold value

// The automatic search's band around a target percentage of 2048:
// (t + 5) x 20.48 and (t - 5) x 20.48, to the nearest integers.
std::pair<int, int> SearchBand(double targetPercent);

// A power or gain typed in a SET box: the number at its start, to the nearest
// integer; outside 0..highest it becomes 0.
int SettingFromText(const std::string& text, int highest);

// The mode list's text for a project's Cal_mode.
std::string CalibrationModeText(int calMode);

// multitsk.dat: one record per port 1..15, the port and whether a program
// has it in use.
using PortFlags = std::vector<std::pair<int, bool>>;
bool ReadMultitask(const std::string& path, PortFlags& flags);
bool WriteMultitask(const std::string& path, const PortFlags& flags);

struct WorkbenchHooks {
    // Starts or stops the sampling timer (Timerreal).
    std::function<void(bool on)> setSampling;
    // The main window's selected channel (read when the window opens,
    // written when another channel is chosen).
    std::function<int()> mainChannel;
    std::function<void(int channel)> setMainChannel;
    // "Main", "Setup", "OffLine": switch to those windows.
    std::function<void()> showMain, showSetup, showOffline;
    // "EXIT": end the program.
    std::function<void()> endProgram;
};

class Workbench {
  public:
    Workbench(SharedState& state, Ports& ports);

    WorkbenchHooks hooks;
    // Called when the fields changed inside a long procedure, before window
    // events are let run.
    std::function<void()> onViewChanged;
    // Surfaces: the trace (Picreal), the plate (Picwell), the pixel scan
    // (Picwell_out); any may be missing.
    Surface* picreal = nullptr;
    Surface* picwell = nullptr;
    Surface* picwellOut = nullptr;

    // --- what the controls show ---
    int channel = 0;         // lblcanal
    std::string status;      // lblstatus: "ENABLED" / "DISABLED"
    int power = 0, gain = 0; // scrollpower/txtpower, scrollgain/txtgain
    std::string lblout;      // last reply
    std::string txt_power = "0", txt_ganancia = "0";
    std::string Txtajuste = "80"; // target percent
    std::string Combomode = "Max.Gain";
    std::string lblcalibrando; // search progress
    bool progressShown = false;
    std::string txt_test;    // gain-curve progress text
    double testProgress = 0; // picturecal, 0..1
    double threshold = 3.0;  // Scroll_threshold / txt_threshold
    int zoom = 0;            // txtzoom, 0..10
    int pixelSize = 4;       // txt_pixsize
    int brightness = 255;    // txt_brillo, 0..255
    bool online = false;
    bool onlineEnabled = true; // the ONLINE button
    bool busy = false;         // gain-curve test running

    // --- the window's events ---
    // Opening: target and mode from the project, the main window's channel.
    void open();
    // Row letter and column number lists.
    void Combofila_Click(char rowLetter);
    void Combocol_Click(int column);
    // A click on Picwell's cell (column 0..23, row 0..15).
    void Picwell_Click(int column, int row);
    // The power and gain scroll bars.
    void scrollpower_Change(int value);
    void scrollgain_Change(int value);
    void Cmd_setall_Click();
    void cmd_setcalibra_Click();
    void Cmdcalibrar_Click();
    void cmdTEST_Click();
    void lblstatus_DblClick();
    void Scroll_threshold_Change(double value);
    void cmdonline_Click();
    void cmdoffline_Click();
    void Timerreal_Timer();
    void zoomIn();
    void zoomOut();
    void brighter();
    void darker();
    void cmdexit_Click();
    void cmdmain_Click();
    void cmdsetup_Click();
    void cmdofflinewindow_Click();

    // One sample of all beams into the history.
    void takeSample();
    // The history of one beam: level and threshold at ring position i.
    int16_t level(int beam, int position) const;
    double thresholdValue(int beam, int position) const;
    int writePosition() const { return writePos_; }
    long sampleCount() const { return sampleCount_; }
    // The latest sample of every beam.
    const std::array<int16_t, kSlots>& latest() const { return latest_; }
    // The automatic search's last settings.
    int searchPower(int beam) const { return searchPower_[static_cast<size_t>(beam)]; }
    int searchGain(int beam) const { return searchGain_[static_cast<size_t>(beam)]; }

    // Drawing of the trace and the plate (after each sample and each choice).
    void redraw();

  private:
    void chooseChannel(int ch);
    void showChannelState();
    bool instrument();
    bool writeAll(const std::function<std::pair<int, int>(int beam)>& setting);
    void sendSetting(int beam, int value);
    // Acknowledged write of one beam's setting; the messages when it fails.
    bool writeSetting(int beam, int power, int gain);
    bool sampleGroupOf(int beam, int& level);
    bool setAndMeasure(int beam, int p, int g, int& level);
    bool searchBeam(int beam, int low, int high);
    void search(int low, int high);
    void changed();
    void resetHistory();
    void scanStep();

    SharedState& s_;
    Ports& ports_;
    // A search or a gain curve is running (window events run inside them).
    bool inProcedure_ = false;
    std::vector<std::array<int16_t, kSlots>> history_;
    std::vector<std::array<double, kSlots>> thresholds_;
    std::array<int16_t, kSlots> latest_{};
    int writePos_ = 0;
    long sampleCount_ = 0;
    std::array<int, kSlots> searchPower_{};
    std::array<int, kSlots> searchGain_{};
    int scanX_ = 0, scanY_ = 0;
};

// The trace of one beam's history (levels black, threshold red) with the
// write position marked, and the zoom (0..10) spreading the lower levels.
void Dibujar_traza(Surface& s, const Workbench& w, int beam);
// The plate of beam cells, grey by level, the chosen channel outlined in
// green and disabled channels crossed.
void Dibujar_matriz(Surface& s, std::span<const int16_t> levels, const ChannelTables& tables,
                    int chosen);

} // namespace trv
