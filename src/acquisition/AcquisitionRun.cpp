#include "acquisition/AcquisitionRun.h"

#include "common/Files.h"
#include "common/Numeric.h"
#include "common/RunLog.h"
#include "device/Connection.h"
#include "device/ModCOMM.h"
#include "store/AcquisitionRecord.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <unistd.h>
#include <vector>

namespace trv {

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr int kComErrorShown = 20; // bad ticks before "<COM ERROR>"
constexpr int kComErrorRestart = 30;
// Tiny allowance for the binary difference of two serial day numbers, so
// that exactly one minute never floors to 0 (well below a millisecond).
constexpr double kMinuteEpsilon = 1e-6;

template <typename F, typename... A> void call(const F& f, A&&... a) {
    if (f) f(std::forward<A>(a)...);
}

const char* const kOrganisms[] = {"C elegans(>L4)", "Zebrafish(Larvae)", "Echinococcus",
                                  "Drosophila"};
// The organism box text of a stored organism number at start-up.
const char* const kOrganismTexts[] = {"C elegans(>L4)", "Zebrafish(larvae)", "Echinococcus",
                                      "Drosophila",     "size <100um",       "size 0.1-1mm",
                                      "size >1mm"};

// Cuts a data file back to the size it had before this block's records.
void restoreSize(const std::string& path, long long size) {
    if (size < 0)
        ::unlink(path.c_str());
    else if (fileSize(path) != size)
        (void)::truncate(path.c_str(), size);
}

// The reason a writer gave through errno (set to 0 before the call).
std::string writeFailure(int err) {
    return err != 0 ? std::string(std::strerror(err)) : std::string("the write failed");
}

std::string seconds(double days) {
    return std::to_string(static_cast<long long>(std::llround(days * 86400))) + " s";
}

} // namespace

AcquisitionRun::AcquisitionRun(SharedState& state, Ports& ports)
    : state_(state), ports_(ports), freeDiskMB_(freeDiskSpaceMB),
      printUnattended_(
          [](const std::string& text) { std::fprintf(stderr, "trelvane: %s\n", text.c_str()); }),
      panels_(state, ports), calibration_(state, ports, *this), realtime_(state.setup.RT_Buffer) {}

// --- Helpers -----------------------------------------------------------------

void AcquisitionRun::setTimer(bool on) {
    timerRunning_ = on;
    call(hooks_.setTimer, on);
}

void AcquisitionRun::showStatusFrame(const std::string& caption) {
    ports_.status.setText(status::StatusCaption, caption);
    ports_.status.setVisible(status::StatusFrame, true);
}

void AcquisitionRun::hideStatusFrame() {
    ports_.status.setVisible(status::StatusFrame, false);
}

void AcquisitionRun::restartClock() {
    startTime_ = blockStart_ = ports_.clock.nowDays();
}

void AcquisitionRun::restartCounters() {
    finished_ = false;
    sampleIndex_ = 0;
    ticksSinceStart_ = 0;
    tickCount_ = 0;
    windowCounter_ = 0;
    signalViewCounter_ = 0;
    heldTicks_ = 0;
    numbering_.reset();
}

void AcquisitionRun::blankRestart(bool idle) {
    restartCounters();
    if (idle) comErrorTicks_ = 0;
}

void AcquisitionRun::recordingRestart() {
    sampleIndex_ = 0;
    ticksSinceStart_ = 0;
    windowCounter_ = 0;
    signalViewCounter_ = 0;
    heldTicks_ = 0;
    numbering_.reset();
    realtime_.clearBeamState();
    realtime_.blockCounts.fill(0);
    elapsedMinutes_ = 0;
    elapsedMinutesExact_ = 0;
    startWritten_ = false;
    restartClock();
}

// The status frame with a caption and its line; an unattended run also
// prints the line (once while it stays the same).
void AcquisitionRun::showTrouble(const std::string& caption, const std::string& line,
                                 bool always) {
    showStatusFrame(caption);
    ports_.status.setText(status::StatusLine, line);
    sayUnattended(caption + " " + line, always);
}

void AcquisitionRun::sayUnattended(const std::string& text, bool always) {
    if ((!runSwitch_ && !always) || text == lastPrinted_) return;
    lastPrinted_ = text;
    if (printUnattended_) printUnattended_(text);
}

std::string AcquisitionRun::acquisitionPath() const {
    if (acqFolder_.empty()) return "";
    return joinPath(state_.Project_Folder, acqFolder_);
}

std::string AcquisitionRun::elapsedText(double days) {
    if (days < 0) days = 0;
    const long long total = static_cast<long long>(std::floor(days * 86400 + 1e-4));
    const long long d = total / 86400;
    const long long rest = total % 86400;
    return zeroPadded(rest / 3600, 2) + ":" + zeroPadded(rest / 60 % 60, 2) + ":" +
           zeroPadded(rest % 60, 2) + " [" + std::to_string(d) + "d]";
}

std::string AcquisitionRun::blockProgressLine() const {
    return elapsedText(ports_.clock.nowDays() - startTime_) + " block " +
           std::to_string(blocksEnded_) + ": " + std::to_string(blocksRecorded_) +
           (blocksRecorded_ == 1 ? " record" : " records") + " written";
}

std::string AcquisitionRun::namePrompt() const {
    const std::string stars(49, '*');
    std::string p =
        stars + kCrLf + "***   Enter a Name for this Experiment  ***" + kCrLf + stars + kCrLf;
    if (!switches_.autoCalibration || !switches_.autoZero)
        p += std::string("Comments:") + kCrLf + "~~~~~~~" + kCrLf +
             "> Auto Calibration is OFF: Remember to read Blank." + kCrLf;
    return p;
}

