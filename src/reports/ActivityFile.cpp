#include "reports/ActivityFile.h"

#include "common/Files.h"

#include <algorithm>
#include <cstring>
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

std::vector<int32_t> dayCorrectedTimes(const std::vector<int32_t>& stored) {
    std::vector<int32_t> out;
    out.reserve(stored.size());
    long long day = 0;
    for (size_t i = 0; i < stored.size(); ++i) {
        long long t = day * kDayMinutes + stored[i];
        if (i > 0 && t < static_cast<long long>(out.back()) - kNewDayDrop) {
            ++day;
            t = day * kDayMinutes + stored[i];
        }
        out.push_back(fits32(t));
    }
    return out;
}

int32_t durationOfStoredTimes(const std::vector<int32_t>& stored) {
    long long day = 0, largest = 0;
    for (size_t i = 0; i < stored.size(); ++i) {
        largest = std::max(largest, day * kDayMinutes + stored[i]);
        if (i > 0 && static_cast<long long>(stored[i]) < static_cast<long long>(stored[i - 1]) - kNewDayDrop) ++day;
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

constexpr size_t kRecordBytes = 774;

struct CountsRecords {
    std::vector<int32_t> time;
    std::string bytes;  // the whole file; record i starts at i * kRecordBytes
};

// Whole records only: a last record cut short by a full disk is ignored.
std::optional<CountsRecords> readCountsRecords(const std::string& path) {
    auto content = readWholeFile(path, size_t(1) << 31);
    if (!content) return std::nullopt;
    CountsRecords r;
    r.bytes = std::move(*content);
    const size_t n = r.bytes.size() / kRecordBytes;
    r.time.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(r.bytes.data()) + i * kRecordBytes;
        uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        r.time[i] = static_cast<int32_t>(v);
    }
    return r;
}

int16_t valueAt(const std::string& bytes, size_t record, int slot) {
    const unsigned char* p =
        reinterpret_cast<const unsigned char*>(bytes.data()) + record * kRecordBytes + 4 + size_t(slot) * 2;
    return static_cast<int16_t>(uint16_t(p[0]) | uint16_t(p[1]) << 8);
}

} // namespace

int32_t measureDuration(const std::string& path, Prompter& prompter) {
    try {
        auto r = readCountsRecords(path);
        if (r) return durationOfStoredTimes(r->time);
    } catch (const std::exception&) {
    }
    prompter.show("Error reading " + path);
    return 0;
}

int loadActivityFile(const std::string& path, ActivitySeries& series, Prompter& prompter) {
    try {
        auto r = readCountsRecords(path);
        if (r) {
            const int last = lastRisingRecord(r->time);
            std::vector<int32_t> stored(r->time.begin(), r->time.begin() + (last + 1));
            std::vector<int32_t> corrected = dayCorrectedTimes(stored);
            series.resize(last + 1);
            for (int i = 0; i <= last; ++i) {
                series.time[size_t(i)] = corrected[size_t(i)];
                for (int ch = 0; ch < kChannels; ++ch) series.count(ch, i) = valueAt(r->bytes, size_t(i), ch);
                series.temperature[size_t(i)] = valueAt(r->bytes, size_t(i), kChannels);
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
