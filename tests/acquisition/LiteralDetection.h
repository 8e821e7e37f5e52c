// Reference detection written step by step, the slow and obvious way: every
// window is summed again for every sample, every working array is kept. The
// fast implementation in src/acquisition/Analysis_Module.cpp must agree with
// it on every count, mark, threshold, event, clipped sample and histogram bin.
//
// Numeric choices shared with the fast implementation: round() is
// roundHalfEven; 16-bit curve values saturate (saturatingRound16); sums of
// whole numbers are integer sums; sums of doubles run from the window's first
// index to its last.
#pragma once

#include "acquisition/Analysis_Module.h"
#include "common/Numeric.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>

namespace trv::literal {

struct Result {
    int count = 0;
    std::array<int16_t, 501> threshold{};
    std::array<int16_t, 501> events{};
    std::string marks;
    std::array<int16_t, 500> clipped{}; // x after the call
};

inline long long round(double v) {
    return roundHalfEven(v);
}

// Rounded mean of the 30 envelope values used at sample c.
inline long long envelopeMean(const std::array<int16_t, 501>& U, int c) {
    long long sum = 0;
    if (c < 30)
        for (int j = c + 1; j <= c + 30; ++j)
            sum += U[j];
    else
        for (int j = c - 30; j <= c - 1; ++j)
            sum += U[j];
    return round(static_cast<double>(sum) / 30.0);
}

// samples: count values (count may be below 500: the last is repeated).
// trace: the threshold and events arrays start from these values.
inline Result detect(const int16_t* samples, int count, double snr, int method,
                     std::array<int16_t, 501> threshold = {},
                     std::array<int16_t, 501> events = {}) {
    Result res;
    res.threshold = threshold;
    res.events = events;
    int x[500];
    for (int i = 0; i < 500; ++i)
        x[i] = i < count ? samples[i] : (count > 0 ? samples[count - 1] : 0);

    std::array<int16_t, 501> U{}, L{}, T{};
    std::array<double, 501> B{}, S{};
    std::string M(500, '0');
    int16_t* Th = res.threshold.data();
    int cnt = 0;
    auto event = [&](int u) {
        cnt = cnt + 1;
        res.events[u] = -1;
        M[u] = '1';
    };

    // A. First envelope and noise level.
    U[0] = L[0] = U[1] = L[1] = static_cast<int16_t>(x[1]);
    long long sumDiff = 0, sumSig = 0;
    int n = 0;
    for (int i = 2; i <= 498; ++i) {
        U[i] = U[i - 1];
        L[i] = L[i - 1];
        if (x[i] < x[i - 1] && x[i] < x[i + 1]) L[i] = static_cast<int16_t>(x[i]);
        if (x[i] > x[i - 1] && x[i] > x[i + 1]) U[i] = static_cast<int16_t>(x[i]);
        sumDiff += U[i] - L[i];
        sumSig += x[i];
        n = n + 1;
    }
    long long meanDiff = round(static_cast<double>(sumDiff) / n);
    long long meanSig = round(static_cast<double>(sumSig) / n);
    double noise;
    if (meanSig < 1)
        noise = snr;
    else
        noise = (1 - static_cast<double>(meanSig - meanDiff) / static_cast<double>(meanSig)) * 100 *
                snr;
    double P1 = noise + 1;
    if (P1 < 1) P1 = 1;

    // B. Clipping curve.
    for (int c = 0; c <= 499; ++c) {
        long long m = envelopeMean(U, c);
        if (c <= 3)
            T[c] = saturatingRound16((P1 + 100) / 100 * m);
        else
            T[c] = saturatingRound16(((P1 + 100) * m / 100 + T[c - 3] + T[c - 1] + T[c - 2]) / 4);
        if (T[c] < x[c]) x[c] = T[c];
    }

    // C. Second envelope.
    U[0] = L[0] = U[1] = L[1] = static_cast<int16_t>(x[2]);
    sumDiff = sumSig = 0;
    n = 0;
    for (int k = 2; k <= 498; ++k) {
        U[k] = U[k - 1];
        L[k] = L[k - 1];
        if (x[k] < x[k - 1] && x[k] < x[k + 1]) L[k] = static_cast<int16_t>(x[k]);
        if (x[k] > x[k - 1] && x[k] > x[k + 1]) U[k] = static_cast<int16_t>(x[k]);
        sumDiff += U[k] - L[k];
        sumSig += x[k];
        n = n + 1;
    }
    long long meanDiff2 = round(static_cast<double>(sumDiff) / n);
    long long meanSig2 = round(static_cast<double>(sumSig) / n);
    double noise2;
    if (meanSig2 > 0 && meanDiff2 < meanSig2)
        noise2 = (1 - static_cast<double>(meanSig2 - meanDiff2) / static_cast<double>(meanSig2)) *
                 100 * snr;
    else
        noise2 = snr;
    double P2 = noise2 + 1;
    if (P2 < 1) P2 = 1;
    long long A = meanDiff2;
    if (A < 5) A = 5;

    if (method == 0 || method == 1) {
        // D.
        bool armed = false;
        int k = 0;
        for (int u = 0; u <= 499; ++u) {
            long long m = envelopeMean(U, u);
            if (u <= 3)
                Th[u] = saturatingRound16((100 - P2 * 1.75) / 100 * m);
            else
                Th[u] = saturatingRound16(
                    (Th[u - 1] + Th[u - 2] + Th[u - 3] + m * (100 - P2) / 100) / 4);
            if (method == 0) {
                if (x[u] < Th[u]) armed = true;
                if (k == 30 && armed) {
                    event(u);
                    armed = false;
                }
                k = (k == 30 ? 0 : k) + 1;
            } else {
                if (x[u] < Th[u] && !armed) {
                    event(u);
                    armed = true;
                }
                if (Th[u] < x[u]) armed = false;
            }
        }
    } else if (method == 2) {
        // E.1 Baseline minimum.
        for (int y = 0; y <= 499; ++y) {
            double v = 9999;
            if (y < 449) {
                for (int j = y; j <= y + 49; ++j)
                    v = std::min(v, static_cast<double>(x[j]));
            } else {
                for (int j = y - 49; j <= y; ++j)
                    v = std::min(v, static_cast<double>(x[j]));
            }
            B[y] = v;
        }
        // E.2 Baseline smoothing, in place.
        for (int y = 0; y <= 499; ++y) {
            double s = 0;
            if (y < 449)
                for (int j = y; j <= y + 49; ++j)
                    s += B[j];
            else
                for (int j = y - 49; j <= y; ++j)
                    s += B[j];
            B[y] = s / 50;
        }
        // E.3 Detrending.
        for (int y = 0; y <= 499; ++y)
            B[y] = x[y] - B[y];
        // E.4 Smoothing.
        for (int y = 0; y <= 499; ++y) {
            double s = 0;
            if (y <= 488)
                for (int j = y; j <= y + 9; ++j)
                    s += B[j];
            else
                for (int j = y - 9; j <= y; ++j)
                    s += B[j];
            S[y] = s / 10;
        }
        // E.5 Run detector.
        bool rising = false;
        int r = 0;
        long long ref = 0;
        for (int y = 1; y <= 499; ++y) {
            if (S[y] > S[y - 1]) {
                if (!rising) {
                    rising = true;
                    r = 0;
                    ref = round(S[y]);
                } else {
                    r = r + 1;
                }
            }
            if (S[y] < S[y - 1]) {
                if (rising) {
                    rising = false;
                    r = 0;
                    ref = round(S[y]);
                } else {
                    r = r + 1;
                }
            }
            if (std::fabs(static_cast<double>(ref) - S[y]) > static_cast<double>(A) && r == 10) {
                cnt = cnt + 1;
                M[y] = '1';
            }
            Th[y] = saturatingRound16(S[y] - static_cast<double>(A));
        }
    } else if (method == 3) {
        // F.
        bool armed = false;
        for (int u = 0; u <= 499; ++u) {
            long long m = envelopeMean(U, u);
            double level = m * snr;
            if (u <= 3)
                Th[u] = saturatingRound16(level);
            else
                Th[u] = saturatingRound16((Th[u - 2] + Th[u - 1] + Th[u - 3] + level) / 4);
            if (u >= 1) {
                double a = (x[u - 1] + x[u]) / 2.0;
                if (a < Th[u] && !armed) {
                    event(u);
                    armed = true;
                }
                if (a > Th[u]) armed = false;
            }
        }
    }

    res.count = cnt;
    res.marks = M;
    for (int i = 0; i < 500; ++i)
        res.clipped[i] = static_cast<int16_t>(x[i]);
    return res;
}

inline std::array<int16_t, 50> bodyBends(const int16_t* samples, int count, double threshold) {
    int x[500];
    for (int i = 0; i < 500; ++i)
        x[i] = i < count ? samples[i] : (count > 0 ? samples[count - 1] : 0);
    long long th = round(threshold);
    std::array<int16_t, 50> h{};
    for (int i = 0; i <= 49; ++i)
        h[i] = 0;
    long long sm[500];
    for (int a = 3; a <= 496; ++a)
        sm[a] = round(static_cast<double>(x[a - 2] + x[a - 1] + x[a] + x[a + 1] + x[a + 2]) / 5);
    sm[0] = sm[1] = sm[2] = sm[3];
    sm[497] = sm[498] = sm[499] = sm[496];
    long long f = sm[0];
    long long dv[500];
    for (int i = 1; i <= 498; ++i) {
        if (sm[i] > sm[i - 1] && sm[i] > sm[i + 1]) f = sm[i];
        dv[i] = std::max(f - sm[i] - th, 0LL);
    }
    dv[0] = dv[1];
    dv[499] = dv[498];
    int last = 0;
    for (int i = 1; i <= 498; ++i) {
        if (dv[i] > dv[i - 1] && dv[i] > dv[i + 1]) {
            int d = i - last;
            if (1 < d && d < 50) h[d] = static_cast<int16_t>(h[d] + 1);
            last = i;
        }
    }
    return h;
}

} // namespace trv::literal
