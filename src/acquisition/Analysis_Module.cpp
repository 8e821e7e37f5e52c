#include "acquisition/Analysis_Module.h"

#include "common/Files.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace trv {

namespace {

constexpr int N = kDetectSamples;  // samples 0..499
constexpr int kEnvelopeN = 497;    // samples 2..498 enter the envelope means
constexpr int kMeanWindow = 30;    // envelope mean window
constexpr int kBaseWindow = 50;    // motility baseline window
constexpr int kSmoothWindow = 10;  // motility smoothing window
constexpr int kRunLength = 10;     // motility run length

// Working copy of the analysed samples: count samples, the last one repeated
// up to sample 499 when the row is shorter.
int loadRow(const int16_t* samples, int count, int* x) {
    const int n = std::clamp(count, 0, N);
    for (int i = 0; i < n; ++i) x[i] = samples[i];
    const int fill = n > 0 ? samples[n - 1] : 0;
    for (int i = n; i < N; ++i) x[i] = fill;
    return n;
}

struct EnvelopeMeans {
    long long diff;
    long long sig;
};

// Upper envelope U[0..498] of x (both envelopes start at `start`) and the
// rounded means of the envelope width and of the signal over samples 2..498.
// The lower envelope only enters the width sum, so it is not kept.
EnvelopeMeans envelope(const int* x, int start, int* U) {
    int upper = start, lower = start;
    U[0] = U[1] = start;
    long long sumDiff = 0, sumSig = 0;
    for (int i = 2; i <= N - 2; ++i) {
        const int xi = x[i], prev = x[i - 1], next = x[i + 1];
        if (xi < prev && xi < next) lower = xi;
        if (xi > prev && xi > next) upper = xi;
        U[i] = upper;
        sumDiff += upper - lower;
        sumSig += xi;
    }
    return {roundHalfEven(static_cast<double>(sumDiff) / kEnvelopeN),
            roundHalfEven(static_cast<double>(sumSig) / kEnvelopeN)};
}

// m[c] = rounded mean of 30 envelope values: U[c+1..c+30] for c < 30,
// U[c-30..c-1] from c = 30 on. Integer running sums keep it exact.
void envelopeMeans30(const int* U, int* m) {
    int prefix[N]; // prefix[k] = U[0] + ... + U[k-1]
    prefix[0] = 0;
    for (int k = 1; k < N; ++k) prefix[k] = prefix[k - 1] + U[k - 1];
    for (int c = 0; c < kMeanWindow; ++c)
        m[c] = static_cast<int>(
            roundHalfEven(static_cast<double>(prefix[c + 31] - prefix[c + 1]) / kMeanWindow));
    for (int c = kMeanWindow; c < N; ++c)
        m[c] = static_cast<int>(
            roundHalfEven(static_cast<double>(prefix[c] - prefix[c - 30]) / kMeanWindow));
}

inline void countEvent(int u, int& count, DetectionTrace* trace) {
    ++count;
    if (trace) {
        trace->events[static_cast<size_t>(u)] = -1;
        trace->marks[static_cast<size_t>(u)] = '1';
    }
}

// Methods 0 and 1: threshold below the upper envelope.
int thresholdBelowEnvelope(const int* x, const int* m, double P2, int method,
                           DetectionTrace* trace) {
    int16_t Th[N];
    const double first = (100 - P2 * 1.75) / 100;
    for (int u = 0; u <= 3; ++u) Th[u] = saturatingRound16(first * m[u]);
    double part[N]; // m * (100 - P2) / 100, off the recursion's critical path
    for (int u = 4; u < N; ++u) part[u] = m[u] * (100 - P2) / 100;
    for (int u = 4; u < N; ++u)
        Th[u] = saturatingRound16((Th[u - 1] + Th[u - 2] + Th[u - 3] + part[u]) / 4);
    if (trace) std::copy(Th, Th + N, trace->threshold.begin());

    int count = 0;
    bool armed = false;
    if (method == kMethodBinary) {
        // One event at most per 30-sample window, counted at samples 30, 60, ..., 480.
        int k = 0;
        for (int u = 0; u < N; ++u) {
            if (x[u] < Th[u]) armed = true;
            if (k == 30 && armed) {
                countEvent(u, count, trace);
                armed = false;
            }
            k = (k == 30 ? 0 : k) + 1;
        }
    } else {
        // Each crossing below the threshold counts once; the signal must rise
        // strictly above it before the next one counts.
        for (int u = 0; u < N; ++u) {
            if (x[u] < Th[u] && !armed) {
                countEvent(u, count, trace);
                armed = true;
            }
            if (Th[u] < x[u]) armed = false;
        }
    }
    return count;
}

// Method 3: a sample pair below a threshold at snr times the envelope mean.
int drosophila(const int* x, const int* m, double snr, DetectionTrace* trace) {
    int16_t Th[N];
    double level[N];
    for (int u = 0; u < N; ++u) level[u] = m[u] * snr;
    for (int u = 0; u <= 3; ++u) Th[u] = saturatingRound16(level[u]);
    for (int u = 4; u < N; ++u)
        Th[u] = saturatingRound16((Th[u - 2] + Th[u - 1] + Th[u - 3] + level[u]) / 4);
    if (trace) std::copy(Th, Th + N, trace->threshold.begin());

    int count = 0;
    bool armed = false;
    for (int u = 1; u < N; ++u) {
        const double a = (x[u - 1] + x[u]) / 2.0;
        if (a < Th[u] && !armed) {
            countEvent(u, count, trace);
            armed = true;
        }
        if (a > Th[u]) armed = false;
    }
    return count;
}

// Method 2: motility index. The means of doubles are summed in index order
// (first to last sample of the window) so that every result is reproducible
// to the last bit; the means of whole numbers use exact integer running sums.
int motility(const int* x, int A, DetectionTrace* trace) {
    // 1. Baseline minimum over 50 samples, capped at 9999. Windows are
    // [s, s+49] with s = y for y < 449 and s = y - 49 after; minima of every
    // window start come from prefix and suffix minima over blocks of 50.
    int pre[N], suf[N];
    for (int b0 = 0; b0 < N; b0 += kBaseWindow) {
        pre[b0] = x[b0];
        for (int i = b0 + 1; i < b0 + kBaseWindow; ++i) pre[i] = std::min(pre[i - 1], x[i]);
        suf[b0 + kBaseWindow - 1] = x[b0 + kBaseWindow - 1];
        for (int i = b0 + kBaseWindow - 2; i >= b0; --i) suf[i] = std::min(suf[i + 1], x[i]);
    }
    int base[N];
    for (int y = 0; y < N; ++y) {
        const int s = y < 449 ? y : y - 49;
        base[y] = std::min({9999, suf[s], pre[s + kBaseWindow - 1]});
    }

    // 2. Baseline smoothing in place: forward means (y < 449) read values
    // not yet smoothed, backward means (y >= 449) read smoothed ones.
    double B[N];
    long long sum = 0;
    for (int j = 0; j < kBaseWindow; ++j) sum += base[j];
    for (int y = 0; y < 449; ++y) {
        B[y] = static_cast<double>(sum) / kBaseWindow;
        sum += base[y + kBaseWindow] - base[y];
    }
    for (int y = 449; y < N; ++y) B[y] = base[y];
    for (int y = 449; y < N; ++y) {
        double s = 0;
        for (int j = y - 49; j <= y; ++j) s += B[j];
        B[y] = s / kBaseWindow;
    }

    // 3. Detrending.
    for (int y = 0; y < N; ++y) B[y] = x[y] - B[y];

    // 4. Ten-sample smoothing: forward windows up to y = 488, backward after.
    // Each sum still runs from the window's first sample to its last; the
    // loops are only interchanged so the sums proceed side by side.
    double S[N];
    for (int y = 0; y < N; ++y) S[y] = 0;
    for (int j = 0; j < kSmoothWindow; ++j) {
        for (int y = 0; y <= 488; ++y) S[y] += B[y + j];
        for (int y = 489; y < N; ++y) S[y] += B[y - 9 + j];
    }
    for (int y = 0; y < N; ++y) S[y] /= kSmoothWindow;

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
        if (std::fabs(static_cast<double>(ref) - S[y]) > A && r == kRunLength) {
            ++count;
            if (trace) trace->marks[static_cast<size_t>(y)] = '1';
        }
        if (trace) trace->threshold[static_cast<size_t>(y)] = saturatingRound16(S[y] - A);
    }
    return count;
}

