#include "display/LivePlots.h"
#include "display/RecordingSurface.h"
#include "support/PlateLayouts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace trv {
namespace {

using Kind = RecordingSurface::Kind;
using Prim = RecordingSurface::Primitive;
constexpr Rgb kGrey200 = rgb(200, 200, 200);

class LivePlotsTest : public ::testing::Test {
protected:
    LivePlotsTest() {
        channels.Channel_Group.fill(-1);
        plate = test::w384Plate();
    }

    LivePlotData data() {
        return LivePlotData{.channels = channels,
                            .plate = plate,
                            .totals = totals,
                            .bodyBendsHistogram = hist,
                            .histogramStride = kBodyBendsBins,
                            .deltaT = deltaT};
    }

    // Channel g in group g, for groups 0..k-1.
    void oneChannelGroups(int k) {
        for (int g = 0; g < k; ++g) channels.Channel_Group[static_cast<size_t>(g)] = static_cast<int16_t>(g);
    }

    std::vector<Prim> greyBars() const {
        std::vector<Prim> out;
        for (const auto& p : surface.filledBoxes())
            if (p.colour == kGrey200) out.push_back(p);
        return out;
    }

    const Prim* textAt(const std::string& s) const {
        for (const auto& p : surface.primitives())
            if (p.kind == Kind::Text && p.text == s) return &p;
        return nullptr;
    }

