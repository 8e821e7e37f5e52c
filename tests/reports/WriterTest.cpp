#include "common/Files.h"
#include "reports/ReportWriter.h"
#include "reports/SeriesBuilder.h"
#include "reports/Statistics.h"
#include "support/Fakes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace trv {
namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) break;
        out.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
    return out;
}

bool hasLine(const std::vector<std::string>& ls, const std::string& l) {
    return std::find(ls.begin(), ls.end(), l) != ls.end();
}

// A 2 x 2 plate on channels 0..3 (one beam each); groups 0, 0, 2 and free;
// group 1 has no wells. Three one-hour bins.
struct Small {
    ReportLayout layout = test::makeLayout(2, 2, {0, 1, 2, 3}, {}, {0, 0, 2, -1});
    ActivitySeries series = test::makeSeries(
        {60, 120, 180}, [](int ch, int i) { return ch < 4 ? 10 * ch + i : 0; },
        [](int) { return 245; });
    ReportStatistics stats;
    ReportContent content;
    ReportOptions options;

    Small() {
        layout.channels.Group_Name[0] = "Control";
        layout.channels.Group_Name[2] = "Dose";
        test::FakePrompter p;
        stats = computeStatistics(series, layout, 180, 2, 60, OutputFormat::Rows, p);
        content.acquisitionPath = "/data/p00003/20240315_0930";
        content.title = "Dose test 2";
        content.setting = "Mode1 C.elegans[snr=1.8]";
        content.tmax = 180;
        content.lastBin = 2;
        content.binSize = 60;
        content.layout = &layout;
        content.stats = &stats;
    }
    std::vector<std::string> render(const std::string& mark = ".") {
        return lines(renderReport(content, options, "15/03/2024 09:30:00", mark));
    }
};

TEST(ReportWriter, RowsHeadersWithAndWithoutBasal) {
    Small s;
    auto ls = s.render();
    ASSERT_GE(ls.size(), 8u);
    EXPECT_EQ(ls[0], "\"DATE:\",\"15/03/2024 09:30:00\"");
    EXPECT_EQ(ls[1], "\"FILE:\",\"/data/p00003/20240315_0930\"");
    EXPECT_EQ(ls[2], "\"SUBPROJECT:\",\"Dose test 2\"");
    EXPECT_EQ(ls[3], "\"SETTING:\",\"Mode1 C.elegans[snr=1.8]\"");
    EXPECT_EQ(ls[4], "");
    EXPECT_EQ(ls[5], "\"<<<<<< Group Activity: Average Activity Counts per Data Interval>>>>>>\"");
    EXPECT_EQ(ls[6], "Group/Time[m],60,120,180");
    EXPECT_EQ(ls[7], "\"000_Control\",5,6,7");
    // A group number without wells keeps its line with only its label.
    EXPECT_EQ(ls[8], "\"001_Group1\"");
    EXPECT_EQ(ls[9], "\"002_Dose\",20,21,22");
    EXPECT_TRUE(hasLine(ls, "\"<<<<<< Channel Activity >>>>>>\""));
    EXPECT_TRUE(hasLine(ls, "CH3,B2.0,\"999_Free\",30,31,32"));
    EXPECT_TRUE(hasLine(ls, "B2,\"999_Free\",30,31,32"));

    s.content.basal = true;
    s.content.basalChoice = "20240315_0800 basal";
    ls = s.render();
    EXPECT_EQ(ls[4], "\"TIME0(BASAL MEASSURE):\",\"20240315_0800 basal\"");
    EXPECT_EQ(ls[5], "");
    EXPECT_EQ(ls[6], "\"***DATA AS % OF BASAL ACTIVITY***\"");
    EXPECT_EQ(ls[8], "Group/Time[m],0,60,120,180");
    EXPECT_EQ(ls[9], "\"000_Control\",100,5,6,7");
    EXPECT_EQ(ls[10], "\"001_Group1\"");
    EXPECT_TRUE(hasLine(ls, "Time[m],0,60,120,180,"));
    EXPECT_TRUE(hasLine(ls, "#Samples,60,60,60,60,"));
    EXPECT_TRUE(hasLine(ls, "Temp[\u00B0C],?,24.5,24.5,24.5,"));
    EXPECT_TRUE(hasLine(ls, "A1,\"000_Control\",100,0,1,2"));
    // No channel section when normalised to basal.
    EXPECT_FALSE(hasLine(ls, "\"<<<<<< Channel Activity >>>>>>\""));
    EXPECT_EQ(ls.back(), "B2,\"999_Free\",100,30,31,32");
}

