#include "remote/RemoteServer.h"

#include "remote/RemotePage.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <fstream>
#include <mutex>
#include <set>

namespace trv::remote {
namespace {

// The server's workers: a fixed number of threads and a short queue. When
// the queue is full, accepting waits (further connections wait in the
// system's listen queue), so neither threads nor memory grow with clients.
class BoundedPool : public httplib::TaskQueue {
  public:
    BoundedPool(size_t threads, size_t queued) : queued_(queued) {
        for (size_t i = 0; i < threads; ++i)
            threads_.emplace_back([this] { work(); });
    }
    void enqueue(std::function<void()> fn) override {
        std::unique_lock lock(mutex_);
        room_.wait(lock, [&] { return jobs_.size() < queued_ || shutdown_; });
        jobs_.push_back(std::move(fn));
        ready_.notify_one();
    }
    void shutdown() override {
        {
            std::lock_guard lock(mutex_);
            shutdown_ = true;
        }
        ready_.notify_all();
        room_.notify_all();
        for (auto& t : threads_)
            t.join();
    }

  private:
    void work() {
        for (;;) {
            std::function<void()> fn;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [&] { return !jobs_.empty() || shutdown_; });
                if (jobs_.empty()) return;
                fn = std::move(jobs_.front());
                jobs_.pop_front();
                room_.notify_one();
            }
            fn();
        }
    }
    const size_t queued_;
    std::mutex mutex_;
    std::condition_variable ready_, room_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> threads_;
    bool shutdown_ = false;
};

const std::set<std::string> kRoutes = {"/",       "/login",   "/api/status", "/api/blocks",
                                       "/metrics", "/app.js", "/app.css"};

void securityHeaders(httplib::Response& res) {
    res.set_header("Content-Security-Policy",
                   "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
                   "img-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("X-Frame-Options", "DENY");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("Cache-Control", "no-store");
}

void plain(httplib::Response& res, int status, const std::string& text) {
    res.status = status;
    res.set_content(text + "\n", "text/plain; charset=utf-8");
}

// The token presented: "Authorization: Bearer TOKEN" or the login cookie.
std::string presentedToken(const httplib::Request& req) {
    const std::string auth = req.get_header_value("Authorization");
    if (auth.rfind("Bearer ", 0) == 0) return auth.substr(7);
    const std::string cookies = req.get_header_value("Cookie");
    const std::string key = std::string(RemoteServer::kCookie) + "=";
    size_t at = 0;
    while (at < cookies.size()) {
        while (at < cookies.size() && (cookies[at] == ' ' || cookies[at] == ';'))
            ++at;
        const size_t end = std::min(cookies.find(';', at), cookies.size());
        if (cookies.compare(at, key.size(), key) == 0)
            return cookies.substr(at + key.size(), end - at - key.size());
        at = end;
    }
    return {};
}

std::string number(double v, int decimals) {
    char b[64];
    std::snprintf(b, sizeof b, "%.*f", decimals, v);
    return b;
}

} // namespace

