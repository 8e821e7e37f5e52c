// Per-column statistics of a resampled series: channel and well values,
// group means, deviations and well counts, samples and temperature.
#pragma once

#include "common/Prompter.h"
#include "reports/ReportTypes.h"

namespace trv {

// columnCount = round(tmax / B), at least 1.
int reportColumnCount(int32_t tmax, int binSize);

// The report column (1..) of a bin ending at `time`: the first multiple of B
// at or after it.
int reportColumnOf(int32_t time, int binSize);

// Bins 0..lastBin of the series. The temperature step runs for every format;
// the activity statistics are skipped for the histogram format (its tables
// come from the histogram files). A failure shows "Report Calculation Error"
// and returns what was computed so far.
ReportStatistics computeStatistics(const ActivitySeries& series, const ReportLayout& layout,
                                   int32_t tmax, int lastBin, int binSize, OutputFormat format,
                                   Prompter& prompter);

} // namespace trv