TEST(ReportWriter, StatisticsFollowTheBoxesAndTheDecimalMark) {
    Small s;
    s.options.stdError = true;
    s.options.stdDev = true;
    s.options.wellCount = true;
    s.options.separator = ";";
    auto ls = s.render(",");
    // Group 0: wells 0 and 10 (+i): deviation round(sqrt(50)) = 7; error
    // 7 / sqrt(2) = 4.9.
    EXPECT_TRUE(hasLine(ls, "\"000_Control\";4,9;4,9;4,9"));
    EXPECT_TRUE(hasLine(ls, "\"000_Control\";7,0;7,0;7,0"));
    EXPECT_TRUE(hasLine(ls, "\"000_Control\";2;2;2"));
    // One well: deviation 0, error 0.0.
    EXPECT_TRUE(hasLine(ls, "\"002_Dose\";0,0;0,0;0,0"));
    EXPECT_TRUE(hasLine(ls, "Temp[\u00B0C];24,5;24,5;24,5;"));

    s.options.stdError = s.options.stdDev = s.options.wellCount = false;
    ls = s.render();
    EXPECT_FALSE(hasLine(ls, "\"<<<<<< Group Activity: Standard Error >>>>>>\""));
    EXPECT_FALSE(hasLine(ls, "\"<<<<<< Group Activity: Number of wells/group >>>>>>\""));

    // An empty separator runs the fields together.
    s.options.separator = "";
    ls = s.render();
    EXPECT_TRUE(hasLine(ls, "Group/Time[m]60120180"));
}

TEST(ReportWriter, ListFormWithAGroupWithoutWells) {
    Small s;
    s.options.format = OutputFormat::List;
    s.options.stdError = false;
    s.options.wellCount = false;
    s.content.basal = true;
    s.content.basalChoice = "20240315_0800";
    const std::string text = renderReport(s.content, s.options, "d", ".");
    const std::string expectGroups =
        "\"<<<<<< Group Activity: Average Activity Counts per Data Interval>>>>>>\"\r\n"
        "Time,Group,Value\r\n"
        "\r\n"
        "0,\"000_Control\",100\r\n"
        "60,\"000_Control\",5\r\n"
        "120,\"000_Control\",6\r\n"
        "180,\"000_Control\",7\r\n"
        "\r\n"
        "\r\n" // group 1: only its empty line
        "0,\"002_Dose\",100\r\n"
        "60,\"002_Dose\",20\r\n"
        "120,\"002_Dose\",21\r\n"
        "180,\"002_Dose\",22\r\n"
        "\r\n"
        "\r\n";
    EXPECT_NE(text.find(expectGroups), std::string::npos);
    const std::string expectSamples =
        "\"<<<<<< Number of Samples per Acquisition Interval [1unit=500values] >>>>>>\"\r\n"
        "Time,#Samples\r\n"
        "\r\n"
        "0,60\r\n"
        "60,60\r\n"
        "120,60\r\n"
        "180,60\r\n"
        "\r\n";
    EXPECT_NE(text.find(expectSamples), std::string::npos);
    EXPECT_NE(text.find("Time,Avrg_Temp[\u00B0C]\r\n\r\n0,?\r\n60,24.5\r\n"), std::string::npos);
    EXPECT_NE(text.find("0,A1,\"000_Control\",100\r\n60,A1,\"000_Control\",0\r\n"),
              std::string::npos);
}

TEST(ReportWriter, ArraysWithBasal) {
    Small s;
    s.content.basal = true;
    s.options.format = OutputFormat::ChArray;
    std::string text = renderReport(s.content, s.options, "d", ".");
    // Header, channel group map, temperature, and nothing more.
    const std::string tail = "\"<<<<<< Average Temperature [\u00B0C] >>>>>>\"\r\n"
                             "Time[m],0,60,120,180,\r\n"
                             "Temp[\u00B0C],?,24.5,24.5,24.5,\r\n"
                             "\r\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    auto ls = lines(text);
    EXPECT_TRUE(hasLine(ls, "\"<<<<<<CHANNEL ARRAY. Group Configuration>>>>>>\""));
    EXPECT_TRUE(
        hasLine(ls, "Row/Column,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,"));
    EXPECT_TRUE(hasLine(ls, "\"A\",\"000_Control\",-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-"));
    EXPECT_TRUE(hasLine(ls, "\"D\",\" 999_Free\",-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-"));
    EXPECT_FALSE(hasLine(ls, "ARRAY OUTPUT FORMAT"));

    s.options.format = OutputFormat::WArray;
    ls = s.render();
    // The well map: well = column x rows + row.
    EXPECT_TRUE(hasLine(ls, "Row/Column,1,2,"));
    EXPECT_TRUE(hasLine(ls, "\"A\",\"000_Control\",\"002_Dose\""));
    EXPECT_TRUE(hasLine(ls, "\"B\",\"000_Control\",\"999_Free\""));
    // A time-0 block of 100s first, with quoted row letters.
    auto at = std::find(ls.begin(), ls.end(), "\"<<<<<<WELL ARRAY. Well Activity>>>>>>\"");
    ASSERT_NE(at, ls.end());
    std::vector<std::string> block(at + 1, at + 6);
    EXPECT_EQ(block, (std::vector<std::string>{"Time_Block[m],0", "Row/Column,1,2,",
                                               "\"A\",100,100", "\"B\",100,100", ""}));
    EXPECT_EQ(*(at + 6), "Time_Block[m],60");
    EXPECT_EQ(*(at + 8), "A,0,20");
    EXPECT_EQ(*(at + 9), "B,10,30");
}

