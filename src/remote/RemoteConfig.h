// The remote view's settings and its secret: remote.conf (key = value lines)
// and remote.token (the access token, readable by the owner only), both in
// the program folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trv::remote {

inline constexpr const char* kConfigFileName = "remote.conf";
inline constexpr const char* kTokenFileName = "remote.token";

struct RemoteConfig {
    bool enabled = false;
    std::string address = "127.0.0.1";
    int port = 8384;              // 0: any free port
    std::string tls_certificate; // PEM files; both set means TLS
    std::string tls_key;
    bool allow_plain_http = false; // plain HTTP on a non-loopback address
    std::string alert_command;     // program and arguments, never run by a shell

    bool tls() const { return !tls_certificate.empty() && !tls_key.empty(); }
    bool operator==(const RemoteConfig&) const = default;
};

// remote.conf read from a text: unknown keys and bad values are skipped
// (their defaults stay), each named in `problems` when given.
RemoteConfig parseConfig(std::string_view text, std::vector<std::string>* problems = nullptr);
std::string configText(const RemoteConfig& c);
// From the program folder; the defaults (off) when the file is missing.
RemoteConfig readConfig(const std::string& programFolder,
                        std::vector<std::string>* problems = nullptr);
bool writeConfig(const std::string& programFolder, const RemoteConfig& c);

// The words of alert_command: split at blanks, a double-quoted part may hold
// blanks. Nothing is expanded: this is the argument vector as written.
std::vector<std::string> commandWords(std::string_view command);

// True for addresses only this computer can reach (127.0.0.0/8, ::1,
// "localhost").
bool isLoopback(const std::string& address);

// Why the server must not start with these settings; empty when it may.
std::string startRefusal(const RemoteConfig& c);

// --- The token ------------------------------------------------------------------

// 32 bytes from the system's random source, base64url without padding
// (43 characters). Empty when the random source fails.
std::string newToken();
std::string base64url(const uint8_t* data, size_t size);
// The token of remote.token; a new one is written (mode 0600) when the file
// is missing or holds no valid token. Empty when none can be made or kept.
std::string loadOrCreateToken(const std::string& programFolder);
// Replaces the token with a new one (0600); the new token, or empty.
std::string replaceToken(const std::string& programFolder);
// A token as remote.token holds it: 43 base64url characters.
bool isTokenText(std::string_view text);
// Compares in a time that depends only on the lengths, never on where the
// texts first differ.
bool sameToken(std::string_view a, std::string_view b);

} // namespace trv::remote
