// The commands of trelvane-cli.
//
// Adding a command takes one file, src/app/cli/cmd_<name>.cpp (the build
// picks it up), which registers itself:
//
//     namespace trv::cli {
//     namespace {
//     Runner setUp(CLI::App& cmd) {
//         auto o = std::make_shared<MyOptions>();
//         addAcquisition(cmd, o->acquisition);
//         addBinSize(cmd, o->bin, "bin size in minutes");
//         cmd.add_flag("--verbose", o->verbose, "say more");
//         return [o](const Context& c) {
//             ...                                 // the work
//             return kExitOk;                     // or kExitFailure
//         };
//     }
//     const CommandRegistration reg{"my-command", "one line for the command list", setUp};
//     } // namespace
//     } // namespace trv::cli
//
// setUp declares the options on the command's own CLI11 App (its --help is
// made from them); the shared helpers of CliArgs.h give every command the
// same number checks and messages. The runner runs after parsing:
// - results on c.out, every message on c.err;
// - return kExitOk or kExitFailure; throw UsageError for an argument
//   mistake found late (a combination of options), which exits with
//   kExitUsage like a parsing error;
// - exceptions (std::bad_alloc included) are caught by the dispatcher,
//   reported on stderr and exit with kExitFailure;
// - long loops take a StopFlag and a Progress (CliProgress.h) so Ctrl-C
//   stops them cleanly and a terminal shows how far they are.
// Tests run the built program (tests/cli/CliRun.h).
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <ostream>
#include <string>

namespace trv::cli {

// Exit codes shared by every command.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1; // a file could not be read or written, data out of range
constexpr int kExitUsage = 2;   // bad arguments

// What a running command writes to.
struct Context {
    std::ostream& out; // results (paths written, counts)
    std::ostream& err; // messages, warnings, progress
    std::string name;  // "trelvane-cli <command>", the prefix of its messages
};

// An argument mistake found after parsing; exits with kExitUsage.
using UsageError = CLI::ValidationError;

using Runner = std::function<int(const Context&)>;
using SetUp = Runner (*)(CLI::App& command);

// Registers a command at program start (a static object in its cmd_ file).
struct CommandRegistration {
    CommandRegistration(const char* name, const char* summary, SetUp setUp);
};

struct RegisteredCommand {
    const char* name;
    const char* summary;
    SetUp setUp;
};

// Every registered command, sorted by name.
std::vector<RegisteredCommand> registeredCommands();

} // namespace trv::cli