    ChannelTables channels;
    PlateLayout plate;
    std::vector<int16_t> totals = std::vector<int16_t>(kSlots, 0);
    std::vector<int32_t> hist = std::vector<int32_t>(kSlots * kBodyBendsBins, 0);
    double deltaT = 0.3;
    RecordingSurface surface;
    LivePlots plots;
};

TEST_F(LivePlotsTest, BarSlotsAreFiftyUnitsUpToFiveGroupsThenShareThreeHundred) {
    oneChannelGroups(5);
    plots.showBarPlot(surface, data());
    auto bars = greyBars();
    ASSERT_EQ(bars.size(), 5u);
    // w = 50, offset round(17.5) = 18 (halves to even)
    for (int j = 0; j < 5; ++j) {
        EXPECT_DOUBLE_EQ(bars[static_cast<size_t>(j)].x1, 18 + 50.0 * j + 5);
        EXPECT_DOUBLE_EQ(bars[static_cast<size_t>(j)].x2, 18 + 50.0 * j + 45);
    }
    const Prim* label = textAt("G4_Group4");
    ASSERT_NE(label, nullptr);
    EXPECT_DOUBLE_EQ(label->x1, 18 + 200 + 5);
    EXPECT_DOUBLE_EQ(label->y1, -10);

    oneChannelGroups(6);
    surface.forget();
    plots.showBarPlot(surface, data());
    bars = greyBars();
    ASSERT_EQ(bars.size(), 6u);
    double w = 300.0 / 7;
    for (int j = 0; j < 6; ++j) {
        EXPECT_NEAR(bars[static_cast<size_t>(j)].x1, 15 + w * j + 0.1 * w, 1e-9);
        EXPECT_NEAR(bars[static_cast<size_t>(j)].x2 - bars[static_cast<size_t>(j)].x1, 0.8 * w, 1e-9);
    }
    EXPECT_FALSE(plots.pageButtonsVisible);
    EXPECT_EQ(plots.plotPageCount, 1);
}

TEST_F(LivePlotsTest, ThirteenGroupsMakeTwoPagesWithTheSameSlots) {
    oneChannelGroups(13);
    channels.Group_Name[12] = "Last";
    plots.showBarPlot(surface, data());
    EXPECT_EQ(plots.plotPageCount, 2);
    EXPECT_TRUE(plots.pageButtonsVisible);
    double w = 300.0 / 13;
    auto bars = greyBars();
    ASSERT_EQ(bars.size(), 12u);
    EXPECT_NEAR(bars[11].x1, 8 + 11 * w + 0.1 * w, 1e-9);
    EXPECT_FALSE(surface.hasText("G12_Last"));

    EXPECT_FALSE(plots.pageDown(surface, data())); // already on page 0

    size_t mark = surface.primitives().size();
    ASSERT_TRUE(plots.pageUp(surface, data()));
    EXPECT_EQ(plots.plotPage, 1);
    bars.clear();
    for (size_t i = mark; i < surface.primitives().size(); ++i)
        if (surface.primitives()[i].kind == Kind::FilledBox && surface.primitives()[i].colour == kGrey200)
            bars.push_back(surface.primitives()[i]);
    ASSERT_EQ(bars.size(), 1u);
    EXPECT_NEAR(bars[0].x1, 8 + 0.1 * w, 1e-9);
    EXPECT_NEAR(bars[0].x2, 8 + 0.9 * w, 1e-9);
    EXPECT_TRUE(surface.hasText("G12_Last"));
    // The second slot of page 0 does not linger on the last page.
    EXPECT_EQ(surface.fillAt(8 + 1.5 * w, 100), colour::White);

    surface.forget();
    EXPECT_FALSE(plots.pageUp(surface, data())); // ">" on the last page
    EXPECT_EQ(plots.plotPage, 1);
    EXPECT_TRUE(surface.primitives().empty());

    // "Bar Plot" starts again from page 0.
    plots.showBarPlot(surface, data());
    EXPECT_EQ(plots.plotPage, 0);
}

TEST_F(LivePlotsTest, TallBarIsClippedAndRaisesTheScaleForTheNextRedraw) {
    channels.Channel_Group[0] = channels.Channel_Group[1] = 0;
    totals[0] = 290;
    totals[1] = 310; // average 300
    plots.showBarPlot(surface, data());

    auto boxes = surface.ofKind(Kind::Box);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_DOUBLE_EQ(boxes[0].y1, 1);
    EXPECT_DOUBLE_EQ(boxes[0].y2, 255);
    EXPECT_EQ(boxes[0].penWidth, 3);
    auto bars = greyBars();
    ASSERT_EQ(bars.size(), 1u);
    EXPECT_DOUBLE_EQ(bars[0].y1, 2);
    EXPECT_DOUBLE_EQ(bars[0].y2, 257);
    EXPECT_EQ(bars[0].penWidth, 1);
    const Prim* value = textAt("300");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->colour, rgb(125, 125, 125));
    EXPECT_DOUBLE_EQ(value->y1, 37);
    EXPECT_EQ(surface.foreColor(), colour::Black);
    EXPECT_TRUE(surface.hasText("250")); // the axis of this drawing was still at scale 1
    EXPECT_DOUBLE_EQ(plots.plotScale, 1.5);

    surface.forget();
    plots.refreshActivePlot(surface, data());
    boxes = surface.ofKind(Kind::Box);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_DOUBLE_EQ(boxes[0].y2, 200);
    EXPECT_TRUE(surface.hasText("375"));
    EXPECT_TRUE(surface.hasText("188")); // 187.5 to the even neighbour
    EXPECT_DOUBLE_EQ(plots.plotScale, 1.5);

    // 250 counts per unit exactly is not above the limit.
    plots.resetScale();
    totals[0] = totals[1] = 250;
    plots.refreshActivePlot(surface, data());
    EXPECT_DOUBLE_EQ(plots.plotScale, 1.0);
}

TEST_F(LivePlotsTest, GroupAveragesRoundHalvesToEvenAndSkipFreeChannels) {
    channels.Channel_Group[0] = channels.Channel_Group[1] = 0;
    channels.Channel_Group[2] = channels.Channel_Group[3] = 7;
    totals[0] = 1;
    totals[1] = 2; // 1.5 -> 2
    totals[2] = 2;
    totals[3] = 3; // 2.5 -> 2
    totals[4] = 9999; // free
    plots.showBarPlot(surface, data());
    std::vector<std::string> values;
    for (const auto& t : surface.texts())
        if (t.colour == rgb(125, 125, 125)) values.push_back(t.text);
    EXPECT_EQ(values, (std::vector<std::string>{"2", "2"}));
    EXPECT_TRUE(surface.hasText("G7_Group7"));
    EXPECT_EQ(greyBars().size(), 2u);
}

