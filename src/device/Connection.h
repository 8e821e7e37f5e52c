// Finding and connecting the instrument: the port search, the identification
// probe, the factory data (temperature-sensor calibration), disconnecting,
// and the "COM Ports" choice. Users are talked to through the ports; what
// only the windows can do (show the launcher, start the start-up timer, save
// config.dat) comes in as hooks.
#pragma once

#include "common/Ports.h"
#include "store/Module1.h"

#include <array>
#include <functional>
#include <string>

namespace trv {

inline constexpr int kSearchPorts = 15;            // COM1..COM15
inline constexpr double kDefaultTempSlope = 0.219; // degrees C per raw unit
inline constexpr int kFactoryFirstRegister = 128;  // registers 128..135

// The "COM Ports" menu: 15 entries "COM1".."COM15", one of them checked.
class ComPortMenu {
  public:
    static constexpr const char* Caption = "COM Ports";

    static std::string entryText(int n) { return "COM" + std::to_string(n); }
    bool isChecked(int n) const { return n >= 1 && n <= kSearchPorts && checked_[index(n)]; }
    // The checked entry, 0 when none.
    int checkedEntry() const;
    // Clears every check mark and checks entry n (none when n is not 1..15).
    void checkOnly(int n);
    // The user picks entry n: check it, make it the port of the next
    // connect and save the configuration.
    void choose(int n, SharedState& state, const std::function<void()>& saveConfig);

    // Called whenever the check marks change, so the window can redraw.
    std::function<void()> onChanged;

  private:
    static size_t index(int n) { return static_cast<size_t>(n - 1); }
    std::array<bool, kSearchPorts> checked_{};
};

// What a connect needs from the windows.
struct ConnectionHooks {
    // Writes config.dat with the current configuration.
    std::function<void()> saveConfig;
    // No instrument: show the launcher and hide the main window.
    std::function<void()> showLauncher;
    // Started with the run switch: set the start-up timer's step to 6 and
    // start it (it starts an acquisition on its next tick).
    std::function<void()> startRunTimer;
};

// Identification exchange on an open port: RTS and DTR up, FF 00 00 00 F0,
// a 2-byte reply read as first x 255 + second, lines down. -1 when nothing
// came back.
int ProbeDevice(int port, Clock& clock);

// True for an identification value that means an instrument answered.
constexpr bool IsInstrumentId(int value) {
    return value >= 10 && value <= 250;
}

// The port search. Sets Serial_COM, Device_Id and Offline_Mode; leaves the
// instrument's port open when one was found (returns true then).
bool FindDevicePort(SharedState& state, Ports& ports, const std::function<void()>& saveConfig);

// The values of the factory registers 128..135 on an open port (-1 for a
// register that gave no two equal replies in three passes).
std::array<int, 8> ReadFactoryRegisters(int port, Ports& ports);

// Reads the factory registers 128..135 on the connected port and sets
// Factory_Cal_Valid, Factory_Cal_Month, Factory_Cal_Year, Temp_Offset and
// Temp_Slope (defaults 0 and 0.219 whenever the data is not plausible).
void ReadFactoryCalibration(SharedState& state, Ports& ports);

// The result of checking the eight factory register values (-1 = unread).
struct FactoryCalibration {
    bool valid = false;
    int month = 0;
    int year = 0;
    double offset = 0.0;
    double slope = kDefaultTempSlope;
};
FactoryCalibration CheckFactoryRegisters(const std::array<int, 8>& registers);

// The main window's Connect command (and the launcher's, the setup window's
// and the run switch's connect).
void Connect(SharedState& state, Ports& ports, ComPortMenu& menu, const ConnectionHooks& hooks,
             bool runSwitch);

// Closes the instrument's port unless offline.
void Disconnect(SharedState& state);

// The port name of a port number ("COM3").
inline std::string PortName(int port) {
    return "COM" + std::to_string(port);
}

} // namespace trv
