// The data a report generation works on: the layout copied from the
// acquisition folder, the activity series (records, then report bins) and
// the per-column statistics the writer prints.
#pragma once

#include "store/Module1.h"

#include <cstdint>
#include <string>
#include <vector>

namespace trv {

// The report window's own copy of the channel tables and plate layout, read
// from the acquisition folder rather than taken from the current project.
struct ReportLayout {
    ChannelTables channels; // Group_Name and Channel_Group are used
    PlateLayout plate;
    bool loaded = false;

    int16_t groupOf(int channel) const {
        return channels.Channel_Group[static_cast<size_t>(channel)];
    }
    // A group number that indexes the group tables (0..384); anything else
    // (negative, or an out-of-range number from a damaged file) is free.
    bool inGroup(int channel) const {
        int g = groupOf(channel);
        return g >= 0 && g < kSlots;
    }
    int16_t wellOf(int channel) const { return plate.Channel_Well[static_cast<size_t>(channel)]; }
    int wellCount() const { return plate.Max_Well >= 0 ? plate.Max_Well + 1 : 0; }
    // The channel serving beam 0 of a well, -1 when none does.
    int beam0Channel(int well) const { return plate.wellChannel(well, 0); }
    // The largest group number over channels 0..383, at least 0.
    int maxGroup() const;
    // For groups 0..maxGroup, the member wells in ascending order: the wells
    // whose beam-0 channel belongs to the group.
    std::vector<std::vector<int>> groupMemberWells(int maxGroup) const;
    // Q + number "000" + "_" + name + Q, or the free label for a free group.
    std::string groupLabel(int group) const;
    static std::string freeLabel() { return "\"999_Free\""; }
};

// One acquisition's activity: records as loaded (time in minutes after the
// day correction), and after resampling one entry per report bin (time = end
// of the bin). Counts are stored record by record, 384 channels each, as in
// the activity file.
struct ActivitySeries {
    std::vector<int32_t> time;
    std::vector<int16_t> temperature; // tenths of a degree
    std::vector<int16_t> counts;      // counts[i * kChannels + channel]

    int size() const { return static_cast<int>(time.size()); }
    int lastIndex() const { return size() - 1; }
    int16_t count(int channel, int i) const {
        return counts[static_cast<size_t>(i) * kChannels + static_cast<size_t>(channel)];
    }
    int16_t& count(int channel, int i) {
        return counts[static_cast<size_t>(i) * kChannels + static_cast<size_t>(channel)];
    }
    void resize(int n) {
        time.assign(static_cast<size_t>(n), 0);
        temperature.assign(static_cast<size_t>(n), 0);
        counts.assign(static_cast<size_t>(n) * kChannels, 0);
    }
};

enum class OutputFormat { Rows = 0, List = 1, WArray = 2, ChArray = 3, Histogram = 4 };

// A table indexed by an item (channel, well or group) and a report column
// 0..columns+1.
struct ColumnTable {
    int items = 0;
    int columns = 0; // columnCount; columns 0..columnCount+1 exist
    std::vector<int32_t> values;

    void reset(int itemCount, int columnCount) {
        items = itemCount;
        columns = columnCount;
        values.assign(static_cast<size_t>(itemCount) * static_cast<size_t>(columnCount + 2), 0);
    }
    int32_t& at(int item, int column) {
        return values[static_cast<size_t>(item) * static_cast<size_t>(columns + 2) +
                      static_cast<size_t>(column)];
    }
    int32_t at(int item, int column) const {
        return values[static_cast<size_t>(item) * static_cast<size_t>(columns + 2) +
                      static_cast<size_t>(column)];
    }
};

struct ReportStatistics {
    int columnCount = 1;
    int maxGroup = 0;                       // G
    std::vector<bool> columnPresent;        // [0..columnCount+1]
    std::vector<int32_t> samples;           // bins per column
    std::vector<int32_t> columnTemperature; // tenths of a degree, 0 = none
    ColumnTable channelValue;               // [channel 0..384]
    ColumnTable wellValue;                  // [well 0..Max_Well]
    ColumnTable groupMean;                  // [group 0..384]
    ColumnTable groupStdDev;
    std::vector<int32_t> groupWellCount; // [group 0..384]

    bool present(int column) const {
        return column >= 0 && column < static_cast<int>(columnPresent.size()) &&
               columnPresent[static_cast<size_t>(column)];
    }
};

// Frequency histograms of body-bend intervals, per report column. Columns
// without records take no memory (a week of 5-minute columns would
// otherwise need hundreds of megabytes).
class HistogramTable {
  public:
    static constexpr int kBins = 51;
    void reset(int columnCount) { columns_.assign(static_cast<size_t>(columnCount + 2), {}); }
    int columnSlots() const { return static_cast<int>(columns_.size()); }
    bool hasColumn(int column) const {
        return column >= 0 && column < columnSlots() &&
               !columns_[static_cast<size_t>(column)].empty();
    }
    int32_t at(int bin, int item, int column) const {
        if (!hasColumn(column)) return 0;
        return columns_[static_cast<size_t>(column)][index(bin, item)];
    }
    int32_t& at(int bin, int item, int column) {
        auto& c = columns_[static_cast<size_t>(column)];
        if (c.empty()) c.assign(static_cast<size_t>(kBins) * kSlots, 0);
        return c[index(bin, item)];
    }

  private:
    static size_t index(int bin, int item) {
        return static_cast<size_t>(bin) * kSlots + static_cast<size_t>(item);
    }
    std::vector<std::vector<int32_t>> columns_;
};

struct HistogramTables {
    bool loaded = false; // false: no histogram files were found
    double meanSecondsPerSample = 0.0;
    HistogramTable channelHistogram;
    HistogramTable wellHistogram;
    HistogramTable groupHistogram;
};

} // namespace trv
