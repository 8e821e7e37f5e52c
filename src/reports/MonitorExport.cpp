#include "reports/MonitorExport.h"

#include "acquisition/DataFiles.h"
#include "common/Clock.h"
#include "common/Files.h"
#include "common/Numeric.h"
#include "reports/ActivityFile.h"
#include "reports/ReportLoad.h"
#include "reports/ReportTypes.h"
#include "store/AcquisitionRecord.h"

#include <charconv>
#include <cmath>

namespace trv {

namespace {

// A record time beyond a year is a damaged record, not an experiment: it
// would only make millions of empty lines.
constexpr long long kLongestAcquisitionMinutes = 366LL * 1440;

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

void appendNumber(std::string& s, long long v) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    s.append(buf, res.ptr);
}

std::string twoDigits(int v) {
    return zeroPadded(v, 2);
}

// The columns: channels 0..383, or the wells whose channels are summed.
struct Column {
    std::string name;  // channel or well number
    std::string label; // plate label: "B3.1" for a channel, "B3" for a well
    std::string group; // "001_Dose"
    std::vector<int> channels;
};

std::vector<Column> columnsOf(const ReportLayout& layout, bool perWell) {
    auto groupName = [&](int channel) {
        const std::string quoted =
            layout.groupLabel(layout.inGroup(channel) ? layout.groupOf(channel) : -1);
        return quoted.size() >= 2 ? quoted.substr(1, quoted.size() - 2) : quoted;
    };
    std::vector<Column> columns;
    if (!perWell) {
        for (int ch = 0; ch < kChannels; ++ch)
            columns.push_back({std::to_string(ch),
                               layout.plate.channelLabel(ch),
                               layout.wellOf(ch) >= 0 ? groupName(ch) : "",
                               {ch}});
        return columns;
    }
    columns.resize(static_cast<size_t>(layout.wellCount()));
    for (int ch = 0; ch < kChannels; ++ch) {
        const int w = layout.wellOf(ch);
        if (w >= 0 && w < layout.wellCount())
            columns[static_cast<size_t>(w)].channels.push_back(ch);
    }
    for (int w = 0; w < layout.wellCount(); ++w) {
        Column& c = columns[static_cast<size_t>(w)];
        c.name = std::to_string(w);
        c.label = layout.plate.wellLabel(w);
        // The group of the well's beam 0, else of its first beam.
        const int beam0 = layout.beam0Channel(w);
        const int first = beam0 >= 0 ? beam0 : c.channels.empty() ? -1 : c.channels.front();
        c.group = first >= 0 ? groupName(first) : "";
    }
    return columns;
}

} // namespace

std::string monitorDate(long long serialMinutes) {
    const LocalDateTime t = fromSerialDays(std::floor(static_cast<double>(serialMinutes) / 1440));
    return std::to_string(t.day) + " " + kMonths[(t.month - 1) % 12] + " " +
           twoDigits(t.year % 100);
}

std::string monitorTime(long long serialMinutes) {
    const long long m = ((serialMinutes % 1440) + 1440) % 1440;
    return twoDigits(static_cast<int>(m / 60)) + ":" + twoDigits(static_cast<int>(m % 60)) + ":00";
}

