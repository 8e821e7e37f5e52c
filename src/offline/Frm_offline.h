// The offline browser window: the list of projects and acquisitions on the
// left, the plot surface with its buttons, page and bin-size controls, the
// report button, the comments and the tags on the right. Every control
// carries its documented name as objectName. The window forwards its events
// to OfflineBrowser (list, tags, rename, archive, report, watched folders)
// and to the plot procedures, and shows OfflineControls after each event.
#pragma once

#include "common/Ports.h"
#include "offline/Kinetics.h"
#include "offline/OfflineBrowser.h"
#include "offline/OfflineConfiguration.h"
#include "offline/OfflinePlots.h"
#include "offline/Regrouping.h"
#include "offline/TrackSession.h"

#include <QMainWindow>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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
class QScrollBar;
class QTimer;

namespace trv {

class QtStatusView;
class SurfaceWidget;

// Procedures of views drawn by other parts of the program (the raw-signal
// analysis, and the plot group list in views the window does not draw
// itself). Each may be empty; the window shows its controls again after each.
struct OfflineViewEvents {
    std::function<void(int row)> plotGroupChosen; // lstgrup_plot in another view
    std::function<void()> analyze;                // "Analyze"
};

class Frm_offline : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr const char* Caption =
        "<Trelvane> Acquisition Software  --------> Report analysis";

    // programFolder: the folder holding the project folders.
    Frm_offline(const std::string& programFolder, Ports& ports, QWidget* parent = nullptr);
    ~Frm_offline() override;

    // Sends the page loading's progress and page number to this window.
    void bindStatus(QtStatusView& view);

    OfflineBrowser& browser() { return browser_; }
    // The configuration of the chosen acquisition, the configuration of the
    // project last expanded (kept apart), and the views of the chosen
    // acquisition.
    OfflineConfiguration& configuration() { return config_; }
    const OfflineConfiguration& projectConfiguration() const { return projectConfig_; }
    OfflinePlots& plots() { return plots_; }
    // The track view of a 6-well acquisition ("Single Animal Path Tracking").
    TrackSession& tracks() { return track_; }
    // What the views draw from: the chosen acquisition and the plot header.
    OfflineSource source() const;
    OfflineViewEvents views;
    // Shows the window from the launcher: the list is read again.
    void open();
    // Copies OfflineControls into the controls.
    void showControls();
    // The lines selected in the list, in list order.
    std::vector<int> selectedLines() const;

    // Events of the plot controls (the views of the chosen acquisition).
    void Cmd_leegroups_Click();
    void Cmd_barplot_Click();
    void Cmd_gridplot_Click();
    void cmdchannels_Click();
    void scrollpage_Change(int value);
    void combogrup_Click(int index);
    void lstgrup_DblClick();
    void lstgrup_plot_DblClick();
    void Combofila_Click();
    void Combocol_Click();
    void txtsub_LostFocus();
    void Cmd_analyze_Click();
    // The raw page being read on the worker thread (0: none).
    int loadingPage() const { return loadingPage_; }

    // The kinetics line plot, the exports of the plot surface's pop-up menus
    // and the group editor (Frm_offlineTools.cpp).
    void Cmd_lineplot_Click();
    void cmd_minus_Click();
    void cmd_plus_Click();
    void List_tags_DblClick(int row);
    void mn_relativize_Click();
    void mn_jointexport_Click();
    // Right button on the plot surface: the pop-up menu of the view shown
    // (null in the track view, which pops its own up).
    QMenu* surfaceMenu() const;
    // "Plate Config": the plot surface becomes the plate editor of the
    // chosen acquisition, named in the window's caption. False, after a
    // message, when there is no acquisition or plate layout to edit.
    bool openGroupEditor();
    // "EXIT Group Edition": save or discard, then the bar plot again.
    void cmdcancelgrups_Click();
    // The last drawn line plot, and the open group editor (null when none).
    const KineticsData& kinetics() const { return kinetics_; }
    bool tagMode() const { return !tagMembers_.empty(); }
    RegroupSession* regroup() { return regroup_.get(); }
    // The report window's custom spacer text, the joint report's separator.
    std::function<std::string()> customSpacer;
    // The track controls: the button, the playback timer, the track
    // pop-up's "Export Data" (Picreal's right button in the track view).
    void cmd_track_Click();
    void Timer_play_Timer();
    void mn_datatrack_Click();

  protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void build();
    QWidget* buildLeft();
    QWidget* buildRight();
    void buildMenus();
    void wire();
    void hover(QLabel* label);
    void Timer_button_Timer();
    void Listpj_ContextMenu(const QPoint& at);
    void after(const std::function<void()>& event);
    void showPickers();
    // Raw pages are read on a worker thread; the page is drawn when it
    // arrives, unless another request or view came in the meantime.
    void loadPage(int page);
    void pageLoaded(int request, RawPage page);
    void stopPageLoad();
    void Picreal_Resize();
    void wireTools();
    void lineGroupChosen();
    void drawKinetics(double binSize, const std::string& members, bool exportTable);
    void exportBmp(const char* fileName);
    void showEditorControls();
    void applyEditingLayout();
    void leaveGroupEditor(bool save);
    void analyze();
    void Picreal_MouseUp(Qt::MouseButton button);
    void trackControlsIn();
    void trackControlsOut();

