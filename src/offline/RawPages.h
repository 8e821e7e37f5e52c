// Pages of an acquisition's stored raw signal, as the offline browser shows
// them and as its exports, track replay and re-analysis walk them.
//
// A raw file holds 11 blocks (one per counts.bin record), so a page is five
// whole files: 55 blocks, every stored block on exactly one page. Block b of
// page P (both from the start: b 0..54, P from 1) is counts.bin record
// 55 (P - 1) + b, which is record r = b mod 11 of raw file n = 5 (P - 1) +
// b div 11, and 11 n + r is again that counts record.
#pragma once

#include "acquisition/SignalBlock.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace trv {

struct RawBlockPlace {
    int file = 0;               // raw file number (0.bin, 1.bin, ...)
    int recordInFile = 0;       // 0..10
    long long countsRecord = 0; // the counts.bin record of the same block: 11 file + recordInFile
};

class RawPageLayout {
  public:
    static constexpr int kBlocksPerFile = 11;
    static constexpr int kFilesPerPage = 5;
    static constexpr int kBlocksPerPage = kBlocksPerFile * kFilesPerPage;

    // rawFiles: how many raw file numbers the acquisition has (the highest
    // numbered raw file + 1).
    explicit RawPageLayout(int rawFiles = 0) : rawFiles_(rawFiles < 0 ? 0 : rawFiles) {}

    // The numbered raw files of an acquisition folder ("0.bin", "1.bin", ...;
    // counts.bin and the histogram files are not raw files).
    static RawPageLayout ofFolder(const std::string& folder);

    int rawFiles() const { return rawFiles_; }
    // Pages needed to show every file: the files divided by 5, rounded up;
    // 0 without raw files.
    int pageCount() const { return (rawFiles_ + kFilesPerPage - 1) / kFilesPerPage; }
    // The counts.bin record of block 0 of a page.
    long long firstRecord(int page) const {
        return static_cast<long long>(page - 1) * kBlocksPerPage;
    }
    long long countsRecord(int page, int block) const { return firstRecord(page) + block; }
    RawBlockPlace place(int page, int block) const;
    // Which of the page's five files a block comes from (0..4).
    static int fileSlot(int block) { return block / kBlocksPerFile; }

  private:
    int rawFiles_ = 0;
};

// One page of raw signal: up to 55 blocks of every channel. Blocks that are
// not stored (past the end of the acquisition, or a file cut short) are
// absent, not zero: a view draws nothing for them.
struct RawPage {
    int page = 0; // from 1; 0 = nothing loaded
    int pageCount = 0;
    int rtBuffer = 500;              // samples per block (rows 0..rtBuffer)
    std::vector<SignalBlock> blocks; // blocks[b] holds block b when present[b]
    std::vector<bool> present;

    int blockCount() const { return static_cast<int>(blocks.size()); }
    bool has(int block) const {
        return block >= 0 && block < static_cast<int>(present.size()) &&
               present[static_cast<size_t>(block)];
    }
    bool empty() const;
    // Sample s (0..rtBuffer) of a channel in a block: the stored samples
    // 0..rtBuffer-1, and the last row repeating the one before it; 0 when the
    // block is absent.
    int16_t sample(int block, int channel, int s) const;
};

// Progress of a page load: files read so far of the files the page spans.
using RawPageProgress = std::function<void(int filesDone, int filesOfPage)>;

// Reads page `page` of an acquisition folder through the raw block reader.
// Safe to run on a worker thread (it touches nothing but the files and the
// page it returns). A set cancel flag ends the load early; the page then
// holds the blocks read so far.
RawPage loadRawPage(const std::string& folder, const RawPageLayout& layout, int page, int rtBuffer,
                    const RawPageProgress& progress = {},
                    const std::atomic<bool>* cancel = nullptr);

} // namespace trv
