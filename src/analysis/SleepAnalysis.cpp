#include "analysis/SleepAnalysis.h"

#include "analysis/SleepPlot.h"
#include "common/Files.h"
#include "common/Numeric.h"
#include "display/SvgSurface.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace trv {

int defaultMinBout(int organism) {
    return organism == kDrosophila ? 5 : 1;
}

std::optional<std::string> sleepParameterProblem(const SleepParameters& p) {
    if (p.binMinutes < 1 || p.binMinutes > 1440) return "the bin must be 1 to 1440 minutes";
    if (p.threshold < 0) return "the threshold must not be negative";
    if (p.minBout && *p.minBout < 1) return "the minimum bout must be at least 1 minute";
    if (p.deadWindowHours < 1) return "the dead-well window must be at least 1 hour";
    if (p.lightOn.has_value() != p.lightOff.has_value())
        return "the light hours go together: give both --light-on and --light-off";
    for (const auto& h : {p.lightOn, p.lightOff})
        if (h && (*h < 0 || *h > 23)) return "light hours must be 0 to 23";
    return std::nullopt;
}

std::vector<SleepPhase> sleepPhases(const WellSeries& series, const LightSchedule& schedule) {
    std::vector<SleepPhase> phases;
    const size_t n = series.bins();
    const long long B = series.binMinutes;
    if (!schedule.present()) {
        phases.push_back({"all", false, 0, n, true});
        return phases;
    }
    int lights = 0, darks = 0;
    for (size_t b = 0; b < n; ++b) {
        const bool light = schedule.lightAtHour(series.clockHour(static_cast<long long>(b) * B));
        if (!phases.empty() && phases.back().light == light) {
            phases.back().endBin = b + 1;
            continue;
        }
        const int number = light ? ++lights : ++darks;
        phases.push_back(
            {(light ? "light " : "dark ") + std::to_string(number), light, b, b + 1, false});
    }
    // The first phase began before the recording unless the recording began
    // on the hour the light switched.
    const bool onTransition = series.start.minute == 0 && schedule.switchesAt(series.start.hour);
    if (!phases.empty()) phases.front().partial = !onTransition;
    return phases;
}

namespace {

struct Bout {
    size_t start = 0;
    long long minutes = 0;
};

SleepWellResult sleepOfWell(const WellSeries& s, size_t position, const SleepParameters& p,
                            int minBout, const std::vector<SleepPhase>& phases) {
    SleepWellResult r;
    r.position = position;
    r.fate = wellFate(s, position, p.threshold, p.deadWindowHours);
    r.phases.assign(phases.size(), SleepFigures{});
    const size_t n = s.bins();
    r.sleepBins.assign(n, 0);
    if (r.fate.empty) return r;
    const long long B = s.binMinutes;
    const long long* act = s.wellActivity(position);
    // Bins from the death on count as bins without data.
    const size_t usableEnd =
        r.fate.deathMinute ? static_cast<size_t>(std::min<long long>(*r.fate.deathMinute / B,
                                                                     static_cast<long long>(n)))
                           : n;
    auto usable = [&](size_t b) { return b < usableEnd && s.hasData[b]; };

    std::vector<Bout> bouts;
    for (size_t b = 0; b < usableEnd;) {
        if (!usable(b) || act[b] > p.threshold) {
            ++b;
            continue;
        }
        size_t e = b;
        while (e < usableEnd && usable(e) && act[e] <= p.threshold)
            ++e;
        const long long minutes = static_cast<long long>(e - b) * B;
        if (minutes >= minBout) {
            bouts.push_back({b, minutes});
            std::fill(r.sleepBins.begin() + static_cast<ptrdiff_t>(b),
                      r.sleepBins.begin() + static_cast<ptrdiff_t>(e), 1);
        }
        b = e;
    }

    size_t nextBout = 0;
    for (size_t k = 0; k < phases.size(); ++k) {
        const SleepPhase& ph = phases[k];
        long long dataBins = 0, sleepBins = 0, wakeBins = 0, wakeActivity = 0;
        for (size_t b = ph.firstBin; b < ph.endBin; ++b) {
            if (!usable(b)) continue;
            ++dataBins;
            if (r.sleepBins[b]) {
                ++sleepBins;
            } else {
                ++wakeBins;
                wakeActivity += act[b];
            }
        }
        long long count = 0, total = 0;
        std::optional<size_t> first;
        while (nextBout < bouts.size() && bouts[nextBout].start < ph.endBin) {
            if (!first) first = bouts[nextBout].start;
            ++count;
            total += bouts[nextBout].minutes;
            ++nextBout;
        }
        SleepFigures& f = r.phases[k];
        f[kDataMinutes] = static_cast<double>(dataBins * B);
        f[kSleepMinutes] = static_cast<double>(sleepBins * B);
        f[kBouts] = static_cast<double>(count);
        if (count > 0) f[kMeanBout] = static_cast<double>(total) / static_cast<double>(count);
        if (first && !ph.partial)
            f[kLatency] = static_cast<double>(static_cast<long long>(*first - ph.firstBin) * B);
        if (wakeBins > 0)
            f[kWakeActivity] =
                static_cast<double>(wakeActivity) / static_cast<double>(wakeBins * B);
    }
    return r;
}

SleepGroupResult::Summary summarise(const std::vector<double>& v) {
    SleepGroupResult::Summary s;
    s.n = static_cast<int>(v.size());
    if (v.empty()) return s;
    double sum = 0;
    for (double x : v)
        sum += x;
    const double mean = sum / static_cast<double>(v.size());
    s.mean = mean;
    if (v.size() >= 2) {
        double ss = 0;
        for (double x : v)
            ss += (x - mean) * (x - mean);
        s.sd = std::sqrt(ss / static_cast<double>(v.size() - 1));
    }
    return s;
}

} // namespace

