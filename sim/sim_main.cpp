// trelvane-sim: the simulated instrument as a program. It links a pty as
// $TRELVANE_COM_DIR/COMn (or --link PATH), answers the instrument's frames
// until SIGINT or SIGTERM, then removes its link and exits.
#include "SimInstrument.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

using namespace trv::sim;

namespace {

const char* kUsage = R"(Usage: trelvane-sim [options]

The simulated multi-well activity reader on a pseudo-terminal. The device is
linked as $TRELVANE_COM_DIR/COM<port> (or at --link PATH); the program opens
it as port "COM<port>". Stops on SIGINT or SIGTERM and removes its link.

Link:
  --port N              port number of the link name (default 1)
  --link PATH           create the link at PATH instead
  --paced               keep the pace of a 115200-baud line (10 bits a byte)

Instrument:
  --id N                identification value (default 96)
  --seed N              random seed (default 1)
  --plate FORMAT        w384, w96f, w96u, w96flat, w48, w24, w6, empty or
                        ROWSxCOLUMNS (default w96f: 8 x 12 wells)
  --organism KIND       worms, fish, flies or empty (default worms); on the
                        6-well plate fish and flies are one moving animal
                        per well, whose path the track analysis follows
  --light-activity F    activity factor while the light is on (default 2)
  --noise SD            level noise in counts (default 3)
  --per-sample-clock    simulated time advances 30 ms per complete sample
                        (reproducible runs) instead of following the clock
  --weak-emitter B      beam B's emitter gives a third of its light
                        (repeatable; with --plate empty for the device test)
  --dead-receiver B     beam B's receiver reads 0 (repeatable)

Temperature:
  --ambient C           ambient temperature (default 22)
  --start-temp C        plate temperature at start (default: ambient)
  --heat-rate C         degrees per minute while heating (default 1.5)
  --cool-rate C         degrees per minute while cooling (default 1)
  --factory M,YY,OFFSET,SLOPE
                        factory calibration (default 6,24,0.5,0.219)
  --invalid-factory     factory data the program must reject
  --sensor-error C      the sensor reads C degrees warmer than its factory
                        data says (a reference calibration corrects it);
                        written factory data stays until the program ends

Faults:
  --late-ms N           every reply waits N ms
  --silent-after N      no replies once N frames have arrived
  --probe-answer HI,LO  reply to identification with these two bytes
  --drop N              drop the first N replies
  --short N[,LEN]       cut the first N replies short, to LEN bytes (default:
                        one byte less)
  --bad-high N          the first N beam-sample replies carry a high byte
                        above 15
  --wrong-ack N         acknowledge the first N register writes with another
                        register number
  --unstable-register R bank-0 register R reads differently every time

  --quiet               print nothing but errors
  --help                this text
  --version             print the version and exit
)";

bool plateFormat(const std::string& s, SimModelOptions& m) {
    struct Known {
        const char* name;
        int rows, cols;
    };
    static const Known known[] = {{"w384", 16, 24},   {"w96f", 8, 12}, {"w96u", 8, 12},
                                  {"w96flat", 8, 12}, {"w48", 6, 8},   {"w24", 4, 6},
                                  {"w6", 2, 3},       {"empty", 0, 0}};
    for (const Known& k : known)
        if (s == k.name) {
            m.plateRows = k.rows;
            m.plateColumns = k.cols;
            return true;
        }
    int r = 0, c = 0;
    char x = 0;
    std::istringstream in(s);
    if (in >> r >> x >> c && (x == 'x' || x == 'X') && r >= 0 && c >= 0 && r <= 16 && c <= 24) {
        m.plateRows = r;
        m.plateColumns = c;
        return true;
    }
    return false;
}

std::vector<double> numbers(const std::string& s) {
    std::vector<double> out;
    std::istringstream in(s);
    std::string item;
    while (std::getline(in, item, ',')) {
        char* end = nullptr;
        const double v = std::strtod(item.c_str(), &end);
        if (end == item.c_str() || *end) return {};
        out.push_back(v);
    }
    return out;
}

bool toNumber(const std::string& s, double& v) {
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return end != s.c_str() && !*end;
}

} // namespace

