#include "acquisition/Startup.h"

#include "acquisition/AcquisitionRun.h"

#include "common/Numeric.h"
#include "store/ConfigFile.h"
#include "store/DetectionThreshold.h"
#include "store/ProjectFile.h"
#include "store/ReportConfigFile.h"

#include <exception>

namespace trv {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// How long load() lets window events run for one timer step before it
// performs the step itself (a stopped event loop must not hang the start).
constexpr int kStepWaitRounds = 500;
constexpr int kStepWaitSleepMs = 10;

} // namespace

bool isRunSwitch(std::string_view commandLine) {
    size_t b = 0, e = commandLine.size();
    while (b < e && isBlank(commandLine[b]))
        ++b;
    while (e > b && isBlank(commandLine[e - 1]))
        --e;
    std::string_view t = commandLine.substr(b, e - b);
    return t == "/run" || t == "/RUN" || t == "/Run";
}

std::string commandLineOf(const std::vector<std::string>& args) {
    std::string line;
    for (size_t i = 0; i < args.size(); ++i) {
        if (i) line += ' ';
        line += args[i];
    }
    return line;
}

const std::vector<std::string>& organismChoices() {
    static const std::vector<std::string> choices = {"C elegans(>L4)", "Zebrafish(Larvae)",
                                                     "Echinococcus", "Drosophila"};
    return choices;
}

const std::vector<std::string>& lapseChoices() {
    static const std::vector<std::string> choices = {"15",  "30",  "60",  "120", "180",
                                                     "240", "360", "480", "720", "1440"};
    return choices;
}

std::string snrBoxText(int snrX10) {
    if (snrX10 == 0) return "1.8";
    return fixedDecimals(snrX10 / 10.0, 1);
}

std::string defaultAcquisitionName(const SharedState& s) {
    return s.setup.Name + "_" + std::to_string(s.config.Actual_Project_Number);
}

std::string plateFormatCaption(const std::string& plateFormat) {
    std::string code = plateFormat;
    if (!code.empty() && (code[0] == 'w' || code[0] == 'W')) code.erase(0, 1);
    return code + " Microplate";
}

std::string detectionText(const ProjectSetup& setup) {
    static const char* const names[] = {"C.elegans", "Zebrafish", "Echinococcus", "Drosophila"};
    const int organism = setup.Mn[0][0];
    const bool known = organism >= 0 && organism <= 3;
    const int snrX10 = detectionSnrX10(setup);
    return "Detection Mode" + std::to_string(setup.DSP_Method) + ", " +
           (known ? names[organism] : "") + " [snr " + fixedDecimals(snrX10 / 10.0, 1) + "]";
}

std::string closingQuestion(const SharedState& s) {
    return "Update values to project " + std::to_string(s.config.Actual_Project_Number) + "_" +
           s.setup.Name + " before Exit?";
}

Startup::Startup(SharedState& state, Ports& ports, StartupHooks h)
    : hooks(std::move(h)), s_(state), ports_(ports) {}

void Startup::news(const char* text) {
    ports_.status.setText(status::NewsLine, text);
    ports_.status.repaint();
}

void Startup::timerTick() {
    if (hooks.stopTimer) hooks.stopTimer();
    switch (startupStep) {
    case 0:
        news(kNewsReadingConfig);
        break;
    case 1:
        news(kNewsConfigOk);
        break;
    case 2:
        news(kNewsNotConnected);
        break;
    case 3:
        ports_.status.repaint();
        break;
    case 4:
        break;
    case 5:
        if (!runSwitch) break;
        if (hooks.showMainMaximized) hooks.showMainMaximized();
        // Connect calls startRunStep(), which arms step 6.
        if (hooks.connect) hooks.connect();
        break;
    case 6:
        if (!runSwitch) break;
        if (hooks.showMain) hooks.showMain();
        if (hooks.play) hooks.play(kAutorunName);
        break;
    default:
        break;
    }
    startupStepDone = true;
}

void Startup::startRunStep() {
    startupStep = 6;
    startupStepDone = false;
    if (hooks.startTimer)
        hooks.startTimer();
    else
        timerTick();
}

void Startup::runStepAndWait(int step) {
    startupStep = static_cast<int16_t>(step);
    startupStepDone = false;
    if (!hooks.startTimer) {
        timerTick();
        return;
    }
    hooks.startTimer();
    for (int round = 0; !startupStepDone && round < kStepWaitRounds; ++round) {
        ports_.pump.processEvents();
        if (!startupStepDone) ports_.clock.sleepMs(kStepWaitSleepMs);
    }
    if (!startupStepDone) timerTick();
}

bool Startup::load(const std::string& commandLine) {
    try {
        s_.Offline_Mode = false;
        s_.Blank_Mode = false;
        s_.BodyBends_Mode = false;
        s_.recording = false;
        s_.Manual_Calibration = false;
        s_.Startup_Stage = 0;
        startupStep = 0;
        if (hooks.showTestDeviceEntry) hooks.showTestDeviceEntry();

        runSwitch = isRunSwitch(commandLine);
        if (runSwitch) {
            ports_.clock.sleepMs(500);
            ports_.pump.processEvents();
            ports_.clock.sleepMs(500);
        }

        if (s_.Program_Folder.empty()) s_.Program_Folder = programFolder();
        if (!configFileExists(s_.Program_Folder)) {
            ports_.prompter.show(kConfigMissing);
            if (hooks.endProgram) hooks.endProgram(1);
            return false;
        }

        s_.Startup_Stage = 1;
        loadConfig(s_, ports_.prompter);
        s_.Startup_Stage = 2;

        resolveProjectFolder(s_);
        s_.Startup_Stage = 3;

        if (hooks.showLauncher) hooks.showLauncher(false);
        runStepAndWait(0);

        loadProject(s_, s_.config.Actual_Project_Number, ports_);
        s_.Startup_Stage = 4;
        runStepAndWait(1);

        if (hooks.fillTools) hooks.fillTools();
        s_.Startup_Stage = 5;
        if (hooks.fillSettings) hooks.fillSettings();
        bool userDefined = loadReportConfig(s_, 1, ports_.prompter, ports_.locale) == 1;
        if (hooks.reportConfigLoaded) hooks.reportConfigLoaded(userDefined);
        if (hooks.fillPickers) hooks.fillPickers();
        runStepAndWait(2);

        if (hooks.displayDefaults) hooks.displayDefaults();
        s_.Acq_State = 0;
        s_.Startup_Stage = 7;
        runStepAndWait(3);
        s_.Startup_Stage = 8;
        runStepAndWait(4);
        if (hooks.enableLauncher) hooks.enableLauncher();
        s_.Startup_Stage = 9;

        if (runSwitch) {
            startupStep = 5;
            startupStepDone = false;
            if (hooks.startTimer)
                hooks.startTimer();
            else
                timerTick();
        }
        return true;
    } catch (const std::exception&) {
        ports_.prompter.show(kInitErrorPrefix + std::to_string(s_.Startup_Stage));
        if (hooks.endProgram) hooks.endProgram(1);
        return false;
    }
}

void Startup::closing() {
    try {
        if (!s_.Offline_Mode) {
            if (ports_.prompter.askYesNo(closingQuestion(s_))) {
                saveProject(s_);
                ports_.clock.sleepMs(300);
                ports_.pump.processEvents();
                ports_.clock.sleepMs(300);
            }
        }
    } catch (const std::exception&) {
        // A failure here goes straight on to closing the port and ending.
    }
    if (hooks.closePort) hooks.closePort();
}

} // namespace trv
