#include "reports/ReportTypes.h"

#include "common/Numeric.h"

namespace trv {

int ReportLayout::maxGroup() const {
    int g = 0;
    for (int c = 0; c < kChannels; ++c)
        if (inGroup(c) && groupOf(c) > g) g = groupOf(c);
    return g;
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
