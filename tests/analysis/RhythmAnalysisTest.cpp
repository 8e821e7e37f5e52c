// The periodograms of one well: the chi-square peak of square waves of 24 and
// 23.5 hours, white noise not rhythmic, missing bins that do not move the
// peak, periods without two whole cycles left out, the Lomb-Scargle power
// against the formula evaluated directly, the threshold against known
// chi-square quantiles, a dead well's series cut at its death, the plots
// well-formed.
#include "analysis/RhythmAnalysis.h"
#include "analysis/RhythmPlot.h"
#include "analysis/XmlCheck.h"
#include "common/Files.h"
#include "display/RecordingSurface.h"
#include "support/Fakes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace trv {
namespace {

// Activity 10 in the first half of every cycle of `period` hours, 0 in the
// second, in bins of R minutes over `days` days.
BinSeries squareWave(double periodHours, int days, int R = 6) {
    BinSeries s;
    const int n = days * 1440 / R;
    for (int b = 0; b < n; ++b) {
        const double t = (b + 0.5) * R / 60.0;
        s.x.push_back(std::fmod(t, periodHours) < periodHours / 2 ? 10 : 0);
        s.has.push_back(1);
    }
    return s;
}

TEST(Rhythm, SquareWavesPeakAtTheirPeriod) {
    RhythmParameters p;
    for (double period : {24.0, 23.5, 25.0}) {
        const RhythmWellResult r = analyseWellRhythm(squareWave(period, 7), p);
        ASSERT_TRUE(r.chiPeriod);
        EXPECT_NEAR(*r.chiPeriod, period, 0.1 + 1e-9) << period;
        EXPECT_TRUE(r.rhythmic);
        EXPECT_GT(*r.index, 1);
        EXPECT_NEAR(*r.lsPeriod, period, 0.3) << period;
        EXPECT_EQ(*r.lsPValue, 0);
    }
}

TEST(Rhythm, WhiteNoiseIsRarelyRhythmic) {
    RhythmParameters p;
    int rhythmic = 0;
    for (unsigned seed = 1; seed <= 100; ++seed) {
        std::mt19937 rng(seed);
        std::poisson_distribution<int> events(5);
        BinSeries s;
        for (int b = 0; b < 5 * 240; ++b) {
            s.x.push_back(events(rng));
            s.has.push_back(1);
        }
        rhythmic += analyseWellRhythm(s, p).rhythmic;
    }
    EXPECT_LE(rhythmic, 2);
}

TEST(Rhythm, MissingBinsDoNotMoveThePeakAndShortPeriodsNeedTwoCycles) {
    RhythmParameters p;
    BinSeries s = squareWave(24, 7);
    for (size_t b = 300; b < 420; ++b)
        s.has[b] = 0;
    for (size_t b = 1000; b < s.x.size(); b += 7)
        s.has[b] = 0;
    EXPECT_DOUBLE_EQ(*analyseWellRhythm(s, p).chiPeriod, 24);

    // 2.5 days of 6-minute bins: 25 h and above fit twice, up to 30 h.
    const RhythmWellResult r = analyseWellRhythm(squareWave(24, 7), p);
    EXPECT_EQ(r.periodogram.size(), 161u); // 16 to 32 h in 6-minute steps
    BinSeries shortSeries = squareWave(24, 7);
    shortSeries.x.resize(600);
    shortSeries.has.resize(600);
    const RhythmWellResult rs = analyseWellRhythm(shortSeries, p);
    ASSERT_FALSE(rs.periodogram.empty());
    EXPECT_DOUBLE_EQ(rs.periodogram.back().hours, 30);
    EXPECT_FALSE(chiSquareQp(shortSeries, 301));
    EXPECT_TRUE(chiSquareQp(shortSeries, 300));
    // A constant series has no period.
    BinSeries flat{std::vector<double>(600, 3), std::vector<uint8_t>(600, 1)};
    EXPECT_FALSE(analyseWellRhythm(flat, p).tested);
}

TEST(Rhythm, LombScargleIsTheFormula) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(0, 10);
    BinSeries s;
    for (int b = 0; b < 500; ++b) {
        s.x.push_back(u(rng) + 5 * std::sin(b * 0.1 / 23.0 * 2 * std::numbers::pi));
        s.has.push_back(b % 11 != 3);
    }
    const double binHours = 0.1;
    for (double period : {16.0, 20.4, 23.0, 31.9}) {
        // Direct: every sum with its own sin and cos.
        std::vector<double> t, x;
        for (size_t b = 0; b < s.x.size(); ++b)
            if (s.has[b]) {
                t.push_back((static_cast<double>(b) + 0.5) * binHours);
                x.push_back(s.x[b]);
            }
        double mean = 0;
        for (double v : x)
            mean += v;
        mean /= static_cast<double>(x.size());
        double var = 0;
        for (double v : x)
            var += (v - mean) * (v - mean);
        var /= static_cast<double>(x.size() - 1);
        const double w = 2 * std::numbers::pi / period;
        double s2 = 0, c2 = 0;
        for (double ti : t) {
            s2 += std::sin(2 * w * ti);
            c2 += std::cos(2 * w * ti);
        }
        const double tau = std::atan2(s2, c2) / (2 * w);
        double a = 0, b = 0, cc = 0, ss = 0;
        for (size_t i = 0; i < t.size(); ++i) {
            a += (x[i] - mean) * std::cos(w * (t[i] - tau));
            b += (x[i] - mean) * std::sin(w * (t[i] - tau));
            cc += std::pow(std::cos(w * (t[i] - tau)), 2);
            ss += std::pow(std::sin(w * (t[i] - tau)), 2);
        }
        const double direct = (a * a / cc + b * b / ss) / (2 * var);
        EXPECT_NEAR(*lombScarglePower(s, binHours, period), direct, 1e-9 * direct) << period;
    }
}

