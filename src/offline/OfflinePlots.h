// The offline browser's views of a chosen acquisition on its plot surface
// (Picreal): the group activity bar plot, the plate heat map and the channel
// signal view of the stored raw signal, with the state the window keeps
// between them (view mode, loaded activity, bar paging, raw page, pickers).
//
// OfflinePlots owns that state and the group/well pickers' logic; the window
// mirrors it into its controls after each call (panels(), captions, lists,
// page box) and does the drawing on its surface through these procedures.
#pragma once

#include "acquisition/DataFiles.h"
#include "common/Prompter.h"
#include "display/SignalView.h"
#include "display/Surface.h"
#include "offline/OfflineConfiguration.h"
#include "offline/RawPages.h"

#include <string>
#include <vector>

namespace trv {

namespace offlineview {
inline constexpr int Bar = 0;
inline constexpr int Signal = 1;
inline constexpr int GroupEditor = 3;
inline constexpr int Line = 4;
inline constexpr int Heatmap = 5;
inline constexpr int Track = 6;
} // namespace offlineview

// What the bars of the bar plot are: unlike the report, which averages
// whole bins, they sum every record.
inline constexpr const char* kBarPlotCaption = "Bars: counts of all records, mean per channel";

// Group 384 of the activity collects the free channels.
inline constexpr int kFreeGroup = 384;

// Mean activity per channel of each group over time bins, from counts.bin.
struct GroupActivity {
    int binCount = 0;           // N: bins 1..N hold data
    double binSize = 0;         // minutes
    std::vector<double> values; // [group 0..385][bin 0..N]

    double at(int group, int bin) const;
    void reset(int bins);
};

// Groups the records' counts: without binning every record goes to bin 1;
// with binning into bins of binSize minutes (see the .cpp for how a record
// closes its bin). Groups 0..383 get the mean per channel (rounded, halves to
// even; 0 without channels), the free group keeps its sum. Returns the largest
// unrounded mean of groups 0..383, rounded.
long long groupActivity(const std::vector<CountsRecord>& records, const ChannelTables& channels,
                        bool binning, double binSize, GroupActivity& out);

// The same from an acquisition folder's counts.bin; a missing file shows
// "Activity file not Found", leaves empty activity and returns 0.
long long loadGroupActivity(const std::string& folder, const ChannelTables& channels, bool binning,
                            double binSize, GroupActivity& out, Prompter& prompter);

// The group of a list entry ("003_Name"): its first three characters, with
// anything above 383 (the "999_Free" entry) meaning the free group.
int groupOfListEntry(const std::string& entry);

// The header of the bar plot: the chosen project and acquisition lines of
// the browser's list and the configuration block.
struct PlotHeader {
    std::string projectLine;
    std::string acquisitionLine;
    std::string configBlock;
};

// What the views read of the chosen acquisition.
struct OfflineSource {
    std::string folder; // the acquisition folder
    const OfflineConfiguration& config;
    PlotHeader header;
};

// Which of the window's controls are shown; the window applies them after
// every call.
struct OfflinePanels {
    bool plotGroupList = true;  // lstgrup_plot
    bool plotButtons = true;    // Bar Plot, Heatmap PLOT, Line Plot, ...
    bool comments = true;       // Txt_description
    bool groupPicker = false;   // combogrup
    bool wellList = false;      // lstgrup
    bool progressBar = false;   // Pic_status
    bool analysisFrame = false; // fmranalizar
    bool pageControls = false;  // page box and scrollpage
    bool binSizeFrame = false;
    bool bmpCheck = false; // chk_bmp
};

class OfflinePlots {
  public:
    int viewMode = offlineview::Bar;
    GroupActivity activity;
    long long activityResult = 0; // what the last load returned
    int firstBar = 0;             // index in the plot group list of the first bar

    // The lists filled when an acquisition is chosen, and their selections.
    std::vector<std::string> plotGroups; // lstgrup_plot
    int plotGroupSelected = 0;
    std::vector<std::string> groupPicker; // combogrup
    std::vector<std::string> rowLetters, columnNumbers;
    // The well list (lstgrup) and the picked channel with its pickers
    // (Combofila, Combocol, txtsub, lblcanal).
    SignalView picker;

    // Raw signal pages.
    RawPageLayout rawLayout;
    RawPage rawPage;
    int currentPage = 1;

