#include "maintenance/MaintenanceWindowsQt.h"

#include "display/Frm_Main.h"
#include "display/QtStatusView.h"
#include "display/SurfaceQt.h"
#include "maintenance/Frm_Arena.h"
#include "maintenance/Frm_Factory.h"
#include "maintenance/RegisterWrite.h"

#include <QLabel>
#include <QTimer>

namespace trv {

MaintenanceWindows::MaintenanceWindows(SharedState& state, Ports& ports, Frm_Main& main,
                                       MaintenanceHooks hooks)
    : s_(state), ports_(ports), main_(main), hooks_(std::move(hooks)), test_(state, ports),
      factory_(std::make_unique<Frm_Factory>(state, ports)),
      arena_(std::make_unique<Frm_Arena>(state, ports)) {
    Timer_test = new QTimer(&main);
    Timer_test->setObjectName("Timer_test");
    Timer_test->setInterval(kTestTickMs);
    QObject::connect(Timer_test, &QTimer::timeout, &main, [this] { test_.Timer_test_Timer(); });
    test_.picact = &main.Picact->surface();
    test_.hooks.setTimer = [this](bool on) {
        if (on)
            Timer_test->start();
        else
            Timer_test->stop();
    };
    test_.hooks.restoreActivityPlot = [this] {
        LivePlotData data = runPlotData(main_.run());
        main_.display().plots.redraw(main_.Picact->surface(), data);
    };

    factory_->onClosed = [this] {
        main_.show();
        main_.raise();
    };

    WorkbenchHooks& w = arena_->model().hooks;
    w.mainChannel = [this] { return static_cast<int>(main_.display().signal.selectedChannel); };
    w.setMainChannel = [this](int c) {
        main_.display().signal.selectedChannel = static_cast<int16_t>(c);
    };
    w.showMain = [this] {
        arena_->hide();
        main_.show();
        main_.raise();
    };
    w.showSetup = [this] {
        arena_->hide();
        if (hooks_.openSetup) hooks_.openSetup();
    };
    w.showOffline = [this] {
        if (hooks_.openOffline && hooks_.openOffline()) arena_->hide();
    };
    // EXIT ends the program the way the main window ends it (the project
    // question, the port closed), so the channels edited here are not lost.
    w.endProgram = [this] {
        arena_->hide();
        main_.closing();
    };
}

void MaintenanceWindows::bindStatus(QtStatusView& view) {
    view.bindText(status::NoteLabel, main_.lbl_autostart);
    view.bindVisible(status::NoteLabel, main_.lbl_autostart);
}

MaintenanceWindows::~MaintenanceWindows() = default;

void MaintenanceWindows::openFactory() {
    if (!InstrumentInUse(s_) || s_.Acq_State != 0) {
        ports_.prompter.show("Only possible to access in: ONLINE mode and STOP experiment");
        return;
    }
    main_.hide();
    factory_->open();
}

void MaintenanceWindows::openWorkbench() {
    if (s_.Acq_State != 0) {
        ports_.prompter.show("Stop the acquisition before opening the Calibration Workbench");
        return;
    }
    main_.hide();
    arena_->open();
}

void MaintenanceWindows::startDeviceTest() {
    test_.mnstatustest_Click();
}

void MaintenanceWindows::stopDeviceTest() {
    test_.stop();
}

} // namespace trv
