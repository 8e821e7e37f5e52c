#include "offline/TrackAnalysis.h"

#include "common/Files.h"
#include "common/Numeric.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace trv {

AnalysisThreshold analysisThreshold(const std::string& text) {
    const double v = leadingNumber(commaAsPoint(text));
    if (v >= 1.1 && v <= 6.0) return {v, false};
    return {1.8, true};
}

TrackAnalysis::TrackAnalysis(const PlateLayout& plate) {
    const int wells = std::max(0, static_cast<int>(plate.Max_Well) + 1);
    wells_.resize(static_cast<size_t>(wells));
    for (int w = 0; w < wells; ++w) {
        Well& well = wells_[static_cast<size_t>(w)];
        well.firstMark = channels_.size();
        for (int b = 0; b <= plate.Max_Beam; ++b)
            if (const int c = plate.wellChannel(w, b); c >= 0 && c < kChannels)
                well.channels.push_back(c);
        channels_.insert(channels_.end(), well.channels.begin(), well.channels.end());
    }
    sums_.resize(wells_.size() * kTrackSamples);
    restart();
}

const std::vector<int>& TrackAnalysis::wellChannels(int well) const {
    static const std::vector<int> none;
    return well >= 0 && well < wellCount() ? wells_[static_cast<size_t>(well)].channels : none;
}

void TrackAnalysis::setTimes(std::vector<int32_t> minutes) {
    times_ = std::move(minutes);
    restart();
}

void TrackAnalysis::restart() {
    for (Well& w : wells_) {
        w.history.fill(BeamPoint{});
        w.distance = w.blockStart = 0;
        w.perBlock.assign(times_.size(), 0.0);
    }
    position_ = 0;
}

void TrackAnalysis::setBlockEvents(int block, const std::vector<std::string>& marks) {
    loadedBlock_ = block;
    std::fill(sums_.begin(), sums_.end(), SampleSum{});
    marks_.assign(channels_.size(), std::string());
    for (size_t w = 0; w < wells_.size(); ++w) {
        SampleSum* sums = sums_.data() + w * kTrackSamples;
        const Well& well = wells_[w];
        for (size_t i = 0; i < well.channels.size(); ++i) {
            const size_t k = well.firstMark + i;
            if (k >= marks.size()) break;
            marks_[k] = marks[k];
            const std::string& m = marks_[k];
            const int c = well.channels[i];
            const size_t n = std::min<size_t>(m.size(), kTrackSamples);
            // Events are rare: jump from one '1' to the next.
            for (size_t s = 0; s < n; ++s) {
                const void* hit = std::memchr(m.data() + s, '1', n - s);
                if (!hit) break;
                s = static_cast<size_t>(static_cast<const char*>(hit) - m.data());
                SampleSum& sum = sums[s];
                ++sum.n;
                sum.columns += c / 16;
                sum.rows += c % 16;
            }
        }
    }
}

void TrackAnalysis::examine(int sample, std::vector<TrackMove>* moves) {
    if (loadedBlock_ != currentBlock()) return;
    for (size_t w = 0; w < wells_.size(); ++w) {
        const SampleSum& s = sums_[w * kTrackSamples + static_cast<size_t>(sample)];
        if (s.n == 0) continue;
        Well& well = wells_[w];
        const BeamPoint centroid{static_cast<double>(s.columns) / s.n,
                                 static_cast<double>(s.rows) / s.n};
        // The first movement starts where the animal was first seen.
        for (BeamPoint& h : well.history)
            if (!h.known()) h = centroid;
        TrackMove* move = nullptr;
        if (moves) {
            move = &moves->emplace_back();
            move->well = static_cast<int>(w);
            move->to = centroid;
            move->before = well.history;
            for (size_t i = 0; i < well.channels.size(); ++i) {
                const std::string& m = marks_[well.firstMark + i];
                if (static_cast<size_t>(sample) < m.size() && m[static_cast<size_t>(sample)] == '1')
                    move->eventChannels.push_back(well.channels[i]);
            }
        }
        std::copy_backward(well.history.begin(), well.history.end() - 1, well.history.end());
        well.history[0] = centroid;
        well.distance += std::hypot(well.history[0].column - well.history[1].column,
                                    well.history[0].row - well.history[1].row);
        if (move) move->distance = well.distance;
    }
}

