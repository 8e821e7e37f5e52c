// Beam signals for detection tests and benchmarks: what the instrument sees
// with worms, fish larvae and flies in the wells, plus the degenerate blocks
// (constant, zero, saturated, dark with rare spikes, pure noise).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>

namespace trv::test {

enum class SignalKind {
    Worms,      // level near 1700, frequent short dips
    Fish,       // quiet stretches and bursts of large swings
    Flies,      // rare spikes above and below the level
    Constant,   // every sample equal
    Zero,       // dark beam
    Saturated,  // 4095 with a few dips
    Noise,      // uniform noise over the 12-bit range
    DarkSpikes, // level 0..2 with rare full-scale spikes (curve overflow)
    Wild,       // any 16-bit value (damaged files)
    Steps,      // plateaus with jumps, many equal neighbours
    Count
};

using Row = std::array<int16_t, 501>;

inline int16_t clamp12(int v) {
    return static_cast<int16_t>(std::clamp(v, 0, 4095));
}

inline Row makeSignal(SignalKind kind, std::mt19937& rng) {
    Row x{};
    auto uni = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::normal_distribution<double> gauss(0.0, 1.0);
    const int level = uni(1200, 2200);
    const double noiseAmp = uni(0, 25);
    auto noisy = [&](int v) { return clamp12(v + static_cast<int>(gauss(rng) * noiseAmp)); };
    switch (kind) {
    case SignalKind::Worms: {
        for (auto& v : x)
            v = noisy(level);
        int i = uni(0, 20);
        while (i < 501) {
            const int width = uni(2, 8), depth = uni(50, 900);
            for (int k = 0; k < width && i + k < 501; ++k)
                x[i + k] = noisy(level - depth);
            i += width + uni(3, 40);
        }
        break;
    }
    case SignalKind::Fish: {
        int i = 0;
        while (i < 501) {
            const bool burst = uni(0, 3) == 0;
            const int len = uni(20, 120);
            for (int k = 0; k < len && i < 501; ++k, ++i)
                x[i] = burst ? noisy(level - uni(0, 1200)) : noisy(level);
        }
        break;
    }
    case SignalKind::Flies: {
        for (auto& v : x)
            v = noisy(level / 3);
        const int spikes = uni(0, 12);
        for (int s = 0; s < spikes; ++s) {
            const int at = uni(0, 500), width = uni(1, 15), h = uni(-300, 2500);
            for (int k = 0; k < width && at + k < 501; ++k)
                x[at + k] = noisy(level / 3 + h);
        }
        break;
    }
    case SignalKind::Constant:
        x.fill(static_cast<int16_t>(uni(0, 4095)));
        break;
    case SignalKind::Zero:
        x.fill(0);
        break;
    case SignalKind::Saturated:
        x.fill(4095);
        for (int s = uni(0, 6); s > 0; --s)
            x[uni(0, 500)] = clamp12(uni(0, 4095));
        break;
    case SignalKind::Noise:
        for (auto& v : x)
            v = clamp12(uni(0, 4095));
        break;
    case SignalKind::DarkSpikes:
        for (auto& v : x)
            v = static_cast<int16_t>(uni(0, 2));
        for (int s = uni(1, 4); s > 0; --s)
            x[uni(0, 500)] = static_cast<int16_t>(uni(3000, 4095));
        break;
    case SignalKind::Wild:
        for (auto& v : x)
            v = static_cast<int16_t>(uni(-32768, 32767));
        break;
    case SignalKind::Steps: {
        int i = 0;
        while (i < 501) {
            const int len = uni(1, 60), v = uni(0, 4095);
            for (int k = 0; k < len && i < 501; ++k, ++i)
                x[i] = static_cast<int16_t>(v);
        }
        break;
    }
    case SignalKind::Count:
        break;
    }
    return x;
}

} // namespace trv::test
