// SignalBlock: one block of 16-bit samples for every beam slot (0..384) and
// every sample row (0..RT_Buffer). The acquisition's block arrays, the stored
// raw blocks read back for reprocessing and the command line all use it.
//
// Storage is beam-major: the samples of one beam are contiguous, because the
// detection walks one beam at a time over the whole block and the real-time
// processing walks each beam's window. The raw data files are sample-major
// (beam fastest); DataFiles converts when writing and reading.
#pragma once

#include "store/Module1.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace trv {

class SignalBlock {
  public:
    static constexpr int kBeams = kSlots; // 385 slots, slot 384 carries no beam

    // A block of RT_Buffer + 1 = 501 sample rows.
    SignalBlock() : SignalBlock(501) {}
    // sampleCount rows per beam (RT_Buffer + 1); at least 1.
    explicit SignalBlock(int sampleCount) { resize(sampleCount); }

    int sampleCount() const { return samples_; }
    // Reallocates for sampleCount rows per beam; every value becomes 0.
    void resize(int sampleCount) {
        samples_ = sampleCount < 1 ? 1 : sampleCount;
        data_.assign(static_cast<size_t>(samples_) * kBeams, 0);
    }
    void clear() { std::fill(data_.begin(), data_.end(), int16_t{0}); }
    // Clears every row of one beam.
    void clearBeam(int beam) { std::fill(row(beam), row(beam) + samples_, int16_t{0}); }

    int16_t& at(int beam, int sample) { return data_[index(beam, sample)]; }
    int16_t at(int beam, int sample) const { return data_[index(beam, sample)]; }

    // The sampleCount() contiguous samples of one beam.
    int16_t* row(int beam) { return data_.data() + static_cast<size_t>(beam) * samples_; }
    const int16_t* row(int beam) const {
        return data_.data() + static_cast<size_t>(beam) * samples_;
    }

    bool operator==(const SignalBlock& o) const {
        return samples_ == o.samples_ && data_ == o.data_;
    }

  private:
    size_t index(int beam, int sample) const {
        return static_cast<size_t>(beam) * samples_ + static_cast<size_t>(sample);
    }
    int samples_ = 1;
    std::vector<int16_t> data_;
};

} // namespace trv
