// trelvane-cli export-dam: monitor files read back with their exact column
// layout, and by R's read.table where R is installed.
#include "cli/CliRun.h"
#include "common/Files.h"
#include "reports/AcquisitionFixture.h"
#include "store/StoreText.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace trv {
namespace {

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    std::string f;
    std::istringstream in(line);
    while (std::getline(in, f, '\t'))
        out.push_back(f);
    return out;
}

std::vector<std::vector<std::string>> readMonitor(const std::string& path) {
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : splitLines(readWholeFile(path).value_or("")))
        if (!line.empty()) rows.push_back(fields(line));
    return rows;
}

struct ExportDam : ::testing::Test {
    test::AcquisitionFixture fx;
    test::TempDir io;
    std::string acq;
    std::vector<int32_t> minutes;
    CliResult r;
    static int count(int ch, int i) { return (ch * 7 + i * 3) % 50; }

    // Starts at 23:30; a record every 20 minutes for 30 hours, with a gap of
    // two hours (a link down) after record 20.
    void SetUp() override {
        acq = fx.acquisition("20240315_2330", "Night");
        for (int i = 0; i < 85; ++i)
            minutes.push_back(i * 20 + (i > 20 ? 120 : 0));
        test::AcquisitionFixture::writeCounts(acq, minutes, count, [](int) { return 240; });
    }
    int run(std::vector<std::string> args) {
        args.insert(args.begin(), {"export-dam", acq});
        r = runCli(io, fx.program, args);
        return r.exitCode;
    }
};

TEST_F(ExportDam, OneLinePerRecordForEveryChannelAcrossMidnight) {
    ASSERT_EQ(run({}), 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), acq + "/Monitor1.txt");
    for (int f = 0; f < 12; ++f) {
        const auto rows = readMonitor(joinPath(acq, "Monitor" + std::to_string(f + 1) + ".txt"));
        ASSERT_EQ(rows.size(), minutes.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            ASSERT_EQ(rows[i].size(), 42u) << i;
            EXPECT_EQ(rows[i][0], std::to_string(i + 1));
            EXPECT_EQ(rows[i][3], "1");
            for (int z = 4; z < 10; ++z)
                EXPECT_EQ(rows[i][static_cast<size_t>(z)], "0");
            for (int c = 0; c < 32; ++c)
                ASSERT_EQ(rows[i][10 + static_cast<size_t>(c)],
                          std::to_string(count(f * 32 + c, static_cast<int>(i))))
                    << "file " << f + 1 << " line " << i + 1 << " column " << c + 1;
        }
        if (f == 0) {
            // 23:30 + 0, 23:50, then 00:10 of the next day; record 84 is at
            // 23:30 + 1800 minutes = 05:30 two days on.
            EXPECT_EQ(rows[0][1] + " " + rows[0][2], "15 Mar 24 23:30:00");
            EXPECT_EQ(rows[1][1] + " " + rows[1][2], "15 Mar 24 23:50:00");
            EXPECT_EQ(rows[2][1] + " " + rows[2][2], "16 Mar 24 00:10:00");
            EXPECT_EQ(rows[84][1] + " " + rows[84][2], "17 Mar 24 05:30:00");
        }
    }
    const auto map = readMonitor(joinPath(acq, "Monitor_columns.txt"));
    ASSERT_EQ(map.size(), 385u);
    EXPECT_EQ(map[17],
              (std::vector<std::string>{"Monitor1.txt", "17", "16", "A1.1", "000_Control"}));
    EXPECT_EQ(map[384][0] + " " + map[384][1] + " " + map[384][2], "Monitor12.txt 32 383");
}

TEST_F(ExportDam, BinnedWellsSumTheirBeamsAndMarkTheGap) {
    const std::string out = fx.dir / "dam";
    ASSERT_EQ(run({"--per", "wells", "--bin", "60", "--output", out}), 0) << r.err;
    EXPECT_EQ(r.out, out + "/Monitor1.txt\n" + out + "/Monitor_columns.txt\n");
    const auto rows = readMonitor(joinPath(out, "Monitor1.txt"));
    // Last record at minute 1800: bins 0..30, the first ending at 00:30.
    ASSERT_EQ(rows.size(), 31u);
    EXPECT_EQ(rows[0][1] + " " + rows[0][2], "16 Mar 24 00:30:00");
    for (size_t k = 0; k < rows.size(); ++k) {
        long long a1 = 0, b3 = 0;
        bool any = false;
        for (size_t i = 0; i < minutes.size(); ++i)
            if (minutes[i] / 60 == static_cast<int>(k)) {
                a1 += count(0, static_cast<int>(i)) + count(16, static_cast<int>(i));
                b3 += count(21, static_cast<int>(i));
                any = true;
            }
        EXPECT_EQ(rows[k][3], any ? "1" : "0") << "bin " << k;
        EXPECT_EQ(rows[k][10], std::to_string(a1)) << "bin " << k;
        EXPECT_EQ(rows[k][15], std::to_string(b3)) << "bin " << k;
        EXPECT_EQ(rows[k][16], "0");
    }
    EXPECT_EQ(rows[7][3], "0"); // minutes 420..479 fall in the gap
    const auto map = readMonitor(joinPath(out, "Monitor_columns.txt"));
    ASSERT_EQ(map.size(), 7u);
    EXPECT_EQ(map[6], (std::vector<std::string>{"Monitor1.txt", "6", "5", "B3", "001_Dose"}));
}

