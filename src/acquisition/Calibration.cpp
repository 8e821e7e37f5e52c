#include "acquisition/Calibration.h"

#include "common/Files.h"
#include "common/Numeric.h"
#include "common/RunLog.h"
#include "device/COM_Module.h"
#include "device/ModCOMM.h"
#include "store/AcquisitionRecord.h"
#include "store/CalibrationFile.h"
#include "store/ProjectFile.h"

#include <algorithm>
#include <vector>

namespace trv {

Calibration::Calibration(SharedState& state, Ports& ports, CalibrationContext& run)
    : state_(state), ports_(ports), run_(run) {}

void Calibration::changed() {
    if (onControlsChanged) onControlsChanged();
}

bool Calibration::BandStep(int v, int16_t& power, int16_t& gain, BeamCalibration& beam) {
    if (v >= LOW && v <= HIGH) {
        beam.done = true;
        beam.direction = 0;
        return false;
    }
    if (v < LOW && beam.direction != -1) {
        if (gain > 6) {
            if (power > 6) {
                beam.done = true;
                beam.direction = 0;
            } else {
                gain = 0;
                ++power;
                beam.direction = 1;
            }
        } else {
            ++gain;
            beam.direction = 1;
        }
    } else if (v > HIGH && beam.direction != 1) {
        if (gain < 1) {
            if (power < 2) {
                beam.done = true;
                beam.direction = 0;
            } else {
                gain = 7;
                --power;
                beam.direction = -1;
            }
        } else {
            --gain;
            beam.direction = -1;
        }
    } else if (v < LOW && beam.direction == -1) {
        // Lowered past the band: stays at the lower setting.
        beam.direction = 0;
        beam.done = true;
    } else if (v > HIGH && beam.direction == 1) {
        // Raised past the band: lowered on the next pass.
        beam.direction = 0;
    }
    return !beam.done;
}

// One sample of the four groups into levels[beam] (384 entries). Replies are
// read whole; high bytes above 15 are clamped and the values kept. `lenient`
// accepts replies of 192 bytes or more, otherwise exactly 192. A group
// without a usable reply leaves its previous values.
bool Calibration::calibrationPass(bool withWarmup, int16_t* levels, bool lenient) {
    const int port = serialPort();
    if (withWarmup) {
        std::string discard;
        for (int s : kGroupStarts) {
            CommFlush(port);
            CommWrite(port, DeviceFrame(op::BeamSample, s, 0));
            CommRead(port, discard, kBeamSampleBytes);
        }
        ports_.clock.sleepMs(50);
    }
    bool any = false;
    for (int s : kGroupStarts) {
        const BeamGroupSample g =
            RequestBeamSample(port, s, SampleReads::Whole, BeamDecode::Lenient);
        if (!g.valid || (!lenient && g.replyBytes != kBeamSampleBytes)) continue;
        for (int k = 0; k < kGroupBeams; ++k)
            levels[BeamOfValue(s, k)] = g.values[static_cast<size_t>(k)];
        any = true;
    }
    return any;
}

bool Calibration::Calibrate() {
    SharedState& st = state_;
    Ports& ports = ports_;
    StatusView& status = ports.status;
    if (st.Offline_Mode) {
        ports.prompter.show("Operation not possible in OFFLINE mode");
        return false;
    }
    CalibrationTable& cal = st.calibration;
    const std::string folder = st.Program_Folder;
    if (fileExists(joinPath(folder, kCalibrationFileName))) {
        status.setText(status::StatusLine, "Writing Calibration...");
        loadCalibration(cal, folder); // a damaged file keeps what could be read
    } else {
        status.setText(status::StatusLine, "Writing First Time Calibration...");
        resetAndSaveCalibration(cal, folder);
    }

    status.setProgress(status::Progress, 0, 383);
    std::array<BeamCalibration, kSlots> beams{};
    for (int b = 0; b < kChannels; ++b) {
        beams[b] = {};
        if (st.plate.Channel_Well[b] < 0) {
            cal.Channel_PinHole[b] = 0;
            cal.Channel_Gain[b] = 0;
            beams[b].done = true;
        } else if (cal.Channel_PinHole[b] == 0 && cal.Channel_Gain[b] == 0) {
            cal.Channel_PinHole[b] = 2;
        }
    }

    const int port = serialPort();
    for (int b = 0; b < kChannels && st.Acq_State > 0; ++b) {
        status.setText(status::StatusLine, "Writing calibration..." + std::to_string(b));
        status.setProgress(status::Progress, b, 383);
        if (b % 20 == 0) ports.pump.processEvents();
        if (WriteChannelSetting(port, b, cal.Channel_PinHole[b], cal.Channel_Gain[b], ports.clock,
                                ports.prompter) != 1) {
            ports.prompter.show("Communication error. Check COM PORT and equipment connection.");
            return false;
        }
    }

    run_.restartBlock();
    int written = 383;
    auto pending = [&] {
        return std::any_of(beams.begin(), beams.begin() + kChannels,
                           [](const BeamCalibration& c) { return !c.done; });
    };
    std::vector<int16_t> levels(kChannels);
    for (int b = 0; b < kChannels; ++b)
        levels[b] = run_.processor().rawBlock.at(b, 0);
    while (pending() && st.Acq_State > 0) {
        status.setText(status::StatusLine, "Acquiring...");
        calibrationPass(true, levels.data(), true);
        for (int b = 0; b < kChannels; ++b)
            run_.processor().rawBlock.at(b, 0) = levels[b];
        status.setText(status::StatusLine, "Calibrating... [" + std::to_string(written) + "]");
        status.setProgress(status::Progress, std::max(0, 383 - written), 383);
        written = 0;
        for (int b = 0; b < kChannels; ++b) {
            if (beams[b].done) continue;
            if (!BandStep(levels[b], cal.Channel_PinHole[b], cal.Channel_Gain[b], beams[b]))
                continue;
            ++written;
            if (WriteChannelSetting(port, b, cal.Channel_PinHole[b], cal.Channel_Gain[b],
                                    ports.clock, ports.prompter) != 1) {
                run_.stop();
                return false;
            }
        }
        ports.pump.processEvents();
    }
    status.setText(status::StatusLine, "Calibration OK");
    saveCalibration(cal, folder);
    return true;
}

bool Calibration::ReAdjust(const std::array<bool, kSlots>& marked) {
    SharedState& st = state_;
    Ports& ports = ports_;
    StatusView& status = ports.status;
    CalibrationTable& cal = st.calibration;

    std::array<bool, kSlots> adjust = marked;
    std::array<BeamCalibration, kSlots> beams{};
    for (int b = 0; b < kChannels; ++b) {
        if (st.plate.Channel_Well[b] < 0) {
            cal.Channel_PinHole[b] = 0;
            cal.Channel_Gain[b] = 0;
            adjust[b] = false;
        } else if (cal.Channel_PinHole[b] == 0 && cal.Channel_Gain[b] == 0) {
            cal.Channel_PinHole[b] = 2;
        }
    }
    adjust[kChannels] = false;

    run_.showStatusFrame("<AUTOCALIBRATION>");
    status.setText(status::StatusLine, "Auto-Adjustment...");
    status.setProgress(status::Progress, 0, 383);

    std::vector<int16_t> levels(kChannels, 0);
    const int port = serialPort();
    int written = 383;
    auto pending = [&] {
        for (int b = 0; b < kChannels; ++b)
            if (adjust[b] && !beams[b].done) return true;
        return false;
    };
    while (pending() && st.Acq_State >= 1) {
        calibrationPass(true, levels.data(), false);
        status.setText(status::StatusLine, "Calibrating... [" + std::to_string(written) + "]");
        written = 0;
        for (int b = 0; b < kChannels; ++b) {
            if (!adjust[b] || beams[b].done) continue;
            if (!BandStep(levels[b], cal.Channel_PinHole[b], cal.Channel_Gain[b], beams[b]))
                continue;
            ++written;
            if (WriteChannelSetting(port, b, cal.Channel_PinHole[b], cal.Channel_Gain[b],
                                    ports.clock, ports.prompter) != 1) {
                run_.hideStatusFrame();
                return false;
            }
        }
    }
    status.setText(status::StatusLine, "Calibration OK");
    saveCalibration(cal, st.Program_Folder);
    run_.hideStatusFrame();
    return true;
}

void Calibration::Zero() {
    SharedState& st = state_;
    Ports& ports = ports_;
    StatusView& status = ports.status;
    status.setText(status::StatusLine, "AutoZero Calculation .... <000>");
    const int n = run_.switches().autoCalibration && run_.switches().autoZero ? 30 : 100;
    status.setProgress(status::Progress, 0, n);

    const int port = serialPort();
    if (!st.Offline_Mode) {
        std::string discard;
        for (int s : kGroupStarts) {
            CommFlush(port);
            CommWrite(port, DeviceFrame(op::BeamSample, s, 0));
            CommRead(port, discard, kBeamSampleBytes);
        }
    }

    // The burst is sampled into its own rows and copied into the block rows
    // that exist, so a short block (small RT_Buffer) still gets all samples.
    std::vector<int16_t> x(static_cast<size_t>(n) * kChannels);
    SignalBlock& block = run_.processor().rawBlock;
    for (int i = 0; i < n; ++i) {
        int16_t* row = x.data() + static_cast<size_t>(i) * kChannels;
        for (int b = 0; b < kChannels; ++b)
            row[b] = i < block.sampleCount() ? block.at(b, i) : (i > 0 ? row[b - kChannels] : 0);
        if (!st.Offline_Mode) calibrationPass(false, row, false);
        if (i < block.sampleCount())
            for (int b = 0; b < kChannels; ++b)
                block.at(b, i) = row[b];
        status.setText(status::StatusLine, "AutoZero... <" + std::to_string(i) + ">");
        status.setProgress(status::Progress, i, n);
        if (i % 10 == 0) {
            ports.pump.processEvents();
            if (st.Acq_State == 0) return;
        }
    }

    for (int b = 0; b < kChannels; ++b) {
        auto at = [&](int k) {
            return static_cast<long long>(x[static_cast<size_t>(k) * kChannels + b]);
        };
        long long upper = at(10), lower = at(10);
        long long sumDiff = 0, sumSig = 0, count = 0;
        for (int k = 11; k <= n - 2; ++k) {
            if (at(k) < at(k - 1) && at(k) < at(k + 1)) lower = at(k);
            if (at(k) > at(k - 1) && at(k) > at(k + 1)) upper = at(k);
            sumDiff += upper - lower;
            sumSig += at(k);
            ++count;
        }
        if (count == 0) continue;
        const double meanDiff =
            static_cast<double>(roundHalfEven(static_cast<double>(sumDiff) / count));
        const double meanSig =
            static_cast<double>(roundHalfEven(static_cast<double>(sumSig) / count));
        const double noise =
            meanSig < 1 ? 0.0 : (1 - (meanSig - meanDiff) / meanSig) * 100 * run_.snr();
        st.channels.Channel_Threshold[b] = std::max(1.0, noise + 1);
    }
}

// --- Blank reading ------------------------------------------------------------

void Calibration::ReadBlank() {
    SharedState& st = state_;
    Ports& ports = ports_;
    const bool idle = st.Acq_State == 0;
    const bool duringRun = !idle && !blankSession_;
    if (duringRun && run_.switches().autoZero) {
        // The blank is only fed with Auto Zero off: started now it would
        // never end, and the acquisition would record nothing more.
        ports.prompter.show("Read Blank needs Auto Zero OFF: the acquisition goes on recording.");
        return;
    }
    if (idle || (duringRun && !blankInRun_)) {
        // Recording stops; the blank gets a folder of the current minute
        // with the project setup, without an acquisition record. A minute
        // whose folder holds a run is passed over: the blank's snapshot
        // must not replace that run's, and the acquisition records on in
        // this folder once the blank is taken.
        st.recording = false;
        run_.blankRestart(idle);
        if (run_.hooks().enableCmdsetup) run_.hooks().enableCmdsetup(false);
        if (run_.hooks().enableCmdoffline) run_.hooks().enableCmdoffline(false);
        if (idle && run_.hooks().enableCmdPlay) run_.hooks().enableCmdPlay(false);
        if (run_.hooks().hideOtherWindows) run_.hooks().hideOtherWindows();

        const LocalDateTime now = ports.clock.now();
        const std::string name = freeAcquisitionFolderName(st.Project_Folder, now);
        if (duringRun) {
            blankInRun_ = true;
            blankFolderTime_ = now;
        }
        const std::string folder = joinPath(st.Project_Folder, name);
        if (!st.Project_Folder.empty() && !name.empty() && makeFolder(folder)) {
            const std::string projectFolder = st.Project_Folder;
            st.Project_Folder = folder;
            saveProject(st);
            st.Project_Folder = projectFolder;
        }
        run_.setAcquisitionFolder(name);
    }

    if (run_.hooks().blankStarted) run_.hooks().blankStarted();
    run_.processor().startBlank();
    run_.processor().blankHook = [this](RealtimeProcessor&) { BlankTick(); };

    if (idle || duringRun) {
        ports.status.setProgress(status::TimeBar, 0, 100);
        run_.restartClock();
    }
    if (idle) blankSession_ = true;
    blankStartTick_ = run_.tickCount();
    st.Blank_Mode = true;
    ports.status.setText(status::BlankLabel, "Setting Blank.... (" +
                                                 std::to_string(st.setup.Threshold_Counter) +
                                                 " samples)");
    ports.status.setVisible(status::BlankLabel, true);
    if (idle) {
        st.Acq_State = 1;
        run_.setTimer(true);
    }
}

void Calibration::BlankTick() {
    SharedState& st = state_;
    if (!run_.processor().blankRunning) return;
    if (run_.tickCount() - blankStartTick_ <= st.setup.Threshold_Counter) return;
    StatusView& status = ports_.status;
    status.setText(status::BlankLabel, "Setting (" + std::to_string(kChannels - 1) + ") OK...");
    run_.processor().stopBlank();
    st.Blank_Mode = false;
    run_.processor().applyBlankThresholds(st.channels.Channel_Threshold, st.plate.Channel_Well);
    if (blankSession_) {
        // The session that Read Blank started ends here.
        blankSession_ = false;
        run_.setTimer(false);
        st.Acq_State = 0;
        if (run_.hooks().enableCmdsetup) run_.hooks().enableCmdsetup(true);
        if (run_.hooks().enableCmdoffline) run_.hooks().enableCmdoffline(true);
        if (run_.hooks().enableCmdPlay) run_.hooks().enableCmdPlay(true);
    } else if (blankInRun_) {
        resumeRecording_ = true;
    }
    status.setVisible(status::BlankLabel, false);
}

void Calibration::resumeRecording() {
    SharedState& st = state_;
    Ports& ports = ports_;
    resumeRecording_ = false;
    blankInRun_ = false;
    // The blank's folder becomes the acquisition's: the project with the
    // new thresholds, and the acquisition record with its name and notes.
    const std::string comments =
        run_.hooks().commentsText ? run_.hooks().commentsText() : std::string();
    const std::string folder =
        createAcquisitionFolder(st, blankFolderTime_, run_.acqName(), comments);
    if (!folder.empty()) run_.setAcquisitionFolder(folder);
    st.recording = true;
    // No sample of the blank is part of a recorded block: the block, the
    // detection window and the time all start again, as after Play.
    run_.recordingRestart();
    ports.status.setProgress(status::TimeBar, 0, 100);
}

void Calibration::cancelBlank(const std::string& why) {
    // A blank that has just ended hands the recording back at the next tick.
    if (!blankInProgress() || resumeRecording_) return;
    SharedState& st = state_;
    run_.processor().stopBlank();
    st.Blank_Mode = false;
    ports_.status.setVisible(status::BlankLabel, false);
    if (blankSession_) {
        runlog::info("blank reading cancelled (" + why + ")");
        blankSession_ = false;
        run_.setTimer(false);
        st.Acq_State = 0;
        if (run_.hooks().enableCmdsetup) run_.hooks().enableCmdsetup(true);
        if (run_.hooks().enableCmdoffline) run_.hooks().enableCmdoffline(true);
        if (run_.hooks().enableCmdPlay) run_.hooks().enableCmdPlay(true);
    } else {
        runlog::info("blank reading cancelled (" + why +
                     "); the acquisition records on with its thresholds");
        resumeRecording();
    }
}

void Calibration::endBlank() {
    blankSession_ = false;
    blankInRun_ = false;
    resumeRecording_ = false;
}

// --- Buttons and switches -------------------------------------------------------

void Calibration::cmd_calibra_Click(const std::string& snrText) {
    run_.setSnr(leadingNumber(snrText));
    run_.showStatusFrame("<AUTOCALIBRATION>");
    Calibrate();
    run_.hideStatusFrame();
}

void Calibration::Cmd_autozero_Click(const std::string& snrText) {
    run_.setSnr(leadingNumber(commaAsPoint(snrText)));
    run_.showStatusFrame("<AUTOCALIBRATION>");
    Zero();
    run_.hideStatusFrame();
}

void Calibration::Cmd_readblank_Click() {
    ReadBlank();
}

void Calibration::AutoCalibration_Click(bool checked) {
    run_.setAutoCalibration(checked);
    state_.setup.Enab_Cal() = checked ? 1 : 0;
    controls.cmd_calibra = !checked;
    changed();
}

void Calibration::AutoZero_Click(bool checked) {
    // With Auto Zero on the blank is no longer fed: one in progress would
    // never end, and the acquisition would record nothing more.
    if (checked) cancelBlank("Auto Zero switched on");
    run_.setAutoZero(checked);
    state_.setup.Enab_Zero() = checked ? 1 : 0;
    controls.Cmd_autozero = !checked;
    changed();
}

void Calibration::ManualCalibrationOn() {
    state_.Manual_Calibration = true;
    controls.Cmd_readblank = true;
    controls.autoCalibrationEnabled = true;
    controls.autoZeroEnabled = true;
    controls.manualOn = true;
    controls.manualOff = false;
    changed();
}

void Calibration::ManualCalibrationOff() {
    state_.Manual_Calibration = false;
    controls.Cmd_readblank = false;
    AutoCalibration_Click(true);
    AutoZero_Click(true);
    controls.autoCalibrationEnabled = false;
    controls.autoZeroEnabled = false;
    if (setCalibrationControlBox) setCalibrationControlBox();
    controls.manualOff = true;
    controls.manualOn = false;
    changed();
}

void Calibration::FillControls() {
    ProjectSetup& p = state_.setup;
    run_.setAutoCalibration(p.Enab_Cal() != 0);
    run_.setAutoZero(p.Enab_Zero() != 0);
    controls.cmd_calibra = !run_.switches().autoCalibration;
    controls.Cmd_autozero = !run_.switches().autoZero;
    // Manual calibration starts off: Read Blank hidden, the switches usable
    // as loaded.
    state_.Manual_Calibration = false;
    controls.Cmd_readblank = false;
    controls.manualOn = false;
    controls.manualOff = true;
    changed();
}

} // namespace trv
