#include "store/Module1.h"

namespace trv {

ChannelTables::ChannelTables() {
    setDefaultEnabled();
    setDefaultThresholds();
    setDefaultGroupNames();
    setDefaultChannelGroups();
}

void ChannelTables::setDefaultEnabled() { Channel_Enabled.fill(-1); }

void ChannelTables::setDefaultThresholds() { Channel_Threshold.fill(3.0); }

void ChannelTables::setDefaultGroupNames() {
    for (int g = 0; g < kSlots; ++g) Group_Name[static_cast<size_t>(g)] = defaultGroupName(g);
}

void ChannelTables::setDefaultChannelGroups() {
    for (int c = 0; c < kSlots; ++c) Channel_Group[static_cast<size_t>(c)] = defaultGroupOf(c);
}

PlateLayout::PlateLayout() {
    Channel_Well.fill(-1);
    Channel_Beam.fill(0);
}

std::string PlateLayout::wellLabel(int well) const {
    if (well < 0 || Plate_Rows <= 0) return "";
    int row = well % Plate_Rows;
    int col = well / Plate_Rows;
    return std::string(1, static_cast<char>('A' + row)) + std::to_string(col + 1);
}

std::string PlateLayout::channelLabel(int channel) const {
    if (channel < 0 || channel >= kSlots) return "";
    int well = Channel_Well[static_cast<size_t>(channel)];
    if (well < 0) return "";
    return wellLabel(well) + "." + std::to_string(Channel_Beam[static_cast<size_t>(channel)]);
}

namespace Module1 {
SharedState& state() {
    static SharedState instance;
    return instance;
}
} // namespace Module1

} // namespace trv
