#include "reports/Resample.h"

#include "common/Numeric.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace trv {
namespace resample_detail {

bool isIrregular(const std::vector<int32_t>& time, int lastIndex) {
    if (lastIndex < 1) return false;
    long long previous = static_cast<long long>(time[1]) - time[0];
    for (int i = 1; i <= lastIndex; ++i) {
        if (time[static_cast<size_t>(i)] < time[static_cast<size_t>(i - 1)]) continue;
        long long d =
            static_cast<long long>(time[static_cast<size_t>(i)]) - time[static_cast<size_t>(i - 1)];
        if (d > 2 * previous && d != 0 && previous != 0) return true;
        previous = d;
    }
    return false;
}

namespace {

// A run of consecutive 0.02-minute steps that add the same record to the
// same bin.
struct StepRun {
    int record;
    int bin;
    int steps;
};

constexpr int kBlock = 16; // channels accumulated together (fits the registers)
static_assert(kChannels % kBlock == 0);

} // namespace

void regularBinSums(const ActivitySeries& series, int32_t tmax, int lastIndex, int binSize,
                    int binLimit, BinSums& out) {
    out.reset(binLimit + 2);
    const int n = lastIndex;
    if (n < 1) return;
    const double r = static_cast<double>(tmax) / n; // minutes per record
    const double stepShare = r * 50;                // steps per record

    // The schedule: which record feeds which bin at every step. The step
    // accumulators are the same double additions as the per-channel walk.
    std::vector<StepRun> runs;
    {
        int bin = 0, record = 0;
        double aRec = 0.0, aBin = 0.0;
        while (bin <= binLimit && record < n) {
            if (!runs.empty() && runs.back().record == record && runs.back().bin == bin)
                ++runs.back().steps;
            else
                runs.push_back({record, bin, 1});
            if (series.temperature[static_cast<size_t>(record)] >= 1)
                out.temperature[static_cast<size_t>(bin)] =
                    series.temperature[static_cast<size_t>(record)];
            if (aRec >= r) {
                ++record;
                aRec = 0;
            }
            if (aBin >= binSize) {
                ++bin;
                aBin = 0;
            }
            aRec += 0.02;
            aBin += 0.02;
        }
    }

    // Every channel adds counts / (r * 50) once per step, in step order.
    // Adding +0.0 leaves a sum unchanged, so blocks of silent channels are
    // skipped without changing a bit.
    for (const StepRun& run : runs) {
        const int16_t* c = &series.counts[static_cast<size_t>(run.record) * kChannels];
        double* s = &out.sum[static_cast<size_t>(run.bin) * kChannels];
        for (int ch0 = 0; ch0 < kChannels; ch0 += kBlock) {
            bool silent = true;
            for (int k = 0; k < kBlock; ++k)
                silent = silent && c[ch0 + k] == 0;
            if (silent) continue;
            double v[kBlock], acc[kBlock];
            for (int k = 0; k < kBlock; ++k) {
                v[k] = c[ch0 + k] / stepShare;
                acc[k] = s[ch0 + k];
            }
            for (int j = 0; j < run.steps; ++j)
                for (int k = 0; k < kBlock; ++k)
                    acc[k] += v[k];
            for (int k = 0; k < kBlock; ++k)
                s[ch0 + k] = acc[k];
        }
    }
}

void irregularBinSums(const ActivitySeries& series, int lastIndex, int binSize, int binLimit,
                      BinSums& out) {
    // Bins past binLimit + 1 are never used.
    out.reset(binLimit + 2);
    int bin = 0;
    for (int i = 0; i <= lastIndex && bin < out.bins; ++i) {
        const int16_t* c = &series.counts[static_cast<size_t>(i) * kChannels];
        double* s = &out.sum[static_cast<size_t>(bin) * kChannels];
        for (int ch = 0; ch < kChannels; ++ch)
            s[ch] += c[ch];
        if (series.temperature[static_cast<size_t>(i)] >= 1)
            out.temperature[static_cast<size_t>(bin)] = series.temperature[static_cast<size_t>(i)];
        if (std::floor(static_cast<double>(series.time[static_cast<size_t>(i)]) / binSize) > bin)
            ++bin;
    }
}

} // namespace resample_detail

namespace {
struct ResampleError {
    int bin;
};
} // namespace

