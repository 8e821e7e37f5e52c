// "Analyze" over the channel signal view: the threshold rule, the counts per
// raw file with either method, and the block times of page 2.
#include "offline/RawAnalysis.h"

#include "display/RecordingSurface.h"
#include "reports/AcquisitionFixture.h"
#include "reports/RawAcquisition.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

using Kind = RecordingSurface::Kind;

TEST(RawAnalysis, Page2CountsAndTimes) {
    test::AcquisitionFixture fx;
    test::copyShippedPlates(fx.program);
    const std::string acq = fx.acquisition("20240315_0930", "Raw", ChannelTables{}, "w6");
    // Records 0..65 at minutes 100..165; only the first raw file of page 2
    // (5.bin, records 55..65) is stored. Beam 0 of well A1 (channel 0) dips
    // once a block, its beam 4 (channel 16) stays level.
    std::vector<int32_t> minutes;
    for (int i = 0; i < 66; ++i)
        minutes.push_back(100 + i);
    test::AcquisitionFixture::writeCounts(
        acq, minutes, [](int, int) { return 0; }, [](int) { return 250; });
    for (int b = 0; b < 11; ++b) {
        SignalBlock block(501);
        for (int c = 0; c < 384; ++c)
            std::fill(block.row(c), block.row(c) + 501, int16_t{2000});
        std::fill(block.row(0) + 100, block.row(0) + 130, int16_t{1000});
        ASSERT_TRUE(AppendRawBlock(acq, 5, block));
    }
    test::FakePrompter prompter;
    OfflineConfiguration config;
    loadOfflineConfiguration(acq, fx.program, config, prompter);
    ASSERT_TRUE(config.loaded());
    const OfflineSource src{acq, config, {}};
    OfflinePlots plots;
    plots.acquisitionChosen(config);
    ASSERT_EQ(plots.pickedChannel(), 0);
    RecordingSurface surface(1000, 600);
    plots.openChannelSignalView(src);
    ASSERT_TRUE(plots.scrollPage(2, surface, src));

    struct Case {
        const char* threshold;
        int method;
        double used;
        bool replaced;
        int beam0Events; // in the page's first file
    };
    // Method 0 counts once per 30-sample window with a sample below the
    // threshold: the 30-sample dip spans two windows.
    for (const Case& c : {Case{"7", 1, 1.8, true, 11}, Case{"6", 0, 6.0, false, 22},
                          Case{"1.1", 1, 1.1, false, 11}}) {
        surface.forget();
        const RawAnalysisResult r = Dibujar_analisis(surface, plots, src, c.threshold, c.method);
        EXPECT_DOUBLE_EQ(r.threshold, c.used) << c.threshold;
        EXPECT_EQ(r.thresholdReplaced, c.replaced) << c.threshold;
        ASSERT_TRUE(r.analysed);
        ASSERT_EQ(r.channels, std::vector<int>(config.plate().Well_Channel[0].begin(),
                                               config.plate().Well_Channel[0].end()));
        EXPECT_EQ(r.counts[0][0], c.beam0Events) << c.threshold;
        for (size_t k = 1; k < r.channels.size(); ++k)
            EXPECT_EQ(r.counts[k][0], 0) << "beam " << k;
        for (int slot = 1; slot < RawPageLayout::kFilesPerPage; ++slot)
            EXPECT_EQ(r.labelBlock[static_cast<size_t>(slot)], -1);
        // The file is labelled with the time of its last block, record 65.
        EXPECT_EQ(r.labelBlock[0], 10);
        EXPECT_EQ(r.labelTime[0], 165);
        EXPECT_TRUE(surface.hasText("165"));
        EXPECT_TRUE(surface.hasText(std::to_string(c.beam0Events)));
        EXPECT_TRUE(surface.hasText("Time(min)"));
        EXPECT_EQ(plots.viewMode, offlineview::Signal);
        // The page stays as stored for the next analysis.
        EXPECT_EQ(plots.rawPage.sample(0, 0, 100), 1000);
    }

    // A narrow view: "Time(min)" starts after "100%", on the same line.
    for (int width : {300, 1000}) {
        RecordingSurface narrow(width, 400);
        Dibujar_analisis(narrow, plots, src, "1.8", 1);
        double percentEnd = 0, time = 0;
        for (const auto& t : narrow.texts()) {
            if (t.text == "100%") percentEnd = t.x1 + narrow.textWidth(t.text);
            if (t.text == "Time(min)") time = t.x1;
        }
        EXPECT_GT(time, percentEnd) << width;
        EXPECT_GE(time, 100) << width;
    }
}

} // namespace
} // namespace trv
