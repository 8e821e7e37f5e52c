// trelvane-cli rhythm: the files it writes for a short acquisition, and
// argument mistakes (exit 2).
#include "cli/CliRun.h"
#include "common/Files.h"
#include "reports/AcquisitionFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

TEST(RhythmCommand, WritesTablesAndPlotsAndRefusesMistakes) {
    test::AcquisitionFixture fx;
    test::TempDir io;
    const std::string acq = fx.acquisition("20240315_0000", "Days");
    // Three days, a record a minute; every well moves in the day's first half.
    std::vector<int32_t> minutes;
    for (int m = 0; m < 3 * 1440; ++m)
        minutes.push_back(m);
    test::AcquisitionFixture::writeCounts(
        acq, minutes, [](int, int i) { return i % 1440 < 720 ? 2 : 0; }, [](int) { return 240; });

    const std::vector<std::vector<std::string>> mistakes = {
        {"--bin", "7"},
        {"--periods", "32-16"},
        {"--periods", "0-20"},
        {"--alpha", "0.5"},
        {"--alpha", "0"},
        {"--light-on", "8"},
        {"--to-hour", "31"}, // not two cycles of 16 h
        {"--periods", "24-30", "--to-hour", "40"},
    };
    for (const auto& m : mistakes) {
        std::vector<std::string> args = {"rhythm", acq};
        args.insert(args.end(), m.begin(), m.end());
        const CliResult r = runCli(io, fx.program, args);
        EXPECT_EQ(r.exitCode, 2) << m[0] << " " << m[1] << ": " << r.err;
    }
    EXPECT_FALSE(fileExists(joinPath(acq, "rhythm_wells.csv")));

    const CliResult r = runCli(io, fx.program, {"rhythm", acq, "--per-well", "-o", io / "out"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* f :
         {"rhythm_wells.csv", "rhythm_groups.csv", "periodograms.csv", "rhythm_settings.txt",
          "actogram_Control.svg", "periodogram_Dose.svg", "actogram_0.svg", "actogram_5.svg"})
        EXPECT_TRUE(fileExists(joinPath(io / "out", f))) << f;
    const std::string wells = io.read("out/rhythm_wells.csv");
    EXPECT_NE(wells.find("\r\n0,A1,Control,ok,24.0,"), std::string::npos) << wells;
}

} // namespace
} // namespace trv
