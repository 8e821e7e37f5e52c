#include "maintenance/RegisterWrite.h"

#include "common/Clock.h"
#include "device/COM_Module.h"

namespace trv {

BeamRegister BeamSettingRegister(int beam) {
    return beam < 128 ? BeamRegister{kWriteBank0, beam} : BeamRegister{kWriteBank1, beam - 128};
}

bool WriteRegisterAcknowledged(int port, int bank, int reg, int value, Clock& clock) {
    return WriteRegisterWithAck(port, bank, reg, value, clock, AckRetries{2, 100, 50, false});
}

} // namespace trv
