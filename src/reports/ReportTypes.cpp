#include "reports/ReportTypes.h"

#include "common/Numeric.h"

namespace trv {

int ReportLayout::maxGroup() const {
    int g = 0;
    for (int c = 0; c < kChannels; ++c)
        if (inGroup(c) && groupOf(c) > g) g = groupOf(c);
    return g;
}

std::vector<std::vector<int>> ReportLayout::groupMemberWells(int maxGroup) const {
    std::vector<std::vector<int>> members(static_cast<size_t>(maxGroup + 1));
    for (int w = 0; w < wellCount(); ++w) {
        int ch = beam0Channel(w);
        if (ch < 0 || ch >= kChannels || !inGroup(ch)) continue;
        int g = groupOf(ch);
        if (g <= maxGroup) members[static_cast<size_t>(g)].push_back(w);
    }
    return members;
}

std::string ReportLayout::groupLabel(int group) const {
    if (group < 0 || group >= kSlots) return freeLabel();
    std::string label(1, '"');
    label += zeroPadded(group, 3);
    label += '_';
    label += channels.Group_Name[static_cast<size_t>(group)];
    label += '"';
    return label;
}

} // namespace trv
