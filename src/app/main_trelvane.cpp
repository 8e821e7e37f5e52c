// trelvane: the desktop program. Its only command-line switch is "/run",
// which connects to the instrument and starts an acquisition unattended.
#include "acquisition/Startup.h"
#include "app/QtApplication.h"
#include "app/QtPorts.h"
#include "app/TrelvaneApp.h"
#include "common/RunLog.h"
#include "display/Frm_Main.h"
#include "store/ConfigFile.h"
#include "store/Module1.h"

#include <QApplication>
#include <QGuiApplication>

#include <csignal>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // A file-size limit makes a data write fail (and the run say so) instead
    // of ending the program in the middle of an acquisition.
    std::signal(SIGXFSZ, SIG_IGN);
    trv::QtApplication app(argc, argv);
    QApplication::setApplicationName("trelvane");
    // The launcher and the working windows replace one another; the program
    // ends through its own exit paths, never because a window was hidden.
    QApplication::setQuitOnLastWindowClosed(false);

    std::vector<std::string> args(argv + 1, argv + argc);
    const std::string commandLine = trv::commandLineOf(args);

    trv::SharedState& state = trv::Module1::state();
    state.Program_Folder = trv::programFolder();
    trv::runlog::open(state.Program_Folder, "trelvane");
    trv::runlog::info("program started" +
                      (commandLine.empty() ? std::string() : " with " + commandLine));

    trv::QtPortSet ports;
    // Without a display (the offscreen platform) nobody can answer a message
    // box: messages go to the standard error and answer themselves.
    const bool noDisplay = QGuiApplication::platformName() == "offscreen";
    ports.prompter.headless = noDisplay;
    app.showFailure = [&ports](const std::string& text) { ports.prompter.show(text); };

    trv::TrelvaneApp trelvane(state, ports.ports);
    // Unattended without a display: the program ends when the acquisition's
    // lapse has passed, so a script can wait for it.
    trelvane.main().closeWhenUnattendedRunEnds = noDisplay && trv::isRunSwitch(commandLine);
    trelvane.main().headless = noDisplay;
    int code = 0;
    if (!trelvane.start(commandLine))
        code = trelvane.ended() ? trelvane.exitCode() : 1;
    else if (trelvane.ended())
        code = trelvane.exitCode();
    else
        code = app.exec();
    trv::runlog::info("program ended (exit code " + std::to_string(code) + ")");
    return code;
}