// Records 30 seconds apart would give two lines of the same minute: without
// --bin they are summed per minute, and the note says so. A day below 10
// has one digit.
TEST_F(ExportDam, RecordsWithinAMinuteMakeOneLinePerMinute) {
    acq = fx.acquisition("20240305_0800", "Fast");
    test::AcquisitionFixture::writeCounts(acq, {0, 0, 1, 1, 2}, count, [](int) { return 240; });
    ASSERT_EQ(run({}), 0) << r.err;
    EXPECT_EQ(r.err,
              "trelvane-cli export-dam: records less than a minute apart: summed into 1-minute "
              "bins\n");
    const auto rows = readMonitor(joinPath(acq, "Monitor1.txt"));
    ASSERT_EQ(rows.size(), 3u);
    const char* stamps[] = {"5 Mar 24 08:01:00", "5 Mar 24 08:02:00", "5 Mar 24 08:03:00"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[i][1] + " " + rows[i][2], stamps[i]);
        const int k = static_cast<int>(2 * i);
        const int sum = i < 2 ? count(5, k) + count(5, k + 1) : count(5, k);
        EXPECT_EQ(rows[i][15], std::to_string(sum)) << i;
    }
}

TEST_F(ExportDam, RefusesWhatItCannotTime) {
    // A folder name that is not a start time, and a damaged record time.
    const std::string renamed = fx.project + "/night run";
    ASSERT_EQ(std::rename(acq.c_str(), renamed.c_str()), 0);
    acq = renamed;
    EXPECT_EQ(run({}), 1);
    EXPECT_NE(r.err.find("is not an acquisition's start"), std::string::npos) << r.err;
    acq = fx.acquisition("20240316_0800", "Damaged");
    test::AcquisitionFixture::writeCounts(acq, {0, 1, 10000000}, count, [](int) { return 0; });
    EXPECT_EQ(run({"--bin", "30"}), 1);
    EXPECT_NE(r.err.find("the file is damaged"), std::string::npos) << r.err;
    EXPECT_TRUE(listFiles(acq, "Monitor*").empty());
}

// R reads a monitor file with the layout the analysis packages use.
TEST_F(ExportDam, RReadsTheCountsAndTimes) {
    if (std::system("command -v Rscript >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "R is not installed";
    ASSERT_EQ(run({}), 0) << r.err;
    const std::string script = io / "read.R";
    ASSERT_TRUE(writePlainFile(
        script, "d <- read.table('" + acq +
                    "/Monitor2.txt', sep='\\t', header=FALSE,\n"
                    "  colClasses=c('integer','character','character',rep('integer',39)))\n"
                    "t <- as.POSIXct(paste(d$V2, d$V3), format='%d %b %y %H:%M:%S', tz='UTC')\n"
                    "cat(nrow(d), ncol(d), sum(d[,11:42]), d[3,11], d[85,42],\n"
                    "  format(t[3], '%Y-%m-%d %H:%M'), format(t[85], '%Y-%m-%d %H:%M'), '\\n')\n"));
    const std::string outPath = io / "r.out";
    ASSERT_EQ(std::system(("LC_ALL=C Rscript " + script + " > " + outPath).c_str()), 0);
    long long sum = 0;
    for (int i = 0; i < 85; ++i)
        for (int ch = 32; ch < 64; ++ch)
            sum += count(ch, i);
    EXPECT_EQ(io.read("r.out"),
              "85 42 " + std::to_string(sum) + " " + std::to_string(count(32, 2)) + " " +
                  std::to_string(count(63, 84)) + " 2024-03-16 00:10 2024-03-17 05:30 \n");
}

} // namespace
} // namespace trv
