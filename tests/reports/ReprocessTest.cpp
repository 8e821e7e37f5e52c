// Raw-data reprocessing on acquisitions with stored raw blocks: which
// records a run covers, where their blocks come from, STOP, the rewrite of
// counts.bin and setup.dat, the report at the end, and the threaded
// detection against the plain per-channel detection.
#include "acquisition/Analysis_Module.h"
#include "acquisition/RawBlockReader.h"
#include "reports/AcquisitionFixture.h"
#include "reports/RawAcquisition.h"
#include "reports/RawReprocess.h"
#include "reports/ReportGenerator.h"
#include "reports/StoredDetection.h"
#include "store/StoreText.h"
#include "support/Fakes.h"
#include "support/Sanitizers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace trv {
namespace {

std::string readAll(const std::string& path) {
    auto s = readWholeFile(path, 1ull << 32);
    return s ? *s : std::string();
}

// The record's counts as the file holds them.
std::vector<CountsRecord> countsOf(const std::string& folder) {
    return readCounts(joinPath(folder, "counts.bin"));
}

// The reference: every processed record's block read with the plain reader
// and every channel of a well with a beam-0 channel detected on its own,
// with marks written by the detection itself when asked.
std::vector<ChannelArray<int16_t>> referenceCounts(const std::string& folder,
                                                   const std::vector<int32_t>& stored, int records,
                                                   const PlateLayout& plate, double snr, int method,
                                                   const std::string& marksFolder) {
    std::vector<ChannelArray<int16_t>> out(static_cast<size_t>(records));
    SignalBlock block;
    for (int i = 0; i < records; ++i) {
        out[static_cast<size_t>(i)].fill(0);
        EXPECT_TRUE(readRawBlock(joinPath(folder, rawFileName(i / 11)), 500, i % 11, block));
        if (i > 0 && stored[static_cast<size_t>(i)] < stored[static_cast<size_t>(i - 1)]) continue;
        for (int ch = 0; ch < kChannels; ++ch) {
            const int well = plate.Channel_Well[static_cast<size_t>(ch)];
            if (well < 0 || plate.wellChannel(well, 0) < 0) continue;
            out[static_cast<size_t>(i)][static_cast<size_t>(ch)] =
                DetectActivity(block, ch, snr, method, marksFolder.empty() ? 0 : 1, marksFolder,
                               stored[static_cast<size_t>(i)]);
        }
    }
    return out;
}

struct ReprocessFixture : ::testing::Test {
    test::AcquisitionFixture fx; // program folder with wsix.dat, project p00003
    test::FakePorts fake;
    std::atomic<bool> stop{false};
    ReportLayout layout;

    void SetUp() override { test::copyShippedPlates(fx.program); }

    std::string make(const std::string& name, const test::RawAcquisitionPlan& plan) {
        const std::string folder = joinPath(fx.project, name);
        test::writeRawAcquisition(folder, plan);
        return folder;
    }

