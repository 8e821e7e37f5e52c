#include "display/SignalView.h"

#include "common/Numeric.h"

#include <algorithm>

namespace trv {

namespace {
constexpr Rgb kRaw = colour::Red;
constexpr double kAxisTop = 2100;
constexpr double kTickHeights[] = {500, 1000, 1500, 2000};
constexpr double kTickEnd = 5;
} // namespace

BlockArrays BlockArrays::channelMajor(std::span<const int16_t> raw,
                                      std::span<const int16_t> filtered, int rtBuffer) {
    BlockArrays b;
    b.rawBlock = raw;
    b.filteredBlock = filtered;
    b.RT_Buffer = rtBuffer;
    b.channelStride = rtBuffer + 1;
    b.sampleStride = 1;
    return b;
}

// --- pickers --------------------------------------------------------------------

namespace {
int beamValue(const std::string& text) {
    long long v = roundHalfEven(leadingNumber(text));
    return static_cast<int>(std::clamp<long long>(v, -1, 32767));
}
} // namespace

PickResult SignalView::selectByPosition(const PlateLayout& plate, bool rowChecks) {
    int rows = plate.Plate_Rows, cols = plate.Plate_Columns;
    int row = rowLetter.empty() ? -1 : static_cast<unsigned char>(rowLetter[0]) - 'A';
    long long well = static_cast<long long>(column - 1) * rows + row;
    bool outside = row < 0 || row >= rows || column < 1 || column > cols ||
                   well >= static_cast<long long>(rows) * cols;
    if (outside) {
        rowLetter = "A";
        column = 1;
        well = 0;
    }
    int beam = beamValue(beamText);
    if (beam < 0 || (rowChecks && beam > plate.Max_Beam)) {
        beamText = "0";
        beam = 0;
    }
    int ch = plate.wellChannel(static_cast<int>(well), beam);
    // A well with fewer beams than the one asked for: show its first beam
    // rather than nothing.
    if (ch < 0 && beam != 0) {
        ch = plate.wellChannel(static_cast<int>(well), 0);
        if (ch >= 0) beamText = "0";
    }
    PickResult r;
    r.redraw = rowChecks;
    if (ch < 0 || ch >= kSlots) return r; // no channel serves this well: keep the selection
    r.selectionChanged = ch != selectedChannel;
    selectedChannel = static_cast<int16_t>(ch);
    return r;
}

PickResult SignalView::rowChosen(const std::string& letter, const PlateLayout& plate) {
    rowLetter = letter;
    return selectByPosition(plate, true);
}

PickResult SignalView::columnChosen(int col, const PlateLayout& plate) {
    column = col;
    return selectByPosition(plate, true);
}

PickResult SignalView::beamBoxLeft(const std::string& text, const PlateLayout& plate) {
    beamText = text;
    if (beamValue(text) > plate.Max_Beam) beamText = std::to_string(plate.Max_Beam);
    return selectByPosition(plate, false);
}

std::vector<SignalView::Member> SignalView::groupMembers(int group, const ChannelTables& channels,
                                                         const PlateLayout& plate) {
    std::vector<Member> out;
    for (int c = 0; c < kChannels; ++c) {
        size_t i = static_cast<size_t>(c);
        if (channels.Channel_Group[i] != group || channels.Channel_Enabled[i] == 0 ||
            plate.Channel_Well[i] < 0)
            continue;
        out.push_back({plate.channelLabel(c), static_cast<int16_t>(c)});
    }
    return out;
}

PickResult SignalView::chooseGroup(int group, const ChannelTables& channels,
                                   const PlateLayout& plate) {
    members = groupMembers(group, channels, plate);
    memberIndex = -1;
    if (members.empty()) return {};
    return selectMember(0, plate);
}

PickResult SignalView::selectMember(int index, const PlateLayout& plate) {
    if (index < 0 || index >= static_cast<int>(members.size()) || plate.Plate_Rows <= 0) return {};
    memberIndex = index;
    int ch = members[static_cast<size_t>(index)].channel;
    int well = plate.Channel_Well[static_cast<size_t>(ch)];
    int beam = std::min<int>(plate.Channel_Beam[static_cast<size_t>(ch)], plate.Max_Beam);
    rowLetter = std::string(1, static_cast<char>('A' + well % plate.Plate_Rows));
    column = well / plate.Plate_Rows + 1;
    beamText = std::to_string(beam);
    return selectByPosition(plate, true);
}

PickResult SignalView::previousMember(const PlateLayout& plate) {
    if (members.empty()) return {};
    int i = std::max(0, memberIndex - 1);
    currentMember = members[static_cast<size_t>(i)].label;
    return selectMember(i, plate);
}

PickResult SignalView::nextMember(const PlateLayout& plate) {
    if (members.empty()) return {};
    int i = std::min(static_cast<int>(members.size()) - 1, memberIndex + 1);
    currentMember = members[static_cast<size_t>(i)].label;
    return selectMember(i, plate);
}

// --- zoom -----------------------------------------------------------------------

void SignalView::updateZoomReference(const BlockArrays& b, int R) {
    for (int c = 0; c < kSlots; ++c) {
        int16_t m = b.raw(c, 1);
        for (int i = 2; i <= R - 1; ++i) m = std::max(m, b.raw(c, i));
        zoomReference[static_cast<size_t>(c)] = m;
    }
}

void SignalView::zoomIn(Surface& s, const BlockArrays& b, int R) {
    zoomLevel = std::min(zoomLevel + 1, kMaxZoom);
    updateZoomReference(b, R);
    Dibujar_canal(s, b, R);
}

void SignalView::zoomOut(Surface& s, const BlockArrays& b, int R) {
    zoomLevel = std::max(zoomLevel - 1, 0);
    if (zoomLevel != 0) updateZoomReference(b, R);
    Dibujar_canal(s, b, R);
}

double SignalView::sampleHeight(int value, int channel) const {
    if (zoomLevel == 0) return value;
    int ref = channel >= 0 && channel < kSlots ? zoomReference[static_cast<size_t>(channel)] : 0;
    return static_cast<double>(value - ref) * zoomLevel + kZoomedMaximum;
}

// --- drawing --------------------------------------------------------------------

void SignalView::setCoordinates(Surface& s, int S) const { s.setScale(0, top, S + 20, 0); }

void SignalView::drawTicks(Surface& s) const {
    s.filledBox(0, 0, 3, kAxisTop, colour::Black);
    for (double h : kTickHeights) s.line(0, h, kTickEnd, h, colour::White);
}

void SignalView::Dibujar_ejes_canal(Surface& s) const {
    s.clear();
    s.setPenWidth(1);
    drawTicks(s);
}

void SignalView::drawAxes(Surface& s, int S) const {
    setCoordinates(s, S);
    Dibujar_ejes_canal(s);
}

void SignalView::startAcquisition(Surface& s, int S) {
    if (zoomLevel == 0) top = 2098;
    drawAxes(s, S);
}

void SignalView::Dibujar_canal(Surface& s, const BlockArrays& b, int R) {
    const int S = b.RT_Buffer;
    const int ch = selectedChannel;
    setCoordinates(s, S);
    Dibujar_ejes_canal(s);
    const Rgb trace = traceColour();
    auto raw = [&](int i) { return sampleHeight(b.raw(ch, i), ch); };
    auto thr = [&](int i) { return sampleHeight(b.threshold(ch, i), ch); };
    auto rawSegment = [&](int i) {
        if (zoomLevel == 0) {
            s.line(i - 1, raw(i - 1), i, raw(i), kRaw);
        } else {
            s.line(i - 1, std::max(raw(i - 1), kFloor), i, std::max(raw(i), kFloor), kRaw);
        }
    };

    for (int i = 1; i <= S - 1; ++i) {
        if (i >= R - 1 && i <= R + 1) continue;
        if (zoomLevel == 0) {
            rawSegment(i);
            if (b.threshold(ch, i) >= kFloor) s.line(i - 1, thr(i - 1), i, thr(i), trace);
        } else {
            // Zoomed, the older sweep beyond the write position keeps its raw
            // trace too, as the incremental drawing left it.
            rawSegment(i);
            double t0 = thr(i - 1), t1 = thr(i);
            if (t0 >= kFloor && t1 >= kFloor) s.line(i - 1, t0, i, t1, trace);
        }
    }
    if (R > 5) {
        for (int i = 1; i <= R - 1; ++i) rawSegment(i);
        s.filledBox(R + 4, 21, R + 10, 2048, colour::White);
    }
}

void SignalView::Dibujar_muestras(Surface& s, const BlockArrays& b, int R, long long tickCount) {
    const int ch = selectedChannel;
    const Rgb trace = traceColour();
    s.setPenWidth(1);
    if (R >= 6) {
        for (int i = R - 3; i <= R - 1; ++i) {
            double r0 = sampleHeight(b.raw(ch, i - 1), ch), r1 = sampleHeight(b.raw(ch, i), ch);
            if (zoomLevel > 0) {
                r0 = std::max(r0, kFloor);
                r1 = std::max(r1, kFloor);
            }
            s.line(i - 1, r0, i, r1, kRaw);
            if (b.threshold(ch, i) > 0)
                s.line(i - 1, sampleHeight(b.threshold(ch, i - 1), ch), i,
                       sampleHeight(b.threshold(ch, i), ch), trace);
        }
    }
    if (R >= 3) {
        s.filledBox(R, 21, R + 6, 2048, colour::White);
        drawTicks(s);
    }
    // The tick counter sits at the end of the last tick line; the previous
    // one is written over in white first.
    if (!counterText_.empty()) {
        s.setForeColor(colour::White);
        s.text(counterX_, counterY_, counterText_);
    }
    counterText_ = std::to_string(tickCount) + "#";
    counterX_ = kTickEnd;
    counterY_ = kTickHeights[3];
    s.setForeColor(colour::Black);
    s.text(counterX_, counterY_, counterText_);
}

void SignalView::refreshAfterStart(Surface& s, const BlockArrays& b, int R) {
    if (zoomLevel > 0) updateZoomReference(b, R);
    Dibujar_canal(s, b, R);
}

} // namespace trv
