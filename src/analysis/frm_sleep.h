// The sleep window, opened from the offline browser's plot pop-up: the
// parameters (the minimum bout preset from the acquisition's organism), the
// light schedule in use or hours that override it, the table of the groups
// by light phase, the sleep profile, and "Save", which writes the files of
// trelvane-cli sleep through the same code.
#pragma once

#include "analysis/AnalysisControlsQt.h"
#include "analysis/SleepAnalysis.h"
#include "common/Ports.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace trv {

class SurfaceWidget;

class frm_sleep : public QWidget {
    Q_OBJECT
  public:
    explicit frm_sleep(Ports& ports, QWidget* parent = nullptr);

    // Analyses the acquisition with the default parameters and shows the window.
    void open(const std::string& acquisitionPath, const std::string& programFolder);
    // The request the controls make.
    SleepRequest request() const;
    const SleepOutcome& outcome() const { return outcome_; }

    QSpinBox* spn_sleepbin = nullptr;
    QSpinBox* spn_sleepthreshold = nullptr;
    QSpinBox* spn_sleepminbout = nullptr;
    QSpinBox* spn_sleepdead = nullptr;
    QCheckBox* chk_sleeplight = nullptr;
    QSpinBox* spn_sleepon = nullptr;
    QSpinBox* spn_sleepoff = nullptr;
    QLabel* lbl_sleepschedule = nullptr;
    QPushButton* cmd_sleepcalc = nullptr;
    QPushButton* cmd_sleepsave = nullptr;
    QTableWidget* grd_sleepgroups = nullptr;
    SurfaceWidget* pic_sleepprofile = nullptr;
    QPlainTextEdit* txt_sleepmessages = nullptr;

  private:
    void build();
    void calculate();
    void save();
    void showResult();
    void drawProfile();

    Ports& ports_;
    LightHoursControls light_;
    std::string acquisitionPath_, programFolder_;
    SleepOutcome outcome_;
};

// The browser's "Sleep...": the window over the browser (the one opened
// before when there is one) for the chosen acquisition.
void openSleepWindow(QWidget& browser, Ports& ports, const std::string& acquisitionPath,
                     const std::string& programFolder);

} // namespace trv
