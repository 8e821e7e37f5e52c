// Reads stored raw blocks by record number: record i of counts.bin was
// recorded with raw block i, kept in file i / 11 at block i % 11. The reader
// keeps its file open and its buffer between reads, so a long run of blocks
// costs one read call each; every thread that reads keeps its own reader.
#pragma once

#include "acquisition/SignalBlock.h"

#include <cstdint>
#include <string>
#include <vector>

namespace trv {

class RawBlockReader {
  public:
    // folder: the acquisition folder; rtBuffer: RT_Buffer of the recording
    // (blocks of rtBuffer + 1 sample rows).
    RawBlockReader(std::string folder, int rtBuffer);
    ~RawBlockReader();
    RawBlockReader(const RawBlockReader&) = delete;
    RawBlockReader& operator=(const RawBlockReader&) = delete;

    // The raw file number and byte offset of a record's block.
    static int fileNumberOf(long long record) { return static_cast<int>(record / 11); }
    long long offsetOf(long long record) const { return (record % 11) * recordBytes_; }

    // Reads the block of a record into block (resized to rtBuffer + 1 rows).
    // False when its file is missing or does not hold the whole block.
    bool read(long long record, SignalBlock& block);

    // The bytes of the last block read, sample-major as stored (beam fastest).
    const std::vector<int16_t>& raw() const { return raw_; }

  private:
    bool openFile(int fileNumber);
    std::string folder_;
    int rows_;
    long long recordBytes_;
    int fd_ = -1;
    int fileNumber_ = -1;
    std::vector<int16_t> raw_;
};

} // namespace trv
