#include "maintenance/Workbench.h"

#include "common/Files.h"
#include "common/Numeric.h"
#include "common/RunLog.h"
#include "common/TextRecord.h"
#include "device/COM_Module.h"
#include "device/Connection.h"
#include "maintenance/DeviceTest.h"
#include "maintenance/RegisterWrite.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace trv {

namespace {

constexpr int kColumns = 24;
constexpr int kRows = 16;
constexpr const char* kWriteFailure =
    "Communication error. Check COM PORT and equipment connection.";

int groupStartOf(int beam) {
    return (beam % 128) / 32 * 32;
}

// Position of a beam's value in its group's reply.
int valueIndexOf(int beam) {
    return 3 * (beam % 128 - groupStartOf(beam)) + beam / 128;
}

std::string beamsLine(const std::string& head, const std::array<int, kChannels>& values) {
    std::string line = head;
    for (int v : values)
        line += " " + std::to_string(v);
    return line + "\r\n";
}

} // namespace

std::pair<int, int> SearchBand(double t) {
    return {static_cast<int>(roundHalfEven((t + 5) * 20.48)),
            static_cast<int>(roundHalfEven((t - 5) * 20.48))};
}

int SettingFromText(const std::string& text, int highest) {
    const double v = leadingNumber(commaAsPoint(text));
    if (!(v >= -0.5 && v < highest + 0.5)) return 0;
    return static_cast<int>(roundHalfEven(v));
}

std::string CalibrationModeText(int calMode) {
    if (calMode == 1) return "Max.Gain";
    if (calMode == 2) return "Max.Power";
    return std::to_string(calMode) + "_Max.Gain";
}

bool ReadMultitask(const std::string& path, PortFlags& flags) {
    const auto data = readWholeFile(path, 64 * 1024);
    if (!data) return false;
    PortFlags read;
    try {
        RecordReader r(*data);
        for (int i = 0; i < kSearchPorts; ++i) {
            const int port = static_cast<int>(roundHalfEven(leadingNumber(r.item())));
            read.emplace_back(port, r.item() == "#TRUE#");
        }
    } catch (const RecordError&) {
        return false;
    }
    flags = std::move(read);
    return true;
}

bool WriteMultitask(const std::string& path, const PortFlags& flags) {
    std::string text;
    for (const auto& [port, inUse] : flags)
        text += std::to_string(port) + (inUse ? ",#TRUE#\r\n" : ",#FALSE#\r\n");
    return writeFileAtomic(path, text);
}

Workbench::Workbench(SharedState& state, Ports& ports)
    : s_(state), ports_(ports), history_(kWorkbenchHistory), thresholds_(kWorkbenchHistory) {
    resetHistory();
}

void Workbench::changed() {
    if (onViewChanged) onViewChanged();
}

void Workbench::resetHistory() {
    for (auto& h : history_)
        h.fill(0);
    for (auto& t : thresholds_)
        t.fill(0.0);
    latest_.fill(0);
    writePos_ = 0;
    sampleCount_ = 0;
}

void Workbench::open() {
    Txtajuste = std::to_string(s_.setup.Cal_value);
    Combomode = CalibrationModeText(s_.setup.Cal_mode);
    online = false;
    onlineEnabled = true;
    progressShown = false;
    busy = false;
    const int ch = hooks.mainChannel ? hooks.mainChannel() : channel;
    chooseChannel(std::clamp(ch, 0, kChannels - 1));
}

void Workbench::showChannelState() {
    status =
        s_.channels.Channel_Enabled[static_cast<size_t>(channel)] != 0 ? "ENABLED" : "DISABLED";
    threshold = s_.channels.Channel_Threshold[static_cast<size_t>(channel)];
}

void Workbench::chooseChannel(int ch) {
    if (ch < 0 || ch >= kChannels) return;
    channel = ch;
    showChannelState();
    if (hooks.setMainChannel) hooks.setMainChannel(ch);
    redraw();
}

void Workbench::Combofila_Click(char rowLetter) {
    const int row = rowLetter - 'A';
    if (row < 0 || row >= kRows) return;
    chooseChannel(channel / kRows * kRows + row);
}

void Workbench::Combocol_Click(int column) {
    if (column < 1 || column > kColumns) return;
    chooseChannel((column - 1) * kRows + channel % kRows);
}

