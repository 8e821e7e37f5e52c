// The report options as the two report windows show them, and how they flow
// between the windows and repoconf.dat: the report window (frm_report) takes
// them when it is created, the options dialog (frm_reportset) edits and
// stores them. "User Defined BIN size" in the main window is the switch: a
// new report window reads the user's options only while it is checked.
#pragma once

#include "common/Ports.h"
#include "reports/ReportWriter.h"
#include "store/Module1.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace trv {

// Entries of the bin-size lists (minutes).
const std::vector<std::string>& binSizeEntries();
// Option_report of both windows.
const std::vector<std::string>& fileTypeEntries();
// Option_output of the report window (the last is shown only for
// acquisitions with histogram files) and of the options dialog.
const std::vector<std::string>& reportOutputEntries();
const std::vector<std::string>& dialogOutputEntries();
// Chk_statistic of both windows.
const std::vector<std::string>& statisticEntries();
constexpr int kStatAverage = 0, kStatMedian = 1, kStatStdError = 2, kStatStdDev = 3, kStatN = 4;

// The option controls both windows have.
struct ReportOptionFields {
    std::vector<std::string> binEntries = binSizeEntries();
    std::string binText = "30";                                     // Cmb_binsize
    int fileType = 0;                                               // Option_report
    std::string spacer = ",";                                       // txt_customspacer
    int outputFormat = 0;                                           // Option_output
    std::array<bool, 5> statistics{true, false, true, false, true}; // Chk_statistic
    bool rawExport = false;                                         // Chk_rawexport
};

// The controls as the configuration sets them; the bin size joins the list
// when it is not one of its entries.
ReportOptionFields optionFieldsOf(const ReportConfig& config);

// What a report is written with: the file type, the separator as typed, the
// output format and the statistics boxes "Std Error", "Std Dev" and "N".
ReportOptions reportOptionsOf(const ReportOptionFields& fields, bool autoreport);

// A bin-size text as the 16-bit number stored for it ("90" -> 90; text
// without a number -> 0).
int16_t binSizeValue(const std::string& text);

// The options dialog (frm_reportset, "[User Defined Report]").
struct ReportOptionsHooks {
    // Check (true) or clear the main window's "User Defined BIN size".
    std::function<void(bool)> setUserBinSize;
    std::function<void()> hide;
};

class ReportOptionsModel {
  public:
    ReportOptionsModel(SharedState& state, Ports& ports, ReportOptionsHooks hooks = {});

    // Creation: the configuration is read as the user configuration and the
    // controls are set from it.
    void open();
    // "Apply": the controls stored as the user configuration.
    void Cmd_generate_Click();
    // "Back to Default": the defaults stored, the user configuration off.
    void Cmd_cancel_Click();

    ReportOptionFields fields;
    bool Chk_autofile = true; // "Auto-Generate after measurement": always set

    ReportOptionsHooks& hooks() { return hooks_; }

  private:
    SharedState& s_;
    Ports& ports_;
    ReportOptionsHooks hooks_;
};

} // namespace trv
