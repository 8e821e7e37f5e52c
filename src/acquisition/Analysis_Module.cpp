#include "acquisition/Analysis_Module.h"

#include "common/Files.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>

#if defined(__FAST_MATH__)
#error "the detection needs strict IEEE arithmetic (see roundHalfEven2)"
#endif

namespace trv {

namespace {

constexpr int N = kDetectSamples; // samples 0..499
constexpr int kEnvelopeN = 497;   // samples 2..498 enter the envelope means
constexpr int kMeanWindow = 30;   // envelope mean window
constexpr int kBaseWindow = 50;   // motility baseline window
constexpr int kSmoothWindow = 10; // motility smoothing window
constexpr int kRunLength = 10;    // motility run length

// Working copy of the analysed samples: count samples, the last one repeated
// up to sample 499 when the row is shorter.
int loadRow(const int16_t* samples, int count, int* x) {
    const int n = std::clamp(count, 0, N);
    for (int i = 0; i < n; ++i)
        x[i] = samples[i];
    const int fill = n > 0 ? samples[n - 1] : 0;
    for (int i = n; i < N; ++i)
        x[i] = fill;
    return n;
}

// Four beams are analysed side by side, one per vector lane. Every lane goes
// through exactly the operations a single beam would (the same IEEE double
// operations in the same order, the same rounding), so the lanes' results
// are those of four separate analyses; the recursions of the curves, which
// would otherwise wait on their own latency, run four at a time.
constexpr int kLanes = 4;
// 16-byte vectors only, which every target has (SSE2 on x86-64; elsewhere the
// compiler lowers them as it can): four 32-bit lanes, or two doubles, so four
// lanes of doubles are a pair.
typedef int32_t v4i __attribute__((vector_size(16)));
typedef int32_t v2i __attribute__((vector_size(8)));
typedef double v2d __attribute__((vector_size(16)));

struct v4d {
    v2d lo, hi; // lanes 0-1 and 2-3
    double operator[](int l) const { return l < 2 ? lo[l] : hi[l - 2]; }
    void set(int l, double v) {
        if (l < 2)
            lo[l] = v;
        else
            hi[l - 2] = v;
    }
};
inline v4d operator+(v4d a, v4d b) {
    return {a.lo + b.lo, a.hi + b.hi};
}
inline v4d operator-(v4d a, v4d b) {
    return {a.lo - b.lo, a.hi - b.hi};
}
inline v4d operator*(v4d a, v4d b) {
    return {a.lo * b.lo, a.hi * b.hi};
}
inline v4d operator/(v4d a, v4d b) {
    return {a.lo / b.lo, a.hi / b.hi};
}
inline v4d splat(double v) {
    return {v2d{v, v}, v2d{v, v}};
}
inline v4d operator+(v4d a, double b) {
    return a + splat(b);
}
inline v4d operator-(double a, v4d b) {
    return splat(a) - b;
}
inline v4d operator*(v4d a, double b) {
    return a * splat(b);
}
inline v4d operator/(v4d a, double b) {
    return a / splat(b);
}
inline v4i splat(int v) {
    return v4i{v, v, v, v};
}

inline v4d toDouble(v4i v) {
    return {__builtin_convertvector(__builtin_shufflevector(v, v, 0, 1), v2d),
            __builtin_convertvector(__builtin_shufflevector(v, v, 2, 3), v2d)};
}
// Whole numbers held as doubles to 32-bit lanes (exact).
inline v4i toInt(v4d whole) {
    const v2i lo = __builtin_convertvector(whole.lo, v2i);
    const v2i hi = __builtin_convertvector(whole.hi, v2i);
    return __builtin_shufflevector(lo, hi, 0, 1, 2, 3);
}
inline v4i select(v4i mask, v4i a, v4i b) {
    return (mask & a) | (~mask & b);
}
inline v4i vmin(v4i a, v4i b) {
    return select(a < b, a, b);
}

// Nearest integer, ties to even, as a double: adding and removing 1.5 * 2^52
// leaves exactly the integer the current rounding mode (to nearest, ties to
// even) gives, for |v| < 2^51; that is roundHalfEven's rounding, four lanes
// at a time. (It relies on strict IEEE arithmetic: never build this file with
// -ffast-math, which would fold the two operations away.)
inline v2d roundHalfEven2(v2d v) {
    const v2d magic = {6755399441055744.0, 6755399441055744.0};
    return (v + magic) - magic;
}
inline v4d roundHalfEven4(v4d v) {
    return {roundHalfEven2(v.lo), roundHalfEven2(v.hi)};
}
// saturatingRound16 of two values, kept as doubles (whole numbers).
inline v2d saturatingRound16x2(v2d v) {
    const v2d lo = {-32768.0, -32768.0}, hi = {32767.0, 32767.0};
    v = (v > lo) ? v : lo; // NaN goes to -32768 as well
    v = (v < hi) ? v : hi;
    return roundHalfEven2(v);
}
inline v4d saturatingRound16x4(v4d v) {
    return {saturatingRound16x2(v.lo), saturatingRound16x2(v.hi)};
}

struct EnvelopeMeans {
    long long diff;
    long long sig;
};

// Upper envelope U[0..498] of x (both envelopes start at x[startIndex]) and,
// per lane, the rounded means of the envelope width and of the signal over
// samples 2..498. The lower envelope only enters the width sum.
void envelope4(const v4i* x, int startIndex, v4i* U, EnvelopeMeans* means) {
    v4i upper = x[startIndex], lower = x[startIndex];
    U[0] = U[1] = upper;
    v4i sumDiff = splat(0), sumSig = splat(0); // at most 497 * 65535: no overflow
    for (int i = 2; i <= N - 2; ++i) {
        const v4i xi = x[i], prev = x[i - 1], next = x[i + 1];
        lower = select((xi < prev) & (xi < next), xi, lower); // strict local minimum
        upper = select((xi > prev) & (xi > next), xi, upper); // strict local maximum
        U[i] = upper;
        sumDiff += upper - lower;
        sumSig += xi;
    }
    for (int l = 0; l < kLanes; ++l)
        means[l] = {roundHalfEven(static_cast<double>(sumDiff[l]) / kEnvelopeN),
                    roundHalfEven(static_cast<double>(sumSig[l]) / kEnvelopeN)};
}

// m[c] = rounded mean of 30 envelope values: U[c+1..c+30] for c < 30,
// U[c-30..c-1] from c = 30 on. Integer running sums keep it exact.
void envelopeMeans30(const v4i* U, v4d* m) {
    v4i prefix[N]; // prefix[k] = U[0] + ... + U[k-1]
    prefix[0] = splat(0);
    for (int k = 1; k < N; ++k)
        prefix[k] = prefix[k - 1] + U[k - 1];
    const v4d window = splat(static_cast<double>(kMeanWindow));
    for (int c = 0; c < kMeanWindow; ++c)
        m[c] = roundHalfEven4(toDouble(prefix[c + 31] - prefix[c + 1]) / window);
    for (int c = kMeanWindow; c < N; ++c)
        m[c] = roundHalfEven4(toDouble(prefix[c] - prefix[c - 30]) / window);
}

// The curve recursions, four lanes at once, with the previous three values
// held as doubles (whole numbers). Each new value is a quarter of part plus
// three 16-bit values: when every |part| is at most 32767 it cannot leave the
// 16-bit range and the saturation is skipped (it would change nothing);
// otherwise, or with NaN, every step saturates.
bool withinInt16(const v4d* part, int from) {
    bool inside = true; // stays false for NaN
    for (int c = from; c < N; ++c)
        inside &= (std::fabs(part[c].lo[0]) <= 32767.0) & (std::fabs(part[c].lo[1]) <= 32767.0) &
                  (std::fabs(part[c].hi[0]) <= 32767.0) & (std::fabs(part[c].hi[1]) <= 32767.0);
    return inside;
}

// Clipping curve: T[c] = round((part[c] + T[c-3] + T[c-1] + T[c-2]) / 4).
template <bool Saturate> void clippingCurveSteps(const v4d* part, v4d* T) {
    v4d t1 = T[3], t2 = T[2], t3 = T[1];
    for (int c = 4; c < N; ++c) {
        const v4d sum = (part[c] + t3 + t1 + t2) / 4;
        const v4d v = Saturate ? saturatingRound16x4(sum) : roundHalfEven4(sum);
        T[c] = v;
        t3 = t2;
        t2 = t1;
        t1 = v;
    }
}
void clippingCurve(const v4d* part, v4d* T) {
    if (withinInt16(part, 4))
        clippingCurveSteps<false>(part, T);
    else
        clippingCurveSteps<true>(part, T);
}

// Detection threshold: Th[u] = round((Th[u-1] + Th[u-2] + Th[u-3] + part[u]) / 4);
// the three whole numbers add exactly in any order.
template <bool Saturate> void thresholdCurveSteps(const v4d* part, v4d* Th) {
    v4d t1 = Th[3], t2 = Th[2], t3 = Th[1];
    for (int u = 4; u < N; ++u) {
        const v4d sum = (t1 + t2 + t3 + part[u]) / 4;
        const v4d v = Saturate ? saturatingRound16x4(sum) : roundHalfEven4(sum);
        Th[u] = v;
        t3 = t2;
        t2 = t1;
        t1 = v;
    }
}
void thresholdCurve(const v4d* part, v4d* Th) {
    if (withinInt16(part, 4))
        thresholdCurveSteps<false>(part, Th);
    else
        thresholdCurveSteps<true>(part, Th);
}

// The event loops run on the four lanes at once and decide by masks (-1 or 0)
// rather than branches, which a signal hovering around its threshold would
// make mispredict. M[u] is -1 in the lanes that count an event at u.

// Methods 0 and 1: events against the threshold below the upper envelope.
v4i belowEnvelopeEvents(const v4i* x, const v4i* Th, int method, v4i* M) {
    v4i count = splat(0), armed = splat(0);
    if (method == kMethodBinary) {
        // One event at most per 30-sample window, counted at samples 30, 60, ..., 480.
        int k = 0;
        for (int u = 0; u < N; ++u) {
            armed |= x[u] < Th[u];
            if (k == 30) {
                M[u] = armed;
                count -= armed;
                armed = splat(0);
            } else {
                M[u] = splat(0);
            }
            k = (k == 30 ? 0 : k) + 1;
        }
    } else {
        // Each crossing below the threshold counts once; the signal must rise
        // strictly above it before the next one counts.
        for (int u = 0; u < N; ++u) {
            const v4i event = (x[u] < Th[u]) & ~armed;
            M[u] = event;
            count -= event;
            armed = (armed | event) & ~(Th[u] < x[u]);
        }
    }
    return count;
}

// Method 3: a sample pair below the threshold; a pair above it re-arms. The
// pair's mean (x[u-1] + x[u]) / 2 against Th compares as the sum against 2 Th.
v4i pairEvents(const v4i* x, const v4i* Th, v4i* M) {
    v4i count = splat(0), armed = splat(0);
    M[0] = splat(0);
    for (int u = 1; u < N; ++u) {
        const v4i sum = x[u - 1] + x[u], twice = Th[u] + Th[u];
        const v4i event = (sum < twice) & ~armed;
        M[u] = event;
        count -= event;
        armed = (armed | event) & ~(sum > twice);
    }
    return count;
}

// Method 2, motility index. Means of whole numbers use exact integer running
// sums; means of doubles are summed in index order (the window's first sample
// to its last), so every result is reproducible to the last bit.
// Only the first `active` lanes are analysed.
void motility(const int (*x)[N], const int* A, DetectionTrace* const* traces, int* counts,
              int active) {
    constexpr int L = kLanes;
    double B[L][N];
    for (int l = 0; l < active; ++l) {
        // 1. Baseline minimum over 50 samples, capped at 9999. Windows are
        // [s, s+49] with s = y for y < 449 and s = y - 49 after; the minimum
        // of every window comes from prefix and suffix minima over blocks of 50.
        const int* xl = x[l];
        int pre[N], suf[N];
        for (int b0 = 0; b0 < N; b0 += kBaseWindow) {
            pre[b0] = xl[b0];
            for (int i = b0 + 1; i < b0 + kBaseWindow; ++i)
                pre[i] = std::min(pre[i - 1], xl[i]);
            suf[b0 + kBaseWindow - 1] = xl[b0 + kBaseWindow - 1];
            for (int i = b0 + kBaseWindow - 2; i >= b0; --i)
                suf[i] = std::min(suf[i + 1], xl[i]);
        }
        int base[N];
        for (int y = 0; y < N; ++y) {
            const int s = y < 449 ? y : y - 49;
            base[y] = std::min({9999, suf[s], pre[s + kBaseWindow - 1]});
        }
        // 2a. Forward means (y < 449) of values not yet smoothed.
        long long sum = 0;
        for (int j = 0; j < kBaseWindow; ++j)
            sum += base[j];
        for (int y = 0; y < 449; ++y) {
            B[l][y] = static_cast<double>(sum) / kBaseWindow;
            sum += base[y + kBaseWindow] - base[y];
        }
        for (int y = 449; y < N; ++y)
            B[l][y] = base[y];
    }
    // 2b. Backward means (y >= 449) of values already smoothed, in place; the
    // lanes' sums proceed together.
    for (int y = 449; y < N; ++y) {
        double s[L] = {};
        for (int j = y - 49; j <= y; ++j)
            for (int l = 0; l < active; ++l)
                s[l] += B[l][j];
        for (int l = 0; l < active; ++l)
            B[l][y] = s[l] / kBaseWindow;
    }

    for (int l = 0; l < active; ++l) {
        double* Bl = B[l];
        DetectionTrace* trace = traces[l];
        // 3. Detrending.
        for (int y = 0; y < N; ++y)
            Bl[y] = x[l][y] - Bl[y];

        // 4. Ten-sample smoothing: forward windows up to y = 488, backward
        // after. Each sum still runs from the window's first sample to its
        // last; the loops are only interchanged so the sums proceed together.
        double S[N];
        for (int y = 0; y < N; ++y)
            S[y] = 0;
        for (int j = 0; j < kSmoothWindow; ++j) {
            for (int y = 0; y <= 488; ++y)
                S[y] += Bl[y + j];
            for (int y = 489; y < N; ++y)
                S[y] += Bl[y - 9 + j];
        }
        for (int y = 0; y < N; ++y)
            S[y] /= kSmoothWindow;

        // 5. Run detector.
        bool rising = false;
        int r = 0;
        long long ref = 0;
        int count = 0;
        for (int y = 1; y < N; ++y) {
            if (S[y] > S[y - 1]) {
                if (!rising) {
                    rising = true;
                    r = 0;
                    ref = roundHalfEven(S[y]);
                } else {
                    ++r;
                }
            }
            if (S[y] < S[y - 1]) {
                if (rising) {
                    rising = false;
                    r = 0;
                    ref = roundHalfEven(S[y]);
                } else {
                    ++r;
                }
            }
            if (std::fabs(static_cast<double>(ref) - S[y]) > A[l] && r == kRunLength) {
                ++count;
                if (trace) trace->marks[static_cast<size_t>(y)] = '1';
            }
        }
        if (trace)
            for (int y = 1; y < N; ++y)
                trace->threshold[static_cast<size_t>(y)] = saturatingRound16(S[y] - A[l]);
        counts[l] = count;
    }
}

// Analyses the rows of the first `active` lanes (1..4); the other lanes
// repeat the last active row and their results are not used. Each row is
// clipped in place; counts[l] receives the events and traces[l] (may be
// null) the curves and marks.
void detectFour(int16_t* const* activeRows, const int* activeLengths, int active, double snr,
                int method, DetectionTrace* const* activeTraces, int* counts) {
    constexpr int L = kLanes;
    int16_t* rows[L];
    int lengths[L];
    DetectionTrace* traces[L];
    for (int l = 0; l < L; ++l) {
        const int from = std::min(l, active - 1);
        rows[l] = activeRows[from];
        lengths[l] = activeLengths[from];
        traces[l] = l < active ? activeTraces[l] : nullptr;
    }
    int x[L][N];
    int n[L];
    for (int l = 0; l < L; ++l) {
        n[l] = loadRow(rows[l], lengths[l], x[l]);
        if (traces[l]) {
            traces[l]->marks.assign(N, '0');
            traces[l]->marksWriteFailed = false;
        }
    }

    v4i xv[N];
    for (int i = 0; i < N; ++i)
        xv[i] = v4i{x[0][i], x[1][i], x[2][i], x[3][i]};
    v4i U[N];
    v4d m[N], part[N], curve[N];
    EnvelopeMeans means[L];

    // A. First envelope and noise level: P1 = noise + 1, at least 1; a zero
    // or negative mean signal takes the snr as its noise.
    envelope4(xv, 1, U, means);
    v4d P1{};
    for (int l = 0; l < L; ++l) {
        const EnvelopeMeans& e = means[l];
        const double noise =
            e.sig < 1 ? snr
                      : (1 - static_cast<double>(e.sig - e.diff) / static_cast<double>(e.sig)) *
                            100 * snr;
        P1.set(l, std::max(noise + 1, 1.0));
    }

    // B. Clipping curve; samples above it are cut down.
    envelopeMeans30(U, m);
    const v4d gain = (P1 + 100) / 100;
    for (int c = 0; c <= 3; ++c)
        curve[c] = saturatingRound16x4(gain * m[c]);
    for (int c = 4; c < N; ++c)
        part[c] = (P1 + 100) * m[c] / 100;
    clippingCurve(part, curve);
    for (int c = 0; c < N; ++c)
        xv[c] = vmin(xv[c], toInt(curve[c]));

    // C. Second envelope on the clipped signal: P2 and the amplitude limit.
    envelope4(xv, 2, U, means);
    v4d P2{};
    int A[L];
    for (int l = 0; l < L; ++l) {
        const EnvelopeMeans& e = means[l];
        const double noise2 =
            e.sig > 0 && e.diff < e.sig
                ? (1 - static_cast<double>(e.sig - e.diff) / static_cast<double>(e.sig)) * 100 * snr
                : snr;
        P2.set(l, std::max(noise2 + 1, 1.0));
        A[l] = static_cast<int>(std::clamp<long long>(e.diff, 5, 1 << 30));
    }
    for (int i = 0; i < N; ++i)
        for (int l = 0; l < active; ++l)
            x[l][i] = xv[i][l];

    switch (method) {
    case kMethodBinary:
    case kMethodAverage: {
        // D. Threshold below the upper envelope.
        envelopeMeans30(U, m);
        const v4d first = (100 - P2 * 1.75) / 100;
        for (int u = 0; u <= 3; ++u)
            curve[u] = saturatingRound16x4(first * m[u]);
        for (int u = 4; u < N; ++u)
            part[u] = m[u] * (100 - P2) / 100;
        thresholdCurve(part, curve);
        break;
    }
    case kMethodDrosophila:
        // F. Threshold at snr times the envelope.
        envelopeMeans30(U, m);
        for (int u = 0; u < N; ++u)
            part[u] = m[u] * snr;
        for (int u = 0; u <= 3; ++u)
            curve[u] = saturatingRound16x4(part[u]);
        thresholdCurve(part, curve);
        break;
    default:
        break;
    }

    switch (method) {
    case kMethodBinary:
    case kMethodAverage:
    case kMethodDrosophila: {
        v4i Th[N], M[N];
        for (int u = 0; u < N; ++u)
            Th[u] = toInt(curve[u]);
        const v4i count = method == kMethodDrosophila ? pairEvents(xv, Th, M)
                                                      : belowEnvelopeEvents(xv, Th, method, M);
        for (int l = 0; l < L; ++l) {
            counts[l] = count[l];
            DetectionTrace* t = traces[l];
            if (!t) continue;
            for (int u = 0; u < N; ++u) {
                t->threshold[static_cast<size_t>(u)] = static_cast<int16_t>(Th[u][l]);
                if (!M[u][l]) continue;
                t->events[static_cast<size_t>(u)] = -1;
                t->marks[static_cast<size_t>(u)] = '1';
            }
        }
        break;
    }
    case kMethodMotility:
        // E.
        motility(x, A, traces, counts, active);
        break;
    default:
        for (int l = 0; l < L; ++l)
            counts[l] = 0;
        break;
    }

    for (int l = 0; l < active; ++l)
        for (int i = 0; i < n[l]; ++i)
            rows[l][i] = static_cast<int16_t>(x[l][i]);
}

int detectOne(int16_t* row, int length, double snr, int method, DetectionTrace* trace) {
    int counts[kLanes];
    detectFour(&row, &length, 1, snr, method, &trace, counts);
    return counts[0];
}

} // namespace

int16_t DetectSamples(int16_t* samples, int count, double snr, int method, DetectionTrace* trace) {
    return static_cast<int16_t>(detectOne(samples, count, snr, method, trace));
}

int16_t DetectActivity(SignalBlock& block, int beam, double snr, int method, int writeMarks,
                       const std::string& folder, int32_t tag, DetectionTrace* trace) {
    if (beam < 0 || beam >= SignalBlock::kBeams) return 0;
    DetectionTrace local;
    if (writeMarks == 1 && !trace) trace = &local;
    // The last row of a block is never acquired.
    const int analysed = std::min(block.sampleCount() - 1, N);
    const int16_t events = DetectSamples(block.row(beam), analysed, snr, method, trace);
    if (writeMarks == 1) trace->marksWriteFailed = !appendMarks(folder, beam, tag, trace->marks);
    return events;
}

void DetectActivityBeams(SignalBlock& block, const int* beams, int beamCount, double snr,
                         int method, int16_t* events, DetectionTrace* const* traces) {
    const int analysed = std::min(block.sampleCount() - 1, N);
    int16_t* rows[kLanes];
    int lengths[kLanes];
    DetectionTrace* laneTraces[kLanes];
    int laneIndex[kLanes];
    int counts[kLanes];
    int filled = 0;
    auto flush = [&](bool all) {
        if (filled == 0 || (filled < kLanes && !all)) return;
        detectFour(rows, lengths, filled, snr, method, laneTraces, counts);
        for (int l = 0; l < filled; ++l)
            events[laneIndex[l]] = static_cast<int16_t>(counts[l]);
        filled = 0;
    };
    for (int i = 0; i < beamCount; ++i) {
        const int beam = beams[i];
        if (beam < 0 || beam >= SignalBlock::kBeams) {
            events[i] = 0;
            continue;
        }
        rows[filled] = block.row(beam);
        lengths[filled] = analysed;
        laneTraces[filled] = traces ? traces[i] : nullptr;
        laneIndex[filled] = i;
        ++filled;
        flush(false);
    }
    flush(true);
}

int16_t BodyBendHistogramSamples(const int16_t* samples, int count,
                                 std::array<int16_t, kBodyBendBins>& histogram, double threshold) {
    int x[N];
    loadRow(samples, count, x);
    const long long th = roundHalfEven(std::clamp(threshold, -1e15, 1e15));
    histogram.fill(0);

    // Five-sample smoothing (exact integer running sum).
    int sm[N];
    int sum = x[1] + x[2] + x[3] + x[4] + x[5];
    for (int a = 3; a <= 496; ++a) {
        sm[a] = static_cast<int>(roundHalfEven(sum / 5.0));
        if (a < 496) sum += x[a + 3] - x[a - 2];
    }
    sm[0] = sm[1] = sm[2] = sm[3];
    sm[497] = sm[498] = sm[499] = sm[496];

    // Drop below the last peak, beyond the threshold.
    long long dv[N];
    long long f = sm[0];
    for (int i = 1; i <= 498; ++i) {
        if (sm[i] > sm[i - 1] && sm[i] > sm[i + 1]) f = sm[i];
        dv[i] = std::max(f - sm[i] - th, 0LL);
    }
    dv[0] = dv[1];
    dv[499] = dv[498];

    // Intervals between successive drop peaks.
    int last = 0;
    for (int i = 1; i <= 498; ++i) {
        if (dv[i] > dv[i - 1] && dv[i] > dv[i + 1]) {
            const int d = i - last;
            if (d > 1 && d < kBodyBendBins) ++histogram[static_cast<size_t>(d)];
            last = i;
        }
    }
    return 1;
}

int16_t BodyBendHistogram(const SignalBlock& block, int beam,
                          std::array<int16_t, kBodyBendBins>& histogram, double threshold) {
    if (beam < 0 || beam >= SignalBlock::kBeams) {
        histogram.fill(0);
        return 1;
    }
    return BodyBendHistogramSamples(block.row(beam), std::min(block.sampleCount() - 1, N),
                                    histogram, threshold);
}

std::string marksFilePath(const std::string& folder, int beam) {
    return joinPath(folder, "ch" + std::to_string(beam) + ".raw");
}

bool appendMarks(const std::string& folder, int beam, int32_t tag, const std::string& marks) {
    // Exports of event marks are rewritten from the raw data whenever needed,
    // so a plain append (no sync per line) is enough here.
    const std::string line = std::to_string(tag) + " " + marks + "\r\n";
    const std::string path = marksFilePath(folder, beam);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    size_t done = 0;
    bool ok = true;
    while (done < line.size()) {
        ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    return (::close(fd) == 0) && ok;
}

} // namespace trv
