// remote.conf, the token file and the lock-out.
#include "remote/Lockout.h"
#include "remote/RemoteConfig.h"
#include "remote/RemoteServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace trv::test {
namespace {

using namespace trv::remote;

TEST(RemoteConfig, ReadsWhatItWritesAndSkipsBadValues) {
    RemoteConfig c;
    c.enabled = true;
    c.address = "192.0.2.7";
    c.port = 9000;
    c.tls_certificate = "/etc/cert one.pem";
    c.tls_key = "/etc/key.pem";
    c.allow_plain_http = true;
    c.alert_command = "/usr/bin/notify \"two words\" x";
    EXPECT_EQ(parseConfig(configText(c)), c);

    std::vector<std::string> problems;
    const RemoteConfig d =
        parseConfig("enabled = maybe\nport = 70000\nport=12x\ncolour = red\nno equals\n"
                    "# comment\n  address =  \n",
                    &problems);
    EXPECT_EQ(d, RemoteConfig{}) << "bad values keep the defaults";
    EXPECT_EQ(problems.size(), 5u);
    EXPECT_EQ(commandWords(c.alert_command),
              (std::vector<std::string>{"/usr/bin/notify", "two words", "x"}));
    EXPECT_EQ(commandWords("a; rm -rf $HOME"),
              (std::vector<std::string>{"a;", "rm", "-rf", "$HOME"}));
}

TEST(RemoteConfig, OnlyLoopbackMayServePlainHttp) {
    struct Case {
        std::string address;
        bool tls, allowPlain, refused;
    };
    for (const Case& k : std::vector<Case>{{"127.0.0.1", false, false, false},
                                           {"127.8.9.1", false, false, false},
                                           {"::1", false, false, false},
                                           {"localhost", false, false, false},
                                           {"0.0.0.0", false, false, true},
                                           {"192.168.1.4", false, false, true},
                                           {"128.0.0.1", false, false, true},
                                           {"192.168.1.4", true, false, false},
                                           {"192.168.1.4", false, true, false}}) {
        RemoteConfig c;
        c.address = k.address;
        if (k.tls) c.tls_certificate = c.tls_key = "x.pem";
        c.allow_plain_http = k.allowPlain;
        EXPECT_EQ(!startRefusal(c).empty(), k.refused) << k.address;
    }
    RemoteConfig half;
    half.tls_certificate = "x.pem";
    EXPECT_FALSE(startRefusal(half).empty());
}

TEST(RemoteToken, IsRandomPrivateAndKept) {
    TempDir dir;
    const std::string t = loadOrCreateToken(dir.path());
    ASSERT_TRUE(isTokenText(t)) << t;
    struct stat st {};
    ASSERT_EQ(::stat((dir / kTokenFileName).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(loadOrCreateToken(dir.path()), t);
    const std::string n = replaceToken(dir.path());
    EXPECT_TRUE(isTokenText(n));
    EXPECT_NE(n, t);
    EXPECT_EQ(loadOrCreateToken(dir.path()), n);
    dir.write(kTokenFileName, "short\n");
    EXPECT_NE(loadOrCreateToken(dir.path()), "short");

    const uint8_t bytes[] = {0xfb, 0xff, 0x00, 0x10};
    EXPECT_EQ(base64url(bytes, 4), "-_8AEA");
    EXPECT_TRUE(sameToken(t, t));
    EXPECT_FALSE(sameToken(t, n));
    EXPECT_FALSE(sameToken(t.substr(0, 42), t));
    EXPECT_FALSE(sameToken("", t));
    EXPECT_FALSE(sameToken(t + "x", t));
}

TEST(RemoteLockout, TenFailuresWithinAMinuteShutOutForFiveMinutes) {
    Lockout l;
    const auto t0 = Lockout::Clock::time_point{} + std::chrono::hours(1);
    using std::chrono::seconds;
    // Nine failures, then the window passes: no lock-out.
    for (int i = 0; i < 9; ++i)
        EXPECT_FALSE(l.failure("a", t0 + seconds(i)));
    EXPECT_FALSE(l.failure("a", t0 + seconds(61)));
    EXPECT_FALSE(l.locked("a", t0 + seconds(61)));
    // Ten within a minute: locked for 5 minutes, other addresses not.
    const auto t1 = t0 + seconds(200);
    for (int i = 0; i < 9; ++i)
        l.failure("b", t1 + seconds(i));
    EXPECT_TRUE(l.failure("b", t1 + seconds(59)));
    EXPECT_TRUE(l.locked("b", t1 + seconds(59 + 299)));
    EXPECT_FALSE(l.locked("b", t1 + seconds(59 + 300)));
    EXPECT_FALSE(l.locked("a", t1 + seconds(60)));
    // The table stays bounded.
    for (int i = 0; i < 5000; ++i)
        l.failure("10.0." + std::to_string(i), t1 + seconds(1000));
    EXPECT_LE(l.addresses(), Lockout::kMaxAddresses);
}

TEST(RemoteText, JsonStringsAndLogTails) {
    EXPECT_EQ(jsonString("a\"b\\\n\x01 \xc3\xa9"), "\"a\\\"b\\\\\\n\\u0001 \xc3\xa9\"");
    EXPECT_EQ(jsonString("\xc3 \xed\xa0\x80 \xf4\x90\x80\x80"),
              "\"\\ufffd \\ufffd\\ufffd\\ufffd \\ufffd\\ufffd\\ufffd\\ufffd\"");
    TempDir dir;
    std::string log;
    for (int i = 1; i <= 3000; ++i)
        log += "line " + std::to_string(i) + " " + std::string(40, '.') + "\r\n";
    dir.write("t.log", log);
    const auto lines = lastLines(dir / "t.log", 50);
    ASSERT_EQ(lines.size(), 50u);
    EXPECT_EQ(lines.front().substr(0, 10), "line 2951 ");
    EXPECT_EQ(lines.back(), "line 3000 " + std::string(40, '.'));
    EXPECT_TRUE(lastLines(dir / "missing.log", 50).empty());
}

} // namespace
} // namespace trv::test
