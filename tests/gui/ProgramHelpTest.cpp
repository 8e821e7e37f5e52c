// Every program answers --help and --version, the window program too where
// there is no display.
#include "cli/CliRun.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

TEST(ProgramHelp, EveryProgramAnswersHelpAndVersionWithoutADisplay) {
    test::TempDir io;
    // No DISPLAY, no QT_QPA_PLATFORM: Qt would abort if it started.
    std::vector<std::string> envText = {"PATH=/usr/bin:/bin", "LANG=C"};
    std::vector<char*> envp;
    for (auto& e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    for (const std::string program : {"trelvane", "trelvane-sim", "trelvane-cli"}) {
        const CliResult help = runProgramWith(io, program, {"--help"}, envp.data());
        EXPECT_EQ(help.exitCode, 0) << program << help.err;
        EXPECT_NE(help.out.find("sage: " + program), std::string::npos) << help.out;
        const CliResult version = runProgramWith(io, program, {"--version"}, envp.data());
        EXPECT_EQ(version.exitCode, 0) << program;
        EXPECT_EQ(version.out, program + " " + TRELVANE_VERSION + "\n");
    }
    EXPECT_NE(runProgramWith(io, "trelvane", {"--help"}, envp.data()).out.find("/run"),
              std::string::npos);
    // Started plainly without a display, the window program says in one line
    // how to record headless instead of letting Qt abort.
    const CliResult plain = runProgramWith(io, "trelvane", {}, envp.data());
    EXPECT_EQ(plain.exitCode, 1);
    EXPECT_EQ(plain.err, "trelvane: no display; to record the current project without one, run: "
                         "QT_QPA_PLATFORM=offscreen trelvane /run\n");
}

} // namespace
} // namespace trv