MonitorExportOutcome exportMonitorFiles(const MonitorExportRequest& rq, Prompter& prompter,
                                        const std::atomic<bool>* stop,
                                        const ExportProgress& progress) {
    MonitorExportOutcome out;
    auto fail = [&](const std::string& why) {
        out.error = why;
        return out;
    };
    const std::string& folder = rq.acquisitionPath;
    const std::string countsPath = countsFilePath(folder);
    if (!fileExists(countsPath)) return fail("Activity file not Found");
    const auto start = acquisitionStartTime(folder);
    if (!start)
        return fail("the folder name " + folder +
                    " is not an acquisition's start (yyyymmdd_hhmm): the readings have no time");
    ReportLayout layout;
    const LayoutLoad load = loadReportLayout(folder, rq.programFolder, layout, prompter);
    if (load != LayoutLoad::Loaded && !(load == LayoutLoad::NoSetup && !rq.perWell))
        return fail("the acquisition's plate layout cannot be read");

    const std::vector<CountsRecord> records = readCounts(countsPath);
    if (records.empty()) return fail("no whole record in " + countsPath);
    std::vector<int32_t> stored;
    stored.reserve(records.size());
    for (const CountsRecord& r : records)
        stored.push_back(r.minutes);
    const std::vector<int32_t> minutes = dayCorrectedTimes(stored);
    for (const int32_t m : minutes)
        if (m < 0 || m > kLongestAcquisitionMinutes)
            return fail("a record of " + countsPath + " has the time " + std::to_string(m) +
                        " minutes: the file is damaged");

    const std::vector<Column> columns = columnsOf(layout, rq.perWell);
    const size_t nColumns = columns.size();
    const size_t nFiles = (nColumns + kMonitorColumns - 1) / kMonitorColumns;

    // The readings: per record, or per bin (records summed; bin k holds the
    // record minutes k*B .. (k+1)*B - 1 and is stamped with its end).
    struct Reading {
        long long minute; // since the start
        bool valid;
        std::vector<long long> values; // per column
    };
    std::vector<Reading> readings;
    auto columnValue = [&](const CountsRecord& r, const Column& c) {
        long long v = 0;
        for (int ch : c.channels)
            v += r.counts[static_cast<size_t>(ch)];
        return v;
    };
    if (rq.binMinutes <= 0) {
        readings.reserve(records.size());
        for (size_t i = 0; i < records.size(); ++i) {
            Reading rd{minutes[i], true, std::vector<long long>(nColumns)};
            for (size_t c = 0; c < nColumns; ++c)
                rd.values[c] = columnValue(records[i], columns[c]);
            readings.push_back(std::move(rd));
        }
    } else {
        const long long B = rq.binMinutes;
        long long last = 0;
        for (const int32_t m : minutes)
            last = std::max<long long>(last, m);
        const size_t bins = static_cast<size_t>(last / B + 1);
        readings.resize(bins);
        for (size_t k = 0; k < bins; ++k)
            readings[k] = {static_cast<long long>(k + 1) * B, false,
                           std::vector<long long>(nColumns)};
        for (size_t i = 0; i < records.size(); ++i) {
            Reading& rd = readings[static_cast<size_t>(minutes[i] / B)];
            rd.valid = true;
            for (size_t c = 0; c < nColumns; ++c)
                rd.values[c] += columnValue(records[i], columns[c]);
        }
    }
    out.lines = static_cast<long long>(readings.size());

    // The first fields of every line are the same in every file.
    const long long startMinutes =
        static_cast<long long>(std::llround(toSerialDays(*start) * 1440));
    std::vector<std::string> texts(nFiles);
    const double total = static_cast<double>(readings.size());
    std::string head;
    long long dateDay = -1;
    std::string date;
    for (size_t i = 0; i < readings.size(); ++i) {
        if (stop && stop->load()) return fail("stopped");
        if (progress && i % 256 == 0) progress(static_cast<double>(i), total);
        const Reading& rd = readings[i];
        const long long at = startMinutes + rd.minute;
        if (at / 1440 != dateDay) {
            dateDay = at / 1440;
            date = monitorDate(at);
        }
        head.clear();
        appendNumber(head, static_cast<long long>(i + 1));
        head += '\t';
        head += date;
        head += '\t';
        head += monitorTime(at);
        head += rd.valid ? "\t1" : "\t0";
        head += "\t0\t0\t0\t0\t0\t0";
        for (size_t f = 0; f < nFiles; ++f) {
            std::string& t = texts[f];
            t += head;
            for (size_t c = f * kMonitorColumns; c < (f + 1) * kMonitorColumns; ++c) {
                t += '\t';
                appendNumber(t, c < nColumns ? rd.values[c] : 0);
            }
            t += "\r\n";
        }
    }
    if (stop && stop->load()) return fail("stopped");
    if (progress) progress(total, total);

    const std::string target = rq.outputFolder.empty() ? folder : rq.outputFolder;
    std::string map = "file\tcolumn\t" + std::string(rq.perWell ? "well" : "channel") +
                      "\tplate label\tgroup\r\n";
    for (size_t f = 0; f < nFiles; ++f) {
        const std::string name = "Monitor" + std::to_string(f + 1) + ".txt";
        const std::string path = joinPath(target, name);
        if (!writePlainFile(path, texts[f])) return fail("cannot write " + path);
        out.files.push_back(path);
        for (size_t c = f * kMonitorColumns; c < std::min(nColumns, (f + 1) * kMonitorColumns);
             ++c) {
            const Column& col = columns[c];
            map += name + "\t" + std::to_string(c - f * kMonitorColumns + 1) + "\t" + col.name +
                   "\t" + col.label + "\t" + col.group + "\r\n";
        }
    }
    const std::string mapPath = joinPath(target, kMonitorMapName);
    if (!writePlainFile(mapPath, map)) return fail("cannot write " + mapPath);
    out.files.push_back(mapPath);
    out.written = true;
    return out;
}

} // namespace trv
