// The report windows as the rest of the program opens them: the report
// window for "Show my report", for the end of a timed acquisition and for
// the offline browser's "Report", and the options dialog for "User Defined
// BIN size". The report window is created on first use and again after the
// user has closed it, reading the report options each time.
#pragma once

#include "common/Ports.h"
#include "reports/ReportWindowModel.h"
#include "reports/frm_report.h"
#include "store/Module1.h"

#include <QPointer>

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace trv {

class frm_report;
class frm_reportset;

// What the report windows ask of the main window. Every hook may be left
// empty.
struct ReportWindowsHooks {
    // Whether "User Defined BIN size" carries its check mark.
    std::function<bool()> userBinSize;
    // The options dialog's "Apply" (true) and "Back to Default" (false) set
    // or clear that check mark.
    std::function<void(bool)> setUserBinSize;
    // The report window was closed: the main window's bin-size box takes
    // the configured bin size.
    std::function<void(int binSize)> mainBinSize;
    // "Dose-response..." in the report window.
    DoseResponseOpener openDoseResponse;
};

class ReportWindows {
  public:
    // opener: the window the report windows stay on top of (may be null).
    ReportWindows(SharedState& state, Ports& ports, ReportWindowsHooks hooks = {},
                  QWidget* opener = nullptr);
    ~ReportWindows();
    ReportWindows(const ReportWindows&) = delete;
    ReportWindows& operator=(const ReportWindows&) = delete;

    // "Show my report" (Cmdreport) and the end of a timed acquisition: the
    // acquisition folder (project folder + acquisition folder, "" before any
    // acquisition), the text of the main window's bin-size box, and
    // autoreport when the user configuration is in force at the lapse end.
    // Shows "Activity file not Found" when the folder has no counts.bin.
    // With autoreport the report is generated (and, with "Export Raw", the
    // raw data reprocessed) once the window is up, then the window hides.
    bool showMyReport(const std::string& acquisitionFolder, const std::string& binText,
                      bool autoreport);

    // The offline browser's "Report": the acquisition folder (holding
    // counts.bin), the basal choices ("-" and the acquisitions of the same
    // project), the window caption and the raw-data presets.
    void showAcquisition(const std::string& acquisitionFolder,
                         const std::vector<std::string>& basalEntries, const std::string& caption,
                         const RawDataPreset* preset = nullptr);

    // "User Defined BIN size": the options dialog, read from repoconf.dat.
    void openOptions();

    // The windows (created when needed).
    frm_report& report();
    frm_reportset& options();
    // The report window if it exists.
    frm_report* existingReport() const;

    ReportWindowsHooks hooks;

  private:
    SharedState& s_;
    Ports& ports_;
    QPointer<QWidget> opener_;
    QPointer<frm_report> report_;
    QPointer<frm_reportset> options_;
};

} // namespace trv