void Workbench::Picwell_Click(int column, int row) {
    if (column < 0 || column >= kColumns || row < 0 || row >= kRows) return;
    chooseChannel(column * kRows + row);
    if (!online || !InstrumentInUse(s_)) return;
    const BeamRegister r = BeamSettingRegister(channel);
    const int bank = r.bank - kWriteBank0; // register read: bank 0 or 1
    int reply = -1;
    for (int attempt = 0; attempt < 3 && reply < 0; ++attempt)
        reply = DeviceQuery(s_.config.Serial_COM, op::ReadRegister, r.reg, bank);
    if (reply < 0) return;
    gain = reply / 32;
    power = std::min(reply % 32, 7);
}

bool Workbench::instrument() {
    if (InstrumentInUse(s_)) return true;
    ports_.prompter.show(kWriteFailure);
    return false;
}

void Workbench::sendSetting(int beam, int value) {
    const BeamRegister r = BeamSettingRegister(beam);
    for (int i = 0; i < 9; ++i) {
        const int reply = DeviceQuery(s_.config.Serial_COM, r.reg, value, r.bank);
        lblout = std::to_string(reply);
    }
}

void Workbench::scrollpower_Change(int value) {
    power = std::clamp(value, 0, 7);
    if (online && InstrumentInUse(s_)) sendSetting(channel, gain * 32 + power);
}

void Workbench::scrollgain_Change(int value) {
    gain = std::clamp(value, 0, 7);
    if (online && InstrumentInUse(s_)) sendSetting(channel, gain * 32 + power);
}

void Workbench::Cmd_setall_Click() {
    if (inProcedure_ || !online || !instrument()) return;
    for (int b = 0; b < kChannels; ++b)
        sendSetting(b, gain * 32 + power);
}

bool Workbench::writeAll(const std::function<std::pair<int, int>(int)>& setting) {
    if (!instrument()) return false;
    for (int b = 0; b < kChannels; ++b) {
        const auto [p, g] = setting(b);
        if (!writeSetting(b, p, g)) return false;
    }
    return true;
}

bool Workbench::writeSetting(int beam, int p, int g) {
    const BeamRegister r = BeamSettingRegister(beam);
    if (WriteRegisterAcknowledged(s_.config.Serial_COM, r.bank, r.reg, g * 32 + p, ports_.clock))
        return true;
    runlog::error("Calibration workbench: the setting of beam " + std::to_string(beam) +
                  " was not acknowledged");
    ports_.prompter.show("Ops...Data Writing ERROR: reg(" + std::to_string(beam) +
                         ")... Check COM and Try again");
    ports_.prompter.show(kWriteFailure);
    return false;
}

void Workbench::cmd_setcalibra_Click() {
    if (inProcedure_) return;
    // Power 0..8 as the boxes always took it; a gain above 7 would not fit
    // the setting byte (gain x 32 + power) and becomes 0 like any other
    // value out of range.
    const int p = SettingFromText(txt_power, 8);
    const int g = SettingFromText(txt_ganancia, 7);
    txt_power = std::to_string(p);
    txt_ganancia = std::to_string(g);
    changed();
    writeAll([&](int) { return std::pair{p, g}; });
}

bool Workbench::sampleGroupOf(int beam, int& level) {
    const int start = groupStartOf(beam);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const BeamGroupSample g = RequestBeamSample(s_.config.Serial_COM, start);
        if (g.valid) {
            level = g.values[static_cast<size_t>(valueIndexOf(beam))];
            latest_[static_cast<size_t>(beam)] = static_cast<int16_t>(level);
            return true;
        }
        ports_.clock.sleepMs(200);
    }
    runlog::error("Calibration workbench: no sample of group " + std::to_string(start) +
                  " in three tries");
    ports_.prompter.show("Ops...Data Sending ERROR reg(" + std::to_string(start) +
                         ")... Try again");
    return false;
}

bool Workbench::setAndMeasure(int beam, int p, int g, int& level) {
    searchPower_[static_cast<size_t>(beam)] = p;
    searchGain_[static_cast<size_t>(beam)] = g;
    if (!writeSetting(beam, p, g)) return false;
    ports_.clock.sleepMs(100);
    return sampleGroupOf(beam, level);
}

