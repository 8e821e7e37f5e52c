#include "SimInstrument.h"
#include "SimModel.h"

#include "RawLink.h"
#include "support/SimPorts.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

using namespace trv;
using namespace trv::sim;
using namespace trv::test;

namespace {

using Bytes = std::vector<uint8_t>;
const Bytes kIdentify{0xFF, 0x00, 0x00, 0x00, 0xF0};

int strength(int power, int gain) {
    return power * 8 + gain;
}
uint8_t settingFor(int s) {
    return static_cast<uint8_t>((s % 8) * 32 + s / 8);
}

SimModelOptions quietModel() {
    SimModelOptions o;
    o.organism = Organism::Empty;
    o.noise = 0;
    return o;
}

// Dips of one beam over `seconds` of simulated time sampled every 30 ms:
// how many, and how many samples they lasted in all.
struct Dips {
    int count = 0;
    int samples = 0;
};
Dips dipsOf(SimModel& m, int beam, double seconds) {
    Dips d;
    bool in = false;
    for (double t = 0.03; t <= seconds; t += 0.03) {
        m.advanceTo(m.time() + 0.03);
        const bool dim = m.dimming(beam) != 0.0;
        if (dim && !in) ++d.count;
        if (dim) ++d.samples;
        in = dim;
    }
    return d;
}

} // namespace

TEST(SimBeams, LevelsRiseWithTheSettingAndEachBeamNeedsItsOwnSearch) {
    SimModel m(quietModel());
    int inBandAtDefault = 0;
    std::vector<int> targets;
    for (int b = 0; b < kBeams; ++b) {
        double last = -1;
        int reachable = 0;
        for (int s = 0; s <= strength(7, 7); ++s) {
            m.setSetting(b, settingFor(s));
            const double v = m.cleanLevel(b);
            EXPECT_GT(v, last) << b << " " << s;
            last = v;
            if (v >= 1638 && v <= 1843) ++reachable;
        }
        EXPECT_GT(reachable, 0) << "beam " << b << " cannot be calibrated";
        m.setSetting(b, 3 * 32 + 2);
        if (m.level(b) >= 1638 && m.level(b) <= 1843) ++inBandAtDefault;
        targets.push_back(m.targetStrength(b));
    }
    EXPECT_EQ(inBandAtDefault, 0);
    std::sort(targets.begin(), targets.end());
    EXPECT_GT(targets.back() - targets.front(), 15); // sensitivities differ

    m.setSetting(0, 0);
    EXPECT_EQ(m.level(0), 40);
    m.setSetting(0, 255);
    EXPECT_EQ(m.level(0), 4095);
}

TEST(SimBeams, NoiseVariesTheLevelAroundTheCleanValue) {
    SimModelOptions o = quietModel();
    o.noise = 5;
    SimModel m(o);
    double sum = 0, sq = 0;
    const int n = 2000;
    for (int i = 0; i < n; ++i) {
        const int v = m.level(10);
        sum += v;
        sq += v * v;
    }
    const double mean = sum / n, sd = std::sqrt(sq / n - mean * mean);
    EXPECT_NEAR(mean, m.cleanLevel(10), 1.0);
    EXPECT_NEAR(sd, 5.0, 1.0);
}

TEST(SimAnimals, WormsDipOftenFliesRarelyButLongerAndAnEmptyPlateNever) {
    auto run = [](Organism kind) {
        SimModelOptions o = quietModel();
        o.organism = kind;
        o.plateRows = 16; // one beam per well
        o.plateColumns = 24;
        SimModel m(o);
        Dips all;
        for (int beam : {0, 100, 200, 300}) {
            const Dips d = dipsOf(m, beam, 120.0);
            all.count += d.count;
            all.samples += d.samples;
        }
        return all;
    };
    const Dips worms = run(Organism::Worms), flies = run(Organism::Flies),
               fish = run(Organism::FishLarvae), none = run(Organism::Empty);
    EXPECT_GT(worms.count, 100);
    EXPECT_GT(flies.count, 0);
    EXPECT_LT(flies.count * 4, worms.count);
    EXPECT_GT(flies.samples / flies.count, 2 * worms.samples / worms.count);
    EXPECT_GT(fish.count, 0);
    EXPECT_EQ(none.count, 0);
}

TEST(SimAnimals, ADipDimsTheBeamAndActivityFollowsTheLight) {
    SimModelOptions o = quietModel();
    o.organism = Organism::Worms;
    o.lightActivity = 4.0;
    SimModel dark(o), lit(o);
    lit.setOutputState(4);
    int darkDips = 0, litDips = 0;
    for (int b = 0; b < 8; ++b) {
        darkDips += dipsOf(dark, b, 30.0).count;
        litDips += dipsOf(lit, b, 30.0).count;
    }
    EXPECT_GT(litDips, 2 * darkDips);

    // A dip lowers the level in proportion to its depth.
    SimModel m(o);
    for (int i = 0; i < 10000; ++i) {
        m.advanceTo(m.time() + 0.01);
        if (m.dimming(0) > 0) break;
    }
    ASSERT_GT(m.dimming(0), 0.0);
    EXPECT_LT(m.level(0), m.cleanLevel(0) - 0.05 * (m.cleanLevel(0) - 40));
}

