// The about window: the version line (set when the window loads) and a few
// static lines about the program.
#pragma once

#include <QDialog>

class QLabel;

namespace trv {

class Frm_About : public QDialog {
    Q_OBJECT
  public:
    explicit Frm_About(QWidget* parent = nullptr);

    // "Version 0.1.0".
    static QString versionLine();

  private:
    QLabel* Label_version = nullptr;
};

} // namespace trv
