// The acquisition's binary data files: counts.bin (one record per block),
// the numbered raw block files (0.bin, 1.bin, ...) and the body-bend
// histogram files (histo0000.bin, ...). Little-endian records, no header.
//
// A record written only in part (a full disk) must never put the records
// after it out of step: every append first cuts the file back to a whole
// number of records, and the readers use whole records only.
#pragma once

#include "acquisition/SignalBlock.h"
#include "store/Module1.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace trv {

constexpr long long kCountsRecordSize = 774;      // int32 + 385 x int16
constexpr int kHistogramFileBins = 51;            // bins 0..50 per beam
constexpr long long kHistogramRecordSize = 78556; // 2 doubles + 51 x 385 x int32
constexpr int kBlocksPerFile = 11;                // raw and histogram records per file

// Bytes of one raw block record: (RT_Buffer + 1) x 385 x 2.
inline long long rawRecordSize(int rtBuffer) {
    return (static_cast<long long>(rtBuffer) + 1) * 770;
}

// Cumulative body-bend histogram of every beam slot: [beam 0..384][bin 0..50].
using BodyBendTable = std::array<std::array<int32_t, kHistogramFileBins>, kSlots>;

std::string countsFilePath(const std::string& folder);
// "0.bin", "1.bin", ...
std::string rawFileName(int fileNumber);
// The number of a raw file name: plain decimal without leading zeros, then
// ".bin"; -1 for any other name (counts.bin, histo0000.bin, 007.bin).
int rawFileNumber(const std::string& name);
// "histo0000.bin", "histo0001.bin", ...
std::string histogramFileName(int fileNumber);
// The names of the histogram files, for a folder listing.
inline constexpr const char* kHistogramFilePattern = "histo*.bin";

// Temperature in tenths of a degree, halves to even (24.25 -> 242, 24.75 -> 248).
int16_t temperatureTenths(double celsius);

// The shared numbering of the raw and histogram files: after every recorded
// block the counter advances, and after 11 blocks the file number goes up.
struct DataFileNumbering {
    int16_t blocksInFile = 0;
    int16_t fileNumber = 0;
    void reset() { blocksInFile = fileNumber = 0; }
    void blockRecorded() {
        if (++blocksInFile >= kBlocksPerFile) {
            blocksInFile = 0;
            ++fileNumber;
        }
    }
};

// Writers: each opens (or creates) its file, cuts a partial last record,
// appends one record, makes it durable and closes the file. False on failure.

// One counts.bin record: elapsed whole minutes, then slots 0..384 of the
// block counts (slot 384 holds the temperature in tenths).
bool AppendCounts(const std::string& folder, int32_t minutes, const ChannelArray<int16_t>& counts);
// counts.bin with records 0..n-1 replaced (time, counts of channels 0..383,
// temperature in slot 384) and every later byte kept. Written beside the
// file and renamed over it: the file is the old or the new one, never half.
bool rewriteCounts(const std::string& path, const std::vector<int32_t>& times,
                   const std::vector<int16_t>& counts, const std::vector<int16_t>& temperatures);
// A whole counts.bin of these records (as rewriteCounts lays them out),
// created or replaced in one rename: for acquisitions made in one go.
bool writeCountsFile(const std::string& path, const std::vector<int32_t>& times,
                     const std::vector<int16_t>& counts, const std::vector<int16_t>& temperatures);
// The whole block (rows 0..RT_Buffer of every slot, sample-major, beam
// fastest) to folder/<fileNumber>.bin.
bool AppendRawBlock(const std::string& folder, int fileNumber, const SignalBlock& block);
// One histogram record to folder/histo<fileNumber>.bin.
bool AppendHistogram(const std::string& folder, int fileNumber, double minutes,
                     double secondsPerSample, const BodyBendTable& histogram);

// Readers (paths of the files themselves). Missing or unreadable files read
// as having no records.
struct CountsRecord {
    int32_t minutes = 0;
    ChannelArray<int16_t> counts{}; // slot 384: temperature x 10
};
long long countsRecordCount(const std::string& path);
std::vector<CountsRecord> readCounts(const std::string& path);

// Stored times count minutes of the day's clock; a drop of more than 1000
// minutes from one record to the next is a new day. Corrected time = day x
// 1440 + stored time, the day counter raised at the record that shows the
// drop (compared with the previous corrected time). Throws std::range_error
// when a corrected time does not fit 32 bits.
std::vector<int32_t> dayCorrectedTimes(const std::vector<int32_t>& stored);

// The longest acquisition a record time may belong to: a time beyond it is
// a damaged record, not an experiment.
constexpr long long kLongestAcquisitionMinutes = 366LL * 1440;

// What is wrong with the record times of a counts.bin, after the day
// correction: a time below 0, beyond kLongestAcquisitionMinutes or below the
// record before it (unless backwardsEnds: a reader that ends its records at
// the last rising time, as the reports do). The message names the file, the
// record and its time; nothing when they are sound. Every reader of
// counts.bin checks its records with it.
std::optional<std::string> countsTimesProblem(const std::string& path,
                                              const std::vector<CountsRecord>& records,
                                              bool backwardsEnds = false);

// The records of counts.bin that have no usable raw block: record i's block
// is block i % 11 of raw file i / 11, whose size must be a whole number of
// blocks of rtBuffer + 1 rows (a file of another size was damaged or written
// with another RT_Buffer, and none of its blocks is read). One entry per raw
// file with records left without a block.
struct RawGap {
    long long firstRecord = 0, lastRecord = 0; // records without a block
    std::string file;                          // the raw file's name
    std::string reason; // after the name: "is missing", "holds 3 of its 11 blocks", ...
};
std::vector<RawGap> rawBlockGaps(const std::string& folder, long long records, int rtBuffer);

long long rawBlockCount(const std::string& path, int rtBuffer);
// Block `index` (0 = first) into block, resized to rtBuffer + 1 rows.
bool readRawBlock(const std::string& path, int rtBuffer, long long index, SignalBlock& block);

struct HistogramRecord {
    double minutes = 0;
    double secondsPerSample = 0;
    BodyBendTable bins{};
};
long long histogramRecordCount(const std::string& path);
bool readHistogramRecord(const std::string& path, long long index, HistogramRecord& record);

} // namespace trv
