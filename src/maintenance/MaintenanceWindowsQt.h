// The technician's tools as the main window opens them: the device test
// ("Test DEVICE", drawn in the main window's activity drawing and driven by
// Timer_test), the factory settings window ("Factory Settings") and the
// calibration workbench (File > Settings > "Calibration Workbench").
#pragma once

#include "common/Ports.h"
#include "maintenance/DeviceTest.h"
#include "store/Module1.h"

#include <functional>
#include <memory>

class QTimer;

namespace trv {

class Frm_Arena;
class Frm_Factory;
class Frm_Main;
class QtStatusView;

struct MaintenanceHooks {
    // The workbench's "Setup" and "OffLine"; the offline browser's answers
    // whether it opened.
    std::function<void()> openSetup;
    std::function<bool()> openOffline;
};

class MaintenanceWindows {
  public:
    static constexpr int kTestTickMs = 100; // Timer_test

    MaintenanceWindows(SharedState& state, Ports& ports, Frm_Main& main,
                       MaintenanceHooks hooks = {});
    ~MaintenanceWindows();
    MaintenanceWindows(const MaintenanceWindows&) = delete;
    MaintenanceWindows& operator=(const MaintenanceWindows&) = delete;

    // Sends the tools' note to the main window's note label.
    void bindStatus(QtStatusView& view);

    // "Factory Settings": refused offline and while an acquisition runs or
    // is paused; otherwise the main window hides and the window opens.
    void openFactory();
    // File > Settings > "Calibration Workbench": refused while an
    // acquisition runs or is paused.
    void openWorkbench();
    // "Test DEVICE", and stopping its timer (Play).
    void startDeviceTest();
    void stopDeviceTest();

    Frm_Factory& factory() { return *factory_; }
    Frm_Arena& workbench() { return *arena_; }
    DeviceTest& deviceTest() { return test_; }
    QTimer* Timer_test = nullptr;

  private:
    SharedState& s_;
    Ports& ports_;
    Frm_Main& main_;
    MaintenanceHooks hooks_;
    DeviceTest test_;
    std::unique_ptr<Frm_Factory> factory_;
    std::unique_ptr<Frm_Arena> arena_;
};

} // namespace trv