int main(int argc, char** argv) {
    SimOptions opt;
    bool quiet = false;
    bool startTempGiven = false;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        auto number = [&](double& out) {
            std::string s;
            return value(s) && toNumber(s, out);
        };
        double d = 0;
        std::string s;
        bool ok = true;
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (a == "--version") {
            std::cout << "trelvane-sim " << TRELVANE_VERSION << "\n";
            return 0;
        } else if (a == "--port") {
            ok = number(d) && d >= 1 && d <= 99;
            opt.port = static_cast<int>(d);
        } else if (a == "--link") {
            ok = value(opt.linkPath);
        } else if (a == "--paced") {
            opt.paced = true;
        } else if (a == "--id") {
            ok = number(d) && d >= 0 && d <= 255 * 255 + 254; // two reply bytes
            opt.identification = static_cast<int>(d);
        } else if (a == "--seed") {
            ok = number(d) && d >= 0;
            opt.model.seed = static_cast<uint32_t>(d);
        } else if (a == "--plate") {
            ok = value(s) && plateFormat(s, opt.model);
        } else if (a == "--organism") {
            ok = value(s);
            if (s == "worms")
                opt.model.organism = Organism::Worms;
            else if (s == "fish")
                opt.model.organism = Organism::FishLarvae;
            else if (s == "flies")
                opt.model.organism = Organism::Flies;
            else if (s == "empty")
                opt.model.organism = Organism::Empty;
            else
                ok = false;
        } else if (a == "--light-activity") {
            ok = number(opt.model.lightActivity);
        } else if (a == "--noise") {
            ok = number(opt.model.noise) && opt.model.noise >= 0;
        } else if (a == "--per-sample-clock") {
            opt.clock = SimClock::PerSample;
        } else if (a == "--ambient") {
            ok = number(opt.model.ambient);
        } else if (a == "--start-temp") {
            ok = number(opt.model.startTemperature);
            startTempGiven = true;
        } else if (a == "--heat-rate") {
            ok = number(opt.model.heatRate);
        } else if (a == "--cool-rate") {
            ok = number(opt.model.coolRate);
        } else if (a == "--factory") {
            const auto v = value(s) ? numbers(s) : std::vector<double>{};
            ok = v.size() == 4;
            if (ok)
                opt.model.factory =
                    factoryData(static_cast<int>(v[0]), static_cast<int>(v[1]), v[2], v[3]);
        } else if (a == "--invalid-factory") {
            opt.model.factory = invalidFactoryData();
        } else if (a == "--weak-emitter" || a == "--dead-receiver") {
            ok = number(d) && d >= 0 && d <= kBeams - 1 && d == static_cast<int>(d);
            (a == "--weak-emitter" ? opt.model.weakEmitters : opt.model.deadReceivers)
                .push_back(static_cast<int>(d));
        } else if (a == "--sensor-error") {
            ok = number(opt.model.sensorError);
        } else if (a == "--late-ms") {
            ok = number(d) && d >= 0;
            opt.faults.lateMs = static_cast<int>(d);
        } else if (a == "--silent-after") {
            ok = number(d) && d >= 0;
            opt.faults.silentAfter = static_cast<long>(d);
        } else if (a == "--probe-answer") {
            const auto v = value(s) ? numbers(s) : std::vector<double>{};
            ok = v.size() == 2 && v[0] >= 0 && v[0] <= 255 && v[1] >= 0 && v[1] <= 255;
            if (ok)
                opt.faults.probeReply = {static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1])};
        } else if (a == "--drop") {
            ok = number(d) && d >= 0;
            opt.faults.dropNext = static_cast<int>(d);
        } else if (a == "--short") {
            const auto v = value(s) ? numbers(s) : std::vector<double>{};
            ok = (v.size() == 1 || v.size() == 2) && v[0] >= 0 && (v.size() == 1 || v[1] >= 0);
            if (ok) {
                opt.faults.shortNext = static_cast<int>(v[0]);
                if (v.size() == 2) opt.faults.shortLength = static_cast<int>(v[1]);
            }
        } else if (a == "--bad-high") {
            ok = number(d) && d >= 0;
            opt.faults.badHighNext = static_cast<int>(d);
        } else if (a == "--wrong-ack") {
            ok = number(d) && d >= 0;
            opt.faults.wrongAckNext = static_cast<int>(d);
        } else if (a == "--unstable-register") {
            ok = number(d) && d >= 0 && d <= 255;
            opt.faults.unstableRegister = static_cast<int>(d);
        } else if (a == "--quiet") {
            quiet = true;
        } else {
            std::cerr << "trelvane-sim: unknown option " << a << " (see --help)\n";
            return 2;
        }
        if (!ok) {
            std::cerr << "trelvane-sim: bad value for " << a << " (see --help)\n";
            return 2;
        }
    }
    if (!startTempGiven) opt.model.startTemperature = opt.model.ambient;

    // Signals are taken by sigwait below; block them before the protocol
    // thread starts so it inherits the mask.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    SimInstrument sim(opt);
    std::string error;
    if (!sim.start(&error)) {
        std::cerr << "trelvane-sim: " << error << "\n";
        return 1;
    }
    if (!quiet) {
        std::cout << "trelvane-sim: instrument " << opt.identification << " at " << sim.linkPath()
                  << " -> " << sim.devicePath() << (opt.paced ? " (115200 baud)" : "") << std::endl;
    }
    int sig = 0;
    sigwait(&set, &sig);
    sim.stop();
    if (!quiet)
        std::cout << "trelvane-sim: stopped after " << sim.framesReceived() << " frames"
                  << std::endl;
    return 0;
}
