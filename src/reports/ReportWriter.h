// Writes one generation's results as a text report in one of five layouts,
// keeps a copy under the acquisition's title and opens the report.
#pragma once

#include "common/Ports.h"
#include "reports/ReportTypes.h"

#include <optional>
#include <string>

namespace trv {

// What the report window's options say about the file.
struct ReportOptions {
    OutputFormat format = OutputFormat::Rows;
    int fileType = 0;            // 0 ".csv", 1 ".txt"
    std::string separator = ","; // used as is between fields (may be empty)
    bool stdError = true;
    bool stdDev = false;
    bool wellCount = true;    // the "N" box
    bool autoreport = false;  // automatic report: never opened for the user
    std::string outputFolder; // where the report goes; empty: the acquisition folder
};

// The results of one generation.
struct ReportContent {
    std::string acquisitionPath; // folder, no trailing separator
    std::string title;           // acquisition title (subproj.dat), may be empty
    std::string setting;         // the setting text
    bool basal = false;
    std::string basalChoice; // the basal choice text, shown in the header
    int32_t tmax = 0;        // largest bin end time, minutes
    int lastBin = 0;
    int binSize = 1;
    const ReportLayout* layout = nullptr;
    const ReportStatistics* stats = nullptr;
    const HistogramTables* histograms = nullptr; // histogram format only
};

std::string reportExtension(int fileType);

// The whole text of the report. dateText is the date line's value;
// decimalMark is used in every value formatted with one decimal.
std::string renderReport(const ReportContent& content, const ReportOptions& options,
                         const std::string& dateText, const std::string& decimalMark);

// "report" when <folder>/report<ext> can be opened for writing, otherwise
// the first of report_1, report_2, ... that can. Empty when none can (the
// folder itself is not writable).
std::string chooseReportName(const std::string& folder, const std::string& extension);

// The file name (without extension) of the copy kept under the acquisition
// title: spaces become "_", and so do path separators, control characters
// and the characters common file systems refuse; at most 200 bytes. Empty
// when nothing usable is left ("", ".", "..").
std::string titleCopyName(const std::string& title);

// Writes the report into the output folder, copies it under the title, lets
// events run and opens it through the desktop unless automatic. Returns the
// report's path; nothing when it could not be written (the caller shows
// "Report Error").
std::optional<std::string> writeReport(const ReportContent& content, const ReportOptions& options,
                                       Ports& ports);

} // namespace trv
