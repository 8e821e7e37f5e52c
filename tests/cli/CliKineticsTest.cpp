// trelvane-cli kinetics refuses what it cannot make a table of; the tables
// themselves are compared with the window's in the offline window test.
#include "CliRun.h"
#include "offline/BrowserFixture.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

TEST(CliKinetics, NothingToTabulate) {
    test::BrowserFixture fx;
    test::TempDir run;
    fx.project("p00001", "Series");
    copyFile(std::string(TRELVANE_SOURCE_DIR) + "/data/w96f.dat", fx.program + "/w96f.dat");
    fx.acquisition("p00001", "20240305_1500", "First");
    fx.acquisition("p00001", "20240305_1530", "Second");
    fx.dir.write("p00001/tags_id.dat", "20240305_1500 [K2]\r\n../x [K3]\r\n20240305_1600 [K3]\r\n"
                                       "20240305_1530 [K3]\r\n20240305_1700 [K4]\r\n");

    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    } cases[] = {
        {{"kinetics", "p00001", "--tag", "K1"}, 1, "is tagged [K1]"},
        {{"kinetics", "p00009", "--tag", "K2"}, 1, "no project folder"},
        {{"kinetics", fx.program + "/p00001/20240305_1700"}, 1, "not found"},
        {{"kinetics", "p00001", "--tag", "K2", "--bin", "5"}, 2, "excludes"},
        {{"kinetics", "p00001", "--tag", "K7"}, 2, "K7"},
        // One record: no bin is complete.
        {{"kinetics", fx.program + "/p00001/20240305_1500"},
         1,
         "no bin of 5 minutes is complete in " + fx.program + "/p00001/20240305_1500"},
        {{"kinetics", "p00001", "--tag", "K4"},
         1,
         "trelvane-cli kinetics: left out 20240305_1700: Activity file not Found into " +
             fx.program + "/p00001/20240305_1700\n"
             "trelvane-cli kinetics: no acquisition of " +
             fx.program + "/p00001 with its activity file is tagged [K4]\n"},
    };
    for (const Case& c : cases) {
        const CliResult r = runCli(run, fx.program, c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[1] << " " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }

    // An unsafe key and a member without its folder are named and left out;
    // the report is of the others.
    const CliResult r = runCli(run, fx.program, {"kinetics", "p00001", "--tag", "K3"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err.substr(0, r.err.find("\nError")),
              "trelvane-cli kinetics: skipped the key \"../x\" of tags_id.dat: not a folder name\n"
              "trelvane-cli kinetics: left out 20240305_1600: Activity file not Found into " +
                  fx.program + "/p00001/20240305_1600");
    const std::string report = readWholeFile(r.out.substr(0, r.out.find('\n'))).value_or("");
    EXPECT_NE(report.find("Acq:;20240305_1530\r\n"), std::string::npos) << report;
}

} // namespace
} // namespace trv
