// Per-well export ("1 file/well Report"): the activity of an acquisition as
// small text files for rhythm analysis elsewhere, summed from the stored
// records into bins of the report bin size. With the time field, one file
// per well (<www>_<well>.txt) of time-stamped lines; without it, one line
// of values per channel (ch<cccccc>.txt) and the bin ends in time.txt.
#pragma once

#include "common/Clock.h"
#include "common/Ports.h"
#include "reports/ReportTypes.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace trv {

struct WellExportRequest {
    std::string acquisitionPath; // no trailing separator
    std::string programFolder;
    std::string binText = "30"; // the bin-size box
    bool timeField = true;
    LocalDateTime timeBase; // the first line is stamped one bin after it
    bool openResult = true; // open the folder and the first file written
    // Set from elsewhere (Ctrl-C) to end the export before it writes: the
    // outcome is Ended with stopped set and no file touched.
    const std::atomic<bool>* stop = nullptr;
    // Files made of the files to make, now and then.
    std::function<void(double done, double total)> progress;
};

enum class WellExportStatus { Written, Ended, Failed };

struct WellExportOutcome {
    WellExportStatus status = WellExportStatus::Failed;
    int binSize = 0;                // the exported bin size (the box shows it)
    int bins = 0;                   // lines per well file, values per channel file
    std::vector<std::string> files; // paths written, in order
    bool stopped = false;           // ended by the request's stop flag
};

// The exported bin size for an acquisition whose largest time is tmax: the
// typed size, at least 2; when the acquisition is shorter than it, whole
// quarter hours of tmax + 1 (over 30 minutes) or tmax + 1 itself.
int wellExportBinSize(const std::string& binText, int32_t tmax);

// "dd/mm/yyyy hh:mm".
std::string wellExportStamp(const LocalDateTime& t);

// "000_A1.txt", "ch000005.txt".
std::string wellExportFileName(const PlateLayout& plate, int well);
std::string channelExportFileName(int channel);

// Writes the files (existing ones are replaced) once all are made. Without counts.bin:
// "Activity file not Found"; any other failure: "Report Error".
WellExportOutcome exportWells(const WellExportRequest& request, ReportLayout& layout, Ports& ports);

} // namespace trv
