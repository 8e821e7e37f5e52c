// The main (acquisition) window: project header, activity plots (Picact),
// channel signal view (Picreal), acquisition, calibration and view commands,
// the tools frame, the temperature and light panels, and the menus. The
// window owns its controls and timers and forwards every event to the core
// objects: AcquisitionRun (Play, Pause, Stop, the tick, calibration, panels),
// LiveDisplay (plots and signal view), Startup (load sequence, start-up
// timer, closing) and the connection (Connect, Disconnect, COM Ports).
//
// What lies outside this window (the launcher, the setup, report, offline,
// factory and device-test windows, ending the program) comes in as hooks.
#pragma once

#include "acquisition/AcquisitionRun.h"
#include "acquisition/Startup.h"
#include "common/Ports.h"
#include "device/Connection.h"
#include "display/LiveDisplay.h"
#include "display/MainHandover.h"
#include "remote/RemoteView.h"
#include "store/Module1.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace trv {

class SurfaceWidget;
class QtStatusView;

// What the main window asks of the windows around it. Every hook may be left
// empty.
struct MainHooks {
    // Show the launcher (enabled or disabled while starting) and hide this
    // window; enable it; hide it.
    std::function<void(bool enabled)> showLauncher;
    std::function<void()> enableLauncher;
    std::function<void()> hideLauncher;
    // The setup window (">Edit", a refused Play): shown, and this window
    // hidden.
    std::function<void()> openSetup;
    // The notes box copied into the setup window's notes box (">Edit" and
    // "<< Back").
    std::function<void(const std::string& notes)> setupNotes;
    // Hide the setup and offline windows (Play, Read Blank).
    std::function<void()> hideOtherWindows;
    // The report window for an acquisition folder holding counts.bin, with
    // the bin size text of the tools frame; autoreport at the end of a timed
    // acquisition run with "User Defined BIN size".
    std::function<void(const std::string& folder, const std::string& binText, bool autoreport)>
        openReport;
    // "User Defined BIN size": the report options dialog.
    std::function<void()> openReportOptions;
    // "Factory Settings" and "Test DEVICE".
    std::function<void()> openFactory;
    std::function<void()> startDeviceTest;
    std::function<void()> stopDeviceTest;
    // File > Settings > "Calibration Workbench".
    std::function<void()> openWorkbench;
    // End the program with an exit code.
    std::function<void(int code)> endProgram;
    // Help > About: the About window.
    std::function<void()> openAbout;
};

