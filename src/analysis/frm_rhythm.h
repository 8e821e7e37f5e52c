// The rhythm window, opened from the offline browser's plot pop-up: the
// parameters, the double-plotted actogram of a group or a well (the picker)
// with its chi-square periodogram beside it, the tables of the groups and
// the wells, and "Save", which writes the files of trelvane-cli rhythm
// through the same code. The analysis runs beside the window with its
// progress shown; each plot's right-button menu exports it as a bitmap.
#pragma once

#include "analysis/AnalysisControlsQt.h"
#include "analysis/RhythmAnalysis.h"
#include "common/Ports.h"

#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <utility>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace trv {

class SurfaceWidget;

inline constexpr const char* kActogramImageFile = "actogram.bmp";
inline constexpr const char* kPeriodogramImageFile = "periodogram.bmp";

class frm_rhythm : public QWidget {
    Q_OBJECT
  public:
    explicit frm_rhythm(Ports& ports, QWidget* parent = nullptr);
    ~frm_rhythm() override;

    // Analyses the acquisition with the default parameters and shows the window.
    void open(const std::string& acquisitionPath, const std::string& programFolder);
    // The request the controls make.
    RhythmRequest request() const;
    const RhythmOutcome& outcome() const { return outcome_; }
    // True while an analysis runs.
    bool busy() const { return job_->running(); }

    QComboBox* cbo_rhythmbin = nullptr;
    QSpinBox* spn_rhythmfrom = nullptr;
    QSpinBox* spn_rhythmto = nullptr; // 0: the end
    QSpinBox* spn_rhythmpmin = nullptr;
    QSpinBox* spn_rhythmpmax = nullptr;
    QDoubleSpinBox* spn_rhythmalpha = nullptr;
    QSpinBox* spn_rhythmactobin = nullptr;
    QCheckBox* chk_rhythmlight = nullptr;
    QSpinBox* spn_rhythmon = nullptr;
    QSpinBox* spn_rhythmoff = nullptr;
    QCheckBox* chk_rhythmperwell = nullptr;
    QPushButton* cmd_rhythmcalc = nullptr;
    QPushButton* cmd_rhythmsave = nullptr;
    QLabel* lbl_rhythmschedule = nullptr;
    QProgressBar* prg_rhythm = nullptr;
    QComboBox* cbo_rhythmplot = nullptr; // the groups, then the wells
    SurfaceWidget* pic_rhythmactogram = nullptr;
    SurfaceWidget* pic_rhythmperiodogram = nullptr;
    QTableWidget* grd_rhythmgroups = nullptr;
    QTableWidget* grd_rhythmwells = nullptr;
    QPlainTextEdit* txt_rhythmmessages = nullptr;
    QMenu* mn_rhythmplot = nullptr; // "Export .BMP" of the plot clicked

  private:
    void build();
    // Analyses with the controls' request (on its own thread), then writes
    // the files when asked.
    void run(bool save);
    void showResult();
    void drawPlots();
    void exportPlot(SurfaceWidget* plot, const char* fileName);

    Ports& ports_;
    LightHoursControls light_;
    std::unique_ptr<AnalysisJob> job_;
    std::string acquisitionPath_, programFolder_;
    // An acquisition chosen while an analysis ran: opened when it ends.
    std::optional<std::pair<std::string, std::string>> pendingOpen_;
    RhythmOutcome outcome_;
    SurfaceWidget* menuPlot_ = nullptr;
};

// The browser's "Rhythm...": the window over the browser (the one opened
// before when there is one) for the chosen acquisition.
void openRhythmWindow(QWidget& browser, Ports& ports, const std::string& acquisitionPath,
                      const std::string& programFolder);

} // namespace trv
