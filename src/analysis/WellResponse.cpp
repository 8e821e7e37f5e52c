#include "analysis/WellResponse.h"

#include <algorithm>

namespace trv {

std::optional<std::string> windowProblem(const MinuteWindow& window, int32_t lastMinute) {
    if (window.from < 0) return "the window cannot start before minute 0";
    if (window.to <= window.from)
        return "the window [" + std::to_string(window.from) + ", " + std::to_string(window.to) +
               ") holds no minute: it must end after it starts";
    if (window.to > lastMinute)
        return "the window [" + std::to_string(window.from) + ", " + std::to_string(window.to) +
               ") ends after the acquisition: its last whole minute ends at minute " +
               std::to_string(lastMinute);
    return std::nullopt;
}

int32_t lastMinute(const ActivitySeries& series) {
    return series.time.empty() ? 0 : *std::max_element(series.time.begin(), series.time.end());
}

std::vector<double> wellRates(const ActivitySeries& series, const ReportLayout& layout,
                              const MinuteWindow& window) {
    std::vector<long long> channelEvents(kChannels, 0);
    for (int i = 0; i < series.size(); ++i) {
        const int32_t t = series.time[static_cast<size_t>(i)];
        if (t < window.from || t >= window.to) continue;
        const int16_t* row = &series.counts[static_cast<size_t>(i) * kChannels];
        for (int ch = 0; ch < kChannels; ++ch)
            channelEvents[static_cast<size_t>(ch)] += row[ch];
    }
    std::vector<double> rates(static_cast<size_t>(layout.wellCount()), 0.0);
    const auto& wellChannels = layout.plate.Well_Channel;
    for (int w = 0; w < layout.wellCount() && w < static_cast<int>(wellChannels.size()); ++w) {
        long long events = 0;
        for (int16_t ch : wellChannels[static_cast<size_t>(w)])
            if (ch >= 0 && ch < kChannels) events += channelEvents[static_cast<size_t>(ch)];
        rates[static_cast<size_t>(w)] = static_cast<double>(events) / window.minutes();
    }
    return rates;
}

} // namespace trv
