// Plate layouts built in code for tests and benchmarks: the 384-well and the
// two-beam 96-well plates, and a plain grid with several beams per well.
#pragma once

#include "store/Module1.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace trv::test {

// Fills a layout from its geometry and a channel -> (well, beam) mapping
// (well -1: the channel lies in no well), then rebuilds Well_Channel.
inline PlateLayout makePlate(int rows, double rowPitch, double rowOffset, int cols,
                             double colPitch, double colOffset,
                             const std::function<std::pair<int, int>(int)>& map) {
    PlateLayout p;
    p.Plate_Rows = static_cast<int16_t>(rows);
    p.Row_Pitch = rowPitch;
    p.Row_Offset = rowOffset;
    p.Plate_Columns = static_cast<int16_t>(cols);
    p.Column_Pitch = colPitch;
    p.Column_Offset = colOffset;
    p.Max_Well = 0;
    p.Max_Beam = 0;
    for (int c = 0; c < kChannels; ++c) {
        auto [well, beam] = map(c);
        p.Channel_Well[static_cast<size_t>(c)] = static_cast<int16_t>(well);
        p.Channel_Beam[static_cast<size_t>(c)] = static_cast<int16_t>(well >= 0 ? beam : 0);
        if (well >= 0) {
            p.Max_Well = static_cast<int16_t>(std::max<int>(p.Max_Well, well));
            p.Max_Beam = static_cast<int16_t>(std::max<int>(p.Max_Beam, beam));
        }
    }
    p.Well_Channel.assign(static_cast<size_t>(p.Max_Well) + 1,
                          std::vector<int16_t>(static_cast<size_t>(p.Max_Beam) + 1, -1));
    for (int c = 0; c < kChannels; ++c) {
        int w = p.Channel_Well[static_cast<size_t>(c)];
        if (w >= 0)
            p.Well_Channel[static_cast<size_t>(w)][static_cast<size_t>(
                p.Channel_Beam[static_cast<size_t>(c)])] = static_cast<int16_t>(c);
    }
    return p;
}

// 384 wells, one channel each (well c = channel c).
inline PlateLayout w384Plate() {
    return makePlate(16, 1.0, 0, 24, 1.0, 0, [](int c) { return std::make_pair(c, 0); });
}

// 96 wells of two beams: channels of even channel rows; an even channel
// column starts the wells (beam 0), the column to its right adds beam 1.
inline PlateLayout w96fPlate() {
    return makePlate(8, 2.0, -0.5, 12, 2.0, 0, [](int c) {
        int col = c / 16, row = c % 16;
        if (row % 2 != 0) return std::make_pair(-1, 0);
        return std::make_pair((col / 2) * 8 + row / 2, col % 2);
    });
}

// rows x cols wells of `beams` channels each, channels taken in order
// (channel c in well c / beams, beam c % beams); the rest lie in no well.
inline PlateLayout gridPlate(int rows, int cols, int beams) {
    return makePlate(rows, 16.0 / rows, 0, cols, 24.0 / cols, 0, [=](int c) {
        int well = c / beams;
        if (well >= rows * cols) return std::make_pair(-1, 0);
        return std::make_pair(well, c % beams);
    });
}

} // namespace trv::test