int detect(int* x, double snr, int method, DetectionTrace* trace) {
    int U[N];

    // A. First envelope and noise level.
    const EnvelopeMeans first = envelope(x, x[1], U);
    const double noise =
        first.sig < 1
            ? snr
            : (1 - static_cast<double>(first.sig - first.diff) / static_cast<double>(first.sig)) *
                  100 * snr;
    double P1 = noise + 1;
    if (P1 < 1) P1 = 1;

    // B. Clipping curve; samples above it are cut down.
    int m[N];
    envelopeMeans30(U, m);
    int16_t T[N];
    const double gain = (P1 + 100) / 100;
    for (int c = 0; c <= 3; ++c) T[c] = saturatingRound16(gain * m[c]);
    double part[N]; // (P1 + 100) * m / 100, off the recursion's critical path
    for (int c = 4; c < N; ++c) part[c] = (P1 + 100) * m[c] / 100;
    for (int c = 4; c < N; ++c)
        T[c] = saturatingRound16((part[c] + T[c - 3] + T[c - 1] + T[c - 2]) / 4);
    for (int c = 0; c < N; ++c) x[c] = std::min(x[c], static_cast<int>(T[c]));

    // C. Second envelope on the clipped signal.
    const EnvelopeMeans second = envelope(x, x[2], U);
    const double noise2 =
        second.sig > 0 && second.diff < second.sig
            ? (1 - static_cast<double>(second.sig - second.diff) /
                       static_cast<double>(second.sig)) *
                  100 * snr
            : snr;
    double P2 = noise2 + 1;
    if (P2 < 1) P2 = 1;
    const int A = static_cast<int>(std::clamp<long long>(second.diff, 5, 1 << 30));

    switch (method) {
    case kMethodBinary:
    case kMethodAverage:
        envelopeMeans30(U, m);
        return thresholdBelowEnvelope(x, m, P2, method, trace);
    case kMethodMotility:
        return motility(x, A, trace);
    case kMethodDrosophila:
        envelopeMeans30(U, m);
        return drosophila(x, m, snr, trace);
    default:
        return 0;
    }
}

} // namespace

int16_t DetectSamples(int16_t* samples, int count, double snr, int method,
                      DetectionTrace* trace) {
    int x[N];
    const int n = loadRow(samples, count, x);
    if (trace) {
        trace->marks.assign(N, '0');
        trace->marksWriteFailed = false;
    }
    const int events = detect(x, snr, method, trace);
    for (int i = 0; i < n; ++i) samples[i] = static_cast<int16_t>(x[i]);
    return static_cast<int16_t>(events);
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

int16_t BodyBendHistogramSamples(const int16_t* samples, int count,
                                 std::array<int16_t, kBodyBendBins>& histogram,
                                 double threshold) {
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
