// The four-parameter logistic curve of a dose-response experiment and its
// least-squares fit:
//   y = bottom + (top - bottom) / (1 + 10^((log10 x - log10 IC50) * hill))
// fitted by ordinary (unweighted) least squares with all four parameters
// free and IC50 on a log scale, with the GNU Scientific Library's nonlinear
// least-squares solver.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace trv {

struct LogisticCurve {
    double top = 0;    // the upper plateau
    double bottom = 0; // the lower plateau
    double logIC50 = 0;
    double hill = 1; // > 0: the response falls with the dose; < 0: it rises

    // "falls with dose" or "rises with dose": what the sign of hill says.
    const char* hillMeaning() const { return hill >= 0 ? "falls with dose" : "rises with dose"; }

    double ic50() const;
    // The response at a concentration above 0.
    double at(double concentration) const;
    // The response at log10 of a concentration.
    double atLog(double logConcentration) const;
};

struct DosePoint {
    double concentration = 0; // above 0
    double response = 0;
};

struct CurveFit {
    // Set when IC50 is worth reporting; otherwise `message` says why not.
    bool hasIC50 = false;
    LogisticCurve curve;
    double ic50Low = 0, ic50High = 0; // 95 % confidence interval of IC50
    double rSquared = 0;
    int points = 0;
    std::string message;
};

// Fits the curve to the points (every concentration above 0). No IC50, with
// a message, when there are fewer than four concentrations or five points,
// when every response is 0, when the fit does not converge, when the
// response does not change with the dose, when the doses tested do not show
// both plateaus, or when the fitted midpoint lies outside the concentrations
// tested. top >= bottom in the result.
CurveFit fitDoseResponse(const std::vector<DosePoint>& points);

} // namespace trv
