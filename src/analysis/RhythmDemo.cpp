#include "analysis/RhythmDemo.h"

#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "common/Prompter.h"
#include "store/AcquisitionRecord.h"
#include "store/ChannelTablesFile.h"
#include "store/DemoProject.h"
#include "store/PlateFormat.h"
#include "store/ProjectFile.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace trv {

namespace {

constexpr long long kDay = 1440;
constexpr int kLdDays = 5, kDdDays = 7;
constexpr int kLightsOn = 8, kLightsOff = 20;
constexpr std::array<double, 4> kPeriods = {23.5, 24.0, 24.5, 25.0};
constexpr std::array<const char*, 4> kGroupNames = {"Period 23.5 h", "Period 24 h", "Period 24.5 h",
                                                    "Period 25 h"};
// Row H of every third column holds no animal; the animal of row G of the
// same columns dies on day 3 of the constant dark.
constexpr int kEmptyRow = 7, kDyingRow = 6;
constexpr long long kDeathMinuteDd = 2 * kDay + 10 * 60;

// A small generator of its own, so the demo is the same on every system.
struct SplitMix {
    unsigned long long state;
    unsigned long long next() {
        unsigned long long z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Whole number in [lo, hi].
    int between(int lo, int hi) {
        return lo + static_cast<int>(next() % static_cast<unsigned long long>(hi - lo + 1));
    }
};

struct Bout {
    long long start, minutes;
};

// One animal's habits, in minutes of its subjective day (0 = lights on).
struct Animal {
    int wakeRate = 6; // events per minute awake
    int siestaStart = 300, siestaLength = 30;
    int nightLatency = 30;       // after subjective lights off
    std::vector<int> nightBouts; // lengths
    std::vector<int> nightGaps;  // wake between bouts
};

Animal makeAnimal(SplitMix& rng) {
    Animal a;
    a.wakeRate = rng.between(4, 12);
    a.siestaStart = 300 + rng.between(0, 90);
    a.siestaLength = rng.between(20, 60);
    a.nightLatency = rng.between(10, 60);
    const int n = rng.between(4, 7);
    for (int i = 0; i < n; ++i) {
        a.nightBouts.push_back(rng.between(30, 60));
        a.nightGaps.push_back(rng.between(10, 30));
    }
    return a;
}

// The bouts of one subjective day starting at real minute dayStart, its
// positions stretched by the clock's period (lengths are not).
std::vector<Bout> boutsOfDay(const Animal& a, double dayStart, double stretch) {
    std::vector<Bout> out;
    auto at = [&](double subjective) { return std::llround(dayStart + subjective * stretch); };
    out.push_back({at(a.siestaStart), a.siestaLength});
    double t = (kLightsOff - kLightsOn) * 60.0 + a.nightLatency;
    for (size_t i = 0; i < a.nightBouts.size(); ++i) {
        out.push_back({at(t), a.nightBouts[i]});
        t += a.nightBouts[i] + a.nightGaps[i];
    }
    return out;
}

// Per minute: 1 asleep, else awake.
std::vector<uint8_t> asleep(const std::vector<Bout>& bouts, long long minutes) {
    std::vector<uint8_t> s(static_cast<size_t>(minutes), 0);
    for (const Bout& b : bouts)
        for (long long m = std::max(0LL, b.start); m < std::min(minutes, b.start + b.minutes); ++m)
            s[static_cast<size_t>(m)] = 1;
    return s;
}

struct WellPlan {
    int well = 0;
    std::vector<int> channels;
    std::vector<uint8_t> sleep; // per minute
    int rate = 0;               // 0: no animal
    long long deathMinute = -1;
};

// counts.bin with two records a minute (at 30 and 60 s; minute 0 has one),
// the events of each minute spread over its records and the well's beams.
bool writeAcquisitionCounts(const std::string& folder, const std::vector<WellPlan>& plans,
                            long long minutes, SplitMix& rng) {
    std::vector<int32_t> times;
    std::vector<int16_t> counts, temperatures;
    const size_t records = static_cast<size_t>(2 * minutes - 1);
    times.reserve(records);
    counts.assign(records * kChannels, 0);
    temperatures.assign(records, 250);
    for (size_t k = 0; k < records; ++k)
        times.push_back(static_cast<int32_t>((k + 1) / 2));
    for (const WellPlan& p : plans) {
        if (p.rate == 0 || p.channels.empty()) continue;
        for (long long m = 0; m < minutes; ++m) {
            if (p.sleep[static_cast<size_t>(m)] || (p.deathMinute >= 0 && m >= p.deathMinute))
                continue;
            // Records of minute m: 2m - 1 and 2m (only 0 for minute 0).
            const size_t first = m == 0 ? 0 : static_cast<size_t>(2 * m - 1);
            const size_t last = static_cast<size_t>(2 * m);
            int left = p.rate;
            for (size_t r = first; r <= last; ++r) {
                const int part = r == last ? left : rng.between(0, left);
                left -= part;
                int beamLeft = part;
                for (size_t c = 0; c < p.channels.size(); ++c) {
                    const int v = c + 1 == p.channels.size() ? beamLeft : rng.between(0, beamLeft);
                    beamLeft -= v;
                    counts[r * kChannels + static_cast<size_t>(p.channels[c])] +=
                        static_cast<int16_t>(v);
                }
            }
        }
    }
    return writeCountsFile(countsFilePath(folder), times, counts, temperatures);
}

LocalDateTime demoStart() {
    LocalDateTime t;
    t.year = 2026;
    t.month = 3;
    t.day = 2;
    t.hour = kLightsOn;
    return t;
}

} // namespace

RhythmDemo makeRhythmDemo(const std::string& programFolder) {
    RhythmDemo demo;
    DemoProjectOptions options;
    options.name = "Rhythm demo (synthetic)";
    options.lapseMinutes = kDdDays * kDay;
    const DemoProjectResult made = makeDemoProject(programFolder, options);
    if (made.project == 0) {
        demo.error = made.error;
        return demo;
    }
    demo.project = made.project;
    demo.projectFolder = made.folder;

    SharedState s;
    s.Program_Folder = programFolder;
    while (s.Program_Folder.size() > 1 && s.Program_Folder.back() == '/')
        s.Program_Folder.pop_back();
    s.Project_Folder = made.folder;
    s.config.Actual_Project_Number = static_cast<int16_t>(made.project);
    CollectingPrompter prompter;
    if (!readSetupFile(joinPath(made.folder, kSetupFileName), s.setup).ok() ||
        !loadPlateFormat(s, prompter)) {
        demo.error = "the new project " + made.folder + " cannot be read back";
        return demo;
    }
    for (ChannelTableFile f : {ChannelTableFile::Status, ChannelTableFile::Threshold,
                               ChannelTableFile::Groups, ChannelTableFile::ChannelGroups})
        readChannelTable(s.channels, made.folder, f);
    for (size_t g = 0; g < kGroupNames.size(); ++g)
        s.channels.Group_Name[g + 1] = kGroupNames[g];
    s.setup.Organism() = kDrosophila;
    s.setup.DSP_Method = 3;
    s.setup.Menu2 = 1;
    s.setup.Light_Enable() = 1;
    s.setup.Time_ON() = kLightsOn;
    s.setup.Time_OFF() = kLightsOff;
    s.setup.Pulse_Times() = 0;

    // The animals: the wells with a channel, groups from the project.
    const PlateLayout& plate = s.plate;
    std::vector<WellPlan> ld, dd;
    SplitMix rng{20260302};
    const long long ldMinutes = kLdDays * kDay, ddMinutes = kDdDays * kDay;
    for (int w = 0; w <= plate.Max_Well; ++w) {
        WellPlan p;
        p.well = w;
        for (int ch = 0; ch < kChannels; ++ch)
            if (plate.Channel_Well[static_cast<size_t>(ch)] == w) p.channels.push_back(ch);
        if (p.channels.empty()) continue;
        const int beam0 = plate.wellChannel(w, 0);
        const int group =
            s.channels.Channel_Group[static_cast<size_t>(beam0 >= 0 ? beam0 : p.channels.front())];
        const int row = w % plate.Plate_Rows, column = w / plate.Plate_Rows;
        DemoWellTruth truth;
        truth.well = w;
        truth.group = group;
        truth.periodHours = kPeriods[static_cast<size_t>(
            std::clamp(group - 1, 0, static_cast<int>(kPeriods.size()) - 1))];
        const bool marked = column % 3 == 2;
        truth.empty = marked && row == kEmptyRow;
        const Animal a = makeAnimal(rng);
        if (!truth.empty) p.rate = a.wakeRate;

        // First acquisition: entrained, a subjective day per day.
        std::vector<Bout> ldBouts;
        for (int d = 0; d <= kLdDays; ++d)
            for (const Bout& b : boutsOfDay(a, static_cast<double>(d * kDay), 1.0))
                if (b.start + b.minutes <= ldMinutes) ldBouts.push_back(b);
        p.sleep = asleep(ldBouts, ldMinutes);
        ld.push_back(p);
        if (!truth.empty) {
            for (int d = 0; d < kLdDays; ++d)
                for (int half = 0; half < 2; ++half) {
                    const long long from = d * kDay + half * 720, to = from + 720;
                    DemoPhaseTruth t;
                    t.wakeEventsPerMinute = a.wakeRate;
                    for (const Bout& b : ldBouts) {
                        if (b.start < from || b.start >= to) continue;
                        if (t.firstBoutOffset < 0) t.firstBoutOffset = b.start - from;
                        ++t.bouts;
                        t.boutMinutes += b.minutes;
                    }
                    for (long long m = from; m < to; ++m)
                        t.sleepMinutes += p.sleep[static_cast<size_t>(m)];
                    truth.ldPhases.push_back(t);
                }
        }

        // Second acquisition: the clock runs free from where it was.
        std::vector<Bout> ddBouts;
        const double period = truth.periodHours * 60;
        for (int c = 0; c * period < static_cast<double>(ddMinutes); ++c)
            for (const Bout& b : boutsOfDay(a, c * period, truth.periodHours / 24))
                if (b.start + b.minutes <= ddMinutes) ddBouts.push_back(b);
        p.sleep = asleep(ddBouts, ddMinutes);
        if (marked && row == kDyingRow) {
            p.deathMinute = kDeathMinuteDd;
            // Dead from the end of its last waking minute.
            long long last = kDeathMinuteDd - 1;
            while (last > 0 && p.sleep[static_cast<size_t>(last)])
                --last;
            truth.deathMinuteDd = last + 1;
        }
        dd.push_back(p);
        demo.wells.push_back(truth);
    }

    const std::string comments =
        "Synthetic data made by trelvane-cli make-demo --rhythm: not a recording.";
    LocalDateTime start = demoStart();
    const std::string ldName =
        createAcquisitionFolder(s, start, kRhythmDemoLdName, comments + " 5 days, light 08 to 20.");
    s.setup.Light_Enable() = 0;
    s.setup.Menu2 = 0;
    start.day += kLdDays; // the same month
    const std::string ddName = createAcquisitionFolder(
        s, start, kRhythmDemoDdName, comments + " 7 days, constant dark, clocks running free.");
    if (ldName.empty() || ddName.empty()) {
        demo.error = "cannot create the acquisition folders in " + made.folder;
        return demo;
    }
    demo.ldFolder = joinPath(made.folder, ldName);
    demo.ddFolder = joinPath(made.folder, ddName);
    LocalDateTime ldStart = demoStart(), ddStart = demoStart();
    ddStart.day += kLdDays;
    if (!writeAcquisitionStart(demo.ldFolder, ldStart) ||
        !writeAcquisitionStart(demo.ddFolder, ddStart)) {
        demo.error = "cannot write start.dat in " + made.folder;
        return demo;
    }
    if (!writeAcquisitionCounts(demo.ldFolder, ld, ldMinutes, rng) ||
        !writeAcquisitionCounts(demo.ddFolder, dd, ddMinutes, rng)) {
        demo.error = "cannot write counts.bin in " + made.folder;
        return demo;
    }
    // The project keeps the group names and the flies.
    s.setup.Light_Enable() = 1;
    s.setup.Menu2 = 1;
    if (!saveProject(s)) demo.error = "cannot write the project into " + made.folder;
    return demo;
}

} // namespace trv