AcquisitionRun::DiskCheck AcquisitionRun::diskCheck(int lapse, long long freeMB) {
    const long long need = roundHalfEven(lapse * 4 / 10.0);
    std::string text = "Programmed Acquisition lapse = " + std::to_string(lapse) +
                       "minutes & RealTime_recording=YES" + kCrLf +
                       "Required Disk space for RealTime Saving = " + std::to_string(need) + "MB" +
                       kCrLf + "Current Disk Space=" + std::to_string(freeMB) + "MB" + kCrLf;
    bool appended = false;
    if (freeMB - need <= 999) {
        text += std::string("LOW DISK SPACE") + kCrLf;
        appended = true;
    }
    if (freeMB - need < 200) {
        text += std::string("NOT ENOUGH DISK SPACE") + kCrLf +
                " (Please, Increase Disk Space Availablility or Deselect Realtime recording)";
        appended = true;
    }
    DiskCheck c;
    c.ask = need > 1000 || appended;
    c.text = std::string("WARNING:") + kCrLf + text + kCrLf + "PROCEED?";
    return c;
}

RealtimeSettings AcquisitionRun::realtimeSettings() const {
    RealtimeSettings r;
    r.DSP_Method = state_.setup.DSP_Method;
    r.DSP_Interval = state_.setup.DSP_Interval;
    r.RT_Buffer = static_cast<int16_t>(realtime_.rtBuffer());
    r.autoZero = switches_.autoZero;
    return r;
}

// --- Play, Pause, Stop -------------------------------------------------------------

bool AcquisitionRun::Play() {
    SharedState& st = state_;
    Prompter& prompter = ports_.prompter;
    call(hooks_.stopTestTimer);

    std::string name;
    if (runSwitch_) {
        name = kAutorunName;
    } else {
        const std::string preset =
            st.setup.Name + "_" + std::to_string(st.config.Actual_Project_Number);
        const InputResult r = prompter.input(namePrompt(), "New Acquisition", preset);
        if (r.cancelled || r.text.empty()) {
            prompter.show("Each Experiment Requires a name");
            return false;
        }
        name = r.text;
    }
    acqName_ = name;
    ports_.status.setText(status::AcquisitionName, name);

    if (st.config.Actual_Project_Number == 0) {
        prompter.show("Operation not allowed in Project #0:Default. Go to <Setup> and Save it "
                      "with another name");
        call(hooks_.openSetup);
        return false;
    }
    if (st.Offline_Mode) {
        prompter.show("Acquisition not allowed in OFFLINE MODE. Connect the equipment and "
                      "restart the program.");
        return false;
    }

    ports_.pump.processEvents(10);
    CommFlush(port());
    ports_.pump.processEvents(10);
    call(hooks_.prepareLivePlot);

    if (st.setup.Save_real == 1 && st.setup.Aq_lapse > 30 && !runSwitch_) {
        const DiskCheck c = diskCheck(st.setup.Aq_lapse, freeDiskMB_(st.Project_Folder));
        if (c.ask && !prompter.askYesNo(c.text)) {
            call(hooks_.openSetup);
            return false;
        }
    }

    // The folder's copy of the project holds the block size actually used.
    st.setup.RT_Buffer =
        static_cast<int16_t>(std::max<int>(st.setup.RT_Buffer, RealtimeProcessor::kMinBuffer));
    // A run that could not write its folder would record nothing while
    // looking busy: it does not start.
    const std::string comments = hooks_.commentsText ? hooks_.commentsText() : std::string();
    const std::string minuteFolder = acquisitionFolderName(ports_.clock.now());
    const std::string folder = createAcquisitionFolder(st, ports_.clock.now(), name, comments);
    if (folder.empty()) {
        prompter.show("Acquisition folder could not be written: " +
                      joinPath(st.Project_Folder, minuteFolder));
        return false;
    }
    if (folder != minuteFolder)
        runlog::warn(joinPath(st.Project_Folder, minuteFolder) +
                     " already holds a run (a restart in its minute); this run records in " +
                     folder);
    st.recording = true;
    acqFolder_ = folder;
    call(hooks_.lockComments, true);

    restartCounters();
    timeCounterStopped_ = false;
    bodyBendsGroup_ = 0;
    bodyBendsLimit_ = 127;
    elapsedMinutes_ = 0;
    elapsedMinutesExact_ = 0;

    st.Acq_State = 1;
    call(hooks_.enableCmdPlay, false);
    call(hooks_.enableCmdsetup, false);
    call(hooks_.enableCmdoffline, false);
    call(hooks_.enableCmdPause, true);
    call(hooks_.hideOtherWindows);
    call(hooks_.lockOrganism, true);

    if (realtime_.rtBuffer() != st.setup.RT_Buffer) realtime_.resize(st.setup.RT_Buffer);
    realtime_.clearForPlay();
    for (auto& beam : bodyBendsHistogram_)
        beam.fill(0);
    bodyBendsLargest_.fill(0);
    readjust_.fill(false);

    st.Temp_SetPoint = leadingNumber(commaAsPoint(panels_.boxes.txttemp));
    panels_.ReadTemperature();
    ports_.status.setText(status::Temperature, temperatureCaption(panels_.temperatureText));

    panels_.StartLightState();

    if (switches_.autoCalibration && !st.Offline_Mode) {
        showStatusFrame("<AUTOCALIBRATION>");
        ports_.status.setProgress(status::Progress, 0, 383);
        if (snr_ < 1.3) snr_ = 1.8;
        calibration_.Calibrate();
        hideStatusFrame();
    }
    if (switches_.autoZero && !st.Offline_Mode && st.Acq_State > 0) {
        showStatusFrame("<AUTOCALIBRATION>");
        ports_.status.setProgress(status::Progress, 0, 100);
        if (snr_ < 1.3) snr_ = 1.8;
        calibration_.Zero();
        hideStatusFrame();
    }

    if (st.Acq_State != 1) return false;
    call(hooks_.acquisitionStarted);
    ticksSinceStart_ = 0;
    startTime_ = blockStart_ = ports_.clock.nowDays();
    call(hooks_.enableBodyBends, false);
    comErrorTicks_ = 0;
    secondsSum_ = 0;
    blocksRecorded_ = 0;
    blocksEnded_ = blocksDropped_ = blocksLost_ = 0;
    heldTicks_ = 0;
    startWritten_ = false;
    rawSavingStopped_ = histogramSavingStopped_ = false;
    linkDown_ = false;
    reopenAttempts_ = 0;
    silentTicks_ = 0;
    foreignLine_.clear();
    runInstrument_ = {};
    runInstrument_.id = st.Device_Id;
    if (st.Device_Connected && st.Factory_Cal_Valid) {
        runInstrument_.factoryRead = true;
        runInstrument_.factory.valid = true;
        runInstrument_.factory.month = st.Factory_Cal_Month;
        runInstrument_.factory.year = st.Factory_Cal_Year;
        runInstrument_.factory.offset = st.Temp_Offset;
        runInstrument_.factory.slope = st.Temp_Slope;
    }
    lastPrinted_.clear();
    tickError_.clear();
    setTimer(true);
    st.Acq_State = 1;
    runlog::info("acquisition started in " + acquisitionPath() + " (\"" + acqName_ + "\"" +
                 (runSwitch_ ? ", unattended" : "") + "): RT_Buffer " +
                 std::to_string(st.setup.RT_Buffer) + ", lapse " +
                 std::to_string(st.setup.Aq_lapse) + " min, raw saving " +
                 (st.setup.Save_real == 1 ? "on" : "off") + ", " + PortName(port()));
    progress();
    return true;
}

