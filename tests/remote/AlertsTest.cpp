// The alerts on made-up snapshots: hold times, once per crossing, the
// command at most once an hour per kind, and the end of an alert.
#include "remote/Alerts.h"

#include <gtest/gtest.h>

namespace trv::test {
namespace {

using namespace trv::remote;

struct Judge {
    Alerts alerts;
    std::vector<std::vector<std::string>> commands;
    std::vector<std::string> events; // "+kind" raised, "-kind" ended
    Judge() {
        alerts.setCommand({"/usr/bin/notify", "--lab"});
        alerts.setRunner([this](const std::vector<std::string>& a) { commands.push_back(a); });
        alerts.setOnEvent([this](const AlertEvent& e) {
            events.push_back((e.raised ? "+" : "-") + std::string(alertName(e.kind)));
        });
    }
    RunSnapshot at(int64_t t) {
        RunSnapshot s;
        s.publishedAt = t;
        s.state = "recording";
        s.recording = true;
        s.blockSeconds = 60;
        s.lastBlockTime = t;
        s.diskFreeBytes = 50'000'000'000;
        s.diskTotalBytes = 100'000'000'000;
        s.regulation = true;
        s.temperatureRead = true;
        s.temperature = s.setPoint = 25;
        return s;
    }
    void judge(RunSnapshot s) { alerts.judge(s); }
};

TEST(RemoteAlerts, EachKindWaitsItsTimeFiresOnceAndEnds) {
    Judge j;
    const int64_t t0 = 1'000'000;
    j.judge(j.at(t0));
    // Temperature 2.5 degrees off: only after 10 minutes.
    for (int64_t m = 1; m <= 11; ++m) {
        RunSnapshot s = j.at(t0 + m * 60);
        s.temperature = 27.5;
        j.judge(s);
        EXPECT_EQ(j.commands.size(), m < 11 ? 0u : 1u) << m;
    }
    EXPECT_EQ(j.commands[0], (std::vector<std::string>{"/usr/bin/notify", "--lab", "temperature",
                                                       "the temperature is 27.5 C, set point 25.0 C"}));
    // Exactly 2 degrees off is within the band: the alert ends.
    RunSnapshot back = j.at(t0 + 720);
    back.temperature = 27.0;
    j.judge(back);
    // No block for more than three block times; 5 % free is not low, below is.
    RunSnapshot stalled = j.at(t0 + 1000);
    stalled.lastBlockTime = t0 + 1000 - 181;
    stalled.diskFreeBytes = 4'999'999'999;
    j.judge(stalled);
    EXPECT_EQ(j.events, (std::vector<std::string>{"+temperature", "-temperature", "+disk_low",
                                                  "+no_block"}));
    // The run stops before its lapse; a finished run raises nothing.
    RunSnapshot stopped = j.at(t0 + 1100);
    stopped.recording = false;
    stopped.state = "idle";
    stopped.elapsedMinutes = 18;
    stopped.lapseMinutes = 60;
    stopped.acquisition = "Night";
    j.judge(stopped);
    EXPECT_EQ(j.events.size(), 7u); // raised, and the two above ended
    EXPECT_EQ(j.events[4], "+run_ended");
    EXPECT_EQ(j.commands.back()[3], "the acquisition \"Night\" ended after 18 of 60 minutes (42 left)");
}

TEST(RemoteAlerts, TheCommandRunsAtMostOnceAnHourPerKind) {
    Judge j;
    const int64_t t0 = 2'000'000;
    auto linkDown = [&](int64_t t, bool down) {
        RunSnapshot s = j.at(t);
        s.linkUp = !down;
        j.judge(s);
    };
    linkDown(t0, true);
    linkDown(t0 + 299, true);
    EXPECT_TRUE(j.commands.empty()) << "5 minutes not yet passed";
    linkDown(t0 + 301, true);
    linkDown(t0 + 400, true);
    linkDown(t0 + 500, false);
    linkDown(t0 + 600, true);
    linkDown(t0 + 1000, true); // a second crossing within the hour: logged, no command
    linkDown(t0 + 1100, false);
    linkDown(t0 + 4000, true);
    linkDown(t0 + 4400, true); // an hour after the first command
    EXPECT_EQ(j.events, (std::vector<std::string>{"+link_down", "-link_down", "+link_down",
                                                  "-link_down", "+link_down"}));
    ASSERT_EQ(j.commands.size(), 2u);
    EXPECT_EQ(j.commands[1][2], "link_down");
}

} // namespace
} // namespace trv::test
