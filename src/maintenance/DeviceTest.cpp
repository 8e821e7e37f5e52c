#include "maintenance/DeviceTest.h"

#include "common/Desktop.h"
#include "common/Files.h"
#include "common/HeadlessPorts.h"
#include "common/Numeric.h"
#include "common/RunLog.h"
#include "device/COM_Module.h"
#include "device/Connection.h"
#include "device/ModCOMM.h"
#include "maintenance/RegisterWrite.h"

#include <algorithm>
#include <ostream>

namespace trv {

namespace {

constexpr int kColumns = 24;
constexpr int kRows = 16;

char rowLetter(int row) {
    return static_cast<char>('A' + row);
}

// "CH" + beam + "[" + percentage + "%], " for each listed beam.
std::string beamList(std::span<const int16_t> levels, const std::vector<int>& beams) {
    std::string out;
    for (int b : beams)
        out += "CH" + std::to_string(b) + "[" +
               std::to_string(TestPercentage(levels[static_cast<size_t>(b)])) + "%], ";
    return out;
}

std::string twoDigits(int v) {
    return zeroPadded(v, 2);
}

} // namespace

std::string TestRecordName(int id) {
    return "testdev" + std::to_string(id) + ".txt";
}

std::vector<int> ColumnBeams(int column) {
    std::vector<int> beams;
    for (int r = 0; r < kRows; ++r)
        beams.push_back(column * kRows + r);
    return beams;
}

std::vector<int> RowBeams(int row) {
    std::vector<int> beams;
    for (int c = 0; c < kColumns; ++c)
        beams.push_back(c * kRows + row);
    return beams;
}

LineEvaluation EvaluateLine(std::span<const int16_t> levels, const std::vector<int>& lit,
                            const std::string& label) {
    std::array<bool, kChannels> inLine{};
    for (int b : lit)
        inLine[static_cast<size_t>(b)] = true;
    int litCount = 0, darkCount = 0;
    std::vector<int> litFailures, darkFailures;
    for (int b : lit) {
        if (IsLitLevel(levels[static_cast<size_t>(b)]))
            ++litCount;
        else
            litFailures.push_back(b);
    }
    for (int b = 0; b < kChannels; ++b) {
        if (inLine[static_cast<size_t>(b)]) continue;
        if (IsDarkLevel(levels[static_cast<size_t>(b)]))
            ++darkCount;
        else
            darkFailures.push_back(b);
    }
    LineEvaluation e;
    e.label = label;
    const int lineSize = static_cast<int>(lit.size());
    e.pass = litCount == lineSize && darkCount == kChannels - lineSize;
    if (e.pass) {
        e.recordLine = label + ": PASS!";
    } else {
        e.recordLine = label + ": NONPASS " + std::to_string(litCount) + kNonPassSeparator +
                       "CH > 80% (NONOK:" + beamList(levels, litFailures) + "); " +
                       std::to_string(darkCount) +
                       "CH < 20% (NONOK:" + beamList(levels, darkFailures) + ")";
    }
    return e;
}

PlateEvaluation EvaluatePlate(std::span<const int16_t> levels, bool high) {
    std::vector<int> failures;
    for (int b = 0; b < kChannels; ++b) {
        const int v = levels[static_cast<size_t>(b)];
        if (!(high ? IsLitLevel(v) : IsDarkLevel(v))) failures.push_back(b);
    }
    PlateEvaluation e;
    e.pass = failures.empty();
    const std::string pct = high ? "100%" : "0%";
    e.shown = e.pass ? "[Test" + pct + "=PASS!]" : "[Test" + pct + "= CHECK!]";
    e.recordLines = {"", "Test_all_" + pct + ":" + (e.pass ? " OK PASS!" : "  NEEDS REVISION!"),
                     (high ? "Number of Channels > 80% = " : "Number of Channels < 20% = ") +
                         std::to_string(kChannels - static_cast<int>(failures.size()))};
    if (!e.pass)
        e.recordLines.push_back((high ? "Channels < 80%: " : "Channels > 20%: ") +
                                beamList(levels, failures));
    return e;
}

void Dibujar_test_grid(Surface& s) {
    s.setScale(-1.2, -1.6, kColumns + 0.2, kRows + 0.2);
    s.clear();
    s.setPenWidth(1);
    s.setForeColor(colour::Black);
    s.setFontScale(0.8);
    for (int c = 0; c < kColumns; ++c)
        s.text(c + 0.15, -1.4, std::to_string(c + 1));
    for (int r = 0; r < kRows; ++r)
        s.text(-1.0, r + 0.15, std::string(1, rowLetter(r)));
    s.setFontScale(1.0);
    for (int b = 0; b < kChannels; ++b) {
        const double x = b / kRows, y = b % kRows;
        s.box(x + 0.08, y + 0.08, x + 0.92, y + 0.92, colour::Red);
        s.circle(x + 0.5, y + 0.5, 0.1, colour::Blue);
    }
}

void Dibujar_test_levels(Surface& s, std::span<const int16_t> levels) {
    for (int b = 0; b < kChannels && b < static_cast<int>(levels.size()); ++b) {
        const double x = b / kRows, y = b % kRows;
        const auto g = static_cast<int>(
            std::clamp<long long>(roundHalfEven(levels[static_cast<size_t>(b)] / 8.0), 0, 255));
        s.filledBox(x + 0.15, y + 0.15, x + 0.85, y + 0.85, rgb(g, g, g));
        s.circle(x + 0.5, y + 0.5, 0.1, colour::Blue);
    }
}

DeviceTest::DeviceTest(SharedState& state, Ports& ports) : s_(state), ports_(ports) {}

bool DeviceTest::allPassed() const {
    return end_ == TestEnd::Finished && failedChecks_ == 0;
}

void DeviceTest::show(const std::string& text) {
    ports_.status.setText(status::Temperature, text);
}

void DeviceTest::stopTimer() {
    running_ = false;
    if (hooks.setTimer) hooks.setTimer(false);
}

void DeviceTest::stop() {
    if (running_) stopTimer();
}

void DeviceTest::interrupt() {
    if (!running_) return;
    stopTimer();
    end_ = TestEnd::Interrupted;
}

void DeviceTest::mnstatustest_Click() {
    if (s_.Acq_State != 0) {
        ports_.prompter.show("Stop acquisition before Testing");
        return;
    }
    const Answer a = ports_.prompter.message(
        "DEVICE TEST:\r\nLigth Microbeams will be adjusted to maximum and minimum.\r\n"
        "Please, remove any microplate from the slot\r\n and close Trelvane door",
        Buttons::OkCancel);
    if (a != Answer::Ok) {
        stopTimer();
        step_ = 0;
        end_ = TestEnd::Cancelled;
        if (hooks.restoreActivityPlot) hooks.restoreActivityPlot();
        ports_.status.setVisible(status::NoteLabel, false);
        return;
    }
    if (picact) Dibujar_test_grid(*picact);
    step_ = 0;
    end_ = TestEnd::None;
    failedChecks_ = 0;
    running_ = true;
    if (hooks.setTimer) hooks.setTimer(true);
    ports_.status.setText(status::NoteLabel, "Open and close Trelvane Door to see sensing changes");
    ports_.status.setVisible(status::NoteLabel, true);
    // The identification found at connection stays when the probe gets no
    // valid identification (and offline, where nothing is sent).
    if (InstrumentInUse(s_)) {
        const int id = ProbeDevice(s_.config.Serial_COM, ports_.clock);
        if (IsInstrumentId(id)) s_.Device_Id = static_cast<int16_t>(id);
    }
    id_ = s_.Device_Id;
    show("SN" + std::to_string(id_));
    recordPath_ = joinPath(s_.Program_Folder, TestRecordName(id_));
    const LocalDateTime t = ports_.clock.now();
    const std::string stamp = std::to_string(t.year) + "-" + twoDigits(t.month) + "-" +
                              twoDigits(t.day) + "_" + twoDigits(t.hour) + ":" +
                              twoDigits(t.minute);
    if (!writePlainFile(recordPath_, "Serial:SN" + std::to_string(id_) + " " + stamp + "\r\n")) {
        ports_.prompter.show("Test record could not be written: " + recordPath_);
        stopTimer();
        end_ = TestEnd::RecordError;
    }
}

bool DeviceTest::readLevels() {
    if (!InstrumentInUse(s_)) return true; // nothing is sent; the levels stay
    const int port = s_.config.Serial_COM;
    bool complete = true;
    for (int sweep = 0; sweep < 2; ++sweep) {
        if (sweep == 1) ports_.clock.sleepMs(100);
        for (int start : kGroupStarts) {
            // High bytes above 15 are taken as 15 and the group kept; only
            // a reply of the wrong length stops the test.
            const BeamGroupSample g =
                RequestBeamSample(port, start, SampleReads::Whole, BeamDecode::Lenient);
            if (g.replyBytes != kBeamSampleBytes) {
                complete = false;
                continue;
            }
            for (int k = 0; k < kGroupBeams; ++k)
                levels_[static_cast<size_t>(BeamOfValue(start, k))] =
                    std::max<int16_t>(0, g.values[static_cast<size_t>(k)]);
        }
    }
    return complete;
}

void DeviceTest::Timer_test_Timer() {
    // Message boxes of a step let timer events run: one tick at a time.
    if (!running_ || inTick_) return;
    inTick_ = true;
    stopTick_ = false;
    if (step_ <= 120) {
        if (!readLevels()) {
            runlog::error("Device test: a beam-sample reply of the wrong length on COM" +
                          std::to_string(s_.config.Serial_COM) + " at step " +
                          std::to_string(step_) + "; test stopped");
            show("COM Error");
            stopTimer();
            end_ = TestEnd::ComError;
            inTick_ = false;
            return;
        }
        if (picact) Dibujar_test_levels(*picact, levels_);
        ports_.status.setProgress(status::TimeBar, step_ * 0.83, 100);
        doStep();
        if (stopTick_) {
            inTick_ = false;
            return;
        }
    }
    ++step_;
    if (step_ > kTestLastStep) finish();
    inTick_ = false;
}

void DeviceTest::finish() {
    show("T = __ \u00b0C");
    stopTimer();
    if (end_ == TestEnd::None) end_ = TestEnd::Finished;
    ports_.status.setVisible(status::NoteLabel, false);
    if (hooks.restoreActivityPlot) hooks.restoreActivityPlot();
}

void DeviceTest::setBeams(const std::vector<int>& beams, int power, int gain) {
    for (int b : beams) {
        if (step_ == kTestAborted) return;
        if (WriteChannelSetting(s_.config.Serial_COM, b, power, gain, ports_.clock,
                                ports_.prompter) != 1) {
            // Aborted: the rest of this tick restores the display.
            runlog::error("Device test: the setting of beam " + std::to_string(b) +
                          " was not acknowledged at step " + std::to_string(step_) +
                          "; test aborted");
            stopTimer();
            step_ = kTestAborted;
            end_ = TestEnd::WriteFailed;
        }
    }
}

bool DeviceTest::append(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines)
        text += l + "\r\n";
    if (writePlainFile(recordPath_, text, true)) return true;
    ports_.prompter.show("Test record could not be written: " + recordPath_);
    stopTimer();
    end_ = TestEnd::RecordError;
    stopTick_ = true;
    return false;
}

