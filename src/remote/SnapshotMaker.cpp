#include "remote/SnapshotMaker.h"

#include "common/Clock.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <sys/statvfs.h>

namespace trv::remote {

std::vector<const BlockRow*> RunSnapshot::blocksSince(int32_t since, size_t limit) const {
    std::vector<const BlockRow*> rows;
    for (const auto& chunk : blocks) {
        if (!chunk || chunk->empty() || chunk->back().number <= since) continue;
        for (const BlockRow& r : *chunk) {
            if (r.number <= since) continue;
            if (rows.size() >= limit) return rows;
            rows.push_back(&r);
        }
    }
    return rows;
}

DiskSpace diskSpace(const std::string& path) {
    struct statvfs v {};
    if (path.empty() || ::statvfs(path.c_str(), &v) != 0) return {};
    return {static_cast<long long>(v.f_bavail) * static_cast<long long>(v.f_frsize),
            static_cast<long long>(v.f_blocks) * static_cast<long long>(v.f_frsize)};
}

int64_t unixSeconds(double serialDays) {
    const LocalDateTime t = fromSerialDays(serialDays);
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&tm));
}

void SnapshotMaker::restart() {
    full_.clear();
    tail_.reset();
    hour_.clear();
    seenRecorded_ = 0;
    seenLost_ = 0;
    diskError_ = false;
    lastBlockTime_ = 0;
}

void SnapshotMaker::addBlock(const AcquisitionRun& run, int64_t time) {
    const SharedState& st = run.sharedState();
    const auto& counts = run.realtime().blockCounts;
    BlockRow row;
    row.number = run.blocksRecorded();
    row.minute = run.elapsedMinutes();
    row.time = time;
    row.temperatureRead = counts[kChannels] != 0;
    row.temperature = counts[kChannels] / 10.0;
    row.groupSums.assign(groups_.size(), 0);
    std::vector<int64_t> wells(static_cast<size_t>(wells_), 0);
    for (int b = 0; b < kChannels; ++b) {
        const int well = st.plate.Channel_Well[b];
        if (well < 0) continue;
        if (well < wells_) wells[static_cast<size_t>(well)] += counts[b];
        const int g = groupIndex_[static_cast<size_t>(b)];
        if (g >= 0) row.groupSums[static_cast<size_t>(g)] += counts[b];
    }
    // The newest chunk is copied and grown: published chunks never change.
    auto tail = tail_ ? std::make_shared<BlockChunk>(*tail_) : std::make_shared<BlockChunk>();
    tail->reserve(kChunkRows);
    tail->push_back(std::move(row));
    if (tail->size() >= kChunkRows) {
        full_.push_back(std::move(tail));
        tail_.reset();
    } else {
        tail_ = std::move(tail);
    }
    hour_.emplace_back(run.elapsedMinutes(), std::move(wells));
    while (!hour_.empty() && hour_.front().first <= run.elapsedMinutes() - 60)
        hour_.pop_front();
}

std::shared_ptr<RunSnapshot> SnapshotMaker::make(const AcquisitionRun& run, double nowDays) {
    const SharedState& st = run.sharedState();
    auto s = std::make_shared<RunSnapshot>();
    s->publishedAt = unixSeconds(nowDays);
    const bool active = run.acquisitionRunning();

    // A new recording (or a folder change by a blank reading) starts over.
    if (run.acqFolder() != folder_ || run.blocksRecorded() < seenRecorded_) {
        restart();
        folder_ = run.acqFolder();
        groups_.clear();
        groupIndex_.assign(kChannels, -1);
        std::vector<int> indexOf(kSlots, -1);
        for (int b = 0; b < kChannels; ++b) {
            const int g = st.channels.Channel_Group[b];
            if (g < 0 || g >= kSlots || st.plate.Channel_Well[b] < 0) continue;
            if (indexOf[static_cast<size_t>(g)] < 0) {
                indexOf[static_cast<size_t>(g)] = 0; // placeholder, numbered below
            }
        }
        for (int g = 0; g < kSlots; ++g)
            if (indexOf[static_cast<size_t>(g)] == 0) {
                indexOf[static_cast<size_t>(g)] = static_cast<int>(groups_.size());
                groups_.push_back({g, st.channels.Group_Name[static_cast<size_t>(g)]});
            }
        for (int b = 0; b < kChannels; ++b) {
            const int g = st.channels.Channel_Group[b];
            if (g >= 0 && g < kSlots && st.plate.Channel_Well[b] >= 0)
                groupIndex_[static_cast<size_t>(b)] = indexOf[static_cast<size_t>(g)];
        }
        wells_ = std::max(0, st.plate.Plate_Rows * st.plate.Plate_Columns);
    }
    if (run.blocksRecorded() > seenRecorded_) {
        // One block stored since the last snapshot (blocks end one at a time).
        lastBlockTime_ = s->publishedAt;
        addBlock(run, s->publishedAt);
        seenRecorded_ = run.blocksRecorded();
        diskError_ = false;
    }
    if (run.blocksLost() > seenLost_) {
        seenLost_ = run.blocksLost();
        diskError_ = true;
    }

    s->project = st.setup.Name;
    s->acquisition = run.acqName();
    s->folder = run.acquisitionPath();
    s->recording = active;
    if (run.startTime() > 0 && !run.acqFolder().empty()) s->startTime = unixSeconds(run.startTime());
    s->elapsedMinutes = active ? (nowDays - run.startTime()) * 1440 : run.elapsedMinutesExact();
    s->lapseMinutes = st.setup.Aq_lapse;
    if (s->startTime > 0) s->expectedEnd = s->startTime + int64_t{60} * st.setup.Aq_lapse;
    s->blocksRecorded = run.blocksRecorded();
    s->blocksDropped = run.blocksDropped();
    s->blocksNotSaved = run.blocksLost();
    s->lastBlockTime = lastBlockTime_;
    s->blockSeconds = run.realtime().rtBuffer() * (run.meanSecondsPerSample() > 0
                                                        ? run.meanSecondsPerSample()
                                                        : run.secondsPerSample());
    s->linkUp = !run.linkDown();
    if (active && run.linkDown()) s->state = "link down";
    else if (active && run.Acq_State() == 2) s->state = "paused";
    else if (active) s->state = "recording";
    else if (run.finished()) s->state = "finished";
    else s->state = "idle";
    if (s->state == "recording" && (diskError_ || run.rawSavingStopped()))
        s->state = "disk error";

    const TemperatureLight& p = run.panels();
    s->temperatureRead = p.lastReadingOk;
    s->temperature = st.Temp_Current;
    s->setPoint = st.Temp_SetPoint;
    s->regulation = p.out.tempControlEnabled;
    s->lightOn = p.out.lightOn;
    s->lightSchedule = p.out.lightControlEnabled
                           ? "on at " + p.boxes.txt_lon + ":00, off at " + p.boxes.txt_loff + ":00"
                           : "no light control";
    const DiskSpace d = disk_(st.Project_Folder);
    s->diskFreeBytes = d.freeBytes;
    s->diskTotalBytes = d.totalBytes;

    s->groups = groups_;
    s->blocks = full_;
    if (tail_) s->blocks.push_back(tail_);
    s->plateRows = st.plate.Plate_Rows;
    s->plateColumns = st.plate.Plate_Columns;
    s->wellsLastHour.assign(static_cast<size_t>(wells_), 0);
    for (const auto& [minute, wells] : hour_)
        for (size_t w = 0; w < wells.size(); ++w)
            s->wellsLastHour[w] += wells[w];
    return s;
}

} // namespace trv::remote
