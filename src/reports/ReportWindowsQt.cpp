#include "reports/ReportWindowsQt.h"

#include "reports/frm_report.h"
#include "reports/frm_reportset.h"

namespace trv {

ReportWindows::ReportWindows(SharedState& state, Ports& ports, ReportWindowsHooks h,
                             QWidget* opener)
    : hooks(std::move(h)), s_(state), ports_(ports), opener_(opener) {}

ReportWindows::~ReportWindows() {
    delete report_.data();
    delete options_.data();
}

frm_report* ReportWindows::existingReport() const {
    return report_.data();
}

frm_report& ReportWindows::report() {
    if (!report_) {
        const bool user = hooks.userBinSize ? hooks.userBinSize() : false;
        report_ = new frm_report(s_, ports_, user, opener_);
        report_->setAttribute(Qt::WA_DeleteOnClose);
        report_->doseResponseOpener = hooks.openDoseResponse;
        report_->model().hooks().mainBinSize = [this](int bin) {
            if (hooks.mainBinSize) hooks.mainBinSize(bin);
        };
    }
    return *report_;
}

frm_reportset& ReportWindows::options() {
    if (!options_) {
        ReportOptionsHooks h;
        h.setUserBinSize = [this](bool on) {
            if (hooks.setUserBinSize) hooks.setUserBinSize(on);
        };
        options_ = new frm_reportset(s_, ports_, std::move(h), opener_);
    }
    return *options_;
}

bool ReportWindows::showMyReport(const std::string& folder, const std::string& binText,
                                 bool autoreport) {
    return report().model().showMyReport(folder, binText, autoreport);
}

void ReportWindows::showAcquisition(const std::string& folder,
                                    const std::vector<std::string>& basalEntries,
                                    const std::string& caption, const RawDataPreset* preset) {
    report().model().showAcquisition(folder, basalEntries, caption, preset);
}

void ReportWindows::openOptions() {
    options().open();
}

} // namespace trv
