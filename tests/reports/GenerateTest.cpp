// Whole generations on hand-made acquisitions, compared byte for byte with
// the reports kept in tests/reports/fixtures (the acquisition path is
// written there as <ACQ>). TRELVANE_UPDATE_FIXTURES=1 rewrites them.
#include "TestPaths.h"
#include "reports/AcquisitionFixture.h"
#include "reports/ReportGenerator.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace trv {
namespace {

const std::string kFixtures = std::string(TRELVANE_SOURCE_DIR) + "/tests/reports/fixtures/";

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

// The report with the acquisition's path replaced, compared with a fixture.
void expectFixture(const std::string& report, const std::string& acquisition,
                   const std::string& name) {
    const std::string text = replaceAll(report, acquisition, "<ACQ>");
    const char* update = std::getenv("TRELVANE_UPDATE_FIXTURES");
    if (update && std::string(update) == "1") {
        std::ofstream(kFixtures + name, std::ios::binary) << text;
        return;
    }
    const std::string expected = readFile(kFixtures + name);
    ASSERT_FALSE(expected.empty()) << "missing fixture " << name;
    EXPECT_EQ(text, expected) << "fixture " << name;
}

// Three hours, a record every 30 s (stored minutes 0, 0, 1, 1, ...).
void writeMain(const std::string& folder) {
    std::vector<int32_t> minutes;
    for (int i = 0; i <= 360; ++i)
        minutes.push_back(i / 2);
    test::AcquisitionFixture::writeCounts(
        folder, minutes,
        [](int ch, int i) {
            return test::sixWellChannel(ch) ? (ch % 5 + 1) * ((i * 3 + ch) % 7) + i / 120 : 0;
        },
        [](int i) { return 240 + (i / 7) % 13; });
}

// Two hours of basal activity, never zero in a well.
void writeBasal(const std::string& folder) {
    std::vector<int32_t> minutes;
    for (int i = 0; i <= 240; ++i)
        minutes.push_back(i / 2);
    test::AcquisitionFixture::writeCounts(
        folder, minutes,
        [](int ch, int i) { return test::sixWellChannel(ch) ? (ch * 5 + i) % 7 + 1 : 0; },
        [](int) { return 0; });
}

struct Generation {
    test::AcquisitionFixture fx;
    test::FakePorts fp;
    std::string acq;
    ReportRequest rq;
    ReportLayout layout;

