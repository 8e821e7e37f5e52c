// trelvane-cli track: the same travel distance table as the offline
// browser's export, on the hand-made 6-well acquisition.
#include "cli/CliRun.h"
#include "offline/TrackAcquisition.h"
#include "offline/TrackSession.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

TEST(TrackCommand, WritesTheWindowsTable) {
    test::AcquisitionFixture fx;
    test::TempDir io;
    const std::string acq = test::writeTrackAcquisition(fx);

    // The table of the browser's export, from the same acquisition.
    test::FakePrompter prompter;
    OfflineConfiguration config;
    loadOfflineConfiguration(acq, fx.program, config, prompter);
    TrackAnalysis track(config.plate());
    ASSERT_TRUE(loadTrackTimes(track, acq));
    TrackRunOptions o;
    o.folder = acq;
    ASSERT_TRUE(trackToEnd(track, o));
    TravelTableHeader h; // the C locale's separator and decimal mark
    h.folder = acq;
    std::string table = travelDistanceTable(track, config.plate(), config.channels(), h);
    auto withoutDate = [](std::string s) { return s.substr(s.find("\r\n")); };

    const std::string out = io / "tables/track.csv";
    CliResult r = runCli(io, fx.program, {"track", acq, "--output", out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, out + "\n");
    EXPECT_EQ(withoutDate(readWholeFile(out).value_or("")), withoutDate(table));

    // Without --output the table is the acquisition's report.csv.
    r = runCli(io, fx.program, {"track", acq});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, acq + "/report.csv\n");
    EXPECT_EQ(withoutDate(readWholeFile(acq + "/report.csv").value_or("")), withoutDate(table));

    // Only 6-well acquisitions of larvae or flies are tracked.
    const std::string worms = fx.acquisition("20240315_1030", "Worms");
    r = runCli(io, fx.program, {"track", worms});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("6-well plate (w6)"), std::string::npos) << r.err;
}

} // namespace
} // namespace trv