void DeviceTest::wholePlateTest(bool high) {
    const PlateEvaluation e = EvaluatePlate(levels_, high);
    if (!e.pass) ++failedChecks_;
    show(e.shown);
    if (!append(e.recordLines)) return;
    ports_.clock.sleepMs(500);
}

void DeviceTest::evaluate(const std::vector<int>& lit, const std::string& label) {
    const LineEvaluation e = EvaluateLine(levels_, lit, label);
    if (!e.pass) ++failedChecks_;
    show(label + (e.pass ? ": PASS!" : ": CHECK!"));
    append({e.recordLine});
}

void DeviceTest::doStep() {
    const int st = step_;
    if (st == 1) {
        ports_.prompter.show("Turning ON A1-D1");
        setBeams({0, 1, 2, 3}, 7, 7);
    } else if (st == 2) {
        ports_.prompter.show("Turning OFF A1-D1");
        setBeams({0, 1, 2, 3}, 0, 0);
    } else if (st == 3) {
        if (ports_.prompter.message("OK to proceed?", Buttons::YesNo) != Answer::Yes) {
            stopTimer();
            end_ = TestEnd::Declined;
            stopTick_ = true;
        }
    } else if (st >= 4 && st <= 19) {
        show("[ON ALL]");
        setBeams(RowBeams(st - 4), 7, 7);
        ports_.clock.sleepMs(100);
    } else if (st == 20) {
        wholePlateTest(true);
    } else if (st >= 21 && st <= 36) {
        show("[OFF ALL]");
        setBeams(RowBeams(st - 21), 0, 0);
        ports_.clock.sleepMs(100);
    } else if (st == 37) {
        wholePlateTest(false);
    } else if (st >= 38 && st <= 61) {
        show("[1 COLUMN]");
        if (st == 38 && !append({"", "Test_24_Columns:"})) return;
        if (st >= 39) {
            const int n = st - 39;
            evaluate(ColumnBeams(n), "Col[" + std::to_string(n + 1) + "]");
            if (stopTick_) return;
            setBeams(ColumnBeams(n), 0, 0);
        }
        setBeams(ColumnBeams(st - 38), 7, 7);
        ports_.clock.sleepMs(100);
    } else if (st == 62) {
        evaluate(ColumnBeams(23), "Col[24]");
        if (stopTick_) return;
        setBeams(ColumnBeams(23), 0, 0);
        ports_.clock.sleepMs(500);
    } else if (st >= 63 && st <= 78) {
        show("[1 ROW]");
        if (st == 63 && !append({"", "Test_16_Rows:"})) return;
        if (st >= 64) {
            const int r = st - 64;
            evaluate(RowBeams(r), std::string("Row[") + rowLetter(r) + "]");
            if (stopTick_) return;
            setBeams(RowBeams(r), 0, 0);
        }
        setBeams(RowBeams(st - 63), 7, 7);
        ports_.clock.sleepMs(100);
    } else if (st == 79) {
        evaluate(RowBeams(15), "Row[P]");
        if (stopTick_) return;
        setBeams(RowBeams(15), 0, 0);
    } else if (st >= 80 && st <= 95) {
        show("[GAIN/POWER=2]");
        const int r = st - 80;
        std::vector<int> beams;
        for (int k = 0; k < 12; ++k) {
            beams.push_back(k * kRows + r);
            beams.push_back((23 - k) * kRows + (15 - r));
        }
        setBeams(beams, 2, 2);
    } else if (st == 96) {
        std::vector<std::string> lines{"", "Gain/Power[2] Values:"};
        for (int b = 0; b < kChannels; ++b)
            lines.push_back("CH[" + std::to_string(b) + "] " +
                            std::to_string(TestPercentage(levels_[static_cast<size_t>(b)])) + "%");
        append(lines);
    } else if (st == 100) {
        openForUser(ports_.desktop, ports_.prompter, recordPath_);
    }
}