void AcquisitionRun::Pause() {
    SharedState& st = state_;
    if (st.Acq_State == 1) {
        if (ports_.prompter.askYesNo("Pause Time Counter?")) {
            setTimer(false);
            st.Acq_State = 2;
            pausedElapsed_ = ports_.clock.nowDays() - startTime_;
            timeCounterStopped_ = true;
            ports_.status.setText(status::StatusLine, "Time Counter = OFF");
        } else {
            st.Acq_State = 2;
            timeCounterStopped_ = false;
            ports_.status.setText(status::StatusLine, "Time Counter = ON");
        }
        showStatusFrame("<< PAUSED >>");
    } else if (st.Acq_State == 2) {
        if (timeCounterStopped_) startTime_ = ports_.clock.nowDays() - pausedElapsed_;
        timeCounterStopped_ = false;
        ticksSinceStart_ = 0;
        comErrorTicks_ = 0;
        setTimer(true);
        st.Acq_State = 1;
        hideStatusFrame();
    }
    progress();
}

std::string AcquisitionRun::blockTotals() const {
    return std::to_string(blocksRecorded_) + " blocks recorded, " +
           std::to_string(blocksDropped_) + " dropped, " + std::to_string(blocksLost_) +
           " not saved";
}

std::string AcquisitionRun::finishedLine() const {
    return "acquisition \"" + acqName_ + "\" finished; data in " + acquisitionPath() + "; " +
           blockTotals();
}

void AcquisitionRun::logRunEnd(const std::string& how) {
    if (!state_.recording || acqFolder_.empty()) return;
    runlog::info("acquisition " + how + " in " + acquisitionPath() + ": " + blockTotals());
}

void AcquisitionRun::Stop() {
    SharedState& st = state_;
    call(hooks_.stopTestTimer);
    if (st.Acq_State == 1 || st.Acq_State == 2) {
        if (!finished_) logRunEnd("stopped");
        call(hooks_.enableCmdPause, false);
        call(hooks_.enableCmdPlay, true);
        st.Acq_State = 0;
        runSwitch_ = false;
    }
    call(hooks_.lockComments, false);
    setTimer(false);
    hideStatusFrame();
    call(hooks_.enableBodyBends, true);

    panels_.SwitchOff();

    call(hooks_.enableCmdsetup, true);
    call(hooks_.enableCmdoffline, true);
    call(hooks_.lockOrganism, false);

    // A blank still being taken ends with the run.
    if (realtime_.blankRunning) {
        realtime_.stopBlank();
        st.Blank_Mode = false;
    }
    calibration_.endBlank();

    ports_.pump.processEvents(10);
    CommFlush(port());
    ports_.clock.sleepMs(5);
    ports_.pump.processEvents(10);
    ports_.status.setVisible(status::BlankLabel, false);
    ticksSinceStart_ = 0;
    progress();
}

// --- The tick -------------------------------------------------------------------

void AcquisitionRun::warmUp() {
    std::string discard;
    for (int s : kGroupStarts) {
        CommFlush(port());
        CommWrite(port(), DeviceFrame(op::BeamSample, s, 0));
        if (CommRead(port(), discard, kGroupBeams) < kGroupBeams ||
            CommRead(port(), discard, kGroupBeams) < kGroupBeams) {
            portGaveUp_ = true;
            break;
        }
    }
    ports_.clock.sleepMs(50);
}

