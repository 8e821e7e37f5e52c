// What the main window gives the acquisition run and its calibration: the
// hooks (everything only a window can do) and the menu switches that steer
// them.
#pragma once

#include <functional>
#include <string>

namespace trv {

// What only the main window can do. Every hook may be left empty.
struct RunHooks {
    // Timeradq (30 ms): started with true, stopped with false.
    std::function<void(bool)> setTimer;
    // Enabled state of CmdPlay, CmdPause, Cmdsetup (">Edit") and Cmdoffline
    // ("<< Back").
    std::function<void(bool)> enableCmdPlay;
    std::function<void(bool)> enableCmdPause;
    std::function<void(bool)> enableCmdsetup;
    std::function<void(bool)> enableCmdoffline;
    // Locks (true) or unlocks the comments box (txt_description).
    std::function<void(bool)> lockComments;
    // Locks (true) or unlocks the organism choice (cmb_organism) and the SNR
    // box (txt_snr_umbral).
    std::function<void(bool)> lockOrganism;
    // Enabled state of chk_bodybends.
    std::function<void(bool)> enableBodyBends;
    // The text of the comments box, written to subproj.dat at Play.
    std::function<std::string()> commentsText;
    // Stops the device-test timer (Timer_test).
    std::function<void()> stopTestTimer;
    // Opens the setup window (Frm_setup) and hides the main window.
    std::function<void()> openSetup;
    // Hides the setup and offline windows.
    std::function<void()> hideOtherWindows;
    // Play, before the disk check: prepares the live plot of the current
    // plot type.
    std::function<void()> prepareLivePlot;
    // Play, once the start calibration is done: display scales reset
    // (LiveDisplay::acquisitionStarted with the cleared arrays).
    std::function<void()> acquisitionStarted;
    // Read Blank: the signal view's group list (LiveDisplay::blankStarted).
    std::function<void()> blankStarted;
    // Tick: the signal view's refresh once per start or resume
    // (SignalView::refreshAfterStart).
    std::function<void()> refreshSignalAfterStart;
    // Every second tick: SignalView::drawNewSamples (the run sets the
    // temperature label right after).
    std::function<void()> drawNewSamples;
    // Every time the real-time window counter wraps: toggle the signal
    // view's traceColourFlag.
    std::function<void()> toggleTraceColour;
    // Block end: LivePlots::refreshActivePlot.
    std::function<void()> refreshActivePlot;
    // Lapse end: "Show my report" (Cmdreport). With autoreport true the
    // report window's "Autoreport" box is set first.
    std::function<void(bool autoreport)> showReport;
    // Lapse end with "User Defined BIN size": the main window is shown again.
    std::function<void()> showMainWindow;
    // Automatic restart: ends this program at once, without the exit
    // question (the new instance has already been started).
    std::function<void()> quitProgram;
    // Body-bends mode switched: show (true) or hide the histogram plot
    // button (Cmd_histoplot).
    std::function<void(bool)> showHistogramButton;
};

// Menu entries and switches of the main window that steer the run.
struct RunSwitches {
    bool autoCalibration = true; // "Auto   Calibration" (Enab_Cal)
    bool autoZero = true;        // "Auto   Zero" (Enab_Zero)
    bool autoRestart = false;    // "AutoRestart on ComError"
    bool userBinSize = false;    // "User Defined BIN size"
};

} // namespace trv
