// Frequency histograms of body-bend intervals per report column, from the
// cumulative histogram records of the acquisition's histo files.
#pragma once

#include "acquisition/DataFiles.h"
#include "common/Prompter.h"
#include "reports/ReportTypes.h"

#include <cstdint>
#include <string>

namespace trv {

// Walks the records of the histogram files in order and keeps, per channel
// and report column, the last record that falls in the column.
class HistogramAccumulator {
  public:
    HistogramAccumulator(HistogramTables& tables, ReportStatistics& stats, int binSize);
    void beginFile();
    void addRecord(const HistogramRecord& record);
    void endFile();

  private:
    HistogramTables& tables_;
    ReportStatistics& stats_;
    int binSize_;
    long long boundary_ = 1; // the running column boundary, in bins (t / B)
    double secondsSum_ = 0;
    long long records_ = 0;
};

// Well histograms from the channel histograms of every resampled bin's
// column, then group histograms (and the wells per group) per column.
void combineHistograms(HistogramTables& tables, ReportStatistics& stats,
                       const ActivitySeries& series, int lastBin, const ReportLayout& layout,
                       int binSize);

// Loads histo0000.bin .. histoNNNN.bin of the folder (numbers missing in
// between are skipped) and combines them. Without any histogram file:
// "Error getting Histogram.bin data" and no tables. Another failure:
// "Report Calculation Error".
void loadHistograms(const std::string& folder, HistogramTables& tables, ReportStatistics& stats,
                    const ActivitySeries& series, int lastBin, const ReportLayout& layout,
                    int binSize, Prompter& prompter);

} // namespace trv
