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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kHelp =
    "Usage: trelvane [/run]\n"
    "The desktop program of the 384-beam multi-well activity reader: set up a project,\n"
    "calibrate the instrument, record acquisitions and make their reports.\n"
    "\n"
    "  /run       connect to the instrument and start the current project's acquisition\n"
    "             unattended (the program restarts itself this way after link errors);\n"
    "             without a display it ends when the acquisition's lapse has passed\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "Environment:\n"
    "  TRELVANE_HOME     program folder (config.dat, plate formats, projects); default:\n"
    "                    the executable's folder, or $XDG_DATA_HOME/trelvane when that\n"
    "                    folder is not writable (an installed program)\n"
    "  TRELVANE_COM_DIR  folder holding the serial ports as COM1, COM2, ... (default:\n"
    "                    port COMn is /dev/ttyS<n-1>)\n"
    "  QT_QPA_PLATFORM   offscreen: run without a display (messages go to stderr)\n"
    "\n"
    "Batch work on stored acquisitions: trelvane-cli --help. The simulated instrument:\n"
    "trelvane-sim --help.\n";

// True when Qt would find no display to open: no platform chosen (by
// QT_QPA_PLATFORM or -platform) and neither an X nor a Wayland display.
bool noDisplayToOpen(int argc, char** argv) {
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    if (set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY"))
        return false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return false;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display too; "/run"
    // stays the only switch that changes what the program does.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("trelvane %s\n", TRELVANE_VERSION);
            return 0;
        }
    }
    // Qt would abort with a page about platform plugins; one line says what
    // to do instead.
    if (noDisplayToOpen(argc, argv)) {
        std::fputs("trelvane: no display; to record the current project without one, run: "
                   "QT_QPA_PLATFORM=offscreen trelvane /run\n",
                   stderr);
        return 1;
    }
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
