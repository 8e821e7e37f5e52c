// trelvane-cli reprocess and export-wells, run as programs on acquisitions
// with stored raw blocks.
#include "cli/CliRun.h"
#include "reports/AcquisitionFixture.h"
#include "reports/RawAcquisition.h"
#include "support/TempDir.h"

#include "store/StoreText.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace trv {
namespace {

std::string readAll(const std::string& path) {
    auto s = readWholeFile(path);
    return s ? *s : std::string();
}

struct RawCliFixture : ::testing::Test {
    test::AcquisitionFixture fx;
    test::TempDir io;
    std::string acq;
    CliResult r;

    void SetUp() override {
        test::copyShippedPlates(fx.program);
        test::RawAcquisitionPlan plan;
        plan.plate = "wsix";
        plan.minutes = test::minuteTimes(40);
        plan.distinctBlocks = 4;
        acq = joinPath(fx.project, "20240315_0930");
        test::writeRawAcquisition(acq, plan);
    }
    int run(const std::vector<std::string>& args) {
        r = runCli(io, fx.program, args);
        return r.exitCode;
    }
};

TEST_F(RawCliFixture, ReprocessReportsAndReplaces) {
    const std::string counts = readAll(joinPath(acq, "counts.bin"));
    ASSERT_EQ(run({"reprocess", acq, "--method", "0", "--organism", "1", "--snr", "2,5", "--hours",
                   "0.5"}),
              0)
        << r.err;
    EXPECT_EQ(r.out, acq + "/report.csv\n");
    EXPECT_EQ(r.err, "31 records processed\n");
    EXPECT_EQ(readAll(joinPath(acq, "counts.bin")), counts);
    EXPECT_NE(readAll(joinPath(acq, "report.csv"))
                  .find("0_Threshold+Binary (Old Method.w/filters) Zebrafish(Larvae) [SNR=2.5]"),
              std::string::npos);

    ASSERT_EQ(run({"reprocess", acq + "/", "--method=3", "--organism=3", "--snr=0.8", "--replace",
                   "--export-raw", "--bin", "10"}),
              0)
        << r.err;
    EXPECT_EQ(r.err, "41 records processed; counts.bin replaced\ntrelvane-cli reprocess: replaced "
                     "the earlier report " +
                         acq + "/report.csv\n");
    EXPECT_NE(readAll(joinPath(acq, "counts.bin")), counts);
    EXPECT_EQ(countLines(joinPath(acq, "ch0.raw")), 41);
    EXPECT_EQ(splitLines(readAll(joinPath(acq, "setup.dat")))[9], "3,1,1,8,0,0");
    EXPECT_NE(readAll(joinPath(acq, "report.csv")).find("Mode3 [snr=0.8]"), std::string::npos);
}

TEST_F(RawCliFixture, ReprocessWritesToTheOutputFolderAndSaysWhatItReplaces) {
    const std::string out = fx.dir / "new/reports";
    const std::vector<std::string> args = {"reprocess", acq,     "--method", "1",  "--organism",
                                           "0",         "--snr", "1.8",      "-o", out};
    ASSERT_EQ(run(args), 0) << r.err;
    EXPECT_EQ(r.out, out + "/report.csv\n");
    EXPECT_TRUE(listFiles(acq, "report*").empty());
    ASSERT_EQ(run(args), 0) << r.err;
    EXPECT_NE(r.err.find("replaced the earlier report " + out + "/report.csv\n"), std::string::npos)
        << r.err;
}

TEST_F(RawCliFixture, ReprocessRefusesBadArguments) {
    EXPECT_EQ(run({"reprocess", acq, "--method", "1", "--organism", "1", "--snr", "7"}), 2);
    EXPECT_NE(r.err.find("--snr must be between 1.1 and 6"), std::string::npos);
    EXPECT_EQ(run({"reprocess", acq, "--method", "1", "--organism", "3", "--snr", "1.8"}), 2);
    EXPECT_NE(r.err.find("0.5 and 1"), std::string::npos);
    EXPECT_EQ(run({"reprocess", acq, "--method", "1", "--organism", "0", "--snr", "1.8", "--hours",
                   "2", "--replace"}),
              2);
    EXPECT_EQ(run({"reprocess", acq, "--organism", "0", "--snr", "1.8"}), 2);
    EXPECT_TRUE(listFiles(acq, "report*").empty());
    // An acquisition without raw blocks.
    const std::string plain = fx.acquisition("20240315_1100", "Plain");
    EXPECT_EQ(run({"reprocess", plain, "--method", "1", "--organism", "0", "--snr", "1.8"}), 1);
    EXPECT_EQ(r.err, "Real Time Data Not Found\n");
}

TEST_F(RawCliFixture, ExportWellsWithAndWithoutTheTimeField) {
    ASSERT_EQ(run({"export-wells", acq, "--bin", "20"}), 0) << r.err;
    EXPECT_EQ(readAll(joinPath(acq, "time.txt")), "1200 2400\r\n");
    EXPECT_EQ(readAll(joinPath(acq, "ch000000.txt")), "147 140\r\n");
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 385);
    ASSERT_EQ(run({"export-wells", acq, "--bin", "60", "--time-field"}), 0) << r.err;
    EXPECT_EQ(r.err, "bin size 30 minutes\n");
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), acq + "/000_A1.txt");
    EXPECT_EQ(countLines(joinPath(acq, "000_A1.txt")), 1);
    EXPECT_EQ(run({"export-wells", acq}), 2);
}

// A record time far past the acquisition (a damaged record) ends both
// commands with the report's message and exit 1 before they write anything;
// the program folder's run log keeps what happened.
TEST_F(RawCliFixture, DamagedRecordTimesEndWithTheReportsMessageAndExitOne) {
    test::AcquisitionFixture::writeCounts(
        acq, {10000000}, [](int, int) { return 1; }, [](int) { return 250; });
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"export-wells", acq, "--bin", "60"}, "Resampling Calculation Error546"},
        {{"reprocess", acq, "--method", "1", "--organism", "0", "--snr", "1.8", "--replace",
          "--bin", "60"},
         "Resampling Calculation Error546"},
    };
    const std::string counts = readAll(joinPath(acq, "counts.bin"));
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.args), 1) << c.args[0];
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(readAll(joinPath(acq, "counts.bin")), counts) << c.args[0];
        EXPECT_FALSE(fileExists(joinPath(acq, "time.txt")));
    }
    const std::string log = readAll(joinPath(fx.program, "trelvane.log"));
    EXPECT_NE(log.find("trelvane-cli["), std::string::npos);
    EXPECT_NE(log.find("counts.bin: Resampling Calculation Error546 (largest record time "
                       "10000000 minutes, bin 60)"),
              std::string::npos)
        << log;
}

} // namespace
} // namespace trv
