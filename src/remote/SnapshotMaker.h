// Makes the remote view's snapshots from the acquisition run, on the run's
// own thread: the run's state and counters, the stored blocks (kept here in
// immutable chunks, so a snapshot shares all but the newest chunk with the
// one before) and the heat map of the last hour.
#pragma once

#include "acquisition/AcquisitionRun.h"
#include "remote/RunSnapshot.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace trv::remote {

struct DiskSpace {
    long long freeBytes = -1;
    long long totalBytes = -1;
};
// Free and total bytes of the file system holding a path (-1 when unknown).
DiskSpace diskSpace(const std::string& path);
// Seconds since 1970 of a local serial day number.
int64_t unixSeconds(double serialDays);

class SnapshotMaker {
  public:
    // Replaceable so tests can fill the disk.
    void setDiskSpace(std::function<DiskSpace(const std::string&)> f) { disk_ = std::move(f); }
    std::shared_ptr<RunSnapshot> make(const AcquisitionRun& run, double nowDays);

  private:
    void addBlock(const AcquisitionRun& run, int64_t time);
    void restart();

    std::function<DiskSpace(const std::string&)> disk_ = diskSpace;
    std::vector<std::shared_ptr<const BlockChunk>> full_;
    std::shared_ptr<const BlockChunk> tail_;
    std::vector<Group> groups_;
    std::vector<int> groupIndex_; // per channel: index into groups_, -1 none
    std::string folder_;
    int32_t seenRecorded_ = 0;
    int32_t seenLost_ = 0;
    bool diskError_ = false; // the last block ended was not saved
    int64_t lastBlockTime_ = 0;
    // Per-well counts of the blocks of the last hour, with their minute.
    std::deque<std::pair<int32_t, std::vector<int64_t>>> hour_;
    int wells_ = 0;
};

} // namespace trv::remote
