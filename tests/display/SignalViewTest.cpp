#include "display/RecordingSurface.h"
#include "display/SignalView.h"
#include "support/PlateLayouts.h"

#include <gtest/gtest.h>

#include <vector>

namespace trv {
namespace {

using Kind = RecordingSurface::Kind;
using Prim = RecordingSurface::Primitive;

constexpr int S = 500;

class SignalViewTest : public ::testing::Test {
protected:
    SignalViewTest() { plate = test::w96fPlate(); }

    BlockArrays block() const { return BlockArrays::channelMajor(raw, filtered, S); }
    int16_t& rawAt(int ch, int i) { return raw[static_cast<size_t>(ch * (S + 1) + i)]; }
    int16_t& thrAt(int ch, int i) { return filtered[static_cast<size_t>(ch * (S + 1) + i)]; }
    void fillChannel(int ch, int16_t rawValue, int16_t thrValue) {
        for (int i = 0; i <= S; ++i) {
            rawAt(ch, i) = rawValue;
            thrAt(ch, i) = thrValue;
        }
    }

    // Lines of one colour, by the x of their end.
    std::vector<Prim> lines(Rgb c) const {
        std::vector<Prim> out;
        for (const auto& p : surface.ofKind(Kind::Line))
            if (p.colour == c) out.push_back(p);
        return out;
    }
    int linesEndingAt(Rgb c, double x) const {
        int n = 0;
        for (const auto& p : lines(c)) n += p.x2 == x;
        return n;
    }

