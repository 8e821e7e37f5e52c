#include "reports/ActivityFile.h"

#include <algorithm>
#include <stdexcept>

namespace trv {

namespace {
constexpr long long kDayMinutes = 1440;
constexpr long long kNewDayDrop = 1000;

int32_t fits32(long long v) {
    if (v < INT32_MIN || v > INT32_MAX) throw std::range_error("time outside 32 bits");
    return static_cast<int32_t>(v);
}
} // namespace

std::vector<int32_t> dayCorrectedTimes(const std::vector<int32_t>& stored) {
    std::vector<int32_t> out;
    out.reserve(stored.size());
    long long day = 0;
    for (size_t i = 0; i < stored.size(); ++i) {
        long long t = day * kDayMinutes + stored[i];
        if (i > 0 && t < static_cast<long long>(out.back()) - kNewDayDrop) {
            ++day;
            t = day * kDayMinutes + stored[i];
        }
        out.push_back(fits32(t));
    }
    return out;
}

int32_t durationOfStoredTimes(const std::vector<int32_t>& stored) {
    long long day = 0, largest = 0;
    for (size_t i = 0; i < stored.size(); ++i) {
        largest = std::max(largest, day * kDayMinutes + stored[i]);
        if (i > 0 && static_cast<long long>(stored[i]) < static_cast<long long>(stored[i - 1]) - kNewDayDrop) ++day;
    }
    return fits32(largest);
}

int lastRisingRecord(const std::vector<int32_t>& stored) {
    int last = -1;
    long long highest = 0;
    for (size_t i = 0; i < stored.size(); ++i) {
        if (i == 0 || stored[i] >= highest) {
            highest = stored[i];
            last = static_cast<int>(i);
        }
    }
    return last;
}

} // namespace trv
