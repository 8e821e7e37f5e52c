// The simulated instrument on the far end of a pseudo-terminal. It creates a
// pty, links its slave device as $TRELVANE_COM_DIR/COMn (or a given path) and
// answers the five-byte frames FF bank opcode operand F0 on its own thread:
// identification, output state, set-all, register reads and writes (beam
// settings and factory data), the temperature sensor and beam samples.
// Unknown frames are ignored; stray bytes are skipped up to the next FF.
//
// Faults can be switched on and off while it runs (thread-safe), and every
// frame it receives is recorded, so tests can check the exact bytes sent.
// Every beam sample it puts on the line is kept in a ledger too, so a test
// can tell a sample the instrument sent from a held, stale or invented one.
#pragma once

#include "SimModel.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace trv::sim {

using Frame = std::array<uint8_t, 5>;

struct SimFaults {
    int dropNext = 0;      // the next N replies are not sent
    int shortNext = 0;     // the next N replies are cut short...
    int shortLength = -1;  // ...to this many bytes (-1: one byte less)
    int badHighNext = 0;   // the next N beam-sample replies carry a high byte of 0x10
    int wrongAckNext = 0;  // the next N register writes are acknowledged with another number
    int lateMs = 0;        // every reply waits this long first
    long silentAfter = -1; // no reply at all once this many frames have arrived (-1: never)
    std::vector<uint8_t> probeReply; // when not empty: the reply to identification
    int unstableRegister = -1;       // this bank-0 register reads differently every time
    int refusedRegister = -1;        // writes to this bank-0 register are not taken (nor acknowledged)
};

// One beam-sample reply as it went on the line.
struct SentSample {
    long request = 0;    // the frame it answered (1 = the first frame received)
    int groupStart = 0;  // 0, 32, 64 or 96
    bool complete = true; // all 192 bytes went out (not cut short)
    bool badHigh = false; // carried a high byte above 15
    std::array<int16_t, 96> values{}; // value k belongs to beam groupStart + k/3 + 128*(k%3)
};

// Simulated time: the wall clock, or 30 ms (sampleSeconds) per complete
// sample, which makes runs reproducible whatever the speed of the machine.
enum class SimClock { RealTime, PerSample };

struct SimOptions {
    std::string linkPath; // where to link the device; empty: $TRELVANE_COM_DIR/COM<port>
    int port = 1;
    int identification = 96; // replied as (value div 255, value mod 255)
    bool paced = false;      // keep 115200 baud, 10 bits per byte
    SimClock clock = SimClock::RealTime;
    double sampleSeconds = 0.030;
    size_t recordLimit = 100000; // frames kept for frames()
    SimModelOptions model;
    SimFaults faults;
};

class SimInstrument {
  public:
    explicit SimInstrument(SimOptions options = {});
    ~SimInstrument();
    SimInstrument(const SimInstrument&) = delete;
    SimInstrument& operator=(const SimInstrument&) = delete;

    // Creates the pty and the link and starts answering. False (with a
    // reason) when the pty or the link could not be made.
    bool start(std::string* error = nullptr);
    // Stops answering, removes the link and closes the pty. Safe to repeat.
    void stop();
    bool running() const { return running_; }

    const std::string& linkPath() const { return linkPath_; }
    const std::string& devicePath() const { return devicePath_; }

    SimFaults faults() const;
    void setFaults(const SimFaults& f);
    void updateFaults(const std::function<void(SimFaults&)>& change);
    void setIdentification(int value);

    // Every well-formed frame received (known or not), oldest first.
    std::vector<Frame> frames() const;
    long framesReceived() const;
    void clearFrames();
    // The ledger of beam samples sent: how many so far, and those from
    // entry `from` on.
    size_t samplesSent() const;
    std::vector<SentSample> samplesSentSince(size_t from) const;
    // Waits until at least `count` frames have arrived in all.
    bool waitForFrames(long count, int timeoutMs) const;

    // The instrument's state, for tests and the program's own output.
    int outputState() const;
    uint8_t beamSetting(int beam) const;
    int readRegister(int bank, int reg) const;
    void writeRegister(int bank, int reg, uint8_t value);
    double plateTemperature() const;
    void setPlateTemperature(double t);
    double simulatedTime() const;
    // Moves simulated time forward (PerSample clock).
    void advance(double seconds);
    // Direct access to the model under the instrument's lock.
    void withModel(const std::function<void(SimModel&)>& f);

  private:
    void run();
    void handleFrame(const Frame& f);
    std::vector<uint8_t> answer(const Frame& f, bool& reply);
    std::vector<uint8_t> beamSample(int groupStart, bool badHigh);
    void tickClock(int groupStart);
    bool waitInterruptible(std::chrono::steady_clock::duration d);
    bool sendReply(const std::vector<uint8_t>& bytes);

    SimOptions opt_;
    mutable std::mutex mutex_;
    mutable std::condition_variable framesCv_;
    SimModel model_;
    SimFaults faults_;
    int identification_;
    std::deque<Frame> frames_;
    std::vector<SentSample> sent_;
    long framesReceived_ = 0;
    int unstableToggle_ = 0;
    bool lastBadHigh_ = false; // the beam sample just answered carries a bad high byte
    std::vector<int> groupsThisSample_;
    std::chrono::steady_clock::time_point started_{};
    std::chrono::steady_clock::time_point lineFreeAt_{};

    std::string linkPath_;
    std::string devicePath_;
    int master_ = -1;
    int slaveKeep_ = -1;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> running_{false};
    std::thread thread_;
};

} // namespace trv::sim
