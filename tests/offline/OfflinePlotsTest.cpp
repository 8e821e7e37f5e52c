// Group activity from counts.bin, the bar plot and its paging, the heat map,
// and the raw signal pages with the channel signal view.
#include "offline/OfflinePlots.h"

#include "common/Numeric.h"
#include "display/RecordingSurface.h"
#include "reports/AcquisitionFixture.h"
#include "reports/RawAcquisition.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

using Kind = RecordingSurface::Kind;

CountsRecord record(int32_t minutes, int16_t eachChannel) {
    CountsRecord r;
    r.minutes = minutes;
    r.counts.fill(eachChannel);
    return r;
}

// Group 0: channels 0 and 1; group 1: channel 2; group 5 has no channel;
// every other channel is free.
ChannelTables smallGroups() {
    ChannelTables t;
    t.Channel_Group.fill(-1);
    t.Channel_Group[0] = t.Channel_Group[1] = 0;
    t.Channel_Group[2] = 1;
    return t;
}

TEST(GroupActivity, BinsCloseAtTheirLastMinute) {
    struct Case {
        const char* what;
        std::vector<int32_t> minutes;
        double binSize;
        int bins;
        std::vector<double> perBin; // group 0, bins 1..N (one count per record and channel)
    };
    std::vector<int32_t> perMinute, twicePerMinute;
    for (int t = 0; t <= 59; ++t) {
        perMinute.push_back(t);
        twicePerMinute.insert(twicePerMinute.end(), {t, t});
    }
    const std::vector<Case> cases = {
        {"one record a minute", perMinute, 30, 3, {30, 30, 0}},
        // The first record of minute 29 ends bin 1; the second of minute 59
        // falls into bin 3.
        {"two records a minute", twicePerMinute, 30, 3, {59, 60, 1}},
        // The first record at the last minute closes bin 1; the second would
        // be bin 2, beyond N = 1.
        {"two records at minute 0", {0, 0}, 5, 1, {1}},
    };
    for (const Case& c : cases) {
        std::vector<CountsRecord> records;
        for (int32_t m : c.minutes)
            records.push_back(record(m, 1));
        GroupActivity a;
        groupActivity(records, smallGroups(), true, c.binSize, a);
        ASSERT_EQ(a.binCount, c.bins) << c.what;
        for (int b = 1; b <= c.bins; ++b)
            EXPECT_EQ(a.at(0, b), c.perBin[static_cast<size_t>(b - 1)]) << c.what << " bin " << b;
    }
}

TEST(GroupActivity, MeansPerChannelFreeSumAndResult) {
    std::vector<CountsRecord> records = {record(0, 0), record(1, 0)};
    records[0].counts[0] = 3; // group 0: (3 + 0 + 4 + 0) / 2 channels = 3.5
    records[1].counts[0] = 4;
    records[1].counts[2] = 5;  // group 1: one channel, 5
    records[0].counts[10] = 7; // free channels: the sum
    records[1].counts[11] = 8;
    GroupActivity a;
    // The result is the largest unrounded mean (5) whatever the free sum (15).
    EXPECT_EQ(groupActivity(records, smallGroups(), false, 0, a), 5);
    EXPECT_EQ(a.binCount, 1);
    EXPECT_EQ(a.at(0, 1), 4); // 3.5 to even
    EXPECT_EQ(a.at(1, 1), 5);
    EXPECT_EQ(a.at(5, 1), 0);
    EXPECT_EQ(a.at(kFreeGroup, 1), 15);
    // A damaged time cannot make the binned load allocate without bound.
    records[1].minutes = 2'000'000'000;
    groupActivity(records, smallGroups(), true, 5, a);
    EXPECT_LE(a.binCount, 8192);
}

class OfflineViewTest : public ::testing::Test {
  protected:
    OfflineViewTest() {
        acq = fx.acquisition("20240315_0930", "Run");
        loadOfflineConfiguration(acq, fx.program, config, prompter);
        plots.acquisitionChosen(config);
    }
    OfflineSource source() { return OfflineSource{acq, config, {"+ p", "  > a", "\r\n\tX"}}; }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& t : surface.texts())
            out.push_back(t.text);
        return out;
    }

    test::AcquisitionFixture fx;
    test::FakePrompter prompter;
    std::string acq;
    OfflineConfiguration config;
    OfflinePlots plots;
    RecordingSurface surface{800, 500};
};