TEST(ReportWriter, ReportNameSkipsFilesThatCannotBeWritten) {
    test::TempDir d;
    EXPECT_EQ(chooseReportName(d.path(), ".csv"), "report");
    d.write("report.csv", "old");
    EXPECT_EQ(chooseReportName(d.path(), ".csv"), "report");
    // A name that cannot be opened for writing (here a folder in the way).
    makeFolder(d / "report.txt");
    EXPECT_EQ(chooseReportName(d.path(), ".txt"), "report_1");
    makeFolder(d / "report_1.txt");
    EXPECT_EQ(chooseReportName(d.path(), ".txt"), "report_2");
    EXPECT_EQ(chooseReportName(d / "missing", ".csv"), "");
}

TEST(ReportWriter, TitleCopyNamesStayInsideTheFolder) {
    EXPECT_EQ(titleCopyName("Dose test 2"), "Dose_test_2");
    EXPECT_EQ(titleCopyName("../../etc/passwd"), ".._.._etc_passwd");
    EXPECT_EQ(titleCopyName("a\\b:c*d?e\"f<g>h|i"), "a_b_c_d_e_f_g_h_i");
    EXPECT_EQ(titleCopyName(std::string("tab\there\nnul") + '\0' + "x"), "tab_here_nul_x");
    EXPECT_EQ(titleCopyName(".."), "");
    EXPECT_EQ(titleCopyName("."), "");
    EXPECT_EQ(titleCopyName(""), "");
    EXPECT_EQ(titleCopyName("Larvas día 3"), "Larvas_día_3");
    // Long titles are cut at 200 bytes, never inside a character.
    std::string longTitle(199, 'x');
    longTitle += "\u00E9\u00E9"; // two 2-byte characters straddle the limit
    std::string cut = titleCopyName(longTitle);
    EXPECT_EQ(cut, std::string(199, 'x'));
}

TEST(ReportWriter, WritesCopiesAndOpens) {
    test::TempDir d;
    const std::string acq = d / "20240315_0930";
    makeFolder(acq);
    Small s;
    s.content.acquisitionPath = acq;
    test::FakePorts fp;
    fp.locale.decimal = ",";
    auto path = writeReport(s.content, s.options, fp.ports);
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, acq + "/report.csv");
    const std::string text = d.read("20240315_0930/report.csv");
    EXPECT_NE(text.find("\"DATE:\",\"15/03/2024 09:30:00\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("24,5"), std::string::npos);
    EXPECT_EQ(d.read("20240315_0930/Dose_test_2.csv"), text);
    ASSERT_EQ(fp.desktop.calls.size(), 1u);
    EXPECT_EQ(fp.desktop.calls[0].what, "openDocument");
    EXPECT_EQ(fp.desktop.calls[0].args, (std::vector<std::string>{acq + "/report.csv"}));
    EXPECT_EQ(fp.pump.calls, 2000);
    EXPECT_TRUE(fp.prompter.messages.empty());
    // No viewer could be started: the user learns where the report is.
    fp.desktop.result = false;
    ASSERT_TRUE(writeReport(s.content, s.options, fp.ports).has_value());
    EXPECT_EQ(fp.prompter.texts(), std::vector<std::string>{noViewerMessage(acq + "/report.csv")});
    fp.desktop.result = true;

    // Automatic report: not opened. A hostile title: the copy stays in the
    // folder under a harmless name. A title equal to the report's name never
    // replaces the report.
    s.options.autoreport = true;
    s.options.fileType = 1;
    s.content.title = "../escape";
    fp.desktop.calls.clear();
    path = writeReport(s.content, s.options, fp.ports);
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, acq + "/report.txt");
    EXPECT_TRUE(fileExists(acq + "/.._escape.txt"));
    EXPECT_FALSE(fileExists(d / "escape.txt"));
    EXPECT_TRUE(fp.desktop.calls.empty());

    s.content.title = "report";
    s.content.setting = "second";
    path = writeReport(s.content, s.options, fp.ports);
    ASSERT_TRUE(path.has_value());
    EXPECT_NE(d.read("20240315_0930/report.txt").find("\"SETTING:\",\"second\""),
              std::string::npos);

    // Another output folder; nothing written in the acquisition folder.
    const std::string out = d / "out";
    makeFolder(out);
    s.options.outputFolder = out;
    s.content.title = "T 1";
    path = writeReport(s.content, s.options, fp.ports);
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, out + "/report.txt");
    EXPECT_TRUE(fileExists(out + "/T_1.txt"));
    EXPECT_FALSE(fileExists(acq + "/T_1.txt"));

    s.options.outputFolder = d / "nowhere";
    EXPECT_FALSE(writeReport(s.content, s.options, fp.ports).has_value());
}

} // namespace
} // namespace trv
