#include "acquisition/DataFiles.h"

#include "common/Files.h"
#include "common/Numeric.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace trv {

namespace {

void put16(std::string& out, int16_t v) {
    const auto u = static_cast<uint16_t>(v);
    out += static_cast<char>(u & 0xff);
    out += static_cast<char>(u >> 8);
}
void put32(std::string& out, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((u >> (8 * i)) & 0xff);
}
void putDouble(std::string& out, double v) {
    uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    for (int i = 0; i < 8; ++i)
        out += static_cast<char>((u >> (8 * i)) & 0xff);
}

int16_t get16(const unsigned char* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}
int32_t get32(const unsigned char* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) |
                                (static_cast<uint32_t>(p[3]) << 24));
}
double getDouble(const unsigned char* p) {
    uint64_t u = 0;
    for (int i = 0; i < 8; ++i)
        u |= static_cast<uint64_t>(p[i]) << (8 * i);
    double v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

// One counts.bin record: the time, counts of channels 0..383, then slot 384.
void putCountsRecord(std::string& out, int32_t minutes, const int16_t* channels, int16_t slot384) {
    put32(out, minutes);
    for (int ch = 0; ch < kChannels; ++ch)
        put16(out, channels[ch]);
    put16(out, slot384);
}

// Appends one record after cutting the file back to a whole number of
// records: a record left half-written by a full disk is dropped rather than
// shifting every later record.
bool appendRecord(const std::string& path, const std::string& record, long long recordSize) {
    const long long size = fileSize(path);
    if (size > 0 && size % recordSize != 0) {
        if (::truncate(path.c_str(), static_cast<off_t>(size - size % recordSize)) != 0)
            return false;
    }
    return appendDurable(path, record.data(), record.size());
}

long long wholeRecords(const std::string& path, long long recordSize) {
    const long long size = fileSize(path);
    return size > 0 && recordSize > 0 ? size / recordSize : 0;
}

// Reads `size` bytes at `offset`; false unless all of them were there.
bool readAt(const std::string& path, long long offset, size_t size, std::string& out) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    out.resize(size);
    size_t got = 0;
    bool ok = true;
    while (got < size) {
        ssize_t n = ::pread(fd, out.data() + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    return ok;
}

} // namespace

std::string countsFilePath(const std::string& folder) {
    return joinPath(folder, "counts.bin");
}

std::string rawFileName(int fileNumber) {
    return std::to_string(fileNumber) + ".bin";
}

int rawFileNumber(const std::string& name) {
    constexpr size_t kMaxDigits = 7; // far beyond any recording, and within int
    if (name.size() < 5 || name.size() > 4 + kMaxDigits) return -1;
    if (name.compare(name.size() - 4, 4, ".bin") != 0) return -1;
    const std::string digits = name.substr(0, name.size() - 4);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    if (digits.size() > 1 && digits[0] == '0') return -1;
    return std::stoi(digits);
}

std::string histogramFileName(int fileNumber) {
    return "histo" + zeroPadded(fileNumber, 4) + ".bin";
}

int16_t temperatureTenths(double celsius) {
    const double tenths = celsius * 10;
    if (!(tenths > -32768.0)) return -32768;
    if (tenths >= 32767.0) return 32767;
    return static_cast<int16_t>(roundHalfEven(tenths));
}

bool AppendCounts(const std::string& folder, int32_t minutes, const ChannelArray<int16_t>& counts) {
    std::string record;
    record.reserve(kCountsRecordSize);
    putCountsRecord(record, minutes, counts.data(), counts[kChannels]);
    return appendRecord(countsFilePath(folder), record, kCountsRecordSize);
}

bool rewriteCounts(const std::string& path, const std::vector<int32_t>& times,
                   const std::vector<int16_t>& counts, const std::vector<int16_t>& temperatures) {
    auto old = readWholeFile(path, 1ull << 34);
    if (!old) return false;
    const size_t n = times.size();
    if (counts.size() < n * kChannels || temperatures.size() < n) return false;
    if (old->size() < n * kCountsRecordSize) return false;
    std::string out;
    out.reserve(old->size());
    for (size_t j = 0; j < n; ++j)
        putCountsRecord(out, times[j], counts.data() + j * kChannels, temperatures[j]);
    out.append(*old, n * kCountsRecordSize, std::string::npos);
    return writeFileAtomic(path, out);
}

bool writeCountsFile(const std::string& path, const std::vector<int32_t>& times,
                     const std::vector<int16_t>& counts, const std::vector<int16_t>& temperatures) {
    const size_t n = times.size();
    if (counts.size() < n * kChannels || temperatures.size() < n) return false;
    std::string out;
    out.reserve(n * kCountsRecordSize);
    for (size_t j = 0; j < n; ++j)
        putCountsRecord(out, times[j], counts.data() + j * kChannels, temperatures[j]);
    return writeFileAtomic(path, out);
}

bool AppendRawBlock(const std::string& folder, int fileNumber, const SignalBlock& block) {
    const int rows = block.sampleCount();
    std::string record;
    record.reserve(static_cast<size_t>(rows) * SignalBlock::kBeams * 2);
    for (int s = 0; s < rows; ++s)
        for (int b = 0; b < SignalBlock::kBeams; ++b)
            put16(record, block.at(b, s));
    return appendRecord(joinPath(folder, rawFileName(fileNumber)), record, rawRecordSize(rows - 1));
}

bool AppendHistogram(const std::string& folder, int fileNumber, double minutes,
                     double secondsPerSample, const BodyBendTable& histogram) {
    std::string record;
    record.reserve(kHistogramRecordSize);
    putDouble(record, minutes);
    putDouble(record, secondsPerSample);
    for (int d = 0; d < kHistogramFileBins; ++d)
        for (int b = 0; b < kSlots; ++b)
            put32(record, histogram[b][d]);
    return appendRecord(joinPath(folder, histogramFileName(fileNumber)), record,
                        kHistogramRecordSize);
}

long long countsRecordCount(const std::string& path) {
    return wholeRecords(path, kCountsRecordSize);
}

std::vector<CountsRecord> readCounts(const std::string& path) {
    std::vector<CountsRecord> records;
    const long long n = countsRecordCount(path);
    std::string bytes;
    if (n == 0 || !readAt(path, 0, static_cast<size_t>(n * kCountsRecordSize), bytes))
        return records;
    records.resize(static_cast<size_t>(n));
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (auto& r : records) {
        r.minutes = get32(p);
        for (int b = 0; b < kSlots; ++b)
            r.counts[b] = get16(p + 4 + 2 * b);
        p += kCountsRecordSize;
    }
    return records;
}

std::vector<int32_t> dayCorrectedTimes(const std::vector<int32_t>& stored) {
    constexpr long long kDayMinutes = 1440, kNewDayDrop = 1000;
    std::vector<int32_t> out;
    out.reserve(stored.size());
    long long day = 0;
    for (size_t i = 0; i < stored.size(); ++i) {
        long long t = day * kDayMinutes + stored[i];
        if (i > 0 && t < static_cast<long long>(out.back()) - kNewDayDrop) {
            ++day;
            t = day * kDayMinutes + stored[i];
        }
        if (t < INT32_MIN || t > INT32_MAX) throw std::range_error("time outside 32 bits");
        out.push_back(static_cast<int32_t>(t));
    }
    return out;
}

std::optional<std::string> countsTimesProblem(const std::string& path,
                                              const std::vector<CountsRecord>& records,
                                              bool backwardsEnds) {
    const size_t n = records.size();
    std::vector<int32_t> stored;
    stored.reserve(n);
    for (size_t i = 0; i < n; ++i)
        stored.push_back(records[i].minutes);
    auto damaged = [&](size_t i, long long t) {
        return "record " + std::to_string(i + 1) + " of " + path + " has the time " +
               std::to_string(t) + " minutes: the file is damaged";
    };
    std::vector<int32_t> corrected;
    try {
        corrected = dayCorrectedTimes(stored);
    } catch (const std::range_error&) {
        // Only a time far past any acquisition leaves 32 bits.
        for (size_t i = 0; i < n; ++i)
            if (stored[i] < 0 || stored[i] > kLongestAcquisitionMinutes)
                return damaged(i, stored[i]);
        return damaged(n - 1, stored[n - 1]);
    }
    for (size_t i = 0; i < corrected.size(); ++i)
        if (corrected[i] < 0 || corrected[i] > kLongestAcquisitionMinutes ||
            (!backwardsEnds && i > 0 && corrected[i] < corrected[i - 1]))
            return damaged(i, stored[i]);
    return std::nullopt;
}

std::vector<RawGap> rawBlockGaps(const std::string& folder, long long records, int rtBuffer) {
    std::vector<RawGap> gaps;
    const long long size = rawRecordSize(std::max(rtBuffer, 0));
    for (long long first = 0; first < records; first += kBlocksPerFile) {
        const long long needed = std::min<long long>(kBlocksPerFile, records - first);
        const int number = static_cast<int>(first / kBlocksPerFile);
        const std::string name = rawFileName(number);
        const long long bytes = fileSize(joinPath(folder, name));
        RawGap gap{first, first + needed - 1, name, ""};
        if (bytes < 0) {
            gap.reason = "is missing";
        } else if (bytes % size != 0) {
            gap.reason = "has " + std::to_string(bytes) +
                         " bytes, no whole number of blocks of RT_Buffer " +
                         std::to_string(rtBuffer) + ": damaged, or written with another RT_Buffer";
        } else if (bytes / size < needed) {
            gap.firstRecord = first + bytes / size;
            gap.reason = "holds " + std::to_string(bytes / size) + " of its " +
                         std::to_string(needed) + " blocks";
        } else {
            continue;
        }
        gaps.push_back(gap);
    }
    return gaps;
}

long long rawBlockCount(const std::string& path, int rtBuffer) {
    return rtBuffer < 0 ? 0 : wholeRecords(path, rawRecordSize(rtBuffer));
}

bool readRawBlock(const std::string& path, int rtBuffer, long long index, SignalBlock& block) {
    if (index < 0 || index >= rawBlockCount(path, rtBuffer)) return false;
    const long long size = rawRecordSize(rtBuffer);
    std::string bytes;
    if (!readAt(path, index * size, static_cast<size_t>(size), bytes)) return false;
    block.resize(rtBuffer + 1);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (int s = 0; s <= rtBuffer; ++s)
        for (int b = 0; b < SignalBlock::kBeams; ++b, p += 2)
            block.at(b, s) = get16(p);
    return true;
}

long long histogramRecordCount(const std::string& path) {
    return wholeRecords(path, kHistogramRecordSize);
}

bool readHistogramRecord(const std::string& path, long long index, HistogramRecord& record) {
    if (index < 0 || index >= histogramRecordCount(path)) return false;
    std::string bytes;
    if (!readAt(path, index * kHistogramRecordSize, static_cast<size_t>(kHistogramRecordSize),
                bytes))
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    record.minutes = getDouble(p);
    record.secondsPerSample = getDouble(p + 8);
    p += 16;
    for (int d = 0; d < kHistogramFileBins; ++d)
        for (int b = 0; b < kSlots; ++b, p += 4)
            record.bins[b][d] = get32(p);
    return true;
}

} // namespace trv