TestEnd RunDeviceTestHeadless(DeviceTest& test, Clock& clock, const std::atomic<bool>* stop) {
    test.mnstatustest_Click();
    while (test.running()) {
        clock.sleepMs(100);
        if (stop && stop->load()) {
            test.interrupt();
            break;
        }
        test.Timer_test_Timer();
    }
    return test.end();
}

namespace {

// The questions answered as a technician at the instrument would: OK and
// Yes; every text is printed.
class TechnicianPrompter : public Prompter {
  public:
    explicit TechnicianPrompter(std::ostream& err) : err_(err) {}
    Answer message(const std::string& text, Buttons buttons, const std::string&) override {
        std::string line = text;
        std::erase(line, '\r');
        err_ << line << "\n";
        return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Answer::Ok : Answer::Yes;
    }
    InputResult input(const std::string&, const std::string&, const std::string&) override {
        return {true, ""};
    }

  private:
    std::ostream& err_;
};

// Prints the progress texts the window shows in lbl_temperature.
class ProgressPrinter : public NullStatusView {
  public:
    explicit ProgressPrinter(std::ostream& err) : err_(err) {}
    void setText(const std::string& target, const std::string& text) override {
        if (target == status::Temperature && text != last_) err_ << text << "\n";
        last_ = text;
    }

