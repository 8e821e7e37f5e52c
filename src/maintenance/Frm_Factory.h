// The factory settings window: serial label, the sensor's calibration state,
// the temperature read every second, and SET with a reference temperature.
// Closing it stops the timer and hands back to the window it came from.
#pragma once

#include "maintenance/FactorySettings.h"

#include <QWidget>

#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace trv {

class Frm_Factory : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* Caption = "Factory Settings";

    Frm_Factory(SharedState& state, Ports& ports, QWidget* parent = nullptr);

    // Opens the window: fills it and starts Timer_temp.
    void open();
    FactorySettings& model() { return model_; }

    // Called when the window has been closed.
    std::function<void()> onClosed;

    QLabel* lblserial = nullptr;
    QLineEdit* txt_mensaje = nullptr;
    QGroupBox* Frame_temp = nullptr;
    QLineEdit* txt_current_temp = nullptr;
    QLineEdit* txt_set_temp = nullptr;
    QPushButton* Cmd_temp = nullptr;
    QTimer* Timer_temp = nullptr;

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void sync();
    FactorySettings model_;
};

} // namespace trv
