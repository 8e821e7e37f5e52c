#include "app/cli/CliArgs.h"

#include "common/Files.h"
#include "common/Numeric.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace trv::cli {

namespace {

// The name shown in messages: the long form of "-b,--bin".
std::string displayName(const std::string& names) {
    const auto comma = names.rfind(',');
    return comma == std::string::npos ? names : names.substr(comma + 1);
}

} // namespace

long long wholeNumber(const std::string& option, const std::string& text, long long min,
                      long long max) {
    long long v = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || res.ec != std::errc() || res.ptr != text.data() + text.size())
        throw UsageError(option + " must be a whole number, not \"" + text + "\"");
    if (v < min || v > max)
        throw UsageError(option + " must be between " + std::to_string(min) + " and " +
                         std::to_string(max) + ", not " + text);
    return v;
}

double realNumber(const std::string& option, const std::string& text, double min, double max) {
    const std::string point = commaAsPoint(text);
    if (!isNumber(point)) throw UsageError(option + " must be a number, not \"" + text + "\"");
    const double v = leadingNumber(point);
    if (!std::isfinite(v) || v < min || v > max)
        throw UsageError(option + " must be between " + plainReal(min) + " and " + plainReal(max) +
                         ", not " + text);
    return v;
}

CLI::Option* addWholeNumber(CLI::App& cmd, const std::string& names, long long& target,
                            long long min, long long max, const std::string& help) {
    const std::string name = displayName(names);
    return cmd
        .add_option_function<std::string>(
            names,
            [&target, name, min, max](const std::string& text) {
                target = wholeNumber(name, text, min, max);
            },
            help)
        ->type_name("INT");
}

CLI::Option* addWholeNumber(CLI::App& cmd, const std::string& names, int& target, long long min,
                            long long max, const std::string& help) {
    const std::string name = displayName(names);
    return cmd
        .add_option_function<std::string>(
            names,
            [&target, name, min, max](const std::string& text) {
                target = static_cast<int>(wholeNumber(name, text, min, max));
            },
            help)
        ->type_name("INT");
}

CLI::Option* addRealNumber(CLI::App& cmd, const std::string& names, double& target, double min,
                           double max, const std::string& help) {
    const std::string name = displayName(names);
    return cmd
        .add_option_function<std::string>(
            names,
            [&target, name, min, max](const std::string& text) {
                target = realNumber(name, text, min, max);
            },
            help)
        ->type_name("NUM");
}

CLI::Option* addChoice(CLI::App& cmd, const std::string& names, std::string& target,
                       const std::vector<std::string>& choices, const std::string& help) {
    const std::string name = displayName(names);
    std::string list;
    for (size_t i = 0; i < choices.size(); ++i)
        list += (i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ") + choices[i];
    return cmd
        .add_option_function<std::string>(
            names,
            [&target, name, choices, list](const std::string& text) {
                for (const std::string& c : choices)
                    if (c == text) {
                        target = text;
                        return;
                    }
                throw UsageError(name + " must be " + list + ", not \"" + text + "\"");
            },
            help)
        ->type_name(CLI::detail::join(choices, "|"));
}

CLI::Option* addBinSize(CLI::App& cmd, int& target, const std::string& help) {
    return addWholeNumber(cmd, "--bin", target, 1, 32767, help)->type_name("MIN");
}

void addOnOff(CLI::App& cmd, const std::string& name, bool& target, const std::string& help) {
    CLI::Option* on = cmd.add_flag_callback(
        "--" + name, [&target] { target = true; }, help);
    CLI::Option* off = cmd.add_flag_callback(
        "--no-" + name, [&target] { target = false; }, "leave out what --" + name + " adds");
    on->excludes(off);
}

CLI::Option* addAcquisition(CLI::App& cmd, std::string& target, const std::string& help) {
    return cmd
        .add_option_function<std::string>(
            "ACQFOLDER", [&target](const std::string& text) { target = cleanPath(text); }, help)
        ->required()
        ->type_name("");
}

CLI::Option* addOutputFolder(CLI::App& cmd, std::string& target, const std::string& help) {
    return cmd
        .add_option_function<std::string>(
            "-o,--output",
            [&target](const std::string& text) {
                if (text.empty()) throw UsageError("--output needs a folder");
                target = cleanPath(text);
            },
            help)
        ->type_name("FOLDER");
}

bool makeOutputFolder(const Context& c, const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (folderExists(folder)) return true;
    c.err << c.name << ": cannot make the output folder " << folder
          << (ec ? ": " + ec.message() : std::string()) << "\n";
    return false;
}

std::string cleanPath(const std::string& p) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path abs = fs::absolute(fs::path(p), ec);
    if (ec) abs = fs::path(p);
    std::string s = abs.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

} // namespace trv::cli
