// Dose-response curves of an acquisition: the response of every well of the
// dose map's groups, one four-parameter logistic fit per compound over its
// wells above 0, and the results as dose_response.csv and one plot per
// compound (<compound>.svg). The command line and the report window run the
// same code.
#pragma once

#include "analysis/DoseFit.h"
#include "analysis/DoseMap.h"
#include "analysis/WellResponse.h"
#include "common/Locale.h"
#include "reports/ReportTypes.h"

#include <string>
#include <vector>

namespace trv {

inline constexpr const char* kDoseResponseFileName = "dose_response.csv";

struct WellResponse {
    int well = 0;
    int group = 0;
    double concentration = 0;
    double response = 0; // events per minute, or % of basal
};

struct CompoundResult {
    std::string compound;
    std::vector<WellResponse> wells;    // concentration above 0: fitted
    std::vector<WellResponse> controls; // concentration 0: shown, not fitted
    CurveFit fit;
    std::string plotFile; // the plot's file name in the output folder
};

struct DoseResponseResult {
    std::string unit; // concentration unit, "" when the map names none
    bool basal = false;
    std::vector<CompoundResult> compounds; // in the order of the dose map
    // Everything worth telling, in order: left-out groups and wells, and for
    // each compound without IC50 why ("compound: reason").
    std::vector<std::string> messages;
};

// Responses and fits. basal (may be null) is the basal acquisition's series:
// each well's response becomes a percentage of its events per minute over
// the basal acquisition's whole minutes; a well with no basal activity is
// left out with a message. The window must be usable (windowProblem).
DoseResponseResult analyseDoseResponse(const ActivitySeries& series, const ReportLayout& layout,
                                       const DoseMap& map, const MinuteWindow& window,
                                       const ActivitySeries* basal);

// One row per compound: compound, IC50, its 95 % interval, hill, top,
// bottom, R2, wells and a note; fields separated by the separator, numbers
// with the decimal mark, CR LF line ends.
std::string doseResponseCsv(const DoseResponseResult& result, const std::string& separator,
                            const std::string& decimalMark);

// A file name for a compound's plot that stays inside the output folder: the
// characters file systems refuse become "_", a name of dots only becomes
// "compound", and a name already taken gets "_2", "_3", ... (compared without
// regard to case, for folders shared with other systems).
std::string plotFileName(const std::string& compound, std::vector<std::string>& taken);

struct DoseResponseRequest {
    std::string acquisitionPath; // the acquisition folder
    std::string programFolder;   // where the plate-format files are
    std::string dosesPath;       // "" : doses.csv in the acquisition folder
    MinuteWindow window;
    std::string basalPath;    // "" : no basal normalisation (same plate layout)
    std::string outputFolder; // "" : the acquisition folder
};

struct DoseResponseOutcome {
    bool written = false; // dose_response.csv and the plots were written
    DoseResponseResult result;
    std::string csvPath;
    std::vector<std::string> plotPaths;
    // Everything worth telling, in order: why nothing was written, or what
    // was left out (result.messages among them).
    std::vector<std::string> messages;
};

// What a user is told after a run: one line per compound with IC50 ("name:
// IC50 3.002 uM (95 %: 2.998 to 3.005), hill 1.01 (falls with dose), R2 0.999,
// 24 wells"), then
// the outcome's messages.
std::vector<std::string> doseResponseSummary(const DoseResponseOutcome& outcome,
                                             const std::string& decimalMark);

// Loads the acquisition (and the basal one), the layout and the dose map,
// analyses them and writes the files into the output folder (created when
// missing). The list separator and decimal mark come from the locale, as
// in the reports.
DoseResponseOutcome runDoseResponse(const DoseResponseRequest& request, Locale& locale);

} // namespace trv