SleepResult analyseSleep(WellSeries series, const SleepParameters& p, const ProjectSetup& setup) {
    SleepResult r;
    r.parameters = p;
    r.organism = setup.Organism();
    r.minBout = p.minBout ? *p.minBout : defaultMinBout(r.organism);
    r.minBoutSource = "the default for the acquisition's organism (" + std::to_string(r.organism) +
                      ") is " + std::to_string(defaultMinBout(r.organism));
    r.schedule = p.lightOn && p.lightOff ? scheduleOverride(*p.lightOn, *p.lightOff)
                                         : scheduleFromSetup(setup);
    r.series = std::move(series);
    const WellSeries& s = r.series;
    r.phases = sleepPhases(s, r.schedule);
    r.wells.reserve(s.wells.size());
    for (size_t i = 0; i < s.wells.size(); ++i)
        r.wells.push_back(sleepOfWell(s, i, p, r.minBout, r.phases));

    // Profile slots: 30 minutes, or whole bins when a bin is longer.
    const long long B = s.binMinutes;
    r.profileSlotMinutes = static_cast<int>(B * ((30 + B - 1) / B));
    const long long slotBins = r.profileSlotMinutes / B;
    const size_t slots =
        static_cast<size_t>((static_cast<long long>(s.bins()) + slotBins - 1) / slotBins);
    r.profileLight.assign(slots, 0);
    for (size_t k = 0; k < slots; ++k)
        r.profileLight[k] =
            r.schedule.lightAtHour(s.clockHour(static_cast<long long>(k) * r.profileSlotMinutes));

    for (const int number : s.groupNumbers()) {
        SleepGroupResult g;
        g.group = number;
        g.name = s.groupName(number);
        std::vector<const SleepWellResult*> used;
        for (const SleepWellResult& w : r.wells)
            if (s.wells[w.position].group == number && !w.fate.empty && !w.fate.deathMinute)
                used.push_back(&w);
        g.wellsUsed = static_cast<int>(used.size());
        g.phases.resize(r.phases.size());
        for (size_t k = 0; k < r.phases.size(); ++k)
            for (int f = 0; f < kSleepFigures; ++f) {
                std::vector<double> v;
                for (const SleepWellResult* w : used)
                    if (const auto& x = w->phases[k][static_cast<size_t>(f)]) v.push_back(*x);
                g.phases[k][static_cast<size_t>(f)] = summarise(v);
            }
        // Sleep minutes per 30 minutes of the wells with data in the slot.
        g.profile.assign(slots, std::nullopt);
        const double scale = 30.0 / static_cast<double>(r.profileSlotMinutes);
        for (size_t k = 0; k < slots; ++k) {
            const size_t from = k * static_cast<size_t>(slotBins);
            const size_t to = std::min(s.bins(), from + static_cast<size_t>(slotBins));
            double sum = 0;
            int wells = 0;
            for (const SleepWellResult* w : used) {
                long long data = 0, sleep = 0;
                for (size_t b = from; b < to; ++b) {
                    data += s.hasData[b];
                    sleep += w->sleepBins[b];
                }
                if (data == 0) continue;
                sum += static_cast<double>(sleep * B) * scale;
                ++wells;
            }
            if (wells > 0) g.profile[k] = sum / wells;
        }
        r.groups.push_back(std::move(g));
    }
    return r;
}

