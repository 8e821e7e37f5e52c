#include "acquisition/RealtimeProcessing.h"

#include "acquisition/Analysis_Module.h"
#include "common/Numeric.h"

#include <algorithm>
#include <cmath>

namespace trv {

namespace {
constexpr int kMotilityWindow = 10; // method 2's window
} // namespace

RealtimeProcessor::RealtimeProcessor(int rtBuffer) {
    resize(rtBuffer);
}

void RealtimeProcessor::resize(int rtBuffer) {
    rtBuffer_ = std::max(rtBuffer, kMinBuffer);
    for (SignalBlock* b : {&rawBlock, &filteredBlock, &clipBlock, &upperEnv, &lowerEnv})
        b->resize(rtBuffer_ + 1);
    clearBeamState();
    blockCounts.fill(0);
    totals.fill(0);
    blankMax.fill(0);
    blankMin.fill(10000);
}

void RealtimeProcessor::clearForPlay() {
    for (SignalBlock* b : {&rawBlock, &filteredBlock, &clipBlock, &upperEnv, &lowerEnv})
        b->clear();
    clearBeamState();
    blockCounts.fill(0);
    totals.fill(0);
}

void RealtimeProcessor::clearBeamState() {
    inEvent.fill(0);
    pendingEvent.fill(0);
    envSum.fill(0);
    levelSum.fill(0);
    statCount.fill(0);
}

void RealtimeProcessor::startBlank() {
    clearBeamState();
    blankMax.fill(0);
    blankMin.fill(10000);
    blankRunning = true;
}

double RealtimeProcessor::blankThreshold(int16_t minimum, int16_t maximum) {
    const double thr =
        std::floor((1 - static_cast<double>(minimum) / static_cast<double>(maximum)) * 100 * 1.15) +
        1;
    return thr < 1 ? 1 : thr;
}

void RealtimeProcessor::applyBlankThresholds(ChannelArray<double>& Channel_Threshold,
                                             const ChannelArray<int16_t>& Channel_Well) const {
    for (int b = 0; b < kChannels; ++b)
        if (Channel_Well[b] >= 0 && blankMin[b] < 10000 && blankMax[b] > 0)
            Channel_Threshold[b] = blankThreshold(blankMin[b], blankMax[b]);
}

BlockStatistics RealtimeProcessor::blockStatistics(int beam) const {
    BlockStatistics st;
    if (beam < 0 || beam >= kSlots || statCount[beam] < 1) return st;
    st.valid = true;
    st.envelope = roundHalfEven(static_cast<double>(envSum[beam]) / statCount[beam]);
    st.level = roundHalfEven(static_cast<double>(levelSum[beam]) / statCount[beam]);
    return st;
}

// Largest sample over the `length` window rows before s (starting from 0).
// Rows at or before 0 wrap to the end of the block arrays, so the window
// reaches into the previous block and row 0 itself is never read.
int RealtimeProcessor::windowMax(const int16_t* row, int s, int length) const {
    int m = 0;
    const int first = s - length;
    if (first >= 1) {
        for (int r = first; r < s; ++r)
            m = std::max(m, static_cast<int>(row[r]));
        return m;
    }
    for (int r = first; r <= 0 && r < s; ++r)
        m = std::max(m, static_cast<int>(row[windowRow(r)]));
    for (int r = 1; r < s; ++r)
        m = std::max(m, static_cast<int>(row[r]));
    return m;
}

void RealtimeProcessor::processSample(int s, int32_t ticks, int windowCounter,
                                      const RealtimeSettings& settings,
                                      ChannelArray<double>& Channel_Threshold,
                                      const ChannelArray<int16_t>& Channel_Well) {
    if (std::max<int>(settings.RT_Buffer, kMinBuffer) != rtBuffer_) resize(settings.RT_Buffer);
    if (s < 0 || s >= rtBuffer_) return;
    const int W = settings.DSP_Interval;

    if (settings.autoZero) {
        for (int b = 0; b < kChannels; ++b)
            if (Channel_Well[b] >= 0) autoZeroBeam(b, s, ticks, W, Channel_Threshold[b]);
        return;
    }

    // Auto Zero off: nothing until the window has filled after Play or resume.
    if (!(ticks > W)) return;
    for (int b = 0; b < kChannels; ++b)
        runningCurveBeam(b, s, ticks, W, windowCounter, settings.DSP_Method, Channel_Threshold[b],
                         Channel_Well[b] >= 0);
    if (blankRunning && blankHook) blankHook(*this);
}

void RealtimeProcessor::autoZeroBeam(int b, int s, int32_t ticks, int W, double thr) {
    int16_t* raw = rawBlock.row(b);
    int16_t* filt = filteredBlock.row(b);
    int16_t* clip = clipBlock.row(b);
    int16_t* up = upperEnv.row(b);
    int16_t* lo = lowerEnv.row(b);

    if (ticks <= W || s < 2) {
        // Start of the run or of a block: the statistics restart.
        envSum[b] = levelSum[b] = statCount[b] = 0;
        up[s] = lo[s] = raw[s];
        filt[s] = saturatingRound16((100 - thr) / 100 * raw[s]);
        clip[s] = saturatingRound16((thr + 100) / 100 * raw[s]);
        return;
    }

    // A window longer than the block's earlier rows would read before the
    // arrays; it is limited to the rows that exist.
    const int length = std::clamp(W, 0, rtBuffer_ - 2);
    int mx = windowMax(raw, s, length);
    const int c3 = clip[windowRow(s - 3)] + clip[windowRow(s - 2)] + clip[windowRow(s - 1)];
    clip[s] = saturatingRound16(((thr + 100) * mx / 100 + c3) / 4);

    // A single-sample peak above the clipping curve is replaced by the mean
    // of its neighbours before it enters the envelopes and the statistics.
    const int prev = s - 1;
    if (clip[prev] < raw[prev] && raw[prev] > raw[prev - 1] && raw[prev] > raw[s]) {
        raw[prev] = saturatingRound16((raw[s] + raw[prev - 1]) / 2.0);
        if (length >= 1) mx = windowMax(raw, s, length);
    }

    up[s] = up[prev];
    lo[s] = lo[prev];
    if (raw[prev] < raw[prev - 1] && raw[prev] < raw[s]) lo[s] = raw[prev];
    if (raw[prev] > raw[prev - 1] && raw[prev] > raw[s]) up[s] = raw[prev];

    envSum[b] += up[s] - lo[s];
    levelSum[b] += raw[prev];
    statCount[b] += 1;

    const int f3 = filt[windowRow(s - 3)] + filt[windowRow(s - 2)] + filt[windowRow(s - 1)];
    filt[s] = saturatingRound16(((100 - thr) * mx / 100 + f3) / 4);
    clip[s] = saturatingRound16(((thr + 100) * mx / 100 + c3) / 4);
}

void RealtimeProcessor::runningCurveBeam(int b, int s, int32_t ticks, int W, int windowCounter,
                                         int method, double& thr, bool inWell) {
    int16_t* raw = rawBlock.row(b);
    int16_t* filt = filteredBlock.row(b);

    if (s == 0) blockCounts[b] = 0;

    if (blankRunning && inWell) {
        blankMax[b] = std::max(blankMax[b], raw[s]);
        blankMin[b] = std::min(blankMin[b], raw[s]);
        if (blankMin[b] < 10000 && blankMax[b] > 0) thr = blankThreshold(blankMin[b], blankMax[b]);
        filt[s] = saturatingRound16((100 - thr) / 100 * raw[s]);
    } else if (method == 0 || method == 1) {
        const int mx = windowMax(raw, s, std::clamp(W, 0, rtBuffer_ - 2));
        const int f3 = filt[windowRow(s - 3)] + filt[windowRow(s - 2)] + filt[windowRow(s - 1)];
        filt[s] = saturatingRound16(((100 - thr) * mx / 100 + f3) / 4);
    } else if (method == 2) {
        const int mx = windowMax(raw, s, std::min(kMotilityWindow, rtBuffer_ - 2));
        filt[s] = saturatingRound16((100 - thr) * mx / 100);
    }

    // The window has just filled: the rows before give the curve a start.
    if (ticks == W + 1) {
        if (s < W) {
            for (int r = 0; r <= s; ++r)
                filt[r] = filt[1];
        } else if (s - W + 1 <= rtBuffer_) {
            const int16_t v = filt[s - W + 1];
            for (int r = std::max(s - W, 0); r <= s; ++r)
                filt[r] = v;
        }
    }

    if (!inWell || !(ticks > 1.5 * W)) return;
    const bool below = raw[s] < filt[s];
    if (method == 1 || method == 2) {
        if (below && !inEvent[b]) {
            inEvent[b] = -1;
            if (blockCounts[b] < 32767) ++blockCounts[b];
            if (totals[b] <= 9999) ++totals[b];
            pendingEvent[b] = 1;
        }
        if (!below && inEvent[b]) {
            inEvent[b] = 0;
            pendingEvent[b] = 0;
        }
    } else if (method == 0) {
        // Crossings only arm the count; it is taken once per window of W ticks.
        if (below && !inEvent[b]) {
            inEvent[b] = -1;
            pendingEvent[b] = 1;
        }
        if (!below && inEvent[b]) inEvent[b] = 0;
        if (windowCounter >= W) {
            if (pendingEvent[b] == 1) {
                if (blockCounts[b] < 32767) ++blockCounts[b];
                if (totals[b] < 10000) ++totals[b];
            }
            pendingEvent[b] = 0;
        }
    }
}

} // namespace trv
