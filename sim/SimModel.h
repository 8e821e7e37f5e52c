// The physics of the simulated instrument: 384 beams whose receiver levels
// follow their settings through a per-beam sensitivity, animals in the wells
// that dim the beams they cross, the plate temperature, the registers. No I/O
// and no locking: SimInstrument owns one and serialises access.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace trv::sim {

inline constexpr int kBeams = 384;

enum class Organism { Empty, Worms, FishLarvae, Flies };

// Factory data registers 128..135: marker (0), month, two-digit year, offset
// sign (1 = negative), |offset| x 10, slope x 1000 low byte, high byte, spare.
using FactoryRegisters = std::array<uint8_t, 8>;

// Factory data for a sensor calibration (offset in degrees C, slope in
// degrees C per raw unit).
FactoryRegisters factoryData(int month, int year, double offset, double slope);
// Data the program must reject (bad marker, month 13, slope 0).
FactoryRegisters invalidFactoryData();

struct SimModelOptions {
    uint32_t seed = 1;
    Organism organism = Organism::Worms;
    // Wells laid over the 24 x 16 beam matrix; 0 rows means no plate.
    int plateRows = 8;
    int plateColumns = 12;
    double noise = 3.0;         // standard deviation of a level, in counts
    double darkLevel = 40.0;    // level of a beam with setting 0
    double lightActivity = 2.0; // activity factor while the light is on (1 = none)
    // Each beam sits in the middle of the calibration band at a strength
    // (power x 8 + gain) drawn between these.
    int minTargetStrength = 24;
    int maxTargetStrength = 56;
    double ambient = 22.0;          // degrees C
    double startTemperature = 22.0; // degrees C
    double heatRate = 1.5;          // degrees C per minute while heating
    double coolRate = 1.0;          // degrees C per minute while cooling
    double driftMinutes = 20.0;     // time constant of the drift toward ambient
    FactoryRegisters factory = factoryData(6, 24, 0.5, 0.219);
    // The sensor reads this many degrees warmer than the factory data held
    // at start says; a reference calibration takes it out.
    double sensorError = 0.0;
    // Faulty beams: a weak emitter gives a third of its light, a dead
    // receiver reads 0 whatever the setting.
    std::vector<int> weakEmitters;
    std::vector<int> deadReceivers;
};

class SimModel {
  public:
    explicit SimModel(const SimModelOptions& options);

    // Output state m: bit 0 regulation on, bit 1 heating (clear = cooling),
    // bit 2 light on.
    void setOutputState(int m);
    int outputState() const { return outputState_; }
    bool lightOn() const { return (outputState_ & 4) != 0; }

    uint8_t setting(int beam) const;
    void setSetting(int beam, uint8_t value);
    // The setting of every beam of bank 0 (0..127) or of bank 1 and above
    // (128..383: bank-1 registers reach bank 2 too).
    void setAll(int bank, uint8_t value);

    // Register reads and writes: bank 0 registers 0..127 are the settings of
    // beams 0..127 and 128..135 the factory data; bank 1 register r is the
    // setting of beam 128 + r. Other registers read 0 and ignore writes.
    int readRegister(int bank, int reg) const;
    void writeRegister(int bank, int reg, uint8_t value);

    // Simulated time in seconds; moving it forward moves the animals and the
    // temperature.
    double time() const { return time_; }
    void advanceTo(double seconds);

    double plateTemperature() const { return temperature_; }
    void setPlateTemperature(double t) { temperature_ = t; }
    // The sensor's raw reading of the plate temperature, 0..255. The sensor
    // is the one the factory data held at start describes (the default
    // calibration when that data is nonsense), off by sensorError; writing
    // the factory registers later changes what the program computes from the
    // reading, not the reading itself.
    int temperatureReading() const;

    // One noisy level (0..4095) of a beam at the current time.
    int level(int beam);
    // The level without noise or animals (faulty beams included).
    double cleanLevel(int beam) const;
    // The strength at which the beam sits mid-band.
    int targetStrength(int beam) const { return target_[static_cast<size_t>(beam)]; }
    // A beam that drifted: it now sits mid-band at this strength (a lower
    // one makes it brighter at the setting it has).
    void setTargetStrength(int beam, int strength) {
        if (beam >= 0 && beam < kBeams && strength > 0)
            target_[static_cast<size_t>(beam)] = strength;
    }
    // The well of a beam, -1 when it lies in none.
    int wellOf(int beam) const { return wellOfBeam_[static_cast<size_t>(beam)]; }
    // How much the animals dim a beam now (0 none; negative for a spike).
    double dimming(int beam) const;

    // On a 6-well plate with fish larvae or flies each well holds one animal
    // that moves about (instead of dips scattered over the well's beams), so
    // the beams it crosses trace a path: larvae swim in short bouts between
    // rests, flies walk for a few seconds, turning as they go, and rest.
    bool singleAnimals() const { return !animals_.empty(); }
    // Where the animal of a well is, in beam units (beam c sits at column
    // c / 16 + 0.5, row c % 16 + 0.5); nothing without single animals.
    struct Place {
        double x = 0, y = 0;
    };
    Place animalPlace(int well) const;

  private:
    struct Event {
        int beam;
        double start, end, depth;
    };
    struct Well {
        std::vector<int> beams;
        double nextEvent = 0;
        bool burst = false;
        double nextSwitch = 0;
    };
    struct Animal {
        double cx = 0, cy = 0, radius = 0; // the well's floor, beam units
        double x = 0, y = 0, heading = 0;
        double speed = 0; // beam units per second while moving
        bool moving = false;
        double nextSwitch = 0; // when it starts or stops moving
    };
    void placeAnimals();
    void switchAnimal(Animal& a, double at);
    void moveAnimals(double from, double to);
    double animalDimming(int beam) const;
    void scheduleWell(Well& w, double from);
    void spawnEvent(Well& w, double at);
    double activityRate(const Well& w) const;

    SimModelOptions opt_;
    std::mt19937_64 rng_;
    std::normal_distribution<double> noise_;
    std::array<uint8_t, kBeams> settings_{};
    std::array<int, kBeams> target_{};
    std::array<int, kBeams> wellOfBeam_{};
    std::array<double, kBeams> light_{}; // share of the beam's light reaching its receiver
    std::vector<Well> wells_;
    std::vector<Event> events_;
    std::vector<Animal> animals_;
    std::array<int, kBeams> animalOfBeam_{}; // the animal whose well holds the beam, -1 none
    std::mt19937_64 animalRng_;
    FactoryRegisters factory_{};
    int outputState_ = 0;
    double time_ = 0;
    double temperature_ = 22.0;
    double sensorOffset_ = 0.0;
    double sensorSlope_ = 0.219;
};

} // namespace trv::sim
