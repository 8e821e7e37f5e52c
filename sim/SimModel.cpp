#include "SimModel.h"

#include <algorithm>
#include <cmath>

namespace trv::sim {

namespace {

constexpr double kBandMiddle = 1740.0;      // middle of the calibration band (1638..1843)
constexpr int kInitialSetting = 3 * 32 + 2; // gain 3, power 2

int strengthOf(uint8_t setting) {
    return (setting % 32) * 8 + setting / 32;
}

// The 6-well plate in beam units (as the w6 plate format draws it): wells on
// a pitch of 8.6889 beams, the first row and column edges at -2.22 and
// -1.0289, floors of 34.8 mm across with beams 4.5 mm apart.
constexpr double kSixWellPitch = 8.6889;
constexpr double kSixWellRowOffset = -2.22;
constexpr double kSixWellColumnOffset = -1.0289;
constexpr double kSixWellFloorRadius = 34.8 / 4.5 / 2;
// How far from its centre an animal dims a beam, and how much at most.
constexpr double kBodyRadius = 0.7;
constexpr double kLarvaDepth = 0.5;
constexpr double kFlyDepth = 0.6;
// Movement is integrated in steps of at most this many seconds.
constexpr double kMoveStep = 0.01;

} // namespace

FactoryRegisters factoryData(int month, int year, double offset, double slope) {
    const long off10 = std::lround(std::fabs(offset) * 10.0);
    const long s = std::lround(slope * 1000.0);
    return {0,
            static_cast<uint8_t>(month),
            static_cast<uint8_t>(year),
            static_cast<uint8_t>(offset < 0 ? 1 : 0),
            static_cast<uint8_t>(std::clamp<long>(off10, 0, 255)),
            static_cast<uint8_t>(s & 0xFF),
            static_cast<uint8_t>((s >> 8) & 0xFF),
            0};
}

FactoryRegisters invalidFactoryData() {
    return {7, 13, 150, 2, 0, 0, 0, 0};
}

SimModel::SimModel(const SimModelOptions& options)
    : opt_(options), rng_(options.seed), noise_(0.0, std::max(0.0, options.noise)),
      factory_(options.factory), temperature_(options.startTemperature) {
    settings_.fill(static_cast<uint8_t>(kInitialSetting));
    light_.fill(1.0);
    for (int b : opt_.weakEmitters)
        if (b >= 0 && b < kBeams) light_[static_cast<size_t>(b)] = 1.0 / 3.0;
    for (int b : opt_.deadReceivers)
        if (b >= 0 && b < kBeams) light_[static_cast<size_t>(b)] = 0.0;
    // The sensor itself: what the factory data at start says it is.
    const double offset = (factory_[3] == 1 ? -1.0 : 1.0) * factory_[4] / 10.0;
    const double slope = (factory_[6] * 256 + factory_[5]) / 1000.0;
    if (factory_[0] == 0 && slope >= 0.1 && slope <= 0.45 && std::fabs(offset) <= 10.0) {
        sensorOffset_ = offset;
        sensorSlope_ = slope;
    }
    const int lo = std::max(1, std::min(opt_.minTargetStrength, opt_.maxTargetStrength));
    const int hi = std::max(lo, opt_.maxTargetStrength);
    std::uniform_int_distribution<int> target(lo, hi);
    for (int b = 0; b < kBeams; ++b)
        target_[static_cast<size_t>(b)] = target(rng_);

    // Wells over the beam matrix: beam b sits in beam column b / 16 (0..23)
    // and beam row b % 16 (0..15); wells are numbered down the columns.
    wellOfBeam_.fill(-1);
    if (opt_.plateRows > 0 && opt_.plateColumns > 0) {
        const int rows = std::min(opt_.plateRows, 16);
        const int cols = std::min(opt_.plateColumns, 24);
        wells_.resize(static_cast<size_t>(rows * cols));
        for (int b = 0; b < kBeams; ++b) {
            const int wr = (b % 16) * rows / 16;
            const int wc = (b / 16) * cols / 24;
            const int w = wc * rows + wr;
            wellOfBeam_[static_cast<size_t>(b)] = w;
            wells_[static_cast<size_t>(w)].beams.push_back(b);
        }
    }
    const bool animals = opt_.organism == Organism::FishLarvae || opt_.organism == Organism::Flies;
    if (animals && opt_.plateRows == 2 && opt_.plateColumns == 3) placeAnimals();
    for (Well& w : wells_)
        scheduleWell(w, 0.0);
}

void SimModel::placeAnimals() {
    animalRng_.seed(opt_.seed ^ 0x9E3779B97F4A7C15ull);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    wells_.clear();
    animals_.resize(6);
    for (size_t w = 0; w < animals_.size(); ++w) {
        Animal& a = animals_[w];
        a.cx = kSixWellColumnOffset + (static_cast<double>(w / 2) + 0.5) * kSixWellPitch;
        a.cy = kSixWellRowOffset + (static_cast<double>(w % 2) + 0.5) * kSixWellPitch;
        a.radius = kSixWellFloorRadius - 0.3;
        const double r = a.radius * std::sqrt(u(animalRng_));
        const double angle = 2 * M_PI * u(animalRng_);
        a.x = a.cx + r * std::cos(angle);
        a.y = a.cy + r * std::sin(angle);
        a.heading = 2 * M_PI * u(animalRng_);
        a.moving = true; // resting from time 0 on
        switchAnimal(a, 0.0);
    }
    // A beam belongs to the well whose floor it lies over (or just beside).
    animalOfBeam_.fill(-1);
    for (int b = 0; b < kBeams; ++b) {
        const double x = b / 16 + 0.5, y = b % 16 + 0.5;
        for (size_t w = 0; w < animals_.size(); ++w)
            if (std::hypot(x - animals_[w].cx, y - animals_[w].cy) <=
                kSixWellFloorRadius + kBodyRadius)
                animalOfBeam_[static_cast<size_t>(b)] = static_cast<int>(w);
    }
    wellOfBeam_ = animalOfBeam_;
}

void SimModel::switchAnimal(Animal& a, double at) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const double activity = std::max(0.05, lightOn() ? opt_.lightActivity : 1.0);
    const bool larva = opt_.organism == Organism::FishLarvae;
    a.moving = !a.moving;
    if (a.moving) {
        // Larvae dart off in a new direction; flies set off roughly ahead.
        std::normal_distribution<double> turn(0.0, larva ? 0.9 : 1.2);
        a.heading += turn(animalRng_);
        if (larva) {
            a.speed = 3.0 + 3.0 * u(animalRng_);
            a.nextSwitch = at + 0.15 + 0.35 * u(animalRng_);
        } else {
            std::exponential_distribution<double> walk(1.0 / 3.0);
            a.speed = 1.2 + 1.8 * u(animalRng_);
            a.nextSwitch = at + 0.5 + walk(animalRng_);
        }
    } else {
        std::exponential_distribution<double> rest(activity / (larva ? 2.5 : 5.0));
        a.nextSwitch = at + 0.1 + rest(animalRng_);
    }
}

