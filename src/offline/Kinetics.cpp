#include "offline/Kinetics.h"

#include "common/Files.h"
#include "common/Numeric.h"
#include "common/Prompter.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace trv {

namespace {

constexpr Rgb kAxisGrey = rgb(128, 128, 128);

bool multipleOf(double a, double v) {
    return v > 0 && std::fmod(a, v) == 0;
}

// The span the bin size rules work on: the drawn part of the last load, at
// least half an hour.
double binSpan(int binCount, double binSize) {
    return std::max(static_cast<double>(binCount - 1) * binSize, 30.0);
}

std::string entryLabel(const std::string& entry) {
    return "[#" + entry.substr(0, 10) + "]";
}

std::string integerText(double v) {
    return std::to_string(roundHalfEven(v));
}

std::string twoDigits(int v) {
    return zeroPadded(v, 2);
}

} // namespace

std::array<Rgb, kKineticsPaletteSize> kineticsPalette() {
    std::array<Rgb, kKineticsPaletteSize> p{};
    for (int s = 0; s <= 364; s += 13) {
        const int z =
            static_cast<int>(std::clamp(roundHalfEven(255.0 - 383.0 / 255.0 * s), 0LL, 255LL));
        const Rgb run[] = {rgb(z, 0, 0),   rgb(0, z, 0),   rgb(0, 0, z),   rgb(z, z, 0),
                           rgb(0, z, z),   rgb(z, 0, z),   colour::Black,  rgb(z, 128, 0),
                           rgb(128, z, 0), rgb(0, 128, z), rgb(z, 0, 128), rgb(0, z, 128),
                           rgb(128, 0, z)};
        for (int i = 0; i < 13; ++i)
            p[static_cast<size_t>(s + i)] = run[i];
    }
    return p; // entries 377-384 stay black
}

int initialBinSize(double lapseMinutes) {
    return lapseMinutes < 60 ? 5 : 30;
}

int binSizeMinus(double boxValue, int binCount, double binSize) {
    long long v = roundHalfEven(boxValue);
    if (v <= 5)
        v = 5;
    else if (v >= 10 && v <= 120)
        v -= 5;
    else if (v > 120)
        v = 120;
    const double A = binSpan(binCount, binSize);
    if (A / 2 < static_cast<double>(v)) v = roundHalfEven(A / 2);
    while (!multipleOf(A, static_cast<double>(v)) && v > 5)
        v -= 5;
    return static_cast<int>(std::max(v, 5LL));
}

int binSizePlus(double boxValue, int binCount, double binSize) {
    long long v = roundHalfEven(boxValue);
    if (v <= 4)
        v = 5;
    else if (v <= 120)
        v += 5;
    else
        v = 120;
    const double A = binSpan(binCount, binSize);
    if (A / 2 < static_cast<double>(v)) v = roundHalfEven(A / 2);
    while (A / 2 > static_cast<double>(v) && !multipleOf(A, static_cast<double>(v)))
        v += 5;
    if (A / 2 < static_cast<double>(v)) v = roundHalfEven(A / 2);
    return static_cast<int>(std::max(v, 1LL));
}

std::string kineticsTimeUnit(double spanMinutes) {
    const double days = spanMinutes / 1440.0;
    if (days > 3) return "day";
    if (days > 1) return "h";
    return "min";
}

std::string kineticsTimeLabel(long long minutes, const std::string& unit) {
    if (unit == "h") return fixedDecimals(static_cast<double>(minutes) / 60.0, 1);
    if (unit == "day") return fixedDecimals(static_cast<double>(minutes) / 60.0 / 24.0, 1);
    return std::to_string(minutes);
}

