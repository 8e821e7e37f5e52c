// A 384-well acquisition of a compound screen for the dose-response tests
// and benchmark: compound k at dose j (10^(j-2): 0.01, 0.1, 1, ...) fills
// group k x doses + j with wellsPerDose wells; then a control group (a shared
// control, concentration 0) and a group left out of the dose map. Each well
// responds along a known curve whose IC50 doubles from one compound to the
// next (for eight compounds, then again); doses.csv says which group holds what.
#pragma once

#include "TestPaths.h"
#include "analysis/DoseFit.h"
#include "analysis/DoseMap.h"
#include "common/Files.h"
#include "reports/AcquisitionFixture.h"

#include <cmath>
#include <string>

namespace trv::test {

struct DoseScreen {
    int compounds = 1;
    int doses = 6;
    int wellsPerDose = 4;
    int controlWells = 4;
    int unmappedWells = 4;
    int minutes = 60;         // records for minutes 0..minutes
    int recordsPerMinute = 1; // the well's rate split evenly over them
    std::string unit = "nM";
    // Wells of a dose differ from the curve by up to this fraction (fixed
    // per well), as living wells do.
    double wellSpread = 0;

    static double dose(int j) { return std::pow(10.0, j - 2); }
    static LogisticCurve truth(int compound) {
        return {1000, 100, std::log10(3.0 * std::pow(2.0, compound % 8)), 1.0};
    }
    int doseWells() const { return compounds * doses * wellsPerDose; }
    // Events per minute of a well (channel) of the w384 plate.
    int rate(int well) const {
        if (well < doseWells()) {
            const int group = well / wellsPerDose;
            const double u = static_cast<double>((well * 2654435761u) % 1001u) / 500.0 - 1.0;
            return static_cast<int>(
                std::lround(truth(group / doses).at(dose(group % doses)) * (1.0 + wellSpread * u)));
        }
        return well < doseWells() + controlWells + unmappedWells ? 1000 : 0;
    }

    // Writes the acquisition into fx.project/<name> and returns its folder.
    std::string write(AcquisitionFixture& fx, const std::string& name) const {
        copyFile(std::string(TRELVANE_SOURCE_DIR) + "/data/w384.dat",
                 joinPath(fx.program, "w384.dat"));
        const int controlGroup = compounds * doses;
        ChannelTables t;
        t.Channel_Group.fill(-1);
        for (int c = 0; c < 384; ++c) {
            int g = -1;
            if (c < doseWells())
                g = c / wellsPerDose;
            else if (c < doseWells() + controlWells)
                g = controlGroup;
            else if (c < doseWells() + controlWells + unmappedWells)
                g = controlGroup + 1;
            t.Channel_Group[static_cast<size_t>(c)] = static_cast<int16_t>(g);
        }
        const std::string folder = fx.acquisition(name, "screen", t, "w384");
        std::vector<int32_t> times;
        for (int m = 0; m <= minutes; ++m)
            for (int r = 0; r < recordsPerMinute; ++r)
                times.push_back(m);
        AcquisitionFixture::writeCounts(
            folder, times,
            [&](int ch, int i) {
                // The minute's events spread over its records, the remainder
                // in the first ones.
                const int total = rate(ch), part = i % recordsPerMinute;
                return total / recordsPerMinute + (part < total % recordsPerMinute ? 1 : 0);
            },
            [](int) { return 250; });
        DoseMap map;
        map.unit = unit;
        for (int g = 0; g < controlGroup; ++g)
            map.entries.push_back(
                {g, "Compound " + std::to_string(g / doses + 1), dose(g % doses)});
        if (controlWells > 0) map.entries.push_back({controlGroup, "", 0});
        writeDoseMapFile(joinPath(folder, kDoseMapFileName), map);
        return folder;
    }
};

} // namespace trv::test
