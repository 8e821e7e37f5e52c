// The activity of every well of an acquisition in bins of B minutes, with the
// bins that hold no record marked missing, the light schedule the instrument
// ran under, and which wells stayed empty or died. The sleep and rhythm
// analyses start from this series.
#pragma once

#include "acquisition/DataFiles.h"
#include "common/Clock.h"
#include "common/Prompter.h"
#include "reports/ReportTypes.h"
#include "store/Module1.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace trv {

// The daily light schedule: on at clock hour h exactly when the main window
// switches it on at the start of a run at that hour.
struct LightSchedule {
    enum class Source { None, Setup, Override };
    Source source = Source::None;
    int on = 9, off = 21;
    // Why there is none (light control off, a pulse program), for the settings file.
    std::string missingReason;

    bool present() const { return source != Source::None; }
    bool lightAtHour(int hour) const;
    // True when the light changes at the start of this clock hour.
    bool switchesAt(int hour) const;
    // "on at 08, off at 20 (from setup.dat)" or "none (light control off)".
    std::string describe() const;
};

// The schedule of an acquisition's setup.dat: light control on without a
// pulse program (hours 0 and 0 read as 9 and 21); otherwise none.
LightSchedule scheduleFromSetup(const ProjectSetup& setup);
// The hours given on the command line or in a window.
LightSchedule scheduleOverride(int on, int off);

// One well of the plate: every well the plate file gives a channel.
struct SeriesWell {
    int well = 0;          // the reports' well index
    std::string label;     // "B5"
    int group = -1;        // of its beam-0 channel, else its first channel; -1 none
    std::string groupName; // "" for none
    std::vector<int> channels;
};

// What becomes of a well over the recording.
struct WellFate {
    bool empty = false;                   // no event in the whole acquisition
    std::optional<long long> deathMinute; // dead from this minute (a bin start)
};

struct WellSeries {
    int binMinutes = 1;
    long long lastRecordMinute = 0;
    LocalDateTime start;                 // from the folder name
    std::vector<SeriesWell> wells;       // by well index
    std::vector<uint8_t> hasData;        // per bin: at least one record
    std::vector<long long> activity;     // [well position * bins + bin]
    std::vector<std::string> groupNames; // Group_Name of groups 0..384
    // The highest group number a channel of the acquisition is in (-1: none).
    int lastGroup = -1;

    size_t bins() const { return hasData.size(); }
    long long endMinute() const { return lastRecordMinute + 1; }
    const long long* wellActivity(size_t position) const {
        return activity.data() + position * bins();
    }
    // Clock time of a minute of the recording (plain clock arithmetic), as
    // minutes since 1899-12-30 00:00.
    long long clockMinute(long long minute) const;
    // The clock hour (0..23) of a minute of the recording.
    int clockHour(long long minute) const;
    // The groups that get rows, by number: 0 to lastGroup as the reports
    // list them, whether or not a well is in them, and any group a well is in.
    std::vector<int> groupNumbers() const;
    // A group's name ("" when the table has none).
    std::string groupName(int group) const;
};

// "2026-12-10 14:30" for a clock minute (see WellSeries::clockMinute).
std::string clockText(long long clockMinute);

// An acquisition as the analyses read it: its setup.dat, the layout the
// reports load (groups and plate file) and the records of counts.bin.
struct AcquisitionData {
    std::string folder;
    ProjectSetup setup;
    ReportLayout layout;
    LocalDateTime start; // the folder name's yyyymmdd_hhmm
    std::vector<CountsRecord> records;
};

// Reads the folder through the reports' loaders. On failure returns false
// with the message to show (the reports' texts for a missing or damaged
// counts.bin, setup.dat or plate file; a record time that goes backwards or
// lies beyond 366 days makes counts.bin damaged). The plate file's own
// messages go to the prompter.
bool loadAcquisitionData(const std::string& folder, const std::string& programFolder,
                         AcquisitionData& data, std::string& error, Prompter& prompter);

// Bins the records into the wells of the layout.
WellSeries buildWellSeries(const AcquisitionData& data, int binMinutes);

// The dead and empty rule on a well's bins: windows of deadWindowHours hours
// starting at every whole hour that ends within the recording; a window with
// data in at least half its bins and moving bins (activity above threshold) in
// at most 1 % of its bins with data marks the well dead from the end of its
// last moving bin before that window (minute 0 when none).
WellFate wellFate(const WellSeries& series, size_t position, long long threshold,
                  int deadWindowHours);

} // namespace trv
