// The desktop program's windows and how they lead to one another: the
// launcher, the main window and the setup window replace one another; the
// report, offline, factory and device-test windows open from hooks when the
// program has them. Tests build one over FakePorts, the program over the Qt
// ports.
#pragma once

#include "common/Ports.h"
#include "store/Module1.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace trv {

class Frm_Init;
class Frm_Main;
class Frm_offline;
class Frm_setup;
class MaintenanceWindows;
class QtStatusView;
class ReportWindows;

class TrelvaneApp : public QObject {
    Q_OBJECT
  public:
    TrelvaneApp(SharedState& state, Ports& ports);
    ~TrelvaneApp() override;

    // The main window's load sequence with the command line. False when the
    // program has to end at once (exitCode() tells how).
    bool start(const std::string& commandLine);

    Frm_Init& launcher() { return *launcher_; }
    Frm_Main& main() { return *main_; }
    // The setup window.
    Frm_setup* setupWindow() const { return setup_.get(); }
    // The report window and the report options dialog.
    ReportWindows& reports() { return *reports_; }
    // The device test, the factory settings and the calibration workbench.
    MaintenanceWindows& maintenance() { return *maintenance_; }

    // The offline browser (created on first use).
    Frm_offline& offline();

    // "Analyze recorded experiments": the offline browser by default (tests
    // may replace it); an empty one answers with a short message.
    std::function<void()> openOffline;

    // How the program ends (default: the event loop returns the code).
    std::function<void(int code)> onEnd;
    bool ended() const { return ended_; }
    int exitCode() const { return exitCode_; }

  private:
    void end(int code);
    void showLauncher(bool enabled);
    void openSetup();
    void runLatest();

    SharedState& s_;
    Ports& ports_;
    std::unique_ptr<Frm_Init> launcher_;
    std::unique_ptr<Frm_Main> main_;
    // The status port when the program runs over the Qt ports (null over
    // fakes): the windows register their controls with it.
    QtStatusView* statusView_;
    std::unique_ptr<Frm_setup> setup_;
    std::unique_ptr<ReportWindows> reports_;
    std::unique_ptr<MaintenanceWindows> maintenance_;
    std::unique_ptr<Frm_offline> offline_;
    bool ended_ = false;
    int exitCode_ = 0;
};

} // namespace trv
