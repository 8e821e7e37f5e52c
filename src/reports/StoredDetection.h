// Detection over an acquisition's stored raw blocks, one block per record of
// counts.bin: the engine of raw-data reprocessing. Blocks are read and
// detected by worker threads, each with its own reader, block and detection
// arrays; the results are handed back on the calling thread in record order,
// so progress texts, the event pump and STOP stay on the window's thread and
// the marks files grow in the same order as with one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace trv {

struct StoredDetectionJob {
    std::string folder;  // the acquisition folder (raw files 0.bin, 1.bin, ...)
    int rtBuffer = 500;  // RT_Buffer of the recording
    int recordCount = 0; // records firstRecord..recordCount-1 are detected
    int firstRecord = 0;
    // Per record: true when its counts are all 0 without detection (its
    // stored time went back). Its raw block is still read: a missing block
    // ends the run either way.
    std::vector<char> zeroRecord;
    std::vector<int> channels; // the channels detected (distinct, 0..383)
    double snr = 1.8;
    int method = 1;
    // Event marks appended to folder/ch<channel>.raw, one line per detected
    // record, tagged with tags[record].
    bool marks = false;
    std::vector<int32_t> tags;
    // The event marks handed to afterRecord (the overload taking them)
    // instead of being written: one string of '0' and '1' per channel of
    // `channels`, sample by sample.
    bool handMarks = false;
    // 1: everything on the calling thread. More: that many worker threads.
    int workers = 2;
    // How many records the workers may run ahead of the calling thread.
    int lookahead = 8;
};

enum class StoredDetectionEnd { Done, Stopped, ReadFailed };

struct StoredDetectionResult {
    StoredDetectionEnd end = StoredDetectionEnd::Done;
    int failedRecord = -1; // ReadFailed: the record whose block was missing
    int recordsDone = 0;   // records handed to afterRecord
    // counts[record * 384 + channel]; channels not detected stay 0.
    std::vector<int16_t> counts;
    bool marksWriteFailed = false;
};

// Runs the detection. afterRecord(i) is called on the calling thread once
// record i is detected and its marks are written, in record order; it
// returns false to stop (the records after i are not handed back).
StoredDetectionResult detectStoredBlocks(const StoredDetectionJob& job,
                                         const std::function<bool(int record)>& afterRecord);
// The same, with the record's marks (see handMarks, which this sets).
using MarkedRecord = std::function<bool(int record, const std::vector<std::string>& marks)>;
StoredDetectionResult detectStoredBlocks(const StoredDetectionJob& job,
                                         const MarkedRecord& afterRecord);

// One record at a time on the calling thread, for callers that walk the
// blocks at their own pace; the same reading and detection as the engine.
class StoredBlockDetector {
  public:
    explicit StoredBlockDetector(const StoredDetectionJob& job);
    ~StoredBlockDetector();
    StoredBlockDetector(const StoredBlockDetector&) = delete;
    StoredBlockDetector& operator=(const StoredBlockDetector&) = delete;
    // Reads and detects a record's block: marks[k] are the event marks of
    // job.channels[k]. False when the block is not stored.
    bool detect(int record, std::vector<std::string>& marks);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace trv
