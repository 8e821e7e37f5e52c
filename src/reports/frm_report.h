// The report window ("Report Output"): the acquisition, the report options,
// "Generate...", the raw-data frame under "Advanced" → "Analyze Raw Data",
// the per-well export and "Dose-response...". Every control carries its
// documented name as objectName; the window forwards its events to
// ReportWindowModel and shows what the model holds.
#pragma once

#include "common/Ports.h"
#include "reports/ReportOptionControlsQt.h"
#include "reports/ReportWindowModel.h"

#include <QList>
#include <QWidget>

#include <functional>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace trv {

// Opens the dose-response window over the report window for an acquisition
// folder, with the program folder and the basal choice. The dose-response
// analysis builds on the reports, so the program hands it in.
using DoseResponseOpener =
    std::function<void(QWidget& reportWindow, Ports& ports, const std::string& acquisitionFolder,
                       const std::string& programFolder, const std::string& basalChoice)>;

class frm_report : public QWidget {
    Q_OBJECT
  public:
    // The options are read when the window is created: the user's when
    // "User Defined BIN size" is checked (userBinSize), else the defaults.
    frm_report(SharedState& state, Ports& ports, bool userBinSize, QWidget* parent = nullptr);
    ~frm_report() override;

    ReportWindowModel& model() { return model_; }
    // "Dose-response...": left empty, the button says the window is not
    // part of this version.
    DoseResponseOpener doseResponseOpener;

    // Copies the model into the controls.
    void showControls();

  signals:
    // The window was closed (not merely hidden).
    void closed();

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void build();
    void wire();
    // Copies what the user typed into the model before a command runs.
    void takeControls();
    void growForFrame();

    // "Dose-response...": the window for the acquisition in Txt_inputfile.
    void openDoseResponse();

    ReportWindowModel model_;
    SharedState& state_;
    Ports& ports_;
    bool showing_ = false;

  public:
    // Controls (named as the window documents them).
    QAction* mnrecalculate = nullptr;
    QAction* mncircadian = nullptr;
    QLineEdit* Txt_inputfile = nullptr;
    QGroupBox* frm_options = nullptr; // the options frame
    QComboBox* Cmb_binsize = nullptr;
    QComboBox* cmbbasal = nullptr;
    // The "File:", "Output format:" and "Group Statistics:" boxes.
    ReportOptionControls optionControls;
    QList<QRadioButton*>& Option_report = optionControls.Option_report;
    QLineEdit*& txt_customspacer = optionControls.txt_customspacer;
    QList<QRadioButton*>& Option_output = optionControls.Option_output;
    QList<QCheckBox*>& Chk_statistic = optionControls.Chk_statistic;
    QCheckBox* chk_autoreport = nullptr;
    QPushButton* Cmd_generate = nullptr;
    QPushButton* Cmd_cancel = nullptr;
    QPushButton* Cmd_doseresponse = nullptr;

    QGroupBox* Frame_run = nullptr;
    QComboBox* Cmb_dspmethod = nullptr;
    QComboBox* Cmb_organism = nullptr;
    QLineEdit* frmtxt_threshold = nullptr;
    QLineEdit* frmtxt_datalapse = nullptr;
    QCheckBox* Chk_replacedata = nullptr;
    QCheckBox* Chk_rawexport = nullptr;
    QPushButton* cmd_runframe = nullptr;
    QPushButton* cmd_stopframe = nullptr;
    QLabel* frmlbl_status = nullptr;
};

} // namespace trv
