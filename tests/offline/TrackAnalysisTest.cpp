// Track analysis: positions from the beams with events, distances per block,
// the travel distance table of a hand-made 6-well acquisition, the export
// with several threads and a stop, and playback of the same acquisition.
#include "offline/TrackSession.h"

#include "reports/StoredDetection.h"

#include "acquisition/DataFiles.h"
#include "display/RecordingSurface.h"
#include "offline/SimSixWell.h"
#include "offline/TrackAcquisition.h"
#include "reports/AcquisitionFixture.h"
#include "reports/RawAcquisition.h"
#include "support/Fakes.h"
#include "support/PlateLayouts.h"

#include <gtest/gtest.h>

#include <cmath>

namespace trv {
namespace {

// Marks of `count` channels with events at the given (channel index, sample).
std::vector<std::string> marksWith(size_t count, std::vector<std::pair<size_t, int>> events) {
    std::vector<std::string> m(count, std::string(kTrackSamples, '0'));
    for (auto [k, s] : events)
        m[k][static_cast<size_t>(s)] = '1';
    return m;
}

TEST(TrackAnalysis, PositionsAndDistances) {
    // One well holding every channel: channel index k of the marks is channel k.
    const PlateLayout plate =
        test::makePlate(1, 16, 0, 1, 24, 0, [](int c) { return std::make_pair(0, c); });
    auto ch = [](int column, int row) { return static_cast<size_t>(column * 16 + row); };
    struct Case {
        const char* what;
        std::vector<std::pair<size_t, int>> events; // block 0
        BeamPoint last;
        double beamUnits;
    };
    const std::vector<Case> cases = {
        {"the first position adds nothing", {{ch(2, 2), 10}}, {2, 2}, 0},
        {"two beams give their centroid", {{ch(3, 7), 10}, {ch(5, 7), 10}}, {4, 7}, 0},
        {"one beam column is one step", {{ch(3, 7), 10}, {ch(4, 7), 20}}, {4, 7}, 1},
        {"a path adds its straight pieces",
         {{ch(0, 0), 1}, {ch(3, 4), 2}, {ch(3, 0), 499}},
         {3, 0},
         9},
    };
    for (const Case& c : cases) {
        TrackAnalysis t(plate);
        t.setTimes({0, 1});
        t.setBlockEvents(0, marksWith(t.channels().size(), c.events));
        t.finishBlock();
        EXPECT_EQ(t.history(0)[0], c.last) << c.what;
        EXPECT_DOUBLE_EQ(t.blockDistance(0, 0) * kBeamStepMm, c.beamUnits * 4.5) << c.what;
        // A block without events keeps the position and adds nothing.
        t.setBlockEmpty(1);
        t.finishBlock();
        EXPECT_TRUE(t.finished());
        EXPECT_EQ(t.history(0)[0], c.last) << c.what;
        EXPECT_EQ(t.blockDistance(0, 1), 0.0) << c.what;
        EXPECT_DOUBLE_EQ(t.distance(0), c.beamUnits) << c.what;
    }
}

TEST(TrackAnalysis, ThresholdBox) {
    struct Case {
        const char* text;
        double value;
        bool replaced;
    };
    for (const Case& c : std::vector<Case>{{"7", 1.8, true},
                                           {"1.1", 1.1, false},
                                           {"6", 6.0, false},
                                           {"2,5", 2.5, false},
                                           {"1.09", 1.8, true},
                                           {"", 1.8, true}}) {
        const AnalysisThreshold t = analysisThreshold(c.text);
        EXPECT_DOUBLE_EQ(t.value, c.value) << c.text;
        EXPECT_EQ(t.replaced, c.replaced) << c.text;
    }
}

// The hand-made acquisition of TrackAcquisition.h, tracked in the core.
class TrackFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        acq = test::writeTrackAcquisition(fx);
        loadOfflineConfiguration(acq, fx.program, config, ports.prompter);
        ASSERT_TRUE(config.loaded());
    }

    std::string tableOf(const TrackAnalysis& t) {
        TravelTableHeader h;
        h.separator = ";";
        h.decimalMark = ",";
        h.date = "15/03/2024 09:30:00";
        h.folder = acq;
        return travelDistanceTable(t, config.plate(), config.channels(), h);
    }

