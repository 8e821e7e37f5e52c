// Plate format files (w*.dat): the layout, the well/beam map and the labels.
#include "FuzzSupport.h"

#include "store/PlateFormat.h"

using namespace trv;

std::vector<std::string> trv::fuzz::fuzzSeeds() {
    std::vector<std::string> seeds;
    for (const char* name : {"w6", "w24", "w48", "w96f", "w96flat", "w96u", "w384"})
        seeds.push_back(shippedFile(std::string(name) + ".dat"));
    for (const char* name : {"w384", "w96f", "w96u"}) {
        PlateLayout p;
        applyBuiltinPlate(p, name);
        seeds.push_back(plateFileText(p, name, "built in"));
    }
    return seeds;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::freshFolder();
    const std::string path = fuzz::writeInput("w.dat", data, size);
    PlateLayout plate;
    std::string reason;
    const int stage = readPlateFile(plate, path, &reason);
    fuzz::require(stage >= 0 && stage <= 2, "plate read stage in 0..2");
    if (stage != 0) return 0;
    for (int c = 0; c < kSlots; ++c)
        plate.channelLabel(c);
    for (int w = 0; w <= plate.Max_Well; ++w) {
        plate.wellLabel(w);
        for (int b = 0; b <= plate.Max_Beam; ++b) {
            const int ch = plate.wellChannel(w, b);
            fuzz::require(ch >= -1 && ch < kSlots, "Well_Channel holds channels or -1");
        }
    }
    return 0;
}
