#include "analysis/WellSeries.h"

#include "acquisition/TemperatureLight.h"
#include "common/Files.h"
#include "common/Numeric.h"
#include "reports/ReportLoad.h"
#include "store/ProjectFile.h"

#include <algorithm>
#include <cmath>

namespace trv {

namespace {

// A record time beyond a year is a damaged record, not an experiment.
constexpr long long kLongestMinutes = 366LL * 1440;

std::string twoDigits(int v) {
    return zeroPadded(v, 2);
}

} // namespace

bool LightSchedule::lightAtHour(int hour) const {
    return present() && TemperatureLight::lightOnAtHour(on, off, hour);
}

bool LightSchedule::switchesAt(int hour) const {
    return present() && lightAtHour(hour) != lightAtHour((hour + 23) % 24);
}

std::string LightSchedule::describe() const {
    if (!present()) return "none (" + missingReason + "): the whole acquisition is one phase";
    std::string s = "on at " + twoDigits(on) + ", off at " + twoDigits(off);
    if (on == off) s += " (equal hours: the light stays off)";
    return s + (source == Source::Setup ? " (from the acquisition's setup.dat)"
                                        : " (given for this analysis)");
}

LightSchedule scheduleFromSetup(const ProjectSetup& setup) {
    LightSchedule s;
    ProjectSetup p = setup;
    if (p.Light_Enable() != 1) {
        s.missingReason = "light control was off";
        return s;
    }
    if (p.Pulse_Times() != 0) {
        s.missingReason = "a light pulse program ran";
        return s;
    }
    s.source = LightSchedule::Source::Setup;
    s.on = p.Time_ON();
    s.off = p.Time_OFF();
    if (s.on == 0 && s.off == 0) {
        s.on = 9;
        s.off = 21;
    }
    return s;
}

LightSchedule scheduleOverride(int on, int off) {
    LightSchedule s;
    s.source = LightSchedule::Source::Override;
    s.on = on;
    s.off = off;
    return s;
}

long long WellSeries::clockMinute(long long minute) const {
    return std::llround(toSerialDays(start) * 1440) + minute;
}

int WellSeries::clockHour(long long minute) const {
    return static_cast<int>((clockMinute(minute) % 1440 + 1440) % 1440 / 60);
}

std::string clockText(long long clockMinute) {
    const long long day = clockMinute >= 0 ? clockMinute / 1440 : -((-clockMinute + 1439) / 1440);
    const LocalDateTime d = fromSerialDays(static_cast<double>(day));
    const long long m = clockMinute - day * 1440;
    return zeroPadded(d.year, 4) + "-" + twoDigits(d.month) + "-" + twoDigits(d.day) + " " +
           twoDigits(static_cast<int>(m / 60)) + ":" + twoDigits(static_cast<int>(m % 60));
}

bool loadAcquisitionData(const std::string& folder, const std::string& programFolder,
                         AcquisitionData& data, std::string& error, Prompter& prompter) {
    data.folder = folder;
    const std::string countsPath = countsFilePath(folder);
    if (!fileExists(countsPath)) {
        error = "Activity file not Found";
        return false;
    }
    const std::string setupPath = joinPath(folder, kSetupFileName);
    if (!fileExists(setupPath)) {
        error = reportErrorText(setupPath + ": not found");
        return false;
    }
    std::string damage;
    switch (loadReportLayout(folder, programFolder, data.layout, prompter, &damage)) {
    case LayoutLoad::Loaded:
        break;
    case LayoutLoad::PlateMissing: // the loader has shown which file is missing
        error = "Report Error";
        return false;
    case LayoutLoad::NoSetup:
    case LayoutLoad::SetupDamaged:
    case LayoutLoad::PlateDamaged:
        error = reportErrorText(damage);
        return false;
    }
    // The light and organism rows lie beyond the plate format's line: a
    // setup.dat cut before them cannot say what the schedule was.
    if (!readSetupFile(setupPath, data.setup).ok()) {
        error = reportErrorText(setupPath + ": the light schedule and organism cannot be read");
        return false;
    }
    const auto slash = folder.rfind('/');
    const auto start =
        acquisitionFolderTime(slash == std::string::npos ? folder : folder.substr(slash + 1));
    if (!start) {
        error = "Report Error\r\nthe folder name " + folder +
                " is not an acquisition's start (yyyymmdd_hhmm): the records have no clock time";
        return false;
    }
    data.start = *start;
    data.records = readCounts(countsPath);
    if (data.records.empty()) {
        error = countsRecordCount(countsPath) > 0
                    ? "Error loading " + countsPath
                    : "Report Error\r\n" + countsPath + ": no whole record";
        return false;
    }
    for (size_t i = 0; i < data.records.size(); ++i) {
        const long long m = data.records[i].minutes;
        const long long before = i > 0 ? data.records[i - 1].minutes : 0;
        if (m < before || m > kLongestMinutes) {
            error = "Report Error\r\n" + countsPath + ": record " + std::to_string(i + 1) +
                    " has the time " + std::to_string(m) + " minutes" +
                    (m < before ? " after " + std::to_string(before) : "") +
                    ": the file is damaged";
            data.records.clear();
            return false;
        }
    }
    return true;
}

WellSeries buildWellSeries(const AcquisitionData& data, int binMinutes) {
    WellSeries s;
    const ReportLayout& layout = data.layout;
    s.binMinutes = std::max(1, binMinutes);
    s.start = data.start;
    s.groupNames.assign(layout.channels.Group_Name.begin(), layout.channels.Group_Name.end());
    for (int ch = 0; ch < kChannels; ++ch)
        if (layout.inGroup(ch)) s.lastGroup = std::max<int>(s.lastGroup, layout.groupOf(ch));

    // Wells to which the plate file gives a channel, by well index.
    std::vector<std::vector<int>> channelsOf(static_cast<size_t>(layout.wellCount()));
    for (int ch = 0; ch < kChannels; ++ch) {
        const int w = layout.wellOf(ch);
        if (w >= 0 && w < layout.wellCount()) channelsOf[static_cast<size_t>(w)].push_back(ch);
    }
    for (int w = 0; w < layout.wellCount(); ++w) {
        auto& chans = channelsOf[static_cast<size_t>(w)];
        if (chans.empty()) continue;
        SeriesWell sw;
        sw.well = w;
        sw.label = layout.plate.wellLabel(w);
        sw.channels = chans;
        const int beam0 = layout.beam0Channel(w);
        const int first = beam0 >= 0 ? beam0 : chans.front();
        if (layout.inGroup(first)) {
            sw.group = layout.groupOf(first);
            sw.groupName = s.groupNames[static_cast<size_t>(sw.group)];
        }
        s.wells.push_back(std::move(sw));
    }

    s.lastRecordMinute = data.records.empty() ? 0 : data.records.back().minutes;
    for (const CountsRecord& r : data.records)
        s.lastRecordMinute = std::max<long long>(s.lastRecordMinute, r.minutes);
    const size_t bins = static_cast<size_t>(s.lastRecordMinute / s.binMinutes + 1);
    s.hasData.assign(bins, 0);
    s.activity.assign(bins * s.wells.size(), 0);
    for (const CountsRecord& r : data.records) {
        const size_t b = static_cast<size_t>(r.minutes / s.binMinutes);
        s.hasData[b] = 1;
        long long* at = s.activity.data() + b;
        for (const SeriesWell& w : s.wells) {
            long long v = 0;
            for (int ch : w.channels)
                v += r.counts[static_cast<size_t>(ch)];
            *at += v;
            at += bins;
        }
    }
    return s;
}

std::vector<int> WellSeries::groupNumbers() const {
    std::vector<int> groups;
    for (int g = 0; g <= lastGroup; ++g)
        groups.push_back(g);
    for (const SeriesWell& w : wells)
        if (w.group > lastGroup) groups.push_back(w.group);
    std::sort(groups.begin(), groups.end());
    groups.erase(std::unique(groups.begin(), groups.end()), groups.end());
    return groups;
}

std::string WellSeries::groupName(int group) const {
    return group >= 0 && static_cast<size_t>(group) < groupNames.size()
               ? groupNames[static_cast<size_t>(group)]
               : std::string();
}

WellFate wellFate(const WellSeries& series, size_t position, long long threshold,
                  int deadWindowHours) {
    WellFate fate;
    const size_t n = series.bins();
    const long long* act = series.wellActivity(position);
    bool anyEvent = false;
    for (size_t b = 0; b < n && !anyEvent; ++b)
        anyEvent = series.hasData[b] && act[b] != 0;
    if (!anyEvent) {
        fate.empty = true;
        return fate;
    }
    // Running counts of bins with data and of moving bins, so every window
    // is two subtractions.
    std::vector<long long> data(n + 1, 0), moving(n + 1, 0);
    for (size_t b = 0; b < n; ++b) {
        data[b + 1] = data[b] + series.hasData[b];
        moving[b + 1] = moving[b] + (series.hasData[b] && act[b] > threshold ? 1 : 0);
    }
    const long long B = series.binMinutes;
    const long long window = 60LL * deadWindowHours;
    // The first bin whose start lies at or after a minute.
    auto firstBinFrom = [&](long long minute) {
        return static_cast<size_t>(
            std::min<long long>((minute + B - 1) / B, static_cast<long long>(n)));
    };
    for (long long start = 0; start + window <= series.endMinute(); start += 60) {
        const size_t from = firstBinFrom(start), to = firstBinFrom(start + window);
        const long long inWindow = static_cast<long long>(to - from);
        const long long withData = data[to] - data[from];
        if (2 * withData < inWindow) continue;
        if (100 * (moving[to] - moving[from]) > withData) continue;
        long long death = 0;
        for (size_t b = from; b-- > 0;)
            if (series.hasData[b] && act[b] > threshold) {
                death = (static_cast<long long>(b) + 1) * B;
                break;
            }
        fate.deathMinute = death;
        break;
    }
    return fate;
}

} // namespace trv
