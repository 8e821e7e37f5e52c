// Reading an acquisition's activity file (counts.bin) for reports: the
// duration, and the records with their times made continuous across
// midnight.
#pragma once

#include "acquisition/DataFiles.h" // dayCorrectedTimes
#include "common/Prompter.h"
#include "reports/ReportTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace trv {

// The largest time, with the day counter raised after the record whose
// stored time drops by more than 1000 minutes (it takes effect from the
// following record).
int32_t durationOfStoredTimes(const std::vector<int32_t>& stored);

// The index of the last record whose stored time is not smaller than every
// earlier stored time; -1 for no records.
int lastRisingRecord(const std::vector<int32_t>& stored);

// "Report Error" and why, when memory ran out while working on an
// acquisition's files (a counts.bin too large to read): the report's text
// first, then the file and its size.
std::string outOfMemoryMessage(const std::string& path);

// Largest corrected time of the file in minutes; 0 after "Error reading " +
// path when it cannot be read.
int32_t measureDuration(const std::string& path, Prompter& prompter);

// Loads records 0..lastRisingRecord with corrected times. Returns the index
// of the last record loaded; 0 with an empty series after "Error loading " +
// path when the file cannot be read.
int loadActivityFile(const std::string& path, ActivitySeries& series, Prompter& prompter);

} // namespace trv