    std::string expectedTable() const {
        return "\"DATE:\";\"15/03/2024 09:30:00\"\r\n"
               "\"FILE:\";\"" +
               acq +
               "\"\r\n"
               "\r\n"
               "\"<<<<<< Travel Distance: [milimeter/acq_block] >>>>>>\"\r\n"
               "Group/Time[m];0,0;2,0;4,0;6,0;8,0;10,0;12,0;14,0;16,0;18,0;20,0;22,0;24,0\r\n"
               "\"000_Larvae\";18;0;0;0;0;0;0;0;0;0;0;0;13\r\n"
               "\"001_Control\";0;9;0;0;0;0;0;0;0;0;0;0;0\r\n"
               "\"002_Free\";0;0;0;0;0;0;0;0;0;0;0;0;0\r\n"
               "\"003_Free\";0;0;0;0;0;0;0;0;0;0;0;0;0\r\n"
               "\"004_Free\";0;0;0;0;0;0;0;0;0;0;0;0;0\r\n"
               "\"005_Free\";0;0;0;0;0;0;0;0;0;0;0;0;0\r\n"
               "\r\n";
    }

    test::AcquisitionFixture fx;
    test::FakePorts fake;
    Ports& ports = fake.ports;
    std::string acq;
    OfflineConfiguration config;
};

// Simulated 6-well acquisitions: one animal per well leaves a path of short
// steps (not beams scattered over the well), the same seed gives the same
// distances, another seed others.
TEST(TrackSimulated, PathsArePlausibleAndFollowTheSeed) {
    test::AcquisitionFixture fx;
    test::copyShippedPlates(fx.program);
    for (sim::Organism organism : {sim::Organism::FishLarvae, sim::Organism::Flies}) {
        std::vector<std::vector<double>> runs;
        for (uint32_t seed : {5u, 5u, 6u}) {
            const std::string acq =
                joinPath(fx.project, "run" + std::to_string(runs.size()) +
                                         (organism == sim::Organism::Flies ? "f" : "l"));
            test::writeSimSixWell(acq, {seed, organism, 4, 0});
            test::FakePrompter prompter;
            OfflineConfiguration config;
            loadOfflineConfiguration(acq, fx.program, config, prompter);
            TrackAnalysis t(config.plate());
            ASSERT_TRUE(loadTrackTimes(t, acq));
            StoredDetectionJob job;
            job.folder = acq;
            job.channels = t.channels();
            StoredBlockDetector detector(job);
            std::vector<int> moves(static_cast<size_t>(t.wellCount()), 0);
            std::vector<TrackMove> stepMoves;
            while (!t.finished()) {
                if (t.atBlockStart()) {
                    std::vector<std::string> marks;
                    ASSERT_TRUE(detector.detect(t.currentBlock(), marks));
                    t.setBlockEvents(t.currentBlock(), marks);
                }
                stepMoves.clear();
                t.step(&stepMoves);
                for (const TrackMove& m : stepMoves)
                    ++moves[static_cast<size_t>(m.well)];
            }
            std::vector<double> distances;
            for (int w = 0; w < t.wellCount(); ++w) {
                EXPECT_GT(t.distance(w), 0.0) << "well " << w << " seed " << seed;
                // Mean step between successive positions, in beams.
                const double step = t.distance(w) / std::max(1, moves[static_cast<size_t>(w)] - 1);
                EXPECT_LT(step, 1.6) << "well " << w << " seed " << seed;
                for (int b = 0; b < t.blockCount(); ++b)
                    distances.push_back(t.blockDistance(w, b));
            }
            runs.push_back(distances);
        }
        EXPECT_EQ(runs[0], runs[1]);
        EXPECT_NE(runs[0], runs[2]);
    }
}