TEST(SimAnimals, TheSameSeedGivesTheSameRun) {
    SimModelOptions o;
    o.seed = 42;
    SimModel a(o), b(o);
    o.seed = 43;
    SimModel c(o);
    bool differs = false;
    for (int i = 0; i < 500; ++i) {
        a.advanceTo(i * 0.03);
        b.advanceTo(i * 0.03);
        c.advanceTo(i * 0.03);
        const int va = a.level(i % 384), vc = c.level(i % 384);
        ASSERT_EQ(va, b.level(i % 384));
        differs = differs || va != vc;
    }
    EXPECT_TRUE(differs);
}

TEST(SimTemperature, HeatsCoolsAndDriftsBackToAmbient) {
    SimModelOptions o = quietModel();
    SimModel m(o);
    m.setOutputState(3); // regulation on, heating
    m.advanceTo(600);
    const double heated = m.plateTemperature();
    EXPECT_GT(heated, 22.0 + 10.0);
    EXPECT_LT(heated, 22.0 + 15.0); // 1.5 per minute, less the drift

    m.setOutputState(0);
    m.advanceTo(600 + 3600 * 3);
    EXPECT_NEAR(m.plateTemperature(), 22.0, 0.1);

    m.setOutputState(1); // regulation on, cooling
    m.advanceTo(600 + 3600 * 3 + 300);
    EXPECT_LT(m.plateTemperature(), 22.0 - 3.5);
    // The light alone does not heat.
    SimModel l(o);
    l.setOutputState(4);
    l.advanceTo(600);
    EXPECT_DOUBLE_EQ(l.plateTemperature(), 22.0);
}

TEST(SimTemperature, SensorReadsTheRawValueUnderTheFactoryCalibration) {
    SimModelOptions o = quietModel();
    o.factory = factoryData(6, 24, 0.5, 0.219);
    SimModel m(o);
    m.setPlateTemperature(30.0);
    EXPECT_EQ(m.temperatureReading(), 135); // (30 - 0.5) / 0.219 = 134.7
    // Rewriting the factory data recalibrates the program, not the sensor.
    m.writeRegister(0, 131, 1);
    EXPECT_EQ(m.temperatureReading(), 135);
    SimModelOptions warmSensor = o;
    warmSensor.sensorError = 2.0; // reads 2 degrees warm: (32 - 0.5) / 0.219 = 143.8
    SimModel warm(warmSensor);
    warm.setPlateTemperature(30.0);
    EXPECT_EQ(warm.temperatureReading(), 144);
    o.factory = invalidFactoryData();
    SimModel bad(o);
    bad.setPlateTemperature(30.0);
    EXPECT_EQ(bad.temperatureReading(), 137); // default calibration: 30 / 0.219
    bad.setPlateTemperature(-5);
    EXPECT_EQ(bad.temperatureReading(), 0);
}

TEST(SimRegisters, SettingsFactoryDataAndSetAll) {
    SimModel m(quietModel());
    EXPECT_EQ(m.readRegister(0, 128), 0);
    EXPECT_EQ(m.readRegister(0, 129), 6);
    EXPECT_EQ(m.readRegister(0, 133), 219);
    EXPECT_EQ(m.readRegister(0, 200), 0);
    m.writeRegister(0, 5, 77);
    m.writeRegister(1, 5, 78);
    m.writeRegister(1, 200, 79);
    EXPECT_EQ(m.setting(5), 77);
    EXPECT_EQ(m.setting(133), 78);
    EXPECT_EQ(m.setting(328), 79);
    EXPECT_EQ(m.readRegister(1, 200), 79);
    m.writeRegister(0, 129, 12);
    EXPECT_EQ(m.readRegister(0, 129), 12);
    m.setAll(0, 11);
    m.setAll(1, 22);
    EXPECT_EQ(m.setting(0), 11);
    EXPECT_EQ(m.setting(127), 11);
    EXPECT_EQ(m.setting(128), 22);
    EXPECT_EQ(m.setting(383), 22);
}

// ---- the protocol, through a raw client ----------------------------------

