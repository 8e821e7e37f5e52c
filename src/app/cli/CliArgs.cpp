#include "app/cli/CliArgs.h"

#include "common/Files.h"
#include "common/Numeric.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace trv::cli {

std::optional<CliArgs> CliArgs::parse(const std::vector<std::string>& args,
                                      const std::set<std::string>& valueOptions,
                                      const std::set<std::string>& flagOptions,
                                      std::string& error) {
    CliArgs out;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 3 || a.compare(0, 2, "--") != 0) {
            out.positional_.push_back(a);
            continue;
        }
        std::string name = a.substr(2);
        std::optional<std::string> value;
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.erase(eq);
        }
        if (flagOptions.count(name)) {
            if (value) {
                error = "option --" + name + " takes no value";
                return std::nullopt;
            }
            out.flags_.insert(name);
            continue;
        }
        if (!valueOptions.count(name)) {
            error = "unknown option --" + name;
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = "option --" + name + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (out.values_.count(name)) {
            error = "option --" + name + " is given twice";
            return std::nullopt;
        }
        out.values_[name] = *value;
    }
    return out;
}

bool CliArgs::integer(const std::string& name, long long min, long long max, long long& out,
                      std::string& error, std::optional<long long> fallback) const {
    const auto it = values_.find(name);
    if (it == values_.end()) {
        if (fallback) {
            out = *fallback;
            return true;
        }
        error = "option --" + name + " is required";
        return false;
    }
    const std::string& text = it->second;
    long long v = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size()) {
        error = "--" + name + " must be a whole number, not \"" + text + "\"";
        return false;
    }
    if (v < min || v > max) {
        error = "--" + name + " must be between " + std::to_string(min) + " and " +
                std::to_string(max) + ", not " + text;
        return false;
    }
    out = v;
    return true;
}

bool CliArgs::real(const std::string& name, double min, double max, double& out, std::string& error,
                   std::optional<double> fallback) const {
    const auto it = values_.find(name);
    if (it == values_.end()) {
        if (fallback) {
            out = *fallback;
            return true;
        }
        error = "option --" + name + " is required";
        return false;
    }
    const std::string text = commaAsPoint(it->second);
    if (!isNumber(text)) {
        error = "--" + name + " must be a number, not \"" + it->second + "\"";
        return false;
    }
    const double v = leadingNumber(text);
    if (!std::isfinite(v) || v < min || v > max) {
        error = "--" + name + " must be between " + plainReal(min) + " and " + plainReal(max) +
                ", not " + it->second;
        return false;
    }
    out = v;
    return true;
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

std::string programFolder() {
    const char* home = std::getenv("TRELVANE_HOME");
    return home && *home ? std::string(home) : executableFolder();
}

} // namespace trv::cli