TEST(Rhythm, ThresholdsAreChiSquareQuantiles) {
    struct Case {
        int df;
        double alpha;
        int m;
        double quantile;
    } cases[] = {
        {1, 0.05, 1, 3.841459},
        {10, 0.01, 1, 23.209251},
        {100, 0.01, 1, 135.806723},
        // (1 - 0.0975)^(1/2) = 0.95: the 0.95 quantile.
        {1, 1 - 0.95 * 0.95, 2, 3.841459},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(chiSquareThreshold(c.df, c.alpha, c.m), c.quantile, 1e-5) << c.df;
}

// Three days of 1-minute bins from midnight: well A1 moves in the first 10
// minutes of every hour of the first half of each day (a 24 h square wave
// of 10 events an hour), A2 moves every minute, A3 never.
WellSeries threeDays() {
    WellSeries s;
    s.binMinutes = 1;
    s.start.year = 2026;
    s.start.month = 3;
    s.start.day = 2;
    const size_t n = 3 * 1440;
    s.lastRecordMinute = static_cast<long long>(n) - 1;
    s.hasData.assign(n, 1);
    s.groupNames.assign(kSlots, "");
    s.groupNames[1] = "G1";
    for (int w = 0; w < 3; ++w) {
        SeriesWell sw;
        sw.well = w;
        sw.label = "A" + std::to_string(w + 1);
        sw.group = 1;
        sw.groupName = "G1";
        s.wells.push_back(sw);
    }
    for (int w = 0; w < 3; ++w)
        for (size_t m = 0; m < n; ++m)
            s.activity.push_back(w == 0 ? ((m % 1440) < 720 && m % 60 < 10) : w == 1 ? 5 : 0);
    return s;
}

TEST(Rhythm, FilesByteForByte) {
    RhythmParameters p;
    p.binMinutes = 60;
    p.periodMinHours = 20;
    p.periodMaxHours = 24;
    std::string problem;
    ProjectSetup setup;
    WellSeries s = threeDays();
    s.lastGroup = 2; // channels in groups 0 to 2, no well in 0 or 2
    s.groupNames[2] = "G2";
    const auto r = analyseRhythm(s, p, setup, problem);
    ASSERT_TRUE(r) << problem;
    const CsvFormat f;
    const std::string wells = rhythmWellsCsv(*r, f);
    EXPECT_EQ(wells.substr(wells.find("\r\n") + 2),
              "0,A1,G1,ok,24.0,72.000,47.378,1.520,yes,24.0,28.940,0.000000\r\n"
              "1,A2,G1,no period,,,,,,,,\r\n"
              "2,A3,G1,empty,,,,,,,,\r\n");
    EXPECT_EQ(rhythmGroupsCsv(*r, {";", ","}),
              "group;wells tested;wells rhythmic;mean period;SD period;mean index;SD index\r\n"
              ";0;0;;;;\r\n"
              "G1;2;1;24,000;;1,520;\r\n"
              "G2;0;0;;;;\r\n");
    const std::string pg = periodogramsCsv(*r, f);
    EXPECT_NE(pg.find("\r\n0,22.0,44.489,44.509,19.642\r\n"), std::string::npos) << pg;

    // One worker or two: the same numbers.
    p.threads = 1;
    const auto one = analyseRhythm(threeDays(), p, setup, problem);
    ASSERT_TRUE(one);
    EXPECT_EQ(periodogramsCsv(*one, f), pg);

    p.toHour = 39; // 39 hours: not two cycles of 20
    EXPECT_FALSE(analyseRhythm(threeDays(), p, setup, problem));
    EXPECT_EQ(problem, "the window of 2340 minutes is shorter than two cycles of 20 hours");
}

TEST(Rhythm, ActogramRowsHoldTwoDaysUnderTheLightBars) {
    RhythmParameters p;
    p.lightOn = 8;
    p.lightOff = 20;
    std::string problem;
    const auto r = analyseRhythm(threeDays(), p, ProjectSetup{}, problem);
    ASSERT_TRUE(r) << problem;
    const ActogramData a = actogramOf(*r, {0}, "A1");
    EXPECT_EQ(actogramRows(a), 3);
    RecordingSurface s(900, 200);
    Dibujar_actogram(s, a);
    std::vector<Rgb> bars;
    for (const auto& b : s.filledBoxes())
        if (b.colour == colour::White || b.colour == colour::Black) bars.push_back(b.colour);
    ASSERT_EQ(bars.size(), 3u * 48);
    for (size_t i = 0; i < bars.size(); ++i) {
        const int hour = static_cast<int>(i % 48) % 24;
        EXPECT_EQ(bars[i], hour >= 8 && hour < 20 ? colour::White : colour::Black) << i;
    }
    EXPECT_TRUE(s.hasText("3"));
    EXPECT_FALSE(s.hasText("4"));

    // Without a schedule no light bar at all (an empty one would read as light).
    ActogramData dark = a;
    dark.schedule = LightSchedule{};
    RecordingSurface d(900, 200);
    Dibujar_actogram(d, dark);
    EXPECT_TRUE(d.ofKind(RecordingSurface::Kind::Box).empty());
    for (const auto& b : d.filledBoxes())
        EXPECT_NE(b.colour, colour::White);
}

TEST(Rhythm, ThePeriodogramsQpAxisHasRoundValues) {
    struct Case {
        double qp;
        const char* mark;
        std::vector<std::string> shown, notShown;
    };
    const Case cases[] = {{1645, ".", {"0", "500", "1000", "1500"}, {"2000", "250"}},
                          {0.9, ",", {"0,2", "0,8"}, {"0.2", "1"}}};
    for (const Case& c : cases) {
        RecordingSurface s(600, 300);
        Dibujar_periodogram(s, {{16, c.qp / 3, c.qp / 4, 0}, {24, c.qp, c.qp / 4, 0}}, "t",
                            c.mark);
        for (const std::string& t : c.shown)
            EXPECT_TRUE(s.hasText(t)) << c.qp << " " << t;
        for (const std::string& t : c.notShown)
            EXPECT_FALSE(s.hasText(t)) << c.qp << " " << t;
    }
}

TEST(Rhythm, ADeadWellsSeriesEndsBeforeItsDeath) {
    // Twelve 1-minute bins of activity 1 to 12, minute 4 without records.
    WellSeries m;
    m.lastRecordMinute = 11;
    m.hasData.assign(12, 1);
    m.hasData[4] = 0;
    for (long long a = 1; a <= 12; ++a)
        m.activity.push_back(a);
    m.wells.resize(1);
    struct Case {
        std::optional<long long> death;
        int R;
        long long from, to;
        std::vector<double> x; // -1: missing
    } cases[] = {
        {std::nullopt, 3, 0, 12, {6, 10, 24, 33}},
        {7, 3, 0, 12, {6, 10, 7}}, // the bin of the death keeps the minute before it
        {6, 3, 0, 12, {6, 10}},
        {7, 3, 3, 12, {10, 7}},
        {5, 1, 2, 12, {3, 4, -1}},
        {12, 3, 0, 9, {6, 10, 24}}, // a death after the window changes nothing
        {0, 3, 0, 12, {}},
        {3, 3, 3, 12, {}},
    };
    for (const Case& c : cases) {
        WellFate fate;
        fate.deathMinute = c.death;
        const BinSeries s = rhythmSeries(m, 0, fate, c.R, c.from, c.to);
        std::vector<double> got;
        for (size_t b = 0; b < s.x.size(); ++b)
            got.push_back(s.has[b] ? s.x[b] : -1);
        EXPECT_EQ(got, c.x) << "death " << c.death.value_or(-1) << " R " << c.R << " from "
                            << c.from;
    }
}

TEST(Rhythm, ThePlotFilesAreWellFormedXml) {
    // A group name with the characters XML reserves; A3 never moves.
    WellSeries s = threeDays();
    const std::string name = "G1 & <\"controls\">";
    s.groupNames[1] = name;
    for (SeriesWell& w : s.wells)
        w.groupName = name;
    RhythmParameters p;
    p.lightOn = 8;
    p.lightOff = 20;
    RhythmOutcome out;
    std::string problem;
    out.result = analyseRhythm(std::move(s), p, ProjectSetup{}, problem);
    ASSERT_TRUE(out.result) << problem;
    test::TempDir dir;
    test::FakeLocale locale;
    RhythmRequest rq;
    rq.outputFolder = dir.path();
    rq.perWell = true;
    ASSERT_TRUE(writeRhythmFiles(rq, locale, out)) << out.error;
    int plots = 0;
    for (const std::string& path : out.files) {
        if (path.size() < 4 || path.substr(path.size() - 4) != ".svg") continue;
        ++plots;
        const std::string text = *readWholeFile(path);
        EXPECT_EQ(test::xmlProblem(text), "") << path;
        EXPECT_NE(text.find("<svg"), std::string::npos) << path;
    }
    EXPECT_EQ(plots, 2 + 3); // the group's actogram and periodogram, one actogram per well
}

} // namespace
} // namespace trv
