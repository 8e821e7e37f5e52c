// The dose-response window, opened from the report window: the table of the
// acquisition's groups with their compound and concentration (saved as
// doses.csv), the response window, "Fit curves", and the plot of the chosen
// compound with what the fit found. Its work is DoseEditor's.
#pragma once

#include "analysis/DoseEditor.h"
#include "common/Ports.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace trv {

class SurfaceWidget;

class frm_doseresponse : public QWidget {
    Q_OBJECT
  public:
    explicit frm_doseresponse(Ports& ports, QWidget* parent = nullptr);

    // Loads the acquisition's groups and doses and shows the window.
    void open(const std::string& acquisitionPath, const std::string& programFolder,
              const std::string& basalChoice);

    DoseEditor& editor() { return editor_; }
    const DoseResponseOutcome& outcome() const { return outcome_; }

    QTableWidget* grd_doses = nullptr;
    QLineEdit* txt_doseunit = nullptr;
    QLineEdit* txt_dosefrom = nullptr;
    QLineEdit* txt_doseto = nullptr;
    QLabel* lbl_dosebasal = nullptr;
    QPushButton* cmd_dosesave = nullptr;
    QPushButton* cmd_dosefit = nullptr;
    QComboBox* cmb_dosecompound = nullptr;
    SurfaceWidget* pic_doseplot = nullptr;
    QPlainTextEdit* txt_dosemessages = nullptr;

  private:
    void build();
    void showTable();
    // Copies what the user typed into the editor.
    void takeTable();
    void showMessages(const std::vector<std::string>& lines);
    void fit();
    void drawPlot();

    Ports& ports_;
    DoseEditor editor_;
    DoseResponseOutcome outcome_;
};

// The report window's "Dose-response...": the window over the report window
// (the one opened before when there is one) for the acquisition.
void openDoseResponseWindow(QWidget& reportWindow, Ports& ports, const std::string& acquisitionPath,
                            const std::string& programFolder, const std::string& basalChoice);

} // namespace trv