    ReprocessRequest request(const std::string& folder) {
        ReprocessRequest rq;
        rq.acquisitionPath = folder;
        rq.programFolder = fx.program;
        rq.options.autoreport = true;
        return rq;
    }
};

TEST(ReprocessRules, RecordsCoveredByTheTwoPasses) {
    // One record a minute: half an hour reads up to the record at 31 minutes
    // and detects those at 0 to 30.
    ReprocessRange r = reprocessRange(test::minuteTimes(60), 30);
    EXPECT_EQ(r.firstPassRecords, 32);
    EXPECT_EQ(r.firstPassTmax, 31);
    EXPECT_EQ(r.processed, 31);
    // Shorter than the limit: everything, in both passes.
    r = reprocessRange(test::minuteTimes(10), 32000);
    EXPECT_EQ(r.firstPassRecords, 11);
    EXPECT_EQ(r.processed, 11);
    r = reprocessRange({}, 30);
    EXPECT_EQ(r.firstPassRecords, 0);
    EXPECT_EQ(r.processed, 0);
}

TEST(ReprocessRules, LapseLimitAndItsMinimum) {
    EXPECT_EQ(reprocessLimitMinutes(false, "0.5"), 30);
    EXPECT_EQ(reprocessLimitMinutes(false, "1,5"), 90);
    EXPECT_EQ(reprocessLimitMinutes(true, "0.5"), 32000);
    EXPECT_EQ(reprocessLimitMinutes(false, "533"), 31980);
    // Below five minutes the limit is five minutes, and the box shows that
    // same limit again.
    EXPECT_EQ(reprocessLimitMinutes(false, "0.05"), 5);
    EXPECT_EQ(reprocessLimitMinutes(false, "abc"), 5);
    EXPECT_EQ(lapseHoursText(5), "0.08");
    EXPECT_EQ(reprocessLimitMinutes(false, lapseHoursText(5)), 5);
}

TEST(ReprocessRules, ThresholdBoxOnLeaving) {
    EXPECT_EQ(checkedThresholdText(kOrganismZebrafish, "7"), "1.8");
    EXPECT_EQ(checkedThresholdText(0, "2,5"), "2.5");
    EXPECT_EQ(checkedThresholdText(0, "1.1"), "1.1");
    EXPECT_EQ(checkedThresholdText(0, "6"), "6.0");
    EXPECT_EQ(checkedThresholdText(0, "1.05"), "1.8");
    EXPECT_EQ(checkedThresholdText(0, "x"), "1.8");
    EXPECT_EQ(checkedThresholdText(kOrganismDrosophila, "0,7"), "0.7");
    EXPECT_EQ(checkedThresholdText(kOrganismDrosophila, "1.8"), "0.8");
    EXPECT_EQ(reprocessPreset(kOrganismDrosophila).threshold, "0.8");
    EXPECT_EQ(reprocessPreset(kOrganismDrosophila).method, 3);
    EXPECT_EQ(reprocessPreset(kOrganismEchinococcus).method, 2);
    EXPECT_EQ(reprocessPreset(kOrganismZebrafish).threshold, "2.8");
    EXPECT_FALSE(reprocessPreset(kOrganismZebrafish).method.has_value());
}

TEST_F(ReprocessFixture, RecordTwentyThreeIsBlockOneOfFileTwo) {
    test::RawAcquisitionPlan plan;
    plan.minutes = test::minuteTimes(25);
    const std::string folder = make("20240315_0930", plan);
    EXPECT_EQ(RawBlockReader::fileNumberOf(23), 2);
    RawBlockReader reader(folder, 500);
    EXPECT_EQ(reader.offsetOf(23), 385770);
    SignalBlock fast, plain;
    ASSERT_TRUE(reader.read(23, fast));
    ASSERT_TRUE(readRawBlock(joinPath(folder, "2.bin"), 500, 1, plain));
    EXPECT_TRUE(fast == plain);
    // Going back to an earlier file and on past the last block.
    ASSERT_TRUE(reader.read(0, fast));
    ASSERT_TRUE(readRawBlock(joinPath(folder, "0.bin"), 500, 0, plain));
    EXPECT_TRUE(fast == plain);
    EXPECT_FALSE(reader.read(26, fast));
}

TEST_F(ReprocessFixture, HalfAnHourDetectsTheRecordsUpToThirtyMinutes) {
    test::RawAcquisitionPlan plan;
    plan.minutes = test::minuteTimes(45);
    plan.distinctBlocks = 7;
    const std::string folder = make("20240315_0930", plan);
    const std::string before = readAll(joinPath(folder, "counts.bin"));
    ReprocessRequest rq = request(folder);
    rq.lapseText = "0.5";
    rq.rawExport = true; // one marks line per detected record
    const ReprocessOutcome o = reprocessRawData(rq, layout, fake.ports, stop);
    ASSERT_EQ(o.status, ReprocessStatus::Reported)
        << ::testing::PrintToString(fake.prompter.texts());
    EXPECT_EQ(o.range.firstPassRecords, 32);
    EXPECT_EQ(o.range.processed, 31);
    EXPECT_EQ(o.binSize, 30);
    const auto texts = fake.status.on(status::ReportRawStatus);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), "Block 0/32");
    EXPECT_EQ(texts[1], "Block 1/32");
    EXPECT_EQ(texts.back(), "Block 32/32");
    EXPECT_EQ(countLines(joinPath(folder, "ch0.raw")), 31);
    EXPECT_EQ(readAll(joinPath(folder, "ch0.raw")).substr(0, 2), "0 ");
    // Without "Replace old data" the stored counts stay, and the header names
    // the detection that was run.
    EXPECT_EQ(readAll(joinPath(folder, "counts.bin")), before);
    const std::string report = readAll(o.reportPath);
    EXPECT_NE(report.find("\"SETTING:\",\"1_Threshold Avrg (Default.Agar&Liquid) C elegans(>L4) "
                          "[SNR=1.8]\""),
              std::string::npos);
    EXPECT_NE(report.find("Group/Time[m],30\r\n"), std::string::npos);
    EXPECT_EQ(report.find("Group/Time[m],30,"), std::string::npos);
    EXPECT_TRUE(fake.desktop.calls.empty());
}

