#include "maintenance/FactorySettings.h"

#include "common/Numeric.h"
#include "common/RunLog.h"
#include "device/COM_Module.h"
#include "device/Connection.h"
#include "maintenance/RegisterWrite.h"

#include <cmath>
#include <utility>
#include <vector>

namespace trv {

std::string SerialLabel(int deviceId) {
    return "SERIAL : TRVN" + zeroPadded(deviceId, 5);
}

std::string CalibratedLine(int month, int year) {
    return "OK Last Factory Calibration " + zeroPadded(month, 2) + "/" + zeroPadded(year, 2) +
           " [mm/yy]";
}

std::array<int, 7> FactoryRegisterValues(int month, int year, double offset, double slope) {
    // The slope is split into its two bytes from the nearest thousandth, so
    // a slope just under a multiple of 0.256 cannot put 256 into the low
    // byte.
    const auto thousandths = static_cast<int>(roundHalfEven(slope * 1000));
    return {0,
            month,
            year % 100,
            offset < 0 ? 1 : 0,
            static_cast<int>(roundHalfEven(std::fabs(offset) * 10)),
            thousandths % 256,
            thousandths / 256};
}

FactorySettings::FactorySettings(SharedState& state, Ports& ports) : s_(state), ports_(ports) {}

std::string FactorySettings::decimal(double v) const {
    return withDecimalMark(fixedDecimals(v, 1), ports_.locale.decimalSeparator());
}

void FactorySettings::open() {
    lblserial = SerialLabel(s_.Device_Id);
    if (s_.Factory_Cal_Valid) {
        txt_mensaje = CalibratedLine(s_.Factory_Cal_Month, s_.Factory_Cal_Year);
    } else {
        txt_mensaje = kNotCalibrated;
        s_.Temp_Offset = 0.0;
        s_.Temp_Slope = kDefaultTempSlope;
    }
    txt_set_temp = decimal(25.0);
    txt_current_temp = decimal(0.0);
}

void FactorySettings::Timer_temp_Timer() {
    const int raw = DeviceQuery(s_.config.Serial_COM, op::ReadTemperature, 0, 0);
    if (raw < 0) return; // no reply: the last value stays
    txt_current_temp = decimal(raw * s_.Temp_Slope + s_.Temp_Offset);
}

bool FactorySettings::Cmd_temp_Click() {
    const int port = s_.config.Serial_COM;
    const int raw = DeviceQuery(port, op::ReadTemperature, 0, 0);
    const double reference = leadingNumber(commaAsPoint(txt_set_temp));
    if (!(reference >= kLowestReference && reference <= kHighestReference)) {
        ports_.prompter.show(
            "invalid Calibration Parameter: value must be between 4\u00b0C and 50\u00b0C");
        return false;
    }
    if (raw < 0) {
        ports_.prompter.show("Ops...Temperature Reading ERROR... Check COM and Try again");
        return false;
    }
    txt_current_temp = decimal(raw * s_.Temp_Slope + s_.Temp_Offset);
    const double offset = reference - raw * s_.Temp_Slope;
    // The connection takes an offset beyond 10 degrees for damaged data and
    // falls back to the defaults: such an offset is not written.
    if (!(std::fabs(offset) <= kLargestOffset)) {
        ports_.prompter.show("invalid Calibration Parameter: the sensor offset would be " +
                             decimal(offset) + "\u00b0C (between -10\u00b0C and 10\u00b0C)");
        return false;
    }
    const LocalDateTime today = ports_.clock.now();
    const int month = today.month, year = today.year % 100;
    const std::array<int, 7> values = FactoryRegisterValues(month, year, offset, s_.Temp_Slope);
    // The marker (register 128, 0 for a valid calibration) is cleared first
    // and set last: a write that fails part-way leaves a calibration the
    // next connection rejects, never a mix of old and new values it would
    // take for a valid one.
    std::vector<std::pair<int, int>> writes{{kFactoryFirstRegister, kFactoryMarkerCleared}};
    for (int i = 1; i < 7; ++i)
        writes.emplace_back(kFactoryFirstRegister + i, values[static_cast<size_t>(i)]);
    writes.emplace_back(kFactoryFirstRegister, values[0]);
    for (size_t w = 0; w < writes.size(); ++w) {
        const auto [reg, value] = writes[w];
        if (WriteRegisterAcknowledged(port, kWriteBank0, reg, value, ports_.clock)) continue;
        runlog::error("Factory settings: register " + std::to_string(reg) +
                      " was not acknowledged; sensor calibration not written" +
                      (w > 0 ? " (the instrument's calibration is marked invalid)" : ""));
        ports_.prompter.show("Ops...Data Writing ERROR: reg(" + std::to_string(reg) +
                             ")... Check COM and Try again");
        if (w > 0) {
            ports_.prompter.show(
                "The instrument now holds an incomplete sensor calibration, marked invalid: "
                "the next connection uses the defaults (offset 0, slope 0.219) until a "
                "calibration is written in full.");
            s_.Factory_Cal_Valid = false;
        }
        txt_mensaje = kNotCalibrated;
        return false;
    }
    s_.Temp_Offset = offset;
    s_.Factory_Cal_Month = static_cast<int16_t>(month);
    s_.Factory_Cal_Year = static_cast<int16_t>(year);
    // What the instrument now holds is a whole calibration.
    s_.Factory_Cal_Valid = true;
    txt_mensaje = CalibratedLine(month, year);
    return true;
}

} // namespace trv