SleepFormat sleepFormat(Locale& locale, const std::optional<std::string>& separator) {
    SleepFormat f;
    f.separator = separator ? *separator : locale.listSeparator();
    if (f.separator.empty()) f.separator = ",";
    f.decimalMark = locale.decimalSeparator();
    if (f.decimalMark.empty() || f.decimalMark == f.separator) f.decimalMark = ".";
    return f;
}

namespace {

std::string real(const std::optional<double>& v, const SleepFormat& f) {
    return v ? withDecimalMark(fixedDecimals(*v, 3), f.decimalMark) : std::string();
}

std::string whole(const std::optional<double>& v) {
    return v ? std::to_string(static_cast<long long>(std::llround(*v))) : std::string();
}

// Minutes, counts and latencies are whole; means and rates are not.
std::string figureText(int figure, const std::optional<double>& v, const SleepFormat& f) {
    return figure == kMeanBout || figure == kWakeActivity ? real(v, f) : whole(v);
}

const char* const kFigureNames[kSleepFigures] = {
    "minutes with data", "sleep minutes", "bouts",
    "mean bout length",  "latency",       "activity per waking minute"};

std::string phaseStart(const SleepResult& r, const SleepPhase& ph) {
    return clockText(
        r.series.clockMinute(static_cast<long long>(ph.firstBin) * r.series.binMinutes));
}

std::string statusOf(const SleepResult& r, const SleepWellResult& w) {
    if (w.fate.empty) return "empty";
    if (w.fate.deathMinute)
        return "dead from " + clockText(r.series.clockMinute(*w.fate.deathMinute));
    return "ok";
}

} // namespace

std::string csvField(const std::string& text, const SleepFormat& f) {
    if (text.find(f.separator) == std::string::npos &&
        text.find_first_of("\"\r\n") == std::string::npos)
        return text;
    std::string q = "\"";
    for (char c : text)
        q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

std::string csvLine(const std::vector<std::string>& fields, const SleepFormat& f) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) line += f.separator;
        line += fields[i];
    }
    return line + "\r\n";
}

std::string sleepWellsCsv(const SleepResult& r, const SleepFormat& f) {
    std::vector<std::string> head = {"well number", "plate label", "group", "phase", "phase start"};
    head.insert(head.end(), std::begin(kFigureNames), std::end(kFigureNames));
    head.push_back("status");
    std::string text = csvLine(head, f);
    for (const SleepWellResult& w : r.wells) {
        const SeriesWell& sw = r.series.wells[w.position];
        const std::string status = statusOf(r, w);
        for (size_t k = 0; k < r.phases.size(); ++k) {
            std::vector<std::string> row = {std::to_string(sw.well), csvField(sw.label, f),
                                            csvField(sw.groupName, f), r.phases[k].name,
                                            phaseStart(r, r.phases[k])};
            for (int fig = 0; fig < kSleepFigures; ++fig)
                row.push_back(figureText(fig, w.phases[k][static_cast<size_t>(fig)], f));
            row.push_back(status);
            text += csvLine(row, f);
        }
    }
    return text;
}

std::string sleepGroupsCsv(const SleepResult& r, const SleepFormat& f) {
    std::vector<std::string> head = {"group", "phase", "phase start", "wells used"};
    for (const char* name : kFigureNames)
        for (const char* what : {" mean", " SD", " n"})
            head.push_back(std::string(name) + what);
    std::string text = csvLine(head, f);
    for (const SleepGroupResult& g : r.groups)
        for (size_t k = 0; k < r.phases.size(); ++k) {
            std::vector<std::string> row = {csvField(g.name, f), r.phases[k].name,
                                            phaseStart(r, r.phases[k]),
                                            std::to_string(g.wellsUsed)};
            for (const auto& s : g.phases[k]) {
                row.push_back(real(s.mean, f));
                row.push_back(real(s.sd, f));
                row.push_back(std::to_string(s.n));
            }
            text += csvLine(row, f);
        }
    return text;
}

