// The kinetics line plot of the offline browser (view mode 4 of Picreal):
// the mean activity per channel of every listed group against time, either
// over the chosen acquisition's own time in bins of a chosen size (normal
// mode, "Line PLOT") or over a tagged series of acquisitions, one point per
// member at its start time (tag mode, "[TAG] Kinetics PLOT"), where the
// values can be relativized to the first point and the same data make the
// joint report table.
//
// loadKinetics gathers the points, kineticsTable writes them as the table
// and Dibujar_lineplot draws them; the window and trelvane-cli kinetics both
// go through these three.
#pragma once

#include "common/Clock.h"
#include "display/Surface.h"
#include "offline/OfflinePlots.h"
#include "offline/TagSeries.h"

#include <array>
#include <string>
#include <vector>

namespace trv {

class Prompter;

inline constexpr int kKineticsPaletteSize = 385;
// The series colours: the series of plot group list row k takes entry k.
std::array<Rgb, kKineticsPaletteSize> kineticsPalette();

// The bin size "Line Plot" starts with: 5 minutes for an acquisition lapse
// below an hour, else 30.
int initialBinSize(double lapseMinutes);
// "-" and "+": the new bin size from the box value, with the bin count and
// bin size of the last drawing (its span decides how large a bin may get).
int binSizeMinus(double boxValue, int binCount, double binSize);
int binSizePlus(double boxValue, int binCount, double binSize);

// The time unit of a series whose members span that many minutes: "min",
// "h" above one day, "day" above three days; and a time label in it
// (hours and days with one decimal).
std::string kineticsTimeUnit(double spanMinutes);
std::string kineticsTimeLabel(long long minutes, const std::string& unit);

// Where the points come from.
struct KineticsRequest {
    std::string folder;        // the chosen acquisition (normal mode)
    std::string projectFolder; // its project folder (tag mode)
    const ChannelTables& channels;
    std::vector<std::string> plotGroups; // lstgrup_plot entries, one series each
    std::string members;                 // tagged members; empty: normal mode
    double binSize = 5;                  // minutes (normal mode)
    bool relativize = false;             // "Relativize to Time0" (tag mode)
};

struct KineticsData {
    bool tagMode = false;
    int binCount = 0;                // bins of the load (normal mode; the last is not drawn)
    double binSize = 0;              // minutes
    int points = 0;                  // points 1..points are drawn and listed
    std::vector<double> t;           // [1..points] minutes from the start
    std::vector<std::string> labels; // [1..points] time labels in the unit
    std::vector<std::vector<double>> values; // [plot group row][1..points]
    double M = 0;                            // top of the value axis; 0: nothing to draw
    double X = 0;                            // time extent in minutes
    std::string unit = "min";
    std::string orderedList;          // " member1 member2 ..." in start order (tag mode)
    std::vector<std::string> entries; // the plot group entries
};

// Loads the points: normal mode through the binned group activity of the
// acquisition ("Activity file not Found" without counts.bin), tag mode
// through the tagged members (their messages as the member load gives
// them), each member grouped as the chosen acquisition is.
KineticsData loadKinetics(const KineticsRequest& request, Clock& clock, Prompter& prompter);

// The table of the joint report: the row "Group/Time[unit]" with a time
// label per point, then per series "[#" + the entry's first 10 characters +
// "]" and a rounded value per point, fields joined by the separator, rows
// ended by CR LF. The header is "Acq:" + the members in start order, each
// after a separator, + CR LF (tag mode; "Acq:" + CR LF in normal mode).
struct KineticsTable {
    std::string header;
    std::string table;
};
KineticsTable kineticsTable(const KineticsData& data, const std::string& separator);

// Draws the points (nothing when M is 0: the surface keeps what it showed).
// The series of row `selected` is drawn thicker.
void Dibujar_lineplot(Surface& s, const KineticsData& data, int selected);

// The joint report file: "Joint Report [YYYY-MM-DD hh:mm.ss]", the header,
// an empty line, the table, an empty line; CR LF line ends.
std::string jointReportText(const LocalDateTime& now, const KineticsTable& table);
// "joint_report" + YYYYMMDDhhmmss + ".csv".
std::string jointReportName(const LocalDateTime& now);
// Writes the joint report into the project folder and gives its path; a
// report made in the same second as an earlier one gets "_2", "_3", ...
// before ".csv" instead of replacing it. Empty when it could not be written.
std::string writeJointReport(const std::string& projectFolder, const LocalDateTime& now,
                             const KineticsTable& table);

// The member of a tagged series that starts first (the first listed of
// those starting in the same minute); empty for an empty list.
std::string firstTagMember(const std::string& members, const LocalDateTime& now);

// The separator of the export table: the report window's custom spacer, ";"
// when that is empty.
inline std::string kineticsSeparator(const std::string& spacer) {
    return spacer.empty() ? ";" : spacer;
}

} // namespace trv
