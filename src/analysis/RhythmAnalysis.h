// Circadian rhythm of every well: the activity in bins of R minutes over a
// window of whole hours (the sleep analysis's series; a dead well's series
// ends at its death), the chi-square periodogram over whole cycles with a
// threshold corrected for the number of periods tested, and the
// Lomb-Scargle periodogram of the same bins; per group the rhythmic wells'
// periods and indices. The command line and the browser's window run the
// same code.
#pragma once

#include "analysis/SleepAnalysis.h"
#include "analysis/WellSeries.h"
#include "common/Locale.h"

#include <optional>
#include <string>
#include <vector>

namespace trv {

struct RhythmParameters {
    int binMinutes = 6;        // R: divides 60
    int fromHour = 0;          // FROM
    std::optional<int> toHour; // TO; nothing or beyond the end: the end
    int periodMinHours = 16, periodMaxHours = 32;
    double alpha = 0.01;
    int actogramBinMinutes = 30;
    std::optional<int> lightOn, lightOff;
    int threads = 2;
};

// Argument problems known before the acquisition is read.
std::optional<std::string> rhythmParameterProblem(const RhythmParameters& p);

// One well's series: values and whether each bin holds data.
struct BinSeries {
    std::vector<double> x;
    std::vector<uint8_t> has;
};

// The chi-square statistic Qp over whole cycles of P bins; nothing when
// fewer than two cycles fit or the series is constant.
std::optional<double> chiSquareQp(const BinSeries& s, size_t P);
// The chi-square quantile with df degrees of freedom at (1 - alpha)^(1/m).
double chiSquareThreshold(int df, double alpha, int m);

struct LombScargle {
    double power = 0; // normalised PN
};
// PN at period p hours; bin b's time is its middle, (b + 0.5) R / 60 hours.
std::optional<double> lombScarglePower(const BinSeries& s, double binHours, double periodHours);

struct PeriodPoint {
    double hours = 0;
    double qp = 0, threshold = 0, pn = 0;
};

struct RhythmWellResult {
    size_t position = 0;
    WellFate fate;
    bool tested = false; // at least one period with two whole cycles
    std::vector<PeriodPoint> periodogram;
    std::optional<double> chiPeriod, chiQp, chiThreshold, index;
    bool rhythmic = false;
    std::optional<double> lsPeriod, lsPower, lsPValue;
};

// Thresholds of every period for wells that test m periods (most wells of
// an acquisition test the same number, so the quantiles are found once).
struct ThresholdTable {
    int m = 0;
    std::vector<double> byPeriod; // from the shortest period, in steps of R
};
ThresholdTable thresholdTable(const RhythmParameters& p, int m);

// Both periodograms of one series at the periods of the parameters.
RhythmWellResult analyseWellRhythm(const BinSeries& s, const RhythmParameters& p,
                                   const ThresholdTable* table = nullptr);

// A well's series in bins of R minutes from minute `from` up to `to` (and
// the recording's end), taken from its 1-minute bins; a dead well's series
// ends at its death, without the minutes from then on.
BinSeries rhythmSeries(const WellSeries& minutes, size_t position, const WellFate& fate, int R,
                       long long from, long long to);

struct RhythmGroupResult {
    int group = 0;
    std::string name;
    int wellsTested = 0, wellsRhythmic = 0;
    std::optional<double> meanPeriod, sdPeriod, meanIndex, sdIndex;
    std::vector<PeriodPoint> meanPeriodogram; // over its tested wells
    std::vector<double> meanActivity;         // per actogram bin, wells not empty
};

struct RhythmResult {
    RhythmParameters parameters;
    LightSchedule schedule;
    WellSeries minutes; // 1-minute bins of the whole acquisition
    long long fromMinute = 0, toMinute = 0;
    std::vector<RhythmWellResult> wells;
    std::vector<RhythmGroupResult> groups;
};

// Progress: wells done of the wells, called on the caller's thread only.
using RhythmProgress = SleepProgress;

// Everything from the 1-minute series of an acquisition; nothing with the
// reason when the window is shorter than two cycles of the shortest period.
std::optional<RhythmResult> analyseRhythm(WellSeries minutes, const RhythmParameters& p,
                                          const ProjectSetup& setup, std::string& problem,
                                          const RhythmProgress& progress = {});

inline constexpr const char* kRhythmWellsFile = "rhythm_wells.csv";
inline constexpr const char* kRhythmGroupsFile = "rhythm_groups.csv";
inline constexpr const char* kPeriodogramsFile = "periodograms.csv";
inline constexpr const char* kRhythmSettingsFile = "rhythm_settings.txt";

// The separator and decimal mark as the sleep analysis's files.
using CsvFormat = SleepFormat;

// "ok", "empty", "no period", "dead from yyyy-mm-dd hh:mm[, no period]".
std::string rhythmWellStatus(const RhythmResult& r, const RhythmWellResult& w);

std::string rhythmWellsCsv(const RhythmResult& r, const CsvFormat& f);
std::string rhythmGroupsCsv(const RhythmResult& r, const CsvFormat& f);
std::string periodogramsCsv(const RhythmResult& r, const CsvFormat& f);
std::string rhythmSettingsText(const RhythmResult& r, const CsvFormat& f);

struct RhythmRequest {
    std::string acquisitionPath;
    std::string programFolder;
    std::string outputFolder; // "" : the acquisition folder
    RhythmParameters parameters;
    bool perWell = false; // an actogram per well too
    std::optional<std::string> separator;
};

struct RhythmOutcome {
    bool written = false;
    bool usage = false; // the error is about the parameters (a window too short)
    std::string error;
    std::optional<RhythmResult> result;
    std::vector<std::string> files;
};

// Loads and analyses the acquisition (nothing written).
RhythmOutcome computeRhythm(const RhythmRequest& request, Prompter& prompter,
                            const RhythmProgress& progress = {});
// Writes the files of a result, each replaced atomically: the tables, the
// settings, actogram_<group>.svg and periodogram_<group>.svg per group, and
// actogram_<well>.svg per well when asked.
bool writeRhythmFiles(const RhythmRequest& request, Locale& locale, RhythmOutcome& outcome);

} // namespace trv
