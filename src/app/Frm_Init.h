// The launcher: shown while the program starts and whenever a working window
// is left; shows the start-up progress and the instrument status in its news
// line and offers the four choices.
#pragma once

#include "common/Ports.h"
#include "store/Module1.h"

#include <QFrame>
#include <QLabel>
#include <QWidget>

#include <array>
#include <functional>

namespace trv {

class Frm_Init : public QWidget {
    Q_OBJECT
  public:
    Frm_Init(SharedState& state, Ports& ports, QWidget* parent = nullptr);

    // What the four choices do; the program wires them to its windows.
    std::function<void()> onSetup;     // "Setup a New Project"
    std::function<void()> onRunLatest; // "Run Latest Project"
    std::function<void()> onOffline;   // "Analyze recorded experiments"
    std::function<void()> onQuit;      // "EXIT" answered Yes

    QLabel* newsLine() const { return LblNews; }
    // Runs option 1 to 4 as a click would.
    void choose(int option);

    static const char* versionText();
    static const char* makerUrl();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Closing the launcher is its "EXIT" choice.
    void closeEvent(QCloseEvent* event) override;

  private:
    void highlight(int option);

    SharedState& state_;
    Ports& ports_;
    QLabel* LblNews = nullptr;
    QLabel* Label_version = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    std::array<QFrame*, 4> frames_{};
    std::array<QLabel*, 4> labels_{};
};

} // namespace trv
