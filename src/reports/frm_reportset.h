// The report options dialog ("[User Defined Report]"): bin size, file type,
// separator, output format, group statistics and "Export Raw", stored as the
// user's options by "Apply" or reset by "Back to Default". Every control
// carries its documented name as objectName; the dialog forwards its events
// to ReportOptionsModel.
#pragma once

#include "common/Ports.h"
#include "reports/ReportOptionControlsQt.h"
#include "reports/ReportOptionsModel.h"

#include <QList>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace trv {

class frm_reportset : public QWidget {
    Q_OBJECT
  public:
    frm_reportset(SharedState& state, Ports& ports, ReportOptionsHooks hooks,
                  QWidget* parent = nullptr);

    ReportOptionsModel& model() { return model_; }

    // Creation: reads the options and shows the dialog.
    void open();
    void showControls();

  private:
    void build();
    void wire();
    void takeControls();

    ReportOptionsModel model_;
    bool showing_ = false;

  public:
    QComboBox* Cmb_binsize = nullptr;
    // The "File:", "Output format:" and "Group Statistics:" boxes.
    ReportOptionControls optionControls;
    QList<QRadioButton*>& Option_report = optionControls.Option_report;
    QLineEdit*& txt_customspacer = optionControls.txt_customspacer;
    QList<QRadioButton*>& Option_output = optionControls.Option_output;
    QList<QCheckBox*>& Chk_statistic = optionControls.Chk_statistic;
    QCheckBox* Chk_rawexport = nullptr;
    QCheckBox* Chk_autofile = nullptr;
    QPushButton* Cmd_generate = nullptr;
    QPushButton* Cmd_cancel = nullptr;
};

} // namespace trv
