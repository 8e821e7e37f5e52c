// Runs the built trelvane-cli as a program (no shell) for the cli tests.
#pragma once

#include "TestPaths.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace trv {

struct CliResult {
    int exitCode = -1;
    std::string out, err;
};

// Runs a built program (trelvane-cli, trelvane, trelvane-sim) with the given
// arguments and environment (null: this process's), its output captured in
// files of the temporary folder.
inline CliResult runProgramWith(const test::TempDir& dir, const std::string& name,
                                const std::vector<std::string>& args, char** envp) {
    const std::string program = std::string(TRELVANE_BINARY_DIR) + "/" + name;
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string outPath = dir / "cli.out", errPath = dir / "cli.err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    CliResult r;
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp ? envp : environ) ==
        0) {
        int status = 0;
        waitpid(pid, &status, 0);
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    r.out = dir.read("cli.out");
    r.err = dir.read("cli.err");
    return r;
}

inline CliResult runCliWith(const test::TempDir& dir, const std::vector<std::string>& args,
                            char** envp) {
    return runProgramWith(dir, "trelvane-cli", args, envp);
}

inline CliResult runCli(const test::TempDir& dir, const std::vector<std::string>& args) {
    return runCliWith(dir, args, nullptr);
}

// The same with only TRELVANE_HOME (the program folder) and LANG set.
inline CliResult runCli(const test::TempDir& dir, const std::string& home,
                        const std::vector<std::string>& args, const std::string& lang = "C") {
    std::vector<std::string> envText = {"TRELVANE_HOME=" + home, "LANG=" + lang};
    std::vector<char*> envp;
    for (auto& e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    return runCliWith(dir, args, envp.data());
}

} // namespace trv
