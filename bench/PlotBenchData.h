// A full 384-well plate in 12 groups with plausible counts, histograms and a
// block of raw samples: what the plot benchmarks redraw.
#pragma once

#include "display/LivePlots.h"
#include "display/SignalView.h"
#include "support/PlateLayouts.h"

#include <cmath>
#include <random>
#include <vector>

namespace trv::bench {

struct PlotBenchData {
    static constexpr int S = 500;
    static constexpr int R = 250; // write position in the middle of a block

    ChannelTables channels;
    PlateLayout plate = test::w384Plate();
    std::vector<int16_t> totals = std::vector<int16_t>(kSlots, 0);
    std::vector<int32_t> hist = std::vector<int32_t>(kSlots * kBodyBendsBins, 0);
    std::vector<int16_t> raw = std::vector<int16_t>(kSlots * (S + 1), 0);
    std::vector<int16_t> filtered = std::vector<int16_t>(kSlots * (S + 1), 0);

    PlotBenchData() {
        std::mt19937 rng(1);
        std::uniform_int_distribution<int> counts(0, 600);
        std::normal_distribution<double> noise(0, 20);
        for (int c = 0; c < kChannels; ++c) {
            channels.Channel_Group[static_cast<size_t>(c)] = static_cast<int16_t>(c / 32);
            totals[static_cast<size_t>(c)] = static_cast<int16_t>(counts(rng));
            for (int k = 0; k < kBodyBendsBins; ++k)
                hist[static_cast<size_t>(c * kBodyBendsBins + k)] =
                    static_cast<int32_t>(300 * std::exp(-0.5 * std::pow((k - 8) / 3.0, 2)));
        }
        for (int c = 0; c < kSlots; ++c)
            for (int i = 0; i <= S; ++i) {
                double v = 1500 + noise(rng) - (i % 97 < 6 ? 400 : 0);
                raw[static_cast<size_t>(c * (S + 1) + i)] = static_cast<int16_t>(v);
                filtered[static_cast<size_t>(c * (S + 1) + i)] = static_cast<int16_t>(0.95 * 1500);
            }
    }

    LivePlotData plotData() const {
        return LivePlotData{.channels = channels,
                            .plate = plate,
                            .totals = totals,
                            .bodyBendsHistogram = hist,
                            .histogramStride = kBodyBendsBins,
                            .deltaT = 0.12};
    }
    BlockArrays block() const { return BlockArrays::channelMajor(raw, filtered, S); }
};

// Sets a LivePlots in the given view as the main window would have it.
inline LivePlots plotsIn(int16_t mode, const PlotBenchData& d) {
    LivePlots p;
    p.plotScale = 3;
    p.plotMode = mode;
    if (mode == plotmode::Group) p.chooseGroup(3, d.channels, d.plate);
    if (mode == plotmode::Histogram) p.plotPage = 3;
    return p;
}

} // namespace trv::bench
