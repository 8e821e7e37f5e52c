#include "app/TrelvaneApp.h"

#include "analysis/frm_doseresponse.h"
#include "app/Frm_About.h"
#include "app/Frm_Init.h"
#include "app/QtPorts.h"
#include "display/Frm_Main.h"
#include "maintenance/MaintenanceWindowsQt.h"
#include "offline/Frm_offline.h"
#include "reports/ReportWindowsQt.h"
#include "reports/frm_report.h"
#include "setup/Frm_setup.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>

namespace trv {

TrelvaneApp::TrelvaneApp(SharedState& state, Ports& ports)
    : s_(state), ports_(ports), launcher_(std::make_unique<Frm_Init>(state, ports)),
      main_(std::make_unique<Frm_Main>(state, ports)),
      statusView_(dynamic_cast<QtStatusView*>(&ports.status)) {
    if (statusView_) {
        statusView_->bindText(status::NewsLine, launcher_->newsLine());
        main_->bindStatus(*statusView_);
    }

    launcher_->onSetup = [this] { openSetup(); };
    launcher_->onRunLatest = [this] { runLatest(); };
    launcher_->onOffline = [this] {
        if (openOffline) {
            launcher_->hide();
            openOffline();
        } else {
            ports_.prompter.show("The offline browser is not part of this version");
        }
    };
    // EXIT leaves the way File > Exit does: unsaved project edits are
    // offered for saving first.
    launcher_->onQuit = [this] { main_->closing(); };

    SetupHooks sh;
    sh.connect = [this] { main_->cmd_connect_Click(); };
    sh.showLauncher = [this] { showLauncher(true); };
    sh.showMain = [this] {
        launcher_->hide();
        main_->show();
        main_->raise();
    };
    sh.detection = [this](const DetectionSummary& d) { main_->applyDetectionSummary(d); };
    sh.notes = [this](const std::string& notes) { main_->setNotes(notes); };
    sh.mainTool = [this](MainTool tool, bool shown) { main_->showTool(tool, shown); };
    setup_ = std::make_unique<Frm_setup>(state, ports, std::move(sh));

    MainHooks& h = main_->hooks;
    h.showLauncher = [this](bool enabled) { showLauncher(enabled); };
    h.enableLauncher = [this] { launcher_->setEnabled(true); };
    h.hideLauncher = [this] { launcher_->hide(); };
    h.openSetup = [this] { openSetup(); };
    h.setupNotes = [this](const std::string& notes) { setup_->model().setNotes(notes); };
    h.hideOtherWindows = [this] {
        setup_->hide();
        if (offline_) offline_->hide();
    };
    h.endProgram = [this](int code) { end(code); };
    h.openAbout = [this] {
        Frm_About about(main_.get());
        about.exec();
    };

    // "Show my report", the end of a timed acquisition and "User Defined BIN
    // size": the report windows, on top of the main window.
    ReportWindowsHooks rh;
    rh.userBinSize = [this] { return main_->run().switches().userBinSize; };
    rh.setUserBinSize = [this](bool on) {
        main_->run().setUserBinSize(on);
        main_->mn_userbin->setChecked(on);
    };
    rh.mainBinSize = [this](int bin) {
        main_->combo_minutes->setCurrentText(QString::number(bin));
    };
    rh.openDoseResponse = openDoseResponseWindow;
    reports_ = std::make_unique<ReportWindows>(state, ports, std::move(rh), main_.get());
    h.openReport = [this](const std::string& folder, const std::string& binText, bool autoreport) {
        reports_->showMyReport(folder, binText, autoreport);
    };
    h.openReportOptions = [this] { reports_->openOptions(); };
    openOffline = [this] { offline().open(); };

    // The technician's tools.
    MaintenanceHooks mh;
    mh.openSetup = [this] { openSetup(); };
    mh.openOffline = [this] {
        if (!openOffline) {
            ports_.prompter.show("The offline browser is not part of this version");
            return false;
        }
        main_->hide();
        openOffline();
        return true;
    };
    maintenance_ = std::make_unique<MaintenanceWindows>(state, ports, *main_, std::move(mh));
    if (statusView_) maintenance_->bindStatus(*statusView_);
    h.openFactory = [this] { maintenance_->openFactory(); };
    h.startDeviceTest = [this] { maintenance_->startDeviceTest(); };
    h.stopDeviceTest = [this] { maintenance_->stopDeviceTest(); };
    h.openWorkbench = [this] { maintenance_->openWorkbench(); };
}

Frm_offline& TrelvaneApp::offline() {
    if (!offline_) {
        offline_ = std::make_unique<Frm_offline>(s_.Program_Folder, ports_);
        if (statusView_) offline_->bindStatus(*statusView_);
        BrowserHooks& h = offline_->browser().hooks();
        h.showLauncher = [this] {
            offline_->hide();
            showLauncher(true);
        };
        // "Report": the report window, with the browser's caption and presets.
        h.openReport = [this](const ReportLaunch& r) {
            RawDataPreset preset{r.organism, r.method, r.threshold};
            reports_->showAcquisition(r.folder, r.basal, r.caption, &preset);
        };
        // The joint report's separator: the report window's custom spacer.
        offline_->customSpacer = [this] {
            frm_report* r = reports_->existingReport();
            return r ? r->txt_customspacer->text().toStdString() : std::string();
        };
    }
    return *offline_;
}

TrelvaneApp::~TrelvaneApp() = default;

bool TrelvaneApp::start(const std::string& commandLine) {
    bool ok = main_->load(commandLine);
    return ok && !ended_;
}

void TrelvaneApp::end(int code) {
    if (ended_) return;
    ended_ = true;
    exitCode_ = code;
    launcher_->hide();
    if (setup_) setup_->hide();
    if (offline_) offline_->hide();
    if (maintenance_) maintenance_->stopDeviceTest();
    if (onEnd)
        onEnd(code);
    else
        QCoreApplication::exit(code);
}

void TrelvaneApp::showLauncher(bool enabled) {
    launcher_->setEnabled(enabled);
    launcher_->show();
    launcher_->raise();
    main_->hide();
}

void TrelvaneApp::openSetup() {
    launcher_->hide();
    main_->hide();
    setup_->open();
}

void TrelvaneApp::runLatest() {
    launcher_->hide();
    main_->show();
    main_->raise();
    if (!s_.Device_Connected) main_->cmd_connect_Click();
}

} // namespace trv
