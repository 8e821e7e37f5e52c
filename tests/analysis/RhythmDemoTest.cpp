// The rhythm demo's acquisitions read back through the sleep analysis: the
// light phases, sleep, bouts, latency and waking activity every animal was
// made with, and the dead and empty wells.
#include "analysis/RhythmDemo.h"
#include "TestPaths.h"
#include "analysis/RhythmAnalysis.h"
#include "common/Files.h"
#include "store/AcquisitionRecord.h"
#include "support/Fakes.h"
#include "support/ShippedFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

TEST(RhythmDemo, TheSleepAnalysisFindsWhatTheAnimalsWereMadeWith) {
    test::TempDir home;
    test::seedProgramFolder(home);
    const RhythmDemo demo = makeRhythmDemo(home.path());
    ASSERT_EQ(demo.error, "");
    EXPECT_EQ(readAcquisitionName(demo.ldFolder), kRhythmDemoLdName);
    EXPECT_EQ(readAcquisitionName(demo.ddFolder), kRhythmDemoDdName);
    EXPECT_EQ(demo.ddFolder.substr(demo.ddFolder.size() - 13), "20260307_0800");

    CollectingPrompter prompter;
    SleepRequest rq{demo.ldFolder, home.path(), "", {}, std::nullopt};
    const SleepOutcome ld = computeSleep(rq, prompter);
    ASSERT_TRUE(ld.result) << ld.error;
    const SleepResult& r = *ld.result;
    EXPECT_EQ(r.minBout, 5); // flies
    ASSERT_EQ(r.phases.size(), 10u);
    EXPECT_EQ(r.phases[0].name, "light 1");
    EXPECT_FALSE(r.phases[0].partial);
    ASSERT_EQ(r.wells.size(), demo.wells.size());
    int compared = 0;
    for (size_t i = 0; i < demo.wells.size(); ++i) {
        const DemoWellTruth& t = demo.wells[i];
        const SleepWellResult& w = r.wells[i];
        EXPECT_EQ(w.fate.empty, t.empty) << t.well;
        EXPECT_FALSE(w.fate.deathMinute) << t.well;
        for (size_t k = 0; k < t.ldPhases.size(); ++k, ++compared) {
            const DemoPhaseTruth& p = t.ldPhases[k];
            const SleepFigures& f = w.phases[k];
            const std::string what = "well " + std::to_string(t.well) + " " + r.phases[k].name;
            EXPECT_EQ(*f[kDataMinutes], 720) << what;
            EXPECT_EQ(*f[kSleepMinutes], p.sleepMinutes) << what;
            EXPECT_EQ(*f[kBouts], p.bouts) << what;
            EXPECT_DOUBLE_EQ(*f[kMeanBout], static_cast<double>(p.boutMinutes) / p.bouts) << what;
            EXPECT_EQ(*f[kLatency], p.firstBoutOffset) << what;
            EXPECT_DOUBLE_EQ(*f[kWakeActivity], p.wakeEventsPerMinute) << what;
        }
    }
    EXPECT_EQ(compared, 92 * 10);

    rq.acquisitionPath = demo.ddFolder;
    const SleepOutcome dd = computeSleep(rq, prompter);
    ASSERT_TRUE(dd.result) << dd.error;
    EXPECT_EQ(dd.result->phases.size(), 1u); // no light schedule
    int dead = 0, empty = 0;
    for (size_t i = 0; i < demo.wells.size(); ++i) {
        const WellFate& f = dd.result->wells[i].fate;
        EXPECT_EQ(f.empty, demo.wells[i].empty);
        EXPECT_EQ(f.deathMinute.value_or(-1), demo.wells[i].deathMinuteDd) << demo.wells[i].well;
        dead += f.deathMinute.has_value();
        empty += f.empty;
    }
    EXPECT_EQ(dead, 4);
    EXPECT_EQ(empty, 4);
}

TEST(RhythmDemo, TheRhythmAnalysisFindsEachGroupsPeriod) {
    test::TempDir home;
    test::seedProgramFolder(home);
    const RhythmDemo demo = makeRhythmDemo(home.path());
    ASSERT_EQ(demo.error, "");
    CollectingPrompter prompter;
    for (const std::string& folder : {demo.ldFolder, demo.ddFolder}) {
        RhythmRequest rq;
        rq.acquisitionPath = folder;
        rq.programFolder = home.path();
        const RhythmOutcome out = computeRhythm(rq, prompter);
        ASSERT_TRUE(out.result) << out.error;
        // Group 0 has no well and still gets its row.
        ASSERT_EQ(out.result->groups.size(), 5u);
        EXPECT_EQ(out.result->groups[0].wellsTested, 0);
        for (const RhythmGroupResult& g : out.result->groups) {
            if (g.group == 0) continue;
            // Entrained to 24 h under light, free-running in the dark.
            const double period =
                folder == demo.ldFolder
                    ? 24
                    : demo.wells[static_cast<size_t>((g.group - 1) * 24)].periodHours;
            EXPECT_EQ(g.wellsTested, 23) << g.name; // one empty well each
            EXPECT_EQ(g.wellsRhythmic, 23) << g.name;
            EXPECT_NEAR(*g.meanPeriod, period, 0.1 + 1e-9) << g.name;
        }
    }
}

} // namespace
} // namespace trv
