// Simulated instruments on real pseudo-terminals for device tests: a temporary
// $TRELVANE_COM_DIR, instruments started on chosen port numbers, and at the
// end every instrument stopped, every serial port of the process closed and
// the environment restored.
#pragma once

#include "support/TempDir.h"

#include "SimInstrument.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace trv::test {

class SimPorts {
  public:
    SimPorts();
    ~SimPorts();
    SimPorts(const SimPorts&) = delete;
    SimPorts& operator=(const SimPorts&) = delete;

    // Starts an instrument linked as COM<port> (fails the test when it
    // cannot start).
    sim::SimInstrument& start(int port, sim::SimOptions options = {});
    sim::SimInstrument& at(int port) { return *sims_.at(port); }
    void stop(int port);

    const std::string& dir() const { return dir_.path(); }
    std::string path(int port) const { return dir_ / ("COM" + std::to_string(port)); }

    // Options of a quiet instrument: no animals, no noise, time moving one
    // sample at a time, so its levels are exactly the model's clean levels.
    static sim::SimOptions quiet();

  private:
    TempDir dir_;
    std::optional<std::string> savedEnv_;
    std::map<int, std::unique_ptr<sim::SimInstrument>> sims_;
};

// Bytes of a frame as text (one char per byte), and back.
std::string bytes(std::initializer_list<int> values);
sim::Frame frame(int b0, int b1, int b2, int b3, int b4);

} // namespace trv::test
