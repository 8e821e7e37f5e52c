// A demonstration project for the sleep and rhythm analyses: two synthetic
// acquisitions of flies on a 96-well plate, in the recorder's own files
// (setup.dat, channel tables, subproj.dat, counts.bin with a record every
// 30 s). The first holds 5 days under light control (on at 08, off at 20);
// the second, starting when the first ends, 7 days in constant dark, where
// each group's clock runs free with its own period. Every animal sleeps in
// bouts laid out by its clock (a siesta by day, several bouts by night) and
// moves at a steady rate when awake; a few wells die on day 3 of the second
// acquisition and a few hold no animal. Their names say they are synthetic.
#pragma once

#include "analysis/SleepAnalysis.h"

#include <string>
#include <vector>

namespace trv {

inline constexpr const char* kRhythmDemoLdName = "Synthetic rhythm demo, LD";
inline constexpr const char* kRhythmDemoDdName = "Synthetic rhythm demo, DD";

// What an animal was made to do in one light phase of the first acquisition.
struct DemoPhaseTruth {
    long long sleepMinutes = 0;
    int bouts = 0;
    long long boutMinutes = 0;      // their total length
    long long firstBoutOffset = -1; // minutes from the phase start; -1 none
    long long wakeEventsPerMinute = 0;
};

struct DemoWellTruth {
    int well = 0;
    int group = 0;
    double periodHours = 24; // of its clock in constant dark
    bool empty = false;
    // In the second acquisition: dead from the end of its last waking
    // minute before it stopped; -1 never.
    long long deathMinuteDd = -1;
    std::vector<DemoPhaseTruth> ldPhases; // light 1, dark 1, light 2, ...
};

struct RhythmDemo {
    int project = 0;
    std::string projectFolder, ldFolder, ddFolder; // full paths
    std::string error;
    std::vector<DemoWellTruth> wells; // the wells of the plate, by well index
};

// Makes the project (the current one) in a program folder holding config.dat.
RhythmDemo makeRhythmDemo(const std::string& programFolder);

} // namespace trv
