// Register exchanges shared by the technician's tools (device test,
// calibration workbench, factory settings).
#pragma once

#include "store/Module1.h"

namespace trv {

class Clock;

// An instrument is connected and the program is not offline.
inline bool InstrumentInUse(const SharedState& s) {
    return s.Device_Connected && !s.Offline_Mode;
}

// Where a beam's setting lives: bank byte 0x80 and register b below 128,
// bank byte 0x81 and register b - 128 from 128 on.
struct BeamRegister {
    int bank = 0x80;
    int reg = 0;
};
BeamRegister BeamSettingRegister(int beam);

// Acknowledged register write (bank byte 0x80 or 0x81): nine writes in a row
// keeping the last reply; when it is not the register, up to two retries,
// each a 100 ms pause, a temperature-sensor request, another 100 ms pause and
// nine writes with 50 ms after each. False when the last reply of the last
// retry is still not the register, or when the value does not fit a byte.
bool WriteRegisterAcknowledged(int port, int bank, int reg, int value, Clock& clock);

} // namespace trv
