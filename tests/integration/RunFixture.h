// An acquisition against the simulated instrument: a program folder with the
// built-in plate formats, project 1, the instrument on COM1 of a temporary
// port folder (a real pty and the real serial layer), fake ports with a fake
// clock, and the run wired to them.
#pragma once

#include "acquisition/AcquisitionRun.h"
#include "common/Files.h"
#include "device/Connection.h"
#include "device/ModCOMM.h"
#include "store/ConfigFile.h"
#include "store/PlateFormat.h"
#include "support/Fakes.h"
#include "support/RunConfig.h"
#include "support/SimPorts.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace trv::test {

struct RunFixture {
    TempDir dir;
    SimPorts sims;
    FakePorts fake;
    SharedState s;
    std::unique_ptr<AcquisitionRun> run;
    sim::SimInstrument* sim = nullptr;
    int tickMs = 70;                 // fake time per tick: the link's pace with four groups
    std::vector<std::string> events; // hooks called, in order

    explicit RunFixture(sim::SimOptions options = defaultSim(), const std::string& plate = "w96f") {
        s.Program_Folder = dir.path();
        for (const char* name : {"w384", "w96f", "w96u"}) {
            PlateLayout p;
            applyBuiltinPlate(p, name);
            dir.write(std::string(name) + ".dat", plateFileText(p, name, "built in"));
        }
        const std::string folder = dir / projectFolderName(1);
        makeFolder(folder);
        s.config.Actual_Project_Number = 1;
        s.config.Serial_COM = 1;
        s.Project_Folder = folder;
        s.setup.Name = "Test";
        s.setup.Plate_format = plate;
        applyBuiltinPlate(s.plate, plate);
        s.Device_Connected = true;

        options.port = 1;
        sim = &sims.start(1, options);
        EXPECT_EQ(CommOpen(1, "COM1", kDeviceLineSettings), 0);
        s.Device_Connected = true;
        ReadFactoryCalibration(s, fake.ports); // the sensor calibration, as Connect reads it
        // Window events take some time: long enough for the instrument to
        // take a frame before the next purge.
        fake.pump.every = [] { std::this_thread::sleep_for(std::chrono::microseconds(200)); };

        run = std::make_unique<AcquisitionRun>(s, fake.ports);
        run->setFreeDiskMB([](const std::string&) { return 100000LL; });
        RunHooks h;
        h.refreshActivePlot = [this] { events.push_back("plot"); };
        h.showReport = [this](bool a) { events.push_back(a ? "autoreport" : "report"); };
        h.quitProgram = [this] { events.push_back("quit"); };
        run->setHooks(std::move(h));
        run->FillControls();
    }
    ~RunFixture() { CommClose(1); }

    // Worms, some noise, simulated time following the fake clock.
    static sim::SimOptions defaultSim() {
        sim::SimOptions o;
        o.clock = sim::SimClock::PerSample;
        o.sampleSeconds = 0.070;
        o.model.seed = 7;
        return o;
    }

    bool play(const std::string& name = "Run A") {
        fake.prompter.type(name);
        return run->Play();
    }

    // One timer tick, then the fake time of one tick passes.
    void tick() {
        run->AcquisitionTick();
        fake.clock.advanceMs(tickMs);
    }
    // Ticks while the timer runs (at most `limit` ticks); returns the count.
    long ticksUntilStopped(long limit) {
        long n = 0;
        while (run->timerRunning() && n < limit) {
            tick();
            ++n;
        }
        return n;
    }

    std::string acqPath() const { return run->acquisitionPath(); }
};

} // namespace trv::test