KineticsData loadKinetics(const KineticsRequest& r, Clock& clock, Prompter& prompter) {
    KineticsData d;
    d.tagMode = !r.members.empty();
    d.entries = r.plotGroups;
    const size_t rows = r.plotGroups.size();
    if (!d.tagMode) {
        GroupActivity a;
        d.M = static_cast<double>(
            loadGroupActivity(r.folder, r.channels, true, r.binSize, a, prompter));
        d.binCount = a.binCount;
        d.binSize = a.binSize;
        // The last bin is still filling: it is neither drawn nor listed.
        d.points = std::max(a.binCount - 1, 0);
        d.t.assign(static_cast<size_t>(d.points) + 1, 0.0);
        d.labels.assign(static_cast<size_t>(d.points) + 1, "0");
        for (int b = 1; b <= d.points; ++b) {
            d.t[static_cast<size_t>(b)] = b * d.binSize;
            d.labels[static_cast<size_t>(b)] = plainReal(b * d.binSize);
        }
        d.values.assign(rows, std::vector<double>(static_cast<size_t>(d.points) + 1, 0.0));
        for (size_t k = 0; k < rows; ++k)
            for (int b = 1; b <= d.points; ++b)
                d.values[k][static_cast<size_t>(b)] = a.at(groupOfListEntry(r.plotGroups[k]), b);
        d.X = a.binCount * d.binSize;
    } else {
        TaggedSeries series;
        d.M = loadTagMembers(r.members, r.projectFolder, r.channels, clock, prompter, series);
        d.binSize = 5;
        d.points = series.count();
        d.orderedList = series.orderedList;
        d.t.assign(static_cast<size_t>(d.points) + 1, 0.0);
        d.labels.assign(static_cast<size_t>(d.points) + 1, "0");
        if (d.points > 0) {
            const double first = toSerialDays(series.starts.front());
            const double span = (toSerialDays(series.starts.back()) - first) * 1440.0;
            d.unit = kineticsTimeUnit(span);
            d.X = static_cast<double>(roundHalfEven(span) + 1);
            for (int m = 1; m <= d.points; ++m) {
                const LocalDateTime& start = series.starts[static_cast<size_t>(m - 1)];
                if (start == series.starts.front()) continue; // "0", not printed
                const long long t = roundHalfEven((toSerialDays(start) - first) * 1440.0);
                d.t[static_cast<size_t>(m)] = static_cast<double>(t);
                d.labels[static_cast<size_t>(m)] = kineticsTimeLabel(t, d.unit);
            }
        }
        d.values.assign(rows, std::vector<double>(static_cast<size_t>(d.points) + 1, 0.0));
        for (size_t k = 0; k < rows; ++k)
            for (int m = 1; m <= d.points; ++m)
                d.values[k][static_cast<size_t>(m)] =
                    series.at(groupOfListEntry(r.plotGroups[k]), m);
        if (r.relativize && d.points > 0) {
            d.M = 100;
            for (std::vector<double>& v : d.values) {
                const double first = v[1];
                for (int b = 2; b <= d.points; ++b) {
                    double& x = v[static_cast<size_t>(b)];
                    x = first > 0 ? x / first * 100.0 : 0.0;
                    d.M = std::max(d.M, static_cast<double>(roundHalfEven(x)));
                }
                v[1] = first > 0 ? 100.0 : 0.0;
            }
        }
    }
    if (d.M < 50) d.M = static_cast<double>(roundHalfEven(d.M * 1.5));
    return d;
}

KineticsTable kineticsTable(const KineticsData& d, const std::string& sep) {
    KineticsTable out;
    out.header = "Acq:";
    for (char c : d.orderedList)
        out.header += c == ' ' ? sep : std::string(1, c);
    out.header += "\r\n";
    out.table = "Group/Time[" + d.unit + "]";
    for (int b = 1; b <= d.points; ++b)
        out.table += sep + d.labels[static_cast<size_t>(b)];
    out.table += "\r\n";
    for (size_t k = 0; k < d.values.size(); ++k) {
        out.table += entryLabel(d.entries[k]);
        for (int b = 1; b <= d.points; ++b)
            out.table += sep + integerText(d.values[k][static_cast<size_t>(b)]);
        out.table += "\r\n";
    }
    return out;
}