// The groups a tick samples: four, or two in body-bends mode.
int AcquisitionRun::tickGroups(std::array<int, 4>& groups) const {
    if (state_.BodyBends_Mode) {
        groups = {bodyBendsGroup_, bodyBendsGroup_ + 32, 0, 0};
        return 2;
    }
    groups = {0, 32, 64, 96};
    return 4;
}

// A group without a reading holds its previous sample of this block. At the
// block's first sample there is none yet: the row waits for the group's
// first reading of the block, which fills it too. A sample of the block
// before never stays in the block.
void AcquisitionRun::holdGroup(int groupStart) {
    SignalBlock& raw = realtime_.rawBlock;
    if (sampleIndex_ == 0) {
        awaitingReading_[groupSlot(groupStart)] = true;
        return;
    }
    for (int k = 0; k < kGroupBeams; ++k) {
        const int b = BeamOfValue(groupStart, k);
        raw.at(b, sampleIndex_) = raw.at(b, sampleIndex_ - 1);
    }
}

void AcquisitionRun::storeGroup(int groupStart, const BeamGroupSample& g) {
    SignalBlock& raw = realtime_.rawBlock;
    bool& awaiting = awaitingReading_[groupSlot(groupStart)];
    for (int k = 0; k < kGroupBeams; ++k) {
        const int b = BeamOfValue(groupStart, k);
        const int16_t v = g.values[static_cast<size_t>(k)];
        raw.at(b, sampleIndex_) = v;
        if (awaiting)
            for (int i = 0; i < sampleIndex_; ++i)
                raw.at(b, i) = v;
    }
    awaiting = false;
}

// A tick without any exchange (the link is down): every group holds.
AcquisitionRun::TickSample AcquisitionRun::holdAllGroups() {
    std::array<int, 4> groups{};
    const int count = tickGroups(groups);
    for (int i = 0; i < count; ++i)
        holdGroup(groups[static_cast<size_t>(i)]);
    return TickSample{true, true, true};
}

// Samples the groups of this tick into rawBlock at sampleIndex.
AcquisitionRun::TickSample AcquisitionRun::sampleGroups() {
    TickSample t;
    if (state_.Offline_Mode) return t;
    std::array<int, 4> groups{};
    const int count = tickGroups(groups);
    bool lastValid = true;
    int replyBytes = 0;
    for (int i = 0; i < count; ++i) {
        const int s = groups[static_cast<size_t>(i)];
        // Once a read of this tick has waited out the port's time-out, the
        // groups after it hold without asking.
        const BeamGroupSample g = portGaveUp_ ? BeamGroupSample{}
                                              : RequestBeamSample(port(), s, SampleReads::TwoHalves);
        if (g.replyBytes < kBeamSampleBytes) portGaveUp_ = true;
        lastValid = g.valid;
        replyBytes += g.replyBytes;
        if (g.valid) {
            storeGroup(s, g);
        } else {
            t.held = true;
            holdGroup(s);
        }
    }
    t.bad = !lastValid;
    t.silent = replyBytes == 0;
    return t;
}

// Counts bad ticks; true when the program has been restarted (the tick ends).
bool AcquisitionRun::serialHealth(bool bad) {
    if (!bad) {
        comErrorTicks_ = 0;
        return false;
    }
    if (comErrorTicks_ < kComErrorShown) {
        ++comErrorTicks_;
        return false;
    }
    if (!switches_.autoRestart) {
        showTrouble("<COM ERROR>", foreignLine_.empty() ? "VERIFY COM PORT!" : foreignLine_);
        return false;
    }
    showTrouble("<COM ERROR>",
                "Restarting COM.." + std::to_string(kComErrorRestart - comErrorTicks_));
    if (comErrorTicks_ < kComErrorRestart) {
        ++comErrorTicks_;
        return false;
    }
    runlog::warn("restarting the program after " + std::to_string(kComErrorRestart + 1) +
                 " bad ticks in a row (last error: " + CommError.source + ": " + CommError.message +
                 ")");
    logRunEnd("ended by the restart");
    // The new instance opens the port exclusively: this one lets it go first.
    setTimer(false);
    CommClose(port());
    ports_.desktop.startSelf({"/run"});
    call(hooks_.quitProgram);
    return true;
}

// A link that gives no byte at all for a few ticks (adapter unplugged,
// instrument switched off, its program restarted) is reopened on its own,
// every reopenSeconds, until the instrument answers again. Meanwhile the
// ticks go on as bad ticks and the blocks they make are dropped.
void AcquisitionRun::watchLink(bool silent) {
    if (!silent) {
        silentTicks_ = 0;
        if (linkDown_) linkAnswers("answers again");
        return;
    }
    if (++silentTicks_ < kSilentTicksForLinkDown) return;
    const double now = ports_.clock.nowDays();
    if (!linkDown_) {
        linkDown_ = true;
        linkLostAt_ = now;
        nextReopen_ = now;
        reopenError_.clear();
        runlog::warn(PortName(port()) + ": no reply to " + std::to_string(silentTicks_) +
                     " samples in a row (" + CommError.source + ": " + CommError.message +
                     "); reopening the port every " +
                     std::to_string(static_cast<int>(reopenSeconds_)) + " s");
        sayUnattended(PortName(port()) + ": the instrument does not answer; reopening the port");
        progress();
    }
    // The tick has already waited out the port's time-out: the reopening
    // (whose probe may wait out another) is left to the next tick.
    if (now < nextReopen_ || portGaveUp_) return;
    nextReopen_ = now + reopenSeconds_ / 86400;
    if (reopenLink()) linkAnswers("answers again after reopening the port");
}

