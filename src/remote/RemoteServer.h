// The remote view's web server: read-only pages and data of the running
// acquisition, for the holder of the token only. GET and HEAD on a fixed set
// of routes; no file is ever served by a name from a request. At most
// kThreads requests are served at once (more wait for a free thread), reads
// and writes time out after 5 s and requests are bounded in size, so a slow
// or hostile client holds neither a thread nor memory for long. The server
// reads only the published snapshots and never blocks the acquisition.
#pragma once

#include "remote/Lockout.h"
#include "remote/RemoteConfig.h"
#include "remote/RunSnapshot.h"

#include <memory>
#include <string>
#include <thread>

namespace trv::remote {

class RemoteServer {
  public:
    static constexpr int kThreads = 16;
    static constexpr int kTimeoutSeconds = 5;
    static constexpr int kIdleSeconds = 2;
    static constexpr size_t kMaxBody = 1024;
    static constexpr size_t kMaxHeaders = 64;
    static constexpr size_t kMaxBlocksPerAnswer = 2000;
    static constexpr const char* kCookie = "trelvane_token";

    // The token must be a valid one (see loadOrCreateToken); logPath is the
    // run log whose last lines the page shows (may be empty).
    RemoteServer(const SnapshotBoard& board, RemoteConfig config, std::string token,
                 std::string logPath);
    ~RemoteServer();
    RemoteServer(const RemoteServer&) = delete;
    RemoteServer& operator=(const RemoteServer&) = delete;

    // Checks the settings, binds and serves on a thread of its own. Empty
    // when it serves, otherwise why not (the message to show). Port 0 takes
    // any free port (see port()).
    std::string start();
    void stop();
    bool running() const;
    int port() const { return port_; }
    // "http(s)://address:port"
    std::string baseAddress() const;

    // Answers, for the routes and the measurements.
    std::string statusJson() const;
    std::string blocksJson(int32_t since) const;
    std::string metricsText() const;

  private:
    struct Impl;
    const SnapshotBoard& board_;
    RemoteConfig config_;
    std::string token_;
    std::string logPath_;
    Lockout lockout_;
    std::unique_ptr<Impl> impl_;
    std::thread thread_;
    int port_ = 0;
};

// The last lines of a text file (at most maxLines, from its last 64 KB).
std::vector<std::string> lastLines(const std::string& path, size_t maxLines);
// A text as a JSON string (quoted); invalid UTF-8 becomes U+FFFD.
std::string jsonString(std::string_view text);

} // namespace trv::remote
