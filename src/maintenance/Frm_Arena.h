// The calibration workbench window. Controls carry the names the technician's
// documents use; every event goes to the Workbench core object, and the
// controls are filled again from it afterwards.
#pragma once

#include "maintenance/Workbench.h"

#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QTimer;

namespace trv {

class SurfaceWidget;

class Frm_Arena : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* Caption = "Channel Calibration Workbench";
    static constexpr int kSamplingMs = 50; // Timerreal

    Frm_Arena(SharedState& state, Ports& ports, QWidget* parent = nullptr);

    // Opens the window with the project's target and mode.
    void open();
    Workbench& model() { return model_; }
    // Copies the core object's fields into the controls.
    void sync();

    QPushButton* cmdexit = nullptr;
    QPushButton* cmdoffline = nullptr;
    QPushButton* cmdonline = nullptr;
    QPushButton* cmdmain = nullptr;
    QPushButton* cmdsetup = nullptr;
    QPushButton* cmdofflinewin = nullptr;
    QComboBox* Combofila = nullptr;
    QComboBox* Combocol = nullptr;
    QLabel* lblcanal = nullptr;
    QLabel* lblstatus = nullptr;
    QLineEdit* txtpower = nullptr;
    QScrollBar* scrollpower = nullptr;
    QLineEdit* txtgain = nullptr;
    QScrollBar* scrollgain = nullptr;
    QLabel* lblout = nullptr;
    QPushButton* Cmd_setall = nullptr;
    QLineEdit* txt_power = nullptr;
    QLineEdit* txt_ganancia = nullptr;
    QPushButton* cmd_setcalibra = nullptr;
    QLineEdit* Txtajuste = nullptr;
    QComboBox* Combomode = nullptr;
    QPushButton* Cmdcalibrar = nullptr;
    QLabel* lblcalibrando = nullptr;
    QPushButton* cmdTEST = nullptr;
    QLineEdit* txt_test = nullptr;
    QProgressBar* picturecal = nullptr;
    QLineEdit* txt_threshold = nullptr;
    QScrollBar* Scroll_threshold = nullptr;
    QLineEdit* txtzoom = nullptr;
    QPushButton* cmdzoom_plus = nullptr;
    QPushButton* cmdzoom_minus = nullptr;
    SurfaceWidget* Picwell = nullptr;
    SurfaceWidget* Picreal = nullptr;
    SurfaceWidget* Picwell_out = nullptr;
    QLineEdit* txt_pixsize = nullptr;
    QLineEdit* txt_brillo = nullptr;
    QPushButton* cmdbrillo_plus = nullptr;
    QPushButton* cmdbrillo_minus = nullptr;
    QTimer* Timerreal = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

  private:
    void build();
    void wire();
    template <typename F> void run(F&& f);

    Workbench model_;
    bool syncing_ = false;
};

} // namespace trv
