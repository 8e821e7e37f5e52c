// The setup window: projects, plate and groups of wells, acquisition and
// detection settings. Every control carries its documented name as
// objectName; the window forwards its events to SetupModel and shows what the
// model holds.
#pragma once

#include "common/Ports.h"
#include "setup/SetupHooks.h"
#include "setup/SetupModel.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLayout;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QAction;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace trv {

class SurfaceWidget;

class Frm_setup : public QWidget {
    Q_OBJECT
public:
    // ports: the program's ports (message boxes, locale, status texts);
    // hooks: what the main window and the launcher do when the window is left.
    Frm_setup(SharedState& state, Ports& ports, SetupHooks hooks, QWidget* parent = nullptr);
    ~Frm_setup() override;

    // Fills every control from the current project and shows the window
    // (from the launcher and from the main window).
    void open();

    SetupModel& model() { return *model_; }

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    // Shows the status texts meant for this window and passes every text on.
    class Status : public StatusView {
    public:
        Status(StatusView& outer, Frm_setup& window) : outer_(outer), window_(window) {}
        void setText(const std::string& target, const std::string& text) override;
        void setVisible(const std::string& target, bool visible) override { outer_.setVisible(target, visible); }
        void setProgress(const std::string& target, double v, double m) override { outer_.setProgress(target, v, m); }
        void repaint() override { outer_.repaint(); }

    private:
        StatusView& outer_;
        Frm_setup& window_;
    };

    // The window in parts, each with its controls.
    void build();
    QMenuBar* buildMenuBar();
    QWidget* buildProjectArea();
    QWidget* buildPlate();
    QWidget* buildGroupLists();
    QWidget* buildAcquisitionSettings();
    QWidget* buildDetection(QWidget* acq);
    QWidget* buildAdvanced(QWidget* acq);
    QLayout* buildWaysOut();
    void buildProjectList();
    void wire();
    // Copies the model into the controls (after every event).
    void showModel();
    void showProjectArea();
    void showGroups();
    void showSettings();
    void placeProjectList();

    void Command_main_Click();
    void Cmdoffline_Click();
    void Combowell_Click(int index);
    void Timer1_Timer();
    void lbl_snr_LostFocus();

    Status status_;
    Ports ports_;
    std::unique_ptr<SetupModel> model_;
    bool showing_ = false;     // showModel is filling the controls
    bool checkingSnr_ = false; // a refused SNR's message takes the focus

public:
    // Controls (named as the window documents them).
    QLineEdit* txtprj = nullptr;
    QLineEdit* Txtfolder = nullptr;
    QPushButton* Cmdnewpj = nullptr;
    QPushButton* Cmdsavepj = nullptr;
    QPushButton* cmdLoad = nullptr;
    QGroupBox* frm_project = nullptr;
    QListWidget* List_project = nullptr;
    QPushButton* Cmd_cancel = nullptr;
    QPlainTextEdit* Txt_description = nullptr;

    QComboBox* Combowell = nullptr;
    SurfaceWidget* Picwell = nullptr;
    QLabel* lblnchannel = nullptr;
    QListWidget* combogrup = nullptr;
    QListWidget* lstgrup = nullptr;
    QListWidget* lstchgrup = nullptr;
    QPushButton* Cmd_clear = nullptr;
    QPushButton* cmd_goset = nullptr;
    QMenu* mngroup = nullptr;
    QList<QAction*> mnopciongrup;
    QGroupBox* Frame_sets = nullptr;
    QComboBox* Combo_sets = nullptr;
    QTimer* Timer1 = nullptr;

    QComboBox* Cmb_organism = nullptr;
    QComboBox* ComboDSP = nullptr;
    QLineEdit* lbl_snr = nullptr;
    QLineEdit* Txtlapse = nullptr;
    QComboBox* Combo_aqmode = nullptr;
    QLineEdit* Txtsample = nullptr;
    QLineEdit* Txt_dspinterval = nullptr;
    QLineEdit* Txtbuffer = nullptr;
    QComboBox* Combosavecount = nullptr;
    QComboBox* Combosavereal = nullptr;
    QCheckBox* chkcalib = nullptr;
    QCheckBox* chklight = nullptr;
    QCheckBox* chktemp = nullptr;
    QCheckBox* Chk_mn4 = nullptr;
    QCheckBox* Chk_mn5 = nullptr;
    QCheckBox* Chk_mn6 = nullptr;
    QPushButton* cmd_advanced = nullptr;
    QGroupBox* Frame_advanced = nullptr;
    QAction* mn_advanced = nullptr;

    QPushButton* Cmdoffline = nullptr;
    QPushButton* Command_main = nullptr;
};

} // namespace trv