void SimModel::moveAnimals(double from, double to) {
    std::normal_distribution<double> wander(0.0, 1.0);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const double wobble = opt_.organism == Organism::FishLarvae ? 0.3 : 2.0;
    for (double t = from; t < to;) {
        const double dt = std::min(kMoveStep, to - t);
        t += dt;
        for (Animal& a : animals_) {
            while (a.nextSwitch <= t)
                switchAnimal(a, a.nextSwitch);
            if (!a.moving) continue;
            a.heading += wobble * std::sqrt(dt) * wander(animalRng_);
            const double nx = a.x + a.speed * dt * std::cos(a.heading);
            const double ny = a.y + a.speed * dt * std::sin(a.heading);
            if (std::hypot(nx - a.cx, ny - a.cy) > a.radius) {
                // At the wall: turn back into the well.
                a.heading = std::atan2(a.cy - a.y, a.cx - a.x) + u(animalRng_);
                continue;
            }
            a.x = nx;
            a.y = ny;
        }
    }
}

SimModel::Place SimModel::animalPlace(int well) const {
    if (well < 0 || static_cast<size_t>(well) >= animals_.size()) return {};
    return {animals_[static_cast<size_t>(well)].x, animals_[static_cast<size_t>(well)].y};
}

double SimModel::animalDimming(int beam) const {
    const int w = animalOfBeam_[static_cast<size_t>(beam)];
    if (w < 0) return 0.0;
    const Animal& a = animals_[static_cast<size_t>(w)];
    const double d = std::hypot(beam / 16 + 0.5 - a.x, beam % 16 + 0.5 - a.y);
    if (d >= kBodyRadius) return 0.0;
    return (opt_.organism == Organism::FishLarvae ? kLarvaDepth : kFlyDepth) *
           (1 - d / kBodyRadius);
}

