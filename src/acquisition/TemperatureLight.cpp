#include "acquisition/TemperatureLight.h"

#include "common/Numeric.h"
#include "device/COM_Module.h"
#include "device/ModCOMM.h"

#include <cmath>
#include <termios.h>

namespace trv {

namespace {

// A box text read as a number: a comma counts as the decimal point.
bool readBox(const std::string& text, double& value) {
    const std::string t = commaAsPoint(text);
    if (!isNumber(t)) return false;
    value = leadingNumber(t);
    return true;
}

double boxValue(const std::string& text) {
    return leadingNumber(commaAsPoint(text));
}

int16_t toInt16(double v) {
    return saturateInt16(roundHalfEven(v));
}

} // namespace

std::string temperatureCaption(const std::string& temperatureText) {
    return "T=" + temperatureText + "*C";
}

TemperatureLight::TemperatureLight(SharedState& state, Ports& ports)
    : state_(state), ports_(ports) {}

void TemperatureLight::changed() {
    if (onPanelChanged) onPanelChanged();
}

void TemperatureLight::ApplyOutputs() {
    DeviceSend(port(), op::OutputState, out.value(), 0);
    // The frame must be on the line before anything purges the port (Stop
    // purges right after switching the element off); a purge would drop it.
    if (port() >= 1 && port() <= kCommPorts && CommIsOpen(port()))
        ::tcdrain(CommPortEntry(port()).handle);
    look.cmd_luz = out.lightOn ? "ON" : "OFF";
    look.shape_light = out.lightOn ? Indicator::Green : Indicator::Red;
    look.cmd_frio = out.heating ? "HEAT" : "COOL";
    look.cmd_ontemp = out.tempOn ? "ON" : "OFF";
    look.shape_temp = !out.tempOn   ? Indicator::White
                      : out.heating ? Indicator::Red
                                    : Indicator::Blue;
    changed();
}

double TemperatureLight::ReadTemperature() {
    return takeReading(DeviceQuery(port(), op::ReadTemperature, 0, 0));
}

double TemperatureLight::TemperatureNotAsked() {
    return takeReading(-1);
}

double TemperatureLight::takeReading(int raw) {
    lastReadingOk = raw >= 0;
    const double t = raw * state_.Temp_Slope + state_.Temp_Offset;
    state_.Temp_Current = t;
    temperatureText = withDecimalMark(fixedDecimals(t, 1), ports_.locale.decimalSeparator());
    return t;
}

void TemperatureLight::RegulateTemperature() {
    RegulateTemperature(ReadTemperature());
}

void TemperatureLight::RegulateTemperature(double t) {
    if (t <= 10 || t >= 38 || !out.tempControlEnabled) {
        out.heating = false;
        out.tempOn = false;
        return;
    }
    const double s = state_.Temp_SetPoint;
    if (s - 0.5 < t && t < s + 0.5) out.tempOn = false;
    if (t >= s + 0.5) {
        out.heating = false;
        out.tempOn = t >= s + 0.6;
    }
    if (t <= s - 0.5) {
        out.heating = true;
        out.tempOn = t <= s - 0.6;
    }
}

void TemperatureLight::ApplyLightSchedule() {
    if (out.lightControlEnabled) {
        const int h = ports_.clock.now().hour;
        if (h == roundHalfEven(boxValue(boxes.txt_lon))) out.lightOn = true;
        if (h == roundHalfEven(boxValue(boxes.txt_loff))) out.lightOn = false;
    }
    ApplyOutputs();
}

void TemperatureLight::ApplyPulseProgram(double t) {
    ProjectSetup& p = state_.setup;
    if (p.Pulse_Times() < 1 || !out.lightControlEnabled) return;
    const double on = p.Pulse_ONx10() / 10.0;
    const double cycle = on + p.Pulse_OFFx10() / 10.0;
    if (t - cycle * p.Pulse_Times() >= 0) {
        ApplyOutputs(); // program over: the light keeps its last state
        return;
    }
    const double k = std::floor(t / cycle);
    const double position = t - k * cycle;
    out.lightOn = on > position;
    ApplyOutputs();
}

void TemperatureLight::ApplyPendingChange() {
    if (!out.outputChangePending) return;
    out.outputChangePending = false;
    ApplyOutputs();
}

bool TemperatureLight::lightOnAtHour(int on, int off, int h) {
    if (off > on) return on <= h && h < off;
    if (off < on) return !(off <= h && h < on);
    return false;
}

void TemperatureLight::StartLightState() {
    if (!out.lightControlEnabled || boxValue(boxes.txt_pulsetimes) != 0) return;
    const int on = static_cast<int>(roundHalfEven(boxValue(boxes.txt_lon)));
    const int off = static_cast<int>(roundHalfEven(boxValue(boxes.txt_loff)));
    out.lightOn = lightOnAtHour(on, off, ports_.clock.now().hour);
    ApplyOutputs();
}

void TemperatureLight::SwitchOff() {
    out.tempOn = false;
    out.lightOn = false;
    ApplyOutputs();
}

// --- Buttons ----------------------------------------------------------------

namespace {
// During an acquisition the tick sends the change; otherwise it goes now.
void sendOrLeavePending(TemperatureLight& tl, const SharedState& s) {
    if (s.Acq_State == 1)
        tl.out.outputChangePending = true;
    else
        tl.ApplyOutputs();
}
} // namespace

void TemperatureLight::cmd_ontemp_Click() {
    out.tempOn = !out.tempOn;
    sendOrLeavePending(*this, state_);
    changed();
}

void TemperatureLight::cmd_frio_Click() {
    out.heating = !out.heating;
    out.tempOn = false; // a new direction always stops the element first
    sendOrLeavePending(*this, state_);
    changed();
}

void TemperatureLight::cmd_luz_Click() {
    out.lightOn = !out.lightOn;
    look.shape_light = out.lightOn ? Indicator::Green : Indicator::Red;
    sendOrLeavePending(*this, state_);
    changed();
}

void TemperatureLight::Cmd_settemp_Click() {
    state_.Temp_SetPoint = boxValue(boxes.txttemp);
}

void TemperatureLight::Chk_lenabled_Click(bool ticked) {
    boxes.Chk_lenabled = ticked;
    out.lightControlEnabled = ticked;
    state_.setup.Light_Enable() = ticked ? 1 : 0;
    changed();
}

void TemperatureLight::Chk_tenabled_Click(bool ticked) {
    boxes.Chk_tenabled = ticked;
    out.tempControlEnabled = ticked;
    state_.setup.Temp_Enable() = ticked ? 1 : 0;
    changed();
}

void TemperatureLight::cmd_cyclepulse_Click() {
    boxes.frm_pulse = !boxes.frm_pulse;
    changed();
}

void TemperatureLight::lght_ctl_Click() {
    if (boxes.Frame_light) {
        boxes.Frame_light = false;
        state_.setup.Menu2 = 0;
    } else {
        ports_.prompter.show("Only available in some hardware versions");
        boxes.Frame_light = true;
        state_.setup.Menu2 = 1;
    }
    changed();
}

void TemperatureLight::temp_ctl_Click() {
    if (boxes.Frame_temp) {
        boxes.Frame_temp = false;
        state_.setup.Menu3 = 0;
    } else {
        ports_.prompter.show("Only available in some hardware versions");
        boxes.Frame_temp = true;
        state_.setup.Menu3 = 1;
    }
    changed();
}

// --- Boxes ------------------------------------------------------------------

namespace {

struct BoxRule {
    double low, high;
    double scale;        // stored = to-integer(value x scale)
    int decimals;        // shown with this many decimals (-2: two digits)
    const char* message; // the invalid-value message
    const char* fallbackText;
    int16_t fallback;
};

} // namespace

static bool leaveBox(const std::string& text, const BoxRule& r, std::string& box, int16_t& stored,
                     Prompter& prompter, const std::string& decimalMark) {
    double v = 0;
    if (readBox(text, v) && v >= r.low && v <= r.high) {
        stored = toInt16(v * r.scale);
        if (r.decimals == -2)
            box = zeroPadded(stored, 2);
        else if (r.decimals == 0)
            box = std::to_string(stored);
        else
            box = withDecimalMark(fixedDecimals(v, r.decimals), decimalMark);
        return true;
    }
    prompter.show(r.message);
    box = r.fallbackText;
    stored = r.fallback;
    return false;
}

void TemperatureLight::txt_lon_LostFocus(const std::string& text) {
    leaveBox(text, {0, 23, 1, -2, "Invalid value: 0 to 23", "9", 9}, boxes.txt_lon,
             state_.setup.Time_ON(), ports_.prompter, ports_.locale.decimalSeparator());
    changed();
}

void TemperatureLight::txt_loff_LostFocus(const std::string& text) {
    leaveBox(text, {0, 23, 1, -2, "Invalid value: 0 to 23", "21", 21}, boxes.txt_loff,
             state_.setup.Time_OFF(), ports_.prompter, ports_.locale.decimalSeparator());
    changed();
}

void TemperatureLight::txt_pulsetimes_LostFocus(const std::string& text) {
    leaveBox(text, {0, 99, 1, 0, "Invalid value: 0-99", "0", 0}, boxes.txt_pulsetimes,
             state_.setup.Pulse_Times(), ports_.prompter, ports_.locale.decimalSeparator());
    boxes.hourBoxesEnabled = state_.setup.Pulse_Times() <= 0;
    changed();
}

void TemperatureLight::txt_pulseon_LostFocus(const std::string& text) {
    leaveBox(text, {0, 1440, 10, 1, "Invalid value: 0.0 to 1440.0", "0", 0}, boxes.txt_pulseon,
             state_.setup.Pulse_ONx10(), ports_.prompter, ports_.locale.decimalSeparator());
    changed();
}

void TemperatureLight::txt_pulseoff_LostFocus(const std::string& text) {
    leaveBox(text, {0, 1440, 10, 1, "Invalid value: 0.0 to 1440.0", "0", 0}, boxes.txt_pulseoff,
             state_.setup.Pulse_OFFx10(), ports_.prompter, ports_.locale.decimalSeparator());
    changed();
}

void TemperatureLight::txttemp_LostFocus(const std::string& text) {
    // The running set point changes only with SET.
    leaveBox(text, {5, 50, 10, 1, "Invalid value: 5.0 to 50.0", "20", 200}, boxes.txttemp,
             state_.setup.Tempx10(), ports_.prompter, ports_.locale.decimalSeparator());
    changed();
}

// --- Start-up ---------------------------------------------------------------

void TemperatureLight::FillPanels() {
    ProjectSetup& p = state_.setup;
    const std::string mark = ports_.locale.decimalSeparator();
    boxes.Frame_light = p.Menu2 == 1;
    boxes.Frame_temp = p.Menu3 == 1;

    boxes.Chk_lenabled = p.Light_Enable() == 1;
    out.lightControlEnabled = p.Light_Enable() == 1;
    p.Menu2 = p.Light_Enable() == 1 ? 1 : 0;

    if (p.Time_ON() == 0 && p.Time_OFF() == 0) {
        p.Time_ON() = 9;
        p.Time_OFF() = 21;
    }
    boxes.txt_lon = std::to_string(p.Time_ON());
    boxes.txt_loff = std::to_string(p.Time_OFF());

    out.outputChangePending = false;
    boxes.frm_pulse = false;

    if (out.lightControlEnabled) {
        boxes.txt_pulsetimes = std::to_string(p.Pulse_Times());
        boxes.txt_pulseon = withDecimalMark(fixedDecimals(p.Pulse_ONx10() / 10.0, 1), mark);
        boxes.txt_pulseoff = withDecimalMark(fixedDecimals(p.Pulse_OFFx10() / 10.0, 1), mark);
        if (p.Pulse_Times() < 1) {
            boxes.hourBoxesEnabled = true;
        } else {
            boxes.frm_pulse = true;
            boxes.hourBoxesEnabled = false;
        }
    }

    boxes.Chk_tenabled = p.Temp_Enable() == 1;
    out.tempControlEnabled = p.Temp_Enable() == 1;

    if (p.Tempx10() < 20 || p.Tempx10() > 500) p.Tempx10() = 200;
    boxes.txttemp = withDecimalMark(fixedDecimals(p.Tempx10() / 10.0, 1), mark);
    changed();
}

} // namespace trv