    Generation() {
        acq = fx.acquisition("20240315_0930", "Dose test 2");
        writeMain(acq);
        writeBasal(fx.acquisition("20240315_0800", "Basal"));
        rq.acquisitionPath = acq;
        rq.programFolder = fx.program;
        rq.binText = "60";
        rq.options.stdError = rq.options.stdDev = rq.options.wellCount = true;
    }
    void useBasal() {
        rq.basalChoice = "20240315_0800 Basal";
        fp.prompter.type("120");
    }
    ReportOutcome run() { return generateReport(rq, layout, fp.ports); }
};

struct FixtureCase {
    const char* file;
    OutputFormat format;
    bool basal;
    int fileType;
    const char* separator;
    const char* decimal;
};

class ReportFixtures : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(ReportFixtures, MatchesByteForByte) {
    const FixtureCase& fc = GetParam();
    Generation g;
    g.rq.options.format = fc.format;
    g.rq.options.fileType = fc.fileType;
    g.rq.options.separator = fc.separator;
    g.fp.locale.decimal = fc.decimal;
    if (fc.basal) g.useBasal();
    ReportOutcome o = g.run();
    ASSERT_EQ(o.status, ReportStatus::Written) << ::testing::PrintToString(g.fp.prompter.texts());
    EXPECT_EQ(o.basal, fc.basal);
    EXPECT_EQ(o.binSize, 60);
    expectFixture(readFile(o.path), g.acq, fc.file);
    // The copy under the title is the same report.
    const std::string ext = fc.fileType == 1 ? ".txt" : ".csv";
    EXPECT_EQ(readFile(g.acq + "/Dose_test_2" + ext), readFile(o.path));
    EXPECT_EQ(g.fp.desktop.calls.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    AllFormats, ReportFixtures,
    ::testing::Values(FixtureCase{"rows.csv", OutputFormat::Rows, false, 0, ",", "."},
                      FixtureCase{"rows_basal.csv", OutputFormat::Rows, true, 0, ",", "."},
                      FixtureCase{"list_comma_locale.txt", OutputFormat::List, false, 1, ";", ","},
                      FixtureCase{"list_basal.csv", OutputFormat::List, true, 0, ",", "."},
                      FixtureCase{"warray.csv", OutputFormat::WArray, false, 0, ",", "."},
                      FixtureCase{"warray_basal.csv", OutputFormat::WArray, true, 0, ",", "."},
                      FixtureCase{"charray.txt", OutputFormat::ChArray, false, 1, "\t", "."},
                      FixtureCase{"charray_basal.csv", OutputFormat::ChArray, true, 0, ",", "."}),
    [](const ::testing::TestParamInfo<FixtureCase>& info) {
        std::string n = info.param.file;
        for (char& c : n)
            if (c == '.') c = '_';
        return n;
    });

TEST(Generate, HistogramReportFromHistoFiles) {
    Generation g;
    g.rq.options.format = OutputFormat::Histogram;
    // histo0000.bin and histo0002.bin, no histo0001.bin: two records in the
    // first hour (the second is reported), one in each later hour.
    auto counts = [](int scale) {
        return [scale](int bin, int beam) {
            return test::sixWellChannel(beam) && bin >= 2 && bin < 50 ? scale * (bin + beam % 5)
                                                                      : 0;
        };
    };
    test::appendHistogramRecord(g.acq, 0, 20.0, 0.5, counts(1));
    test::appendHistogramRecord(g.acq, 0, 50.0, 0.5, counts(2));
    test::appendHistogramRecord(g.acq, 2, 110.0, 0.5, counts(3));
    test::appendHistogramRecord(g.acq, 2, 170.0, 0.5, counts(4));
    ReportOutcome o = g.run();
    ASSERT_EQ(o.status, ReportStatus::Written);
    expectFixture(readFile(o.path), g.acq, "histogram.csv");
    // A mean of 0.5 s per sample labels the bins 0.0, 0.5, ... 15.0.
    const std::string text = readFile(o.path);
    EXPECT_NE(text.find("Time[m],Group/Frequency:,0.0,0.5,1.0,1.5,"), std::string::npos);
    EXPECT_NE(text.find(",14.5,15.0\r\n"), std::string::npos);
}

TEST(Generate, HistogramWithoutFilesWritesEmptySections) {
    Generation g;
    g.rq.options.format = OutputFormat::Histogram;
    ReportOutcome o = g.run();
    ASSERT_EQ(o.status, ReportStatus::Written);
    EXPECT_TRUE(g.fp.prompter.saw("Error getting Histogram.bin data"));
    const std::string text = readFile(o.path);
    EXPECT_NE(text.find("Group/Frequency:,0.0,0.0,"), std::string::npos);
    // No present column: no group lines; wells listed without values.
    EXPECT_NE(text.find("\r\n60,A1,\"000_Control\"\r\n"), std::string::npos);
}

TEST(Generate, MissingFilesEndWithTheirMessages) {
    {
        Generation g;
        g.rq.acquisitionPath = g.fx.project + "/20240316_1000";
        makeFolder(g.rq.acquisitionPath);
        ReportOutcome o = g.run();
        EXPECT_EQ(o.status, ReportStatus::Ended);
        EXPECT_EQ(g.fp.prompter.texts(), (std::vector<std::string>{"Activity file not Found"}));
    }
    {
        Generation g;
        std::string other =
            g.fx.acquisition("20240316_1000", "x", test::AcquisitionFixture::tables(), "w48");
        writeMain(other);
        g.rq.acquisitionPath = other;
        ReportOutcome o = g.run();
        EXPECT_EQ(o.status, ReportStatus::Ended);
        EXPECT_EQ(
            g.fp.prompter.texts(),
            (std::vector<std::string>{"Multiwell Configuration File w48.dat or .bak not found"}));
        EXPECT_FALSE(g.layout.loaded);
    }
    {
        // The .bak copy of a plate file serves when the .dat is gone.
        Generation g;
        ASSERT_EQ(copyFile(g.fx.program + "/wsix.dat", g.fx.program + "/wsix.bak"), 1);
        ::unlink((g.fx.program + "/wsix.dat").c_str());
        ReportOutcome o = g.run();
        EXPECT_EQ(o.status, ReportStatus::Written);
        EXPECT_TRUE(g.fp.prompter.messages.empty());
    }
    {
        // No setup.dat and no layout from an earlier generation.
        Generation g;
        ::unlink((g.acq + "/setup.dat").c_str());
        ReportOutcome o = g.run();
        EXPECT_EQ(o.status, ReportStatus::Failed);
        EXPECT_EQ(g.fp.prompter.texts(), (std::vector<std::string>{"Report Error"}));
    }
}

TEST(Generate, ADamagedPlateFileIsNamedWithWhatIsWrongWithIt) {
    const std::string titles = "\"Six wells\",\"test plate\"\r\n";
    const std::string good = test::sixWellPlateText();
    const std::string list = good.substr(good.find("\"<Channel>"));
    const struct {
        std::string text;
        std::string reason;
    } cases[] = {
        {titles + "0,1.0,0,3,1.0,0\r\n" + list, "0 rows and 3 columns: both must lie in 1 to 384"},
        {titles, "the titles and geometry cannot be read (read past the end of the data)"},
        {good.substr(0, good.find("\"5\",")) + "\"5\",400,0\r\n",
         "channel record 5 names well 400, beam 0 (wells and beams run from 0 to 384)"},
    };
    for (const auto& c : cases) {
        Generation g;
        writeFileAtomic(g.fx.program + "/wsix.dat", c.text);
        EXPECT_EQ(g.run().status, ReportStatus::Failed);
        EXPECT_EQ(
            g.fp.prompter.texts(),
            std::vector<std::string>{"Report Error\r\n" + g.fx.program + "/wsix.dat: " + c.reason});
    }
}

TEST(Generate, BinSizeFollowsTheAcquisitionLength) {
    EXPECT_EQ(reportBinSize("60", 20), 20);
    EXPECT_EQ(reportBinSize("120", 100), 90);
    EXPECT_EQ(reportBinSize("0", 180), 1);
    EXPECT_EQ(reportBinSize("abc", 180), 1);
    EXPECT_EQ(reportBinSize("30 min", 180), 30);
    EXPECT_EQ(reportBinSize("60", 30), 30); // 30 minutes or less: all of it
    EXPECT_EQ(reportBinSize("99999", 200), 195);

    Generation g;
    g.rq.binText = "0";
    ReportOutcome o = g.run();
    ASSERT_EQ(o.status, ReportStatus::Written);
    EXPECT_EQ(o.binSize, 1);
    // Bin "240" on a 180-minute acquisition: 180 is whole quarter hours.
    Generation h;
    h.rq.binText = "240";
    o = h.run();
    ASSERT_EQ(o.status, ReportStatus::Written);
    EXPECT_EQ(o.binSize, 180);
    EXPECT_NE(readFile(o.path).find("Group/Time[m],180\r\n"), std::string::npos);
}

TEST(Generate, BasalQuestionsAndZeroBasalDiscard) {
    test::AcquisitionFixture fx;
    std::string acq = fx.acquisition("20240315_0930", "Zero");
    writeMain(acq);
    // A 180-minute basal in which well B2 (channel 3) never moved.
    std::string basal = fx.acquisition("20240315_0600", "Basal");
    std::vector<int32_t> minutes;
    for (int i = 0; i <= 360; ++i)
        minutes.push_back(i / 2);
    test::AcquisitionFixture::writeCounts(
        basal, minutes, [](int ch, int) { return test::sixWellChannel(ch) && ch != 3 ? 2 : 0; },
        [](int) { return 0; });

    test::FakePorts fp;
    fp.prompter.type("120");            // the basal minutes
    fp.prompter.answer(Answer::Ok);     // "Using Groups Selected ..."
    fp.prompter.answer(Answer::Yes);    // proceed anyway
    fp.prompter.answer(Answer::Cancel); // discard
    ReportRequest rq;
    rq.acquisitionPath = acq;
    rq.programFolder = fx.program;
    rq.binText = "60";
    rq.basalChoice = "20240315_0600 Basal";
    ReportLayout layout;
    ReportOutcome o = generateReport(rq, layout, fp.ports);
    ASSERT_EQ(o.status, ReportStatus::Written) << ::testing::PrintToString(fp.prompter.texts());
    ASSERT_EQ(fp.prompter.prompts.size(), 1u);
    EXPECT_EQ(fp.prompter.prompts[0].preset, "120");
    const auto& m = fp.prompter.messages;
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0].text, "Using Groups Selected in Experiment: " + acq.substr(acq.size() - 20));
    EXPECT_EQ(m[0].title, "<BASAL CALCULATION>");
    EXPECT_EQ(m[1].text, "You have 1 BASAL WELLS with 0 activity. Proceed anyway??");
    EXPECT_EQ(
        m[3].text,
        "ERROR in 1 BASAL channels.\r\nChannels were discarded and transferred to Free Group");
    const std::string text = readFile(o.path);
    // Well B2 is now free with -999 in every column, after its time-0 100.
    EXPECT_NE(text.find("B2,\"999_Free\",100,-999,-999,-999\r\n"), std::string::npos);

    // Refusing ends without a report.
    test::FakePorts no;
    no.prompter.type("120");
    no.prompter.answer(Answer::Ok);
    no.prompter.answer(Answer::No);
    ::unlink(o.path.c_str());
    ReportLayout layout2;
    EXPECT_EQ(generateReport(rq, layout2, no.ports).status, ReportStatus::Ended);
    EXPECT_FALSE(fileExists(o.path));
    // Cancelling the minutes question ends too.
    test::FakePorts cancel;
    cancel.prompter.cancelInput();
    EXPECT_EQ(generateReport(rq, layout2, cancel.ports).status, ReportStatus::Ended);
    EXPECT_FALSE(fileExists(o.path));
}

} // namespace
} // namespace trv