TEST(SimProtocol, AnswersTheCatalogueAndSkipsGarbage) {
    SimPorts sims;
    auto& sim = sims.start(2, SimPorts::quiet());
    RawLink link(sims.path(2));
    ASSERT_TRUE(link.ok());

    // Stray bytes, a doubled start byte, then identification.
    EXPECT_EQ(link.exchange({0x12, 0x34, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xF0}, 2), (Bytes{0, 96}));
    // Unknown requests get no answer.
    EXPECT_TRUE(link.exchange({0xFF, 0x00, 0x77, 0x00, 0xF0}, 1, 100).empty());
    EXPECT_TRUE(link.exchange({0xFF, 0x00, 0x30, 100, 0xF0}, 1, 100).empty());
    EXPECT_TRUE(link.exchange({0xFF, 0x05, 0x00, 0x00, 0xF0}, 1, 100).empty());
    // Output state: no reply.
    EXPECT_TRUE(link.exchange({0xFF, 0x00, 0x10, 0x07, 0xF0}, 1, 100).empty());
    EXPECT_EQ(sim.outputState(), 7);
    // Set-all, then read back through both banks.
    EXPECT_EQ(link.exchange({0xFF, 0x00, 0x11, 0x21, 0xF0}, 2)[0], 0x21);
    EXPECT_EQ(link.exchange({0xFF, 0x01, 0x11, 0x42, 0xF0}, 2)[0], 0x42);
    EXPECT_EQ(link.exchange({0xFF, 0x00, 0x20, 0x05, 0xF0}, 2)[0], 0x21);
    EXPECT_EQ(link.exchange({0xFF, 0x01, 0x20, 0xFF, 0xF0}, 2)[0], 0x42); // beam 383
    // Register write acknowledged with its number.
    EXPECT_EQ(link.exchange({0xFF, 0x80, 0x10, 0x63, 0xF0}, 2), (Bytes{0x10, 0x63}));
    EXPECT_EQ(sim.beamSetting(16), 0x63);
    // Temperature sensor.
    sim.setPlateTemperature(30.0);
    EXPECT_EQ(link.exchange({0xFF, 0x00, 0x21, 0x00, 0xF0}, 2)[0], 135);
    // Beam sample: 96 pairs, high byte at most 15.
    const Bytes sample = link.exchange({0xFF, 0x00, 0x30, 0x40, 0xF0}, 192);
    ASSERT_EQ(sample.size(), 192u);
    for (size_t i = 0; i < 192; i += 2)
        EXPECT_LE(sample[i], 15);
    EXPECT_TRUE(link.receive(1, 50).empty()); // nothing more

    EXPECT_EQ(sim.framesReceived(), 12);
}

TEST(SimProtocol, FaultsCanBeSwitchedWhileRunning) {
    SimPorts sims;
    auto& sim = sims.start(2, SimPorts::quiet());
    RawLink link(sims.path(2));
    ASSERT_TRUE(link.ok());

    sim.updateFaults([](SimFaults& f) {
        f.shortNext = 1;
        f.shortLength = 100;
    });
    EXPECT_EQ(link.exchange({0xFF, 0x00, 0x30, 0x00, 0xF0}, 192, 300).size(), 100u);
    sim.updateFaults([](SimFaults& f) { f.badHighNext = 1; });
    EXPECT_EQ(link.exchange({0xFF, 0x00, 0x30, 0x00, 0xF0}, 192)[0], 0x10);
    EXPECT_LE(link.exchange({0xFF, 0x00, 0x30, 0x00, 0xF0}, 192)[0], 15);

    sim.updateFaults([](SimFaults& f) { f.lateMs = 150; });
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(link.exchange(kIdentify, 2), (Bytes{0, 96}));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(150));

    const long seen = sim.framesReceived();
    sim.updateFaults([&](SimFaults& f) {
        f.lateMs = 0;
        f.silentAfter = seen + 1;
    });
    EXPECT_EQ(link.exchange(kIdentify, 2), (Bytes{0, 96}));
    EXPECT_TRUE(link.exchange(kIdentify, 2, 150).empty());
    EXPECT_TRUE(link.exchange(kIdentify, 2, 150).empty());
    sim.updateFaults([](SimFaults& f) {
        f.silentAfter = -1;
        f.dropNext = 1;
    });
    EXPECT_TRUE(link.exchange(kIdentify, 2, 150).empty());
    EXPECT_EQ(link.exchange(kIdentify, 2), (Bytes{0, 96}));
}

TEST(SimProtocol, PacedRepliesKeepTheLinkRate) {
    SimPorts sims;
    SimOptions o = SimPorts::quiet();
    o.paced = true;
    sims.start(2, o);
    RawLink link(sims.path(2));
    ASSERT_TRUE(link.ok());
    const auto t0 = std::chrono::steady_clock::now();
    for (int s : {0, 32, 64, 96})
        ASSERT_EQ(link.exchange({0xFF, 0x00, 0x30, static_cast<uint8_t>(s), 0xF0}, 192).size(),
                  192u);
    const auto us =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    // 4 x (5 + 192) bytes of 10 bits at 115200 baud: 68.4 ms.
    EXPECT_GE(us, 68000);
    EXPECT_LT(us, 1000000);
}

TEST(SimProtocol, PerSampleClockAdvancesWhenAGroupIsAskedForAgain) {
    SimPorts sims;
    auto& sim = sims.start(2, SimPorts::quiet());
    RawLink link(sims.path(2));
    for (int round = 0; round < 3; ++round)
        for (int s : {0, 32, 64, 96})
            ASSERT_EQ(link.exchange({0xFF, 0x00, 0x30, static_cast<uint8_t>(s), 0xF0}, 192).size(),
                      192u);
    EXPECT_NEAR(sim.simulatedTime(), 0.06, 1e-9);
}