void SimModel::setOutputState(int m) {
    const bool lightChanged = ((outputState_ ^ m) & 4) != 0;
    outputState_ = m & 7;
    // Activity follows the light from the moment it changes.
    if (lightChanged)
        for (Well& w : wells_)
            scheduleWell(w, time_);
}

uint8_t SimModel::setting(int beam) const {
    return beam >= 0 && beam < kBeams ? settings_[static_cast<size_t>(beam)] : 0;
}

void SimModel::setSetting(int beam, uint8_t value) {
    if (beam >= 0 && beam < kBeams) settings_[static_cast<size_t>(beam)] = value;
}

void SimModel::setAll(int bank, uint8_t value) {
    const int first = bank == 0 ? 0 : 128;
    const int last = bank == 0 ? 127 : kBeams - 1;
    for (int b = first; b <= last; ++b)
        settings_[static_cast<size_t>(b)] = value;
}

int SimModel::readRegister(int bank, int reg) const {
    if (reg < 0 || reg > 255) return 0;
    if (bank == 0) {
        if (reg < 128) return settings_[static_cast<size_t>(reg)];
        if (reg < 136) return factory_[static_cast<size_t>(reg - 128)];
        return 0;
    }
    if (bank == 1) return setting(128 + reg);
    return 0;
}

void SimModel::writeRegister(int bank, int reg, uint8_t value) {
    if (reg < 0 || reg > 255) return;
    if (bank == 0) {
        if (reg < 128)
            settings_[static_cast<size_t>(reg)] = value;
        else if (reg < 136)
            factory_[static_cast<size_t>(reg - 128)] = value;
    } else if (bank == 1) {
        setSetting(128 + reg, value);
    }
}

int SimModel::temperatureReading() const {
    const long raw = std::lround((temperature_ + opt_.sensorError - sensorOffset_) / sensorSlope_);
    return static_cast<int>(std::clamp<long>(raw, 0, 255));
}

double SimModel::activityRate(const Well& w) const {
    double rate = 0.0;
    switch (opt_.organism) {
    case Organism::Empty:
        return 0.0;
    case Organism::Worms:
        rate = 1.0;
        break;
    case Organism::FishLarvae:
        rate = w.burst ? 6.0 : 0.05;
        break;
    case Organism::Flies:
        rate = 0.1;
        break;
    }
    if (lightOn()) rate *= std::max(0.0, opt_.lightActivity);
    return rate;
}

void SimModel::scheduleWell(Well& w, double from) {
    const double rate = activityRate(w);
    if (rate <= 0) {
        w.nextEvent = INFINITY;
    } else {
        std::exponential_distribution<double> gap(rate);
        w.nextEvent = from + gap(rng_);
    }
    if (opt_.organism == Organism::FishLarvae && w.nextSwitch <= from) {
        // Rest for about 8 s, swim in bursts of about 1.5 s.
        std::exponential_distribution<double> period(w.burst ? 1.0 / 1.5 : 1.0 / 8.0);
        w.nextSwitch = from + period(rng_);
    } else if (opt_.organism != Organism::FishLarvae) {
        w.nextSwitch = INFINITY;
    }
}

