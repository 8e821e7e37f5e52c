#include "remote/RemoteConfig.h"

#include "common/Files.h"
#include "store/StoreText.h"

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trv::remote {
namespace {

std::string trimmed(std::string_view s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(b, e - b + 1));
}

std::optional<bool> yesNo(const std::string& v) {
    if (v == "yes" || v == "true" || v == "1" || v == "on") return true;
    if (v == "no" || v == "false" || v == "0" || v == "off") return false;
    return std::nullopt;
}

// Writes a file readable by its owner only, atomically (temporary file with
// mode 0600, flushed, renamed over the target).
bool writePrivateFile(const std::string& path, const std::string& content) {
    const std::string tmp = path + ".tmp";
    ::unlink(tmp.c_str());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, 0600) == 0;
    size_t done = 0;
    while (ok && done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

} // namespace

RemoteConfig parseConfig(std::string_view text, std::vector<std::string>* problems) {
    RemoteConfig c;
    auto problem = [&](const std::string& p) {
        if (problems) problems->push_back(p);
    };
    int number = 0;
    for (const std::string& raw : splitLines(std::string(text))) {
        ++number;
        const std::string line = trimmed(raw);
        if (line.empty() || line[0] == '#') continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            problem("line " + std::to_string(number) + ": no \"=\"");
            continue;
        }
        const std::string key = trimmed(line.substr(0, eq));
        const std::string value = trimmed(line.substr(eq + 1));
        auto flag = [&](bool& target) {
            if (const auto v = yesNo(value)) target = *v;
            else problem(key + ": \"" + value + "\" is not yes or no");
        };
        if (key == "enabled") flag(c.enabled);
        else if (key == "allow_plain_http") flag(c.allow_plain_http);
        else if (key == "address") c.address = value.empty() ? c.address : value;
        else if (key == "tls_certificate") c.tls_certificate = value;
        else if (key == "tls_key") c.tls_key = value;
        else if (key == "alert_command") c.alert_command = value;
        else if (key == "port") {
            char* end = nullptr;
            const long p = std::strtol(value.c_str(), &end, 10);
            if (!value.empty() && end && *end == '\0' && p >= 0 && p <= 65535)
                c.port = static_cast<int>(p);
            else problem("port: \"" + value + "\" is not a port number (0 to 65535, 0 for any free one)");
        } else problem("unknown key \"" + key + "\"");
    }
    return c;
}

std::string configText(const RemoteConfig& c) {
    auto yn = [](bool b) { return b ? "yes" : "no"; };
    std::string t = "# Remote view of the running acquisition (see the README).\n";
    t += "enabled = " + std::string(yn(c.enabled)) + "\n";
    t += "address = " + c.address + "\n";
    t += "port = " + std::to_string(c.port) + "\n";
    t += "tls_certificate = " + c.tls_certificate + "\n";
    t += "tls_key = " + c.tls_key + "\n";
    t += "allow_plain_http = " + std::string(yn(c.allow_plain_http)) + "\n";
    t += "alert_command = " + c.alert_command + "\n";
    return t;
}

RemoteConfig readConfig(const std::string& programFolder, std::vector<std::string>* problems) {
    const auto text = readStoreFile(joinPath(programFolder, kConfigFileName));
    if (!text) return {};
    return parseConfig(*text, problems);
}

bool writeConfig(const std::string& programFolder, const RemoteConfig& c) {
    return writeFileAtomic(joinPath(programFolder, kConfigFileName), configText(c));
}

std::vector<std::string> commandWords(std::string_view command) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (const char ch : command) {
        if (ch == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (ch == ' ' || ch == '\t')) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += ch;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

bool isLoopback(const std::string& address) {
    if (address == "localhost" || address == "::1") return true;
    in_addr a{};
    if (::inet_pton(AF_INET, address.c_str(), &a) == 1) return (ntohl(a.s_addr) >> 24) == 127;
    return false;
}

std::string startRefusal(const RemoteConfig& c) {
    if (c.tls_certificate.empty() != c.tls_key.empty())
        return "Remote view not started: tls_certificate and tls_key must be set together";
    if (!c.tls() && !isLoopback(c.address) && !c.allow_plain_http)
        return "Remote view not started: " + c.address +
               " can be reached from other computers, and plain HTTP would show the token to "
               "the network. Set tls_certificate and tls_key, or allow_plain_http = yes";
    return {};
}

std::string base64url(const uint8_t* data, size_t size) {
    static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    uint32_t acc = 0;
    int bits = 0;
    for (size_t i = 0; i < size; ++i) {
        acc = (acc << 8) | data[i];
        bits += 8;
        while (bits >= 6) {
            bits -= 6;
            out += abc[(acc >> bits) & 63];
        }
    }
    if (bits > 0) out += abc[(acc << (6 - bits)) & 63];
    return out;
}

std::string newToken() {
    uint8_t bytes[32];
    size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return {};
        got += static_cast<size_t>(n);
    }
    return base64url(bytes, sizeof bytes);
}

bool isTokenText(std::string_view text) {
    if (text.size() != 43) return false;
    for (const char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') return false;
    return true;
}

std::string replaceToken(const std::string& programFolder) {
    const std::string token = newToken();
    if (token.empty()) return {};
    return writePrivateFile(joinPath(programFolder, kTokenFileName), token + "\n") ? token
                                                                                   : std::string();
}

std::string loadOrCreateToken(const std::string& programFolder) {
    const std::string path = joinPath(programFolder, kTokenFileName);
    if (const auto text = readWholeFile(path, 4096)) {
        const std::string t = trimmed(*text);
        if (isTokenText(t)) {
            ::chmod(path.c_str(), 0600); // a copied file keeps no wider access
            return t;
        }
    }
    return replaceToken(programFolder);
}

bool sameToken(std::string_view a, std::string_view b) {
    // Every byte of the presented text is looked at whatever the lengths.
    unsigned diff = a.size() == b.size() ? 0u : 1u;
    for (size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i]) ^
                static_cast<unsigned char>(b.empty() ? 0 : b[i % b.size()]);
    return diff == 0;
}

} // namespace trv::remote