TEST_F(OfflineViewTest, BarsPageToShowTheChosenEntry) {
    test::AcquisitionFixture::writeCounts(
        acq, {0}, [](int, int) { return 0; }, [](int) { return 0; });
    plots.plotGroups.clear();
    for (int i = 0; i < 25; ++i)
        plots.plotGroups.push_back(zeroPadded(i, 3) + "_Group" + std::to_string(i));
    ASSERT_TRUE(plots.plotGroupChosen(19, surface, source(), prompter));
    EXPECT_EQ(plots.firstBar, 10);
    std::vector<std::string> labels;
    for (const auto& t : surface.texts())
        if (t.y1 == -2) labels.push_back(t.text);
    ASSERT_EQ(labels.size(), 10u);
    EXPECT_EQ(labels.front(), "010_Group1");
    EXPECT_EQ(labels.back(), "019_Group1");
    // Only the chosen entry's bar is the darker grey, and it is the last.
    std::vector<double> darker;
    for (const auto& b : surface.filledBoxes())
        if (b.colour == rgb(200, 200, 200)) darker.push_back(b.x1);
    EXPECT_EQ(darker, std::vector<double>{102});
    // All activity zero: the scale still reaches 50.
    EXPECT_EQ(surface.top(), 60);
    EXPECT_TRUE(surface.hasText("50"));
    EXPECT_TRUE(surface.hasText(kBarPlotCaption));

    plots.plotGroupChosen(3, surface, source(), prompter);
    EXPECT_EQ(plots.firstBar, 0);
}

TEST_F(OfflineViewTest, MissingActivityAndQuietPlate) {
    plots.showGroupActivity(surface, source(), prompter);
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{"Activity file not Found"});
    EXPECT_TRUE(surface.hasText("50"));

    // A quiet plate: every well white under the divisor 255.
    test::AcquisitionFixture::writeCounts(
        acq, {0, 1}, [](int, int) { return 0; }, [](int) { return 0; });
    surface.forget();
    plots.showHeatmap(surface, source(), prompter);
    int cells = 0;
    for (const auto& b : surface.filledBoxes()) {
        EXPECT_EQ(b.colour, colour::White);
        ++cells;
    }
    EXPECT_EQ(cells, 6);
    // Group labels of wells whose beam-0 channel is grouped: A1, B1 (group 0),
    // A2, B2 (group 1); A3 is free and B3 has no beam 0.
    int g0 = 0, g1 = 0;
    for (const auto& t : surface.texts()) {
        g0 += t.text == "G0";
        g1 += t.text == "G1";
    }
    EXPECT_EQ(g0, 2);
    EXPECT_EQ(g1, 2);
}

TEST(RawPageLayout, EveryStoredBlockIsOnOnePage) {
    struct Case {
        int files, pages;
    };
    for (Case c : {Case{0, 0}, {1, 1}, {2, 1}, {5, 1}, {6, 2}, {7, 2}, {10, 2}, {11, 3}})
        EXPECT_EQ(RawPageLayout(c.files).pageCount(), c.pages) << c.files << " files";
    RawPageLayout layout(12);
    for (int page = 1; page <= 3; ++page) {
        for (int b = 0; b < RawPageLayout::kBlocksPerPage; ++b) {
            RawBlockPlace at = layout.place(page, b);
            EXPECT_EQ(at.countsRecord, 55LL * (page - 1) + b);
            EXPECT_EQ(11LL * at.file + at.recordInFile, at.countsRecord);
            EXPECT_EQ(at.file, 5 * (page - 1) + RawPageLayout::fileSlot(b));
        }
    }
}

// Raw files of small blocks (8 samples) whose samples carry their block's
// counts record number, so a test sees which block landed where.
void writeRawFiles(const std::string& folder, int blocks, int rtBuffer) {
    for (int rec = 0; rec < blocks; ++rec) {
        SignalBlock b(rtBuffer + 1);
        for (int ch = 0; ch < SignalBlock::kBeams; ++ch)
            for (int s = 0; s < rtBuffer; ++s)
                b.at(ch, s) = static_cast<int16_t>(rec * 10 + (s % 10));
        AppendRawBlock(folder, rec / 11, b);
    }
}

