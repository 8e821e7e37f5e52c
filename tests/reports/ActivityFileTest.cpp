#include "reports/ActivityFile.h"
#include "reports/AcquisitionFixture.h"
#include "reports/ReportLoad.h"
#include "reports/SeriesBuilder.h"
#include "store/StoreText.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

TEST(DayCorrection, MidnightCases) {
    // 1430, 1435, 5, 10: the duration counts the new day from the record
    // after the drop; loading stops at the last record reaching the maximum.
    const std::vector<int32_t> a = {1430, 1435, 5, 10};
    EXPECT_EQ(durationOfStoredTimes(a), 1450);
    EXPECT_EQ(lastRisingRecord(a), 1);
    EXPECT_EQ(dayCorrectedTimes(a), (std::vector<int32_t>{1430, 1435, 1445, 1450}));

    // 2000, 500, 2500: all three load, corrected 2000, 1940, 3940.
    const std::vector<int32_t> b = {2000, 500, 2500};
    EXPECT_EQ(lastRisingRecord(b), 2);
    EXPECT_EQ(dayCorrectedTimes(b), (std::vector<int32_t>{2000, 1940, 3940}));
    EXPECT_EQ(durationOfStoredTimes(b), 3940);

    // A drop of exactly 1000 is not a new day; equal times still rise.
    EXPECT_EQ(dayCorrectedTimes({1200, 200}), (std::vector<int32_t>{1200, 200}));
    EXPECT_EQ(lastRisingRecord({0, 0, 1, 1, 0}), 3);
    EXPECT_EQ(lastRisingRecord({}), -1);
    EXPECT_EQ(durationOfStoredTimes({}), 0);
}

// counts.bin written by the acquisition's writer.
std::string countsFile(const test::TempDir& d, const std::vector<int32_t>& minutes) {
    for (size_t i = 0; i < minutes.size(); ++i) {
        ChannelArray<int16_t> v{};
        v[7] = static_cast<int16_t>(10 * (i + 1));
        v[384] = static_cast<int16_t>(250 + i);
        AppendCounts(d.path(), minutes[i], v);
    }
    return d / "counts.bin";
}

TEST(ActivityFile, LoadsRisingRecordsWithDayCorrection) {
    test::TempDir d;
    test::FakePrompter p;
    const std::string path = countsFile(d, {1430, 1435, 5, 10});
    EXPECT_EQ(measureDuration(path, p), 1450);
    ActivitySeries s;
    EXPECT_EQ(loadActivityFile(path, s, p), 1);
    EXPECT_EQ(s.time, (std::vector<int32_t>{1430, 1435}));
    EXPECT_EQ(s.count(7, 1), 20);
    EXPECT_EQ(s.count(6, 1), 0);
    EXPECT_EQ(s.temperature, (std::vector<int16_t>{250, 251}));

    test::TempDir e;
    const std::string path2 = countsFile(e, {2000, 500, 2500});
    EXPECT_EQ(loadActivityFile(path2, s, p), 2);
    EXPECT_EQ(s.time, (std::vector<int32_t>{2000, 1940, 3940}));
    EXPECT_TRUE(p.messages.empty());

    // A record cut short at the end is not read.
    std::string bytes = e.read("counts.bin");
    e.write("counts.bin", bytes + std::string(100, '\x01'));
    EXPECT_EQ(loadActivityFile(path2, s, p), 2);
    EXPECT_EQ(measureDuration(path2, p), 3940);
}

TEST(ActivityFile, FixtureWriterWritesWhatTheAcquisitionWrites) {
    test::TempDir a, b;
    auto count = [](int ch, int i) { return ch * 3 - i * 1000; };
    auto temp = [](int i) { return 245 + i; };
    test::AcquisitionFixture::writeCounts(a.path(), {0, 1, 1500}, count, temp);
    for (int i = 0; i < 3; ++i) {
        ChannelArray<int16_t> v{};
        for (int ch = 0; ch < 384; ++ch)
            v[static_cast<size_t>(ch)] = static_cast<int16_t>(count(ch, i));
        v[384] = static_cast<int16_t>(temp(i));
        AppendCounts(b.path(), i == 2 ? 1500 : i, v);
    }
    EXPECT_EQ(a.read("counts.bin"), b.read("counts.bin"));
    EXPECT_EQ(a.read("counts.bin").size(), 3u * 774);
}

