#include "CliRun.h"
#include "offline/BrowserFixture.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

// The browser's lines for a small hand-made program folder: project lines
// by folder name, newest first, dated by their first acquisition; a
// project's acquisitions below its line; the filter; a line break in a
// folder name shown as "?", so one entry stays one line.
TEST(CliList, PrintsTheBrowsersLines) {
    test::BrowserFixture fx;
    test::TempDir run;
    fx.project("p00001", "Larvae\trun \xff");
    fx.project("p00002", "Worms", 2);
    fx.project("p00003", "Empty", 3);
    fx.project("p\n0004", "Odd", 4);
    fx.acquisition("p00001", "20240131_1015", "First \"dose\"");
    fx.acquisition("p00001", "20240205_0930", "Second");
    fx.acquisition("p00002", "20240301_1200", "Heat shock");
    fx.dir.write("p00001/tags_id.dat", "20240131_1015 [K1]\r\n");

    const std::string p1 = "+ 2024.0131\tp00001_Larvae\trun \xff\n",
                      p2 = "+ 2024.0301\tp00002_Worms\n", p3 = "+         \tp00003_Empty\n",
                      p4 = "+         \tp?0004_Odd\n",
                      first = "  > 2024.0131\t ACQ10:15 \"First 'dose'\"\t\t[K1]\n",
                      second = "  > 2024.0205\t ACQ09:30 \"Second\"\t\t\n";
    struct Case {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"list"}, p3 + p2 + p1 + p4},
        {{"list", "--project", "p00001"}, p3 + p2 + p1 + second + first + p4},
        {{"list", "--project", "p00001", "--ascending"}, p4 + p1 + first + second + p2 + p3},
        {{"list", "--filter", "shock"}, p2},
        {{"list", "--filter", "DOSE larvae", "--project", "p00001"}, p1 + second + first},
    };
    for (const auto& c : cases) {
        CliResult r = runCli(run, fx.program, c.args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, c.out) << c.args.back();
    }

    CliResult missing = runCli(run, fx.program, {"list", "--project", "p00009"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("no project p00009"), std::string::npos);
    EXPECT_EQ(runCli(run, fx.program, {"list", "--bogus"}).exitCode, 2);
}

} // namespace
} // namespace trv
