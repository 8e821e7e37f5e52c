// trelvane: the desktop program. Its only command-line switch is "/run",
// which connects to the instrument and starts an acquisition unattended.
#include "acquisition/Startup.h"
#include "app/QtPorts.h"
#include "app/TrelvaneApp.h"
#include "display/Frm_Main.h"
#include "store/ConfigFile.h"
#include "store/Module1.h"

#include <QApplication>
#include <QGuiApplication>

#include <string>
#include <vector>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("trelvane");
    // The launcher and the working windows replace one another; the program
    // ends through its own exit paths, never because a window was hidden.
    QApplication::setQuitOnLastWindowClosed(false);

    std::vector<std::string> args(argv + 1, argv + argc);
    const std::string commandLine = trv::commandLineOf(args);

    trv::SharedState& state = trv::Module1::state();
    state.Program_Folder = trv::programFolder();

    trv::QtPortSet ports;
    // Without a display (the offscreen platform) nobody can answer a message
    // box: messages go to the standard error and answer themselves.
    const bool noDisplay = QGuiApplication::platformName() == "offscreen";
    ports.prompter.headless = noDisplay;

    trv::TrelvaneApp trelvane(state, ports.ports);
    // Unattended without a display: the program ends when the acquisition's
    // lapse has passed, so a script can wait for it.
    trelvane.main().closeWhenUnattendedRunEnds = noDisplay && trv::isRunSwitch(commandLine);
    trelvane.main().headless = noDisplay;
    if (!trelvane.start(commandLine)) return trelvane.ended() ? trelvane.exitCode() : 1;
    if (trelvane.ended()) return trelvane.exitCode();
    return app.exec();
}
