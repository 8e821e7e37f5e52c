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
    fx.acquisition("p00001", "20240305_1500", "First");
    fx.dir.write("p00001/tags_id.dat", "20240305_1500 [K2]\r\n");

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
    };
    for (const Case& c : cases) {
        const CliResult r = runCli(run, fx.program, c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[1] << " " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
}

} // namespace
} // namespace trv
