// Runs the built trelvane-cli (no shell) with TRELVANE_HOME set to a program
// folder; its output goes to files of a temporary folder.
#pragma once

#include "support/TempDir.h"

#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace trv::test {

struct CliResult {
    int status = -1;
    std::string out, err;
};

inline CliResult runCli(const TempDir& dir, const std::string& home,
                        const std::vector<std::string>& args, const std::string& lang = "C") {
    const std::string program = std::string(TRELVANE_BINARY_DIR) + "/trelvane-cli";
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envText = {"TRELVANE_HOME=" + home, "LANG=" + lang};
    std::vector<char*> envp;
    for (auto& e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string outPath = dir / "cli.out", errPath = dir / "cli.err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    CliResult r;
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    r.out = dir.read("cli.out");
    r.err = dir.read("cli.err");
    return r;
}

} // namespace trv::test
