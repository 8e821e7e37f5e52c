// The response of each well to a treatment: its activity in a window of the
// acquisition, in events per minute, optionally as a percentage of the same
// well's activity in a basal (reference) acquisition.
#pragma once

#include "reports/ReportTypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace trv {

// The minutes [from, to) of an acquisition: a record counts when its minute
// (the corrected time of the activity file) lies in it.
struct MinuteWindow {
    int32_t from = 0;
    int32_t to = 0;
    int32_t minutes() const { return to - from; }
};

// Why a window cannot be used with a series whose last record is at minute
// `lastMinute` (records carry whole minutes, so the last minute may be
// partial and the window ends at it at the latest); nothing when it can.
std::optional<std::string> windowProblem(const MinuteWindow& window, int32_t lastMinute);

// Events per minute of every well 0..Max_Well over the window: the events of
// all the well's beams in the records of the window, divided by the window's
// length. Wells without a channel read 0.
std::vector<double> wellRates(const ActivitySeries& series, const ReportLayout& layout,
                              const MinuteWindow& window);

// The largest record time of a series (0 for none).
int32_t lastMinute(const ActivitySeries& series);

} // namespace trv