class Frm_Main : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr const char* Caption = "<Trelvane> Acquisition Software  --------> Main";

    Frm_Main(SharedState& state, Ports& ports, QWidget* parent = nullptr);
    ~Frm_Main() override;

    MainHooks hooks;

    // The load sequence with the command line; false when the program has
    // to end (endProgram was called).
    bool load(const std::string& commandLine);

    // Unattended runs without a display: when the acquisition started by the
    // run switch ends at its lapse, the window closes itself (and with it the
    // program) and prints where the data went.
    bool closeWhenUnattendedRunEnds = false;
    // Nobody can answer a question (no display): the program's own answers
    // would end or keep an acquisition at random, so none is asked.
    bool headless = false;

    // The commands as the buttons and menus run them.
    void cmd_connect_Click();
    void Cmd_disconnect_Click();
    void CmdPlay_Click();
    void CmdPause_Click();
    void CmdStop_Click();
    void Cmdreport_Click();
    void Cmdsetup_Click();
    void Cmdoffline_Click();
    void mnexit_Click();
    void mncontent_Click();
    void mnabout_Click();

    // The closing procedure (File > Exit, closing the window, the
    // launcher's EXIT): during an acquisition first whether to stop it
    // (false when the user keeps it: nothing closes), then the question
    // unless offline, the port closed, then endProgram(0).
    bool closing();

    // What the setup window hands over when it is left: the detection
    // summary (txt_detection, txt_snr_umbral, the organism to select), the
    // notes, and the tool frames it shows or hides.
    void applyDetectionSummary(const DetectionSummary& d);
    void setNotes(const std::string& notes);
    void showTool(MainTool tool, bool shown);
    // The panel drawn in the shared place ("Frame_temp", "Frame_light" or
    // none).
    QWidget* frontPanel() const;

    // Sends the status targets of the acquisition to this window's controls.
    void bindStatus(QtStatusView& view);

    // Activation refresh while idle (what becoming the active window does).
    void activationRefresh();

    // The layout for the current size (what a resize does).
    void layoutControls();

    AcquisitionRun& run() { return run_; }
    LiveDisplay& display() { return display_; }
    Startup& startup() { return startup_; }
    ComPortMenu& comPortMenu() { return comMenu_; }
    QTimer* timerAdq() const { return Timeradq; }

  protected:
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    // The window in parts, each with its controls and their connections.
    void build();
    void buildHeader(QWidget* central);
    void buildPlotArea(QWidget* central);
    void buildSignalView(QWidget* central);
    void buildToolColumn(QWidget* central);
    QGroupBox* buildCalibrationFrame();
    QGroupBox* buildToolsFrame();
    void buildTemperaturePanel(QWidget* panelPlace);
    void buildLightPanel(QWidget* panelPlace);
    void buildBottomBand(QWidget* central);
    void buildStatusFrame(QWidget* central);
    void buildTimers();
    void buildMenus();
    void wireRun();
    void wireStartup();

    // Copies the core objects' view state into the controls.
    void syncPickers();
    void syncRunControls();
    void syncPanels();
    void syncCalibration();
    void syncAcquisitionButtons();

    // Runs a LiveDisplay event with the current surfaces and arrays, then
    // copies the pickers into their controls.
    template <typename F> void withDisplay(F&& f);

    // Start-up filling of the controls.
    void fillTools();
    void fillSettings();
    void reportConfigLoaded(bool userDefined);
    void fillPickers();
    void displayDefaults();
    void fillHeader();

    void Timeradq_Timer();
    void Timerinicio_Timer();
    void showLauncher(bool enabled);
    void connectNow(bool runSwitch);
    void lapseEndedUnattended();
    // Reads remote.conf and starts the remote view when it is enabled; its
    // messages and alerts go to the status frame (and, unattended, to the
    // standard error).
    void startRemoteView();
    void sayRemote(const std::string& caption, const std::string& line);
    // An acquisition started by Play is running or paused, and someone is
    // there to be asked before it ends.
    bool askBeforeEndingRun() const;
    void panelBoxLeft(QLineEdit* box);
    void showPanels();

    SharedState& s_;
    Ports& ports_;
    // Declared before the run, so it outlives the run's last progress call.
    std::unique_ptr<remote::RemoteView> remote_;
    AcquisitionRun run_;
    LiveDisplay display_;
    Startup startup_;
    ComPortMenu comMenu_;
    bool closingDone_ = false;
    bool syncing_ = false;
    bool inBoxCheck_ = false;
    // The temperature and light panels as the panels object shows them, and
    // which of the two is in front when both are.
    bool lightShown_ = false, tempShown_ = false, lightInFront_ = false;

  public:
    // Timers.
    QTimer* Timeradq = nullptr;    // acquisition tick, 30 ms
    QTimer* Timerinicio = nullptr; // start-up steps, 500 ms
    QTimer* Timer_button = nullptr;

    // Header.
    QLineEdit* txt_projecto = nullptr;
    QLineEdit* txt_subproject = nullptr;
    QPlainTextEdit* txt_description = nullptr;
    QLineEdit* txt_wellformat = nullptr;
    QLineEdit* txt_acqlapse = nullptr;
    QLineEdit* txt_detection = nullptr;
    QPushButton* Cmdsetup = nullptr;

    // Activity plots.
    SurfaceWidget* Picact = nullptr;
    QPushButton* Cmd_barplot = nullptr;
    QPushButton* Cmd_gridplot = nullptr;
    QPushButton* Cmd_histoplot = nullptr;
    QComboBox* combogrup = nullptr;
    QPushButton* cmd_pgdown = nullptr;
    QPushButton* cmd_pgup = nullptr;

    // Channel signal view.
    QGroupBox* Framereal = nullptr;
    SurfaceWidget* Picreal = nullptr;
    QComboBox* Combofila = nullptr;
    QComboBox* Combocol = nullptr;
    QLineEdit* txtsub = nullptr;
    QLabel* lblcanal = nullptr;
    QListWidget* lstgrup = nullptr;
    QPushButton* cmdbeam_minus = nullptr;
    QLineEdit* txtbeam = nullptr;
    QPushButton* cmdbeam_plus = nullptr;
    QPushButton* Cmdzoom_minus = nullptr;
    QLineEdit* txtzoom = nullptr;
    QPushButton* Cmdzoom_plus = nullptr;
    QLabel* lblcalibrando = nullptr;

    // Bottom band.
    QPushButton* cmd_connect = nullptr;
    QPushButton* Cmd_disconnect = nullptr;
    QPushButton* CmdPlay = nullptr;
    QPushButton* CmdPause = nullptr;
    QPushButton* CmdStop = nullptr;
    QPushButton* Cmdreport = nullptr;
    QPushButton* Cmdoffline = nullptr;
    QLineEdit* Txt_time = nullptr;
    QProgressBar* picturetime = nullptr;
    QLabel* lbl_temperature = nullptr;
    QLabel* lbl_torun = nullptr;
    QLabel* lbl_autostart = nullptr;

    // Status frame (connection, calibration, pause, serial errors).
    QFrame* Frame_status = nullptr;
    QLabel* lbl_autotext = nullptr;
    QLabel* lbl_autochannel = nullptr;
    QProgressBar* picture_progress = nullptr;

    // Calibration frame.
    QGroupBox* frm_mn1 = nullptr;
    QPushButton* Cmd_readblank = nullptr;
    QPushButton* cmd_calibra = nullptr;
    QPushButton* Cmd_autozero = nullptr;
    QLabel* lbl_calstate = nullptr; // shown while no calibration button is

    // Tools frame.
    QGroupBox* Frame_tools = nullptr;
    QComboBox* combo_minutes = nullptr;
    QComboBox* cmb_organism = nullptr;
    QLabel* lbl_snr = nullptr;
    QLineEdit* txt_snr_umbral = nullptr;
    QCheckBox* chk_bodybends = nullptr;

    // Temperature panel.
    QGroupBox* Frame_temp = nullptr;
    QPushButton* cmd_ontemp = nullptr;
    QPushButton* cmd_frio = nullptr;
    QFrame* shape_temp = nullptr;
    QLineEdit* txttemp = nullptr;
    QPushButton* Cmd_settemp = nullptr;
    QCheckBox* Chk_tenabled = nullptr;
    QPushButton* cmd_nextwindows1 = nullptr;

    // Light panel.
    QGroupBox* Frame_light = nullptr;
    QPushButton* cmd_luz = nullptr;
    QFrame* shape_light = nullptr;
    QLineEdit* txt_lon = nullptr;
    QLineEdit* txt_loff = nullptr;
    QCheckBox* Chk_lenabled = nullptr;
    QPushButton* cmd_cyclepulse = nullptr;
    QFrame* frm_pulse = nullptr;
    QLineEdit* txt_pulsetimes = nullptr;
    QLineEdit* txt_pulseon = nullptr;
    QLineEdit* txt_pulseoff = nullptr;
    QPushButton* cmd_nextwindows2 = nullptr;

    // Menus.
    QMenu* mnfile = nullptr;
    QMenu* mnsettings = nullptr;
    QMenu* mncomports = nullptr;
    std::array<QAction*, kSearchPorts> mncom{};
    QAction* mnarena = nullptr; // the calibration workbench
    QAction* mnremote = nullptr; // "Remote view..."
    QMenu* mnadvanced = nullptr;
    QMenu* mnCalibra = nullptr; // "Manual_Calibration"
    QAction* mncal_on = nullptr;
    QAction* mncal_off = nullptr;
    QAction* mnautocal = nullptr;
    QAction* mnautozero = nullptr;
    QAction* mn_userbin = nullptr;
    QAction* mn_factory = nullptr;
    QMenu* mnmore = nullptr;
    QAction* lght_ctl = nullptr;
    QAction* temp_ctl = nullptr;
    QAction* mnautorestart = nullptr;
    QAction* mnstatustest = nullptr;
    QAction* mnexit = nullptr;
    QMenu* mnhelp = nullptr;
    QAction* mncontent = nullptr;
    QAction* mnabout = nullptr;
};

} // namespace trv