struct RemoteServer::Impl {
    std::unique_ptr<httplib::Server> server;
};

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        // Length of a valid UTF-8 sequence starting here, 0 when invalid.
        size_t len = 0;
        if (c < 0x80) len = 1;
        else if (c >= 0xC2 && c <= 0xDF) len = 2;
        else if (c >= 0xE0 && c <= 0xEF) len = 3;
        else if (c >= 0xF0 && c <= 0xF4) len = 4;
        if (len > 1) {
            if (i + len > text.size()) len = 0;
            for (size_t k = 1; len && k < len; ++k)
                if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) len = 0;
            if (len == 3) {
                const auto d = static_cast<unsigned char>(text[i + 1]);
                if ((c == 0xE0 && d < 0xA0) || (c == 0xED && d >= 0xA0)) len = 0;
            } else if (len == 4) {
                const auto d = static_cast<unsigned char>(text[i + 1]);
                if ((c == 0xF0 && d < 0x90) || (c == 0xF4 && d >= 0x90)) len = 0;
            }
        }
        if (len == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (len > 1) {
            out.append(text.substr(i, len));
            i += len;
            continue;
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char b[8];
                std::snprintf(b, sizeof b, "\\u%04x", c);
                out += b;
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    return out + "\"";
}

std::vector<std::string> lastLines(const std::string& path, size_t maxLines) {
    std::vector<std::string> lines;
    if (path.empty()) return lines;
    std::ifstream in(path, std::ios::binary);
    if (!in) return lines;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    const std::streamoff from = std::max<std::streamoff>(0, size - 64 * 1024);
    in.seekg(from);
    std::string text(static_cast<size_t>(size - from), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    // Whole lines only: a read that began inside the file drops its first.
    size_t b = 0;
    if (from > 0) {
        const size_t nl = text.find('\n');
        b = nl == std::string::npos ? text.size() : nl + 1;
    }
    while (b < text.size()) {
        size_t e = text.find('\n', b);
        if (e == std::string::npos) e = text.size();
        std::string line = text.substr(b, e - b);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        b = e + 1;
    }
    if (lines.size() > maxLines) lines.erase(lines.begin(), lines.end() - static_cast<long>(maxLines));
    return lines;
}

RemoteServer::RemoteServer(const SnapshotBoard& board, RemoteConfig config, std::string token,
                           std::string logPath)
    : board_(board), config_(std::move(config)), token_(std::move(token)),
      logPath_(std::move(logPath)), impl_(std::make_unique<Impl>()) {}

RemoteServer::~RemoteServer() { stop(); }

std::string RemoteServer::baseAddress() const {
    const bool v6 = config_.address.find(':') != std::string::npos;
    return std::string(config_.tls() ? "https://" : "http://") + (v6 ? "[" : "") +
           config_.address + (v6 ? "]" : "") + ":" + std::to_string(port_);
}

bool RemoteServer::running() const { return impl_->server && impl_->server->is_running(); }

void RemoteServer::stop() {
    if (impl_->server) impl_->server->stop();
    if (thread_.joinable()) thread_.join();
    impl_->server.reset();
}

std::string RemoteServer::start() {
    stop();
    if (const std::string refusal = startRefusal(config_); !refusal.empty()) return refusal;
    if (!isTokenText(token_)) return "Remote view not started: no access token could be made";
    std::unique_ptr<httplib::Server> s;
    if (config_.tls()) {
        auto ssl = std::make_unique<httplib::SSLServer>(config_.tls_certificate.c_str(),
                                                        config_.tls_key.c_str());
        if (!ssl->is_valid())
            return "Remote view not started: the TLS certificate " + config_.tls_certificate +
                   " or its key " + config_.tls_key + " cannot be used";
        s = std::move(ssl);
    } else {
        s = std::make_unique<httplib::Server>();
    }
    s->new_task_queue = [] { return new BoundedPool(kThreads, kThreads); };
    s->set_read_timeout(kTimeoutSeconds, 0);
    s->set_write_timeout(kTimeoutSeconds, 0);
    // A connection waiting for its next request is let go soon: idle
    // connections must not keep others waiting for a thread.
    s->set_keep_alive_timeout(kIdleSeconds);
    s->set_keep_alive_max_count(100);
    s->set_payload_max_length(kMaxBody);
    s->set_error_handler([](const httplib::Request&, httplib::Response& res) {
        securityHeaders(res);
        if (res.body.empty()) plain(res, res.status, "HTTP error " + std::to_string(res.status));
    });
    s->set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        securityHeaders(res);
        plain(res, 500, "Internal Server Error");
    });
    // One listener per port: a second program on the same port is told so
    // instead of sharing it.
    s->set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    s->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        securityHeaders(res);
        if (req.headers.size() > kMaxHeaders) {
            plain(res, 431, "Request Header Fields Too Large");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.method != "GET" && req.method != "HEAD") {
            res.set_header("Allow", "GET, HEAD");
            plain(res, 405, "Method Not Allowed");
            return httplib::Server::HandlerResponse::Handled;
        }
        const auto now = Lockout::Clock::now();
        if (lockout_.locked(req.remote_addr, now)) {
            res.set_header("Retry-After", std::to_string(Lockout::kShutOut.count()));
            plain(res, 429, "Too Many Requests");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.path == "/login" && req.has_param("token")) {
            if (!sameToken(req.get_param_value("token"), token_)) {
                lockout_.failure(req.remote_addr, now);
                plain(res, 401, "Unauthorized");
                return httplib::Server::HandlerResponse::Handled;
            }
            res.set_header("Set-Cookie", std::string(kCookie) + "=" + token_ +
                                             "; Path=/; HttpOnly; SameSite=Strict" +
                                             (config_.tls() ? "; Secure" : ""));
            res.set_redirect("/", 303);
            return httplib::Server::HandlerResponse::Handled;
        }
        const std::string presented = presentedToken(req);
        if (presented.empty() || !sameToken(presented, token_)) {
            if (!presented.empty()) lockout_.failure(req.remote_addr, now);
            res.set_header("WWW-Authenticate", "Bearer realm=\"trelvane\"");
            plain(res, 401,
                  "Unauthorized: open /login?token=TOKEN with the token the Remote view window "
                  "shows");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (!kRoutes.count(req.path) || req.path == "/login") {
            plain(res, 404, "Not Found");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.path == "/") res.set_content(kPageHtml, "text/html; charset=utf-8");
        else if (req.path == "/app.js") res.set_content(kPageScript, "text/javascript; charset=utf-8");
        else if (req.path == "/app.css") res.set_content(kPageStyle, "text/css; charset=utf-8");
        else if (req.path == "/api/status") res.set_content(statusJson(), "application/json");
        else if (req.path == "/metrics")
            res.set_content(metricsText(), "text/plain; version=0.0.4; charset=utf-8");
        else if (req.path == "/api/blocks") {
            long since = 0;
            if (req.has_param("since")) {
                const std::string v = req.get_param_value("since");
                char* end = nullptr;
                since = std::strtol(v.c_str(), &end, 10);
                if (v.empty() || v.size() > 10 || *end != '\0' || since < 0) {
                    plain(res, 400, "Bad Request: since must be a block number");
                    return httplib::Server::HandlerResponse::Handled;
                }
            }
            res.set_content(blocksJson(static_cast<int32_t>(since)), "application/json");
        }
        res.status = 200;
        return httplib::Server::HandlerResponse::Handled;
    });

    const bool bound = config_.port == 0
                           ? (port_ = s->bind_to_any_port(config_.address)) > 0
                           : s->bind_to_port(config_.address, config_.port);
    if (!bound)
        return "Remote view not started: " + config_.address + " port " +
               std::to_string(config_.port) + " cannot be used (in use, or not an address of "
               "this computer)";
    if (config_.port != 0) port_ = config_.port;
    impl_->server = std::move(s);
    thread_ = std::thread([srv = impl_->server.get()] { srv->listen_after_bind(); });
    // A stop that came before the listening loop runs would not reach it:
    // the server counts as started once it listens.
    for (int i = 0; i < 2000 && !impl_->server->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return {};
}

