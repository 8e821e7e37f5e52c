// trelvane-cli: headless work on stored acquisitions. The first argument
// names the command; the rest belongs to it. Each command registers itself
// from its own cmd_<name>.cpp (see CliCommands.h).
#include "app/cli/CliCommands.h"
#include "common/Files.h"
#include "common/RunLog.h"
#include "store/ConfigFile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <utility>

namespace trv::cli {

namespace {

std::vector<RegisteredCommand>& registry() {
    static std::vector<RegisteredCommand> commands;
    return commands;
}

} // namespace

CommandRegistration::CommandRegistration(const char* name, const char* summary, SetUp setUp) {
    registry().push_back({name, summary, setUp});
}

std::vector<RegisteredCommand> registeredCommands() {
    std::vector<RegisteredCommand> all = registry();
    std::sort(all.begin(), all.end(), [](const RegisteredCommand& a, const RegisteredCommand& b) {
        return std::strcmp(a.name, b.name) < 0;
    });
    return all;
}

} // namespace trv::cli

namespace {

using namespace trv::cli;

constexpr const char* kProgram = "trelvane-cli";

// The command being parsed (the last one CLI11 selected), else the program.
const CLI::App* selected(const CLI::App& app) {
    const auto subs = app.get_subcommands();
    return subs.empty() ? &app : subs.back();
}

std::string commandName(const CLI::App& app, const CLI::App* cmd) {
    return cmd == &app ? std::string(kProgram) : std::string(kProgram) + " " + cmd->get_name();
}

// Help as GNU programs print it: the usage line first, then what the
// command does, then its options.
class GnuFormatter : public CLI::Formatter {
  public:
    std::string make_help(const CLI::App* app, std::string name,
                          CLI::AppFormatMode mode) const override {
        if (mode == CLI::AppFormatMode::Sub) return make_expanded(app);
        std::string text = make_usage(app, name);
        if (!app->get_description().empty()) text += app->get_description() + "\n";
        return text + make_positionals(app) + make_groups(app, mode) + make_subcommands(app, mode) +
               "\n" + make_footer(app);
    }
};

std::shared_ptr<CLI::Formatter> makeFormatter() {
    auto f = std::make_shared<GnuFormatter>();
    f->label("Usage", "usage");
    f->label("SUBCOMMAND", "COMMAND");
    f->column_width(24);
    return f;
}

const std::shared_ptr<CLI::Formatter> formatter = makeFormatter();

// A parsing mistake: what is wrong, the usage line, where the help is.
int usageFailure(const CLI::App& app, const std::string& what) {
    const CLI::App* cmd = selected(app);
    const std::string name = commandName(app, cmd);
    std::cerr << name << ": " << what << "\n"
              << formatter->make_usage(cmd, name) << "Try '" << name
              << " --help' for more information.\n";
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app("Batch work on stored acquisitions of the activity reader: reports, "
                 "reprocessing, exports.",
                 kProgram);
    app.set_version_flag("--version", std::string(kProgram) + " " + TRELVANE_VERSION,
                         "print the version and exit");
    app.require_subcommand(1);
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::Throw);
    app.formatter(formatter);
    std::vector<std::pair<CLI::App*, Runner>> runners;
    for (const RegisteredCommand& c : registeredCommands()) {
        CLI::App* cmd = app.add_subcommand(c.name, c.summary);
        cmd->group("Commands");
        runners.emplace_back(cmd, c.setUp(*cmd));
    }
    app.footer("Run 'trelvane-cli COMMAND --help' for the options of a command.");

    // "help [COMMAND]" is "[COMMAND] --help".
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args.front() == "help") {
        args.erase(args.begin());
        if (args.size() > 1) args.resize(1);
        args.push_back("--help");
    }
    if (!args.empty() && args.front().rfind('-', 0) != 0 &&
        std::as_const(app)
            .get_subcommands([&](const CLI::App* c) { return c->check_name(args.front()); })
            .empty())
        return usageFailure(app, "unknown command \"" + args.front() + "\"");

    std::reverse(args.begin(), args.end()); // CLI11 takes them last first
    try {
        app.parse(args);
        for (auto& [cmd, run] : runners) {
            if (!cmd->parsed()) continue;
            // A program folder named by $TRELVANE_HOME must exist: a mistyped
            // name would otherwise become a new, empty program folder. Only
            // make-demo is asked to make one.
            const char* home = std::getenv("TRELVANE_HOME");
            if (home && *home && cmd->get_name() != "make-demo" && !trv::folderExists(home)) {
                std::cerr << commandName(app, cmd) << ": no program folder " << home
                          << " ($TRELVANE_HOME)\n";
                return kExitFailure;
            }
            // The tools write to the program folder's run log too.
            trv::runlog::open(trv::programFolder(), kProgram);
            trv::runlog::info(cmd->get_name() + " started");
            const Context context{std::cout, std::cerr, commandName(app, cmd)};
            const int code = run(context);
            trv::runlog::info(cmd->get_name() + " ended with exit code " + std::to_string(code));
            std::cout.flush();
            return code != kExitOk ? code : std::cout ? kExitOk : kExitFailure;
        }
        return usageFailure(app, "no command given");
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return kExitOk;
    } catch (const CLI::CallForVersion& e) {
        std::cout << e.what() << "\n";
        return kExitOk;
    } catch (const CLI::RequiredError& e) {
        if (selected(app) == &app) return usageFailure(app, "no command given");
        return usageFailure(app, e.what());
    } catch (const CLI::ParseError& e) {
        return usageFailure(app, e.what());
    } catch (const std::bad_alloc&) {
        trv::runlog::error(commandName(app, selected(app)) + ": out of memory");
        std::cerr << commandName(app, selected(app))
                  << ": not enough memory for this work; nothing more was written\n";
        return kExitFailure;
    } catch (const std::exception& e) {
        std::cerr << commandName(app, selected(app)) << ": failed: " << e.what() << "\n";
        return kExitFailure;
    } catch (...) {
        std::cerr << commandName(app, selected(app)) << ": failed\n";
        return kExitFailure;
    }
}
