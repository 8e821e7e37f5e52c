#include "analysis/DosePlot.h"

#include "common/Numeric.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

namespace trv {

namespace {

constexpr Rgb kAxis = rgb(0, 0, 0);
constexpr Rgb kGrid = rgb(225, 225, 225);
constexpr Rgb kWell = rgb(110, 110, 110);
constexpr Rgb kMean = rgb(0, 70, 160);
constexpr Rgb kCurve = rgb(200, 30, 30);

struct Stats {
    double mean = 0, sd = 0;
};

Stats meanAndSd(const std::vector<double>& v) {
    Stats s;
    for (double x : v)
        s.mean += x;
    s.mean /= static_cast<double>(v.size());
    if (v.size() > 1) {
        double ss = 0;
        for (double x : v)
            ss += (x - s.mean) * (x - s.mean);
        s.sd = std::sqrt(ss / static_cast<double>(v.size() - 1));
    }
    return s;
}

// The responses of each group, with the group's concentration.
std::map<int, std::pair<double, std::vector<double>>> byGroup(const std::vector<WellResponse>& w) {
    std::map<int, std::pair<double, std::vector<double>>> g;
    for (const WellResponse& r : w) {
        auto& e = g[r.group];
        e.first = r.concentration;
        e.second.push_back(r.response);
    }
    return g;
}

} // namespace

void Dibujar_doseresponse(Surface& s, const CompoundResult& r, const DosePlotLabels& labels) {
    const double W = s.pixelWidth(), H = s.pixelHeight();
    s.setScale(0, 0, W, H); // pixels, y downwards
    s.clear();
    s.setPenWidth(1);
    const std::string& dm = labels.decimalMark;
    const std::string unit = labels.unit.empty() ? "" : " " + labels.unit;

    // Title, result line and the response axis' caption above the plot.
    s.setForeColor(kAxis);
    s.setFontScale(1.25);
    s.text(10, 6, r.compound.empty() ? "(no name)" : r.compound);
    s.setFontScale(1.0);
    std::string result;
    if (r.fit.hasIC50) {
        result = "IC50 = " + significant(r.fit.curve.ic50(), 3, dm) + unit +
                 "  (95 %: " + significant(r.fit.ic50Low, 3, dm) + " to " +
                 significant(r.fit.ic50High, 3, dm) + ")   hill " +
                 significant(r.fit.curve.hill, 3, dm) + " (" + r.fit.curve.hillMeaning() +
                 ")   R2 " +
                 significant(r.fit.rSquared, 3, dm) + "   wells " + std::to_string(r.fit.points);
    } else {
        s.setForeColor(kCurve);
        result = "No IC50: " + r.fit.message;
    }
    s.text(10, 26, result);
    s.setForeColor(kAxis);
    s.text(10, 46, labels.basal ? "Activity (% of basal)" : "Activity (events/min)");

    const double x0 = 70, x1 = W - 20, y0 = 64, y1 = H - 62;
    const bool controls = !r.controls.empty();
    const double logLeft = controls ? x0 + 70 : x0;

    // Ranges: half a decade around the concentrations tested; every value
    // drawn, and 0, on the response axis.
    double lo = 0, hi = 1;
    if (!r.wells.empty()) {
        lo = hi = std::log10(r.wells.front().concentration);
        for (const WellResponse& w : r.wells) {
            lo = std::min(lo, std::log10(w.concentration));
            hi = std::max(hi, std::log10(w.concentration));
        }
    }
    lo -= 0.5;
    hi += 0.5;
    double ylo = 0, yhi = 0;
    auto widen = [&](double v) {
        if (std::isfinite(v)) {
            ylo = std::min(ylo, v);
            yhi = std::max(yhi, v);
        }
    };
    const auto groups = byGroup(r.wells), controlGroups = byGroup(r.controls);
    for (const auto* g : {&groups, &controlGroups})
        for (const auto& [group, e] : *g) {
            const Stats st = meanAndSd(e.second);
            widen(st.mean + st.sd);
            widen(st.mean - st.sd);
            for (double v : e.second)
                widen(v);
        }
    if (r.fit.hasIC50) {
        widen(r.fit.curve.top);
        widen(r.fit.curve.bottom);
    }
    if (yhi <= ylo) yhi = ylo + 1;
    const double pad = (yhi - ylo) * 0.05;
    yhi += pad;
    if (ylo < 0) ylo -= pad;
    auto X = [&](double logC) { return logLeft + (logC - lo) / (hi - lo) * (x1 - logLeft); };
    auto Y = [&](double v) { return y1 - (v - ylo) / (yhi - ylo) * (y1 - y0); };
    const double th = s.textHeight();

    // Response axis: grid lines and labels.
    const double step = niceStep(ylo, yhi);
    for (double v = std::ceil(ylo / step) * step; v <= yhi + step * 1e-9; v += step) {
        const double y = Y(v);
        s.line(x0, y, x1, y, kGrid);
        s.line(x0 - 4, y, x0, y, kAxis);
        const std::string t = significant(std::fabs(v) < step * 1e-9 ? 0 : v, 4, dm);
        s.text(x0 - 7 - s.textWidth(t), y - th / 2, t);
    }

    // Concentration axis: decades, or the ends when no decade falls inside.
    std::vector<double> ticks;
    for (double k = std::ceil(lo); k <= hi; k += 1)
        ticks.push_back(k);
    if (ticks.empty()) ticks = {lo + 0.5, hi - 0.5};
    for (double k : ticks) {
        const double x = X(k);
        s.line(x, y0, x, y1, kGrid);
        s.line(x, y1, x, y1 + 4, kAxis);
        const std::string t = significant(std::pow(10.0, k), 3, dm);
        s.text(x - s.textWidth(t) / 2, y1 + 6, t);
    }
    const std::string caption =
        "Concentration (" + (labels.unit.empty() ? "" : labels.unit + ", ") + "log scale)";
    s.text((logLeft + x1) / 2 - s.textWidth(caption) / 2, y1 + 24, caption);
    s.box(logLeft, y0, x1, y1, kAxis);
    if (controls) {
        s.box(x0, y0, x0 + 60, y1, kAxis);
        s.text(x0 + 30 - s.textWidth("control") / 2, y1 + 6, "control");
    }

    // Wells, then group means with their standard deviation.
    auto drawGroups = [&](const std::map<int, std::pair<double, std::vector<double>>>& g,
                          bool isControl) {
        int index = 0;
        for (const auto& [group, e] : g) {
            const double cx = isControl ? x0 + 30 +
                                              (static_cast<int>(g.size()) > 1
                                                   ? (index * 2.0 / (g.size() - 1) - 1) * 18
                                                   : 0)
                                        : X(std::log10(e.first));
            ++index;
            for (size_t i = 0; i < e.second.size(); ++i)
                s.circle(cx + (static_cast<double>(i % 5) - 2) * 2.5, Y(e.second[i]), 3, kWell);
            const Stats st = meanAndSd(e.second);
            s.setPenWidth(2);
            s.line(cx, Y(st.mean - st.sd), cx, Y(st.mean + st.sd), kMean);
            s.line(cx - 5, Y(st.mean + st.sd), cx + 5, Y(st.mean + st.sd), kMean);
            s.line(cx - 5, Y(st.mean - st.sd), cx + 5, Y(st.mean - st.sd), kMean);
            s.setPenWidth(1);
            s.filledBox(cx - 3, Y(st.mean) - 3, cx + 3, Y(st.mean) + 3, kMean);
        }
    };
    drawGroups(groups, false);
    drawGroups(controlGroups, true);

    if (r.fit.hasIC50) {
        const LogisticCurve& c = r.fit.curve;
        s.setPenWidth(2);
        constexpr int kSegments = 200;
        for (int i = 0; i < kSegments; ++i) {
            const double a = lo + (hi - lo) * i / kSegments,
                         b = lo + (hi - lo) * (i + 1) / kSegments;
            s.line(X(a), Y(c.atLog(a)), X(b), Y(c.atLog(b)), kCurve);
        }
        // IC50: a drop line to the axis and the interval at the midpoint.
        s.setPenWidth(1);
        const double mid = Y((c.top + c.bottom) / 2), xi = X(c.logIC50);
        s.line(xi, mid, xi, y1, kCurve);
        const double a = std::clamp(X(std::log10(r.fit.ic50Low)), logLeft, x1);
        const double b = std::clamp(X(std::log10(r.fit.ic50High)), logLeft, x1);
        s.line(a, mid, b, mid, kCurve);
        s.line(a, mid - 4, a, mid + 4, kCurve);
        s.line(b, mid - 4, b, mid + 4, kCurve);
        s.setForeColor(kCurve);
        s.text(xi + 4, mid + 4, "IC50");
    }

    s.setForeColor(kAxis);
    s.setFontScale(0.85);
    s.text(x0, H - 18,
           "circles: wells; squares: group mean with its standard deviation; line: fitted curve");
    s.setFontScale(1.0);
}

} // namespace trv