std::string sleepSettingsText(const SleepResult& r, const SleepFormat& f) {
    const WellSeries& s = r.series;
    const SleepParameters& p = r.parameters;
    std::vector<std::string> lines;
    lines.push_back("acquisition start: " + clockText(s.clockMinute(0)));
    lines.push_back("last record minute: " + std::to_string(s.lastRecordMinute));
    lines.push_back("bin (B): " + std::to_string(s.binMinutes) +
                    " minutes; bins: " + std::to_string(s.bins()) +
                    " (a bin without a record is missing: neither "
                    "sleep nor wake, it ends a run of immobile bins)");
    lines.push_back("immobile bin: at least one record and activity <= " +
                    std::to_string(p.threshold) + " (threshold A)");
    lines.push_back("minimum bout (T): " + std::to_string(r.minBout) + " minutes (" +
                    r.minBoutSource + "); a bout is a run of immobile bins of at least T minutes");
    lines.push_back("light schedule: " + r.schedule.describe());
    std::string phaseLine = "phases:";
    for (const SleepPhase& ph : r.phases)
        phaseLine +=
            " " + ph.name + " from " + phaseStart(r, ph) + (ph.partial ? " (partial)" : "") + ";";
    lines.push_back(phaseLine);
    lines.push_back("latency: minutes from a phase's start to its first bout; empty for a partial "
                    "phase");
    lines.push_back(
        "dead-well window (D): " + std::to_string(p.deadWindowHours) +
        " hours, starting every hour; a window with data in at least half its bins "
        "and moving bins (activity > A) in at most 1 % of them marks the well dead from "
        "the end of its last moving bin before the window");
    if (s.endMinute() < 60LL * p.deadWindowHours)
        lines.push_back("the recording is shorter than " + std::to_string(p.deadWindowHours) +
                        " hours: no well can be marked dead");
    lines.push_back("empty well: no event in the whole acquisition (takes precedence over dead)");
    lines.push_back("group figures: wells neither empty nor dead; mean and SD (n - 1) of the "
                    "wells with a value");
    lines.push_back("sleep profile: mean sleep minutes per 30 minutes in slots of " +
                    std::to_string(r.profileSlotMinutes) + " minutes");
    lines.push_back("separator: \"" + f.separator + "\"; decimal mark: \"" + f.decimalMark + "\"");
    std::string text;
    for (const std::string& l : lines)
        text += l + "\r\n";
    return text;
}

std::string sleepProfileSvg(const SleepResult& r, const SleepFormat& f) {
    SvgSurface svg(900, 480);
    Dibujar_sleepprofile(svg, r, f.decimalMark);
    return svg.svg();
}

SleepOutcome computeSleep(const SleepRequest& rq, Prompter& prompter,
                          const SleepProgress& progress) {
    SleepOutcome out;
    if (auto problem = sleepParameterProblem(rq.parameters)) {
        out.error = *problem;
        return out;
    }
    if (progress) progress(0, 3, "reading");
    AcquisitionData data;
    if (!loadAcquisitionData(rq.acquisitionPath, rq.programFolder, data, out.error, prompter))
        return out;
    if (progress) progress(1, 3, "binning");
    WellSeries series = buildWellSeries(data, rq.parameters.binMinutes);
    data.records.clear();
    if (progress) progress(2, 3, "sleep");
    out.result = analyseSleep(std::move(series), rq.parameters, data.setup);
    if (progress) progress(3, 3, "done");
    return out;
}

bool writeAnalysisFiles(const std::string& folder,
                        const std::vector<std::pair<std::string, std::string>>& files,
                        std::vector<std::string>& written, std::string& error) {
    written.clear();
    if (!folderExists(folder) && !makeFolder(folder)) {
        error = "The output folder " + folder + " cannot be created";
        return false;
    }
    for (const auto& [name, text] : files) {
        const std::string path = joinPath(folder, name);
        if (!writeFileAtomic(path, text)) {
            error = "Cannot write " + path;
            return false;
        }
        written.push_back(path);
    }
    return true;
}

bool writeSleepFiles(const SleepRequest& rq, Locale& locale, SleepOutcome& out) {
    if (!out.result) return false;
    const SleepFormat f = sleepFormat(locale, rq.separator);
    const SleepResult& r = *out.result;
    out.written = writeAnalysisFiles(rq.outputFolder.empty() ? rq.acquisitionPath : rq.outputFolder,
                                     {{kSleepWellsFile, sleepWellsCsv(r, f)},
                                      {kSleepGroupsFile, sleepGroupsCsv(r, f)},
                                      {kSleepSettingsFile, sleepSettingsText(r, f)},
                                      {kSleepProfileFile, sleepProfileSvg(r, f)}},
                                     out.files, out.error);
    return out.written;
}

SleepOutcome runSleep(const SleepRequest& rq, Locale& locale, Prompter& prompter,
                      const SleepProgress& progress) {
    SleepOutcome out = computeSleep(rq, prompter, progress);
    if (out.result) writeSleepFiles(rq, locale, out);
    return out;
}

} // namespace trv