BinSpan binSpan(int32_t tmax, int binSize) {
    BinSpan s;
    if (binSize < 1) return s;
    s.bins = roundHalfEven(static_cast<double>(tmax) / binSize);
    s.limit = 32767 / binSize;
    return s;
}

std::string binSpanMessage(const BinSpan& span) {
    if (span.noWholeBin()) return "Resampling ERROR";
    if (span.pastLimit()) return "Resampling Calculation Error" + std::to_string(span.limit);
    return "";
}

int resampleSeries(ActivitySeries& series, int32_t& tmax, int lastIndex, int binSize,
                   Prompter& prompter) {
    using namespace resample_detail;
    if (binSize < 1 || lastIndex < 0 || lastIndex >= series.size()) {
        series.resize(0);
        return kNoWholeBin;
    }
    const int B = binSize;
    const BinSpan span = binSpan(tmax, B);
    const long long K = span.bins;
    // Fewer than half a bin (K = 0) can never give a whole bin.
    if (span.noWholeBin()) {
        series.resize(0);
        return kNoWholeBin;
    }
    int reached = 0;
    try {
        // Bin ends are 16-bit minutes: the first bin ending past 32767 fails.
        // Knowing it up front keeps a damaged time (days or years late) from
        // walking and storing bins that can never be reported.
        const long long firstFailing = span.limit;
        if (span.pastLimit()) {
            // The bins before it are still checked first, in order.
            const int limit = static_cast<int>(firstFailing);
            BinSums sums;
            if (isIrregular(series.time, lastIndex))
                irregularBinSums(series, lastIndex, B, limit, sums);
            else
                regularBinSums(series, tmax, lastIndex, B, limit, sums);
            for (int i = 0; i < limit; ++i) {
                reached = i;
                roundToInt16(sums.temperature[static_cast<size_t>(i)]);
                for (int ch = 0; ch < kChannels; ++ch)
                    roundToInt16(
                        sums.sum[static_cast<size_t>(i) * kChannels + static_cast<size_t>(ch)]);
            }
            throw ResampleError{limit};
        }
        const int bins = static_cast<int>(K);
        BinSums sums;
        if (isIrregular(series.time, lastIndex))
            irregularBinSums(series, lastIndex, B, bins, sums);
        else
            regularBinSums(series, tmax, lastIndex, B, bins, sums);

        ActivitySeries binned;
        binned.resize(bins);
        for (int i = 0; i < bins; ++i) {
            reached = i;
            binned.time[static_cast<size_t>(i)] = B * (i + 1);
            binned.temperature[static_cast<size_t>(i)] =
                roundToInt16(sums.temperature[static_cast<size_t>(i)]);
            const double* s = &sums.sum[static_cast<size_t>(i) * kChannels];
            for (int ch = 0; ch < kChannels; ++ch)
                binned.count(ch, i) = roundToInt16(s[ch]);
        }

        // The last bin, when the acquisition covers only part of it.
        reached = bins - 1;
        const double whole = std::floor(static_cast<double>(tmax) / B);
        const double p = (tmax - whole * B) * 100 / B;
        if (p >= 75 && p < 100) {
            const double factor = 1 + (100 - p) / 100;
            for (int ch = 0; ch < kChannels; ++ch)
                binned.count(ch, bins - 1) = roundToInt16(binned.count(ch, bins - 1) * factor);
            tmax = static_cast<int32_t>(static_cast<long long>(bins) * B);
        } else if (p > 0 && p < 75) {
            tmax = static_cast<int32_t>(whole * B);
        }
        const int last = static_cast<int>(roundHalfEven(static_cast<double>(tmax) / B)) - 1;
        if (last < 0) {
            series.resize(0);
            return kNoWholeBin;
        }
        // Bins past the last one kept (a dropped partial bin) are never
        // reported; the series ends with the last bin.
        binned.time.resize(static_cast<size_t>(last + 1));
        binned.temperature.resize(static_cast<size_t>(last + 1));
        binned.counts.resize(static_cast<size_t>(last + 1) * kChannels);
        series = std::move(binned);
        return last;
    } catch (const ResampleError& e) {
        prompter.show("Resampling Calculation Error" + std::to_string(e.bin));
    } catch (const std::exception&) {
        prompter.show("Resampling Calculation Error" + std::to_string(reached));
    }
    return kResampleFailed;
}

} // namespace trv