TEST_F(ReprocessFixture, StopAfterTenBlocksKeepsEverythingAsItWas) {
    test::RawAcquisitionPlan plan;
    plan.minutes = test::minuteTimes(30);
    plan.distinctBlocks = 7;
    const std::string folder = make("20240315_0930", plan);
    const std::string counts = readAll(joinPath(folder, "counts.bin"));
    const std::string setup = readAll(joinPath(folder, "setup.dat"));
    ReprocessRequest rq = request(folder);
    rq.replaceData = true;
    fake.pump.at[10] = [&] { stop = true; };
    const ReprocessOutcome o = reprocessRawData(rq, layout, fake.ports, stop);
    EXPECT_EQ(o.status, ReprocessStatus::Stopped);
    EXPECT_EQ(fake.status.current[status::ReportRawStatus], "Block 11/31");
    EXPECT_EQ(readAll(joinPath(folder, "counts.bin")), counts);
    EXPECT_EQ(readAll(joinPath(folder, "setup.dat")), setup);
    EXPECT_FALSE(fileExists(joinPath(folder, "setup.bak")));
    EXPECT_TRUE(listFiles(folder, "report*").empty());
    EXPECT_TRUE(listFiles(folder, "*.tmp").empty());
    EXPECT_TRUE(fake.prompter.messages.empty());
}

// Replace old data: every record (the last one included) gets the counts
// of the plain detection; a record whose time went back gets zeros; the
// setup records the detection; the report equals a later "Generate..."
// from the rewritten file.
TEST_F(ReprocessFixture, ReplaceRewritesEveryRecordAndTheSetup) {
    test::RawAcquisitionPlan plan;
    plan.plate = "wsix";
    plan.minutes = {0, 1, 2, 3, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    plan.temperature = [](int i) { return 240 + i; };
    const std::string folder = make("20240315_0930", plan);
    const std::string oldSetup = readAll(joinPath(folder, "setup.dat"));

    ReprocessRequest rq = request(folder);
    rq.replaceData = true;
    rq.method = 0;
    rq.organism = kOrganismZebrafish;
    rq.thresholdText = "2,6";
    rq.binText = "5";
    const ReprocessOutcome o = reprocessRawData(rq, layout, fake.ports, stop);
    ASSERT_EQ(o.status, ReprocessStatus::Reported)
        << ::testing::PrintToString(fake.prompter.texts());
    EXPECT_TRUE(o.countsReplaced);
    EXPECT_TRUE(o.setupUpdated);
    EXPECT_EQ(o.range.processed, 15);

    const auto expected =
        referenceCounts(folder, plan.minutes, 15, layout.plate, 2.6, 0, std::string());
    const auto records = countsOf(folder);
    ASSERT_EQ(records.size(), 15u);
    int detected = 0;
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(records[static_cast<size_t>(i)].minutes, plan.minutes[static_cast<size_t>(i)]);
        EXPECT_EQ(records[static_cast<size_t>(i)].counts[384], 240 + i);
        for (int ch = 0; ch < kChannels; ++ch) {
            ASSERT_EQ(records[static_cast<size_t>(i)].counts[static_cast<size_t>(ch)],
                      expected[static_cast<size_t>(i)][static_cast<size_t>(ch)])
                << "record " << i << " channel " << ch;
            detected += records[static_cast<size_t>(i)].counts[static_cast<size_t>(ch)];
        }
    }
    EXPECT_GT(detected, 0);
    // B3 has only a beam-1 channel (21): not detected; channel 5 lies in no well.
    EXPECT_EQ(records[14].counts[21], 0);
    EXPECT_EQ(records[14].counts[5], 0);
    EXPECT_EQ(records[4].counts[0], 0); // its time went back
    EXPECT_NE(records[14].counts[0], 7);

    // setup.dat: method 0 in line 4, Zebrafish and 26 in line 10, every other
    // line as it was; setup.bak holds the old file.
    EXPECT_EQ(readAll(joinPath(folder, "setup.bak")), oldSetup);
    const auto oldLines = splitLines(oldSetup);
    const auto newLines = splitLines(readAll(joinPath(folder, "setup.dat")));
    ASSERT_EQ(oldLines.size(), newLines.size());
    for (size_t l = 0; l < oldLines.size(); ++l) {
        if (l == 3 || l == 9) continue;
        EXPECT_EQ(newLines[l], oldLines[l]) << "line " << l + 1;
    }
    EXPECT_EQ(newLines[3], "1,30,99,500,0,30");
    EXPECT_EQ(newLines[9], "1,1,1,26,0,0");
    EXPECT_EQ(o.setting, "Mode0 Zebrafish[snr=2.6]");

    // The same report as a generation from the rewritten file.
    const std::string reprocessed = readAll(o.reportPath);
    ReportRequest g;
    g.acquisitionPath = folder;
    g.programFolder = fx.program;
    g.binText = "5";
    g.options.autoreport = true;
    const ReportOutcome generated = generateReport(g, layout, fake.ports);
    ASSERT_EQ(generated.status, ReportStatus::Written);
    EXPECT_EQ(readAll(generated.path), reprocessed);
}

