// The time-stepped spreading written the plain way: every channel walks its
// own 0.02-minute steps. Kept as the reference the fast resampler must match
// bit for bit, and as the baseline of the resampling benchmark.
#pragma once

#include "reports/Resample.h"

namespace trv::test {

inline void literalRegularBinSums(const ActivitySeries& series, int32_t tmax, int n, int B, int K,
                                  resample_detail::BinSums& out) {
    out.reset(K + 2);
    if (n < 1) return;
    const double r = static_cast<double>(tmax) / n;
    for (int ch = 0; ch < kChannels; ++ch) {
        int bin = 0, record = 0;
        double aRec = 0, aBin = 0;
        out.sum[static_cast<size_t>(bin) * kChannels + ch] = 0;
        while (bin <= K && record < n) {
            out.sum[static_cast<size_t>(bin) * kChannels + ch] +=
                series.count(ch, record) / (r * 50);
            if (series.temperature[static_cast<size_t>(record)] >= 1)
                out.temperature[static_cast<size_t>(bin)] =
                    series.temperature[static_cast<size_t>(record)];
            if (aRec >= r) {
                record += 1;
                aRec = 0;
            }
            if (aBin >= B) {
                bin += 1;
                out.sum[static_cast<size_t>(bin) * kChannels + ch] = 0;
                aBin = 0;
            }
            aRec += 0.02;
            aBin += 0.02;
        }
    }
}

} // namespace trv::test
