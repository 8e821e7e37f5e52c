#include "support/SimPorts.h"

#include "device/ModCOMM.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace trv::test {

SimPorts::SimPorts() {
    if (const char* old = std::getenv("TRELVANE_COM_DIR")) savedEnv_ = old;
    ::setenv("TRELVANE_COM_DIR", dir_.path().c_str(), 1);
}

SimPorts::~SimPorts() {
    for (int p = 1; p <= kCommPorts; ++p)
        CommClose(p);
    for (auto& [port, sim] : sims_)
        sim->stop();
    sims_.clear();
    if (savedEnv_)
        ::setenv("TRELVANE_COM_DIR", savedEnv_->c_str(), 1);
    else
        ::unsetenv("TRELVANE_COM_DIR");
}

sim::SimInstrument& SimPorts::start(int port, sim::SimOptions options) {
    options.port = port;
    options.linkPath = path(port);
    auto s = std::make_unique<sim::SimInstrument>(std::move(options));
    std::string error;
    EXPECT_TRUE(s->start(&error)) << error;
    auto& ref = *s;
    sims_[port] = std::move(s);
    return ref;
}

void SimPorts::stop(int port) {
    auto it = sims_.find(port);
    if (it == sims_.end()) return;
    it->second->stop();
    sims_.erase(it);
}

sim::SimOptions SimPorts::quiet() {
    sim::SimOptions o;
    o.clock = sim::SimClock::PerSample;
    o.model.organism = sim::Organism::Empty;
    o.model.noise = 0.0;
    return o;
}

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

sim::Frame frame(int b0, int b1, int b2, int b3, int b4) {
    return {static_cast<uint8_t>(b0), static_cast<uint8_t>(b1), static_cast<uint8_t>(b2),
            static_cast<uint8_t>(b3), static_cast<uint8_t>(b4)};
}

} // namespace trv::test