void SimModel::spawnEvent(Well& w, double at) {
    if (w.beams.empty()) return;
    std::uniform_int_distribution<size_t> pick(0, w.beams.size() - 1);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    Event e{w.beams[pick(rng_)], at, at, 0.0};
    switch (opt_.organism) {
    case Organism::Worms: // frequent short shallow dips
        e.end = at + 0.03 + 0.09 * u(rng_);
        e.depth = 0.08 + 0.17 * u(rng_);
        break;
    case Organism::FishLarvae: // deeper dips, in bursts
        e.end = at + 0.03 + 0.07 * u(rng_);
        e.depth = 0.2 + 0.3 * u(rng_);
        break;
    case Organism::Flies: // rare and long; a fly on the beam's edge can brighten it
        e.end = at + 0.3 + 1.2 * u(rng_);
        e.depth = u(rng_) < 0.3 ? -(0.1 + 0.1 * u(rng_)) : 0.3 + 0.4 * u(rng_);
        break;
    case Organism::Empty:
        return;
    }
    events_.push_back(e);
}

void SimModel::advanceTo(double seconds) {
    if (seconds <= time_) return;
    const double dtMin = (seconds - time_) / 60.0;

    // Temperature: drift toward ambient, plus the element's steady push.
    double drive = 0.0;
    if (outputState_ & 1) drive = (outputState_ & 2) ? opt_.heatRate : -opt_.coolRate;
    const double tau = std::max(0.1, opt_.driftMinutes);
    const double equilibrium = opt_.ambient + tau * drive;
    temperature_ = equilibrium + (temperature_ - equilibrium) * std::exp(-dtMin / tau);

    // Animals: after a long quiet gap only the last seconds matter.
    double from = time_;
    if (singleAnimals()) {
        if (seconds - from > 60.0) {
            from = seconds - 10.0;
            for (Animal& a : animals_)
                a.nextSwitch = std::max(a.nextSwitch, from);
        }
        moveAnimals(from, seconds);
        time_ = seconds;
        return;
    }
    if (seconds - from > 60.0) {
        from = seconds - 10.0;
        events_.clear();
        for (Well& w : wells_) {
            w.nextSwitch = from;
            scheduleWell(w, from);
        }
    }
    for (Well& w : wells_) {
        for (;;) {
            const double next = std::min(w.nextEvent, w.nextSwitch);
            if (next > seconds) break;
            if (w.nextSwitch <= w.nextEvent) {
                w.burst = !w.burst;
                scheduleWell(w, w.nextSwitch);
            } else {
                spawnEvent(w, w.nextEvent);
                const double at = w.nextEvent;
                const double rate = activityRate(w);
                std::exponential_distribution<double> gap(rate > 0 ? rate : 1.0);
                w.nextEvent = rate > 0 ? at + gap(rng_) : INFINITY;
            }
        }
    }
    time_ = seconds;
    std::erase_if(events_, [&](const Event& e) { return e.end < time_; });
}

double SimModel::dimming(int beam) const {
    if (beam < 0 || beam >= kBeams) return 0.0;
    if (singleAnimals()) return animalDimming(beam);
    double d = 0.0;
    for (const Event& e : events_)
        if (e.beam == beam && e.start <= time_ && time_ < e.end &&
            std::fabs(e.depth) > std::fabs(d))
            d = e.depth;
    return d;
}

double SimModel::cleanLevel(int beam) const {
    if (beam < 0 || beam >= kBeams) return 0.0;
    const auto i = static_cast<size_t>(beam);
    if (light_[i] <= 0.0) return 0.0; // dead receiver
    const double perStep = (kBandMiddle - opt_.darkLevel) / target_[i];
    return opt_.darkLevel + light_[i] * perStep * strengthOf(settings_[i]);
}

int SimModel::level(int beam) {
    const double clean = cleanLevel(beam);
    if (beam >= 0 && beam < kBeams && light_[static_cast<size_t>(beam)] <= 0.0) return 0;
    const double lit = clean - (clean - opt_.darkLevel) * dimming(beam);
    const double v = lit + (opt_.noise > 0 ? noise_(rng_) : 0.0);
    return static_cast<int>(std::clamp<long>(std::lround(v), 0, 4095));
}

} // namespace trv::sim