std::string RemoteServer::statusJson() const {
    const auto s = board_.current();
    std::string j = "{";
    auto key = [&](const char* k) { j += (j.size() > 1 ? ",\"" : "\"") + std::string(k) + "\":"; };
    auto str = [&](const char* k, const std::string& v) { key(k); j += jsonString(v); };
    auto num = [&](const char* k, long long v) { key(k); j += std::to_string(v); };
    auto flag = [&](const char* k, bool v) { key(k); j += v ? "true" : "false"; };
    str("state", s->state);
    num("blocks_recorded", s->blocksRecorded);
    num("blocks_dropped", s->blocksDropped);
    num("blocks_not_saved", s->blocksNotSaved);
    key("last_block_time");
    j += s->lastBlockTime > 0 ? std::to_string(s->lastBlockTime) : "null";
    num("published_at", s->publishedAt);
    str("project", s->project);
    str("acquisition", s->acquisition);
    str("folder", s->folder);
    flag("recording", s->recording);
    key("start_time");
    j += s->startTime > 0 ? std::to_string(s->startTime) : "null";
    key("elapsed_minutes");
    j += number(s->elapsedMinutes, 2);
    num("lapse_minutes", s->lapseMinutes);
    key("expected_end");
    j += s->expectedEnd > 0 ? std::to_string(s->expectedEnd) : "null";
    key("block_seconds");
    j += number(s->blockSeconds, 3);
    flag("link_up", s->linkUp);
    key("temperature");
    j += s->temperatureRead ? number(s->temperature, 1) : "null";
    key("set_point");
    j += number(s->setPoint, 1);
    flag("regulation", s->regulation);
    flag("light_on", s->lightOn);
    str("light_schedule", s->lightSchedule);
    num("disk_free_bytes", s->diskFreeBytes);
    num("disk_total_bytes", s->diskTotalBytes);
    key("groups");
    j += "[";
    for (size_t i = 0; i < s->groups.size(); ++i)
        j += (i ? "," : "") + std::string("{\"number\":") + std::to_string(s->groups[i].number) +
             ",\"name\":" + jsonString(s->groups[i].name) + "}";
    j += "]";
    num("plate_rows", s->plateRows);
    num("plate_columns", s->plateColumns);
    key("wells_last_hour");
    j += "[";
    for (size_t i = 0; i < s->wellsLastHour.size(); ++i)
        j += (i ? "," : "") + std::to_string(s->wellsLastHour[i]);
    j += "]";
    key("alerts");
    j += "[";
    for (size_t i = 0; i < s->alerts.size(); ++i)
        j += (i ? "," : "") + jsonString(s->alerts[i]);
    j += "]";
    key("log");
    j += "[";
    const auto lines = lastLines(logPath_, 50);
    for (size_t i = 0; i < lines.size(); ++i)
        j += (i ? "," : "") + jsonString(lines[i]);
    j += "]";
    return j + "}";
}

