// The checks every trelvane-cli command shares: the same refusal of a bad
// number from every command, help and version, output folders and
// reports that replace earlier ones.
#include "cli/CliRun.h"
#include "reports/AcquisitionFixture.h"
#include "common/Files.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

TEST(CliArguments, EveryCommandRefusesTheSameBadBinSizes) {
    test::TempDir io;
    const std::vector<std::vector<std::string>> commands = {
        {"report", "acq"},
        {"reprocess", "acq", "--method", "1", "--organism", "0", "--snr", "1.8"},
        {"export-wells", "acq"},
    };
    for (const auto& command : commands) {
        for (const std::string bad : {"abc", "", "0", "-1", "nan", "1e309", "30abc", "2.5"}) {
            std::vector<std::string> args = command;
            args.insert(args.end(), {"--bin", bad});
            const CliResult r = runCli(io, args);
            EXPECT_EQ(r.exitCode, 2) << command[0] << " --bin '" << bad << "'";
            EXPECT_NE(r.err.find("trelvane-cli " + command[0] + ": --bin"), std::string::npos)
                << r.err;
            EXPECT_EQ(r.out, "");
        }
    }
}

TEST(CliArguments, HelpAndVersion) {
    test::TempDir io;
    const CliResult all = runCli(io, {"--help"});
    EXPECT_EQ(all.exitCode, 0);
    for (const std::string command :
         {"detect", "export-wells", "make-demo", "report", "reprocess"}) {
        EXPECT_NE(all.out.find("\n  " + command + " "), std::string::npos) << command;
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{command, "--help"}, {"help", command}}) {
            const CliResult r = runCli(io, args);
            EXPECT_EQ(r.exitCode, 0) << command;
            EXPECT_EQ(r.out.find("usage: trelvane-cli " + command + " [OPTIONS]"), 0u) << r.out;
        }
    }
    const CliResult version = runCli(io, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("trelvane-cli ") + TRELVANE_VERSION + "\n");
}

// A $TRELVANE_HOME that does not exist is named, not made (make-demo is
// asked for a program folder and says what it lacks); a report separator
// holding a line break is refused.
TEST(CliArguments, MissingProgramFolderAndBrokenSeparators) {
    test::AcquisitionFixture fx;
    test::TempDir io;
    const std::string missing = io / "no-such-home";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list"}, {"report", fx.project}, {"kinetics", fx.project}}) {
        const CliResult r = runCli(io, missing, args);
        EXPECT_EQ(r.exitCode, 1) << args[0];
        EXPECT_EQ(r.err, "trelvane-cli " + args[0] + ": no program folder " + missing +
                             " ($TRELVANE_HOME)\n");
        EXPECT_FALSE(folderExists(missing)) << args[0];
    }
    EXPECT_EQ(runCli(io, missing, {"make-demo", missing}).err.find("$TRELVANE_HOME"),
              std::string::npos);

    const std::string acq = fx.acquisition("20240315_0930", "Run");
    for (const std::string bad : {"\n", "\r", ";\r\n", "\x1b"}) {
        const CliResult r = runCli(io, fx.program, {"report", acq, "--separator", bad});
        EXPECT_EQ(r.exitCode, 2) << static_cast<int>(bad[0]);
        EXPECT_NE(r.err.find("--separator must not hold a line break"), std::string::npos)
            << r.err;
    }
}

struct ReportFiles : ::testing::Test {
    test::AcquisitionFixture fx;
    test::TempDir io;
    std::string acq;
    CliResult r;
    void SetUp() override {
        acq = fx.acquisition("20240315_0930", "Run");
        std::vector<int32_t> minutes;
        for (int i = 0; i <= 120; ++i)
            minutes.push_back(i);
        test::AcquisitionFixture::writeCounts(
            acq, minutes, [](int ch, int i) { return test::sixWellChannel(ch) ? i % 3 : 0; },
            [](int) { return 100; });
    }
    int run(const std::vector<std::string>& args) {
        r = runCli(io, fx.program, args);
        return r.exitCode;
    }
};

TEST_F(ReportFiles, HistogramWithoutHistogramFilesFails) {
    EXPECT_EQ(run({"report", acq, "--format", "histogram"}), 1);
    EXPECT_EQ(r.err, "Error getting Histogram.bin data\n");
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(listFiles(acq, "report*").empty());
}

TEST_F(ReportFiles, OutputFolderIsMadeAndReplacedReportsAreSaid) {
    const std::string out = fx.dir / "reports/week 1";
    ASSERT_EQ(run({"report", acq, "--output", out}), 0) << r.err;
    EXPECT_EQ(r.out, out + "/report.csv\n");
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(run({"report", acq, "-o", out, "--bin", "60"}), 0) << r.err;
    EXPECT_EQ(r.err, "trelvane-cli report: replaced the earlier report " + out + "/report.csv\n");

    // A file where the folder should be.
    ASSERT_TRUE(writePlainFile(fx.dir / "plain", "x"));
    EXPECT_EQ(run({"report", acq, "--output", fx.dir / "plain/sub"}), 1);
    EXPECT_NE(r.err.find("cannot make the output folder"), std::string::npos) << r.err;
}

} // namespace
} // namespace trv
