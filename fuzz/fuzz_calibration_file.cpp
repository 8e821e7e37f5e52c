// calvalue.dat: the beam power and gain of every channel.
#include "FuzzSupport.h"

#include "store/CalibrationFile.h"

using namespace trv;

std::vector<std::string> trv::fuzz::fuzzSeeds() {
    CalibrationTable t;
    for (int c = 0; c < kChannels; ++c) {
        t.Channel_PinHole[static_cast<size_t>(c)] = static_cast<int16_t>(c % 8);
        t.Channel_Gain[static_cast<size_t>(c)] = static_cast<int16_t>(c % 5);
    }
    return {calibrationFileText(CalibrationTable{}), calibrationFileText(t)};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string folder = fuzz::freshFolder();
    fuzz::writeInput(kCalibrationFileName, data, size);
    CalibrationTable table;
    loadCalibration(table, folder);
    return 0;
}