  private:
    std::ostream& err_;
    std::string last_;
};

} // namespace

int RunDeviceTestCommand(const std::string& programFolder, int port, std::ostream& out,
                         std::ostream& err, const std::atomic<bool>* stop) {
    TechnicianPrompter prompter(err);
    ProgressPrinter progress(err);
    HeadlessPorts headless(prompter, &progress, HeadlessDesktop::None);
    Ports& ports = headless.ports;
    Clock& clock = headless.clock;

    SharedState s;
    s.Program_Folder = programFolder;
    s.config.Serial_COM = static_cast<int16_t>(port);
    if (CommOpen(port, PortName(port), kDeviceLineSettings) != 0) {
        err << "Port " << PortName(port) << " could not be opened: " << CommError.message << "\n";
        CommClose(port);
        return 1;
    }
    const int id = ProbeDevice(port, clock);
    if (!IsInstrumentId(id)) {
        err << "No instrument answered on " << PortName(port) << "\n";
        CommClose(port);
        return 1;
    }
    s.Device_Id = static_cast<int16_t>(id);
    s.Device_Connected = true;
    DeviceTest test(s, ports);
    const TestEnd end = RunDeviceTestHeadless(test, clock, stop);
    if (end == TestEnd::Interrupted) err << "Stopped at step " << test.step() << "\n";
    CommClose(port);
    if (!test.recordPath().empty() && end != TestEnd::RecordError) out << test.recordPath() << "\n";
    return test.allPassed() ? 0 : 1;
}

} // namespace trv