// Closes and reopens the port and asks the instrument for its identification.
bool AcquisitionRun::reopenLink() {
    ++reopenAttempts_;
    const int p = port();
    CommClose(p);
    std::string error;
    int id = -1;
    if (CommOpen(p, PortName(p), kDeviceLineSettings) != 0) {
        error = CommError.source + ": " + CommError.message;
        CommClose(p); // an open that failed part-way leaves the entry open
    } else if (!IsInstrumentId(id = ProbeDevice(p, ports_.clock))) {
        error = "the port opens but the instrument does not identify itself";
    } else {
        const std::string other = otherInstrument(id);
        if (other.empty()) {
            foreignLine_.clear();
            return true;
        }
        // Another instrument on the run's port: its data would pass for this
        // acquisition's. The link stays down and the port is tried again.
        CommClose(p);
        const std::string line = "a different instrument (id " + std::to_string(id) +
                                 ") answers on " + PortName(p) + "; not recording from it";
        if (line != foreignLine_) {
            foreignLine_ = line;
            runlog::warn(line + " (" + other + ")");
            showTrouble("<COM ERROR>", line, true);
        }
        return false;
    }
    foreignLine_.clear();
    if (error != reopenError_) {
        reopenError_ = error;
        runlog::warn(PortName(p) + ": reopening failed (" + error + "); trying again every " +
                     std::to_string(static_cast<int>(reopenSeconds_)) + " s");
    }
    return false;
}

// Why the instrument answering with identification `id` is not the one the
// run started with ("" when it is): another identification value, or, where
// the factory data was read at the connection, other factory data.
std::string AcquisitionRun::otherInstrument(int id) {
    if (!IsInstrumentId(runInstrument_.id)) return ""; // not known: any instrument
    if (id != runInstrument_.id)
        return "the acquisition started with id " + std::to_string(runInstrument_.id);
    if (!runInstrument_.factoryRead) return "";
    const FactoryCalibration now =
        CheckFactoryRegisters(ReadFactoryRegisters(port(), ports_));
    const FactoryCalibration& was = runInstrument_.factory;
    if (now.valid == was.valid && now.month == was.month && now.year == was.year &&
        now.offset == was.offset && now.slope == was.slope)
        return "";
    return "its factory data differs from the data read at the connection";
}

void AcquisitionRun::linkAnswers(const std::string& how) {
    const double down = ports_.clock.nowDays() - linkLostAt_;
    linkDown_ = false;
    silentTicks_ = 0;
    runlog::info(PortName(port()) + ": the instrument " + how + " after " + seconds(down) +
                 " without replies (" + std::to_string(reopenAttempts_) + " reopenings so far)");
    const std::string line = "Connected on COM[ " + std::to_string(port()) + " ]";
    ports_.status.setText(status::StatusLine, line);
    sayUnattended(line);
    progress();
}

void AcquisitionRun::AcquisitionTick() {
    if (inTick_) return;
    inTick_ = true;
    struct Release {
        bool& flag;
        ~Release() { flag = false; }
    } release{inTick_};

    SharedState& st = state_;
    try {
        if (st.Acq_State == 1) {
            portGaveUp_ = false;
            // While the link is down the tick asks nothing (an instrument
            // that went silent would make every exchange wait for its
            // time-outs): it is a bad tick whose groups hold, and the port is
            // only probed on the reopening schedule.
            if (!st.Offline_Mode && !linkDown_ && (sampleIndex_ <= 1 || ticksSinceStart_ <= 1))
                warmUp();
            const TickSample sample = linkDown_ ? holdAllGroups() : sampleGroups();
            if (sample.held) ++heldTicks_;
            if (serialHealth(sample.bad)) return; // restarted: this instance ends
            if (!st.Offline_Mode) watchLink(sample.silent);
            if (ticksSinceStart_ == st.setup.DSP_Interval) call(hooks_.refreshSignalAfterStart);

            if (onSampleStored_) onSampleStored_(sampleIndex_, realtime_.rawBlock);
            realtime_.processSample(sampleIndex_, ticksSinceStart_, windowCounter_,
                                    realtimeSettings(), st.channels.Channel_Threshold,
                                    st.plate.Channel_Well);
            if (st.Acq_State != 1) return; // the blank session ended in this tick
            if (calibration_.recordingToResume()) {
                // The blank taken during the acquisition ended in this tick:
                // recording starts again with the next sample.
                calibration_.resumeRecording();
                return;
            }

            if (signalViewCounter_ % 2 == 0) {
                call(hooks_.drawNewSamples);
                ports_.status.setText(status::Temperature,
                                      temperatureCaption(panels_.temperatureText));
            }

            ++tickCount_;
            ++sampleIndex_;
            if (sampleIndex_ >= realtime_.rtBuffer()) {
                sampleIndex_ = 0;
                // Whatever became of the block, the lapse is checked below.
                blockEnd();
            }
            updateElapsed();
            // The lapse ends the run at a block boundary; while the instrument
            // does not answer there is no block to finish, and the run ends
            // at once without storing the unfinished one.
            if (elapsedMinutes_ >= st.setup.Aq_lapse && (sampleIndex_ == 0 || linkDown_) &&
                !calibration_.blankInProgress()) {
                if (sampleIndex_ != 0)
                    runlog::warn("the lapse passed while the instrument did not answer: block " +
                                 std::to_string(blocksEnded_ + 1) + " (" +
                                 std::to_string(sampleIndex_) + " of " +
                                 std::to_string(realtime_.rtBuffer()) +
                                 " samples) is not stored");
                lapseEnd();
                return;
            }
            if (sampleIndex_ % 25 == 0) {
                ports_.status.setProgress(status::TimeBar, timeBarPercent(), 100);
                panels_.ApplyPulseProgram(minutesSinceStart());
                panels_.ApplyPendingChange();
            }
            ++signalViewCounter_;
            if (windowCounter_ < st.setup.DSP_Interval) {
                ++windowCounter_;
            } else {
                windowCounter_ = 0;
                call(hooks_.toggleTraceColour);
            }
            ++ticksSinceStart_;
        } else if (st.Acq_State == 2 && !timeCounterStopped_) {
            updateElapsed();
            if (elapsedMinutes_ >= st.setup.Aq_lapse) {
                lapseEnd();
                return;
            }
            ports_.status.setProgress(status::TimeBar, timeBarPercent(), 100);
            panels_.ApplyPulseProgram(minutesSinceStart());
            panels_.ApplyPendingChange();
        }
    } catch (const std::exception& e) {
        // A failure ends this tick without a message; the next one runs as
        // usual. The log keeps it (once while it repeats).
        if (tickError_ != e.what()) {
            tickError_ = e.what();
            runlog::error("a tick ended early: " + tickError_);
        }
    }
}

