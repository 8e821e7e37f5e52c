#include "reports/AcquisitionFixture.h"
#include "reports/ReportCommand.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace trv {
namespace {

// A project with a 3-hour acquisition and a 3-hour basal whose well B2 never
// moved.
struct CliFixture {
    test::AcquisitionFixture fx;
    std::string acq, basal;
    CliFixture() {
        acq = fx.acquisition("20240315_0930", "Dose test 2");
        basal = fx.acquisition("20240315_0600", "Basal");
        std::vector<int32_t> minutes;
        for (int i = 0; i <= 360; ++i) minutes.push_back(i / 2);
        test::AcquisitionFixture::writeCounts(
            acq, minutes, [](int ch, int i) { return test::sixWellChannel(ch) ? 1 + (i + ch) % 5 : 0; },
            [](int) { return 250; });
        test::AcquisitionFixture::writeCounts(
            basal, minutes, [](int ch, int) { return test::sixWellChannel(ch) && ch != 3 ? 2 : 0; },
            [](int) { return 0; });
    }
    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return runReportCommand(args, fx.program, out, err);
    }
    std::ostringstream out, err;
};

TEST(ReportCommand, WritesAndPrintsThePath) {
    CliFixture f;
    EXPECT_EQ(f.run({f.acq + "/", "--bin", "60", "--separator=;", "--format", "list", "--std-dev"}), 0)
        << f.err.str();
    EXPECT_EQ(f.out.str(), f.acq + "/report.csv\n");
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
    EXPECT_EQ(f.run({f.acq, "--type", "txt", "--no-std-error", "--no-n", "--output", out, "--bin", "30"}), 0)
        << f.err.str();
    EXPECT_EQ(f.out.str(), out + "/report.txt\n");
    const std::string txt = f.fx.dir.read("out/report.txt");
    EXPECT_NE(txt.find("Group/Time[m] 30 60 90 120 150 180\r\n"), std::string::npos);
    EXPECT_EQ(txt.find("Standard Error"), std::string::npos);
    EXPECT_EQ(txt.find("Number of wells"), std::string::npos);
}

TEST(ReportCommand, FailuresGoToTheErrorStream) {
    CliFixture f;
    EXPECT_EQ(f.run({f.fx.project}), 1);
    EXPECT_EQ(f.err.str(), "Activity file not Found\n");
    EXPECT_EQ(f.out.str(), "");

    EXPECT_EQ(f.run({f.acq, "--format", "pie"}), 2);
    EXPECT_NE(f.err.str().find("unknown format: pie"), std::string::npos);
    EXPECT_NE(f.err.str().find("usage: trelvane-cli report"), std::string::npos);
    EXPECT_EQ(f.run({"--bin", "60"}), 2);
    EXPECT_EQ(f.run({f.acq, "--bin"}), 2);
    EXPECT_EQ(f.run({f.acq, "--output", f.fx.dir / "none"}), 2);
    EXPECT_EQ(f.run({f.acq, "--basal", "/elsewhere/20240315_0600"}), 2);
    EXPECT_EQ(f.run({f.acq, "--basal", "short"}), 2);
    EXPECT_EQ(f.run({f.acq, "--zero-basal", "min"}), 2);
}

TEST(ReportCommand, BasalQuestionsAreAnsweredFromTheOptions) {
    CliFixture f;
    // Without a zero-basal rule the question is answered No: no report.
    EXPECT_EQ(f.run({f.acq, "--bin", "60", "--basal", "20240315_0600"}), 1);
    EXPECT_NE(f.err.str().find("Basal Calculation: Basal acquisition is 180min long, and BinSize=60min. \n\n"
                               "How many minutes do you want to use to calculate Basal Meassurement?\n> 120\n"),
              std::string::npos)
        << f.err.str();
    EXPECT_NE(f.err.str().find("You have 1 BASAL WELLS with 0 activity. Proceed anyway??\n"), std::string::npos);
    EXPECT_FALSE(fileExists(f.acq + "/report.csv"));

    // Discard, with 90 basal minutes, the basal given as a sibling path.
    EXPECT_EQ(f.run({f.acq, "--bin", "60", "--basal", f.basal, "--basal-minutes", "90", "--zero-basal", "discard"}),
              0)
        << f.err.str();
    EXPECT_NE(f.err.str().find("> 90\n"), std::string::npos);
    EXPECT_NE(f.err.str().find("ERROR in 1 BASAL channels.\nChannels were discarded and transferred to Free Group\n"),
              std::string::npos);
    const std::string text = f.fx.dir.read("p00003/20240315_0930/report.csv");
    EXPECT_NE(text.find("\"TIME0(BASAL MEASSURE):\",\"20240315_0600\""), std::string::npos);
    EXPECT_NE(text.find("B2,\"999_Free\",100,-999,-999,-999\r\n"), std::string::npos);

    // Maximum: B2's largest bin is its basal.
    EXPECT_EQ(f.run({f.acq, "--bin", "60", "--basal", "20240315_0600", "--zero-basal", "max"}), 0) << f.err.str();
    EXPECT_NE(f.fx.dir.read("p00003/20240315_0930/report.csv").find("\nB2,\"001_Dose\",100,"), std::string::npos);

    // Minutes outside the basal: the range reminder is not answered.
    EXPECT_EQ(f.run({f.acq, "--bin", "60", "--basal", "20240315_0600", "--basal-minutes", "500",
                     "--zero-basal", "max"}),
              1);
    EXPECT_NE(f.err.str().find("Basal Calculation: Enter a value between 60 and 180\n"), std::string::npos);
}

// The program itself: the path on stdout, exit status 0; a missing
// activity file gives its message on stderr and a non-zero status.
std::string runProgram(const std::vector<std::string>& args, const std::string& home, int& status) {
    std::vector<std::string> all = {std::string(TRELVANE_BINARY_DIR) + "/trelvane-cli"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envText = {"TRELVANE_HOME=" + home, "LANG=C"};
    std::vector<char*> envp;
    for (auto& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);
    int fds[2];
    if (::pipe(fds) != 0) return "";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string output;
    char buf[4096];
    for (ssize_t n; rc == 0 && (n = ::read(fds[0], buf, sizeof buf)) > 0;) output.append(buf, static_cast<size_t>(n));
    ::close(fds[0]);
    status = -1;
    if (rc == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) status = WEXITSTATUS(status);
    return output;
}

TEST(ReportCommand, TheProgram) {
    CliFixture f;
    int status = -1;
    std::string output = runProgram({"report", f.acq, "--bin", "60"}, f.fx.program, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output, f.acq + "/report.csv\n");
    // LANG=C: the list separator is a comma.
    EXPECT_NE(f.fx.dir.read("p00003/20240315_0930/report.csv").find("Group/Time[m],60,120,180\r\n"),
              std::string::npos);
    output = runProgram({"report", f.fx.project}, f.fx.program, status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(output, "Activity file not Found\n");
    runProgram({"nothing"}, f.fx.program, status);
    EXPECT_EQ(status, 2);
}

} // namespace
} // namespace trv
