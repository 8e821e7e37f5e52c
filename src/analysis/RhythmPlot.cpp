#include "analysis/RhythmPlot.h"

#include "common/Numeric.h"

#include <algorithm>
#include <cmath>

namespace trv {

ActogramData actogramOf(const RhythmResult& r, const std::vector<size_t>& positions,
                        const std::string& title) {
    ActogramData a;
    a.title = title;
    a.binMinutes = r.parameters.actogramBinMinutes;
    a.startClockMinute = r.minutes.clockMinute(r.fromMinute);
    a.schedule = r.schedule;
    const long long A = a.binMinutes;
    const size_t n = static_cast<size_t>((r.toMinute - r.fromMinute + A - 1) / A);
    std::vector<double> sum(n, 0);
    std::vector<int> wells(n, 0);
    for (size_t pos : positions) {
        const RhythmWellResult& w = r.wells[pos];
        if (w.fate.empty) continue;
        long long end = r.toMinute;
        if (w.fate.deathMinute) end = std::min(end, *w.fate.deathMinute);
        const long long* act = r.minutes.wellActivity(pos);
        std::vector<double> v(n, 0);
        std::vector<uint8_t> has(n, 0);
        for (long long m = r.fromMinute; m < end; ++m) {
            if (!r.minutes.hasData[static_cast<size_t>(m)]) continue;
            const size_t b = static_cast<size_t>((m - r.fromMinute) / A);
            v[b] += static_cast<double>(act[m]);
            has[b] = 1;
        }
        for (size_t b = 0; b < n; ++b)
            if (has[b]) {
                sum[b] += v[b];
                ++wells[b];
            }
    }
    a.bins.resize(n);
    for (size_t b = 0; b < n; ++b)
        if (wells[b] > 0) a.bins[b] = sum[b] / wells[b];
    return a;
}

std::string rhythmGroupName(const RhythmGroupResult& g) {
    return g.name.empty() ? "group " + std::to_string(g.group) : g.name;
}

ActogramData groupActogram(const RhythmResult& r, const RhythmGroupResult& g) {
    std::vector<size_t> members;
    for (size_t i = 0; i < r.wells.size(); ++i)
        if (r.minutes.wells[i].group == g.group) members.push_back(i);
    return actogramOf(r, members, rhythmGroupName(g) + " (mean of its wells)");
}

namespace {

std::string wellTitle(const RhythmResult& r, size_t position) {
    const SeriesWell& w = r.minutes.wells[position];
    return w.label + " (well " + std::to_string(w.well) + ")";
}

} // namespace

ActogramData wellActogram(const RhythmResult& r, size_t position) {
    return actogramOf(r, {position}, wellTitle(r, position));
}

std::string groupPeriodogramTitle(const RhythmGroupResult& g) {
    return rhythmGroupName(g) + ": mean chi-square periodogram";
}

std::string wellPeriodogramTitle(const RhythmResult& r, size_t position) {
    return wellTitle(r, position) + ": chi-square periodogram";
}

namespace {

long long firstMidnight(const ActogramData& a) {
    const long long m = a.startClockMinute;
    return m - ((m % 1440) + 1440) % 1440;
}

} // namespace

int actogramRows(const ActogramData& a) {
    const long long end = a.startClockMinute + static_cast<long long>(a.bins.size()) * a.binMinutes;
    return static_cast<int>((end - firstMidnight(a) + 1439) / 1440);
}

void Dibujar_actogram(Surface& s, const ActogramData& a) {
    const double W = s.pixelWidth(), H = s.pixelHeight();
    s.setScale(0, 0, W, H);
    s.clear();
    s.setPenWidth(1);
    s.setFontScale(0.85);
    const int rows = std::max(1, actogramRows(a));
    const double left = 48, right = W - 12, top = 44, bottom = H - 12;
    const double rowH = (bottom - top) / rows, lightH = std::min(6.0, rowH / 5);
    auto xOf = [&](double minuteOfRow) { return left + (right - left) * minuteOfRow / 2880; };
    s.text(left, 4, a.title);
    for (int h = 0; h <= 48; h += 6) {
        const std::string t = zeroPadded(h % 24, 2);
        s.text(xOf(h * 60.0) - s.textWidth(t) / 2, 22, t);
    }
    std::vector<double> present;
    for (const auto& v : a.bins)
        if (v) present.push_back(*v);
    double p95 = 0;
    if (!present.empty()) {
        std::sort(present.begin(), present.end());
        p95 =
            present[static_cast<size_t>(std::ceil(0.95 * static_cast<double>(present.size()))) - 1];
    }
    const long long midnight = firstMidnight(a);
    for (int row = 0; row < rows; ++row) {
        const double y0 = top + row * rowH, yBase = y0 + rowH;
        const std::string day = std::to_string(row + 1);
        s.text(left - 6 - s.textWidth(day), y0 + rowH / 2 - s.textHeight() / 2, day);
        // No bar without a schedule: an empty one would read as light all day.
        if (a.schedule.present()) {
            for (int h = 0; h < 48; ++h) {
                const bool light = a.schedule.lightAtHour(h % 24);
                s.filledBox(xOf(h * 60.0), y0, xOf((h + 1) * 60.0), y0 + lightH,
                            light ? colour::White : colour::Black);
            }
            s.box(left, y0, right, y0 + lightH, rgb(120, 120, 120));
        }
        s.line(left, yBase, right, yBase, rgb(160, 160, 160));
        const long long rowStart = midnight + row * 1440LL;
        for (size_t b = 0; b < a.bins.size(); ++b) {
            if (!a.bins[b] || *a.bins[b] <= 0 || p95 <= 0) continue;
            const long long at = a.startClockMinute + static_cast<long long>(b) * a.binMinutes;
            const long long offset = at - rowStart;
            if (offset < 0 || offset >= 2880) continue;
            const double h = std::min(1.0, *a.bins[b] / p95) * (rowH - lightH - 2);
            s.filledBox(xOf(static_cast<double>(offset)), yBase - h,
                        xOf(static_cast<double>(offset + a.binMinutes)), yBase, rgb(30, 30, 30));
        }
    }
    s.line(xOf(1440), top, xOf(1440), bottom, rgb(200, 200, 200));
    s.setFontScale(1.0);
}

void Dibujar_periodogram(Surface& s, const std::vector<PeriodPoint>& points,
                         const std::string& title, const std::string& decimalMark) {
    const double W = s.pixelWidth(), H = s.pixelHeight();
    s.setScale(0, 0, W, H);
    s.clear();
    s.setPenWidth(1);
    s.setFontScale(0.85);
    s.text(56, 4, title);
    if (points.empty()) {
        s.text(56, 30, "no period tested");
        s.setFontScale(1.0);
        return;
    }
    const double left = 56, right = W - 12, top = 28, bottom = H - 36;
    double lo = points.front().hours, hi = points.back().hours, yMax = 0;
    for (const PeriodPoint& p : points)
        yMax = std::max({yMax, p.qp, p.threshold});
    if (hi <= lo) hi = lo + 1;
    if (yMax <= 0) yMax = 1;
    auto xOf = [&](double h) { return left + (right - left) * (h - lo) / (hi - lo); };
    auto yOf = [&](double v) { return bottom - (bottom - top) * v / (yMax * 1.05); };
    s.box(left, top, right, bottom, colour::Black);
    for (int h = static_cast<int>(std::ceil(lo)); h <= hi; h += 2) {
        const std::string t = std::to_string(h);
        s.line(xOf(h), bottom, xOf(h), bottom + 4, colour::Black);
        s.text(xOf(h) - s.textWidth(t) / 2, bottom + 6, t);
    }
    s.text((left + right) / 2 - s.textWidth("period (h)") / 2, bottom + 20, "period (h)");
    // Qp axis: round values, so a peak's height can be read off.
    const double step = niceStep(0, yMax * 1.05);
    for (int k = 1; k * step <= yMax * 1.05; ++k) {
        const std::string t = significant(k * step, 4, decimalMark);
        s.line(left - 4, yOf(k * step), left, yOf(k * step), colour::Black);
        s.text(left - 6 - s.textWidth(t), yOf(k * step) - s.textHeight() / 2, t);
    }
    s.text(left - 6 - s.textWidth("0"), bottom - s.textHeight() / 2, "0");
    s.text(4, top - s.textHeight() - 2, "Qp");
    size_t peak = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        if (points[i].qp - points[i].threshold > points[peak].qp - points[peak].threshold) peak = i;
        if (i == 0) continue;
        s.line(xOf(points[i - 1].hours), yOf(points[i - 1].qp), xOf(points[i].hours),
               yOf(points[i].qp), rgb(0, 90, 181));
        s.line(xOf(points[i - 1].hours), yOf(points[i - 1].threshold), xOf(points[i].hours),
               yOf(points[i].threshold), rgb(200, 30, 30));
    }
    const PeriodPoint& p = points[peak];
    s.circle(xOf(p.hours), yOf(p.qp), (right - left) / (hi - lo) * 0.15, rgb(0, 90, 181));
    const std::string label = withDecimalMark(fixedDecimals(p.hours, 1), decimalMark) + " h";
    s.text(xOf(p.hours) + 6, yOf(p.qp) - s.textHeight(), label);
    s.setFontScale(1.0);
}

} // namespace trv