// The search for one beam, from power 3 and gain 7. False when an exchange
// failed (the search ends).
bool Workbench::searchBeam(int b, int low, int high) {
    int p = 3, g = 7, v = 0;
    auto set = [&](int np, int ng) {
        p = np;
        g = ng;
        return setAndMeasure(b, p, g, v);
    };
    if (!sampleGroupOf(b, v)) return false;
    // Too dark: more power at full gain.
    while (v < low && p <= 6)
        if (!set(p + 1, 7)) return false;
    // Too bright: less gain, then less power, keeping the highest gain that
    // stays at or under the band's top.
    if (v > high) {
        if (!set(p, 0)) return false;
        for (;;) {
            if (v <= high || p <= 2) {
                if (!set(p, 7)) return false;
                while (v > high && g >= 1)
                    if (!set(p, g - 1)) return false;
                break;
            }
            if (!set(p - 1, 7)) return false;
            if (v > high && !set(p, 0)) return false;
        }
    }
    // Power 3 at gain 0 still dark: power 2 at the best gain, unless that is
    // darker still.
    if (v < low && g == 0 && p == 3) {
        const int remembered = v;
        if (!set(2, 7)) return false;
        while (v > high && g >= 1)
            if (!set(p, g - 1)) return false;
        if (v < remembered && !set(3, 0)) return false;
    }
    return true;
}

void Workbench::Cmdcalibrar_Click() {
    if (inProcedure_) return;
    cmdoffline_Click();
    onlineEnabled = false;
    const auto [high, low] = SearchBand(leadingNumber(commaAsPoint(Txtajuste)));
    if (Combomode != "Max.Gain") {
        progressShown = false;
        changed();
        return;
    }
    progressShown = true;
    lblcalibrando = "starting";
    changed();
    inProcedure_ = true;
    search(low, high);
    inProcedure_ = false;
    progressShown = false;
    changed();
}

void Workbench::search(int low, int high) {
    if (!writeAll([](int) { return std::pair{3, 7}; })) return;
    for (int b = 0; b < kChannels; ++b) {
        searchPower_[static_cast<size_t>(b)] = 3;
        searchGain_[static_cast<size_t>(b)] = 7;
    }
    for (int b = 0; b < kChannels; ++b) {
        ports_.pump.processEvents();
        if (!progressShown) { // "OFFLINE" pressed (it enables "ONLINE")
            onlineEnabled = true;
            return;
        }
        lblcalibrando = "Calibrating CH" + std::to_string(b);
        changed();
        if (!searchBeam(b, low, high)) return;
    }
}

void Workbench::cmdTEST_Click() {
    if (busy) { // pressed again: stop
        busy = false;
        return;
    }
    if (inProcedure_ || !instrument()) return;
    const std::string bk = joinPath(s_.Program_Folder, "test_bk.txt");
    const std::string mean = joinPath(s_.Program_Folder, "test_mean.txt");
    const std::string desv = joinPath(s_.Program_Folder, "test_desv.txt");
    for (const std::string& f : {bk, mean, desv})
        std::remove(f.c_str());
    busy = true;
    inProcedure_ = true;
    constexpr int kSamples = 21;
    std::vector<std::array<int, kChannels>> samples(kSamples);
    for (int p = 0; p <= 7 && busy; ++p) {
        for (int g = 0; g <= 7 && busy; ++g) {
            const int value = g * 32 + p;
            DeviceQuery(s_.config.Serial_COM, op::SetAll, value, 0);
            DeviceQuery(s_.config.Serial_COM, op::SetAll, value, 1);
            txt_test = "Gain=" + std::to_string(g) + ";Pinhole=" + std::to_string(p);
            testProgress = (p * 8 + g) / 64.0;
            changed();
            ports_.clock.sleepMs(10);
            for (int k = -2; k < kSamples && busy; ++k) {
                takeSample();
                if (k >= 0)
                    for (int b = 0; b < kChannels; ++b)
                        samples[static_cast<size_t>(k)][static_cast<size_t>(b)] =
                            latest_[static_cast<size_t>(b)];
                ports_.pump.processEvents();
            }
            if (!busy) break;
            std::string bkText = "p=" + std::to_string(p) + ",g=" + std::to_string(g) + "\r\n";
            for (int k = 0; k < kSamples; ++k)
                bkText += beamsLine("[" + std::to_string(k) + "]", samples[static_cast<size_t>(k)]);
            std::array<int, kChannels> means{}, devs{};
            for (int b = 0; b < kChannels; ++b) {
                double sum = 0;
                for (const auto& smp : samples)
                    sum += smp[static_cast<size_t>(b)];
                const double m = sum / kSamples;
                double dev = 0;
                for (const auto& smp : samples)
                    dev += std::fabs(smp[static_cast<size_t>(b)] - m);
                means[static_cast<size_t>(b)] = static_cast<int>(roundHalfEven(m));
                devs[static_cast<size_t>(b)] = static_cast<int>(roundHalfEven(dev / kSamples));
            }
            const std::string head = "[p" + std::to_string(p) + ",g" + std::to_string(g) + "]";
            if (!writePlainFile(bk, bkText, true) ||
                !writePlainFile(mean, beamsLine(head, means), true) ||
                !writePlainFile(desv, beamsLine(head, devs), true)) {
                ports_.prompter.show("Gain curve files could not be written in " +
                                     s_.Program_Folder);
                busy = false;
            }
        }
    }
    testProgress = busy ? 1.0 : testProgress;
    busy = false;
    inProcedure_ = false;
    changed();
}

