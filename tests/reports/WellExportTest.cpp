// Per-well export: the files of a bin size, with and without the time
// field, on the six-well plate of the report fixture.
#include "reports/WellExport.h"
#include "reports/AcquisitionFixture.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

std::string readAll(const std::string& path) {
    auto s = readWholeFile(path);
    return s ? *s : std::string();
}

std::vector<int32_t> minutes(int last) {
    std::vector<int32_t> t;
    for (int m = 0; m <= last; ++m)
        t.push_back(m);
    return t;
}

struct WellExportTest : ::testing::Test {
    test::AcquisitionFixture fx;
    test::FakePorts fake;
    ReportLayout layout;

    // Channel 0 (A1 beam 0) counts 2 and channel 16 (A1 beam 1) counts 4 in
    // every record: A1's value is 3 a record. Channel 1 (B1) counts the
    // record's index.
    std::string acquisition(int lastMinute) {
        std::string folder = fx.acquisition("20240315_0930", "Rhythm");
        test::AcquisitionFixture::writeCounts(
            folder, minutes(lastMinute),
            [](int ch, int i) {
                return ch == 0 ? 2 : ch == 16 ? 4 : ch == 1 ? i : 0;
            },
            [](int) { return 250; });
        return folder;
    }

    WellExportRequest request(const std::string& folder, const std::string& bin, bool timeField) {
        WellExportRequest rq;
        rq.acquisitionPath = folder;
        rq.programFolder = fx.program;
        rq.binText = bin;
        rq.timeField = timeField;
        rq.timeBase = {2024, 3, 15, 9, 30, 0, 0};
        return rq;
    }
};

TEST_F(WellExportTest, TwelveHoursOfHourBinsWithTheTimeField) {
    const std::string folder = acquisition(720);
    const WellExportOutcome o = exportWells(request(folder, "60", true), layout, fake.ports);
    ASSERT_EQ(o.status, WellExportStatus::Written);
    EXPECT_EQ(o.binSize, 60);
    EXPECT_EQ(o.bins, 12);
    // One file per well with a beam-0 channel: B3 has none.
    std::vector<std::string> names;
    for (const std::string& f : o.files)
        names.push_back(f.substr(folder.size() + 1));
    EXPECT_EQ(names, (std::vector<std::string>{"000_A1.txt", "001_B1.txt", "002_A2.txt",
                                               "003_B2.txt", "004_A3.txt"}));
    const std::string a1 = readAll(joinPath(folder, "000_A1.txt"));
    EXPECT_EQ(countLines(joinPath(folder, "000_A1.txt")), 12);
    // The first bin holds the records at 0 to 60 minutes, the next ones 60
    // records each.
    EXPECT_EQ(a1.substr(0, a1.find("\r\n", a1.find("\r\n") + 2) + 2),
              "15/03/2024 10:30 183\r\n15/03/2024 11:30 180\r\n");
    EXPECT_NE(a1.find("15/03/2024 21:30 180\r\n"), std::string::npos);
    // B1 sums the record numbers: 61..120 in the second bin.
    const std::string b1 = readAll(joinPath(folder, "001_B1.txt"));
    EXPECT_NE(b1.find("15/03/2024 11:30 5430\r\n"), std::string::npos);
    // The folder, then the first file written, are opened.
    ASSERT_EQ(fake.desktop.calls.size(), 2u);
    EXPECT_EQ(fake.desktop.calls[0].what, "openFolder");
    EXPECT_EQ(fake.desktop.calls[1].args[0], joinPath(folder, "000_A1.txt"));
    EXPECT_TRUE(fake.prompter.messages.empty());
    // Neither could be shown: the user learns where the files are.
    fake.desktop.result = false;
    ASSERT_EQ(exportWells(request(folder, "60", true), layout, fake.ports).status,
              WellExportStatus::Written);
    EXPECT_EQ(fake.prompter.texts(),
              std::vector<std::string>{noViewerMessage(joinPath(folder, "000_A1.txt"))});
}

