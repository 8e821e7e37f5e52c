// Resampling of an activity series into report bins of a chosen size.
#pragma once

#include "common/Prompter.h"
#include "reports/ReportTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace trv {

// Results of resampleSeries besides the index of the last bin.
constexpr int kNoWholeBin = -1;     // the series is shorter than half a bin
constexpr int kResampleFailed = -2; // a calculation failed; its message was shown

// How many bins of B minutes a series whose largest time is tmax spans, and
// whether a report can be made of them: fewer than half a bin give no whole
// bin, and bin ends are 16-bit minutes, so bin `limit` (the first ending past
// 32767) and those after it cannot be reported. A damaged record time (days
// or years late, or negative) is caught here by every reader of counts.bin
// that bins its records, before it works on them.
struct BinSpan {
    long long bins = 0; // round(tmax / B)
    int limit = 0;      // 32767 / B
    bool noWholeBin() const { return bins < 1; }
    bool pastLimit() const { return bins > limit; }
};
BinSpan binSpan(int32_t tmax, int binSize);
// The report's message for a span it cannot report ("Resampling ERROR", or
// "Resampling Calculation Error" + limit); empty when the span is fine.
std::string binSpanMessage(const BinSpan& span);

// Replaces the series (records 0..lastIndex, largest time tmax) by its binned
// form: bins 0..result, time = end of each bin. tmax becomes the end of the
// last bin kept. Returns the index of the last bin, kNoWholeBin when no whole
// bin results, kResampleFailed after "Resampling Calculation Error" + bin.
int resampleSeries(ActivitySeries& series, int32_t& tmax, int lastIndex, int binSize,
                   Prompter& prompter);

namespace resample_detail {

// True when one record interval is more than twice the one before it (both
// non-zero): the acquisition was paused or lost blocks, and time-stepped
// spreading would smear records over the gap.
bool isIrregular(const std::vector<int32_t>& time, int lastIndex);

// Sums of counts per bin before rounding, bins 0..K+1, bin-major:
// sum[bin * kChannels + channel]; temperature is the last valid (>= 1)
// record temperature seen in each bin.
struct BinSums {
    int bins = 0;
    std::vector<double> sum;
    std::vector<double> temperature;
    void reset(int binCount) {
        bins = binCount;
        sum.assign(static_cast<size_t>(binCount) * kChannels, 0.0);
        temperature.assign(static_cast<size_t>(binCount), 0.0);
    }
};

// Time-stepped spreading: every record is spread over the bins it overlaps
// in 0.02-minute steps (the last record is not used). The step schedule is
// the same for every channel, so it is walked once and the channels are
// accumulated together, in the same order and with the same values as a
// channel-by-channel walk would use: the sums are bit for bit the same.
void regularBinSums(const ActivitySeries& series, int32_t tmax, int lastIndex, int binSize,
                    int binLimit, BinSums& out);

// Whole records: each record goes to the bin that is current when it is read;
// the bin advances by at most one per record.
void irregularBinSums(const ActivitySeries& series, int lastIndex, int binSize, int binLimit,
                      BinSums& out);

} // namespace resample_detail
} // namespace trv
