// Activity detection: turns one block of one beam's samples into a number of
// activity events, and the body-bend interval histogram.
//
// Every function here is pure apart from the samples it clips and the marks
// file it may append to: no statics, no shared state. Several detections may
// run at once on different threads as long as they touch different beams (or
// different blocks) and different traces.
#pragma once

#include "acquisition/SignalBlock.h"
#include "common/Numeric.h"

#include <array>
#include <cstdint>
#include <string>

namespace trv {

// Samples analysed per block (0..499), whatever the block length.
constexpr int kDetectSamples = 500;
// Histogram entries filled by BodyBendHistogram (intervals 0..49 samples).
constexpr int kBodyBendBins = 50;

// The detection method numbers (DSP_Method).
enum DetectMethod : int {
    kMethodBinary = 0,    // "0_Threshold+Binary (Old Method.w/filters)"
    kMethodAverage = 1,   // "1_Threshold Avrg (Default.Agar&Liquid)"
    kMethodMotility = 2,  // "2_Motility Index(ameboid movement)"
    kMethodDrosophila = 3 // "3_Drosophila (Threshold)"
};

// What one detection leaves besides its count, for drawing the beam it
// analysed (Detect_Threshold and Detect_Events of the shared state).
struct DetectionTrace {
    // The detection threshold per sample (method 2: the detrended, smoothed
    // signal minus the amplitude limit, samples 1..499). Entries a method does
    // not compute keep their value.
    std::array<int16_t, 501> threshold{};
    // -1 at every sample where an event was counted (methods 0, 1 and 3).
    // Detection only sets entries; clearing between beams is up to the caller.
    std::array<int16_t, 501> events{};
    // The event marks of the last call: 500 characters '0' or '1'.
    std::string marks;
    // True when the last call was asked to append its marks and could not.
    bool marksWriteFailed = false;
};

// Counts the activity events of one beam of a block with the given method
// (0..3; any other number clips the samples and counts nothing).
//
// Samples 0..499 of the beam are analysed and those above the clipping curve
// are cut down in place. A block shorter than 500 analysed samples (RT_Buffer
// below 500; the last row of a block is never acquired) is analysed as if its
// last acquired sample were repeated up to sample 499; only the samples that
// exist are clipped.
//
// With writeMarks = 1 one line "tag marks" is appended to the text file
// folder/ch<beam>.raw. trace, when given, receives the threshold, the event
// samples and the marks.
//
// Curve values that do not fit in 16 bits (a dark beam with rare spikes can
// drive the clipping curve past 32767) saturate to the 16-bit range for this
// beam only; the call never fails.
int16_t DetectActivity(SignalBlock& block, int beam, double snr, int method, int writeMarks,
                       const std::string& folder, int32_t tag, DetectionTrace* trace = nullptr);

// The block-end analysis of many beams: for each i, events[i] is what
// DetectActivity(block, beams[i], snr, method, 0, "", 0, traces[i]) returns
// (no marks file), with the same clipping. The beams must be distinct; they
// are analysed several at a time, which is what makes a whole plate fast.
// traces may be null, or hold null entries.
void DetectActivityBeams(SignalBlock& block, const int* beams, int beamCount, double snr,
                         int method, int16_t* events, DetectionTrace* const* traces = nullptr);

// The same detection on a plain row of samples (count samples, clipped in
// place); no marks file. DetectActivity runs through here.
int16_t DetectSamples(int16_t* samples, int count, double snr, int method,
                      DetectionTrace* trace = nullptr);

// Fills histogram[0..49] with the number of times two successive drops of the
// smoothed signal below its last peak (by more than the rounded threshold)
// were d samples apart (only 2..49 are ever counted). Returns 1.
int16_t BodyBendHistogram(const SignalBlock& block, int beam,
                          std::array<int16_t, kBodyBendBins>& histogram, double threshold);
int16_t BodyBendHistogramSamples(const int16_t* samples, int count,
                                 std::array<int16_t, kBodyBendBins>& histogram, double threshold);

// Path of a beam's marks file: folder + "/ch" + beam + ".raw".
std::string marksFilePath(const std::string& folder, int beam);
// Appends "tag marks" and a line end (CR LF) to the beam's marks file.
bool appendMarks(const std::string& folder, int beam, int32_t tag, const std::string& marks);

// Rounds halves to even and saturates to the 16-bit range (NaN gives -32768).
// The rounding of every 16-bit curve value of the detection.
inline int16_t saturatingRound16(double v) {
    if (!(v >= -32768.0)) return -32768;
    if (v >= 32767.0) return 32767;
    return static_cast<int16_t>(roundHalfEven(v));
}

} // namespace trv
