// The live activity plots of the main window's plot area (Picact): the group
// detail view, the bar plot of all groups, the plate heat map and the
// body-bends histogram. The acquisition run redraws the active view after
// every analysed block (refreshActivePlot); the view buttons, the group
// picker and the page buttons call the other entry points.
//
// LivePlots owns the view state; the counts it shows belong to the run and
// the channel tables and plate layout to the shared state, so each call gets
// them in a LivePlotData.
#pragma once

#include "display/Surface.h"
#include "store/Module1.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace trv {

// Bins per channel of the run's cumulative body-bends histograms, and how many
// of them the histogram view shows (0..25).
constexpr int kBodyBendsBins = 51;
constexpr int kBodyBendsShownBins = 26;

namespace plotmode {
inline constexpr int16_t Group = 0;
inline constexpr int16_t Bar = 1;
inline constexpr int16_t Heatmap = 2;
inline constexpr int16_t Histogram = 3;
} // namespace plotmode

// What the plots show. Spans shorter than the channels they are asked for
// read as zeros.
struct LivePlotData {
    const ChannelTables& channels;
    const PlateLayout& plate;
    // Running activity count per channel (0..383 are used).
    std::span<const int16_t> totals;
    // Cumulative body-bends interval histograms: channel c, bin k at
    // [c * histogramStride + k].
    std::span<const int32_t> bodyBendsHistogram = {};
    int histogramStride = kBodyBendsBins;
    // Mean seconds per sample of the blocks recorded so far.
    double deltaT = 0.0;

    int16_t total(int channel) const;
    int32_t histogram(int channel, int bin) const;
};

// --- Drawing procedures shared by the views ---------------------------------

// Coordinates of the bar, group and histogram views: x -30..300, y -30..300
// upwards; bars stand on y 0 and the vertical axis spans 0..250 units.
void setBarPlotScale(Surface& s);

// The vertical axis with its three labels (0, half and full scale in counts)
// and the two axis lines.
void Dibujar_ejes_barplot(Surface& s, double plotScale);

// The two axis lines alone (black boxes along y and along x).
void Dibujar_lineas_ejes(Surface& s);

// One bar of width w starting at x0 for a value v in counts: the slot is
// erased, the bar drawn as a black frame filled grey (clipped at 255 units
// when taller) and the value written in grey at valueY (37 units, higher for
// every other bar when the values are wider than the bars; see valueTextY).
void Dibujar_barra(Surface& s, double x0, double w, double v, double plotScale,
                   double valueY = 37);
// Its two halves: the bar, and the value in grey (the text colour returns to
// black), for views that write every value after all their bars.
void drawBarBody(Surface& s, double x0, double w, double v, double plotScale);
void writeBarValue(Surface& s, double x0, double w, double v, double valueY = 37);

// Where the value of slot `slot` is written: 37 units, or a line higher for
// odd slots when some value is wider than its bar (0.8 w).
double valueTextY(const Surface& s, const std::vector<std::string>& values, double w, int slot);

// Labels under slots of width w: one line (y -10 for groups, -5 for wells)
// while every label fits its slot; otherwise two staggered lines, and for
// well labels only every stride-th label when even that is too narrow.
struct SlotLabels {
    int rows = 1;
    int stride = 1;
    double lineHeight = 0;
    double top(int row) const;       // y of a label on line `row`
    bool shows(int slot) const;      // this slot's label is written
    int row(int slot) const;         // its line
    // Erases this slot's label area on its line, up to two labels further.
    void erase(Surface& s, double x0, double w, int slot) const;
};
SlotLabels fitSlotLabels(const Surface& s, const std::vector<std::string>& labels, double w,
                         bool mayThin);

// Heat map coordinates, in hundredths of plate units, y downwards.
void setHeatmapScale(Surface& s, const PlateLayout& plate);

