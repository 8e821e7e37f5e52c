#include "analysis/SleepPlot.h"

#include <algorithm>
#include <cmath>

namespace trv {

namespace {

constexpr Rgb kAxis = rgb(0, 0, 0);
constexpr Rgb kGrid = rgb(220, 220, 220);
constexpr Rgb kDarkShade = rgb(235, 235, 235);
constexpr Rgb kPalette[] = {rgb(0, 90, 181),   rgb(220, 50, 32), rgb(0, 150, 70),
                            rgb(150, 60, 170), rgb(230, 130, 0), rgb(0, 160, 170),
                            rgb(120, 80, 40),  rgb(200, 40, 130)};

} // namespace

void Dibujar_sleepprofile(Surface& s, const SleepResult& r, const std::string& decimalMark) {
    const double W = s.pixelWidth(), H = s.pixelHeight();
    s.setScale(0, 0, W, H);
    s.clear();
    s.setPenWidth(1);
    s.setFontScale(1.0);
    const double left = 64, right = W - 16, barTop = 34, barBottom = 48, top = 56, bottom = H - 40;
    const WellSeries& series = r.series;
    const double total = std::max(1.0, static_cast<double>(series.bins()) * series.binMinutes);
    auto xOf = [&](double minute) { return left + (right - left) * minute / total; };
    const double yMax = 30;
    auto yOf = [&](double v) { return bottom - (bottom - top) * v / yMax; };

    // Dark phases shaded behind the curves, and the light bar above them.
    const double slot = r.profileSlotMinutes;
    if (r.schedule.present()) {
        for (size_t k = 0; k < r.profileLight.size(); ++k) {
            const double x1 = xOf(static_cast<double>(k) * slot);
            const double x2 = xOf(std::min(total, static_cast<double>(k + 1) * slot));
            if (!r.profileLight[k]) s.filledBox(x1, top, x2, bottom, kDarkShade);
            s.filledBox(x1, barTop, x2, barBottom,
                        r.profileLight[k] ? colour::White : colour::Black);
        }
        s.box(left, barTop, right, barBottom, kAxis);
    } else {
        s.setFontScale(0.85);
        s.text(left, barTop, "no light schedule: one phase");
        s.setFontScale(1.0);
    }

    // Grid: every 10 minutes of sleep, and every midnight with its day.
    s.setFontScale(0.85);
    for (int v = 0; v <= 30; v += 10) {
        s.line(left, yOf(v), right, yOf(v), v == 0 ? kAxis : kGrid);
        const std::string t = std::to_string(v);
        s.text(left - 6 - s.textWidth(t), yOf(v) - s.textHeight() / 2, t);
    }
    const long long startOfDay = ((series.clockMinute(0) % 1440) + 1440) % 1440;
    int day = 1;
    double dayStart = 0;
    for (double midnight = static_cast<double>(1440 - startOfDay);; midnight += 1440) {
        const double end = std::min(midnight, total);
        const std::string label = "day " + std::to_string(day);
        const double mid = (xOf(dayStart) + xOf(end)) / 2;
        if (xOf(end) - xOf(dayStart) > s.textWidth(label) + 4)
            s.text(mid - s.textWidth(label) / 2, bottom + 6, label);
        if (midnight >= total) break;
        s.line(xOf(midnight), top, xOf(midnight), bottom, rgb(150, 150, 150));
        dayStart = midnight;
        ++day;
    }
    s.line(left, top, left, bottom, kAxis);
    s.box(left, top, right, bottom, kAxis);
    const std::string yLabel = "sleep (minutes per 30 min)";
    s.text(4, barTop - s.textHeight() - 10, yLabel);
    (void)decimalMark;

    // One curve per group with wells used, broken where none had data.
    s.setPenWidth(2);
    double legendX = left + s.textWidth(yLabel) + 24;
    size_t drawn = 0;
    for (const SleepGroupResult& grp : r.groups) {
        if (grp.wellsUsed == 0) continue;
        const Rgb c = kPalette[drawn++ % std::size(kPalette)];
        for (size_t k = 1; k < grp.profile.size(); ++k)
            if (grp.profile[k - 1] && grp.profile[k])
                s.line(xOf((static_cast<double>(k) - 0.5) * slot), yOf(*grp.profile[k - 1]),
                       xOf((static_cast<double>(k) + 0.5) * slot), yOf(*grp.profile[k]), c);
        const std::string name =
            (grp.name.empty() ? "group " + std::to_string(grp.group) : grp.name) +
            " (n=" + std::to_string(grp.wellsUsed) + ")";
        const double y = barTop - s.textHeight() - 10;
        s.line(legendX, y + s.textHeight() / 2, legendX + 18, y + s.textHeight() / 2, c);
        s.text(legendX + 22, y, name);
        legendX += 22 + s.textWidth(name) + 16;
    }
    s.setPenWidth(1);
    s.setFontScale(1.0);
}

} // namespace trv
