#include "reports/StoredDetection.h"

#include "common/Files.h"

#include "acquisition/Analysis_Module.h"
#include "acquisition/RawBlockReader.h"
#include "store/Module1.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace trv {

namespace {

// What one thread needs to detect a block: its own reader, block and
// detection arrays, so threads share nothing while they work.
struct Worker {
    RawBlockReader reader;
    SignalBlock block;
    std::vector<int16_t> events;
    std::vector<DetectionTrace> traces;
    std::vector<DetectionTrace*> tracePointers;

    Worker(const StoredDetectionJob& job)
        : reader(job.folder, job.rtBuffer), block(job.rtBuffer + 1), events(job.channels.size()) {
        if (job.marks || job.handMarks) {
            traces.resize(job.channels.size());
            for (DetectionTrace& t : traces)
                tracePointers.push_back(&t);
        }
    }
};

// The marks of one detected record, per detected channel.
struct MarksSlot {
    bool filled = false;
    std::vector<std::string> marks;
};

// Marks lines gathered per channel and appended a batch at a time: one
// open and write per channel file every few records instead of one per
// line. The files end up byte for byte as line-by-line appends leave them.
class MarksWriter {
  public:
    MarksWriter(const std::string& folder, const std::vector<int>& channels)
        : folder_(folder), channels_(channels), pending_(channels.size()) {}

    void add(const MarksSlot& slot, int32_t tag) {
        if (!slot.filled) return;
        const std::string prefix = std::to_string(tag) + " ";
        for (size_t k = 0; k < pending_.size(); ++k) {
            pending_[k] += prefix;
            pending_[k] += slot.marks[k];
            pending_[k] += "\r\n";
            bytes_ += prefix.size() + slot.marks[k].size() + 2;
        }
        if (bytes_ > kFlushBytes) flush();
    }

    void flush() {
        for (size_t k = 0; k < pending_.size(); ++k) {
            if (pending_[k].empty()) continue;
            if (!append(marksFilePath(folder_, channels_[k]), pending_[k])) failed = true;
            pending_[k].clear();
        }
        bytes_ = 0;
    }

    bool failed = false;

  private:
    static constexpr size_t kFlushBytes = 8u << 20;

    static bool append(const std::string& path, const std::string& text) {
        return writePlainFile(path, text, true);
    }