TEST_F(LivePlotsTest, GroupViewWellSlotsShrinkWithTheNumberOfWellsUpToTwentyFive) {
    for (int c = 0; c < 30; ++c) channels.Channel_Group[static_cast<size_t>(c)] = 4;
    plots.chooseGroup(4, channels, plate);
    ASSERT_EQ(plots.memberWells.size(), 30u);
    plots.showGroupView(surface, data());
    EXPECT_EQ(plots.plotMode, plotmode::Group);
    // round(260 / 30) = 9
    const Prim* first = textAt("A1");
    const Prim* last = textAt("N2"); // well 29: row 13, column 2
    ASSERT_NE(first, nullptr);
    ASSERT_NE(last, nullptr);
    EXPECT_NEAR(first->x1, 40 + 0.9, 1e-9);
    EXPECT_NEAR(last->x1, 40 + 9 * 29 + 0.9, 1e-9);

    channels.Channel_Group.fill(-1);
    for (int c = 0; c < 8; ++c) channels.Channel_Group[static_cast<size_t>(c)] = 4;
    plots.rebuildMemberWells(4, channels, plate);
    surface.forget();
    plots.refreshActivePlot(surface, data()); // drawn over the 30 wells, no clear
    // round(260 / 8) = 32, capped at 25
    const Prim* h1 = textAt("H1");
    ASSERT_NE(h1, nullptr);
    EXPECT_NEAR(h1->x1, 40 + 25 * 7 + 2.5, 1e-9);
    // The frame of the 26th well shown before (x 265.9..272.1) is erased.
    bool erased = false;
    for (const auto& f : surface.filledBoxes())
        erased |= f.colour == colour::White && f.x1 <= 266 && f.x2 >= 272 &&
                  std::min(f.y1, f.y2) <= 2 && std::max(f.y1, f.y2) >= 255;
    EXPECT_TRUE(erased);
}

TEST_F(LivePlotsTest, GroupViewWithOneChannelPerWellShowsEachValueUnchanged) {
    for (int c = 0; c < 3; ++c) channels.Channel_Group[static_cast<size_t>(c)] = 2;
    channels.Group_Name[2] = "Treated";
    totals[0] = 7;
    totals[1] = 13;
    totals[2] = 400; // taller than the view: clipped at 255
    plots.chooseGroup(2, channels, plate);
    plots.showGroupView(surface, data());

    std::vector<double> heights;
    for (const auto& b : surface.ofKind(Kind::Box))
        if (b.x1 > 40) heights.push_back(b.y2);
    EXPECT_EQ(heights, (std::vector<double>{7, 13, 255}));
    // Hollow frames: a white fill over each well's frame.
    EXPECT_EQ(surface.fillAt(40 + 25 * 2 + 12, 100), colour::White);
    // Group bar: round(420 / 3) = 140, grey, its value in grey 128.
    EXPECT_EQ(surface.fillAt(20, 100), kGrey200);
    EXPECT_EQ(surface.fillAt(20, 150), colour::White);
    const Prim* v = textAt("140");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->colour, rgb(128, 128, 128));
    EXPECT_TRUE(surface.hasText("G2_Treated"));
    EXPECT_DOUBLE_EQ(plots.plotScale, 1.0);
}

