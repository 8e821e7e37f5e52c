#include "display/LiveDisplay.h"
#include "display/RecordingSurface.h"
#include "support/PlateLayouts.h"

#include <gtest/gtest.h>

#include <vector>

namespace trv {
namespace {

using Kind = RecordingSurface::Kind;

TEST(LiveDisplay, GroupPickerAndChannelPickersKeepBothViewsInStep) {
    ChannelTables channels;
    channels.Channel_Group.fill(-1);
    PlateLayout plate = test::w96fPlate();
    // Group 2: wells 0 and 1 (channels 0, 16, 2, 18); group 6: well 10 (36, 52).
    for (int c : {0, 16, 2, 18}) channels.Channel_Group[static_cast<size_t>(c)] = 2;
    for (int c : {36, 52}) channels.Channel_Group[static_cast<size_t>(c)] = 6;
    channels.Group_Name[2] = "Control";
    std::vector<int16_t> totals(kSlots, 10);
    std::vector<int16_t> raw(kSlots * 501, 1000), filtered(kSlots * 501, 900);
    LivePlotData data{.channels = channels, .plate = plate, .totals = totals};
    BlockArrays block = BlockArrays::channelMajor(raw, filtered, 500);
    RecordingSurface picact, picreal;
    LiveDisplayContext ctx{picact, picreal, data, block, 120};
    LiveDisplay live;
    live.signal.selectedChannel = 200;

    live.groupChosen("002_Control", ctx);
    EXPECT_EQ(live.plots.plotMode, plotmode::Group);
    EXPECT_FALSE(live.plots.pageButtonsVisible);
    EXPECT_EQ(live.signal.members.size(), 4u);
    EXPECT_EQ(live.signal.selectedChannel, 0);
    EXPECT_EQ(live.plots.memberWells, (std::vector<int16_t>{0, 1}));
    EXPECT_TRUE(picact.hasText("G2_Control"));
    EXPECT_FALSE(picreal.ofKind(Kind::Clear).empty()); // the signal view was redrawn

    // Picking a well of another group moves the group view's wells with it;
    // leaving the beam box selects without redrawing the signal.
    picreal.forget();
    live.signal.column = 2;
    live.rowChosen("C", ctx);
    EXPECT_EQ(live.signal.selectedChannel, 36);
    EXPECT_EQ(live.plots.memberWells, (std::vector<int16_t>{10}));
    EXPECT_FALSE(picreal.ofKind(Kind::Clear).empty());
    picreal.forget();
    live.beamBoxLeft("1", ctx);
    EXPECT_EQ(live.signal.selectedChannel, 52);
    EXPECT_TRUE(picreal.primitives().empty());

    // A channel in no well leaves the wells as they are (well 20's channel
    // is free).
    live.signal.column = 3;
    live.rowChosen("E", ctx);
    EXPECT_EQ(live.plots.memberWells, (std::vector<int16_t>{10}));

    live.plots.plotScale = 4;
    live.signal.selectedChannel = 2;
    live.acquisitionStarted(ctx);
    EXPECT_DOUBLE_EQ(live.plots.plotScale, 1);
    EXPECT_EQ(live.plots.memberWells, (std::vector<int16_t>{0, 1}));
    EXPECT_DOUBLE_EQ(picreal.top(), 2098);
}

} // namespace
} // namespace trv