    std::string folder_;
    std::vector<int> channels_;
    std::vector<std::string> pending_;
    size_t bytes_ = 0;
};

// Reads and detects one record's block into its counts row (and marks).
bool detectRecord(const StoredDetectionJob& job, Worker& w, int record, int16_t* counts,
                  MarksSlot* slot) {
    if (slot) slot->filled = false;
    if (!w.reader.read(record, w.block)) return false;
    if (job.zeroRecord[static_cast<size_t>(record)]) return true;
    const int n = static_cast<int>(job.channels.size());
    DetectActivityBeams(w.block, job.channels.data(), n, job.snr, job.method, w.events.data(),
                        w.tracePointers.empty() ? nullptr : w.tracePointers.data());
    for (int k = 0; k < n; ++k)
        counts[job.channels[static_cast<size_t>(k)]] = w.events[static_cast<size_t>(k)];
    if (slot) {
        slot->marks.resize(static_cast<size_t>(n));
        for (int k = 0; k < n; ++k)
            slot->marks[static_cast<size_t>(k)].swap(w.traces[static_cast<size_t>(k)].marks);
        slot->filled = true;
    }
    return true;
}

StoredDetectionResult runDetection(const StoredDetectionJob& jobIn,
                                   const MarkedRecord& afterRecord) {
    StoredDetectionJob job = jobIn;
    const int P = std::max(job.recordCount, 0);
    const int first = std::clamp(job.firstRecord, 0, P);
    job.zeroRecord.resize(static_cast<size_t>(P), 0);
    job.tags.resize(static_cast<size_t>(P), 0);
    std::erase_if(job.channels, [](int c) { return c < 0 || c >= kChannels; });
    const bool gather = job.marks || job.handMarks;

    StoredDetectionResult result;
    result.counts.assign(static_cast<size_t>(P) * kChannels, 0);
    MarksWriter marks(job.folder, job.channels);
    auto countsOf = [&](int record) {
        return result.counts.data() + static_cast<size_t>(record) * kChannels;
    };
    const std::vector<std::string> noMarks;
    auto handBack = [&](int i, MarksSlot& slot) {
        if (job.marks) marks.add(slot, job.tags[static_cast<size_t>(i)]);
        result.recordsDone = i + 1;
        return afterRecord(i, slot.filled ? slot.marks : noMarks);
    };

    const int workers = std::max(1, job.workers);
    if (workers == 1 || P - first <= 1) {
        Worker w(job);
        MarksSlot slot;
        for (int i = first; i < P; ++i) {
            if (!detectRecord(job, w, i, countsOf(i), gather ? &slot : nullptr)) {
                result.end = StoredDetectionEnd::ReadFailed;
                result.failedRecord = i;
                break;
            }
            if (!handBack(i, slot)) {
                result.end = StoredDetectionEnd::Stopped;
                break;
            }
        }
        marks.flush();
        result.marksWriteFailed = marks.failed;
        return result;
    }

    const int window = std::max(1, job.lookahead);
    std::vector<MarksSlot> slots(static_cast<size_t>(window));
    enum : char { Pending, Ready, Failed };
    std::vector<char> state(static_cast<size_t>(P), Pending);
    std::mutex m;
    std::condition_variable cv;
    int next = first, consumed = first;
    bool quit = false;

    auto work = [&] {
        std::unique_ptr<Worker> w;
        try {
            w = std::make_unique<Worker>(job);
        } catch (...) {
        }
        for (;;) {
            int i;
            {
                std::unique_lock lk(m);
                cv.wait(lk, [&] { return quit || next >= P || next < consumed + window; });
                if (quit || next >= P) return;
                i = next++;
            }
            bool ok = false;
            try {
                MarksSlot* slot = gather ? &slots[static_cast<size_t>(i % window)] : nullptr;
                ok = w && detectRecord(job, *w, i, countsOf(i), slot);
            } catch (...) {
                ok = false;
            }
            {
                std::lock_guard lk(m);
                state[static_cast<size_t>(i)] = ok ? Ready : Failed;
            }
            cv.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < workers; ++t)
        threads.emplace_back(work);

    MarksSlot unused;
    for (int i = first; i < P; ++i) {
        char s;
        {
            std::unique_lock lk(m);
            cv.wait(lk, [&] { return state[static_cast<size_t>(i)] != Pending; });
            s = state[static_cast<size_t>(i)];
        }
        if (s == Failed) {
            result.end = StoredDetectionEnd::ReadFailed;
            result.failedRecord = i;
            break;
        }
        const bool go = handBack(i, gather ? slots[static_cast<size_t>(i % window)] : unused);
        {
            std::lock_guard lk(m);
            consumed = i + 1;
        }
        cv.notify_all();
        if (!go) {
            result.end = StoredDetectionEnd::Stopped;
            break;
        }
    }
    {
        std::lock_guard lk(m);
        quit = true;
    }
    cv.notify_all();
    for (std::thread& t : threads)
        t.join();
    marks.flush();
    result.marksWriteFailed = marks.failed;
    return result;
}

} // namespace

StoredDetectionResult detectStoredBlocks(const StoredDetectionJob& job,
                                         const std::function<bool(int record)>& afterRecord) {
    return runDetection(job,
                        [&](int i, const std::vector<std::string>&) { return afterRecord(i); });
}

StoredDetectionResult detectStoredBlocks(const StoredDetectionJob& job,
                                         const MarkedRecord& afterRecord) {
    StoredDetectionJob marked = job;
    marked.handMarks = true;
    return runDetection(marked, afterRecord);
}

struct StoredBlockDetector::State {
    StoredDetectionJob job;
    Worker worker;
    MarksSlot slot;
    std::vector<int16_t> counts = std::vector<int16_t>(kChannels, 0);
    explicit State(const StoredDetectionJob& j) : job(j), worker(withMarks(job)) {}
    static const StoredDetectionJob& withMarks(StoredDetectionJob& j) {
        std::erase_if(j.channels, [](int c) { return c < 0 || c >= kChannels; });
        j.handMarks = true;
        j.marks = false;
        return j;
    }
};

StoredBlockDetector::StoredBlockDetector(const StoredDetectionJob& job)
    : state_(std::make_unique<State>(job)) {}

StoredBlockDetector::~StoredBlockDetector() = default;

bool StoredBlockDetector::detect(int record, std::vector<std::string>& marks) {
    State& st = *state_;
    if (record < 0) return false;
    if (static_cast<size_t>(record) >= st.job.zeroRecord.size())
        st.job.zeroRecord.resize(static_cast<size_t>(record) + 1, 0);
    if (!detectRecord(st.job, st.worker, record, st.counts.data(), &st.slot)) return false;
    if (st.slot.filled)
        marks = st.slot.marks;
    else
        marks.assign(st.job.channels.size(), std::string());
    return true;
}

} // namespace trv
