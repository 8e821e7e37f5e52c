// The remote view's server through a real socket on 127.0.0.1: access,
// routes, headers, refusals and TLS.
#include "HttpProbe.h"

#include "remote/RemoteServer.h"
#include "support/TempDir.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <dirent.h>
#include <thread>
#include <vector>

namespace trv::test {
namespace {

using remote::RemoteConfig;
using remote::RemoteServer;

const std::string kToken = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJK-_0123";
const std::string kBearer = "Authorization: Bearer " + kToken + "\r\n";

struct Served {
    remote::SnapshotBoard board;
    RemoteServer server;
    explicit Served(RemoteConfig c = loopback())
        : server(board, c, kToken, "") {
        auto s = std::make_shared<remote::RunSnapshot>();
        s->state = "recording";
        s->acquisition = "Night run \xff"; // invalid UTF-8 goes out as U+FFFD
        s->blocksRecorded = 7;
        board.publish(s);
    }
    static RemoteConfig loopback() {
        RemoteConfig c;
        c.enabled = true;
        c.port = 0;
        return c;
    }
    int port() const { return server.port(); }
};

int threadCount() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (const dirent* e = ::readdir(d))
            n += e->d_name[0] != '.';
        ::closedir(d);
    }
    return n;
}

TEST(RemoteServer, TokenIsRequiredAndTenWrongOnesShutTheAddressOut) {
    Served s;
    ASSERT_EQ(s.server.start(), "");
    EXPECT_EQ(get(s.port(), "/api/status").status, 401);
    EXPECT_EQ(get(s.port(), "/").status, 401);
    const HttpAnswer ok = get(s.port(), "/api/status", kBearer);
    ASSERT_EQ(ok.status, 200);
    for (const char* key : {"\"state\":\"recording\"", "\"blocks_recorded\":7",
                            "\"blocks_dropped\":0", "\"blocks_not_saved\":0",
                            "\"last_block_time\":null", "Night run \\ufffd"})
        EXPECT_NE(ok.body.find(key), std::string::npos) << key << " in " << ok.body;
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(get(s.port(), "/api/status", "Authorization: Bearer wrong\r\n").status, 401);
    EXPECT_EQ(get(s.port(), "/api/status", kBearer).status, 200); // nine are not ten
    EXPECT_EQ(get(s.port(), "/login?token=" + kToken.substr(1)).status, 401); // the tenth
    const HttpAnswer locked = get(s.port(), "/api/status", kBearer);
    EXPECT_EQ(locked.status, 429);
    EXPECT_TRUE(locked.has("Retry-After: 300"));
}

TEST(RemoteServer, LoginSetsAStrictCookieAndRedirectsToThePage) {
    Served s;
    ASSERT_EQ(s.server.start(), "");
    const HttpAnswer login = get(s.port(), "/login?token=" + kToken);
    EXPECT_EQ(login.status, 303);
    EXPECT_TRUE(login.has("Location: /\r\n"));
    EXPECT_TRUE(login.has("Set-Cookie: trelvane_token=" + kToken +
                          "; Path=/; HttpOnly; SameSite=Strict\r\n"))
        << login.head;
    const HttpAnswer page = get(s.port(), "/", "Cookie: a=b; trelvane_token=" + kToken + "\r\n");
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("<title>Trelvane remote view</title>"), std::string::npos);
    EXPECT_EQ(get(s.port(), "/", "Cookie: trelvane_token=x" + kToken + "\r\n").status, 401);
}