TEST_F(WellExportTest, WithoutTheTimeFieldOneLinePerChannelAndTimeTxt) {
    const std::string folder = acquisition(120);
    // An earlier, longer export is replaced.
    writeFileAtomic(joinPath(folder, "ch000001.txt"), std::string(5000, 'x'));
    const WellExportOutcome o = exportWells(request(folder, "30", false), layout, fake.ports);
    ASSERT_EQ(o.status, WellExportStatus::Written);
    EXPECT_EQ(o.files.size(), 385u);
    EXPECT_EQ(readAll(joinPath(folder, "time.txt")), "1800 3600 5400 7200\r\n");
    EXPECT_EQ(readAll(joinPath(folder, "ch000000.txt")), "62 60 60 60\r\n");
    EXPECT_EQ(readAll(joinPath(folder, "ch000001.txt")), "465 1365 2265 3165\r\n");
    EXPECT_EQ(readAll(joinPath(folder, "ch000383.txt")), "0 0 0 0\r\n");
    EXPECT_FALSE(fileExists(joinPath(folder, "000_A1.txt")));
    // What is opened is what was written, never a file nobody writes.
    ASSERT_EQ(fake.desktop.calls.size(), 2u);
    EXPECT_EQ(fake.desktop.calls[1].args[0], joinPath(folder, "time.txt"));
}

TEST_F(WellExportTest, AStopWhileTheFilesAreMadeLeavesTheEarlierExportWhole) {
    const std::string folder = acquisition(120);
    writeFileAtomic(joinPath(folder, "ch000001.txt"), "earlier\r\n");
    std::atomic<bool> stop{false};
    WellExportRequest rq = request(folder, "30", false);
    rq.stop = &stop;
    double lastDone = 0, lastTotal = 0;
    rq.progress = [&](double done, double total) {
        lastDone = done;
        lastTotal = total;
        if (done >= 100) stop = true;
    };
    const WellExportOutcome o = exportWells(rq, layout, fake.ports);
    EXPECT_EQ(o.status, WellExportStatus::Ended);
    EXPECT_TRUE(o.stopped);
    EXPECT_TRUE(o.files.empty());
    EXPECT_EQ(lastDone, 100);
    EXPECT_EQ(lastTotal, 385);
    EXPECT_EQ(readAll(joinPath(folder, "ch000001.txt")), "earlier\r\n");
    EXPECT_FALSE(fileExists(joinPath(folder, "ch000000.txt")));
    EXPECT_TRUE(fake.desktop.calls.empty());
}

TEST_F(WellExportTest, BinSizeFollowsShortAcquisitionsAndMinimum) {
    EXPECT_EQ(wellExportBinSize("60", 20), 21);
    EXPECT_EQ(wellExportBinSize("60", 50), 45);
    EXPECT_EQ(wellExportBinSize("1", 500), 2);
    EXPECT_EQ(wellExportBinSize("abc", 500), 2);
    EXPECT_EQ(wellExportBinSize("120", 500), 120);

    const std::string folder = acquisition(20);
    const WellExportOutcome o = exportWells(request(folder, "60", true), layout, fake.ports);
    ASSERT_EQ(o.status, WellExportStatus::Written);
    EXPECT_EQ(o.binSize, 21);
    EXPECT_EQ(readAll(joinPath(folder, "000_A1.txt")), "15/03/2024 09:51 63\r\n");
}

// Damaged record times get the report's own checks and messages: no export
// of hundreds of thousands of bins, no bin size below 1.
TEST_F(WellExportTest, DamagedRecordTimesEndWithTheReportsMessages) {
    const struct {
        std::vector<int32_t> minutes;
        std::string message;
    } cases[] = {
        {{0, 1, 2, 10000000}, "Resampling Calculation Error546"}, // 32767 / 60
        {{-4, -4, -4}, "Resampling ERROR"},
        {{-10, -5, -1}, "Resampling ERROR"},
    };
    int n = 0;
    for (const auto& c : cases) {
        test::FakePorts ports;
        const std::string folder = fx.acquisition("20240315_093" + std::to_string(n++), "Damaged");
        test::AcquisitionFixture::writeCounts(
            folder, c.minutes, [](int, int) { return 1; }, [](int) { return 250; });
        const WellExportOutcome o = exportWells(request(folder, "60", true), layout, ports.ports);
        EXPECT_EQ(o.status, WellExportStatus::Ended) << c.message;
        EXPECT_EQ(ports.prompter.texts(), std::vector<std::string>{c.message});
        EXPECT_FALSE(fileExists(joinPath(folder, "000_A1.txt")));
    }
}

TEST_F(WellExportTest, MissingActivityFile) {
    std::string folder = fx.acquisition("20240315_0930", "Empty");
    const WellExportOutcome o = exportWells(request(folder, "30", true), layout, fake.ports);
    EXPECT_EQ(o.status, WellExportStatus::Ended);
    EXPECT_EQ(fake.prompter.texts(), std::vector<std::string>{"Activity file not Found"});
    EXPECT_TRUE(fake.desktop.calls.empty());
}

} // namespace
} // namespace trv