TEST_F(TrackFixture, TravelTableOfTheWholeAcquisitionStoppedAndResumed) {
    for (int workers : {1, 2}) {
        TrackAnalysis t(config.plate());
        ASSERT_TRUE(loadTrackTimes(t, acq));
        TrackRunOptions o;
        o.folder = acq;
        o.workers = workers;
        // Stopped after block 4, the analysis stands at block 5 and goes on
        // from there to the same result.
        EXPECT_FALSE(trackToEnd(t, o, [](int block) { return block < 4; }));
        EXPECT_EQ(t.position(), 5 * kTrackSamples);
        EXPECT_TRUE(trackToEnd(t, o));
        EXPECT_EQ(tableOf(t), expectedTable()) << workers << " workers";
    }
}
TEST_F(TrackFixture, PlaybackDrawsEveryMoveAndWritesTheSameTable) {
    // The activity report written earlier stays; the table takes the first
    // free report_N.csv.
    writeFileAtomic(joinPath(acq, "report.csv"), "an earlier report");
    fake.locale.list = ";";
    fake.locale.decimal = ",";
    OfflinePlots plots;
    plots.acquisitionChosen(config);
    TrackSession track(plots);
    track.bmpChecked = true;
    RecordingSurface surface(800, 600);
    const OfflineSource src{acq, config, {}};

    track.cmd_track_Click(surface, src, ports);
    EXPECT_EQ(plots.viewMode, offlineview::Track);
    EXPECT_FALSE(track.playing());
    EXPECT_TRUE(folderExists(joinPath(acq, "bmp")));
    track.cmd_track_Click(surface, src, ports);
    ASSERT_TRUE(track.playing());
    long long steps = 0;
    while (track.playing() && steps < 13 * kTrackSamples + 1) {
        track.Timer_play_Timer(surface, src, ports);
        ++steps;
    }
    EXPECT_EQ(steps, 13 * kTrackSamples);
    EXPECT_EQ(fake.status.on(status::OfflinePageBox).back(), "6499/6499");

    // One frame per position where an animal moved, named by the position.
    std::vector<std::string> frames;
    for (const char* n : {"00100", "00300", "00400", "00550", "00560", "01234", "06200"})
        frames.push_back(joinPath(joinPath(acq, "bmp"), std::string(n) + ".bmp"));
    EXPECT_EQ(surface.savedBmps, frames);
    // The last move of well 0 shows its distance: (18 + 12.7) mm.
    EXPECT_TRUE(surface.hasText("31mm"));

    EXPECT_EQ(track.lastTablePath, joinPath(acq, "report_1.csv"));
    EXPECT_EQ(readWholeFile(track.lastTablePath).value_or(""), expectedTable());
    EXPECT_EQ(readWholeFile(joinPath(acq, "report.csv")).value_or(""), "an earlier report");
    ASSERT_FALSE(fake.desktop.calls.empty());
    EXPECT_EQ(fake.desktop.calls.back().args, std::vector<std::string>{track.lastTablePath});

    // Played to the end, the button plays it again from the start.
    track.cmd_track_Click(surface, src, ports);
    EXPECT_TRUE(track.playing());
    EXPECT_EQ(track.analysis()->position(), 0);

    // Export from there: the table once more, and the view is left.
    track.mn_datatrack_Click(src, ports);
    EXPECT_FALSE(track.playing());
    EXPECT_EQ(plots.viewMode, offlineview::None);
    EXPECT_EQ(track.lastTablePath, joinPath(acq, "report_2.csv"));
    EXPECT_EQ(readWholeFile(track.lastTablePath).value_or(""), expectedTable());
    EXPECT_EQ(readWholeFile(joinPath(acq, "report.csv")).value_or(""), "an earlier report");
}

// The window's export says which blocks had no raw data to track.
TEST_F(TrackFixture, ExportNamesTheBlocksWithoutRawData) {
    ASSERT_EQ(::remove(joinPath(acq, "1.bin").c_str()), 0);
    OfflinePlots plots;
    plots.acquisitionChosen(config);
    TrackSession track(plots);
    RecordingSurface surface;
    const OfflineSource src{acq, config, {}};
    track.cmd_track_Click(surface, src, ports);
    track.mn_datatrack_Click(src, ports);
    EXPECT_EQ(track.lastTablePath, joinPath(acq, "report_1.csv"));
    EXPECT_EQ(fake.prompter.texts(),
              std::vector<std::string>{"The travel distance table " + track.lastTablePath +
                                       " holds 0 for the blocks without raw data:\r\nno usable "
                                       "raw data for blocks 12 to 13: 1.bin is missing"});
}

TEST_F(TrackFixture, WithoutCountsNothingPlays) {
    ASSERT_EQ(::remove(countsFilePath(acq).c_str()), 0);
    OfflinePlots plots;
    TrackSession track(plots);
    RecordingSurface surface;
    const OfflineSource src{acq, config, {}};
    track.cmd_track_Click(surface, src, ports);
    track.cmd_track_Click(surface, src, ports);
    EXPECT_FALSE(track.playing());
    ASSERT_FALSE(fake.prompter.messages.empty());
    for (const auto& m : fake.prompter.messages)
        EXPECT_EQ(m.text, "Activity file not Found");
}

} // namespace
} // namespace trv
