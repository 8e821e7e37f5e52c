// One report generation ("Generate..."): loads the acquisition's layout and
// activity, resamples it into bins, normalises it to a basal acquisition
// when one is chosen, computes the statistics (or histograms) and writes the
// report.
#pragma once

#include "common/Ports.h"
#include "reports/ReportTypes.h"
#include "reports/ReportWriter.h"

#include <optional>
#include <string>

namespace trv {

struct ReportRequest {
    std::string acquisitionPath; // the acquisition folder, no trailing separator
    std::string programFolder;   // where the plate-format files are
    std::string binText = "30";  // the bin-size box as typed
    std::string basalChoice;     // "" or "-": none; else starts with the basal folder name
    ReportOptions options;
    // The setting text when raw-data reprocessing supplies it; otherwise it
    // is built from the acquisition's setup.dat.
    std::optional<std::string> setting;
};

enum class ReportStatus {
    Written, // the report file exists
    Ended,   // ended with its own message, or by the user's answer
    Failed,  // "Report Error" was shown
};

struct ReportOutcome {
    ReportStatus status = ReportStatus::Failed;
    std::string path; // the report written
    int binSize = 0;  // the bin size used (the window's box shows it)
    bool basal = false;
};

// The end of every generation, also run by raw-data reprocessing on its own
// series: statistics (or histograms) of bins 0..lastBin of a resampled series
// and the report file. "Report Error" when the file cannot be written.
ReportOutcome finishReport(const ReportRequest& request, const ActivitySeries& series, int32_t tmax,
                           int lastBin, int binSize, bool basal, const std::string& setting,
                           const ReportLayout& layout, Ports& ports);

// Runs the whole generation. The layout is the caller's: when the folder
// has no setup.dat it keeps what a previous generation loaded.
ReportOutcome generateReport(const ReportRequest& request, ReportLayout& layout, Ports& ports);

// The bin size for an acquisition of D minutes from the typed text: at least
// 1; when the acquisition is shorter, whole quarter hours of it (over 30
// minutes) or all of it.
int reportBinSize(const std::string& binText, int32_t durationMinutes);

} // namespace trv
