// Start-up and shutdown of the main window, without the window: the load
// sequence (configuration, project, report options, filling the controls,
// with Startup_Stage telling how far it got), the start-up timer's steps and
// their news-line texts, the run switch, and the closing procedure.
//
// The window owns the real timer (Timerinicio, 500 ms) and its controls; it
// hands them in as hooks and calls timerTick() from the timer.
#pragma once

#include "common/Ports.h"
#include "store/Module1.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace trv {

inline constexpr const char* kNewsReadingConfig = "STARTING........... Reading Configuration...";
inline constexpr const char* kNewsConfigOk = "STARTING........... Configuration OK...";
inline constexpr const char* kNewsNotConnected = "status = not connected yet";
inline constexpr const char* kInitErrorPrefix = "Error loading INIT parameters #ERROR:";
inline constexpr int kStartupTimerMs = 500;

// True when the whole command line, without leading and trailing blanks, is
// "/run", "/RUN" or "/Run".
bool isRunSwitch(std::string_view commandLine);

// The program's arguments joined into one command line (blank-separated), as
// the run switch is read from it.
std::string commandLineOf(const std::vector<std::string>& args);

// The organism choices of the main window's list.
const std::vector<std::string>& organismChoices();

// The programmed lapses offered, in minutes.
const std::vector<std::string>& lapseChoices();

// What the SNR box shows for a stored SNRx10: the value / 10 with one
// decimal, "1.8" when nothing is stored (0).
std::string snrBoxText(int snrX10);

// The name offered for a new acquisition: project name + "_" + number.
std::string defaultAcquisitionName(const SharedState& s);

// The plate format's caption in the window header: "w96f" gives
// "96f Microplate".
std::string plateFormatCaption(const std::string& plateFormat);

// The detection summary of the window header: "Detection Mode1, C.elegans
// [snr 1.8]" (SNRx10 0 shows the organism's usual value).
std::string detectionText(const ProjectSetup& setup);

// The closing question: "Update values to project 3_Larvae before Exit?".
std::string closingQuestion(const SharedState& s);

// What the window does for the start-up. Every hook may be left empty.
struct StartupHooks {
    // Timerinicio: start (500 ms) and stop. The window calls
    // Startup::timerTick() when it fires.
    std::function<void()> startTimer;
    std::function<void()> stopTimer;
    // The launcher shown (enabled or not) and the main window hidden.
    std::function<void(bool enabled)> showLauncher;
    std::function<void()> enableLauncher;
    // The "Test DEVICE" menu entry made visible.
    std::function<void()> showTestDeviceEntry;
    // Fill the window's controls from the project settings, in three
    // stages: the tool frames, the organism list, the SNR box and the
    // organism with its preset (fillTools); then the SNR value, the
    // calibration switches, the temperature and light panels, manual
    // calibration off and the lapse list (fillSettings); after the report
    // options loaded (reportConfigLoaded, userDefined: the user's own
    // configuration is in force, the "User Defined BIN size" check), the
    // group list, the channel picker and the default acquisition name
    // (fillPickers).
    std::function<void()> fillTools;
    std::function<void()> fillSettings;
    std::function<void(bool userDefined)> reportConfigLoaded;
    std::function<void()> fillPickers;
    // Per-beam display defaults, idle state, Pause disabled, display scales.
    std::function<void()> displayDefaults;
    // Step 5 of the run switch: launcher hidden, main window maximised.
    std::function<void()> showMainMaximized;
    // The main window's Connect (it starts the timer with step 6 when the
    // run switch is set: see startRunStep).
    std::function<void()> connect;
    // Step 6: main window shown and an acquisition started with this name,
    // without questions.
    std::function<void()> showMain;
    std::function<void(const std::string& name)> play;
    // The closing procedure's serial port close.
    std::function<void()> closePort;
    // End the program (exit code 0 normally, 1 after a failed start-up).
    std::function<void(int code)> endProgram;
};

class Startup {
  public:
    Startup(SharedState& state, Ports& ports, StartupHooks hooks = {});

    // What the window does; may be filled after construction.
    StartupHooks hooks;

    // Unattended mode: set by load() from the command line, forgotten when
    // the acquisition stops.
    bool runSwitch = false;
    int16_t startupStep = 0;
    bool startupStepDone = false;

    // The load sequence. False when the program has to end (no config.dat,
    // or a failure, after its message); endProgram has been called then.
    bool load(const std::string& commandLine);

    // Timerinicio_Timer: stops the timer and performs startupStep.
    void timerTick();

    // Connect's hook for the run switch: step 6 and the timer started.
    void startRunStep();

    // Stopping an acquisition ends unattended mode.
    void forgetRunSwitch() { runSwitch = false; }

    // Closing the main window: the question (unless offline), the project
    // saved on Yes, the serial port closed. The caller then ends the program.
    void closing();

  private:
    // Starts the timer with a step and lets window events run until that
    // step has been performed.
    void runStepAndWait(int step);
    void news(const char* text);

    SharedState& s_;
    Ports& ports_;
};

} // namespace trv
