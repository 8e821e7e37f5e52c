// Normalisation of a report to a basal (reference) acquisition of the same
// project: every grouped channel becomes a percentage of its well's basal
// activity.
#pragma once

#include "common/Prompter.h"
#include "reports/ReportTypes.h"

#include <optional>
#include <string>

namespace trv {

// True when the basal choice names an acquisition: not empty, not "-", and
// long enough to start with a 13-character acquisition folder name.
bool basalRequested(const std::string& basalChoice);

// The basal acquisition folder: the acquisition's project folder followed by
// the folder name the choice starts with; empty when that name is not a
// plain folder name.
std::string basalFolderOf(const std::string& acquisitionPath, const std::string& basalChoice);

// How many minutes of the basal acquisition (BD minutes of whole bins) to
// use with bin size B: B without asking when the basal is at most 1.5 bins
// long, otherwise the user's answer within [B, BD]. Nothing when the user
// cancels the question (the generation then ends without a report).
std::optional<int> askBasalMinutes(int basalMinutes, int binSize, Prompter& prompter);

// What to do with grouped wells whose basal activity is 0.
enum class ZeroBasalRule { None, Maximum, PlateAverage, Discard };

struct BasalResult {
    bool proceed = true; // false: the user refused; no report
    int discardedChannels = 0;
    ZeroBasalRule rule = ZeroBasalRule::None;
};

// Applies the normalisation to bins 0..lastBin of the series with the basal
// series (bins 0..basalLastBin) and M basal minutes. Channels of a well take
// the well's averages; grouped channels become round(min(counts * 100 /
// basal, 10000)); channels left without a basal are moved to the free group
// with -999 in every bin. Raises Overflow16 when a basal sum leaves 16 bits.
BasalResult applyBasal(ActivitySeries& series, int lastBin, const ActivitySeries& basal,
                       int basalLastBin, int basalMinutesUsed, int binSize, ReportLayout& layout,
                       Prompter& prompter);

} // namespace trv
