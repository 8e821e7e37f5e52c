// Sleep by day and night: for every well and light phase of an acquisition,
// the minutes of sleep (runs of immobile bins lasting at least the minimum
// bout), the bouts, their mean length, the latency to the first bout, and the
// activity per waking minute; the same per group over the wells that neither
// stayed empty nor died. Written as sleep_wells.csv, sleep_groups.csv,
// sleep_settings.txt and sleep_profile.svg; the command line and the
// browser's window run the same code.
#pragma once

#include "analysis/WellSeries.h"
#include "common/Locale.h"

#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace trv {

inline constexpr const char* kSleepWellsFile = "sleep_wells.csv";
inline constexpr const char* kSleepGroupsFile = "sleep_groups.csv";
inline constexpr const char* kSleepSettingsFile = "sleep_settings.txt";
inline constexpr const char* kSleepProfileFile = "sleep_profile.svg";

// The organism number of flies, whose minimum bout is 5 minutes.
inline constexpr int kDrosophila = 3;

struct SleepParameters {
    int binMinutes = 1;                   // B
    long long threshold = 0;              // A: a bin with activity <= A is immobile
    std::optional<int> minBout;           // T in minutes; default by organism
    std::optional<int> lightOn, lightOff; // both or neither: override the schedule
    int deadWindowHours = 24;             // D
};

// The minimum bout for an organism: 5 minutes for flies, 1 for the others.
int defaultMinBout(int organism);

// Argument problems (bin outside 1..1440, a negative threshold, hours
// outside 0..23, only one of the two hours, a minimum bout or window below
// 1); nothing when the parameters can be used.
std::optional<std::string> sleepParameterProblem(const SleepParameters& p);

// A maximal run of bins of one light state.
struct SleepPhase {
    std::string name; // "light 1", "dark 2", "all"
    bool light = false;
    size_t firstBin = 0, endBin = 0; // [firstBin, endBin)
    bool partial = false;
};

// The six figures of a well in a phase; an absent value is an empty cell.
enum SleepFigure { kDataMinutes, kSleepMinutes, kBouts, kMeanBout, kLatency, kWakeActivity };
inline constexpr int kSleepFigures = 6;
using SleepFigures = std::array<std::optional<double>, kSleepFigures>;

struct SleepWellResult {
    size_t position = 0; // in WellSeries::wells
    WellFate fate;
    std::vector<SleepFigures> phases; // per phase; all absent for an empty well
    std::vector<uint8_t> sleepBins;   // per bin, 1 for a sleep bin
};

struct SleepGroupResult {
    int group = 0;
    std::string name;
    int wellsUsed = 0;
    struct Summary {
        std::optional<double> mean, sd;
        int n = 0;
    };
    std::vector<std::array<Summary, kSleepFigures>> phases;
    // Mean sleep minutes per 30 minutes, per profile slot; absent where no
    // used well had data.
    std::vector<std::optional<double>> profile;
};

struct SleepResult {
    SleepParameters parameters;
    int minBout = 1;
    // "the default for the acquisition's organism (3) is 5"
    std::string minBoutSource;
    LightSchedule schedule;
    int organism = 0;
    WellSeries series;
    std::vector<SleepPhase> phases;
    std::vector<SleepWellResult> wells;
    std::vector<SleepGroupResult> groups; // by group number
    int profileSlotMinutes = 30;          // width of a profile slot
    std::vector<uint8_t> profileLight;    // per slot: light at its start
};

// The phases of the series' bins under a schedule.
std::vector<SleepPhase> sleepPhases(const WellSeries& series, const LightSchedule& schedule);

// Everything from a series (its parameters must be usable).
SleepResult analyseSleep(WellSeries series, const SleepParameters& parameters,
                         const ProjectSetup& setup);

// The separator and decimal mark of the files.
struct SleepFormat {
    std::string separator = ",";
    std::string decimalMark = ".";
};
// The locale's list separator (or the one chosen), and its decimal mark
// unless it equals the separator, where numbers take ".".
SleepFormat sleepFormat(Locale& locale, const std::optional<std::string>& separator);

// A text field, quoted when it holds the separator, a quote or a line end.
std::string csvField(const std::string& text, const SleepFormat& f);
// Fields joined by the separator, with CR LF.
std::string csvLine(const std::vector<std::string>& fields, const SleepFormat& f);

// Writes named texts into a folder (made when missing), each replaced
// atomically, and lists the paths written; false with the reason at the
// first that fails.
bool writeAnalysisFiles(const std::string& folder,
                        const std::vector<std::pair<std::string, std::string>>& files,
                        std::vector<std::string>& written, std::string& error);

std::string sleepWellsCsv(const SleepResult& r, const SleepFormat& f);
std::string sleepGroupsCsv(const SleepResult& r, const SleepFormat& f);
std::string sleepSettingsText(const SleepResult& r, const SleepFormat& f);
std::string sleepProfileSvg(const SleepResult& r, const SleepFormat& f);

struct SleepRequest {
    std::string acquisitionPath;
    std::string programFolder;
    std::string outputFolder; // "" : the acquisition folder
    SleepParameters parameters;
    std::optional<std::string> separator; // nothing: the locale's
};

struct SleepOutcome {
    bool written = false;
    std::string error; // why nothing (or not everything) was written
    std::optional<SleepResult> result;
    std::vector<std::string> files;
};

using SleepProgress = std::function<void(double done, double total, const std::string& what)>;

// Loads and analyses the acquisition (no files written).
SleepOutcome computeSleep(const SleepRequest& request, Prompter& prompter,
                          const SleepProgress& progress = {});
// Writes the four files of a result into the output folder (made when
// missing), each replaced atomically.
bool writeSleepFiles(const SleepRequest& request, Locale& locale, SleepOutcome& outcome);
// Both.
SleepOutcome runSleep(const SleepRequest& request, Locale& locale, Prompter& prompter,
                      const SleepProgress& progress = {});

} // namespace trv
