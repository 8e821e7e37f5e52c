// The trelvane-sim program: starts, answers a client that only knows the
// wire, and stops cleanly on SIGTERM, removing its link.
#include "RawLink.h"
#include "TestPaths.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
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
                            "--paced", "--factory", "--silent-after", "--probe-answer", "--short",
                            "--bad-high", "--wrong-ack", "--unstable-register"})
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

TEST(SimProgram, FaultsFromTheCommandLine) {
    using Bytes = std::vector<uint8_t>;
    const Bytes sample{0xFF, 0x00, 0x30, 0x00, 0xF0};
    const Bytes write5{0xFF, 0x80, 0x05, 0x07, 0xF0};
    const Bytes read5{0xFF, 0x00, 0x20, 0x05, 0xF0};
    struct Case {
        std::vector<std::string> option;
        Bytes request;
        size_t replyBytes;
        // The first reply and the one after it, as the fault shapes them.
        std::function<bool(const Bytes& first, const Bytes& second)> faulty;
    };
    const Case cases[] = {
        {{"--short", "1,10"},
         sample,
         192,
         [](const Bytes& a, const Bytes& b) { return a.size() == 10 && b.size() == 192; }},
        {{"--short", "1"},
         sample,
         192,
         [](const Bytes& a, const Bytes& b) { return a.size() == 191 && b.size() == 192; }},
        {{"--bad-high", "1"},
         sample,
         192,
         [](const Bytes& a, const Bytes& b) {
             return a.size() == 192 && a[0] > 15 && b.size() == 192 && b[0] <= 15;
         }},
        {{"--wrong-ack", "1"},
         write5,
         2,
         [](const Bytes& a, const Bytes& b) {
             return a.size() == 2 && a[0] != 5 && b == Bytes{5, 7};
         }},
        {{"--unstable-register", "5"},
         read5,
         2,
         [](const Bytes& a, const Bytes& b) { return a.size() == 2 && b.size() == 2 && a != b; }},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::vector<std::string> args{"--port", "2", "--quiet"};
        args.insert(args.end(), c.option.begin(), c.option.end());
        const pid_t pid = spawnSim(args, dir.path());
        ASSERT_GT(pid, 0);
        const std::string link = dir / "COM2";
        for (int i = 0; i < 500 && !exists(link); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(exists(link)) << c.option[0];
        {
            RawLink client(link);
            ASSERT_TRUE(client.ok());
            const Bytes first = client.exchange(c.request, c.replyBytes, 300);
            const Bytes second = client.exchange(c.request, c.replyBytes, 1000);
            EXPECT_TRUE(c.faulty(first, second)) << c.option[0] << " " << first.size();
        }
        ::kill(pid, SIGTERM);
        EXPECT_EQ(waitExit(pid, 5000), 0);
    }
    // A fault option without its value is refused.
    TempDir dir;
    const pid_t bad = spawnSim({"--short", "x"}, dir.path());
    ASSERT_GT(bad, 0);
    EXPECT_EQ(waitExit(bad, 5000), 2);
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