// Red outline of every well; with labels, the column numbers above the plate
// and the row letters to its left.
void Dibujar_ejes_heatmap(Surface& s, const PlateLayout& plate, bool withLabels);

// One grey cell per well, darker with more activity (white = none, black =
// the most active well; the divisor is at least 255 so a quiet plate stays
// white).
void Dibujar_heatmap(Surface& s, const PlateLayout& plate, std::span<const int16_t> totals);

// "G" + group number + "_" + group name.
std::string groupCaption(const ChannelTables& channels, int group);

// --- Group picker (combogrup) -------------------------------------------------

// Entries of the group picker: every group that has a channel, ascending, as
// the number with three digits, "_" and the name ("003_Control").
std::vector<std::string> groupPickerEntries(const ChannelTables& channels);

// The group number of a picker entry: the value of its first three characters.
int groupOfPickerEntry(const std::string& entry);

// --- The plots and their view state -------------------------------------------

class LivePlots {
public:
    int16_t plotMode = plotmode::Bar;
    int16_t plotPage = 0;      // from 0; the group number in the histogram view
    int16_t plotPageCount = 1;
    double plotScale = 1.0;    // counts per plot unit; never 0 or negative
    bool pageButtonsVisible = false; // cmd_pgup / cmd_pgdown shown

    // Group view: the group chosen in the picker (its caption) and the wells
    // whose beam-0 channel belongs to the group of the selected channel.
    int16_t groupViewNumber = 0;
    std::vector<int16_t> memberWells;

    // Decimal mark of the texts shown (the histogram's interval labels).
    std::string decimalMark = ".";

    // "Bar Plot": bar plot from page 0.
    void showBarPlot(Surface& s, const LivePlotData& d);
    // "Heatmap PLOT": clears, draws the grid and labels, the cells, and the
    // grid and labels again; page buttons hidden.
    void showHeatmap(Surface& s, const LivePlotData& d);
    // "BodyBends Histogram PLOT": one group per page, page buttons shown.
    void showHistogram(Surface& s, const LivePlotData& d);
    // Group picker: group view of that group (its member wells are rebuilt
    // from the group), page buttons hidden. The caller selects the group's
    // first member channel in the signal view (SignalView::chooseGroup) and
    // then draws with showGroupView().
    void chooseGroup(int group, const ChannelTables& channels, const PlateLayout& plate);
    void showGroupView(Surface& s, const LivePlotData& d);

    // ">" and "<": the next or previous page of the bar plot or histogram;
    // false (and nothing drawn) at either end or in the other views.
    bool pageUp(Surface& s, const LivePlotData& d);
    bool pageDown(Surface& s, const LivePlotData& d);

    // After every analysed block: redraws the active view over what is shown.
    void refreshActivePlot(Surface& s, const LivePlotData& d);
    // Clears and draws the active view with its axes (after a resize).
    void redraw(Surface& s, const LivePlotData& d);

    // "Start Acquisition": the vertical scale restarts at 1.
    void resetScale() { plotScale = 1.0; }

    // The member wells of the group view: wells 0..Max_Well, ascending, whose
    // beam-0 channel belongs to the group.
    void rebuildMemberWells(int group, const ChannelTables& channels, const PlateLayout& plate);
    // A new selected channel: its group's wells become the members; a channel
    // in no group leaves the list as it is.
    void selectedChannelChanged(int channel, const ChannelTables& channels,
                                const PlateLayout& plate);

    // The views (no clear; each erases what it redraws).
    void Dibujar_barplot(Surface& s, const LivePlotData& d);
    void Dibujar_grupo(Surface& s, const LivePlotData& d);
    void Dibujar_histograma(Surface& s, const LivePlotData& d);

    // Bar plot geometry for k groups with channels: slot width and left offset.
    static double barSlotWidth(int groupsShown);
    static double barSlotOffset(double slotWidth);

private:
    void keepScalePositive() {
        if (!(plotScale > 0)) plotScale = 1.0;
    }
};

} // namespace trv