void Workbench::lblstatus_DblClick() {
    const bool enabled = status == "ENABLED";
    const std::string q = std::string(enabled ? "Do you like to Disable Channel "
                                              : "Do you like to Enable Channel ") +
                          std::to_string(channel) + "?";
    if (ports_.prompter.message(q, Buttons::YesNoCancel) != Answer::Yes) return;
    s_.channels.Channel_Enabled[static_cast<size_t>(channel)] = enabled ? 0 : -1;
    status = enabled ? "DISABLED" : "ENABLED";
    redraw();
}

void Workbench::Scroll_threshold_Change(double value) {
    threshold = value;
    s_.channels.Channel_Threshold[static_cast<size_t>(channel)] = value;
}

void Workbench::cmdonline_Click() {
    if (!onlineEnabled) return;
    online = true;
    resetHistory();
    scanX_ = scanY_ = 0;
    if (picwellOut) {
        Surface& s = *picwellOut;
        s.setScale(0, 0, s.pixelWidth(), s.pixelHeight());
        s.filledBox(0, 0, s.pixelWidth(), s.pixelHeight(), colour::Black);
    }
    if (hooks.setSampling) hooks.setSampling(true);
}

void Workbench::cmdoffline_Click() {
    online = false;
    busy = false;
    progressShown = false;
    onlineEnabled = true;
    if (hooks.setSampling) hooks.setSampling(false);
}

// One pixel of every cell of Picwell_out lit while a sample is taken, then
// switched off; the next tick lights the next pixel.
void Workbench::scanStep() {
    if (!picwellOut) return;
    Surface& s = *picwellOut;
    const int w = s.pixelWidth(), h = s.pixelHeight();
    const int cw = std::max(1, w / kColumns), ch = std::max(1, h / kRows);
    const int size = std::max(1, pixelSize);
    s.setScale(0, 0, w, h);
    auto paint = [&](Rgb c) {
        for (int cx = 0; cx < kColumns; ++cx)
            for (int cy = 0; cy < kRows; ++cy) {
                const double x = cx * cw + scanX_, y = cy * ch + scanY_;
                s.filledBox(x, y, x + size - 1, y + size - 1, c);
            }
    };
    const int grey = std::clamp(brightness, 0, 255);
    paint(rgb(grey, grey, grey));
    takeSample();
    paint(colour::Black);
    scanX_ += size;
    if (scanX_ >= cw) {
        scanX_ = 0;
        scanY_ += size;
        if (scanY_ >= ch) scanY_ = 0;
    }
}

void Workbench::Timerreal_Timer() {
    if (!online) return;
    if (picwellOut)
        scanStep();
    else
        takeSample();
}

void Workbench::takeSample() {
    const auto pos = static_cast<size_t>(writePos_);
    // Beams of a group that did not arrive keep their last level.
    if (InstrumentInUse(s_)) SampleAllBeams(s_.config.Serial_COM, latest_);
    history_[pos] = latest_;
    const long n = sampleCount_ + 1;
    if (n >= kPeakWindow) {
        for (int b = 0; b < kSlots; ++b) {
            int16_t peak = 0;
            for (int k = 0; k < kPeakWindow; ++k) {
                const auto i =
                    static_cast<size_t>((writePos_ - k + kWorkbenchHistory) % kWorkbenchHistory);
                peak = std::max(peak, history_[i][static_cast<size_t>(b)]);
            }
            const double v =
                peak * (100.0 - s_.channels.Channel_Threshold[static_cast<size_t>(b)]) / 100.0;
            thresholds_[pos][static_cast<size_t>(b)] = v;
            if (n == kPeakWindow)
                for (int k = 0; k < kPeakWindow; ++k)
                    thresholds_[static_cast<size_t>(k)][static_cast<size_t>(b)] = v;
        }
    }
    redraw();
    writePos_ = (writePos_ + 1) % kWorkbenchHistory;
    ++sampleCount_;
}

