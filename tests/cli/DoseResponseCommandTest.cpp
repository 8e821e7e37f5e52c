#include "analysis/DoseAcquisition.h"
#include "analysis/DoseResponse.h"
#include "cli/CliRun.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

TEST(DoseResponseCommand, WritesTheResultsOrSaysWhyNot) {
    test::AcquisitionFixture fx;
    test::TempDir io;
    const test::DoseScreen screen;
    const std::string acq = screen.write(fx, "20240315_0930");
    // A basal acquisition just like it: every well at 100 % of its basal.
    screen.write(fx, "20240315_0800");
    const std::string doses = joinPath(acq, kDoseMapFileName);
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string out, err; // err: a line it holds
    } cases[] = {
        {{"--from", "5", "--to", "55"},
         0,
         acq + "/dose_response.csv\n" + acq + "/Compound_1.svg\n",
         "Compound 1: IC50 3."},
        {{"--from", "5", "--to", "55", "--basal", "20240315_0800", "-o", io / "basal"},
         0,
         io / "basal/dose_response.csv\n" + io / "basal/Compound_1.svg\n",
         "Compound 1: no IC50: the same response in every well"},
        {{"--from", "5", "--to", "61"},
         1,
         "",
         "The response window cannot be used: the window [5, 61) ends after the acquisition"},
        {{"--from", "5", "--to", "5"}, 2, "", "--to must be after --from"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"dose-response", acq, "--doses", doses};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult r = runCli(io, fx.program, args);
        SCOPED_TRACE(::testing::PrintToString(c.args));
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

} // namespace
} // namespace trv