void Dibujar_lineplot(Surface& s, const KineticsData& d, int selected) {
    const double M = d.M, X = d.X;
    if (M == 0 || X <= 0) return;
    const double r = std::min(std::min(X, M) / 200.0, 0.3);
    s.setScale(-0.1 * X, 1.1 * M, 1.2 * X, -0.1 * M);
    s.clear();
    s.setPenWidth(1);
    s.line(0, 0, 0, M, kAxisGrey);
    s.line(0, 0, X, 0, kAxisGrey);
    s.setForeColor(colour::Black);
    if (!d.tagMode) {
        s.text(0, 1.1 * M, "Line PLOT");
        const long long ticks = d.binSize > 0 ? roundHalfEven(X / d.binSize) : 0;
        for (long long k = 1; k <= ticks; ++k)
            s.text(static_cast<double>(k) * d.binSize, -1,
                   plainReal(static_cast<double>(k) * d.binSize));
    } else {
        s.text(0, 1.1 * M, "[TAG] Kinetics PLOT");
        for (int m = 2; m <= d.points; ++m)
            if (d.t[static_cast<size_t>(m)] != 0)
                s.text(d.t[static_cast<size_t>(m)], -1, d.labels[static_cast<size_t>(m)]);
    }
    s.text(-0.05 * X, -1, "Time[" + d.unit + "]");
    s.text(-0.05 * X, M + 1, integerText(M));
    s.line(-0.01 * X, M, 0, M, kAxisGrey);
    s.text(-0.05 * X, M / 2 + 1, integerText(M / 2));
    s.line(-0.01 * X, M / 2, 0, M / 2, kAxisGrey);

    const auto palette = kineticsPalette();
    const int selectedGroup = selected >= 0 && selected < static_cast<int>(d.entries.size())
                                  ? groupOfListEntry(d.entries[static_cast<size_t>(selected)])
                                  : -1;
    for (size_t k = 0; k < d.values.size(); ++k) {
        const Rgb c = palette[std::min<size_t>(k, kKineticsPaletteSize - 1)];
        const int width = groupOfListEntry(d.entries[k]) == selectedGroup ? 3 : 1;
        const std::vector<double>& v = d.values[k];
        s.setPenWidth(width);
        for (int b = 2; b <= d.points; ++b) {
            const double x0 = d.t[static_cast<size_t>(b - 1)], x1 = d.t[static_cast<size_t>(b)];
            s.line(x0, v[static_cast<size_t>(b - 1)], x1, v[static_cast<size_t>(b)], c);
            s.setPenWidth(2);
            s.circle(x0, v[static_cast<size_t>(b - 1)], r, c);
            s.setPenWidth(width);
        }
        if (d.points >= 1) {
            s.setPenWidth(2);
            s.circle(d.t[static_cast<size_t>(d.points)], v[static_cast<size_t>(d.points)], r, c);
        }
    }

    // Legend beside the end of the time axis, one row per series, in a
    // smaller font so that the entries fit the room right of the axis.
    s.setFontScale(0.8);
    for (size_t k = 0; k < d.entries.size(); ++k) {
        const Rgb c = palette[std::min<size_t>(k, kKineticsPaletteSize - 1)];
        const double y = M - M / 20.0 * static_cast<double>(k);
        s.setForeColor(c);
        s.text(X + 10 * r, y + 1, " " + entryLabel(d.entries[k]));
        s.setPenWidth(2);
        s.line(X, y, X + 10 * r, y, c);
        s.circle(X + 5 * r, y, r, c);
        s.setPenWidth(1);
    }
    s.setFontScale(1.0);
    s.setForeColor(colour::Black);
}

std::string firstTagMember(const std::string& members, const LocalDateTime& now) {
    std::istringstream in(members);
    std::string first;
    double firstStart = 0;
    for (std::string name; in >> name;) {
        const double start = toSerialDays(memberStart(name, now));
        if (first.empty() || start < firstStart) {
            first = name;
            firstStart = start;
        }
    }
    return first;
}

std::string jointReportName(const LocalDateTime& t) {
    return "joint_report" + zeroPadded(t.year, 4) + twoDigits(t.month) + twoDigits(t.day) +
           twoDigits(t.hour) + twoDigits(t.minute) + twoDigits(t.second) + ".csv";
}

std::string jointReportText(const LocalDateTime& t, const KineticsTable& table) {
    return "Joint Report [" + zeroPadded(t.year, 4) + "-" + twoDigits(t.month) + "-" +
           twoDigits(t.day) + " " + twoDigits(t.hour) + ":" + twoDigits(t.minute) + "." +
           twoDigits(t.second) + "]\r\n" + table.header + "\r\n" + table.table + "\r\n";
}

std::string writeJointReport(const std::string& projectFolder, const LocalDateTime& now,
                             const KineticsTable& table) {
    const std::string name = jointReportName(now);
    const std::string stem = name.substr(0, name.size() - 4);
    std::string path = joinPath(projectFolder, name);
    for (int n = 2; fileExists(path) && n <= 99; ++n)
        path = joinPath(projectFolder, stem + "_" + std::to_string(n) + ".csv");
    if (fileExists(path)) return "";
    return writeFileAtomic(path, jointReportText(now, table)) ? path : "";
}

} // namespace trv
