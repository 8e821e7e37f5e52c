#include "reports/Statistics.h"

#include "common/Numeric.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace trv {

namespace {
struct CalculationError {};

int32_t checked32(long long v) {
    if (v < INT32_MIN || v > INT32_MAX) throw CalculationError{};
    return static_cast<int32_t>(v);
}

int32_t rounded32(double v) {
    if (!std::isfinite(v) || v < -2147483648.5 || v > 2147483647.5) throw CalculationError{};
    return checked32(roundHalfEven(v));
}
} // namespace

int reportColumnCount(int32_t tmax, int binSize) {
    if (binSize < 1) return 1;
    long long c = roundHalfEven(static_cast<double>(tmax) / binSize);
    return c < 1 ? 1 : static_cast<int>(c);
}

int reportColumnOf(int32_t time, int binSize) {
    if (time <= binSize) return 1;
    return static_cast<int>((static_cast<long long>(time) + binSize - 1) / binSize);
}

ReportStatistics computeStatistics(const ActivitySeries& series, const ReportLayout& layout,
                                   int32_t tmax, int lastBin, int binSize, OutputFormat format,
                                   Prompter& prompter) {
    ReportStatistics st;
    const int B = binSize < 1 ? 1 : binSize;
    const int columns = reportColumnCount(tmax, B);
    st.columnCount = columns;
    st.maxGroup = layout.maxGroup();
    const size_t slots = static_cast<size_t>(columns + 2);
    st.columnPresent.assign(slots, false);
    st.samples.assign(slots, 0);
    st.columnTemperature.assign(slots, 0);
    st.groupWellCount.assign(kSlots, 0);
    const int wells = layout.wellCount();
    st.channelValue.reset(kSlots, columns);
    st.wellValue.reset(wells, columns);
    st.groupMean.reset(kSlots, columns);
    st.groupStdDev.reset(kSlots, columns);

    const int last = std::min(lastBin, series.lastIndex());
    auto columnOf = [&](int i) -> int {
        int c = reportColumnOf(series.time[static_cast<size_t>(i)], B);
        // Bins past the last column cannot occur with bin end times; a
        // damaged series is not allowed to write outside the tables.
        return c <= columns + 1 ? c : -1;
    };

    try {
        // Temperature: readings of 1.0 to 50.0 degrees count.
        std::vector<long long> tSum(slots, 0), tCount(slots, 0);
        for (int i = 0; i <= last; ++i) {
            int c = columnOf(i);
            int t = series.temperature[static_cast<size_t>(i)];
            if (c < 0 || t < 10 || t > 500) continue;
            tSum[static_cast<size_t>(c)] += t;
            ++tCount[static_cast<size_t>(c)];
        }
        for (size_t c = 0; c < slots; ++c)
            if (tCount[c] > 0)
                st.columnTemperature[c] =
                    rounded32(static_cast<double>(tSum[c]) / static_cast<double>(tCount[c]));

        if (format == OutputFormat::Histogram) return st;

        for (int i = 0; i <= last; ++i) {
            int c = columnOf(i);
            if (c < 0) continue;
            for (int ch = 0; ch < kChannels; ++ch)
                st.channelValue.at(ch, c) = checked32(
                    static_cast<long long>(st.channelValue.at(ch, c)) + series.count(ch, i));
            st.columnPresent[static_cast<size_t>(c)] = true;
            st.samples[static_cast<size_t>(c)] += 1;

            if (layout.plate.Max_Beam == 0) {
                for (int w = 0; w < wells; ++w) {
                    int ch = layout.beam0Channel(w);
                    if (ch < 0 || ch >= kChannels) continue;
                    st.wellValue.at(w, c) = checked32(
                        static_cast<long long>(st.wellValue.at(w, c)) + series.count(ch, i));
                }
            } else {
                for (int w = 0; w < wells; ++w) {
                    long long sum = 0;
                    int m = 0;
                    for (int b = 0; b <= layout.plate.Max_Beam; ++b) {
                        int ch = layout.plate.wellChannel(w, b);
                        if (ch < 0 || ch >= kChannels) continue;
                        sum += series.count(ch, i);
                        ++m;
                    }
                    if (m == 0) continue;
                    st.wellValue.at(w, c) =
                        rounded32(static_cast<double>(sum) / m + st.wellValue.at(w, c));
                }
            }
        }

        // Groups: the member wells are those whose beam-0 channel is in it.
        const int G = st.maxGroup;
        const std::vector<std::vector<int>> members = layout.groupMemberWells(G);
        for (int g = 0; g <= G; ++g) {
            const auto& mw = members[static_cast<size_t>(g)];
            const int m = static_cast<int>(mw.size());
            if (m == 0) continue;
            st.groupWellCount[static_cast<size_t>(g)] = m;
            for (int c = 1; c <= columns; ++c) {
                long long sum = 0;
                for (int w : mw)
                    sum += st.wellValue.at(w, c);
                int32_t mean = rounded32(static_cast<double>(checked32(sum)) / m);
                st.groupMean.at(g, c) = mean;
                if (m == 1) continue;
                long long acc = 0;
                for (int w : mw) {
                    double d = static_cast<double>(st.wellValue.at(w, c)) - mean;
                    acc = rounded32(d * d + static_cast<double>(acc));
                }
                st.groupStdDev.at(g, c) = rounded32(std::sqrt(static_cast<double>(acc) / (m - 1)));
            }
        }
    } catch (...) {
        prompter.show("Report Calculation Error");
    }
    return st;
}

} // namespace trv