std::string RemoteServer::blocksJson(int32_t since) const {
    const auto s = board_.current();
    const auto rows = s->blocksSince(since, kMaxBlocksPerAnswer);
    std::string j = "{\"blocks\":[";
    for (size_t i = 0; i < rows.size(); ++i) {
        const BlockRow& r = *rows[i];
        j += (i ? ",{" : "{") + std::string("\"number\":") + std::to_string(r.number) +
             ",\"minute\":" + std::to_string(r.minute) + ",\"time\":" + std::to_string(r.time) +
             ",\"temperature\":" + (r.temperatureRead ? number(r.temperature, 1) : "null") +
             ",\"groups\":[";
        for (size_t g = 0; g < r.groupSums.size(); ++g)
            j += (g ? "," : "") + std::to_string(r.groupSums[g]);
        j += "]}";
    }
    j += "],\"blocks_recorded\":" + std::to_string(s->blocksRecorded) + "}";
    return j;
}

std::string RemoteServer::metricsText() const {
    const auto s = board_.current();
    std::string t;
    auto metric = [&](const char* name, const char* type, const char* help, const std::string& v) {
        t += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n" +
             name + " " + v + "\n";
    };
    metric("trelvane_blocks_recorded_total", "counter", "Blocks stored in counts.bin.",
           std::to_string(s->blocksRecorded));
    metric("trelvane_blocks_dropped_total", "counter",
           "Blocks not stored because too many samples were held.",
           std::to_string(s->blocksDropped));
    metric("trelvane_blocks_not_saved_total", "counter",
           "Blocks whose counts record could not be written.", std::to_string(s->blocksNotSaved));
    metric("trelvane_link_up", "gauge", "1 while the instrument answers.", s->linkUp ? "1" : "0");
    if (s->temperatureRead)
        metric("trelvane_temperature_celsius", "gauge", "Plate temperature at the last block end.",
               number(s->temperature, 1));
    if (s->diskFreeBytes >= 0)
        metric("trelvane_disk_free_bytes", "gauge", "Free bytes on the project's disk.",
               std::to_string(s->diskFreeBytes));
    metric("trelvane_last_block_timestamp_seconds", "gauge",
           "Time of the last stored block (seconds since 1970, 0 when none).",
           std::to_string(s->lastBlockTime));
    return t;
}

} // namespace trv::remote
