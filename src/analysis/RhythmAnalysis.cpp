#include "analysis/RhythmAnalysis.h"

#include "common/Numeric.h"

#include <gsl/gsl_cdf.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <numbers>
#include <thread>

namespace trv {

std::optional<std::string> rhythmParameterProblem(const RhythmParameters& p) {
    if (p.binMinutes < 1 || p.binMinutes > 60 || 60 % p.binMinutes != 0)
        return "the bin must divide 60 minutes (1, 2, 3, 4, 5, 6, 10, 12, 15, 20, 30 or 60)";
    if (p.periodMinHours < 1 || p.periodMaxHours > 100 || p.periodMinHours > p.periodMaxHours)
        return "the periods must lie within 1 to 100 hours, the shorter first";
    if (!(p.alpha > 0 && p.alpha < 0.5)) return "alpha must lie between 0 and 0.5";
    if (p.fromHour < 0 || (p.toHour && *p.toHour <= p.fromHour))
        return "the window must start at hour 0 or later and end after its start";
    if (p.actogramBinMinutes < 1 || p.actogramBinMinutes > 1440)
        return "the actogram bin must be 1 to 1440 minutes";
    if (p.lightOn.has_value() != p.lightOff.has_value())
        return "the light hours go together: give both --light-on and --light-off";
    for (const auto& h : {p.lightOn, p.lightOff})
        if (h && (*h < 0 || *h > 23)) return "light hours must be 0 to 23";
    return std::nullopt;
}

std::optional<double> chiSquareQp(const BinSeries& s, size_t P) {
    if (P == 0) return std::nullopt;
    const size_t K = s.x.size() / P;
    if (K < 2) return std::nullopt;
    const size_t used = K * P;
    std::vector<double> sum(P, 0);
    std::vector<long long> count(P, 0);
    double total = 0;
    long long n = 0;
    for (size_t i = 0, h = 0; i < used; ++i, h = h + 1 == P ? 0 : h + 1) {
        if (!s.has[i]) continue;
        sum[h] += s.x[i];
        ++count[h];
        total += s.x[i];
        ++n;
    }
    if (n == 0) return std::nullopt;
    const double M = total / static_cast<double>(n);
    double ss = 0;
    for (size_t i = 0; i < used; ++i)
        if (s.has[i]) ss += (s.x[i] - M) * (s.x[i] - M);
    if (ss <= 0) return std::nullopt;
    double between = 0;
    for (size_t h = 0; h < P; ++h) {
        if (count[h] == 0) continue;
        const double d = sum[h] / static_cast<double>(count[h]) - M;
        between += static_cast<double>(count[h]) * d * d;
    }
    return static_cast<double>(n) * between / ss;
}

double chiSquareThreshold(int df, double alpha, int m) {
    // 1 - (1 - alpha)^(1/m), computed without cancellation for large m.
    const double q = -std::expm1(std::log1p(-alpha) / m);
    return gsl_cdf_chisq_Qinv(q, static_cast<double>(df));
}

namespace {

struct Moments {
    double mean = 0, variance = 0; // sample variance (n - 1)
    long long n = 0;
};

Moments momentsOf(const BinSeries& s) {
    Moments m;
    double sum = 0;
    for (size_t i = 0; i < s.x.size(); ++i)
        if (s.has[i]) {
            sum += s.x[i];
            ++m.n;
        }
    if (m.n < 2) return m;
    m.mean = sum / static_cast<double>(m.n);
    double ss = 0;
    for (size_t i = 0; i < s.x.size(); ++i)
        if (s.has[i]) ss += (s.x[i] - m.mean) * (s.x[i] - m.mean);
    m.variance = ss / static_cast<double>(m.n - 1);
    return m;
}

std::optional<double> lombScargle(const BinSeries& s, const Moments& mo, double binHours,
                                  double periodHours) {
    if (mo.n < 2 || mo.variance <= 0) return std::nullopt;
    const double mean = mo.mean, var = mo.variance;
    const double w = 2 * std::numbers::pi / periodHours;
    // cos and sin of w t by rotation from bin to bin.
    const double stepC = std::cos(w * binHours), stepS = std::sin(w * binHours);
    double c = std::cos(w * binHours / 2), sn = std::sin(w * binHours / 2);
    double xc = 0, xs = 0, cc = 0, ssn = 0, cs = 0;
    for (size_t i = 0; i < s.x.size(); ++i) {
        if (s.has[i]) {
            const double d = s.x[i] - mean;
            xc += d * c;
            xs += d * sn;
            cc += c * c;
            ssn += sn * sn;
            cs += c * sn;
        }
        const double nc = c * stepC - sn * stepS;
        sn = sn * stepC + c * stepS;
        c = nc;
    }
    // tan 2 w tau = sum sin 2wt / sum cos 2wt.
    const double twoWTau = std::atan2(2 * cs, cc - ssn);
    const double ct = std::cos(twoWTau / 2), st = std::sin(twoWTau / 2);
    const double num1 = ct * xc + st * xs, num2 = ct * xs - st * xc;
    const double den1 = ct * ct * cc + 2 * ct * st * cs + st * st * ssn;
    const double den2 = st * st * cc - 2 * ct * st * cs + ct * ct * ssn;
    double pn = 0;
    if (den1 > 0) pn += num1 * num1 / den1;
    if (den2 > 0) pn += num2 * num2 / den2;
    return pn / (2 * var);
}

} // namespace

std::optional<double> lombScarglePower(const BinSeries& s, double binHours, double periodHours) {
    return lombScargle(s, momentsOf(s), binHours, periodHours);
}

ThresholdTable thresholdTable(const RhythmParameters& p, int m) {
    ThresholdTable t;
    t.m = m;
    for (int minutes = p.periodMinHours * 60; minutes <= p.periodMaxHours * 60;
         minutes += p.binMinutes)
        t.byPeriod.push_back(chiSquareThreshold(minutes / p.binMinutes - 1, p.alpha, m));
    return t;
}

RhythmWellResult analyseWellRhythm(const BinSeries& s, const RhythmParameters& p,
                                   const ThresholdTable* table) {
    RhythmWellResult r;
    const int R = p.binMinutes;
    const double binHours = R / 60.0;
    std::vector<std::pair<double, double>> tested; // hours, Qp
    for (int minutes = p.periodMinHours * 60; minutes <= p.periodMaxHours * 60; minutes += R) {
        const size_t P = static_cast<size_t>(minutes / R);
        if (auto qp = chiSquareQp(s, P)) tested.push_back({minutes / 60.0, *qp});
    }
    if (tested.empty()) return r;
    r.tested = true;
    const int m = static_cast<int>(tested.size());
    const Moments moments = momentsOf(s);
    double best = -INFINITY, bestLs = -INFINITY;
    for (const auto& [hours, qp] : tested) {
        PeriodPoint pt;
        pt.hours = hours;
        pt.qp = qp;
        const int P = static_cast<int>(std::lround(hours * 60 / R));
        const size_t k = static_cast<size_t>(P - p.periodMinHours * 60 / R);
        pt.threshold = table && table->m == m && k < table->byPeriod.size()
                           ? table->byPeriod[k]
                           : chiSquareThreshold(P - 1, p.alpha, m);
        pt.pn = lombScargle(s, moments, binHours, hours).value_or(0);
        if (pt.qp - pt.threshold > best) {
            best = pt.qp - pt.threshold;
            r.chiPeriod = hours;
            r.chiQp = pt.qp;
            r.chiThreshold = pt.threshold;
            r.index = pt.qp / pt.threshold;
        }
        if (pt.pn > bestLs) {
            bestLs = pt.pn;
            r.lsPeriod = hours;
            r.lsPower = pt.pn;
        }
        r.periodogram.push_back(pt);
    }
    r.rhythmic = best > 0;
    if (r.lsPower) {
        double pv = -std::expm1(m * std::log1p(-std::exp(-*r.lsPower)));
        if (pv < 1e-12) pv = 0;
        r.lsPValue = pv;
    }
    return r;
}

BinSeries rhythmSeries(const WellSeries& minutes, size_t position, const WellFate& fate, int R,
                       long long from, long long to) {
    BinSeries s;
    long long end = std::min(to, minutes.endMinute());
    if (fate.deathMinute) end = std::min(end, *fate.deathMinute);
    if (end <= from) return s;
    const size_t n = static_cast<size_t>((end - from + R - 1) / R);
    s.x.assign(n, 0);
    s.has.assign(n, 0);
    const long long* act = minutes.wellActivity(position);
    for (long long m = from; m < end; ++m) {
        if (!minutes.hasData[static_cast<size_t>(m)]) continue;
        const size_t b = static_cast<size_t>((m - from) / R);
        s.x[b] += static_cast<double>(act[m]);
        s.has[b] = 1;
    }
    return s;
}

namespace {

std::optional<double> meanOf(const std::vector<double>& v) {
    if (v.empty()) return std::nullopt;
    double s = 0;
    for (double x : v)
        s += x;
    return s / static_cast<double>(v.size());
}

std::optional<double> sdOf(const std::vector<double>& v) {
    if (v.size() < 2) return std::nullopt;
    const double m = *meanOf(v);
    double ss = 0;
    for (double x : v)
        ss += (x - m) * (x - m);
    return std::sqrt(ss / static_cast<double>(v.size() - 1));
}

} // namespace

std::optional<RhythmResult> analyseRhythm(WellSeries minutes, const RhythmParameters& p,
                                          const ProjectSetup& setup, std::string& problem,
                                          const RhythmProgress& progress) {
    RhythmResult r;
    r.parameters = p;
    r.schedule = p.lightOn && p.lightOff ? scheduleOverride(*p.lightOn, *p.lightOff)
                                         : scheduleFromSetup(setup);
    r.fromMinute = 60LL * p.fromHour;
    r.toMinute = minutes.endMinute();
    if (p.toHour) r.toMinute = std::min(r.toMinute, 60LL * *p.toHour);
    if (r.toMinute - r.fromMinute < 2 * 60LL * p.periodMinHours) {
        problem = "the window of " + std::to_string(std::max(0LL, r.toMinute - r.fromMinute)) +
                  " minutes is shorter than two cycles of " + std::to_string(p.periodMinHours) +
                  " hours";
        return std::nullopt;
    }
    r.minutes = std::move(minutes);
    const WellSeries& s = r.minutes;
    r.wells.resize(s.wells.size());
    // The number of periods a series of the whole window tests.
    const long long fullBins = (r.toMinute - r.fromMinute + p.binMinutes - 1) / p.binMinutes;
    int m = 0;
    for (int minutes = p.periodMinHours * 60; minutes <= p.periodMaxHours * 60;
         minutes += p.binMinutes)
        m += fullBins / (minutes / p.binMinutes) >= 2;
    const ThresholdTable table = thresholdTable(p, m);
    // Wells are independent: each worker takes every n-th, so the numbers
    // are the same for any number of workers.
    std::atomic<size_t> done{0};
    const double total = static_cast<double>(s.wells.size());
    auto work = [&](size_t first, size_t step) {
        for (size_t i = first; i < s.wells.size(); i += step) {
            RhythmWellResult& w = r.wells[i];
            const WellFate fate = wellFate(s, i, 0, 24);
            if (!fate.empty)
                w = analyseWellRhythm(
                    rhythmSeries(s, i, fate, p.binMinutes, r.fromMinute, r.toMinute), p, &table);
            w.position = i;
            w.fate = fate;
            const size_t now = ++done;
            if (first == 0 && progress) progress(static_cast<double>(now), total, "periodograms");
        }
    };
    const size_t workers = static_cast<size_t>(std::clamp(p.threads, 1, 16));
    std::vector<std::thread> pool;
    for (size_t t = 1; t < workers; ++t)
        pool.emplace_back(work, t, workers);
    work(0, workers);
    for (std::thread& t : pool)
        t.join();

    for (const int number : s.groupNumbers()) {
        RhythmGroupResult g;
        g.group = number;
        g.name = s.groupName(number);
        std::vector<double> periods, indices;
        std::map<long long, std::pair<double, std::pair<double, int>>> sums; // by period minutes
        for (const RhythmWellResult& w : r.wells) {
            if (s.wells[w.position].group != number || w.fate.empty) continue;
            ++g.wellsTested;
            if (w.rhythmic) {
                ++g.wellsRhythmic;
                periods.push_back(*w.chiPeriod);
                indices.push_back(*w.index);
            }
            for (const PeriodPoint& pt : w.periodogram) {
                auto& e = sums[std::llround(pt.hours * 60)];
                e.first += pt.qp;
                e.second.first += pt.threshold;
                ++e.second.second;
            }
        }
        g.meanPeriod = meanOf(periods);
        g.sdPeriod = sdOf(periods);
        g.meanIndex = meanOf(indices);
        g.sdIndex = sdOf(indices);
        for (const auto& [minutesKey, e] : sums) {
            PeriodPoint pt;
            pt.hours = static_cast<double>(minutesKey) / 60.0;
            pt.qp = e.first / e.second.second;
            pt.threshold = e.second.first / e.second.second;
            g.meanPeriodogram.push_back(pt);
        }
        r.groups.push_back(std::move(g));
    }
    return r;
}

namespace {

std::string num(const std::optional<double>& v, int decimals, const CsvFormat& f) {
    return v ? withDecimalMark(fixedDecimals(*v, decimals), f.decimalMark) : std::string();
}

} // namespace

std::string rhythmWellStatus(const RhythmResult& r, const RhythmWellResult& w) {
    if (w.fate.empty) return "empty";
    std::string s;
    if (w.fate.deathMinute)
        s = "dead from " + clockText(r.minutes.clockMinute(*w.fate.deathMinute));
    if (!w.tested) return s.empty() ? "no period" : s + ", no period";
    return s.empty() ? "ok" : s;
}

std::string rhythmWellsCsv(const RhythmResult& r, const CsvFormat& f) {
    std::string t =
        csvLine({"well number", "plate label", "group", "status", "chi-square period", "Qp",
                 "threshold", "index", "rhythmic", "Lomb-Scargle period", "power", "p-value"},
                f);
    for (const RhythmWellResult& w : r.wells) {
        const SeriesWell& sw = r.minutes.wells[w.position];
        const bool cells = w.tested;
        t += csvLine({std::to_string(sw.well), csvField(sw.label, f), csvField(sw.groupName, f),
                      csvField(rhythmWellStatus(r, w), f), num(w.chiPeriod, 1, f),
                      num(w.chiQp, 3, f), num(w.chiThreshold, 3, f), num(w.index, 3, f),
                      cells ? (w.rhythmic ? "yes" : "no") : "", num(w.lsPeriod, 1, f),
                      num(w.lsPower, 3, f), num(w.lsPValue, 6, f)},
                     f);
    }
    return t;
}

std::string rhythmGroupsCsv(const RhythmResult& r, const CsvFormat& f) {
    std::string t = csvLine({"group", "wells tested", "wells rhythmic", "mean period", "SD period",
                             "mean index", "SD index"},
                            f);
    for (const RhythmGroupResult& g : r.groups)
        t += csvLine({csvField(g.name, f), std::to_string(g.wellsTested),
                      std::to_string(g.wellsRhythmic), num(g.meanPeriod, 3, f),
                      num(g.sdPeriod, 3, f), num(g.meanIndex, 3, f), num(g.sdIndex, 3, f)},
                     f);
    return t;
}

std::string periodogramsCsv(const RhythmResult& r, const CsvFormat& f) {
    std::string t = csvLine({"well number", "period", "Qp", "threshold", "PN"}, f);
    for (const RhythmWellResult& w : r.wells)
        for (const PeriodPoint& pt : w.periodogram)
            t += csvLine({std::to_string(r.minutes.wells[w.position].well), num(pt.hours, 1, f),
                          num(pt.qp, 3, f), num(pt.threshold, 3, f), num(pt.pn, 3, f)},
                         f);
    return t;
}

std::string rhythmSettingsText(const RhythmResult& r, const CsvFormat& f) {
    const RhythmParameters& p = r.parameters;
    std::vector<std::string> l;
    l.push_back("acquisition start: " + clockText(r.minutes.clockMinute(0)) +
                "; last record minute: " + std::to_string(r.minutes.lastRecordMinute));
    l.push_back("series: well activity in bins of " + std::to_string(p.binMinutes) +
                " minutes from minute " + std::to_string(r.fromMinute) + " up to minute " +
                std::to_string(r.toMinute) + "; bins without records stay missing");
    l.push_back("dead wells (1-minute bins, threshold 0, 24-hour windows, as the sleep "
                "analysis): the series ends at the death; empty wells get no periodogram");
    l.push_back("periods: " + std::to_string(p.periodMinHours) + " to " +
                std::to_string(p.periodMaxHours) + " hours in steps of " +
                std::to_string(p.binMinutes) + " minutes; a period needs two whole cycles");
    l.push_back("chi-square periodogram (Sokolove and Bushell) over the first K whole cycles, "
                "Qp = n sum_h n_h (M_h - M)^2 / sum_i (x_i - M)^2 over the available bins");
    l.push_back("threshold: the chi-square quantile with P - 1 degrees of freedom at (1 - " +
                plainReal(p.alpha) + ")^(1/m), m the periods tested for the well");
    l.push_back("period: the largest Qp - threshold (the shortest of equal ones); rhythmic when "
                "above 0; index Qp / threshold there");
    l.push_back("Lomb-Scargle: normalised power of all available bins at the same periods, "
                "time the middle of the bin; p-value 1 - (1 - exp(-PN))^m");
    l.push_back("group figures: rhythmic wells (dead ones with their cut series); SD with n - 1");
    l.push_back("light schedule: " + r.schedule.describe());
    l.push_back("actogram bins: " + std::to_string(p.actogramBinMinutes) +
                " minutes, scaled to the series' 95th percentile");
    l.push_back("separator: \"" + f.separator + "\"; decimal mark: \"" + f.decimalMark + "\"");
    std::string t;
    for (const std::string& s : l)
        t += s + "\r\n";
    return t;
}

} // namespace trv