TEST_F(LivePlotsTest, GroupViewAveragesTheBeamsOfEachWellAndRaisesTheScale) {
    plate = test::w96fPlate();
    // Wells 0 (channels 0, 16) and 1 (channels 2, 18).
    for (int c : {0, 16, 2, 18}) channels.Channel_Group[static_cast<size_t>(c)] = 5;
    totals[0] = 3;
    totals[16] = 4; // 3.5 -> 4
    totals[2] = 1;
    totals[18] = 2; // 1.5 -> 2
    plots.chooseGroup(5, channels, plate);
    EXPECT_EQ(plots.memberWells, (std::vector<int16_t>{0, 1}));
    plots.showGroupView(surface, data());
    std::vector<double> heights;
    for (const auto& b : surface.ofKind(Kind::Box))
        if (b.x1 > 40) heights.push_back(b.y2);
    EXPECT_EQ(heights, (std::vector<double>{4, 2}));
    EXPECT_TRUE(surface.hasText("2")); // group: round(10 / 4) = 2
    EXPECT_TRUE(surface.hasText("B1"));

    // A group value of 600 needs 2.5 counts per unit to stay within 255.
    totals[0] = totals[16] = totals[2] = totals[18] = 600;
    plots.plotScale = 0; // never used as a divisor
    plots.refreshActivePlot(surface, data());
    EXPECT_DOUBLE_EQ(plots.plotScale, 2.5);
    EXPECT_DOUBLE_EQ(surface.ofKind(Kind::Box).back().y2, 240);
}

TEST_F(LivePlotsTest, MemberWellsFollowTheSelectedChannelUnlessItIsFree) {
    for (int c = 0; c < 4; ++c) channels.Channel_Group[static_cast<size_t>(c)] = 1;
    for (int c = 10; c < 12; ++c) channels.Channel_Group[static_cast<size_t>(c)] = 3;
    plots.selectedChannelChanged(10, channels, plate);
    EXPECT_EQ(plots.memberWells, (std::vector<int16_t>{10, 11}));
    plots.selectedChannelChanged(200, channels, plate); // free
    EXPECT_EQ(plots.memberWells, (std::vector<int16_t>{10, 11}));
    plots.selectedChannelChanged(2, channels, plate);
    EXPECT_EQ(plots.memberWells.size(), 4u);

    // A group without wells shows an empty view without dividing by zero.
    plots.chooseGroup(9, channels, plate);
    EXPECT_TRUE(plots.memberWells.empty());
    plots.showGroupView(surface, data());
    EXPECT_TRUE(surface.hasText("0"));
}

TEST_F(LivePlotsTest, QuietPlateStaysWhiteAndTheBusiestWellIsBlack) {
    plots.showHeatmap(surface, data());
    EXPECT_FALSE(plots.pageButtonsVisible);
    EXPECT_DOUBLE_EQ(surface.left(), -150);
    EXPECT_DOUBLE_EQ(surface.top(), -200);
    EXPECT_DOUBLE_EQ(surface.right(), 2410);
    EXPECT_DOUBLE_EQ(surface.bottom(), 1610);
    int cells = 0;
    for (const auto& f : surface.filledBoxes()) {
        EXPECT_EQ(f.colour, colour::White);
        ++cells;
    }
    EXPECT_EQ(cells, 384);
    EXPECT_EQ(surface.ofKind(Kind::Box).size(), 2u * 384u);
    EXPECT_TRUE(surface.hasText("24"));
    EXPECT_TRUE(surface.hasText("P"));

    // A single well of 100 counts: divided by 255, not by its own 100.
    totals[5] = 100;
    surface.forget();
    plots.refreshActivePlot(surface, data());
    EXPECT_EQ(surface.fillAt(50, 550), rgb(155, 155, 155));
    EXPECT_TRUE(surface.texts().empty()); // the refresh redraws outlines and cells only

    totals[0] = 510;
    totals[17] = 255; // row 1, column 1: 127.5 -> 128
    plots.refreshActivePlot(surface, data());
    EXPECT_EQ(surface.fillAt(50, 50), colour::Black);
    EXPECT_EQ(surface.fillAt(150, 150), rgb(127, 127, 127));
    EXPECT_EQ(surface.fillAt(50, 550), rgb(205, 205, 205));
    // Cells are inset by a tenth of the pitch: the grid lines stay visible.
    EXPECT_EQ(surface.fillAt(5, 50), colour::White);
}

