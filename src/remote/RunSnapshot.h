// What the remote view shows of the acquisition: an immutable snapshot the
// run publishes at each block end and each change of state, and the board
// the server's threads read it from. Publishing swaps one pointer under a
// lock held only for that copy, so the run never waits for a reader.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace trv::remote {

// One stored block: its counts record number (from 1), minute, temperature
// and the sum of its counts per group (in the order of RunSnapshot::groups).
struct BlockRow {
    int32_t number = 0;
    int32_t minute = 0;
    int64_t time = 0; // seconds since 1970 (the computer's clock)
    bool temperatureRead = false;
    double temperature = 0;
    std::vector<int32_t> groupSums;
};
// Stored blocks in fixed-size chunks; a chunk never changes once published.
using BlockChunk = std::vector<BlockRow>;
inline constexpr size_t kChunkRows = 64;

struct Group {
    int number = 0;
    std::string name;
};

struct RunSnapshot {
    int64_t publishedAt = 0; // seconds since 1970
    std::string project;
    std::string acquisition;
    std::string folder;
    // "idle", "recording", "paused", "finished", "link down", "disk error"
    std::string state = "idle";
    bool recording = false; // an acquisition is running or paused
    int64_t startTime = 0;  // 0 before the first start
    double elapsedMinutes = 0;
    int lapseMinutes = 0;
    int64_t expectedEnd = 0;
    int32_t blocksRecorded = 0;
    int32_t blocksDropped = 0;
    int32_t blocksNotSaved = 0;
    int64_t lastBlockTime = 0; // 0 when none stored yet
    double blockSeconds = 0;   // duration of one block
    bool linkUp = true;
    bool temperatureRead = false;
    double temperature = 0;
    double setPoint = 0;
    bool regulation = false;
    bool lightOn = false;
    std::string lightSchedule;
    long long diskFreeBytes = -1;
    long long diskTotalBytes = -1;
    std::vector<Group> groups;
    std::vector<std::shared_ptr<const BlockChunk>> blocks;
    // Plate heat map of the last hour: counts per well, row by row.
    int plateRows = 0;
    int plateColumns = 0;
    std::vector<int64_t> wellsLastHour;
    // Alerts in force, as "kind: text".
    std::vector<std::string> alerts;

    // Stored blocks numbered above `since`, at most `limit` of them.
    std::vector<const BlockRow*> blocksSince(int32_t since, size_t limit) const;
};

class SnapshotBoard {
  public:
    void publish(std::shared_ptr<const RunSnapshot> s) {
        std::lock_guard lock(mutex_);
        current_.swap(s);
        // The previous snapshot (in s) is released after the lock.
    }
    std::shared_ptr<const RunSnapshot> current() const {
        std::lock_guard lock(mutex_);
        return current_;
    }

  private:
    mutable std::mutex mutex_;
    std::shared_ptr<const RunSnapshot> current_ = std::make_shared<const RunSnapshot>();
};

} // namespace trv::remote
