// Real-time processing of every new sample of the acquisition: spike removal
// and envelope statistics with Auto Zero on, running threshold curve and
// real-time event counting with Auto Zero off, and the blank reading.
//
// The acquisition run owns one RealtimeProcessor. Each tick it stores the new
// sample of every beam in rawBlock at sampleIndex and calls processSample once.
#pragma once

#include "acquisition/SignalBlock.h"
#include "store/Module1.h"

#include <cstdint>
#include <functional>

namespace trv {

struct RealtimeSettings {
    int16_t DSP_Method = 1;
    int16_t DSP_Interval = 30; // W, the window in samples (and ticks)
    int16_t RT_Buffer = 500;   // samples per block
    bool autoZero = true;
};

// Envelope statistics of one beam over the current block (Auto Zero on).
struct BlockStatistics {
    bool valid = false;     // at least one statistic sample
    long long envelope = 0; // round(envSum / statCount)
    long long level = 0;    // round(levelSum / statCount)
};

class RealtimeProcessor {
  public:
    explicit RealtimeProcessor(int rtBuffer = 500);

    // The smallest block: room for the three curve rows and a window.
    static constexpr int kMinBuffer = 8;

    int rtBuffer() const { return rtBuffer_; }
    // Block arrays for rtBuffer + 1 rows (at least 8 samples), everything cleared.
    void resize(int rtBuffer);

    // Play: block arrays, per-beam state, blockCounts and totals cleared.
    void clearForPlay();
    // The real-time detection state of every beam (inEvent, pendingEvent,
    // statistics); counts and block arrays stay.
    void clearBeamState();

    // Blank reading: extremes reset (maximum 0, minimum 10000), detection
    // state cleared, blankRunning set. The calibration ends it with stopBlank.
    void startBlank();
    void stopBlank() { blankRunning = false; }
    // floor((1 - minimum / maximum) * 115) + 1, at least 1.
    static double blankThreshold(int16_t minimum, int16_t maximum);
    // Sets Channel_Threshold of every in-well beam from its blank extremes
    // (when the minimum is below 10000 and the maximum above 0).
    void applyBlankThresholds(ChannelArray<double>& Channel_Threshold,
                              const ChannelArray<int16_t>& Channel_Well) const;

    // Processes row sampleIndex (0..RT_Buffer-1) of every beam.
    // ticksSinceStart: ticks since Play or resume; windowCounter: the run's
    // real-time window counter (0..DSP_Interval). Channel_Threshold is
    // updated by the blank reading. The block arrays follow settings.RT_Buffer
    // (a different value reallocates and clears them first).
    void processSample(int sampleIndex, int32_t ticksSinceStart, int windowCounter,
                       const RealtimeSettings& settings, ChannelArray<double>& Channel_Threshold,
                       const ChannelArray<int16_t>& Channel_Well);

    BlockStatistics blockStatistics(int beam) const;

    // Block arrays, beam 0..384 by sample 0..RT_Buffer.
    SignalBlock rawBlock, filteredBlock, clipBlock, upperEnv, lowerEnv;

    // Per beam.
    ChannelArray<int16_t> inEvent{};      // -1 while the signal is below the curve
    ChannelArray<int16_t> pendingEvent{}; // 1 while a crossing waits to be counted
    ChannelArray<int32_t> envSum{}, levelSum{}, statCount{};
    ChannelArray<int16_t> blankMax{}, blankMin{};
    ChannelArray<int16_t> blockCounts{}, totals{};

    bool blankRunning = false;
    // Called at the end of every tick that fed the blank (Auto Zero off,
    // window filled): the calibration decides there whether the blank ends.
    std::function<void(RealtimeProcessor&)> blankHook;

  private:
    void autoZeroBeam(int b, int s, int32_t ticks, int W, double thr);
    void runningCurveBeam(int b, int s, int32_t ticks, int W, int windowCounter, int method,
                          double& thr, bool inWell);
    int windowMax(const int16_t* row, int s, int length) const;
    int windowRow(int r) const { return r > 0 ? r : rtBuffer_ + r - 1; }

    int rtBuffer_ = 500;
};

} // namespace trv
