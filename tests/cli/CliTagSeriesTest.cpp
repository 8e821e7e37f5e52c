// A tagged series from the command line is grouped as its earliest member,
// whatever the order of tags_id.dat.
#include "CliRun.h"
#include "offline/BrowserFixture.h"
#include "store/ChannelTablesFile.h"
#include "store/PlateFormat.h"

#include <gtest/gtest.h>
#include <tuple>

namespace trv {
namespace {

TEST(CliTagSeries, TakesTheGroupsOfItsEarliestMember) {
    test::BrowserFixture fx;
    test::TempDir run;
    PlateLayout plate;
    applyBuiltinPlate(plate, "w96f");
    fx.dir.write("w96f.dat", plateFileText(plate, "w96f", "built in"));
    fx.project("p00001", "Series");
    for (auto [folder, group, name] :
         {std::tuple{"20240305_1700", 1, "Late"}, std::tuple{"20240305_1500", 0, "Early"}}) {
        const std::string path = fx.acquisition("p00001", folder, folder, true, 3);
        ProjectSetup setup;
        ASSERT_TRUE(writeFileAtomic(joinPath(path, kSetupFileName), setupFileText(setup, 1)));
        ChannelTables tables;
        tables.Channel_Group.fill(static_cast<int16_t>(group));
        tables.Group_Name[static_cast<size_t>(group)] = name;
        for (ChannelTableFile f : {ChannelTableFile::Groups, ChannelTableFile::ChannelGroups})
            ASSERT_TRUE(writeChannelTable(tables, path, f));
    }
    // The later member is listed first.
    fx.dir.write("p00001/tags_id.dat", "20240305_1700 [K1]\r\n20240305_1500 [K1]\r\n");

    const CliResult r = runCli(run, fx.program, {"kinetics", "p00001", "--tag", "K1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string report = readWholeFile(r.out.substr(0, r.out.find('\n'))).value_or("");
    EXPECT_NE(report.find("\r\n[#000_Early];3;3\r\n"), std::string::npos) << report;
    EXPECT_EQ(report.find("Late"), std::string::npos) << report;
}

} // namespace
} // namespace trv