void TrackAnalysis::endBlock(int block) {
    for (Well& w : wells_) {
        if (block >= 0 && static_cast<size_t>(block) < w.perBlock.size())
            w.perBlock[static_cast<size_t>(block)] = w.distance - w.blockStart;
        w.blockStart = w.distance;
    }
}

void TrackAnalysis::step(std::vector<TrackMove>* moves) {
    if (finished()) return;
    const int sample = currentSample();
    examine(sample, moves);
    if (sample == kTrackSamples - 1) endBlock(currentBlock());
    ++position_;
}

void TrackAnalysis::finishBlock() {
    if (finished()) return;
    const int block = currentBlock();
    // Only samples with an event change anything.
    if (loadedBlock_ == block) {
        for (int s = currentSample(); s < kTrackSamples; ++s)
            examine(s, nullptr);
    }
    endBlock(block);
    position_ = static_cast<long long>(block + 1) * kTrackSamples;
}

double TrackAnalysis::distance(int well) const {
    return well >= 0 && well < wellCount() ? wells_[static_cast<size_t>(well)].distance : 0.0;
}

double TrackAnalysis::blockDistance(int well, int block) const {
    if (well < 0 || well >= wellCount()) return 0.0;
    const std::vector<double>& d = wells_[static_cast<size_t>(well)].perBlock;
    return block >= 0 && static_cast<size_t>(block) < d.size() ? d[static_cast<size_t>(block)]
                                                               : 0.0;
}

const std::array<BeamPoint, kTrackHistory>& TrackAnalysis::history(int well) const {
    static const std::array<BeamPoint, kTrackHistory> none{};
    return well >= 0 && well < wellCount() ? wells_[static_cast<size_t>(well)].history : none;
}

// --- the travel distance table ----------------------------------------------

std::string trackWellLabel(int well, const PlateLayout& plate, const ChannelTables& channels) {
    const int c = plate.wellChannel(well, 0);
    const int group = c >= 0 ? channels.Channel_Group[static_cast<size_t>(c)] : -1;
    const std::string name =
        group >= 0 && group < kChannels ? channels.Group_Name[static_cast<size_t>(group)] : "Free";
    return zeroPadded(well, 3) + "_" + name;
}

std::string travelDistanceTable(const TrackAnalysis& track, const PlateLayout& plate,
                                const ChannelTables& channels, const TravelTableHeader& h) {
    const std::string& sep = h.separator;
    auto quoted = [](const std::string& s) { return "\"" + s + "\""; };
    std::string out;
    out += quoted("DATE:") + sep + quoted(h.date) + "\r\n";
    out += quoted("FILE:") + sep + quoted(h.folder) + "\r\n";
    out += "\r\n";
    out += quoted("<<<<<< Travel Distance: [milimeter/acq_block] >>>>>>") + "\r\n";
    out += "Group/Time[m]";
    for (int32_t t : track.times())
        out += sep + withDecimalMark(fixedDecimals(t, 1), h.decimalMark);
    out += "\r\n";
    for (int w = 0; w < track.wellCount(); ++w) {
        out += quoted(trackWellLabel(w, plate, channels));
        for (int b = 0; b < track.blockCount(); ++b)
            out += sep + std::to_string(roundHalfEven(track.blockDistance(w, b) * kBeamStepMm));
        out += "\r\n";
    }
    out += "\r\n";
    return out;
}

std::string writeTravelTable(const std::string& folder, const std::string& table,
                             const std::string& output) {
    if (!output.empty()) return writeFileAtomic(output, table) ? output : "";
    // A bounded search: a folder where nothing can be written has no name.
    for (int n = 1; n <= 999; ++n) {
        const std::string path = joinPath(folder, "report_" + std::to_string(n) + ".csv");
        if (fileExists(path) || folderExists(path)) continue;
        return writeFileAtomic(path, table) ? path : "";
    }
    return "";
}

} // namespace trv