double AcquisitionRun::minutesSinceStart() const {
    return (ports_.clock.nowDays() - startTime_) * 1440;
}

double AcquisitionRun::timeBarPercent() const {
    if (state_.setup.Aq_lapse <= 0) return 100;
    return std::min(100.0, 100.0 * elapsedMinutes_ / state_.setup.Aq_lapse);
}

void AcquisitionRun::updateElapsed() {
    double days = ports_.clock.nowDays() - startTime_;
    // A clock set back (a correction, the end of summer time) never takes
    // the run's time back: the start moves back with it, so the records'
    // minutes go on from where they were and the lapse keeps its length.
    const double reached = elapsedMinutesExact_ / 1440;
    if (days < reached - 0.01 / 1440) {
        runlog::warn("the clock went back " + seconds(reached - days) +
                     "; the acquisition's time goes on from " + elapsedText(reached));
        startTime_ -= reached - days;
        days = reached;
    }
    ports_.status.setText(status::ElapsedTime, elapsedText(days));
    elapsedMinutes_ = static_cast<int32_t>(std::floor(days * 1440 + kMinuteEpsilon));
    elapsedMinutesExact_ = roundDecimals(days * 1440, 2);
}

bool AcquisitionRun::lapseEnd() {
    finished_ = true;
    logRunEnd("finished at its lapse");
    setTimer(false);
    panels_.SwitchOff();
    if (switches_.userBinSize) {
        call(hooks_.showReport, true);
        call(hooks_.showMainWindow);
    } else {
        call(hooks_.showReport, false);
        ports_.prompter.show("Acquisition finished");
    }
    call(hooks_.enableBodyBends, true);
    Stop();
    return true;
}

void AcquisitionRun::blockEnd() {
    SharedState& st = state_;
    const int rt = realtime_.rtBuffer();
    const int held = heldTicks_;
    heldTicks_ = 0;
    ++blocksEnded_;
    try {
        const double now = ports_.clock.nowDays();
        secondsPerSample_ = roundDecimals((now - blockStart_) * 86400 / rt, 3);

        // An instrument that has just not answered is not asked again: its
        // reading would only wait out the port's time-out once more.
        const double t = portGaveUp_ || linkDown_ ? panels_.TemperatureNotAsked()
                                                  : panels_.ReadTemperature();
        ports_.status.setText(status::Temperature, temperatureCaption(panels_.temperatureText));
        panels_.RegulateTemperature(t);
        panels_.ApplyLightSchedule();

        // Mostly held samples are copies, not measurements: such a block is
        // neither analysed (its thresholds would follow the copies) nor
        // stored; the gap shows in the record times.
        const bool trusted = held <= mostHeldShare_ * rt;
        if (trusted && switches_.autoZero) {
            if (onBlockAnalysis_) onBlockAnalysis_();
            blockAnalysis();
        }
        if (st.BodyBends_Mode) {
            bodyBendsGroup_ = static_cast<int16_t>(bodyBendsGroup_ + 64);
            if (bodyBendsGroup_ >= bodyBendsLimit_) bodyBendsGroup_ = 0;
        }
        if (std::any_of(readjust_.begin(), readjust_.end(), [](bool b) { return b; })) {
            if (trusted) calibration_.ReAdjust(readjust_);
            readjust_.fill(false);
        }
        call(hooks_.refreshActivePlot);

        if (st.recording) {
            if (!trusted) {
                ++blocksDropped_;
                runlog::warn("block " + std::to_string(blocksEnded_) + " at minute " +
                             std::to_string(elapsedMinutes_) +
                             " not stored: " + std::to_string(held) + " of " + std::to_string(rt) +
                             " samples held for want of a valid reply");
            } else if (writeBlockRecords()) {
                runlog::info("block " + std::to_string(blocksEnded_) +
                             " recorded as counts record " + std::to_string(blocksRecorded_) +
                             " at minute " + std::to_string(elapsedMinutes_) + ", " +
                             std::to_string(held) + " of " + std::to_string(rt) + " samples held" +
                             (panels_.lastReadingOk ? "" : ", temperature not read"));
            }
        }
    } catch (const std::exception& e) {
        runlog::error("block " + std::to_string(blocksEnded_) + " ended early: " + e.what());
    }
    blockStart_ = ports_.clock.nowDays();
    // Nobody watches an unattended run's window: each block says how far
    // the acquisition has got. It is printed beside the trouble lines without
    // making a repeated one print again.
    if (st.recording && runSwitch_ && printUnattended_) printUnattended_(blockProgressLine());
    progress();
}