TEST(RemoteServer, OnlyGetAndHeadOnFixedRoutesWithTheSafetyHeaders) {
    Served s;
    ASSERT_EQ(s.server.start(), "");
    struct Case {
        std::string method, target;
        int status;
    };
    const std::vector<Case> cases = {
        {"GET", "/", 200},
        {"HEAD", "/api/status", 200},
        {"GET", "/metrics", 200},
        {"GET", "/app.js", 200},
        {"GET", "/api/blocks?since=0", 200},
        {"GET", "/api/blocks?since=-1", 400},
        {"GET", "/api/blocks?since=%ff%fe", 400},
        {"GET", "/api/blocks?since=99999999999999", 400},
        {"POST", "/", 405},
        {"PUT", "/api/status", 405},
        {"DELETE", "/", 405},
        {"GET", "/../remote.conf", 404},
        {"GET", "/%2e%2e/remote.conf", 404},
        {"GET", "/%2E%2E%2Fremote.conf", 404},
        {"GET", "/..%2fremote.token", 404},
        {"GET", "/remote.token", 404},
        {"GET", "/api/status/../../remote.conf", 404},
        {"GET", "/login", 404},
    };
    for (const Case& c : cases) {
        const HttpAnswer a = get(s.port(), c.target, kBearer, c.method);
        EXPECT_EQ(a.status, c.status) << c.method << " " << c.target;
        for (const char* h :
             {"Content-Security-Policy: default-src 'none'", "X-Content-Type-Options: nosniff",
              "X-Frame-Options: DENY", "Referrer-Policy: no-referrer", "Cache-Control: no-store"})
            EXPECT_TRUE(a.has(h)) << h << " on " << c.method << " " << c.target;
        if (c.status == 405) {
            EXPECT_TRUE(a.has("Allow: GET, HEAD"));
        }
        if (c.method == "HEAD") {
            EXPECT_EQ(a.body, "");
        }
    }
    const HttpAnswer metrics = get(s.port(), "/metrics", kBearer);
    EXPECT_NE(metrics.body.find("# TYPE trelvane_blocks_recorded_total counter\n"
                                "trelvane_blocks_recorded_total 7\n"),
              std::string::npos);
}

TEST(RemoteServer, BadInputGetsErrorsAndIdleClientsHoldNoThreads) {
    Served s;
    ASSERT_EQ(s.server.start(), "");
    EXPECT_EQ(rawHttp(s.port(), "NONSENSE\r\n\r\n").status, 400);
    EXPECT_EQ(get(s.port(), "/?" + std::string(20000, 'a'), kBearer).status, 414);
    std::string flood;
    for (int i = 0; i < 2000; ++i)
        flood += "X-Flood-" + std::to_string(i) + ": " + std::string(100, 'x') + "\r\n";
    EXPECT_EQ(get(s.port(), "/api/status", kBearer + flood).status, 431);

    // 100 clients connect and send nothing: the server keeps its threads,
    // drops them after its time-out and answers again.
    const int before = threadCount();
    std::vector<int> idle;
    for (int i = 0; i < 100; ++i)
        idle.push_back(connectLoopback(s.port()));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LE(threadCount(), before);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(get(s.port(), "/api/status", kBearer).status, 200);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(20));
    for (int fd : idle)
        if (fd >= 0) ::close(fd);
}

TEST(RemoteServer, RefusesPlainHttpBeyondLoopbackAndBadCertificatesOrPorts) {
    RemoteConfig open = Served::loopback();
    open.address = "0.0.0.0";
    Served plain(open);
    EXPECT_NE(plain.server.start().find("plain HTTP would show the token"), std::string::npos);
    EXPECT_FALSE(plain.server.running());

    TempDir dir;
    dir.write("bad.pem", "not a certificate\n");
    RemoteConfig bad = Served::loopback();
    bad.tls_certificate = bad.tls_key = dir / "bad.pem";
    Served badTls(bad);
    EXPECT_NE(badTls.server.start().find("cannot be used"), std::string::npos);

    Served first;
    ASSERT_EQ(first.server.start(), "");
    RemoteConfig taken = Served::loopback();
    taken.port = first.port();
    Served second(taken);
    EXPECT_NE(second.server.start().find("cannot be used"), std::string::npos);
}

TEST(RemoteServer, ServesOverTlsWithACertificateMadeHere) {
    TempDir dir;
    const std::string cert = dir / "cert.pem", key = dir / "key.pem";
    const std::string cmd = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost "
                            "-keyout " + key + " -out " + cert + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    RemoteConfig c = Served::loopback();
    c.tls_certificate = cert;
    c.tls_key = key;
    Served s(c);
    ASSERT_EQ(s.server.start(), "");
    EXPECT_EQ(s.server.baseAddress().rfind("https://127.0.0.1:", 0), 0u);

    httplib::SSLClient client("127.0.0.1", s.port());
    client.set_ca_cert_path(cert.c_str());
    client.enable_server_certificate_verification(false);
    auto r = client.Get("/api/status", {{"Authorization", "Bearer " + kToken}});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_NE(r->body.find("\"blocks_recorded\":7"), std::string::npos);
    auto login = client.Get(("/login?token=" + kToken).c_str());
    ASSERT_TRUE(login);
    EXPECT_EQ(login->status, 303);
    EXPECT_NE(login->get_header_value("Set-Cookie").find("; Secure"), std::string::npos);
    // Plain HTTP to the TLS port gets nothing.
    EXPECT_EQ(get(s.port(), "/api/status", kBearer).status, 0);
}

} // namespace
} // namespace trv::test
