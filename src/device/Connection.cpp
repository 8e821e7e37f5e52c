#include "device/Connection.h"

#include "common/Numeric.h"
#include "device/COM_Module.h"
#include "device/ModCOMM.h"

#include <exception>

namespace trv {

// ---- "COM Ports" ----------------------------------------------------------

int ComPortMenu::checkedEntry() const {
    for (int n = 1; n <= kSearchPorts; ++n)
        if (checked_[index(n)]) return n;
    return 0;
}

void ComPortMenu::checkOnly(int n) {
    checked_.fill(false);
    if (n >= 1 && n <= kSearchPorts) checked_[index(n)] = true;
    if (onChanged) onChanged();
}

void ComPortMenu::choose(int n, SharedState& state, const std::function<void()>& saveConfig) {
    if (n < 1 || n > kSearchPorts) return;
    checkOnly(n);
    state.config.Serial_COM = static_cast<int16_t>(n);
    if (saveConfig) saveConfig();
}

// ---- probe and search ---------------------------------------------------

int ProbeDevice(int port, Clock& clock) {
    CommSetLine(port, 3, 1);
    CommSetLine(port, 2, 1);
    CommWrite(port, DeviceFrame(op::Identify, 0, 0));
    clock.sleepMs(5);
    std::string reply;
    const int n = CommRead(port, reply, 2);
    int value = -1;
    if (n > 0 && !reply.empty()) {
        const int first = static_cast<unsigned char>(reply[0]);
        const int second = reply.size() > 1 ? static_cast<unsigned char>(reply[1]) : 0;
        value = first * 255 + second;
    }
    CommSetLine(port, 3, 0);
    CommSetLine(port, 2, 0);
    return value;
}

namespace {

bool inPortTable(int port) {
    return port >= 1 && port <= kCommPorts;
}

// Opens a port with the instrument's settings. A device that opened but
// could not be set up is closed again, so its entry does not stay "in use".
bool openPort(int port) {
    const int r = CommOpen(port, PortName(port), kDeviceLineSettings);
    if (r == 0) return true;
    if (r != -1 && inPortTable(port)) CommClose(port);
    return false;
}

void closePort(int port) {
    if (inPortTable(port)) CommClose(port);
}

void showOpening(Ports& ports, int port) {
    ports.status.setText(status::StatusLine, "Opening Port [" + std::to_string(port) + "]");
    ports.status.repaint();
    ports.clock.sleepMs(100);
}

void showConnected(Ports& ports, int port) {
    const std::string n = std::to_string(port);
    ports.status.setText(status::NewsLine, "Status = Connected on COM[ " + n + " ]");
    ports.status.setText(status::StatusLine, "Connected on COM[ " + n + " ]");
}

// Two probe attempts on an open port; the identification value or 0.
int probeTwice(SharedState& state, Ports& ports, int port) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        ports.clock.sleepMs(10);
        const int v = ProbeDevice(port, ports.clock);
        if (IsInstrumentId(v)) {
            state.Device_Id = static_cast<int16_t>(v);
            showConnected(ports, port);
            return v;
        }
        state.Device_Id = 0;
    }
    return 0;
}

} // namespace

bool FindDevicePort(SharedState& state, Ports& ports, const std::function<void()>& saveConfig) {
    int16_t& com = state.config.Serial_COM;
    try {
        bool accepted = false;

        // The configured port first.
        showOpening(ports, com);
        if (openPort(com)) {
            const int v = ProbeDevice(com, ports.clock);
            accepted = IsInstrumentId(v);
            state.Device_Id = static_cast<int16_t>(accepted ? v : 0);
            CommClose(com);
        }
        if (!accepted) com = 0;

        // Then every port in order (the configured one again if it failed).
        while (!accepted && com < kSearchPorts) {
            ++com;
            showOpening(ports, com);
            if (openPort(com)) {
                accepted = probeTwice(state, ports, com) != 0;
                CommClose(com);
            }
        }

        if (accepted) {
            state.Offline_Mode = false;
            if (openPort(com)) return true; // stays open until Disconnect
            state.Offline_Mode = true;      // it answered a moment ago but will not open now
            state.Device_Id = 0;
            return false;
        }
        state.Device_Id = 0;

        const InputResult answer =
            ports.prompter.input("COM(" + std::to_string(com) +
                                     ") PORT ERROR. Type New Port number or <Enter> to go Offline",
                                 "", "");
        const std::string text = answer.cancelled ? std::string() : answer.text;
        const double n = leadingNumber(text);
        if (n < 1 || n > kSearchPorts) {
            state.Offline_Mode = true;
            return false;
        }
        com = static_cast<int16_t>(roundHalfEven(n));
        if (!openPort(com)) {
            ports.prompter.message("Invalid Port Number. Offline Mode", Buttons::Ok);
            state.Offline_Mode = true;
            return false;
        }
        if (saveConfig) saveConfig();
        // The user named this port: when the instrument answers there now
        // (switched on late, or freed by another program), keep it as found.
        // A port that opens but stays silent is no instrument: offline.
        if (probeTwice(state, ports, com) != 0) {
            state.Offline_Mode = false;
            return true;
        }
        CommClose(com);
        state.Offline_Mode = true;
        return false;
    } catch (const std::exception&) {
        state.Offline_Mode = true;
        return false;
    }
}