    Ports& ports_;
    OfflineBrowser browser_;
    OfflineConfiguration config_;
    OfflineConfiguration projectConfig_;
    OfflinePlots plots_;
    TrackSession track_{plots_};
    bool opened_ = false;
    bool showing_ = false; // showControls is filling the controls
    std::vector<std::string> shownLines_;
    std::thread pageThread_;
    std::atomic<bool> pageCancel_{false};
    int pageRequest_ = 0; // the latest request; older results are dropped
    int loadingPage_ = 0;
    bool redrawPending_ = false;
    KineticsData kinetics_;
    std::string tagMembers_; // the tagged members drawn (empty: normal mode)
    std::unique_ptr<RegroupSession> regroup_;

  public:
    // Controls (named as the window documents them).
    QListWidget* Listpj = nullptr;
    QLabel* lblproject = nullptr;
    QLabel* lbl_date = nullptr;
    QLabel* lbl_orden = nullptr;
    QLineEdit* txt_search = nullptr;
    QPushButton* cmd_lupa = nullptr;
    QLabel* Cmd_main = nullptr;
    QTimer* Timer_button = nullptr;

    SurfaceWidget* Picreal = nullptr;
    QPushButton* Cmd_leegroups = nullptr;
    QPushButton* cmdchannels = nullptr;
    QPushButton* Cmd_barplot = nullptr;
    QPushButton* Cmd_gridplot = nullptr;
    QPushButton* Cmd_lineplot = nullptr;
    QListWidget* lstgrup_plot = nullptr;
    QLineEdit* txt_page = nullptr;
    QScrollBar* scrollpage = nullptr;
    QFrame* frm_bin = nullptr;
    QLineEdit* txt_bin = nullptr;
    QPushButton* cmd_minus = nullptr;
    QPushButton* cmd_plus = nullptr;
    QComboBox* combogrup = nullptr;
    QListWidget* lstgrup = nullptr;
    QLabel* lblcanal = nullptr;
    QComboBox* Combofila = nullptr;
    QComboBox* Combocol = nullptr;
    QLineEdit* txtsub = nullptr;
    QGroupBox* fmranalizar = nullptr;
    QLineEdit* frmtxt_threshold = nullptr;
    QComboBox* cmb_modeanalisis = nullptr;
    QPushButton* Cmd_analyze = nullptr;
    QProgressBar* Pic_status = nullptr;
    QCheckBox* chk_bmp = nullptr;
    QPushButton* cmd_track = nullptr;
    QTimer* Timer_play = nullptr;

    QPushButton* Cmd_report = nullptr;
    QPlainTextEdit* Txt_description = nullptr;
    QLabel* lbl_tags = nullptr;
    QListWidget* List_tags = nullptr;

    // The group editor, hidden until "Plate Config".
    QGroupBox* Framegrup = nullptr;
    QComboBox* combogrup2 = nullptr;
    QListWidget* lstgrup2 = nullptr;
    QListWidget* lstchgrup2 = nullptr;
    QComboBox* Combo_sets = nullptr;
    QPushButton* cmd_goset = nullptr;
    QPushButton* Cmd_clear = nullptr;
    QPushButton* cmdcancelgrups = nullptr;

    // Menus: File, the list's pop-up and the pop-ups of the plot surface.
    std::array<QAction*, kWatchedFolderCount> mnwatch{};
    QAction* mn_advanced = nullptr;
    QAction* mn_help = nullptr;
    QMenu* mnlist = nullptr;
    QAction* mn_rename = nullptr;
    QAction* mn_find = nullptr;
    QMenu* mn_tag = nullptr;
    std::array<QAction*, kTagMenuEntries> mn_tags{};
    QMenu* mn_replicate = nullptr;
    QAction* mn_plateconfig = nullptr;
    QAction* mn_delete = nullptr;
    QMenu* mnexport = nullptr;
    QAction* bmpexporta = nullptr;
    QAction* asciiexporta = nullptr;
    QAction* mn_monitorexport = nullptr;
    QAction* mn_sleep = nullptr;
    QAction* mn_rhythm = nullptr;
    QMenu* mnjoint = nullptr;
    QAction* mn_relativize = nullptr;
    QAction* mn_jointbmp = nullptr;
    QAction* mn_jointexport = nullptr;
    QMenu* mnline = nullptr;
    QAction* mn_linebmp = nullptr;
    QMenu* mnplate = nullptr;
    QAction* mn_platebmp = nullptr;
    QMenu* mntrack = nullptr;
    QAction* mn_bmptrack = nullptr;
    QAction* mn_datatrack = nullptr;
};

} // namespace trv
