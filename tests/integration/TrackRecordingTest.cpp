// A 6-well acquisition of fish larvae recorded against the simulated
// instrument, then tracked: every well's animal leaves a path.
#include "RunFixture.h"

#include "TestPaths.h"
#include "offline/OfflineConfiguration.h"
#include "offline/TrackSession.h"
#include "store/PlateFormat.h"

namespace trv::test {
namespace {

TEST(TrackRecording, EveryWellOfASimulatedSixWellRunHasAPath) {
    sim::SimOptions o = RunFixture::defaultSim();
    o.model.organism = sim::Organism::FishLarvae;
    o.model.plateRows = 2;
    o.model.plateColumns = 3;
    o.model.seed = 11;
    RunFixture f(o, "w6");
    copyFile(std::string(TRELVANE_SOURCE_DIR) + "/data/w6.dat", f.dir / "w6.dat");
    ASSERT_TRUE(loadPlateFormat(f.s.plate, f.dir.path(), f.s.setup.Plate_format, f.fake.prompter));
    f.s.setup.Organism() = 1;
    f.s.setup.Aq_lapse = 1; // two blocks of 35 s
    ASSERT_TRUE(f.play("Larvae"));
    f.ticksUntilStopped(5000);
    ASSERT_TRUE(f.run->finished());

    OfflineConfiguration config;
    loadOfflineConfiguration(f.acqPath(), f.dir.path(), config, f.fake.prompter);
    ASSERT_TRUE(config.loaded());
    TrackAnalysis track(config.plate());
    ASSERT_TRUE(loadTrackTimes(track, f.acqPath()));
    ASSERT_EQ(track.blockCount(), 2);
    TrackRunOptions run;
    run.folder = f.acqPath();
    ASSERT_TRUE(trackToEnd(track, run));
    for (int w = 0; w < 6; ++w)
        EXPECT_GT(track.distance(w), 0.0) << "well " << w;
}

} // namespace
} // namespace trv::test