// ---- factory data -------------------------------------------------------

FactoryCalibration CheckFactoryRegisters(const std::array<int, 8>& r) {
    FactoryCalibration c;
    c.valid = true;
    c.month = -1;
    c.year = -1;
    if (r[0] != 0) c.valid = false;
    if (r[1] >= 1 && r[1] <= 12)
        c.month = r[1];
    else
        c.valid = false;
    if (r[2] >= 0 && r[2] <= 99)
        c.year = r[2];
    else
        c.valid = false;
    if (r[3] != 0 && r[3] != 1) c.valid = false;
    if (r[4] >= 0)
        c.offset = (r[3] == 1 ? -1.0 : 1.0) * r[4] / 10.0;
    else
        c.valid = false;
    if (r[5] >= 1 && r[6] >= 0)
        c.slope = (r[6] * 256 + r[5]) / 1000.0;
    else
        c.valid = false;
    if (c.offset < -10.0 || c.offset > 10.0) {
        c.offset = 0.0;
        c.valid = false;
    }
    if (c.slope < 0.1 || c.slope > 0.45) {
        c.slope = kDefaultTempSlope;
        c.valid = false;
    }
    if (!c.valid) {
        c.offset = 0.0;
        c.slope = kDefaultTempSlope;
    }
    return c;
}

std::array<int, 8> ReadFactoryRegisters(int port, Ports& ports) {
    ports.pump.processEvents(10);
    CommFlush(port);
    ports.pump.processEvents(10);

    std::array<int, 8> regs{};
    for (int i = 0; i < 8; ++i) {
        const int a = kFactoryFirstRegister + i;
        int value = -1;
        for (int pass = 0; pass < 3; ++pass) {
            const int first = DeviceQuery(port, op::ReadRegister, a, 0);
            ports.clock.sleepMs(200);
            const int second = DeviceQuery(port, op::ReadRegister, a, 0);
            ports.clock.sleepMs(200);
            if (first == -1) {
                // No reply: resynchronise the instrument with an identification.
                DeviceQuery(port, op::Identify, 0, 0);
                ports.clock.sleepMs(200);
                continue;
            }
            if (first == second) {
                value = first;
                break;
            }
        }
        regs[static_cast<size_t>(i)] = value;
        ports.pump.processEvents();
    }
    return regs;
}

void ReadFactoryCalibration(SharedState& state, Ports& ports) {
    try {
        const FactoryCalibration c =
            CheckFactoryRegisters(ReadFactoryRegisters(state.config.Serial_COM, ports));
        state.Factory_Cal_Valid = c.valid;
        if (c.month >= 1) state.Factory_Cal_Month = static_cast<int16_t>(c.month);
        if (c.year >= 0) state.Factory_Cal_Year = static_cast<int16_t>(c.year);
        state.Temp_Offset = c.offset;
        state.Temp_Slope = c.slope;
    } catch (const std::exception&) {
        state.Factory_Cal_Valid = false;
        state.Temp_Offset = 0.0;
        state.Temp_Slope = kDefaultTempSlope;
    }
}

// ---- connect and disconnect ---------------------------------------------

void Connect(SharedState& state, Ports& ports, ComPortMenu& menu, const ConnectionHooks& hooks,
             bool runSwitch) {
    StatusView& st = ports.status;
    st.setText(status::StatusLine, "STARTING.....");
    st.setText(status::StatusCaption, "CONNECTING:");
    st.setVisible(status::StatusFrame, true);
    st.repaint();

    FindDevicePort(state, ports, hooks.saveConfig);

    menu.checkOnly(state.config.Serial_COM);

    state.Temp_Offset = 0.0;
    state.Temp_Slope = kDefaultTempSlope;

    if (state.Offline_Mode) {
        st.setText(status::StatusLine, "Equipment not found");
        ports.prompter.message("PORT NOT FOUND", Buttons::Ok);
        if (hooks.showLauncher) hooks.showLauncher();
    } else {
        st.setText(status::StatusLine, "Reading Factory Calibration...");
        state.Device_Connected = true;
        ReadFactoryCalibration(state, ports);
    }

    st.setVisible(status::StatusFrame, false);
    st.setText(status::StatusCaption, "");
    st.setText(status::StatusLine, "");

    if (runSwitch && hooks.startRunTimer) hooks.startRunTimer();
}

void Disconnect(SharedState& state) {
    if (state.Offline_Mode) return;
    closePort(state.config.Serial_COM);
    state.Device_Connected = false;
}

} // namespace trv
