// The rhythm plots: a double-plotted actogram (each row holds a day and the
// next, 48 hours, one row per day from the midnight the series starts in;
// bars scaled to the series' 95th percentile; the light schedule above each
// row) and a periodogram (Qp and its threshold against the period, the
// peak marked).
#pragma once

#include "analysis/RhythmAnalysis.h"
#include "display/Surface.h"

#include <optional>
#include <string>
#include <vector>

namespace trv {

struct ActogramData {
    std::string title;
    std::vector<std::optional<double>> bins; // from the series start; absent: no data
    int binMinutes = 30;
    long long startClockMinute = 0; // clock time of bins[0]'s start
    LightSchedule schedule;
};

// The actogram bins of the wells at these positions (their mean; a dead
// well's bins end at its death).
ActogramData actogramOf(const RhythmResult& r, const std::vector<size_t>& positions,
                        const std::string& title);

// Rows of an actogram: the days from the midnight at or before its start to its end.
int actogramRows(const ActogramData& a);

// A group's name in titles and file names ("group 3" when it has none).
std::string rhythmGroupName(const RhythmGroupResult& g);
// The mean actogram of a group's wells and the actogram of one well, titled
// as in the files.
ActogramData groupActogram(const RhythmResult& r, const RhythmGroupResult& g);
ActogramData wellActogram(const RhythmResult& r, size_t position);
// The titles of the periodograms of a group (its mean) and of a well.
std::string groupPeriodogramTitle(const RhythmGroupResult& g);
std::string wellPeriodogramTitle(const RhythmResult& r, size_t position);

void Dibujar_actogram(Surface& s, const ActogramData& a);
void Dibujar_periodogram(Surface& s, const std::vector<PeriodPoint>& points,
                         const std::string& title, const std::string& decimalMark);

} // namespace trv