int16_t Workbench::level(int beam, int position) const {
    return history_[static_cast<size_t>(position)][static_cast<size_t>(beam)];
}

double Workbench::thresholdValue(int beam, int position) const {
    return thresholds_[static_cast<size_t>(position)][static_cast<size_t>(beam)];
}

void Workbench::zoomIn() {
    zoom = std::min(zoom + 1, 10);
    redraw();
}

void Workbench::zoomOut() {
    zoom = std::max(zoom - 1, 0);
    redraw();
}

void Workbench::brighter() {
    brightness = std::min(brightness + 15, 255);
}

void Workbench::darker() {
    brightness = std::max(brightness - 15, 0);
}

void Workbench::cmdexit_Click() {
    busy = false;
    cmdoffline_Click();
    if (InstrumentInUse(s_)) {
        const std::string path = joinPath(s_.Program_Folder, "multitsk.dat");
        PortFlags flags;
        if (ReadMultitask(path, flags)) {
            for (auto& [port, inUse] : flags)
                if (port == s_.config.Serial_COM) inUse = false;
            WriteMultitask(path, flags);
        }
    }
    if (hooks.endProgram) hooks.endProgram();
}

void Workbench::cmdmain_Click() {
    cmdoffline_Click();
    if (hooks.showMain) hooks.showMain();
}

void Workbench::cmdsetup_Click() {
    cmdoffline_Click();
    if (hooks.showSetup) hooks.showSetup();
}

void Workbench::cmdofflinewindow_Click() {
    cmdoffline_Click();
    if (hooks.showOffline) hooks.showOffline();
}

void Workbench::redraw() {
    if (picreal) Dibujar_traza(*picreal, *this, channel);
    if (picwell) Dibujar_matriz(*picwell, latest_, s_.channels, channel);
}

void Dibujar_traza(Surface& s, const Workbench& w, int beam) {
    const double top = 4096.0 / (1 + std::clamp(w.zoom, 0, 10));
    s.setScale(-40, top * 1.05, kWorkbenchHistory + 5, -top * 0.05);
    s.clear();
    s.setPenWidth(1);
    s.line(0, 0, kWorkbenchHistory, 0, colour::Black);
    s.line(0, 0, 0, top, colour::Black);
    s.setForeColor(colour::Black);
    s.setFontScale(0.8);
    s.text(-38, top, std::to_string(static_cast<int>(top)));
    s.text(-38, s.textHeight(), "0");
    s.setFontScale(1.0);
    const long n = std::min<long>(w.sampleCount(), kWorkbenchHistory);
    auto clip = [&](double v) { return std::min(v, top); };
    for (int i = 1; i < n; ++i) {
        s.line(i - 1, clip(w.level(beam, i - 1)), i, clip(w.level(beam, i)), colour::Black);
        if (w.sampleCount() >= kPeakWindow)
            s.line(i - 1, clip(w.thresholdValue(beam, i - 1)), i, clip(w.thresholdValue(beam, i)),
                   colour::Red);
    }
    if (n > 0) {
        const int last = (w.writePosition() + kWorkbenchHistory - 1) % kWorkbenchHistory;
        s.line(last, 0, last, top, rgb(0, 160, 0));
    }
}

void Dibujar_matriz(Surface& s, std::span<const int16_t> levels, const ChannelTables& tables,
                    int chosen) {
    Dibujar_test_grid(s);
    Dibujar_test_levels(s, levels);
    for (int b = 0; b < kChannels; ++b) {
        if (tables.Channel_Enabled[static_cast<size_t>(b)] != 0) continue;
        const double x = b / kRows, y = b % kRows;
        s.line(x + 0.15, y + 0.15, x + 0.85, y + 0.85, colour::Red);
        s.line(x + 0.15, y + 0.85, x + 0.85, y + 0.15, colour::Red);
    }
    if (chosen >= 0 && chosen < kChannels) {
        const double x = chosen / kRows, y = chosen % kRows;
        s.setPenWidth(3);
        s.box(x + 0.02, y + 0.02, x + 0.98, y + 0.98, rgb(0, 200, 0));
        s.setPenWidth(1);
    }
}

} // namespace trv
