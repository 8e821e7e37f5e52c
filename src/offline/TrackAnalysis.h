// Following one animal per well of a 6-well plate from the stored raw signal.
//
// A well of a 6-well plate is crossed by about 32 beams of the 16 x 24 beam
// matrix. At every raw sample, the beams of a well where the activity
// detection counts an event mark where the animal is; their centroid is its
// position. The analysis walks the samples of every block in order, keeps a
// short history of positions per well and adds up the straight distances
// between them, per well and per block.
//
// Every counts.bin record is one block (record i pairs with raw block i, as
// the raw pages lay them out), and every record is tracked, however long the
// acquisition. A block whose raw data is not stored has no events: the wells
// keep their positions.
#pragma once

#include "acquisition/Analysis_Module.h"
#include "store/Module1.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace trv {

// One step of the beam matrix, in millimetres.
inline constexpr double kBeamStepMm = 4.5;
// Positions per block: the samples the detection analyses.
inline constexpr int kTrackSamples = kDetectSamples;
// Positions remembered per well, newest first.
inline constexpr int kTrackHistory = 5;

// A place on the beam matrix in beam columns and rows (channel c sits at
// column c / 16, row c % 16); column -1 while the well has none.
struct BeamPoint {
    double column = -1;
    double row = -1;
    bool known() const { return column >= 0; }
    friend bool operator==(const BeamPoint&, const BeamPoint&) = default;
};

// The threshold box of the analysis frame and the tracking: the typed
// number (a comma read as a point); anything outside 1.1..6 becomes 1.8 and
// the box is to show "1.8".
struct AnalysisThreshold {
    double value = 1.8;
    bool replaced = false;
};
AnalysisThreshold analysisThreshold(const std::string& text);
inline constexpr const char* kDefaultThresholdText = "1.8";

// One well's movement at one sample, for the drawing.
struct TrackMove {
    int well = 0;
    BeamPoint to;                                // the new position
    std::array<BeamPoint, kTrackHistory> before; // the history before the move
    std::vector<int> eventChannels;              // the well's channels with an event now
    double distance = 0;                         // beam units so far, the move included
};

class TrackAnalysis {
  public:
    // Wells 0..Max_Well of the plate with their channels in beam order.
    explicit TrackAnalysis(const PlateLayout& plate);

    // Every counts.bin record's time (minutes); one block per record.
    void setTimes(std::vector<int32_t> minutes);
    const std::vector<int32_t>& times() const { return times_; }
    int blockCount() const { return static_cast<int>(times_.size()); }

    int wellCount() const { return static_cast<int>(wells_.size()); }
    // The channels of a well (beam order), and of all wells (well by well):
    // the channels to detect.
    const std::vector<int>& wellChannels(int well) const;
    const std::vector<int>& channels() const { return channels_; }

    // The events of a block: marks[k] holds '1' at every sample where channel
    // channels()[k] has an event (an empty or missing string: none).
    void setBlockEvents(int block, const std::vector<std::string>& marks);
    // A block without stored raw data: no events.
    void setBlockEmpty(int block) { setBlockEvents(block, {}); }
    int loadedBlock() const { return loadedBlock_; }

    // Every well forgets its positions and distances; back to position 0.
    void restart();

    // The position examined next: block x 500 + sample.
    long long position() const { return position_; }
    long long lastPosition() const {
        return static_cast<long long>(blockCount()) * kTrackSamples - 1;
    }
    bool finished() const { return position_ > lastPosition(); }
    int currentBlock() const { return static_cast<int>(position_ / kTrackSamples); }
    int currentSample() const { return static_cast<int>(position_ % kTrackSamples); }
    bool atBlockStart() const { return position_ % kTrackSamples == 0; }

    // Examines the current position (the current block's events must be set)
    // and moves on; the wells that moved are added to moves when given.
    void step(std::vector<TrackMove>* moves = nullptr);
    // Steps to the end of the current block without drawing.
    void finishBlock();

    // Beam units travelled by a well so far, and within a block.
    double distance(int well) const;
    double blockDistance(int well, int block) const;
    // A well's positions, newest first.
    const std::array<BeamPoint, kTrackHistory>& history(int well) const;

  private:
    struct Well {
        std::vector<int> channels;
        size_t firstMark = 0; // index of its first channel in channels_
        std::array<BeamPoint, kTrackHistory> history{};
        double distance = 0;
        double blockStart = 0;
        std::vector<double> perBlock;
    };
    // Per well and sample of the loaded block: how many of its channels have
    // an event and the sums of their columns and rows.
    struct SampleSum {
        int16_t n = 0;
        int32_t columns = 0, rows = 0;
    };
    void examine(int sample, std::vector<TrackMove>* moves);
    void endBlock(int block);

    std::vector<Well> wells_;
    std::vector<int> channels_;
    std::vector<int32_t> times_;
    std::vector<SampleSum> sums_;    // [well][sample]
    std::vector<std::string> marks_; // of the loaded block, per channels_ entry
    int loadedBlock_ = -1;
    long long position_ = 0;
};

// What the travel distance table says besides the distances.
struct TravelTableHeader {
    std::string separator = ",";   // the locale's list separator
    std::string decimalMark = "."; // of the times
    std::string date;              // the date and time of writing
    std::string folder;            // the acquisition folder
};

// The label of a well's row: the well number as three digits, "_" and the
// name of the well's own group (that of its beam-0 channel; "Free" when it
// is in none).
std::string trackWellLabel(int well, const PlateLayout& plate, const ChannelTables& channels);

// The travel distance table (CR LF lines): date, folder, title, the block
// times and one row per well with its millimetres per block.
std::string travelDistanceTable(const TrackAnalysis& track, const PlateLayout& plate,
                                const ChannelTables& channels, const TravelTableHeader& header);

// Writes the table to output when one is given, else into the acquisition
// folder as the first report_N.csv (N from 1) that does not exist yet: the
// folder's report.csv holds the activity report of the automatic runs and is
// never replaced, nor is any other earlier file. The path written, empty on
// failure.
std::string writeTravelTable(const std::string& folder, const std::string& table,
                             const std::string& output = "");

} // namespace trv
