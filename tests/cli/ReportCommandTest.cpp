#include "cli/CliRun.h"
#include "reports/AcquisitionFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

// A project with a 3-hour acquisition and a 3-hour basal whose well B2 never
// moved.
struct CliFixture {
    test::AcquisitionFixture fx;
    test::TempDir io;
    std::string acq, basal;
    CliFixture() {
        acq = fx.acquisition("20240315_0930", "Dose test 2");
        basal = fx.acquisition("20240315_0600", "Basal");
        std::vector<int32_t> minutes;
        for (int i = 0; i <= 360; ++i)
            minutes.push_back(i / 2);
        test::AcquisitionFixture::writeCounts(
            acq, minutes,
            [](int ch, int i) { return test::sixWellChannel(ch) ? 1 + (i + ch) % 5 : 0; },
            [](int) { return 250; });
        test::AcquisitionFixture::writeCounts(
            basal, minutes, [](int ch, int) { return test::sixWellChannel(ch) && ch != 3 ? 2 : 0; },
            [](int) { return 0; });
    }
    int run(std::vector<std::string> args, const std::string& lang = "C") {
        args.insert(args.begin(), "report");
        CliResult r = runCli(io, fx.program, args, lang);
        out = r.out;
        err = r.err;
        return r.exitCode;
    }
    std::string out, err;
};

TEST(ReportCommand, WritesAndPrintsThePath) {
    CliFixture f;
    EXPECT_EQ(f.run({f.acq + "/", "--bin", "60", "--separator=;", "--format", "list", "--std-dev"}),
              0)
        << f.err;
    EXPECT_EQ(f.out, f.acq + "/report.csv\n");
    const std::string text = f.fx.dir.read("p00003/20240315_0930/report.csv");
    EXPECT_NE(text.find("\"FILE:\";\"" + f.acq + "\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("Time;Group;Value\r\n"), std::string::npos);
    EXPECT_NE(text.find("Standard Deviation"), std::string::npos);
    EXPECT_NE(text.find("Standard Error"), std::string::npos);
    EXPECT_TRUE(fileExists(f.acq + "/Dose_test_2.csv"));

    // Text file, default separator a space, statistics switched off, another
    // folder.
    const std::string out = f.fx.dir / "out";
    makeFolder(out);
    EXPECT_EQ(
        f.run({f.acq, "--type", "txt", "--no-std-error", "--no-n", "--output", out, "--bin", "30"}),
        0)
        << f.err;
    EXPECT_EQ(f.out, out + "/report.txt\n");
    const std::string txt = f.fx.dir.read("out/report.txt");
    EXPECT_NE(txt.find("Group/Time[m] 30 60 90 120 150 180\r\n"), std::string::npos);
    EXPECT_EQ(txt.find("Standard Error"), std::string::npos);
    EXPECT_EQ(txt.find("Number of wells"), std::string::npos);
}

TEST(ReportCommand, FailuresGoToTheErrorStream) {
    CliFixture f;
    // LANG=C: the default separator is a comma.
    EXPECT_EQ(f.run({f.acq, "--bin", "60"}), 0);
    EXPECT_NE(f.fx.dir.read("p00003/20240315_0930/report.csv").find("Group/Time[m],60,120,180\r\n"),
              std::string::npos);

    EXPECT_EQ(f.run({f.fx.project}), 1);
    EXPECT_EQ(f.err, "Activity file not Found\n");
    EXPECT_EQ(f.out, "");

    EXPECT_EQ(f.run({f.acq, "--format", "pie"}), 2);
    EXPECT_NE(f.err.find("--format must be rows, list, warray, charray or histogram, not \"pie\""),
              std::string::npos);
    EXPECT_NE(f.err.find("usage: trelvane-cli report"), std::string::npos);
    EXPECT_EQ(f.run({"--bin", "60"}), 2);
    EXPECT_EQ(f.run({f.acq, "--bin"}), 2);
    EXPECT_EQ(f.run({f.acq, "--std-dev", "--no-std-dev"}), 2);
    EXPECT_EQ(f.run({f.acq, "--basal-minutes", "many"}), 2);
    EXPECT_EQ(f.run({f.acq, "--basal", "/elsewhere/20240315_0600"}), 2);
    EXPECT_EQ(f.run({f.acq, "--basal", "short"}), 2);
    EXPECT_EQ(f.run({f.acq, "--zero-basal", "min"}), 2);
}

TEST(ReportCommand, BasalQuestionsAreAnsweredFromTheOptions) {
    CliFixture f;
    // Without a zero-basal rule the question is answered No: no report.
    EXPECT_EQ(f.run({f.acq, "--bin", "60", "--basal", "20240315_0600"}), 1);
    EXPECT_NE(
        f.err.find("Basal Calculation: Basal acquisition is 180min long, and BinSize=60min. \n\n"
                   "How many minutes do you want to use to calculate Basal Meassurement?\n> 120\n"),
        std::string::npos)
        << f.err;
    EXPECT_NE(f.err.find("You have 1 BASAL WELLS with 0 activity. Proceed anyway??\n"),
              std::string::npos);
    EXPECT_FALSE(fileExists(f.acq + "/report.csv"));

    // Discard, with 90 basal minutes, the basal given as a sibling path.
    EXPECT_EQ(f.run({f.acq, "--bin", "60", "--basal", f.basal, "--basal-minutes", "90",
                     "--zero-basal", "discard"}),
              0)
        << f.err;
    EXPECT_NE(f.err.find("> 90\n"), std::string::npos);
    EXPECT_NE(
        f.err.find(
            "ERROR in 1 BASAL channels.\nChannels were discarded and transferred to Free Group\n"),
        std::string::npos);
    const std::string text = f.fx.dir.read("p00003/20240315_0930/report.csv");
    EXPECT_NE(text.find("\"TIME0(BASAL MEASSURE):\",\"20240315_0600\""), std::string::npos);
    EXPECT_NE(text.find("B2,\"999_Free\",100,-999,-999,-999\r\n"), std::string::npos);

    // Maximum: B2's largest bin is its basal.
    EXPECT_EQ(f.run({f.acq, "--bin", "60", "--basal", "20240315_0600", "--zero-basal", "max"}), 0)
        << f.err;
    EXPECT_NE(f.fx.dir.read("p00003/20240315_0930/report.csv").find("\nB2,\"001_Dose\",100,"),
              std::string::npos);

    // Minutes outside the basal: the range reminder is not answered.
    EXPECT_EQ(f.run({f.acq, "--bin", "60", "--basal", "20240315_0600", "--basal-minutes", "500",
                     "--zero-basal", "max"}),
              1);
    EXPECT_NE(f.err.find("Basal Calculation: Enter a value between 60 and 180\n"),
              std::string::npos);
}

} // namespace
} // namespace trv