    OfflinePanels panels;
    std::string signalCaption = "Channel Signal";  // cmdchannels
    std::string groupCaption = "[Group Activity]"; // Cmd_leegroups
    std::string pageBoxText;                       // "1/4"

    // An acquisition was chosen: fills the pickers and the plot group list
    // from its configuration (first entries selected, pickers at A and 1)
    // and forgets the previous acquisition's raw page.
    void acquisitionChosen(const OfflineConfiguration& config);
    // Leaving the window: the loaded data are released.
    void release();
    // No acquisition is chosen any more: the data, the lists and the
    // surface are cleared.
    void forget(Surface& s);

    // "[Group Activity]": back to the bar plot from the first bar, with the
    // plot panels shown.
    void showGroupActivity(Surface& s, const OfflineSource& src, Prompter& prompter);
    // "Bar Plot".
    void showBarPlot(Surface& s, const OfflineSource& src, Prompter& prompter);
    // "Heatmap PLOT".
    void showHeatmap(Surface& s, const OfflineSource& src, Prompter& prompter);
    // Double click or Enter on the plot group list: in the bar plot the bars
    // page so that the chosen entry is shown (the first ten from the top,
    // else it is the tenth bar); in the heat map the map is drawn again.
    // False when nothing was drawn (other views draw their own).
    bool plotGroupChosen(int index, Surface& s, const OfflineSource& src, Prompter& prompter);

    // "Channel Signal": switches the panels, counts the raw files and loads
    // and draws page 1. openChannelSignalView() alone does all but the load,
    // for windows that load the page on a worker thread and then call
    // showRawPage().
    void showChannelSignal(Surface& s, const OfflineSource& src);
    void openChannelSignalView(const OfflineSource& src);
    // The page scroll bar: in the channel signal view loads and draws that
    // page and returns true; in other views returns false and the scroll bar
    // goes back to currentPage.
    bool scrollPage(int page, Surface& s, const OfflineSource& src);
    // A loaded page becomes the current one and is drawn.
    void showRawPage(RawPage page, Surface& s, const OfflineSource& src);
    // The page scroll bar for windows that load on a worker thread: in the
    // channel signal view the page to load (within the page count; the page
    // box shows it at once); 0 in other views and without raw files.
    int pageRequested(int page);

    // Group picker: the well list becomes the enabled channels of the group
    // ("999" = the free channels), labelled as their well and beam.
    void groupPicked(const std::string& entry, const OfflineConfiguration& config);
    // Well list double click (or Enter): beam box 0, the row and column of the
    // well label, then the view redrawn (channel signal, or the bar plot in
    // the bar plot view). False when nothing needed drawing.
    bool wellPicked(int index, Surface& s, const OfflineSource& src, Prompter& prompter);
    // Row letter or column number changed: the picked channel is the channel
    // of that well and the beam box; a position outside the plate puts the
    // pickers back to A and 1. The channel signal view is redrawn.
    bool rowPicked(const std::string& letter, Surface& s, const OfflineSource& src);
    bool columnPicked(int column, Surface& s, const OfflineSource& src);
    // The beam box left: a beam above the well's last becomes the last one;
    // the channel signal view is redrawn.
    bool beamChanged(const std::string& text, Surface& s, const OfflineSource& src);
    int pickedChannel() const { return picker.selectedChannel; }

    // The surface changed size: the bar plot, heat map or channel signal
    // view is drawn again from the data it shows (messages of a reload go
    // to `prompter`). False in the other views.
    bool redraw(Surface& s, const OfflineSource& src, Prompter& prompter);

    // --- drawing procedures ---------------------------------------------------
    void Dibujar_barplot(Surface& s, const OfflineSource& src, Prompter& prompter);
    void Dibujar_heatmap(Surface& s, const OfflineSource& src, Prompter& prompter);
    // The picked channel's well on the current raw page (nothing when the
    // acquisition has no raw files).
    void Dibujar_canales(Surface& s, const OfflineSource& src);

    // Colour of beam k of a well whose beams run 0..maxBeam.
    static Rgb beamColour(int k, int maxBeam);
    // "k" label of a sample position in thousands ("k0", "k27.5").
    static std::string thousandsLabel(long long samples);
    // The left edge of the channel signal view for a page of that many
    // samples; "100%" is printed there, at the top.
    static double signalLeft(double samplesOnPage) { return -samplesOnPage / 25; }

  private:
    void drawHeader(Surface& s, const PlotHeader& h, double M);
};

} // namespace trv
