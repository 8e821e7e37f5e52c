// A hand-made 6-well acquisition with known tracks, for the track tests of
// the offline core and of trelvane-cli: 13 blocks on the shipped w6 plate
// (raw files 0.bin and 1.bin), every beam at 2000 with dips to 1000 for 30
// samples where an animal is made to cross; each dip is one event at its
// first sample.
#pragma once

#include "acquisition/DataFiles.h"
#include "reports/AcquisitionFixture.h"
#include "reports/RawAcquisition.h"

#include <string>
#include <vector>

namespace trv::test {

inline std::string writeTrackAcquisition(AcquisitionFixture& fx) {
    copyShippedPlates(fx.program);
    ChannelTables t;
    t.Channel_Group.fill(-1);
    t.Channel_Group[0] = 2; // well 0 (A1)
    t.Group_Name[2] = "Larvae";
    t.Channel_Group[9] = 0; // well 1 (B1)
    t.Group_Name[0] = "Control";
    const std::string acq = fx.acquisition("20240315_0930", "Tracks", t, "w6");
    std::vector<int32_t> minutes;
    for (int i = 0; i < 13; ++i)
        minutes.push_back(i * 2);
    AcquisitionFixture::writeCounts(
        acq, minutes, [](int, int) { return 0; }, [](int) { return 250; });
    struct Dip {
        int block, channel, sample;
    };
    const std::vector<Dip> dips = {
        {0, 17, 100},  // well 0 first seen at (1, 1)
        {0, 49, 300},  // to (3, 1): 2 steps
        {0, 50, 400},  // with 52: to (3, 3), 2 steps
        {0, 52, 400},  //
        {1, 25, 50},   // well 1 first seen at (1, 9)
        {1, 57, 60},   // to (3, 9): 2 steps
        {2, 145, 234}, // well 2 first seen at position 1234
        {12, 17, 200}, // well 0 back to (1, 1): 2.83 steps, in the second raw file
    };
    for (int b = 0; b < 13; ++b) {
        SignalBlock block(501);
        for (int c = 0; c < 384; ++c)
            std::fill(block.row(c), block.row(c) + 501, int16_t{2000});
        for (const Dip& d : dips)
            if (d.block == b)
                std::fill(block.row(d.channel) + d.sample, block.row(d.channel) + d.sample + 30,
                          int16_t{1000});
        AppendRawBlock(acq, b / 11, block);
    }
    return acq;
}

} // namespace trv::test
