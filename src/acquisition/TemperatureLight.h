// Temperature and light control of the main window: the output state sent to
// the instrument (FF 00 10 m F0), the regulation around the set point at
// every block end, the daily light schedule, the light pulse program, the
// manual buttons of the two panels (Frame_temp, Frame_light), the validation
// of their boxes, and their filling at start-up.
//
// The object keeps what the panels show (captions, indicator colours, box
// texts, enabled and visible flags) so the window only copies these fields
// into its controls after each call; onPanelChanged tells it when to.
#pragma once

#include "common/Ports.h"
#include "store/Module1.h"

#include <functional>
#include <string>

namespace trv {

// Output state, all false at load; never read back from the instrument.
struct OutputState {
    bool lightOn = false;
    bool heating = false; // direction of the element: true heating, false cooling
    bool tempOn = false;  // element driven
    bool outputChangePending = false;
    bool lightControlEnabled = false; // Chk_lenabled
    bool tempControlEnabled = false;  // Chk_tenabled

    // m = 4 x light + 2 x heating + element, 0..7.
    int value() const { return (lightOn ? 4 : 0) + (heating ? 2 : 0) + (tempOn ? 1 : 0); }
};

// "T=" + temperature text + "*C": the main window's temperature label, set
// with every incremental drawing of the signal view and at every block end.
std::string temperatureCaption(const std::string& temperatureText);

enum class Indicator { White, Red, Green, Blue };

// Captions and indicators of the panel buttons.
struct PanelLook {
    std::string cmd_luz = "OFF";
    Indicator shape_light = Indicator::Red;
    std::string cmd_frio = "COOL";
    std::string cmd_ontemp = "OFF";
    Indicator shape_temp = Indicator::White;
};

// Texts and states of the panel boxes (design texts until the start-up fill).
struct PanelBoxes {
    std::string txt_lon = "09";
    std::string txt_loff = "21";
    std::string txt_pulsetimes = "0";
    std::string txt_pulseon = "1";
    std::string txt_pulseoff = "9";
    std::string txttemp = "20";
    bool hourBoxesEnabled = true; // txt_lon and txt_loff
    bool frm_pulse = false;       // pulse frame shown
    bool Frame_light = false;     // light panel shown
    bool Frame_temp = false;      // temperature panel shown
    bool Chk_lenabled = false;
    bool Chk_tenabled = false;
};

class TemperatureLight {
  public:
    TemperatureLight(SharedState& state, Ports& ports);

    OutputState out;
    PanelLook look;
    PanelBoxes boxes;
    // Temp_Current with one decimal ("0.0"), shown as "T=" + text + "*C".
    std::string temperatureText = "0.0";

    // Called after anything the panels show has changed.
    std::function<void()> onPanelChanged;

    // Sends the output state (result ignored) and refreshes the captions and
    // indicators.
    void ApplyOutputs();

    // Reads the sensor (FF 00 21 00 F0): raw x Temp_Slope + Temp_Offset (a
    // missing reply reads as raw -1, which keeps the element off). Sets
    // Temp_Current, temperatureText and lastReadingOk.
    double ReadTemperature();
    // The same as a reading without reply, without asking the instrument
    // (it has just not answered).
    double TemperatureNotAsked();
    // False when the last ReadTemperature got no reply: its value is no
    // measurement and is never stored.
    bool lastReadingOk = false;

    // Block-end regulation: reads the temperature, then sets heating and
    // tempOn around Temp_SetPoint (element off below 10 or from 38 degrees,
    // or when regulation is disabled). Does not send.
    void RegulateTemperature();
    // The same with a temperature already read in this block end.
    void RegulateTemperature(double celsius);
    // Block end, after the regulation: switches the light during the hour
    // that equals the on or off hour, then ApplyOutputs (always).
    void ApplyLightSchedule();
    // Pulse program at minutes since the acquisition's start (fractional):
    // cycles of on then off from the start, Pulse_Times of them; afterwards
    // the light keeps its last state. Sends the outputs when active.
    void ApplyPulseProgram(double minutesSinceStart);
    // Sends a change a panel button left pending during an acquisition.
    void ApplyPendingChange();
    // Play: light from the daily hours (only with light control enabled and
    // no pulse program), then ApplyOutputs.
    void StartLightState();
    // Lapse end and Stop: element and light off (direction kept), sent.
    void SwitchOff();

    // Panel buttons.
    void cmd_ontemp_Click();
    void cmd_frio_Click();
    void cmd_luz_Click();
    void Cmd_settemp_Click(); // Temp_SetPoint = value of txttemp
    void Chk_lenabled_Click(bool ticked);
    void Chk_tenabled_Click(bool ticked);
    void cmd_cyclepulse_Click();
    // Menu entries "Light Control" (lght_ctl) and "Temperature Control" (temp_ctl).
    void lght_ctl_Click();
    void temp_ctl_Click();

    // Leaving a box with the text it holds: validated, stored in the
    // project, and the box text rewritten (boxes.*).
    void txt_lon_LostFocus(const std::string& text);
    void txt_loff_LostFocus(const std::string& text);
    void txt_pulsetimes_LostFocus(const std::string& text);
    void txt_pulseon_LostFocus(const std::string& text);
    void txt_pulseoff_LostFocus(const std::string& text);
    void txttemp_LostFocus(const std::string& text);

    // Start-up filling of both panels from the project.
    void FillPanels();
    // Activation refresh of the main window: the pending change is dropped.
    void ActivationRefresh() { out.outputChangePending = false; }

    // The light of the daily schedule at an hour: on < off: on <= h < off;
    // off < on: outside off <= h < on; equal: off.
    static bool lightOnAtHour(int on, int off, int hour);

  private:
    void changed();
    double takeReading(int raw);
    int port() const { return state_.config.Serial_COM; }

    SharedState& state_;
    Ports& ports_;
};

} // namespace trv