TEST_F(OfflineViewTest, RawPagesLoadEveryBlockOfTheirFiles) {
    writeRawFiles(acq, 7 * 11 + 3, 8); // files 0..7, the last one of 3 blocks
    // Histogram files, counts.bin and other names are not raw files.
    for (const char* other : {"histo0000.bin", "histo0001.bin", "counts.bin", "08.bin", "x.bin"})
        writeFileAtomic(joinPath(acq, other), "");
    RawPageLayout layout = RawPageLayout::ofFolder(acq);
    EXPECT_EQ(layout.rawFiles(), 8);
    ASSERT_EQ(layout.pageCount(), 2);

    RawPage p1 = loadRawPage(acq, layout, 1, 8);
    for (int b = 0; b < 55; ++b) {
        ASSERT_TRUE(p1.has(b));
        EXPECT_EQ(p1.sample(b, 7, 3), b * 10 + 3) << b; // the 11th block of each file too
    }
    EXPECT_EQ(p1.sample(0, 7, 8), p1.sample(0, 7, 7)); // the unsampled last row repeats
    RawPage p2 = loadRawPage(acq, layout, 2, 8);
    EXPECT_EQ(p2.sample(0, 0, 0), 550);
    EXPECT_TRUE(p2.has(24));  // file 7, record 2
    EXPECT_FALSE(p2.has(25)); // past the end
    EXPECT_EQ(loadRawPage(acq, layout, 3, 8).page, 0);
}

TEST_F(OfflineViewTest, ChannelSignalDrawsTheWellsBeamsOnlyWhereBlocksExist) {
    // No raw files: the panels switch, nothing is drawn.
    plots.showChannelSignal(surface, source());
    EXPECT_EQ(plots.signalCaption, "[Channel Signal]");
    EXPECT_TRUE(plots.panels.wellList);
    EXPECT_FALSE(plots.panels.plotGroupList);
    EXPECT_FALSE(plots.panels.pageControls);
    EXPECT_TRUE(surface.primitives().empty());

    config.setup.RT_Buffer = 8;
    writeRawFiles(acq, 13, 8); // 1.bin holds two blocks
    plots.showChannelSignal(surface, source());
    EXPECT_EQ(plots.pageBoxText, "1/1");
    EXPECT_TRUE(plots.panels.pageControls);
    // Well A1 has beams 0 (channel 0, red) and 1 (channel 16, blue): 13
    // blocks of 8 segments each; a grey separator before each of 55 blocks.
    int red = 0, blue = 0, grey = 0;
    for (const auto& l : surface.ofKind(Kind::Line)) {
        red += l.colour == colour::Red;
        blue += l.colour == colour::Blue;
        grey += l.colour == rgb(200, 200, 200);
    }
    EXPECT_EQ(red, 13 * 8);
    EXPECT_EQ(blue, 13 * 8);
    EXPECT_EQ(grey, 55);
    EXPECT_TRUE(surface.hasText("k0"));
    EXPECT_TRUE(surface.hasText("k0.44")); // 55 blocks of 8 samples

    // The well list of group 1 and a pick of B2 (channel 3, one beam).
    plots.groupPicked("001_Dose", config);
    ASSERT_EQ(plots.picker.members.size(), 4u);
    EXPECT_EQ(plots.picker.members[3].label, "B3.1");
    ASSERT_TRUE(plots.wellPicked(1, surface, source(), prompter)); // B2.0
    EXPECT_EQ(plots.pickedChannel(), 3);
    EXPECT_EQ(plots.picker.beamText, "0");
    // A row outside the plate puts the pickers back to A and 1.
    plots.rowPicked("H", surface, source());
    EXPECT_EQ(plots.picker.rowLetter, "A");
    EXPECT_EQ(plots.picker.column, 1);
    EXPECT_EQ(plots.pickedChannel(), 0);
    // Paging is refused outside the channel signal view.
    plots.showBarPlot(surface, source(), prompter);
    EXPECT_FALSE(plots.scrollPage(1, surface, source()));
}

TEST(Heatmap, ShowsEveryWellOfAPlateReachingPastTheUsualView) {
    test::AcquisitionFixture fx;
    test::copyShippedPlates(fx.program);
    const std::string acq = fx.acquisition("20240315_0930", "Run", ChannelTables{}, "w6");
    test::AcquisitionFixture::writeCounts(
        acq, {0}, [](int, int) { return 1; }, [](int) { return 0; });
    test::FakePrompter prompter;
    OfflineConfiguration config;
    loadOfflineConfiguration(acq, fx.program, config, prompter);
    ASSERT_TRUE(config.loaded());
    OfflinePlots plots;
    plots.acquisitionChosen(config);
    RecordingSurface surface(800, 500);
    plots.showHeatmap(surface, OfflineSource{acq, config, {}}, prompter);
    const auto wells = surface.ofKind(RecordingSurface::Kind::Box);
    ASSERT_EQ(wells.size(), 6u);
    for (const auto& b : wells) {
        EXPECT_LE(std::max(b.x1, b.x2), surface.right());
        EXPECT_LE(std::max(b.y1, b.y2), surface.bottom());
    }
}

} // namespace
} // namespace trv
