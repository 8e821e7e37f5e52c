#include "store/ReportConfigFile.h"

#include "StoreTestSupport.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

using test::FakeLocale;
using test::FakePrompter;
using test::StoreFixture;

const std::string kHeaderLine =
    "\"<User_defined>, <Bin>, <filetype>, <spacer>, <stdError>, <stdDev>, <n>, <out_format>, "
    "<organism>, <method>, <threshold>, <rawexport>\"\r\n";

struct ReportFixture : StoreFixture {
    FakePrompter prompter;
    FakeLocale locale;
    int load(int flag) { return loadReportConfig(s, flag, prompter, locale); }
    void file(const std::string& line2) { dir.write("repoconf.dat", kHeaderLine + line2 + "\r\n"); }
    std::string file() const { return dir.read("repoconf.dat"); }
};

TEST(ReportConfigFile, DefaultsWrittenAndReadBackByteForByte) {
    ReportFixture f;
    EXPECT_EQ(f.load(0), 0);
    EXPECT_EQ(f.file(), kHeaderLine + "0,30,0,\",\",1,0,1,0,0,1,18,0\r\n");
    EXPECT_TRUE(f.prompter.messages.empty());

    f.s.report.Bin = 60;
    f.s.report.filetype = 1;
    f.s.report.spacer = "\t";
    f.s.report.out_format = 3;
    f.s.report.threshold = 25;
    ASSERT_TRUE(saveReportConfig(f.s, 1, f.prompter));
    EXPECT_EQ(f.file(), kHeaderLine + "1,60,1,\"\t\",1,0,1,3,0,1,25,0\r\n");
    f.s.report = ReportConfig{};
    EXPECT_EQ(f.load(1), 1);
    EXPECT_EQ(f.s.report.Bin, 60);
    EXPECT_EQ(f.s.report.spacer, "\t");
    EXPECT_EQ(f.s.report.out_format, 3);
    EXPECT_EQ(f.s.report.threshold, 25);
    EXPECT_EQ(reportConfigText(f.s.report, 1), f.file());
}

TEST(ReportConfigFile, ValuesOutsideTheirRangesBecomeDefaults) {
    ReportFixture f;
    f.file("1,1,2,\";\",2,-1,5,4,4,3,4,2");
    EXPECT_EQ(f.load(1), 1);
    const ReportConfig& r = f.s.report;
    EXPECT_EQ(r.Bin, 30);
    EXPECT_EQ(r.filetype, 0);
    EXPECT_EQ(r.spacer, ";");
    EXPECT_EQ(r.stdError, 1);
    EXPECT_EQ(r.stdDev, 0);
    EXPECT_EQ(r.n, 1);
    EXPECT_EQ(r.out_format, 0);
    EXPECT_EQ(r.organism, 0);
    EXPECT_EQ(r.method, 1);
    EXPECT_EQ(r.threshold, 18);
    EXPECT_EQ(r.rawexport, 0);

    f.file("1,1440,1,\"|\",0,1,0,3,3,2,30,1");
    EXPECT_EQ(f.load(1), 1);
    EXPECT_EQ(r.Bin, 1440);
    EXPECT_EQ(r.threshold, 30);
    EXPECT_EQ(r.method, 2);
    EXPECT_EQ(r.organism, 3);
    f.file("1,2,0,\",\",1,0,1,0,0,0,5,0");
    f.load(1);
    EXPECT_EQ(r.Bin, 2);
    EXPECT_EQ(r.threshold, 5);
    EXPECT_EQ(r.method, 0);
    EXPECT_TRUE(f.prompter.messages.empty());
}

TEST(ReportConfigFile, FlagZeroAlwaysGoesBackToDefaults) {
    ReportFixture f;
    f.file("1,60,1,\";\",0,1,0,3,3,2,30,1");
    EXPECT_EQ(f.load(0), 0);
    EXPECT_EQ(f.s.report.Bin, 30);
    EXPECT_EQ(f.file(), kHeaderLine + "0,30,0,\",\",1,0,1,0,0,1,18,0\r\n");
}

TEST(ReportConfigFile, FlagOneWithoutFileCreatesItAsUserDefined) {
    ReportFixture f;
    f.s.report.Bin = 99;
    EXPECT_EQ(f.load(1), 0);
    EXPECT_EQ(f.s.report.Bin, 30);
    EXPECT_EQ(f.file(), kHeaderLine + "1,30,0,\",\",1,0,1,0,0,1,18,0\r\n");
    EXPECT_TRUE(f.prompter.messages.empty());
}

TEST(ReportConfigFile, SpacerFollowsTheLocale) {
    ReportFixture f;
    f.locale.list = ";";
    resetReportConfig(f.s, f.locale);
    EXPECT_EQ(f.s.report.spacer, ";");
    EXPECT_EQ(f.s.List_Separator, ";");
    f.locale.list = "";
    readListSeparator(f.s, f.locale);
    EXPECT_EQ(f.s.List_Separator, ",");
    f.locale.list = std::string(";\0", 2);
    readListSeparator(f.s, f.locale);
    EXPECT_EQ(f.s.List_Separator, ";");
    f.locale.list = ";";
    EXPECT_EQ(f.load(1), 0);
    EXPECT_EQ(f.file(), kHeaderLine + "1,30,0,\";\",1,0,1,0,0,1,18,0\r\n");
}

TEST(ReportConfigFile, DamagedFileIsRewrittenWithDefaults) {
    std::string overlong = kHeaderLine + "1,60," + std::string(2 * 1024 * 1024, '1');
    for (const std::string& bad :
         {std::string(), kHeaderLine, kHeaderLine + "1,60,1,\";\",0,1",
          kHeaderLine + "1,60,1,\";,0,1,0,3,3,2,30,1\r\n",
          kHeaderLine + std::string("1,60,\x02\x03,\";\",0,1,0,3,3,2,30,1\r\n"), overlong,
          kHeaderLine + "1,99999,1,\";\",0,1,0,3,3,2,30,1\r\n"}) {
        ReportFixture f;
        f.dir.write("repoconf.dat", bad);
        f.s.report.Bin = 77;
        EXPECT_EQ(f.load(1), 0);
        EXPECT_EQ(f.prompter.texts(), std::vector<std::string>{kReportConfigLoadError});
        EXPECT_EQ(f.s.report.Bin, 30);
        EXPECT_EQ(f.s.report.User_defined, 0);
        EXPECT_EQ(f.file(), kHeaderLine + "0,30,0,\",\",1,0,1,0,0,1,18,0\r\n");
        f.prompter.clear();
        EXPECT_EQ(f.load(1), 0);
        EXPECT_TRUE(f.prompter.messages.empty());
    }
}

TEST(ReportConfigFile, WriteFailureIsShownAndMemoryKept) {
    ReportFixture f;
    f.s.Program_Folder = f.dir / "missing";
    f.s.report.Bin = 45;
    EXPECT_FALSE(saveReportConfig(f.s, 1, f.prompter));
    EXPECT_EQ(f.prompter.texts(), std::vector<std::string>{kReportConfigSaveError});
    EXPECT_EQ(f.s.report.Bin, 45);
    EXPECT_EQ(f.s.report.User_defined, 0);
    // Going back to defaults cannot write either: the write is named (the
    // file was never read), and defaults are in memory.
    for (const int flag : {0, 1}) {
        f.prompter.clear();
        EXPECT_EQ(f.load(flag), 0);
        EXPECT_EQ(f.prompter.texts(), std::vector<std::string>{kReportConfigSaveError});
        EXPECT_EQ(f.s.report.Bin, 30);
    }
}

} // namespace
} // namespace trv