    PlateLayout plate;
    ChannelTables channels;
    std::vector<int16_t> raw = std::vector<int16_t>(kSlots * (S + 1), 0);
    std::vector<int16_t> filtered = std::vector<int16_t>(kSlots * (S + 1), 0);
    RecordingSurface surface;
    SignalView view;
};

TEST_F(SignalViewTest, PositionPickersCountWellsDownTheColumns) {
    view.column = 2;
    PickResult r = view.rowChosen("C", plate);
    EXPECT_EQ(view.selectedChannel, plate.Well_Channel[10][0]);
    EXPECT_EQ(view.selectedChannel, 36);
    EXPECT_TRUE(r.selectionChanged);
    EXPECT_TRUE(r.redraw);

    // The same well again: a redraw, but no new selection.
    r = view.columnChosen(2, plate);
    EXPECT_FALSE(r.selectionChanged);
    EXPECT_TRUE(r.redraw);

    // Outside the plate (column 13, or row J of an 8-row plate): back to A1.
    view.columnChosen(13, plate);
    EXPECT_EQ(view.rowLetter, "A");
    EXPECT_EQ(view.column, 1);
    EXPECT_EQ(view.selectedChannel, 0);
    view.columnChosen(3, plate);
    view.rowChosen("J", plate);
    EXPECT_EQ(view.rowLetter, "A");
    EXPECT_EQ(view.column, 1);
    EXPECT_EQ(view.selectedChannel, 0);
}

TEST_F(SignalViewTest, BeamBoxIsCappedWhenLeftAndResetByTheRowPicker) {
    plate = test::gridPlate(8, 12, 4); // beams 0..3
    view.beamText = "0";
    view.beamBoxLeft("5", plate);
    EXPECT_EQ(view.beamText, "3");
    EXPECT_EQ(view.selectedChannel, plate.Well_Channel[0][3]);
    PickResult r = view.beamBoxLeft("1", plate);
    EXPECT_TRUE(r.selectionChanged);
    EXPECT_FALSE(r.redraw); // leaving the box does not redraw
    EXPECT_EQ(view.selectedChannel, 1);

    view.beamText = "5"; // typed, box not left yet
    view.rowChosen("B", plate);
    EXPECT_EQ(view.beamText, "0");
    EXPECT_EQ(view.selectedChannel, plate.Well_Channel[1][0]);
}

TEST_F(SignalViewTest, WellWithoutTheAskedBeamShowsItsFirstBeam) {
    // Well 1 has one beam, the others two.
    plate = test::makePlate(8, 2, 0, 12, 2, 0, [](int c) {
        if (c == 3) return std::make_pair(1, 0);
        if (c < 3) return std::make_pair(0, c == 0 ? 0 : 1);
        return std::make_pair(-1, 0);
    });
    view.beamText = "1";
    view.beamBoxLeft("1", plate);
    EXPECT_EQ(view.selectedChannel, 2); // well 0 beam 1 (the higher channel wins)
    view.rowChosen("B", plate); // beam 1 is within Max_Beam but well 1 lacks it
    EXPECT_EQ(view.selectedChannel, 3);
    EXPECT_EQ(view.beamText, "0");
    // A well served by no channel at all keeps the selection.
    PickResult r = view.rowChosen("C", plate);
    EXPECT_FALSE(r.selectionChanged);
    EXPECT_EQ(view.selectedChannel, 3);
}

TEST_F(SignalViewTest, MemberListHoldsEnabledChannelsInWellsAndStepsWithinItsEnds) {
    channels.Channel_Group.fill(-1);
    for (int c : {36, 38, 52, 54, 37}) channels.Channel_Group[static_cast<size_t>(c)] = 3;
    channels.Channel_Enabled[54] = 0; // disabled
    // channel 37 lies in an odd channel row: no well
    PickResult r = view.chooseGroup(3, channels, plate);
    ASSERT_EQ(view.members.size(), 3u);
    EXPECT_EQ(view.members[0].label, "C2.0");
    EXPECT_EQ(view.members[1].label, "D2.0");
    EXPECT_EQ(view.members[2].label, "C2.1");
    EXPECT_TRUE(r.selectionChanged);
    EXPECT_EQ(view.selectedChannel, 36);
    EXPECT_EQ(view.memberIndex, 0);

    view.nextMember(plate);
    EXPECT_EQ(view.selectedChannel, 38);
    EXPECT_EQ(view.rowLetter, "D");
    EXPECT_EQ(view.column, 2);
    view.nextMember(plate);
    EXPECT_EQ(view.selectedChannel, 52);
    EXPECT_EQ(view.beamText, "1");
    r = view.nextMember(plate);
    EXPECT_FALSE(r.selectionChanged);
    EXPECT_EQ(view.memberIndex, 2);
    EXPECT_EQ(view.currentMember, "C2.1");
    for (int i = 0; i < 4; ++i) view.previousMember(plate);
    EXPECT_EQ(view.memberIndex, 0);
    EXPECT_EQ(view.currentMember, "C2.0");
    EXPECT_EQ(view.selectedChannel, 36);

    // A group without members leaves the selection alone.
    r = view.chooseGroup(40, channels, plate);
    EXPECT_TRUE(view.members.empty());
    EXPECT_FALSE(r.selectionChanged);
    EXPECT_EQ(view.selectedChannel, 36);
}

TEST_F(SignalViewTest, ZoomStaysWithinItsRangeAndTakesTheReferenceFromTheReceivedSamples) {
    for (int c = 0; c < kSlots; ++c) fillChannel(c, 1000, 0);
    rawAt(5, 0) = 4000;  // sample 0 is not looked at
    rawAt(5, 3) = 1500;
    rawAt(5, 10) = 3000; // the write position R is not looked at either
    const int R = 10;
    view.zoomIn(surface, block(), R);
    EXPECT_EQ(view.zoomLevel, 1);
    EXPECT_EQ(view.zoomReference[5], 1500);
    EXPECT_EQ(view.zoomReference[6], 1000);
    EXPECT_EQ(view.zoomReference[384], 1000);

    view.zoomLevel = 10;
    rawAt(5, 4) = 1600;
    view.zoomIn(surface, block(), R);
    EXPECT_EQ(view.zoomLevel, 10);
    EXPECT_EQ(view.zoomReference[5], 1600); // recomputed even at the top level

    view.zoomLevel = 1;
    rawAt(5, 4) = 1700;
    view.zoomOut(surface, block(), R);
    EXPECT_EQ(view.zoomLevel, 0);
    EXPECT_EQ(view.zoomReference[5], 1600); // not recomputed on the way to 0
    view.zoomOut(surface, block(), R);
    EXPECT_EQ(view.zoomLevel, 0);
    EXPECT_FALSE(surface.ofKind(Kind::Clear).empty()); // every button press redraws

    // With nothing received yet the reference is sample 1.
    view.updateZoomReference(block(), 0);
    EXPECT_EQ(view.zoomReference[5], 1000);
}

TEST_F(SignalViewTest, ZoomedSignalPutsTheBlockMaximumAt1750AndFloorsDeepSamples) {
    fillChannel(0, 2000, 0);
    rawAt(0, 10) = 1400; // 600 below the maximum: (−600) × 3 + 1750 < 6
    const int R = 400;
    view.zoomIn(surface, block(), R);
    view.zoomIn(surface, block(), R);
    surface.forget();
    view.zoomIn(surface, block(), R);
    ASSERT_EQ(view.zoomLevel, 3);
    EXPECT_DOUBLE_EQ(view.sampleHeight(2000, 0), 1750);
    EXPECT_DOUBLE_EQ(view.sampleHeight(1400, 0), -50);
    for (const auto& l : lines(colour::Red)) {
        double expected1 = l.x1 == 10 ? 6 : 1750;
        double expected2 = l.x2 == 10 ? 6 : 1750;
        EXPECT_DOUBLE_EQ(l.y1, expected1);
        EXPECT_DOUBLE_EQ(l.y2, expected2);
    }
    EXPECT_GE(linesEndingAt(colour::Red, 10), 1);
    // Zoomed threshold segments below the floor are left out.
    EXPECT_TRUE(lines(colour::Blue).empty());
}

TEST_F(SignalViewTest, FullRedrawSkipsTheWritePositionAndClearsAheadOfIt) {
    const int ch = 36;
    view.selectedChannel = ch;
    fillChannel(ch, 1200, 800);
    for (int i = 0; i < 100; ++i) thrAt(ch, i) = 5; // below 6: not drawn
    const int R = 200;
    view.redrawChannelSignal(surface, block(), R);

    EXPECT_DOUBLE_EQ(surface.right(), S + 20);
    EXPECT_DOUBLE_EQ(surface.top(), 2100);
    EXPECT_DOUBLE_EQ(surface.bottom(), 0);
    EXPECT_EQ(surface.primitives()[1].kind, Kind::Clear);

    EXPECT_EQ(linesEndingAt(colour::Red, R), 0);
    EXPECT_EQ(linesEndingAt(colour::Red, R + 1), 0);
    EXPECT_EQ(linesEndingAt(colour::Red, R - 1), 1); // only the received part's pass
    EXPECT_EQ(linesEndingAt(colour::Red, 50), 2);    // both passes
    EXPECT_EQ(linesEndingAt(colour::Red, 300), 1);
    EXPECT_EQ(linesEndingAt(colour::Blue, 99), 0);
    EXPECT_EQ(linesEndingAt(colour::Blue, 100), 1);
    EXPECT_EQ(linesEndingAt(colour::Red, S), 0); // the last segment ends at S - 1
    EXPECT_EQ(linesEndingAt(colour::Red, S - 1), 1);

    auto band = surface.filledBoxes().back();
    EXPECT_EQ(band.colour, colour::White);
    EXPECT_DOUBLE_EQ(band.x1, R + 4);
    EXPECT_DOUBLE_EQ(band.y1, 21);
    EXPECT_DOUBLE_EQ(band.x2, R + 10);
    EXPECT_DOUBLE_EQ(band.y2, 2048);

    view.traceColourFlag = true;
    surface.forget();
    view.redrawChannelSignal(surface, block(), 5); // too early for the received pass
    EXPECT_TRUE(lines(colour::Blue).empty());
    EXPECT_FALSE(lines(colour::Green).empty());
    EXPECT_EQ(linesEndingAt(colour::Red, 3), 1);
    EXPECT_EQ(surface.filledBoxes().size(), 1u); // the axis bar only
}

TEST_F(SignalViewTest, IncrementalDrawingDrawsTheLastThreeSegmentsAndTheTickCounter) {
    fillChannel(0, 900, 700);
    view.drawNewSamples(surface, block(), 4, 7);
    EXPECT_TRUE(lines(colour::Red).empty());
    auto fills = surface.filledBoxes();
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_DOUBLE_EQ(fills[0].x1, 4);
    EXPECT_DOUBLE_EQ(fills[0].x2, 10);
    EXPECT_EQ(fills[0].colour, colour::White);
    EXPECT_EQ(fills[1].colour, colour::Black); // the axis bar again
    EXPECT_EQ(lines(colour::White).size(), 4u);
    auto texts = surface.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "7#");
    EXPECT_DOUBLE_EQ(texts[0].x1, 5);
    EXPECT_DOUBLE_EQ(texts[0].y1, 2000);

