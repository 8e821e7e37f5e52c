// Opening files for the user through an opener program: its verdict, and no
// child left behind as a zombie whatever the opener does.
#include "common/Desktop.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <sys/wait.h>
#include <thread>

namespace trv {
namespace {

// True when this process has no child at all, ended or running. WNOWAIT
// leaves a child that has ended as it is, so the check reaps nothing itself.
bool noChildLeft(int withinMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(withinMs);
    for (;;) {
        siginfo_t info{};
        if (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD)
            return true;
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

TEST(SystemDesktop, TheOpenersVerdictAndNoZombies) {
    struct Case {
        const char* opener;
        const char* argument;
        bool opened;
    };
    // "sleep 1" stands for a viewer still showing the file when the verdict
    // is due; "false" for xdg-open without an application for it.
    const Case cases[] = {{"true", "/tmp/report.csv", true},
                          {"false", "/tmp/report.csv", false},
                          {"trelvane-no-such-opener", "/tmp/report.csv", false},
                          {"sleep", "1", true}};
    for (const Case& c : cases) {
        SystemDesktop desktop(c.opener, 300);
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(desktop.openDocument(c.argument), c.opened) << c.opener;
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(900))
            << c.opener;
        EXPECT_TRUE(noChildLeft(3000)) << c.opener;
    }
}

} // namespace
} // namespace trv
