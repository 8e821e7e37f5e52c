// The main window's live display as one object: the activity plots (Picact),
// the channel signal view (Picreal) and what links them (the group picker
// fills the member list; a new selected channel changes the group view's
// wells). The window calls one method per control event and then copies
// the pickers' fields (signal.rowLetter, column, beamText, members,
// memberIndex, currentMember, zoomLevel, selectedChannel) and
// plots.pageButtonsVisible into its controls.
#pragma once

#include "acquisition/AcquisitionRun.h"
#include "display/LivePlots.h"
#include "display/SignalView.h"

#include <string>

namespace trv {

// The run's block arrays as the signal view reads them (rawBlock and
// filteredBlock, RT_Buffer + 1 samples per channel).
BlockArrays runBlockArrays(const AcquisitionRun& run);
// What the live plots draw of a run: its totals, its body-bends histograms and
// the mean seconds per sample (deltaT), over the shared channel tables and
// plate.
LivePlotData runPlotData(const AcquisitionRun& run);

// Everything one event may draw with: both surfaces, what the plots show,
// and the run's block arrays with its write position (sampleIndex).
struct LiveDisplayContext {
    Surface& picact;
    Surface& picreal;
    const LivePlotData& data;
    const BlockArrays& block;
    int sampleIndex = 0;
};

class LiveDisplay {
  public:
    LivePlots plots;
    SignalView signal;

    // combogrup: group view of the entry's group, its member list, its first
    // member selected and shown.
    void groupChosen(const std::string& entry, const LiveDisplayContext& c);

    // Channel pickers (Combofila, Combocol, txtsub left, lstgrup double-click
    // or Enter, cmdbeam_minus, cmdbeam_plus).
    void rowChosen(const std::string& letter, const LiveDisplayContext& c);
    void columnChosen(int column, const LiveDisplayContext& c);
    void beamBoxLeft(const std::string& text, const LiveDisplayContext& c);
    void memberChosen(int index, const LiveDisplayContext& c);
    void previousMember(const LiveDisplayContext& c);
    void nextMember(const LiveDisplayContext& c);

    // "Start Acquisition" (after the run cleared its counts and block
    // arrays): plot scale 1, member wells of the selected channel's group,
    // signal view coordinates and axes.
    void acquisitionStarted(const LiveDisplayContext& c);
    // "Read Blank": the member wells are rebuilt.
    void blankStarted(const LiveDisplayContext& c);

    // After a resize: the active plot with its axes, and the signal view's
    // axes.
    void layoutChanged(const LiveDisplayContext& c);

  private:
    void apply(PickResult r, const LiveDisplayContext& c);
};

} // namespace trv