    surface.forget();
    thrAt(0, 98) = 0; // no threshold segment ending there
    view.drawNewSamples(surface, block(), 100, 9);
    auto red = lines(colour::Red);
    ASSERT_EQ(red.size(), 3u);
    EXPECT_DOUBLE_EQ(red[0].x1, 96);
    EXPECT_DOUBLE_EQ(red[2].x2, 99);
    EXPECT_EQ(lines(colour::Blue).size(), 2u);
    texts = surface.texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, "7#");
    EXPECT_EQ(texts[0].colour, colour::White);
    EXPECT_EQ(texts[1].text, "9#");
    EXPECT_EQ(texts[1].colour, colour::Black);

    // Zoomed, the raw trace keeps the floor but the threshold does not.
    view.zoomLevel = 1;
    view.zoomReference[0] = 3000;
    surface.forget();
    view.drawNewSamples(surface, block(), 100, 11);
    EXPECT_EQ(lines(colour::Red).size(), 3u);
    for (const auto& l : lines(colour::Red)) EXPECT_DOUBLE_EQ(l.y2, 6); // 900 would sit at -350
    ASSERT_EQ(lines(colour::Blue).size(), 2u);
    for (const auto& l : lines(colour::Blue)) EXPECT_DOUBLE_EQ(l.y2, 700 - 3000 + 1750);
}

TEST_F(SignalViewTest, StartAndRefreshKeepTheZoomLevel) {
    view.startAcquisition(surface, S);
    EXPECT_DOUBLE_EQ(surface.top(), 2098);
    view.top = 2100;
    view.zoomLevel = 2;
    view.startAcquisition(surface, S);
    EXPECT_DOUBLE_EQ(surface.top(), 2100);

    fillChannel(7, 1300, 0);
    view.refreshAfterStart(surface, block(), 50);
    EXPECT_EQ(view.zoomLevel, 2);
    EXPECT_EQ(view.zoomReference[7], 1300);
}

} // namespace
} // namespace trv