void AcquisitionRun::blockAnalysis() {
    SharedState& st = state_;
    std::vector<int> beams;
    beams.reserve(kChannels);
    for (int b = 0; b < kChannels; ++b) {
        if (st.plate.Channel_Well[b] < 0) continue;
        beams.push_back(b);
        readjust_[b] = false;
        const BlockStatistics stats = realtime_.blockStatistics(b);
        if (!stats.valid) continue; // nothing measured: the threshold stays
        const double envelope = static_cast<double>(stats.envelope);
        const double level = static_cast<double>(stats.level);
        const double noise = (envelope >= level || level < 1)
                                 ? snr_ * 100
                                 : (1 - (level - envelope) / level) * 100 * snr_;
        st.channels.Channel_Threshold[b] = std::max(1.0, noise + 1);
        if (level > 1944 && switches_.autoCalibration && st.recording &&
            (st.calibration.Channel_Gain[b] != 0 || st.calibration.Channel_PinHole[b] > 1))
            readjust_[b] = true;
    }
    if (beams.empty()) return;

    std::vector<int16_t> events(beams.size(), 0);
    DetectionTrace lastTrace;
    std::vector<DetectionTrace*> traces(beams.size(), nullptr);
    traces.back() = &lastTrace;
    DetectActivityBeams(realtime_.rawBlock, beams.data(), static_cast<int>(beams.size()), snr_,
                        st.setup.DSP_Method, events.data(), traces.data());
    st.Detect_Threshold = lastTrace.threshold;
    st.Detect_Events = lastTrace.events;

    std::array<int16_t, kBodyBendBins> h{};
    for (size_t i = 0; i < beams.size(); ++i) {
        const int b = beams[i];
        if (st.BodyBends_Mode) {
            BodyBendHistogram(realtime_.rawBlock, b, h, st.channels.Channel_Threshold[b]);
            int32_t largest = 0;
            for (int k = 0; k < kBodyBendBins; ++k) {
                bodyBendsHistogram_[b][k] += h[static_cast<size_t>(k)];
                largest = std::max(largest, bodyBendsHistogram_[b][k]);
            }
            bodyBendsLargest_[b] = largest;
        }
        realtime_.blockCounts[b] = events[i];
        if (realtime_.totals[b] <= 9999)
            realtime_.totals[b] = saturateInt16(realtime_.totals[b] + events[i]);
    }
}

// Raw block, counts record, histogram record, in this order. The counts
// record is the experiment's result and is written whenever it can be. The
// raw and histogram files stop at their first failed write, so they hold the
// blocks before it in step with counts.bin; a counts record that cannot be
// written takes back the block's raw record. A record written in part is
// always cut off again.
bool AcquisitionRun::writeBlockRecords() {
    SharedState& st = state_;
    const std::string folder = acquisitionPath();
    const std::string rawFile = rawFileName(numbering_.fileNumber);
    const std::string rawPath = joinPath(folder, rawFile);
    const std::string countsPath = countsFilePath(folder);
    const std::string histoPath = joinPath(folder, histogramFileName(numbering_.fileNumber));
    const bool withRaw = st.setup.Save_real == 1 && !rawSavingStopped_;
    const bool withHisto = st.BodyBends_Mode && !histogramSavingStopped_;
    const std::string block = "block " + std::to_string(blocksEnded_);

    // Whole records only: a partial record left by an earlier failure is not
    // part of the size to come back to.
    auto wholeSize = [](const std::string& path, long long record) {
        const long long n = fileSize(path);
        return n < 0 ? n : n - n % record;
    };
    // One writer, with the reason of its failure.
    auto write = [](const auto& writer, std::string& reason) {
        errno = 0;
        const bool ok = writer();
        if (!ok) reason = writeFailure(errno);
        return ok;
    };

    std::string reason;
    bool rawWritten = false;
    const long long rawBefore =
        withRaw ? wholeSize(rawPath, rawRecordSize(realtime_.rtBuffer())) : 0;
    if (withRaw) {
        rawWritten = write(
            [&] { return files_.raw(folder, numbering_.fileNumber, realtime_.rawBlock); }, reason);
        if (!rawWritten) {
            restoreSize(rawPath, rawBefore);
            rawSavingStopped_ = true;
            runlog::error(block + ": raw block not written to " + rawPath + " (" + reason +
                          "); raw data saving stopped for the rest of the acquisition");
            showTrouble("<DISK ERROR>", "Raw data saving stopped at block " +
                                            std::to_string(blocksEnded_) + ": " + reason);
        }
    }

    const long long countsBefore = wholeSize(countsPath, kCountsRecordSize);
    // A temperature that could not be read is stored as 0, which the reports
    // read as no reading.
    realtime_.blockCounts[kChannels] =
        panels_.lastReadingOk ? temperatureTenths(st.Temp_Current) : int16_t{0};
    if (!write([&] { return files_.counts(folder, elapsedMinutes_, realtime_.blockCounts); },
               reason)) {
        restoreSize(countsPath, countsBefore);
        if (rawWritten) restoreSize(rawPath, rawBefore);
        ++blocksLost_;
        runlog::error(block + " at minute " + std::to_string(elapsedMinutes_) +
                      ": counts record not written to " + countsPath + " (" + reason + ")" +
                      (rawWritten ? "; its raw block in " + rawFile + " taken back" : ""));
        showTrouble("<DISK ERROR>",
                    "Block " + std::to_string(blocksEnded_) + " not saved: " + reason);
        return false;
    }

    if (withHisto) {
        const long long histoBefore = wholeSize(histoPath, kHistogramRecordSize);
        if (!write(
                [&] {
                    return files_.histogram(folder, numbering_.fileNumber, elapsedMinutesExact_,
                                            secondsPerSample_, bodyBendsHistogram_);
                },
                reason)) {
            restoreSize(histoPath, histoBefore);
            histogramSavingStopped_ = true;
            runlog::error(block + ": histogram record not written to " + histoPath + " (" + reason +
                          "); histogram saving stopped for the rest of the acquisition");
            showTrouble("<DISK ERROR>", "Histogram saving stopped at block " +
                                            std::to_string(blocksEnded_) + ": " + reason);
        }
    }
    // The folder's name tells only a minute, not always the start's: the
    // exact start goes beside the first record.
    if (!startWritten_) {
        startWritten_ = true;
        if (!writeAcquisitionStart(folder, fromSerialDays(startTime_)))
            runlog::warn("the start time of the acquisition was not written to " +
                         joinPath(folder, kStartFileName));
    }
    secondsSum_ += secondsPerSample_;
    ++blocksRecorded_;
    numbering_.blockRecorded();
    return true;
}

