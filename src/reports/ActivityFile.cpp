#include "reports/ActivityFile.h"

#include "acquisition/DataFiles.h"
#include "common/Files.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace trv {

namespace {
constexpr long long kDayMinutes = 1440;
constexpr long long kNewDayDrop = 1000;

int32_t fits32(long long v) {
    if (v < INT32_MIN || v > INT32_MAX) throw std::range_error("time outside 32 bits");
    return static_cast<int32_t>(v);
}
} // namespace

int32_t durationOfStoredTimes(const std::vector<int32_t>& stored) {
    long long day = 0, largest = 0;
    for (size_t i = 0; i < stored.size(); ++i) {
        largest = std::max(largest, day * kDayMinutes + stored[i]);
        if (i > 0 &&
            static_cast<long long>(stored[i]) < static_cast<long long>(stored[i - 1]) - kNewDayDrop)
            ++day;
    }
    return fits32(largest);
}

int lastRisingRecord(const std::vector<int32_t>& stored) {
    int last = -1;
    long long highest = 0;
    for (size_t i = 0; i < stored.size(); ++i) {
        if (i == 0 || stored[i] >= highest) {
            highest = stored[i];
            last = static_cast<int>(i);
        }
    }
    return last;
}

namespace {

// The records of counts.bin; nothing when the file is missing or cannot be
// read (a file of no whole record reads as empty).
std::optional<std::vector<CountsRecord>> readActivityRecords(const std::string& path) {
    if (!fileExists(path)) return std::nullopt;
    std::vector<CountsRecord> records = readCounts(path);
    if (records.empty() && countsRecordCount(path) > 0) return std::nullopt;
    return records;
}

std::vector<int32_t> storedTimes(const std::vector<CountsRecord>& records) {
    std::vector<int32_t> t;
    t.reserve(records.size());
    for (const CountsRecord& r : records)
        t.push_back(r.minutes);
    return t;
}

} // namespace

std::string outOfMemoryMessage(const std::string& path) {
    const long long size = fileSize(path);
    std::string text = "Report Error\r\nNot enough memory to work on " + path;
    if (size >= 0) text += " (" + std::to_string(size / (1024 * 1024)) + " MB)";
    return text;
}

int32_t measureDuration(const std::string& path, Prompter& prompter) {
    try {
        auto r = readActivityRecords(path);
        if (r) return durationOfStoredTimes(storedTimes(*r));
    } catch (const std::exception&) {
    }
    prompter.show("Error reading " + path);
    return 0;
}

int loadActivityFile(const std::string& path, ActivitySeries& series, Prompter& prompter) {
    try {
        auto r = readActivityRecords(path);
        if (r) {
            std::vector<int32_t> stored = storedTimes(*r);
            const int last = lastRisingRecord(stored);
            stored.resize(static_cast<size_t>(last + 1));
            if (auto problem = countsTimesProblem(path, *r, true)) {
                series.resize(0);
                prompter.show(*problem);
                return 0;
            }
            const std::vector<int32_t> corrected = dayCorrectedTimes(stored);
            series.resize(last + 1);
            for (int i = 0; i <= last; ++i) {
                const CountsRecord& rec = (*r)[static_cast<size_t>(i)];
                series.time[static_cast<size_t>(i)] = corrected[static_cast<size_t>(i)];
                std::copy(rec.counts.begin(), rec.counts.begin() + kChannels,
                          series.counts.begin() + static_cast<ptrdiff_t>(i) * kChannels);
                series.temperature[static_cast<size_t>(i)] = rec.counts[kChannels];
            }
            return std::max(last, 0);
        }
    } catch (const std::exception&) {
    }
    series.resize(0);
    prompter.show("Error loading " + path);
    return 0;
}

} // namespace trv
