// The remote view over a recording against the simulated instrument: the
// page's numbers follow the run block by block, and the alerts of a killed
// instrument and a full disk run the alert command once each.
#include "HttpProbe.h"

#include "integration/RunFixture.h"

#include "acquisition/DataFiles.h"
#include "common/RunLog.h"
#include "remote/RemoteView.h"
#include "store/StoreText.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <regex>
#include <sstream>

namespace trv::test {
namespace {

long jsonNumber(const std::string& json, const std::string& key) {
    std::smatch m;
    if (!std::regex_search(json, m, std::regex("\"" + key + "\":(-?[0-9]+)"))) return -999;
    return std::stol(m[1]);
}

// A run of 20-sample blocks with the remote view on (any free port) and an
// alert command that appends its arguments to alerts.txt.
struct RemoteRun : RunFixture {
    TempDir logDir;
    std::unique_ptr<remote::RemoteView> view;
    std::string bearer;

    explicit RemoteRun(int lapseMinutes) {
        runlog::open(logDir.path(), "test");
        s.setup.RT_Buffer = 20;
        s.setup.Aq_lapse = static_cast<int16_t>(lapseMinutes);
        run->setAutoCalibration(false);
        run->setRunSwitch(true);
        dir.write("alert.sh", "#!/bin/sh\nprintf '%s|%s\\n' \"$1\" \"$2\" >> " + (dir / "alerts.txt") +
                                  "\n");
        ::chmod((dir / "alert.sh").c_str(), 0700);
        dir.write(remote::kConfigFileName,
                  "enabled = yes\nport = 0\nalert_command = " + (dir / "alert.sh") + "\n");
        view = std::make_unique<remote::RemoteView>(dir.path());
        EXPECT_EQ(view->start(), "");
        view->watch(*run, fake.clock);
        view->maker().setDiskSpace([](const std::string&) {
            return remote::DiskSpace{500LL * 1000 * 1000 * 1000, 1000LL * 1000 * 1000 * 1000};
        });
        bearer = "Authorization: Bearer " + view->token() + "\r\n";
    }
    ~RemoteRun() { runlog::close(); }
    HttpAnswer api(const std::string& route) { return get(view->server()->port(), route, bearer); }
    // The alert command's lines, once it has run (it runs on its own).
    std::vector<std::string> alertLines(size_t atLeast) {
        std::vector<std::string> lines;
        for (int i = 0; i < 100; ++i) {
            lines = splitLines(dir.read("alerts.txt"));
            if (lines.size() >= atLeast) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return lines;
    }
};

TEST(RemoteRecording, StatusFollowsEachBlockAndEndsEqualToCountsBin) {
    RemoteRun f(2);
    EXPECT_EQ(jsonNumber(f.api("/api/status").body, "blocks_recorded"), 0);
    ASSERT_TRUE(f.play());
    std::vector<long> seen;
    int32_t last = 0;
    for (long n = 0; f.run->timerRunning() && n < 5000; ++n) {
        f.tick();
        if (f.run->blocksRecorded() != last) {
            last = f.run->blocksRecorded();
            seen.push_back(jsonNumber(f.api("/api/status").body, "blocks_recorded"));
        }
    }
    ASSERT_FALSE(f.run->timerRunning());
    const auto records = readCounts(countsFilePath(f.acqPath()));
    ASSERT_GE(records.size(), 3u);
    std::vector<long> expected;
    for (size_t i = 1; i <= records.size(); ++i)
        expected.push_back(static_cast<long>(i));
    EXPECT_EQ(seen, expected);

    const std::string status = f.api("/api/status").body;
    EXPECT_NE(status.find("\"state\":\"finished\""), std::string::npos) << status;
    EXPECT_EQ(jsonNumber(status, "blocks_recorded"), static_cast<long>(records.size()));
    const std::string blocks = f.api("/api/blocks?since=0").body;
    const std::string later = f.api("/api/blocks?since=" + std::to_string(records.size() - 1)).body;
    std::vector<std::pair<long, long>> rows; // minute, sum of all groups
    const std::regex row(
        R"("minute":(\d+),"time":\d+,"temperature":([0-9.]+|null),"groups":\[([0-9,]*)\])");
    for (auto it = std::sregex_iterator(blocks.begin(), blocks.end(), row);
         it != std::sregex_iterator(); ++it) {
        long sum = 0;
        std::stringstream groups((*it)[3].str());
        for (std::string v; std::getline(groups, v, ',');)
            sum += std::stol(v);
        rows.emplace_back(std::stol((*it)[1].str()), sum);
    }
    ASSERT_EQ(rows.size(), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        long inWells = 0;
        for (int b = 0; b < kChannels; ++b)
            if (f.s.plate.Channel_Well[b] >= 0 && f.s.channels.Channel_Group[b] >= 0)
                inWells += records[i].counts[b];
        EXPECT_EQ(rows[i], std::make_pair(static_cast<long>(records[i].minutes), inWells)) << i;
    }
    EXPECT_EQ(later.find("\"number\":"), later.rfind("\"number\":")) << later;
    EXPECT_NE(later.find("\"number\":" + std::to_string(records.size()) + ","), std::string::npos);
    EXPECT_TRUE(f.alertLines(0).empty()) << "a run that finished raises no alert";
}

TEST(RemoteRecording, FiftyClientsPollingEvery100MsCostTheRecordingNoBlock) {
    RemoteRun f(2);
    std::atomic<bool> stop{false};
    std::atomic<long> answers{0}, failures{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < 50; ++c)
        clients.emplace_back([&] {
            for (int i = 0; i < 3000 && !stop; ++i) { // at most 5 minutes
                (f.api("/api/status").status == 200 ? answers : failures)++;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
    ASSERT_TRUE(f.play());
    f.ticksUntilStopped(5000);
    stop = true;
    for (auto& t : clients)
        t.join();
    EXPECT_TRUE(f.run->finished());
    EXPECT_EQ(f.run->blocksDropped(), 0);
    EXPECT_EQ(countsRecordCount(countsFilePath(f.acqPath())), f.run->blocksRecorded());
    EXPECT_GE(answers, 50);
    EXPECT_EQ(failures, 0);
}

TEST(RemoteRecording, AKilledInstrumentAlertsOnceForTheStallAndOnceForTheLink) {
    RemoteRun f(30000);
    ASSERT_TRUE(f.play());
    for (int i = 0; i < 3 * 20; ++i)
        f.tick();
    ASSERT_EQ(f.run->blocksRecorded(), 3);
    f.sims.stop(1);
    f.tickMs = 1000; // six minutes of ticks without an instrument
    for (int i = 0; i < 360; ++i)
        f.tick();
    ASSERT_TRUE(f.run->linkDown());
    const auto lines = f.alertLines(2);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 9), "no_block|");
    EXPECT_EQ(lines[1], "link_down|the instrument has not answered for more than 5 minutes");
    const std::string status = f.api("/api/status").body;
    EXPECT_NE(status.find("\"state\":\"link down\""), std::string::npos);
    EXPECT_NE(status.find("link_down: the instrument has not answered"), std::string::npos);
    EXPECT_NE(f.logDir.read(runlog::kFileName).find("ALERT (link_down)"), std::string::npos);
}

TEST(RemoteRecording, AFullDiskAlertsOnceAndTheStateSaysDiskError) {
    RemoteRun f(30000);
    f.view->maker().setDiskSpace([](const std::string&) {
        return remote::DiskSpace{200LL * 1000 * 1000, 100LL * 1000 * 1000 * 1000};
    });
    RunFileWriters w = f.run->fileWriters();
    w.counts = [](const std::string&, int32_t, const ChannelArray<int16_t>&) {
        errno = ENOSPC;
        return false;
    };
    f.run->setFileWriters(w);
    ASSERT_TRUE(f.play());
    for (int i = 0; i < 10 * 20; ++i)
        f.tick();
    const auto lines = f.alertLines(2);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "disk_low|free disk space is low: 200 MB of 100000 MB");
    EXPECT_EQ(lines[1].substr(0, 9), "no_block|");
    const std::string status = f.api("/api/status").body;
    EXPECT_NE(status.find("\"state\":\"disk error\""), std::string::npos) << status;
    EXPECT_EQ(jsonNumber(status, "blocks_not_saved"), 10);
    EXPECT_NE(f.api("/metrics").body.find("trelvane_disk_free_bytes 200000000\n"),
              std::string::npos);
}

} // namespace
} // namespace trv::test