TEST_F(ReprocessFixture, MissingRawBlockEndsWithReportError) {
    test::RawAcquisitionPlan plan;
    plan.minutes = test::minuteTimes(20);
    plan.rawRecords = 15;
    plan.distinctBlocks = 3;
    const std::string folder = make("20240315_0930", plan);
    const std::string counts = readAll(joinPath(folder, "counts.bin"));
    ReprocessRequest rq = request(folder);
    rq.replaceData = true;
    const ReprocessOutcome o = reprocessRawData(rq, layout, fake.ports, stop);
    EXPECT_EQ(o.status, ReprocessStatus::Failed);
    EXPECT_EQ(fake.prompter.texts(), std::vector<std::string>{"Report Error"});
    EXPECT_EQ(readAll(joinPath(folder, "counts.bin")), counts);
    EXPECT_TRUE(listFiles(folder, "report*").empty());
}

TEST_F(ReprocessFixture, SetupThatCannotBeUpdatedIsReported) {
    test::RawAcquisitionPlan plan;
    plan.minutes = test::minuteTimes(12);
    plan.distinctBlocks = 3;
    const std::string folder = make("20240315_0930", plan);
    // A setup.dat whose Mn1 line is cut short: the layout loads, the
    // update cannot rebuild that line.
    auto lines = splitLines(readAll(joinPath(folder, "setup.dat")));
    lines[9] = "1,1";
    std::string setup;
    for (const std::string& l : lines)
        setup += l + "\r\n";
    writeFileAtomic(joinPath(folder, "setup.dat"), setup);
    EXPECT_FALSE(updateAcquisitionSetup(folder, 1, 0, 18));
    ReprocessRequest rq = request(folder);
    rq.replaceData = true;
    rq.binText = "5";
    const ReprocessOutcome o = reprocessRawData(rq, layout, fake.ports, stop);
    EXPECT_TRUE(o.countsReplaced);
    EXPECT_FALSE(o.setupUpdated);
    EXPECT_TRUE(fake.prompter.saw("error Updating setup.dat"));
    EXPECT_EQ(o.status, ReprocessStatus::Reported);
}