// --- Controls --------------------------------------------------------------------

void AcquisitionRun::applyOrganismPreset(int index) {
    RunControls& c = controls_;
    switch (index) {
    case 0:
    case 1:
        c.txt_snr_umbral = index == 0 ? "1.8" : "2.1";
        snr_ = leadingNumber(commaAsPoint(c.txt_snr_umbral));
        c.snrLabel = ">>>>";
        c.snrBoxVisible = false;
        break;
    case 2:
        c.snrLabel = "> Zero SNR:";
        c.snrBoxVisible = true;
        snr_ = leadingNumber(commaAsPoint(c.txt_snr_umbral));
        break;
    default:
        break;
    }
    if (snr_ <= 1.4) {
        snr_ = 1.8;
        c.txt_snr_umbral = "1.8";
    }
}

void AcquisitionRun::cmb_organism_Click(int index) {
    if (index < 0 || index > 3) return;
    controls_.cmb_organism = index;
    controls_.organismText = kOrganisms[index];
    state_.setup.Organism() = static_cast<int16_t>(index);
    applyOrganismPreset(index);
}

void AcquisitionRun::lbl_snr_Click() {
    controls_.snrBoxVisible = !controls_.snrBoxVisible;
    controls_.snrLabel = controls_.snrBoxVisible ? "> Zero SNR:" : ">>>>";
}

void AcquisitionRun::txt_snr_umbral_LostFocus(const std::string& text) {
    const std::string t = commaAsPoint(text);
    const double v = isNumber(t) ? leadingNumber(t) : 0;
    if (isNumber(t) && v > 1 && v <= 5) {
        state_.setup.SNRx10() = saturateInt16(roundHalfEven(v * 10));
        controls_.txt_snr_umbral =
            withDecimalMark(fixedDecimals(v, 1), ports_.locale.decimalSeparator());
    } else {
        ports_.prompter.show("Invalid value: 1.1 to 5.0");
        controls_.txt_snr_umbral = "1.8";
        state_.setup.SNRx10() = 18;
    }
    cmb_organism_Click(2);
}

void AcquisitionRun::chk_bodybends_Click(bool ticked) {
    const bool w96u = controls_.plateFormatLabel == "w96u";
    if (ticked && w96u) {
        controls_.chk_bodybends = true;
        state_.BodyBends_Mode = true;
        ports_.prompter.show(std::string("WARNING!") + kCrLf +
                             "Experimental functionality! Beta testing." + kCrLf +
                             "Contact us for more information");
        call(hooks_.showHistogramButton, true);
        return;
    }
    controls_.chk_bodybends = false;
    state_.BodyBends_Mode = false;
    if (!ticked) call(hooks_.showHistogramButton, false);
    if (!w96u) controls_.bodyBendsVisible = false;
}

void AcquisitionRun::FillControls() {
    ProjectSetup& p = state_.setup;
    controls_.plateFormatLabel = p.Plate_format;
    const int16_t snrx10 = p.SNRx10();
    controls_.txt_snr_umbral = withDecimalMark(fixedDecimals(snrx10 == 0 ? 1.8 : snrx10 / 10.0, 1),
                                               ports_.locale.decimalSeparator());
    const int organism = p.Organism();
    if (organism >= 0 && organism <= 6) controls_.organismText = kOrganismTexts[organism];
    if (organism >= 0 && organism <= 3) {
        controls_.cmb_organism = organism;
        applyOrganismPreset(organism);
    }
    snr_ = leadingNumber(commaAsPoint(controls_.txt_snr_umbral));
    if (organism >= 0 && organism <= 2 && snr_ <= 1.4) snr_ = 1.8;

    calibration_.FillControls();
    panels_.FillPanels();
}

void AcquisitionRun::ActivationRefresh() {
    if (state_.Acq_State != 0) return;
    realtime_.resize(state_.setup.RT_Buffer);
    for (auto& beam : bodyBendsHistogram_)
        beam.fill(0);
    bodyBendsLargest_.fill(0);
    state_.Blank_Mode = false;
    panels_.ActivationRefresh();
    controls_.plateFormatLabel = state_.setup.Plate_format;
    controls_.bodyBendsEnabled = controls_.plateFormatLabel == "w96u";
    controls_.bodyBendsVisible = false;
    call(hooks_.enableBodyBends, controls_.bodyBendsEnabled);
}

} // namespace trv
