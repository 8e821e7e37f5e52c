// trelvane-cli sleep: the files it writes (and nothing else in the folder),
// argument mistakes (exit 2) and unreadable acquisitions (exit 1).
#include "cli/CliRun.h"
#include "common/Files.h"
#include "reports/AcquisitionFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace trv {
namespace {

struct SleepCommand : ::testing::Test {
    test::AcquisitionFixture fx;
    test::TempDir io;
    std::string acq;
    CliResult r;

    // Two records a minute for 3 hours from 19:00; a well of group Control
    // sleeps 20:00 to 20:30.
    void SetUp() override {
        acq = fx.acquisition("20240315_1900", "Night");
        std::vector<int32_t> minutes;
        for (int i = 0; i < 360; ++i)
            minutes.push_back(i / 2);
        test::AcquisitionFixture::writeCounts(
            acq, minutes,
            [](int ch, int i) { return ch == 1 && i >= 120 && i < 180 ? 0 : (ch + i) % 3 + 1; },
            [](int) { return 240; });
    }
    int run(std::vector<std::string> args) {
        args.insert(args.begin(), {"sleep", acq});
        r = runCli(io, fx.program, args);
        return r.exitCode;
    }
};

TEST_F(SleepCommand, WritesItsFourFilesAndTouchesNothingElse) {
    const std::vector<std::string> before = listFiles(acq);
    ASSERT_EQ(run({"--light-on", "8", "--light-off", "20", "--separator", ";"}), 0) << r.err;
    const std::vector<std::string> names = {"sleep_wells.csv", "sleep_groups.csv",
                                            "sleep_settings.txt", "sleep_profile.svg"};
    std::string printed;
    for (const std::string& n : names)
        printed += joinPath(acq, n) + "\n";
    EXPECT_EQ(r.out, printed);
    std::vector<std::string> after = listFiles(acq);
    for (const std::string& n : names)
        std::erase(after, n);
    EXPECT_EQ(after, before);

    const std::string wells = readWholeFile(joinPath(acq, "sleep_wells.csv")).value_or("");
    // B1 (well 1) sleeps the first 30 minutes of the dark.
    EXPECT_NE(wells.find("\r\n1;B1;Control;dark 1;2024-03-15 20:00;120;30;1;30.000;0;"),
              std::string::npos)
        << wells;
    EXPECT_NE(wells.find("\r\n4;A3;;light 1;2024-03-15 19:00;60;0;0;;;"), std::string::npos);
    const std::string settings = readWholeFile(joinPath(acq, "sleep_settings.txt")).value_or("");
    EXPECT_NE(settings.find("on at 08, off at 20 (given for this analysis)"), std::string::npos);
    EXPECT_NE(settings.find("shorter than 24 hours"), std::string::npos);

    // Run again into another folder: the same files.
    const std::string out = fx.dir / "out";
    ASSERT_EQ(run({"--light-on", "8", "--light-off", "20", "--separator", ";", "--output", out}),
              0);
    EXPECT_EQ(readWholeFile(joinPath(out, "sleep_wells.csv")), wells);
}

TEST_F(SleepCommand, ArgumentMistakesExitWithTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {"--bin", "0"},        {"--bin", "1441"},
        {"--threshold", "-1"}, {"--light-on", "24", "--light-off", "8"},
        {"--light-on", "8"},   {"--light-off", "-1"},
        {"--min-bout", "0"},   {"--separator", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(c), 2) << c[0] << " " << c[1];
        EXPECT_NE(r.err, "") << c[0];
    }
    EXPECT_FALSE(fileExists(joinPath(acq, "sleep_wells.csv")));
}

TEST_F(SleepCommand, UnreadableAcquisitionsExitWithOneAndTheReportsMessage) {
    // A record time that goes backwards.
    test::AcquisitionFixture::writeCounts(
        acq, {5}, [](int, int) { return 1; }, [](int) { return 240; });
    EXPECT_EQ(run({}), 1);
    EXPECT_NE(r.err.find("Report Error\n" + acq + "/counts.bin: record 361 has the time 5"),
              std::string::npos)
        << r.err;
    std::remove(joinPath(acq, "counts.bin").c_str());
    EXPECT_EQ(run({}), 1);
    EXPECT_NE(r.err.find("Activity file not Found"), std::string::npos) << r.err;
    EXPECT_FALSE(fileExists(joinPath(acq, "sleep_wells.csv")));
}

} // namespace
} // namespace trv
