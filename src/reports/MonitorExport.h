// Export of an acquisition as monitor files, the plain-text format of the fly
// beam-crossing monitors that rhythm and sleep analysis tools read (R's
// damr, ShinyR-DAM, ActogramJ, ClockLab).
//
// Each file holds 32 columns of counts. One line per counts.bin record (or
// per bin), TAB separated, 42 fields:
//   index  date ("30 Jun 17")  time ("14:08:00")  status  0 0 0 0 0 0  32 counts
// The 384 channels (or the plate's wells, a well's beams summed) fill
// Monitor1.txt, Monitor2.txt, ... in order, unused columns 0. A reading's
// time is the acquisition's start (its folder name) plus the record's
// minutes, carried across midnight and days; a bin's line is stamped with
// the end of the bin. Status is 1 for a reading made of at least one record,
// 0 for a bin without records (a gap in the recording). Monitor_columns.txt
// beside them says which channel or well each column holds, with its group.
#pragma once

#include "common/Prompter.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace trv {

inline constexpr int kMonitorColumns = 32;
inline constexpr const char* kMonitorMapName = "Monitor_columns.txt";

struct MonitorExportRequest {
    std::string acquisitionPath; // no trailing separator
    std::string programFolder;   // plate formats
    std::string outputFolder;    // empty: the acquisition folder
    // 0: one line per record, or 1-minute bins when records are less than a
    // minute apart (lines of the same minute read as repeated readings).
    int binMinutes = 0;
    bool perWell = false;        // wells (beams summed) instead of channels
};

struct MonitorExportOutcome {
    bool written = false;
    std::string error;              // why not, when not written
    std::vector<std::string> files; // monitor files, then the column map
    long long lines = 0;            // lines per monitor file
    int binMinutes = 0;             // the bin size used; 0: one line per record
};

// done of total units of work; called now and then from the export.
using ExportProgress = std::function<void(double done, double total)>;

// Writes the files (existing ones are replaced). Nothing is written when
// `stop` becomes true before the writing starts or when the acquisition
// cannot be read; the reason is in the outcome. Messages of the layout
// loaders go to the prompter.
MonitorExportOutcome exportMonitorFiles(const MonitorExportRequest& request, Prompter& prompter,
                                        const std::atomic<bool>* stop = nullptr,
                                        const ExportProgress& progress = {});

// "30 Jun 17" and "14:08:00" for a moment given in minutes since 1899-12-30.
std::string monitorDate(long long serialMinutes);
std::string monitorTime(long long serialMinutes);

} // namespace trv
