// The channel signal view of the main window (Picreal): the raw samples of one
// selected channel over the current block and the running threshold curve,
// with the pickers that choose the channel (well position, group member
// list, previous/next member) and a vertical zoom around the block maximum.
//
// SignalView keeps the pickers' state as their controls show it (row letter,
// column, beam text, member list, zoom level), so the window copies these
// fields into its controls after each call. Picker calls return what the
// window has to do next: redraw the view, and tell the live plots that the
// selected channel changed (LivePlots::selectedChannelChanged).
#pragma once

#include "display/Surface.h"
#include "store/Module1.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace trv {

// The run's block arrays as the view reads them: samples 0..RT_Buffer of
// channels 0..384; sample i of channel c at [c * channelStride + i *
// sampleStride]. Positions outside the spans read as 0.
struct BlockArrays {
    std::span<const int16_t> rawBlock;      // raw samples
    std::span<const int16_t> filteredBlock; // running threshold curve
    int RT_Buffer = 500;                    // samples per block (S)
    std::ptrdiff_t channelStride = 501;
    std::ptrdiff_t sampleStride = 1;

    // Arrays stored channel after channel, RT_Buffer + 1 samples each.
    static BlockArrays channelMajor(std::span<const int16_t> raw, std::span<const int16_t> filtered,
                                    int rtBuffer);

    int16_t raw(int channel, int sample) const { return at(rawBlock, channel, sample); }
    int16_t threshold(int channel, int sample) const { return at(filteredBlock, channel, sample); }

private:
    int16_t at(std::span<const int16_t> a, int channel, int sample) const {
        std::ptrdiff_t i = channel * channelStride + sample * sampleStride;
        return i >= 0 && static_cast<size_t>(i) < a.size() ? a[static_cast<size_t>(i)] : 0;
    }
};

// What a picker call asks of the window.
struct PickResult {
    bool selectionChanged = false; // selectedChannel now differs
    bool redraw = false;           // a full redraw of the view is due
};

class SignalView {
public:
    static constexpr int kMaxZoom = 10;
    static constexpr double kZoomedMaximum = 1750; // where the block maximum sits when zoomed
    static constexpr double kFloor = 6;            // lowest height of a zoomed raw sample

    // The channel shown (lblcanal).
    int16_t selectedChannel = 0;

    // Pickers, as their controls show them.
    std::string rowLetter = "A"; // Combofila
    int column = 1;              // Combocol
    std::string beamText = "0";  // txtsub
    struct Member {
        std::string label; // "B7.2"
        int16_t channel;
    };
    std::vector<Member> members; // lstgrup: members of the chosen group
    int memberIndex = -1;        // entry selected in lstgrup
    std::string currentMember;   // txtbeam ("Current channel")

    // Zoom.
    int32_t zoomLevel = 0; // txtzoom, 0..10
    std::array<int16_t, kSlots> zoomReference{};

    // Blue (false) or green (true) threshold curve; the run toggles it when
    // its real-time window counter wraps.
    bool traceColourFlag = false;

    // Top of the vertical scale.
    double top = 2100;

    // --- pickers ----------------------------------------------------------------
    // Combofila / Combocol: select by position with the row checks (a well
    // outside the plate resets the pickers to "A" and "1"; a beam above
    // Max_Beam resets the beam box to "0"); full redraw.
    PickResult rowChosen(const std::string& letter, const PlateLayout& plate);
    PickResult columnChosen(int column, const PlateLayout& plate);
    // txtsub left: a beam above Max_Beam becomes Max_Beam; the selection
    // follows without a redraw.
    PickResult beamBoxLeft(const std::string& text, const PlateLayout& plate);
    // Group chosen in combogrup: fills the member list and selects its first
    // entry (nothing selected when the group has no member).
    PickResult chooseGroup(int group, const ChannelTables& channels, const PlateLayout& plate);
    // lstgrup double-click or Enter on an entry.
    PickResult selectMember(int index, const PlateLayout& plate);
    // cmdbeam_minus / cmdbeam_plus: one entry back or forward, not beyond
    // either end; shown in txtbeam and selected.
    PickResult previousMember(const PlateLayout& plate);
    PickResult nextMember(const PlateLayout& plate);

    // The member list of a group: every enabled channel 0..383 of the group
    // that lies in a well, ascending, labelled as its well and beam.
    static std::vector<Member> groupMembers(int group, const ChannelTables& channels,
                                            const PlateLayout& plate);

    // --- zoom -------------------------------------------------------------------
    // Cmdzoom_plus / Cmdzoom_minus; R is the write position (sampleIndex).
    void zoomIn(Surface& s, const BlockArrays& b, int R);
    void zoomOut(Surface& s, const BlockArrays& b, int R);
    // Every channel's reference: the largest raw sample 1..R-1 (sample 1 when
    // the range is empty).
    void updateZoomReference(const BlockArrays& b, int R);
    void clearZoomReferences() { zoomReference.fill(0); }
    // Height of a value of a channel at the current zoom.
    double sampleHeight(int value, int channel) const;

    // --- drawing ----------------------------------------------------------------
    // Coordinates: x 0..S+20 (a unit per sample), y 0..top upwards.
    void setCoordinates(Surface& s, int S) const;
    // Clears the view and draws the vertical axis with its four ticks.
    void Dibujar_ejes_canal(Surface& s) const;
    // Coordinates and axes (the window's layout after a resize).
    void drawAxes(Surface& s, int S) const;
    // "Start Acquisition": coordinates (top 2098 at zoom 0) and axes.
    void startAcquisition(Surface& s, int S);
    // Full redraw of the selected channel (redrawChannelSignal).
    void Dibujar_canal(Surface& s, const BlockArrays& b, int R);
    void redrawChannelSignal(Surface& s, const BlockArrays& b, int R) { Dibujar_canal(s, b, R); }
    // Incremental drawing every second tick, right after sample R was
    // stored; writes tickCount + "#" at the end of the last tick line.
    void Dibujar_muestras(Surface& s, const BlockArrays& b, int R, long long tickCount);
    void drawNewSamples(Surface& s, const BlockArrays& b, int R, long long tickCount) {
        Dibujar_muestras(s, b, R, tickCount);
    }
    // Once per start or resume: a full redraw, recomputing the zoom
    // reference first when zoomed.
    void refreshAfterStart(Surface& s, const BlockArrays& b, int R);

private:
    PickResult selectByPosition(const PlateLayout& plate, bool rowChecks);
    Rgb traceColour() const { return traceColourFlag ? colour::Green : colour::Blue; }
    void drawTicks(Surface& s) const;

    std::string counterText_;
    double counterX_ = 0, counterY_ = 0;
};

} // namespace trv
