#include "CliRun.h"
#include "offline/BrowserFixture.h"
#include "offline/BrowserList.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

// The printed lines are the lines of the browser's list, built the same way.
TEST(CliList, PrintsTheBrowsersLines) {
    test::BrowserFixture fx;
    test::TempDir run;
    fx.project("p00001", "Larvae\trun \xff");
    fx.project("p00002", "Worms", 2);
    fx.project("p00003", "Empty", 3);
    fx.acquisition("p00001", "20240131_1015", "First \"dose\"");
    fx.acquisition("p00001", "20240205_0930", "Second");
    fx.acquisition("p00002", "20240301_1200", "Heat shock");
    fx.dir.write("p00001/tags_id.dat", "20240131_1015 [K1]\r\n");

    struct Case {
        std::vector<std::string> args;
        std::string project, filter;
        bool ascending;
    } cases[] = {
        {{"list"}, "", "", false},
        {{"list", "--project", "p00001"}, "p00001", "", false},
        {{"list", "--project", "p00001", "--ascending"}, "p00001", "", true},
        {{"list", "--filter", "shock"}, "", "shock", false},
        {{"list", "--filter", "DOSE larvae", "--project", "p00001"},
         "p00001",
         "DOSE larvae",
         false},
    };
    for (const auto& c : cases) {
        BrowserList list(fx.program, fx.fake.prompter);
        list.setDescending(!c.ascending);
        if (!c.project.empty()) list.setExpanded(c.project, true);
        if (c.filter.empty())
            list.listProjects();
        else
            list.applyFilter(c.filter);
        std::string expected;
        for (const auto& line : list.lines())
            expected += line + "\n";
        CliResult r = runCli(run, fx.program, c.args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, expected) << c.args.back();
        EXPECT_FALSE(r.out.empty()) << c.args.back();
    }

    CliResult missing = runCli(run, fx.program, {"list", "--project", "p00009"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("no project p00009"), std::string::npos);
    EXPECT_EQ(runCli(run, fx.program, {"list", "--bogus"}).exitCode, 2);
}

} // namespace
} // namespace trv
