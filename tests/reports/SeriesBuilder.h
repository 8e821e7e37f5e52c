// In-memory activity series and layouts for the report tests.
#pragma once

#include "reports/ReportTypes.h"

#include <functional>
#include <vector>

namespace trv::test {

// A series with the given record times; count(channel, record) fills every
// channel, temperature(record) the temperature.
inline ActivitySeries makeSeries(const std::vector<int32_t>& times,
                                 const std::function<int(int, int)>& count,
                                 const std::function<int(int)>& temperature = nullptr) {
    ActivitySeries s;
    s.resize(static_cast<int>(times.size()));
    for (int i = 0; i < s.size(); ++i) {
        s.time[static_cast<size_t>(i)] = times[static_cast<size_t>(i)];
        s.temperature[static_cast<size_t>(i)] =
            static_cast<int16_t>(temperature ? temperature(i) : 0);
        for (int ch = 0; ch < kChannels; ++ch)
            s.count(ch, i) = static_cast<int16_t>(count(ch, i));
    }
    return s;
}

// Times 0, step, 2 step, ... up to last.
inline std::vector<int32_t> everyMinutes(int last, int step = 1) {
    std::vector<int32_t> t;
    for (int m = 0; m <= last; m += step)
        t.push_back(m);
    return t;
}

// A layout in which channel c lies in well wellOf[c] with beam beamOf[c]
// (channels not listed lie in no well) and belongs to group groupOf[c]
// (channels not listed are free).
inline ReportLayout makeLayout(int rows, int columns, const std::vector<int>& wellOf,
                               const std::vector<int>& beamOf, const std::vector<int>& groupOf) {
    ReportLayout L;
    L.loaded = true;
    L.plate.Plate_Rows = static_cast<int16_t>(rows);
    L.plate.Plate_Columns = static_cast<int16_t>(columns);
    L.plate.Channel_Well.fill(-1);
    L.plate.Channel_Beam.fill(0);
    L.channels.Channel_Group.fill(-1);
    int16_t maxWell = 0, maxBeam = 0;
    for (size_t c = 0; c < wellOf.size(); ++c) {
        L.plate.Channel_Well[c] = static_cast<int16_t>(wellOf[c]);
        L.plate.Channel_Beam[c] = static_cast<int16_t>(c < beamOf.size() ? beamOf[c] : 0);
        if (wellOf[c] > maxWell) maxWell = static_cast<int16_t>(wellOf[c]);
        if (L.plate.Channel_Beam[c] > maxBeam) maxBeam = L.plate.Channel_Beam[c];
    }
    for (size_t c = 0; c < groupOf.size(); ++c)
        L.channels.Channel_Group[c] = static_cast<int16_t>(groupOf[c]);
    L.plate.Max_Well = maxWell;
    L.plate.Max_Beam = maxBeam;
    L.plate.Well_Channel.assign(static_cast<size_t>(maxWell + 1),
                                std::vector<int16_t>(static_cast<size_t>(maxBeam + 1), -1));
    for (int c = 0; c < kChannels; ++c) {
        int w = L.plate.Channel_Well[static_cast<size_t>(c)];
        if (w >= 0)
            L.plate.Well_Channel[static_cast<size_t>(w)][static_cast<size_t>(
                L.plate.Channel_Beam[static_cast<size_t>(c)])] = static_cast<int16_t>(c);
    }
    return L;
}

} // namespace trv::test
