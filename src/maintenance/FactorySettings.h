// The factory settings window (Frm_Factory): the instrument's serial label,
// the temperature sensor's factory calibration, the temperature read live,
// and a new sensor offset from a reference temperature, written into the
// instrument's factory registers 128 to 134.
#pragma once

#include "common/Ports.h"
#include "store/Module1.h"

#include <array>
#include <optional>
#include <string>

namespace trv {

inline constexpr int kTempTimerMs = 1000; // Timer_temp
inline constexpr double kLowestReference = 4.0;
inline constexpr double kHighestReference = 50.0;
// The offsets the connection accepts when it reads the factory data back.
inline constexpr double kLargestOffset = 10.0;

// "SERIAL : TRVN" + the identification with five digits.
std::string SerialLabel(int deviceId);
// "OK Last Factory Calibration " + mm + "/" + yy + " [mm/yy]".
std::string CalibratedLine(int month, int year);
inline constexpr const char* kNotCalibrated = "NON Calibrated";

// What register 128 holds while a calibration is being written (any value
// but 0 makes the factory data invalid).
inline constexpr int kFactoryMarkerCleared = 1;

// Values of registers 128..134 for a calibration.
std::array<int, 7> FactoryRegisterValues(int month, int year, double offset, double slope);

class FactorySettings {
  public:
    FactorySettings(SharedState& state, Ports& ports);

    // What the controls show.
    std::string lblserial;
    std::string txt_mensaje = kNotCalibrated;
    std::string txt_current_temp = "0.0";
    std::string txt_set_temp = "25.0";

    // Opening the window (fills the controls; puts the default calibration
    // in force when the factory data was not valid).
    void open();
    // Timer_temp: the temperature read now.
    void Timer_temp_Timer();
    // "SET": a new offset from the reference in txt_set_temp. True when the
    // registers were written.
    bool Cmd_temp_Click();

  private:
    std::string decimal(double v) const;
    SharedState& s_;
    Ports& ports_;
};

} // namespace trv
