// The device test ("Test DEVICE"): every beam of an empty instrument is
// driven to a high setting and to zero, then one column and one row at a
// time is lit, and each beam's receiver level must follow. One step per
// tick of the test timer (Timer_test); the live levels are drawn as a grey
// grid in the main window's activity drawing (Picact), the progress goes to
// lbl_temperature, the progress strip and the note label, and the outcome to
// the test record "testdev" + identification + ".txt" in the program folder.
//
// The window owns the timer and the surface; the headless runner
// (RunDeviceTestHeadless) calls the same ticks in a loop.
#pragma once

#include "common/Ports.h"
#include "display/Surface.h"
#include "store/Module1.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <span>
#include <string>
#include <vector>

namespace trv {

inline constexpr int kTestFullScale = 2048;
inline constexpr int kTestLastStep = 110;
inline constexpr int16_t kTestAborted = 121;

// A beam is lit at 80 % of full scale (1638.4) or more, and dark at 1024 or
// less (the record calls that test "20%").
constexpr bool IsLitLevel(int level) {
    return level * 10 >= kTestFullScale * 8;
}
constexpr bool IsDarkLevel(int level) {
    return level <= kTestFullScale / 2;
}
// Integer part of level / 2048 x 100.
constexpr int TestPercentage(int level) {
    return level * 100 / kTestFullScale;
}

// "testdev" + identification + ".txt".
std::string TestRecordName(int id);

// Between the count and the failure lists of a NONPASS line.
inline constexpr const char* kNonPassSeparator = "\t";

// What one column or row evaluation found.
struct LineEvaluation {
    bool pass = false;
    std::string label; // "Col[3]" or "Row[C]"
    std::string recordLine;
};
// Evaluates the lit beams (in `lit`) against every other beam, which must be
// dark.
LineEvaluation EvaluateLine(std::span<const int16_t> levels, const std::vector<int>& lit,
                            const std::string& label);
// The whole-plate test: every beam lit (high) or every beam dark.
struct PlateEvaluation {
    bool pass = false;
    std::string shown; // "[Test100%=PASS!]" ...
    std::vector<std::string> recordLines;
};
PlateEvaluation EvaluatePlate(std::span<const int16_t> levels, bool high);

// The beams of channel column n (16) and channel row r (24).
std::vector<int> ColumnBeams(int column);
std::vector<int> RowBeams(int row);

// The test grid on the activity drawing: 24 numbered columns, 16 lettered
// rows, a red square and a blue dot per beam.
void Dibujar_test_grid(Surface& s);
// Each beam's square filled with its grey level (level / 8; white above 255).
void Dibujar_test_levels(Surface& s, std::span<const int16_t> levels);

// How a test ended.
enum class TestEnd {
    None,        // not started, or still running
    Finished,    // every step up to 110
    Cancelled,   // Cancel at the first question
    Declined,    // No at "OK to proceed?"
    ComError,    // a beam-sample reply of the wrong length
    WriteFailed, // a beam setting was not acknowledged (abort marker 121)
    RecordError, // the test record could not be written
    Interrupted, // stopped from outside (Ctrl-C of the headless run)
};

struct DeviceTestHooks {
    // Starts or stops Timer_test.
    std::function<void(bool on)> setTimer;
    // Clears the activity drawing and draws its normal axes again.
    std::function<void()> restoreActivityPlot;
};

class DeviceTest {
  public:
    DeviceTest(SharedState& state, Ports& ports);

    DeviceTestHooks hooks;
    // The activity drawing; none in headless runs.
    Surface* picact = nullptr;

    // "Test DEVICE".
    void mnstatustest_Click();
    // One tick of Timer_test (ignored while a tick is running or when the
    // test is not running).
    void Timer_test_Timer();
    // Stops the timer where the test is (Play does this).
    void stop();
    // The same from outside the program's windows; the test counts as
    // interrupted.
    void interrupt();

    bool running() const { return running_; }
    int16_t step() const { return step_; }
    TestEnd end() const { return end_; }
    const std::string& recordPath() const { return recordPath_; }
    const std::array<int16_t, kSlots>& levels() const { return levels_; }
    // Finished with every beam passing every test.
    bool allPassed() const;

  private:
    bool readLevels();
    void doStep();
    void setBeams(const std::vector<int>& beams, int power, int gain);
    void evaluate(const std::vector<int>& lit, const std::string& label);
    void wholePlateTest(bool high);
    bool append(const std::vector<std::string>& lines);
    void stopTimer();
    void finish();
    void show(const std::string& text);

    SharedState& s_;
    Ports& ports_;
    bool running_ = false;
    bool inTick_ = false;
    bool stopTick_ = false; // the current step ended the test
    int16_t step_ = 0;
    TestEnd end_ = TestEnd::None;
    int id_ = 0;
    std::string recordPath_;
    std::array<int16_t, kSlots> levels_{};
    int failedChecks_ = 0;
};

// The device test without a window (trelvane-cli): started as the menu
// starts it, then one tick every 100 ms until it stops, or until `stop`
// (when given) becomes true. The questions are answered by the test's
// Prompter. Returns how it ended; the test holds the record path and the
// result.
TestEnd RunDeviceTestHeadless(DeviceTest& test, Clock& clock,
                              const std::atomic<bool>* stop = nullptr);

// trelvane-cli device-test: opens COM<port> (the program's port naming),
// checks that an instrument answers, runs the whole test with the real clock
// and writes the record into the program folder as the window does. Prints
// the record's path on `out`, messages and progress on `err`. 0 when every
// beam passed every test, 1 otherwise (also when no instrument answered or
// the test stopped early).
int RunDeviceTestCommand(const std::string& programFolder, int port, std::ostream& out,
                         std::ostream& err, const std::atomic<bool>* stop = nullptr);

} // namespace trv