// Two detection threads give what one gives: the same counts, the same
// marks files byte for byte, the same report.
TEST_F(ReprocessFixture, ParallelRunEqualsSequentialRun) {
    test::RawAcquisitionPlan plan;
    plan.minutes = test::minuteTimes(25);
    plan.minutes[20] = 3; // one record whose time goes back
    plan.distinctBlocks = 13;
    const std::string a = make("20240315_0930", plan);
    const std::string b = make("20240315_1030", plan);
    const std::string ref = joinPath(fx.project, "reference");
    makeFolder(ref);

    ReprocessRequest rq = request(a);
    rq.replaceData = true;
    rq.rawExport = true;
    rq.workers = 1;
    const ReprocessOutcome one = reprocessRawData(rq, layout, fake.ports, stop);
    rq.acquisitionPath = b;
    rq.workers = 2;
    const ReprocessOutcome two = reprocessRawData(rq, layout, fake.ports, stop);
    ASSERT_EQ(one.status, ReprocessStatus::Reported);
    ASSERT_EQ(two.status, ReprocessStatus::Reported);
    // Export Raw cleared "Replace old data" in the window; here both are set
    // on purpose so the stored counts can be compared.
    EXPECT_EQ(readAll(joinPath(a, "counts.bin")), readAll(joinPath(b, "counts.bin")));

    const auto expected = referenceCounts(a, plan.minutes, 26, layout.plate, 1.8, 1, ref);
    const auto records = countsOf(b);
    for (int i = 0; i < 26; ++i)
        for (int ch = 0; ch < kChannels; ++ch)
            ASSERT_EQ(records[static_cast<size_t>(i)].counts[static_cast<size_t>(ch)],
                      expected[static_cast<size_t>(i)][static_cast<size_t>(ch)])
                << "record " << i << " channel " << ch;
    for (int ch : {0, 17, 200, 383}) {
        const std::string name = "ch" + std::to_string(ch) + ".raw";
        EXPECT_EQ(countLines(joinPath(b, name)), 25);
        EXPECT_EQ(readAll(joinPath(a, name)), readAll(joinPath(b, name))) << name;
        EXPECT_EQ(readAll(joinPath(ref, name)), readAll(joinPath(b, name))) << name;
    }
    std::string ra = readAll(one.reportPath), rb = readAll(two.reportPath);
    ASSERT_FALSE(ra.empty());
    EXPECT_EQ(ra.substr(ra.find("\"SUBPROJECT")), rb.substr(rb.find("\"SUBPROJECT")));
}

// The engine hands records back in order whatever the thread count, and a
// stop request leaves the records after it unreported.
TEST_F(ReprocessFixture, DetectionEngineKeepsOrderAndStops) {
    test::RawAcquisitionPlan plan;
    plan.minutes = test::minuteTimes(30);
    plan.distinctBlocks = 5;
    const std::string folder = make("20240315_0930", plan);
    for (int workers : {1, 2, 3}) {
        StoredDetectionJob job;
        job.folder = folder;
        job.recordCount = 31;
        job.channels = {0, 5, 383};
        job.workers = workers;
        job.lookahead = 3;
        std::vector<int> seen;
        StoredDetectionResult r = detectStoredBlocks(job, [&](int i) {
            seen.push_back(i);
            return i < 20;
        });
        EXPECT_EQ(r.end, StoredDetectionEnd::Stopped);
        EXPECT_EQ(r.recordsDone, 21);
        ASSERT_EQ(seen.size(), 21u) << workers;
        for (int i = 0; i < 21; ++i)
            EXPECT_EQ(seen[static_cast<size_t>(i)], i);
        // A block past the raw files ends the run at that record.
        job.recordCount = 40;
        r = detectStoredBlocks(job, [](int) { return true; });
        EXPECT_EQ(r.end, StoredDetectionEnd::ReadFailed);
        EXPECT_EQ(r.failedRecord, 31);
        EXPECT_EQ(r.recordsDone, 31);
    }
}

// A counts.bin larger than the memory the process may use ends the run with
// the reason instead of an uncaught exception. The child process gets a 1 GB
// address limit and a 3.9 GB (sparse) counts.bin.
TEST_F(ReprocessFixture, ACountsFileTooLargeForMemoryEndsWithAMessage) {
#if TRV_ADDRESS_SANITIZER
    GTEST_SKIP() << "the address sanitizer reserves more than the limit";
#else
    const std::string folder = fx.acquisition("20240315_0930", "Huge");
    const std::string counts = joinPath(folder, "counts.bin");
    writeFileAtomic(counts, "");
    ASSERT_EQ(::truncate(counts.c_str(), 5'000'000LL * kCountsRecordSize), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        rlimit lim{1LL << 30, 1LL << 30};
        ::setrlimit(RLIMIT_AS, &lim);
        test::FakePorts ports;
        std::atomic<bool> never{false};
        ReportLayout l;
        const ReprocessOutcome o = reprocessRawData(request(folder), l, ports.ports, never);
        const auto texts = ports.prompter.texts();
        const bool said =
            texts.size() == 1 &&
            texts[0].rfind("Report Error\r\nNot enough memory to work on " + counts, 0) == 0;
        _exit(o.status == ReprocessStatus::Failed && said ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(fileSize(counts), 5'000'000LL * kCountsRecordSize); // left as it was
#endif
}

} // namespace
} // namespace trv