TEST_F(LivePlotsTest, HeatMapUsesThePlateGeometryInHundredths) {
    plate = test::w96fPlate();
    totals[0] = 300;
    plots.showHeatmap(surface, data());
    EXPECT_DOUBLE_EQ(surface.left(), -150);
    EXPECT_DOUBLE_EQ(surface.top(), -250);
    auto fills = surface.filledBoxes();
    ASSERT_EQ(fills.size(), 96u);
    EXPECT_DOUBLE_EQ(fills[0].x1, 20);
    EXPECT_DOUBLE_EQ(fills[0].y1, -30);
    EXPECT_DOUBLE_EQ(fills[0].x2, 180);
    EXPECT_DOUBLE_EQ(fills[0].y2, 130);
    EXPECT_EQ(fills[0].colour, colour::Black);
    const Prim* col12 = textAt("12");
    ASSERT_NE(col12, nullptr);
    EXPECT_DOUBLE_EQ(col12->x1, 100 * (11.25 * 2));
    EXPECT_DOUBLE_EQ(col12->y1, -150);
    const Prim* rowB = textAt("B");
    ASSERT_NE(rowB, nullptr);
    EXPECT_DOUBLE_EQ(rowB->x1, -50);
    EXPECT_DOUBLE_EQ(rowB->y1, 100 * (-0.5 + 1.25 * 2));
}

TEST_F(LivePlotsTest, HistogramShowsOneGroupPerPageScaledToItsTallestBin) {
    channels.Channel_Group[10] = channels.Channel_Group[11] = 2;
    channels.Group_Name[2] = "Worms";
    hist[10 * kBodyBendsBins + 0] = 10;
    hist[11 * kBodyBendsBins + 0] = 20; // 15
    hist[10 * kBodyBendsBins + 3] = 5;  // 2.5 -> 2
    hist[11 * kBodyBendsBins + 30] = 999; // beyond the plotted bins
    plots.plotPage = 2;
    plots.decimalMark = ",";
    plots.showHistogram(surface, data());
    EXPECT_TRUE(plots.pageButtonsVisible);
    EXPECT_EQ(plots.plotPageCount, 96);
    EXPECT_NEAR(plots.plotScale, 1.2 * 15 / 250, 1e-12);
    auto bars = greyBars();
    ASSERT_EQ(bars.size(), 26u);
    EXPECT_DOUBLE_EQ(bars[0].x1, 5);
    EXPECT_NEAR(bars[0].y2, 15 / plots.plotScale, 1e-9); // about 208 units
    EXPECT_DOUBLE_EQ(bars[25].x1, 4 + 250 + 1);
    const Prim* t = textAt("0,3");
    ASSERT_NE(t, nullptr);
    EXPECT_DOUBLE_EQ(t->x1, 5);
    EXPECT_TRUE(surface.hasText("1,2")); // (3 + 1) x 0.3
    EXPECT_TRUE(surface.hasText("7,8")); // bin 25
    const Prim* caption = textAt("G2_Worms");
    ASSERT_NE(caption, nullptr);
    EXPECT_DOUBLE_EQ(caption->x1, 260);
    EXPECT_TRUE(surface.hasText("2"));

    // A group without channels is scaled as if its tallest bin were 100;
    // one with channels but no intervals at 1 count per unit.
    ASSERT_TRUE(plots.pageUp(surface, data()));
    EXPECT_NEAR(plots.plotScale, 1.2 * 100 / 250, 1e-12);
    channels.Channel_Group[20] = 4;
    ASSERT_TRUE(plots.pageUp(surface, data()));
    EXPECT_DOUBLE_EQ(plots.plotScale, 1.0);

    plots.plotPage = 95;
    EXPECT_FALSE(plots.pageUp(surface, data()));
    // "Bar Plot" leaves the histogram pages behind.
    plots.showBarPlot(surface, data());
    EXPECT_EQ(plots.plotPage, 0);
    EXPECT_FALSE(plots.pageButtonsVisible);
}

