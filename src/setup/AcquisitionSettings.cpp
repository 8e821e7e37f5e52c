#include "setup/AcquisitionSettings.h"

#include "common/Numeric.h"
#include "common/Ports.h"
#include "store/ProjectFile.h"

#include <algorithm>

namespace trv {

namespace {

// A typed number, "," accepted as the decimal mark.
double typedNumber(const std::string& text) { return leadingNumber(commaAsPoint(text)); }

// Nearest integer of a typed value, kept within the 16-bit field.
int16_t typedInt16(double v) {
    if (!(v == v)) return 0;
    return saturateInt16(roundHalfEven(std::clamp(v, -32768.0, 32767.0)));
}

} // namespace

const std::vector<std::string>& organismNames() {
    static const std::vector<std::string> v{"C.elegans", "Zebrafish", "Echinococcus", "Drosophila"};
    return v;
}

const std::vector<std::string>& dspMethodNames() {
    static const std::vector<std::string> v{
        "0_Threshold+Binary (Old Method.w/filters)", "1_Threshold Avrg (Default.Agar&Liquid)",
        "2_Motility Index(ameboid movement)", "3_Drosophila (Threshold)"};
    return v;
}

const std::vector<std::string>& aqModeNames() {
    static const std::vector<std::string> v{"0_Offline",     "1_Default",     "2_Fast(0.31)",
                                            "3_Fast(32.63)", "4_Fast(64.95)", "5_Fast(96.127)"};
    return v;
}

const std::vector<std::string>& noYes() {
    static const std::vector<std::string> v{"NO", "YES"};
    return v;
}

bool organismPreset(int organism, OrganismPreset& preset) {
    static const OrganismPreset presets[4] = {{18, 1}, {28, 1}, {18, 2}, {8, 3}};
    if (organism < 0 || organism > 3) return false;
    preset = presets[organism];
    return true;
}

bool validSnr(int organism, double v) {
    if (organism == 3) return v >= 0.5 && v < 1.0;
    return v >= 1.4 && v <= 5.0;
}

AcquisitionSettings::AcquisitionSettings(SharedState& state, Ports& ports, SetupHooks& hooks)
    : s_(state), ports_(ports), hooks_(hooks) {}

std::string AcquisitionSettings::decimalMark() const {
    std::string mark = ports_.locale.decimalSeparator();
    return mark.empty() ? "." : mark;
}

std::string AcquisitionSettings::snrShown(int snrx10) const {
    return withDecimalMark(fixedDecimals(snrx10 / 10.0, 1), decimalMark());
}

void AcquisitionSettings::mainTool(MainTool tool, bool shown) {
    if (hooks_.mainTool) hooks_.mainTool(tool, shown);
}

bool AcquisitionSettings::menuChecked(int n) const {
    switch (n) {
    case 4: return s_.setup.Menu4 != 0;
    case 5: return s_.setup.Menu5 != 0;
    case 6: return s_.setup.Menu6 != 0;
    default: return false;
    }
}

void AcquisitionSettings::fill() {
    ProjectSetup& st = s_.setup;
    lapseText_ = std::to_string(st.Aq_lapse);
    sampleText_ = std::to_string(st.Sample_Rate);
    bufferText_ = std::to_string(st.RT_Buffer);
    dspIntervalText_ = std::to_string(st.DSP_Interval);

    if (st.SNRx10() != 0) {
        snrText_ = snrShown(st.SNRx10());
    } else {
        OrganismPreset preset;
        // Drosophila keeps whatever the box showed: its default comes when
        // the window is left.
        if (st.Organism() != 3 && organismPreset(st.Organism(), preset)) {
            st.SNRx10() = static_cast<int16_t>(preset.snrx10);
            snrText_ = snrShown(preset.snrx10);
        }
    }
    snrEnabled_ = false;

    saveCountIndex_ = 1;
    saveRealIndex_ = (st.Save_real == 0 || st.Save_real == 1) ? st.Save_real : -1;

    st.Menu1 = 1;
    mainTool(MainTool::Calibration, true);
    hideAdvanced();
}

void AcquisitionSettings::organismChosen(int index) {
    ProjectSetup& st = s_.setup;
    st.Organism() = static_cast<int16_t>(index);
    OrganismPreset preset;
    if (!organismPreset(index, preset)) return;
    st.SNRx10() = static_cast<int16_t>(preset.snrx10);
    st.DSP_Method = static_cast<int16_t>(preset.dspMethod);
    snrText_ = snrShown(preset.snrx10);
}

void AcquisitionSettings::dspChosen(int index) {
    if (index >= 0) s_.setup.DSP_Method = static_cast<int16_t>(index);
}

void AcquisitionSettings::aqModeChosen(int index) {
    if (index >= 0) s_.setup.Aq_mode = static_cast<int16_t>(index);
}

void AcquisitionSettings::lapseChanged(const std::string& text) {
    double v = typedNumber(text);
    lapseText_ = text;
    if (v >= 32000) {
        s_.setup.Aq_lapse = 32000;
        lapseText_ = "32000";
        return;
    }
    // Judged on the rounded value: 0.4 minutes would be a lapse of 0.
    if (!(v > 0) || roundHalfEven(v) < 1) {
        s_.setup.Aq_lapse = 2;
        lapseText_ = "2";
        return;
    }
    s_.setup.Aq_lapse = typedInt16(v);
}

void AcquisitionSettings::sampleChanged(const std::string& text) {
    sampleText_ = text;
    s_.setup.Sample_Rate = typedInt16(typedNumber(text));
}

void AcquisitionSettings::dspIntervalChanged(const std::string& text) {
    dspIntervalText_ = text;
    s_.setup.DSP_Interval = typedInt16(typedNumber(text));
}

void AcquisitionSettings::bufferLeft(const std::string& text) {
    bufferText_ = text;
    double v = typedNumber(text);
    if (v < kRtBufferMin || v > kRtBufferMax) bufferText_ = std::to_string(kRtBufferFallback);
    s_.setup.RT_Buffer = typedInt16(typedNumber(bufferText_));
    // 199.6 passes the range test but rounds below it.
    if (s_.setup.RT_Buffer < kRtBufferMin) {
        s_.setup.RT_Buffer = kRtBufferFallback;
        bufferText_ = std::to_string(kRtBufferFallback);
    }
}

void AcquisitionSettings::saveCountChosen(int) {
    // Counts are always saved: the reports are made from them. The box goes
    // back to "YES" so it never claims otherwise.
    s_.setup.Save_counts = 1;
    saveCountIndex_ = 1;
}

void AcquisitionSettings::saveRealChosen(const std::string& text) {
    s_.setup.Save_real = text == "YES" ? 1 : 0;
    saveRealIndex_ = s_.setup.Save_real;
}

void AcquisitionSettings::calibrationClicked(bool checked) {
    s_.setup.Menu1 = checked ? 1 : 0;
    mainTool(MainTool::Calibration, checked);
}

void AcquisitionSettings::lightClicked(bool checked) {
    s_.setup.Menu2 = checked ? 1 : 0;
    mainTool(MainTool::Light, checked);
}

void AcquisitionSettings::temperatureClicked(bool checked) {
    s_.setup.Menu3 = checked ? 1 : 0;
    mainTool(MainTool::Temperature, checked);
}

void AcquisitionSettings::advancedClicked() { advancedVisible_ = !advancedVisible_; }

void AcquisitionSettings::advancedMenu() {
    advancedVisible_ = !advancedVisible_;
    advancedButtonVisible_ = advancedVisible_;
}

void AcquisitionSettings::hideAdvanced() {
    advancedVisible_ = false;
    advancedButtonVisible_ = false;
}

void AcquisitionSettings::snrDoubleClicked() { snrEnabled_ = true; }

bool AcquisitionSettings::snrLeft(const std::string& text) {
    // The box is first shown with one decimal; the value is read back from
    // that text, so what is kept is what the user sees.
    std::string oneDecimal = fixedDecimals(typedNumber(text), 1);
    double v = leadingNumber(oneDecimal);
    const int organism = s_.setup.Organism();
    if (validSnr(organism, v)) {
        s_.setup.SNRx10() = typedInt16(v * 10);
        snrText_ = withDecimalMark(oneDecimal, decimalMark());
        return true;
    }
    ports_.prompter.show(organism == 3 ? kSnrErrorDrosophila : kSnrErrorOthers);
    OrganismPreset preset;
    if (organismPreset(organism, preset)) {
        s_.setup.SNRx10() = static_cast<int16_t>(preset.snrx10);
        snrText_ = snrShown(preset.snrx10);
    } else {
        snrText_ = withDecimalMark(oneDecimal, decimalMark());
    }
    return false;
}

void AcquisitionSettings::defaultSnrIfZero() {
    if (s_.setup.SNRx10() != 0) return;
    OrganismPreset preset;
    if (organismPreset(s_.setup.Organism(), preset))
        s_.setup.SNRx10() = static_cast<int16_t>(preset.snrx10);
}

DetectionSummary AcquisitionSettings::summary() const {
    const ProjectSetup& st = s_.setup;
    const int organism = s_.setup.Mn[0][0];
    const auto& names = organismNames();
    std::string name =
        organism >= 0 && organism < static_cast<int>(names.size()) ? names[static_cast<size_t>(organism)] : "";
    const int snrx10 = st.Mn[0][3];
    DetectionSummary d;
    d.detection = "Detection Mode" + std::to_string(st.DSP_Method) + ", " + name + " [snr " +
                  snrShown(snrx10) + "]";
    d.snr = withDecimalMark(plainReal(snrx10 / 10.0), decimalMark());
    d.organism = organism >= 0 && organism < static_cast<int>(names.size()) ? organism : -1;
    return d;
}

} // namespace trv
