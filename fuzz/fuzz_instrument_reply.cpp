// What the instrument sends back: the beam-sample reply (both decoding
// rules), the factory calibration registers, and the serial line settings.
#include "FuzzSupport.h"

#include "device/COM_Module.h"
#include "device/Connection.h"
#include "device/ModCOMM.h"

using namespace trv;

std::vector<std::string> trv::fuzz::fuzzSeeds() {
    std::string reply;
    for (int k = 0; k < 96; ++k) {
        reply.push_back(static_cast<char>(k % 16));
        reply.push_back(static_cast<char>(k * 5));
    }
    return {reply, reply + "\x01\x02", reply.substr(0, 100), kDeviceLineSettings,
            "baud=9600 parity=E data=7 stop=1.5 xon=on octs=on"};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (BeamDecode rule : {BeamDecode::Strict, BeamDecode::Lenient}) {
        const BeamGroupSample s = DecodeBeamSample(bytes, rule);
        fuzz::require(s.replyBytes == static_cast<int>(size), "the reply length is kept");
        if (s.valid)
            for (int16_t v : s.values)
                fuzz::require(v >= 0 && v <= 4095, "a valid sample holds 12-bit values");
    }
    std::array<int, 8> registers{};
    for (size_t i = 0; i < registers.size() && i < size; ++i)
        registers[i] = data[i];
    CheckFactoryRegisters(registers);
    LineSettings settings;
    ParseLineSettings(bytes, settings);
    return 0;
}