TEST_F(LivePlotsTest, LabelsTooWideForTheirSlotsAreStaggeredOrThinned) {
    auto yOf = [](const RecordingSurface& rs, const std::string& text) {
        for (const auto& p : rs.texts())
            if (p.text == text) return p.y1;
        return 999.0;
    };
    // Histogram interval labels: one line at -10 where they fit (a large
    // surface), two staggered lines where they do not.
    channels.Channel_Group[0] = 0;
    RecordingSurface large(2400, 1600);
    plots.plotPage = 0;
    plots.showHistogram(large, data());
    EXPECT_DOUBLE_EQ(yOf(large, "0.3"), -10);
    EXPECT_DOUBLE_EQ(yOf(large, "0.6"), -10);
    plots.showHistogram(surface, data());
    double line = surface.textHeight();
    EXPECT_DOUBLE_EQ(yOf(surface, "0.3"), -3);
    EXPECT_DOUBLE_EQ(yOf(surface, "0.6"), -4 - line);
    EXPECT_DOUBLE_EQ(yOf(surface, "0.9"), -3);
    EXPECT_GT(-4 - 2 * line, -30); // both lines stay inside the plot
    // Too low for two lines: every other interval on one line.
    RecordingSurface low(600, 260);
    plots.showHistogram(low, data());
    EXPECT_DOUBLE_EQ(yOf(low, "0.3"), -10);
    EXPECT_FALSE(low.hasText("0.6"));
    EXPECT_DOUBLE_EQ(yOf(low, "0.9"), -10);

    // Bar captions: 13 groups' captions alternate lines, every one written.
    oneChannelGroups(13);
    surface.forget();
    plots.showBarPlot(surface, data());
    EXPECT_DOUBLE_EQ(yOf(surface, "G0_Group0"), -3);
    EXPECT_DOUBLE_EQ(yOf(surface, "G1_Group1"), -4 - line);
    EXPECT_DOUBLE_EQ(yOf(surface, "G11_Group11"), -4 - line);

    // Values wider than their bars alternate heights too.
    for (int c = 0; c < 13; ++c) totals[static_cast<size_t>(c)] = static_cast<int16_t>(10000 + c);
    surface.forget();
    plots.refreshActivePlot(surface, data());
    EXPECT_DOUBLE_EQ(yOf(surface, "10000"), 37);
    EXPECT_DOUBLE_EQ(yOf(surface, "10001"), 37 + line + 2);

    // Well labels of a 96-well group: every other one, on two lines.
    channels.Channel_Group.fill(-1);
    for (int c = 0; c < 96; ++c) channels.Channel_Group[static_cast<size_t>(c)] = 1;
    plots.chooseGroup(1, channels, plate);
    surface.forget();
    plots.showGroupView(surface, data());
    EXPECT_DOUBLE_EQ(yOf(surface, "A1"), -3);
    EXPECT_FALSE(surface.hasText("B1"));
    EXPECT_DOUBLE_EQ(yOf(surface, "C1"), -4 - line);
    EXPECT_TRUE(surface.hasText("O6")); // well 94
    EXPECT_FALSE(surface.hasText("P6"));
}

TEST_F(LivePlotsTest, GroupPickerEntriesNameTheGroupsInUse) {
    channels = ChannelTables{};
    auto entries = groupPickerEntries(channels);
    ASSERT_EQ(entries.size(), 13u);
    EXPECT_EQ(entries.front(), "000_Group0");
    EXPECT_EQ(entries.back(), "012_Free");
    EXPECT_EQ(groupOfPickerEntry("012_Free"), 12);
    EXPECT_EQ(groupOfPickerEntry("7"), 7);
}

} // namespace
} // namespace trv
