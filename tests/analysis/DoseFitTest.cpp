// The four-parameter logistic fit: known curves recovered from exact and
// noisy data, and no IC50 (with its reason) where the data cannot give one.
#include "analysis/DoseFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace trv {
namespace {

const std::vector<double> kDoses = {0.001, 0.003, 0.01, 0.03, 0.1, 0.3, 1, 3, 10, 30};

// Three wells per dose on the curve, plus uniform noise of +-amplitude.
std::vector<DosePoint> curvePoints(const LogisticCurve& c, const std::vector<double>& doses,
                                   double amplitude = 0, unsigned seed = 1) {
    std::mt19937 gen(seed);
    std::vector<DosePoint> p;
    for (double d : doses)
        for (int rep = 0; rep < 3; ++rep) {
            const double u = static_cast<double>(gen()) / 4294967296.0 - 0.5;
            p.push_back({d, c.at(d) + 2 * amplitude * u});
        }
    return p;
}

TEST(DoseFit, RecoversTheCurveOfExactData) {
    struct Case {
        LogisticCurve truth; // top >= bottom
    } cases[] = {
        {{120, 5, std::log10(0.2), 1.0}},    // inhibition
        {{80, 10, std::log10(0.004), 2.5}},  // steep, near the low end
        {{300, 40, std::log10(7.0), -0.8}},  // activity rising with the dose
        {{1.5, -0.5, std::log10(0.05), 0.6}} // shallow, values around 0
    };
    for (const Case& c : cases) {
        const CurveFit f = fitDoseResponse(curvePoints(c.truth, kDoses));
        SCOPED_TRACE(c.truth.ic50());
        ASSERT_TRUE(f.hasIC50) << f.message;
        EXPECT_NEAR(f.curve.ic50() / c.truth.ic50(), 1.0, 1e-6);
        EXPECT_NEAR(f.curve.hill, c.truth.hill, 1e-6 * std::fabs(c.truth.hill));
        EXPECT_NEAR(f.curve.top, c.truth.top, 1e-6 * c.truth.top);
        EXPECT_NEAR(f.curve.bottom, c.truth.bottom, 1e-5);
        EXPECT_NEAR(f.rSquared, 1.0, 1e-9);
        EXPECT_EQ(f.points, 30);
        EXPECT_LE(f.ic50Low, f.curve.ic50());
        EXPECT_GE(f.ic50High, f.curve.ic50());
    }
}

TEST(DoseFit, TheIntervalOfNoisyDataHoldsTheTrueIC50AboutNineteenTimesInTwenty) {
    const LogisticCurve truth{100, 10, std::log10(0.15), 1.2};
    int fits = 0, held = 0;
    for (unsigned seed = 1; seed <= 400; ++seed) {
        const CurveFit f = fitDoseResponse(curvePoints(truth, kDoses, 8.0, seed));
        if (!f.hasIC50) continue;
        ++fits;
        EXPECT_LT(f.ic50Low, f.curve.ic50());
        EXPECT_GT(f.ic50High, f.curve.ic50());
        if (f.ic50Low < truth.ic50() && truth.ic50() < f.ic50High) ++held;
    }
    EXPECT_EQ(fits, 400);
    EXPECT_NEAR(static_cast<double>(held) / fits, 0.95, 0.03) << held << " of " << fits;
}

TEST(DoseFit, NoIC50WhereTheDataCannotGiveOne) {
    const LogisticCurve flat{50, 50, 0, 1};
    const LogisticCurve beyond{100, 10, std::log10(300.0), 1.0}; // midpoint above 30
    // Every animal killed from 1 on: a step between 0.3 and 1 puts the
    // midpoint anywhere between them, and the interval past the doses...
    std::vector<DosePoint> killed;
    for (const DosePoint& p : curvePoints(flat, kDoses, 2.5, 3))
        killed.push_back({p.concentration, p.concentration < 0.5 ? 2 * p.response : 0.0});
    // ... or, with fewer doses, to 0 and infinity.
    std::vector<DosePoint> killedFewDoses;
    for (double d : {0.01, 0.1, 1.0, 10.0, 100.0})
        for (int well = 0; well < 4; ++well)
            killedFewDoses.push_back({d, d < 0.5 ? 40.0 + well : (well == 0 ? 1.0 : 0.0)});
    // A clear response hidden by one well far off.
    std::vector<DosePoint> outlier = curvePoints({60, 40, std::log10(0.1), 1}, kDoses, 2.0, 5);
    outlier[4].response = 900;
    struct Case {
        const char* name;
        std::vector<DosePoint> points;
        std::string message;
    } cases[] = {
        {"no wells", {}, "no wells"},
        {"one dose",
         {{1, 5}, {1, 6}, {1, 7}, {1, 8}, {1, 9}},
         "one concentration only: a curve needs at least 4"},
        {"three doses", curvePoints(beyond, {0.1, 1, 10}),
         "only 3 concentrations: a curve needs at least 4"},
        {"four wells",
         {{1, 90}, {2, 70}, {4, 30}, {8, 10}},
         "only 4 wells: a curve and its interval need at least 5"},
        {"all zero", curvePoints({0, 0, 0, 1}, kDoses), "no activity in any well"},
        {"constant", curvePoints(flat, kDoses), "the same response in every well"},
        {"flat with noise", curvePoints(flat, kDoses, 5.0, 7),
         "the response does not change with the concentration"},
        {"midpoint beyond the doses", curvePoints(beyond, kDoses),
         "the responses do not cross the midpoint within the concentrations tested"},
        {"no lower plateau", curvePoints({1000, 100, std::log10(100.0), 1}, kDoses, 60, 1),
         "the concentrations tested do not show both plateaus of the curve"},
        {"complete kill between two doses", killed,
         "the data do not determine IC50: its 95 % interval reaches more than 10 times beyond "
         "the concentrations tested"},
        {"complete kill between two of five doses", killedFewDoses,
         "the data do not determine IC50"},
        {"one outlier", outlier,
         "the responses scatter too much: the well of response 900 at concentration 0.003 lies "
         "far from the others at its concentration"},
    };
    for (const Case& c : cases) {
        const CurveFit f = fitDoseResponse(c.points);
        EXPECT_FALSE(f.hasIC50) << c.name;
        EXPECT_EQ(f.message, c.message) << c.name;
    }
}

} // namespace
} // namespace trv
