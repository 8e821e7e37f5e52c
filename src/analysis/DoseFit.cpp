#include "analysis/DoseFit.h"

#include <gsl/gsl_blas.h>
#include <gsl/gsl_cdf.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_vector.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cmath>
#include <map>
#include <memory>

namespace trv {

namespace {

constexpr double kLn10 = 2.302585092994046;
constexpr int kParameters = 4; // top, bottom, log10 IC50, hill
enum { kTop = 0, kBottom = 1, kLogIC50 = 2, kHill = 3 };

// 1 / (1 + 10^u) without overflowing 10^u.
double lowerShare(double u) {
    if (u > 0) {
        const double t = std::pow(10.0, -u);
        return t / (1.0 + t);
    }
    return 1.0 / (1.0 + std::pow(10.0, u));
}

struct Samples {
    std::vector<double> logX, y;
};

int residuals(const gsl_vector* p, void* data, gsl_vector* f) {
    const Samples& s = *static_cast<const Samples*>(data);
    const double top = gsl_vector_get(p, kTop), bottom = gsl_vector_get(p, kBottom);
    const double logIC50 = gsl_vector_get(p, kLogIC50), hill = gsl_vector_get(p, kHill);
    for (size_t i = 0; i < s.y.size(); ++i) {
        const double share = lowerShare((s.logX[i] - logIC50) * hill);
        gsl_vector_set(f, i, bottom + (top - bottom) * share - s.y[i]);
    }
    return GSL_SUCCESS;
}

int jacobian(const gsl_vector* p, void* data, gsl_matrix* J) {
    const Samples& s = *static_cast<const Samples*>(data);
    const double top = gsl_vector_get(p, kTop), bottom = gsl_vector_get(p, kBottom);
    const double logIC50 = gsl_vector_get(p, kLogIC50), hill = gsl_vector_get(p, kHill);
    for (size_t i = 0; i < s.y.size(); ++i) {
        const double d = s.logX[i] - logIC50;
        const double share = lowerShare(d * hill);
        // d share / d u = -ln 10 * share * (1 - share), with u = d * hill.
        const double slope = (top - bottom) * kLn10 * share * (1.0 - share);
        gsl_matrix_set(J, i, kTop, share);
        gsl_matrix_set(J, i, kBottom, 1.0 - share);
        gsl_matrix_set(J, i, kLogIC50, slope * hill);
        gsl_matrix_set(J, i, kHill, -slope * d);
    }
    return GSL_SUCCESS;
}

struct Attempt {
    bool converged = false;
    std::array<double, kParameters> p{};
    double sse = 0;
    std::array<double, kParameters * kParameters> covariance{}; // (J'J)^-1
};

struct WorkspaceFree {
    void operator()(gsl_multifit_nlinear_workspace* w) const { gsl_multifit_nlinear_free(w); }
};
struct MatrixFree {
    void operator()(gsl_matrix* m) const { gsl_matrix_free(m); }
};

Attempt solveFrom(Samples& s, const std::array<double, kParameters>& start) {
    Attempt a;
    const size_t n = s.y.size();
    gsl_multifit_nlinear_parameters params = gsl_multifit_nlinear_default_parameters();
    std::unique_ptr<gsl_multifit_nlinear_workspace, WorkspaceFree> w(
        gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &params, n, kParameters));
    if (!w) return a;
    gsl_multifit_nlinear_fdf fdf{};
    fdf.f = residuals;
    fdf.df = jacobian;
    fdf.fvv = nullptr;
    fdf.n = n;
    fdf.p = kParameters;
    fdf.params = &s;
    std::array<double, kParameters> x0 = start;
    gsl_vector_view x = gsl_vector_view_array(x0.data(), kParameters);
    if (gsl_multifit_nlinear_init(&x.vector, &fdf, w.get()) != GSL_SUCCESS) return a;
    int info = 0;
    const int status =
        gsl_multifit_nlinear_driver(500, 1e-12, 1e-12, 0.0, nullptr, nullptr, &info, w.get());
    const gsl_vector* f = gsl_multifit_nlinear_residual(w.get());
    double sse = 0;
    gsl_blas_ddot(f, f, &sse);
    const gsl_vector* pos = gsl_multifit_nlinear_position(w.get());
    for (int i = 0; i < kParameters; ++i)
        a.p[static_cast<size_t>(i)] = gsl_vector_get(pos, static_cast<size_t>(i));
    a.sse = sse;
    // "No further progress" at a residual of (numerically) nothing is the
    // exact solution, not a failure.
    a.converged = status == GSL_SUCCESS || (status == GSL_ENOPROG && sse < 1e-24);
    for (double v : a.p)
        a.converged = a.converged && std::isfinite(v);
    if (!a.converged) return a;
    std::unique_ptr<gsl_matrix, MatrixFree> cov(gsl_matrix_alloc(kParameters, kParameters));
    gsl_multifit_nlinear_covar(gsl_multifit_nlinear_jac(w.get()), 0.0, cov.get());
    for (int r = 0; r < kParameters; ++r)
        for (int c = 0; c < kParameters; ++c)
            a.covariance[static_cast<size_t>(r * kParameters + c)] =
                gsl_matrix_get(cov.get(), static_cast<size_t>(r), static_cast<size_t>(c));
    return a;
}

// Mean response of each distinct concentration, by log10 concentration.
std::map<double, double> meansByLogDose(const Samples& s) {
    std::map<double, std::pair<double, int>> sums;
    for (size_t i = 0; i < s.y.size(); ++i) {
        auto& e = sums[s.logX[i]];
        e.first += s.y[i];
        e.second += 1;
    }
    std::map<double, double> means;
    for (const auto& [lx, e] : sums)
        means[lx] = e.first / e.second;
    return means;
}

// Where the means first cross halfway between the lowest and the highest
// dose's means, interpolated on the log scale; the middle of the range when
// they never do.
double midpointGuess(const std::map<double, double>& means) {
    const double mid = (means.begin()->second + means.rbegin()->second) / 2;
    for (auto it = means.begin(), next = std::next(it); next != means.end(); ++it, ++next) {
        const double a = it->second - mid, b = next->second - mid;
        if (a == 0) return it->first;
        if ((a < 0) != (b < 0)) return it->first + (next->first - it->first) * a / (a - b);
    }
    return (means.begin()->first + means.rbegin()->first) / 2;
}

// Whether the doses differ at all: a one-way analysis of variance of the
// responses by dose, significant at 5 %. True when it cannot tell (one well
// per dose).
bool dosesDiffer(const Samples& s, const std::map<double, double>& means) {
    const int n = static_cast<int>(s.y.size()), k = static_cast<int>(means.size());
    if (n <= k) return true;
    double mean = 0;
    for (double v : s.y)
        mean += v;
    mean /= n;
    double between = 0, within = 0;
    for (size_t i = 0; i < s.y.size(); ++i) {
        const double m = means.at(s.logX[i]);
        between += (m - mean) * (m - mean);
        within += (s.y[i] - m) * (s.y[i] - m);
    }
    if (within == 0) return between > 0;
    const double f = (between / (k - 1)) / (within / (n - k));
    return gsl_cdf_fdist_Q(f, k - 1, n - k) < 0.05;
}

std::string shortNumber(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4g", v);
    return buf;
}

// Why the doses do not differ: when leaving out the one well farthest from
// its dose's mean makes them differ, that well is named, as the data show a
// response and the scatter hides it; otherwise the response is flat.
std::string noDifferenceReason(const Samples& s, const std::map<double, double>& means) {
    size_t far = 0;
    double farthest = -1;
    for (size_t i = 0; i < s.y.size(); ++i) {
        const double d = std::fabs(s.y[i] - means.at(s.logX[i]));
        if (d > farthest) {
            farthest = d;
            far = i;
        }
    }
    Samples rest = s;
    rest.logX.erase(rest.logX.begin() + static_cast<ptrdiff_t>(far));
    rest.y.erase(rest.y.begin() + static_cast<ptrdiff_t>(far));
    const std::map<double, double> restMeans = meansByLogDose(rest);
    if (restMeans.size() == means.size() && dosesDiffer(rest, restMeans))
        return "the responses scatter too much: the well of response " + shortNumber(s.y[far]) +
               " at concentration " + shortNumber(std::pow(10.0, s.logX[far])) +
               " lies far from the others at its concentration";
    return "the response does not change with the concentration";
}

std::string count(int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

double LogisticCurve::ic50() const {
    return std::pow(10.0, logIC50);
}

double LogisticCurve::atLog(double logConcentration) const {
    return bottom + (top - bottom) * lowerShare((logConcentration - logIC50) * hill);
}

double LogisticCurve::at(double concentration) const {
    return atLog(std::log10(concentration));
}

CurveFit fitDoseResponse(const std::vector<DosePoint>& points) {
    static const bool quiet = [] {
        // The library's default on an error is to abort the program; every
        // status is checked here instead.
        gsl_set_error_handler_off();
        return true;
    }();
    (void)quiet;

    CurveFit fit;
    fit.points = static_cast<int>(points.size());
    Samples s;
    for (const DosePoint& p : points) {
        s.logX.push_back(std::log10(p.concentration));
        s.y.push_back(p.response);
    }
    const std::map<double, double> means = meansByLogDose(s);
    const int doses = static_cast<int>(means.size());
    const int n = fit.points;
    if (doses == 0) {
        fit.message = "no wells";
        return fit;
    }
    if (doses < 4) {
        fit.message = (doses == 1 ? std::string("one concentration only")
                                  : "only " + count(doses, "concentration", "concentrations")) +
                      ": a curve needs at least 4";
        return fit;
    }
    if (n < kParameters + 1) {
        fit.message =
            "only " + count(n, "well", "wells") + ": a curve and its interval need at least 5";
        return fit;
    }
    if (std::all_of(s.y.begin(), s.y.end(), [](double v) { return v == 0; })) {
        fit.message = "no activity in any well";
        return fit;
    }
    double mean = 0;
    for (double v : s.y)
        mean += v;
    mean /= n;
    double sst = 0;
    for (double v : s.y)
        sst += (v - mean) * (v - mean);
    if (sst == 0) {
        fit.message = "the same response in every well";
        return fit;
    }

    // Start from the plateaus of the lowest and highest doses with a slope
    // of 1, and from a few midpoints across the range; keep the best.
    const double lowLog = means.begin()->first, highLog = means.rbegin()->first;
    const double span = highLog - lowLog;
    Attempt best;
    for (double logIC50 :
         {midpointGuess(means), lowLog + span / 2, lowLog + span / 4, highLog - span / 4}) {
        Attempt a = solveFrom(s, {means.begin()->second, means.rbegin()->second, logIC50, 1.0});
        if (a.converged && (!best.converged || a.sse < best.sse)) best = a;
    }
    if (!best.converged) {
        fit.message =
            dosesDiffer(s, means) ? "the fit did not converge" : noDifferenceReason(s, means);
        return fit;
    }

    const int dof = n - kParameters;
    const double variance = best.sse / dof;
    const double t = gsl_cdf_tdist_Pinv(0.975, dof);
    auto cov = [&](int r, int c) {
        return variance * best.covariance[static_cast<size_t>(r * kParameters + c)];
    };
    const double step = best.p[kTop] - best.p[kBottom];
    const double stepSe =
        std::sqrt(cov(kTop, kTop) + cov(kBottom, kBottom) - 2 * cov(kTop, kBottom));
    if (!(std::fabs(step) > t * stepSe)) {
        fit.message = dosesDiffer(s, means)
                          ? "the concentrations tested do not show both plateaus of the curve"
                          : noDifferenceReason(s, means);
        return fit;
    }
    LogisticCurve c{best.p[kTop], best.p[kBottom], best.p[kLogIC50], best.p[kHill]};
    // (top, bottom, hill) and (bottom, top, -hill) are the same curve.
    if (c.top < c.bottom) {
        std::swap(c.top, c.bottom);
        c.hill = -c.hill;
    }
    if (c.logIC50 < lowLog || c.logIC50 > highLog) {
        fit.message = "the responses do not cross the midpoint within the concentrations tested";
        return fit;
    }
    // An interval that runs off to 0 or infinity, or far past the doses
    // tested (a steep step between two doses puts the midpoint anywhere
    // between them), gives no IC50 worth a number.
    const double logSe = std::sqrt(cov(kLogIC50, kLogIC50));
    const double logLow = c.logIC50 - t * logSe, logHigh = c.logIC50 + t * logSe;
    const double low = std::pow(10.0, logLow), high = std::pow(10.0, logHigh);
    if (!std::isfinite(logSe) || !std::isfinite(high) || !(low > 0)) {
        fit.message = "the data do not determine IC50";
        return fit;
    }
    if (logLow < lowLog - 1 || logHigh > highLog + 1) {
        fit.message = "the data do not determine IC50: its 95 % interval reaches more than 10 "
                      "times beyond the concentrations tested";
        return fit;
    }
    fit.hasIC50 = true;
    fit.curve = c;
    fit.ic50Low = low;
    fit.ic50High = high;
    fit.rSquared = 1.0 - best.sse / sst;
    return fit;
}

} // namespace trv
