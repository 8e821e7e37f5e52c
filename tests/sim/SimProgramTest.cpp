// The trelvane-sim program: starts, answers a client that only knows the
// wire, and stops cleanly on SIGTERM, removing its link.
#include "RawLink.h"
#include "TestPaths.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace trv::test;

namespace {

const std::string kSim = std::string(TRELVANE_BINARY_DIR) + "/trelvane-sim";

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

pid_t spawnSim(const std::vector<std::string>& args, const std::string& comDir) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("TRELVANE_COM_DIR=", 0) != 0) env.emplace_back(*e);
    env.push_back("TRELVANE_COM_DIR=" + comDir);
    std::vector<char*> argv{const_cast<char*>(kSim.c_str())}, envp;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, kSim.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    return pid;
}

// Exit status of the child, or -1 when it did not end in time (then killed).
int waitExit(pid_t pid, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

} // namespace

TEST(SimProgram, HelpListsTheOptions) {
    FILE* p = ::popen((kSim + " --help").c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[256];
    while (size_t n = std::fread(buf, 1, sizeof buf, p))
        out.append(buf, n);
    EXPECT_EQ(::pclose(p), 0);
    for (const char* opt : {"--port", "--link", "--id", "--seed", "--plate", "--organism",
                            "--paced", "--factory", "--silent-after", "--probe-answer"})
        EXPECT_NE(out.find(opt), std::string::npos) << opt;
}

TEST(SimProgram, AnswersOverItsLinkAndRemovesItOnSigterm) {
    TempDir dir;
    const std::string link = dir / "COM4";
    const pid_t pid = spawnSim({"--port", "4", "--id", "120", "--quiet"}, dir.path());
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 500 && !exists(link); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(exists(link)) << "no link after 5 s";
    {
        RawLink client(link);
        ASSERT_TRUE(client.ok());
        EXPECT_EQ(client.exchange({0xFF, 0x00, 0x00, 0x00, 0xF0}, 2),
                  (std::vector<uint8_t>{0, 120}));
        EXPECT_EQ(client.exchange({0xFF, 0x00, 0x30, 0x00, 0xF0}, 192).size(), 192u);
    }
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(waitExit(pid, 5000), 0);
    EXPECT_FALSE(exists(link));
}

TEST(SimProgram, RefusesUnknownOptionsAndALinkPathThatIsNotALink) {
    TempDir dir;
    const pid_t bad = spawnSim({"--bogus"}, dir.path());
    ASSERT_GT(bad, 0);
    EXPECT_EQ(waitExit(bad, 5000), 2);

    dir.write("COM1", "a file the simulator must not replace");
    const pid_t blocked = spawnSim({"--port", "1", "--quiet"}, dir.path());
    ASSERT_GT(blocked, 0);
    EXPECT_EQ(waitExit(blocked, 5000), 1);
    EXPECT_EQ(dir.read("COM1"), "a file the simulator must not replace");
}