TEST(ActivityFile, UnreadableFilesGiveTheirMessages) {
    test::TempDir d;
    test::FakePrompter p;
    const std::string path = d / "counts.bin";
    EXPECT_EQ(measureDuration(path, p), 0);
    ActivitySeries s = test::makeSeries({1}, [](int, int) { return 1; });
    EXPECT_EQ(loadActivityFile(path, s, p), 0);
    EXPECT_EQ(s.size(), 0);
    EXPECT_EQ(p.texts(),
              (std::vector<std::string>{"Error reading " + path, "Error loading " + path}));
}

TEST(ReportLoad, LayoutAndSettingFromTheAcquisitionFolder) {
    test::AcquisitionFixture fx;
    test::FakePrompter p;
    const std::string acq = fx.acquisition("20240315_0930", "T");
    ReportLayout L;
    EXPECT_EQ(loadReportLayout(acq, fx.program, L, p), LayoutLoad::Loaded);
    EXPECT_TRUE(L.loaded);
    EXPECT_EQ(L.plate.Plate_Rows, 2);
    EXPECT_EQ(L.plate.Plate_Columns, 3);
    EXPECT_EQ(L.plate.Max_Well, 5);
    EXPECT_EQ(L.plate.Max_Beam, 1);
    EXPECT_EQ(L.beam0Channel(0), 0);
    EXPECT_EQ(L.plate.wellChannel(0, 1), 16);
    EXPECT_EQ(L.beam0Channel(5), -1);
    EXPECT_EQ(L.groupLabel(1), "\"001_Dose\"");
    EXPECT_EQ(L.groupOf(21), 1);
    EXPECT_EQ(reportSettingText(acq, "."), "Mode1 Zebrafish[snr=2.5]");
    EXPECT_TRUE(p.messages.empty());

    // A missing chgroup.dat: the store's message and default groups.
    ::unlink((acq + "/chgroup.dat").c_str());
    EXPECT_EQ(loadReportLayout(acq, fx.program, L, p), LayoutLoad::Loaded);
    EXPECT_EQ(p.texts(), (std::vector<std::string>{
                             "Error [\\p00003\\chgroup.dat] => Loading default groups..."}));
    EXPECT_EQ(L.groupOf(16), 1);

    // No setup.dat: nothing changes.
    ::unlink((acq + "/setup.dat").c_str());
    L.channels.Group_Name[0] = "kept";
    EXPECT_EQ(loadReportLayout(acq, fx.program, L, p), LayoutLoad::NoSetup);
    EXPECT_TRUE(L.loaded);
    EXPECT_EQ(L.channels.Group_Name[0], "kept");
    EXPECT_EQ(reportSettingText(acq, "."), "");
}

TEST(ReportLoad, SettingTextOrganismsAndThreshold) {
    test::TempDir d;
    auto setting = [&](int method, int organism, int snr) {
        ProjectSetup s;
        s.DSP_Method = static_cast<int16_t>(method);
        s.Organism() = static_cast<int16_t>(organism);
        s.SNRx10() = static_cast<int16_t>(snr);
        writeFileAtomic(d / "setup.dat", setupFileText(s, 1));
        return reportSettingText(d.path(), ",");
    };
    EXPECT_EQ(setting(1, 0, 0), "Mode1 C.elegans[snr=1,8]"); // below 5 reads as 18
    EXPECT_EQ(setting(2, 2, 5), "Mode2 Echinococcus[snr=0,5]");
    EXPECT_EQ(setting(0, 3, 30), "Mode0 [snr=3,0]");

    // A copy cut short keeps what its first lines say: organism and
    // threshold sit on line 10, the method on line 4.
    auto cutTo = [&](int lines) {
        const auto all = splitLines(*readWholeFile(d / "setup.dat"));
        std::string text;
        for (int i = 0; i < lines; ++i)
            text += all[static_cast<size_t>(i)] + "\r\n";
        writeFileAtomic(d / "setup.dat", text);
        return reportSettingText(d.path(), ".");
    };
    for (int lines : {19, 10}) {
        setting(2, 1, 25);
        EXPECT_EQ(cutTo(lines), "Mode2 Zebrafish[snr=2.5]") << lines;
    }
    setting(2, 1, 25);
    EXPECT_EQ(cutTo(9), "Mode2 C.elegans[snr=1.8]");
}

} // namespace
} // namespace trv
