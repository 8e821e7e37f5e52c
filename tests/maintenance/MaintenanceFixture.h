// An instrument on COM3 (the in-process simulator, quiet unless told
// otherwise), connected as the program connects it, with a program folder
// of its own and fake ports.
#pragma once

#include "device/Connection.h"
#include "device/ModCOMM.h"
#include "store/Module1.h"
#include "support/Fakes.h"
#include "support/SimPorts.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace trv::test {

struct ConnectedBench {
    explicit ConnectedBench(sim::SimOptions options = SimPorts::quiet()) {
        sim = &sims.start(3, std::move(options));
        EXPECT_EQ(CommOpen(3, PortName(3), kDeviceLineSettings), 0);
        s.config.Serial_COM = 3;
        s.Device_Connected = true;
        s.Offline_Mode = false;
        s.Device_Id = 96;
        s.Program_Folder = home.path();
    }
    SimPorts sims;
    TempDir home;
    FakePorts fake;
    SharedState s;
    sim::SimInstrument* sim = nullptr;
};

} // namespace trv::test
