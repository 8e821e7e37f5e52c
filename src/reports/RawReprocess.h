// Raw-data reprocessing: the activity counts of an acquisition computed
// again from its stored raw blocks with another detection method, organism
// preset or threshold, then a report of them; with "Replace old data" the
// new counts replace those of counts.bin and the acquisition's setup.dat
// records the new detection settings.
#pragma once

#include "acquisition/DataFiles.h"
#include "common/Ports.h"
#include "reports/ReportGenerator.h"
#include "reports/ReportTypes.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace trv {

// Entries of the frame's lists (Cmb_dspmethod, Cmb_organism).
const std::vector<std::string>& reprocessMethodEntries();
const std::vector<std::string>& reprocessOrganismEntries();
constexpr int kOrganismZebrafish = 1;
constexpr int kOrganismEchinococcus = 2;
constexpr int kOrganismDrosophila = 3;

// What choosing an organism sets: its threshold text and, for some, the
// method.
struct ReprocessPreset {
    std::string threshold;
    std::optional<int> method;
};
ReprocessPreset reprocessPreset(int organism);

// The threshold box on leaving it: the typed value ("," read as ".") with
// one decimal and a point when it lies in the organism's range (0.5..1 for
// Drosophila, 1.1..6 for the others), else the organism's fallback "0.8" or
// "1.8".
std::string checkedThresholdText(int organism, const std::string& typed);
bool thresholdInRange(int organism, double value);
// The threshold of a text ("," read as "."; 0 when it does not start with a
// number).
double thresholdValue(const std::string& text);

// How many minutes of the acquisition are processed: 32000 with "Replace old
// data", else the "Analyze:" hours in minutes, at least kMinimumLapseMinutes.
constexpr int kMinimumLapseMinutes = 5;
constexpr int kWholeAcquisitionMinutes = 32000;
int reprocessLimitMinutes(bool replaceData, const std::string& hoursText);
// The "Analyze:" text of a number of minutes, in hours with two decimals
// ("0.08" for the minimum).
std::string lapseHoursText(int minutes);
// "Export Raw" sets the lapse to this many hours: the whole acquisition.
inline constexpr const char* kExportRawLapse = "533";

// The records of counts.bin a run covers.
struct ReprocessRange {
    int firstPassRecords = 0;  // H: records read while the previous time did not exceed L
    int32_t firstPassTmax = 0; // largest stored time among them
    int processed = 0;         // records detected: while the previous time is below L
};
ReprocessRange reprocessRange(const std::vector<int32_t>& storedTimes, int limitMinutes);

struct ReprocessRequest {
    std::string acquisitionPath; // no trailing separator
    std::string programFolder;
    int method = 1;
    int organism = 0;
    std::string thresholdText = "1.8";
    bool replaceData = false;
    std::string lapseText = "1"; // "Analyze:" hours
    bool rawExport = false;
    std::string binText = "30";
    ReportOptions options; // the report written at the end
    int workers = 2;       // detection threads (1: on the calling thread)
};

enum class ReprocessStatus {
    Reported, // the report was written
    Stopped,  // STOP: nothing saved, no report
    Ended,    // ended with its own message
    Failed,   // "Report Error" was shown
};

struct ReprocessOutcome {
    ReprocessStatus status = ReprocessStatus::Failed;
    int limitMinutes = 0;
    ReprocessRange range;
    std::string binText; // the bin-size box after the run
    int binSize = 0;     // the bin size of the report
    bool countsReplaced = false;
    bool setupUpdated = false;
    std::string setting; // the report's setting text
    std::string reportPath;
};

// The whole run. Progress goes to status::ReportRawStatus ("Block i/H",
// "Saving..."); after every record the event pump runs and `stop` is read.
// layout receives the acquisition's layout.
ReprocessOutcome reprocessRawData(const ReprocessRequest& request, ReportLayout& layout,
                                  Ports& ports, const std::atomic<bool>& stop);

// The setting text of a report of reprocessed counts that were not stored:
// method entry + " " + organism entry + " [SNR=" + threshold text + "]".
std::string reprocessSettingText(int method, int organism, const std::string& thresholdText);

// setup.dat of an acquisition with the method (line 4, fifth item), the
// organism (line 10, first) and SNRx10 (line 10, fourth) replaced; setup.bak
// keeps the previous file. False when it could not be updated.
bool updateAcquisitionSetup(const std::string& folder, int method, int organism, int snrx10);

} // namespace trv
