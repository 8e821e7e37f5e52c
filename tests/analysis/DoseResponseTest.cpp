// Well responses over [FROM, TO), the analysis of a dose map (left-out
// groups and wells), dose_response.csv byte for byte, plot file names that
// stay in the output folder, and a whole run from files on disk.
#include "analysis/DoseResponse.h"
#include "analysis/DoseAcquisition.h"
#include "support/Fakes.h"
#include "support/PlateLayouts.h"

#include <gtest/gtest.h>

#include <cmath>

namespace trv {
namespace {

// Channel c lies in well c / 2 as beam c % 2: every well has two beams.
ReportLayout twoBeamLayout() {
    ReportLayout l;
    l.plate = test::makePlate(16, 1, 0, 12, 2, 0, [](int c) {
        return std::pair<int, int>{c / 2, c % 2};
    });
    l.channels.Channel_Group.fill(-1);
    l.loaded = true;
    return l;
}

// Records at the given minutes; channel ch of record i counts count(ch, i).
ActivitySeries seriesOf(const std::vector<int32_t>& minutes,
                        const std::function<int(int, int)>& count) {
    ActivitySeries s;
    s.resize(static_cast<int>(minutes.size()));
    for (int i = 0; i < s.size(); ++i) {
        s.time[static_cast<size_t>(i)] = minutes[static_cast<size_t>(i)];
        for (int ch = 0; ch < kChannels; ++ch)
            s.count(ch, i) = static_cast<int16_t>(count(ch, i));
    }
    return s;
}

TEST(DoseResponse, TheWindowTakesRecordsFromItsStartUpToItsEnd) {
    const ReportLayout layout = twoBeamLayout();
    // Well 0 (channels 0 and 1): record i counts 2^i on each beam.
    const ActivitySeries s =
        seriesOf({9, 10, 10, 69, 70}, [](int ch, int i) { return ch < 2 ? 1 << i : 0; });
    struct Case {
        MinuteWindow w;
        double rate;
    } cases[] = {
        {{10, 70}, 2.0 * (2 + 4 + 8) / 60}, // at FROM counts, at TO does not
        {{9, 10}, 2.0 * 1},
        {{10, 69}, 2.0 * (2 + 4) / 59},
        {{70, 71}, 2.0 * 16},
        {{11, 69}, 0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(wellRates(s, layout, c.w)[0], c.rate) << c.w.from << " " << c.w.to;

    EXPECT_FALSE(windowProblem({0, 70}, 70));
    EXPECT_EQ(*windowProblem({0, 71}, 70), "the window [0, 71) ends after the acquisition: its "
                                           "last whole minute ends at minute 70");
    EXPECT_EQ(*windowProblem({30, 30}, 70),
              "the window [30, 30) holds no minute: it must end after it starts");
    EXPECT_EQ(*windowProblem({-1, 5}, 70), "the window cannot start before minute 0");
}

TEST(DoseResponse, LeavesOutUnmappedGroupsAndWellsWithoutBasalActivity) {
    ReportLayout layout = twoBeamLayout();
    // Groups 0..5 hold wells 4g..4g+3; group 6 holds well 24.
    for (int w = 0; w <= 24; ++w)
        for (int beam : {0, 1})
            layout.channels.Channel_Group[static_cast<size_t>(2 * w + beam)] =
                static_cast<int16_t>(std::min(w / 4, 6));
    layout.channels.Group_Name[6] = "Spare";
    DoseMap map;
    map.entries = {{0, "", 0},  {1, "A", 1}, {2, "A", 2}, {3, "A", 4},
                   {4, "B", 1}, {5, "B", 0}, {40, "B", 2}};
    const ActivitySeries main = seriesOf({0, 1}, [](int ch, int) { return ch / 2 + 1; });
    // Well 9 (group 2) was still during the basal acquisition.
    const ActivitySeries basal =
        seriesOf({0, 1, 2}, [](int ch, int) { return ch / 2 == 9 ? 0 : 10; });
    const DoseResponseResult r = analyseDoseResponse(main, layout, map, {0, 2}, &basal);

    EXPECT_EQ(r.messages, (std::vector<std::string>{
                              "group 6 (Spare) holds wells but is not in the dose map: left out",
                              "well J1 of group 2 (Group2) has no basal activity: left out",
                              "group 40 of the dose map holds no wells in this acquisition",
                              "A: no IC50: only 3 concentrations: a curve needs at least 4",
                              "B: no IC50: one concentration only: a curve needs at least 4"}))
        << ::testing::PrintToString(r.messages);
    ASSERT_EQ(r.compounds.size(), 2u);
    const CompoundResult& a = r.compounds[0];
    EXPECT_EQ(a.wells.size(), 11u);
    ASSERT_EQ(a.controls.size(), 4u); // the shared control of group 0 only
    // Well 3: 2 beams x 4 events in each record of 2 minutes against a
    // basal of 2 beams x 10 events per minute over its 2 whole minutes.
    EXPECT_DOUBLE_EQ(a.controls[3].response, (2.0 * 4 * 2 / 2) / (2.0 * 10 * 2 / 2) * 100);
    EXPECT_EQ(r.compounds[1].controls.size(), 8u); // its own (group 5) and the shared one
}

TEST(DoseResponse, WritesOneRowPerCompoundWithTheLocaleMarks) {
    DoseResponseResult r;
    r.unit = "uM";
    CompoundResult a;
    a.compound = "Ivermectin \"B1a\"";
    a.fit.hasIC50 = true;
    a.fit.curve = {98.25, 3.5, std::log10(0.125), 1.25};
    a.fit.ic50Low = 0.0901234567;
    a.fit.ic50High = 0.17;
    a.fit.rSquared = 0.987654321;
    a.fit.points = 24;
    CompoundResult b;
    b.compound = "Water";
    b.fit.points = 6;
    b.fit.message = "the fit did not converge";
    r.compounds = {a, b};
    EXPECT_EQ(doseResponseCsv(r, ";", ","),
              "compound;IC50 (uM);IC50 low 95%;IC50 high 95%;hill (>0: falls with dose);top;"
              "bottom;R2;wells;note\r\n"
              "\"Ivermectin \"\"B1a\"\"\";0,125;0,0901235;0,17;1,25;98,25;3,5;0,987654;24;\"\"\r\n"
              "\"Water\";;;;;;;;6;\"the fit did not converge\"\r\n");
}

TEST(DoseResponse, PlotFileNamesStayInTheOutputFolder) {
    std::vector<std::string> taken;
    const std::pair<const char*, const char*> cases[] = {
        {"Ivermectin", "Ivermectin.svg"},
        {"../../etc/passwd", ".._.._etc_passwd.svg"},
        {"..", "compound.svg"},
        {"", "compound_2.svg"},
        {"a/b", "a_b.svg"},
        {"a_b", "a_b_2.svg"},
        {"A B", "A_B_3.svg"},
        {"x:y*?", "x_y__.svg"},
    };
    for (const auto& [compound, file] : cases)
        EXPECT_EQ(plotFileName(compound, taken), file) << compound;
}

struct DiskRun : ::testing::Test {
    test::AcquisitionFixture fx;
    test::DoseScreen screen; // one compound, six doses; group 6 the control
    std::string acq = screen.write(fx, "20240315_0930");
    test::FakeLocale locale;

    DoseResponseRequest request() const {
        DoseResponseRequest rq;
        rq.acquisitionPath = acq;
        rq.programFolder = fx.program;
        rq.window = {10, 50};
        return rq;
    }
};

TEST_F(DiskRun, WritesTheTableAndOnePlotPerCompound) {
    DoseResponseRequest rq = request();
    rq.outputFolder = fx.dir / "out";
    const DoseResponseOutcome out = runDoseResponse(rq, locale);
    ASSERT_TRUE(out.written) << ::testing::PrintToString(out.messages);
    EXPECT_EQ(out.messages, (std::vector<std::string>{"group 7 (Group7) holds wells but is not "
                                                      "in the dose map: left out"}));
    ASSERT_EQ(out.result.compounds.size(), 1u);
    const CurveFit& f = out.result.compounds[0].fit;
    ASSERT_TRUE(f.hasIC50) << f.message;
    EXPECT_EQ(f.points, 24);
    // The counts are the curve rounded to whole events.
    EXPECT_NEAR(f.curve.ic50() / screen.truth(0).ic50(), 1.0, 0.01);
    EXPECT_EQ(out.result.compounds[0].controls.size(), 4u);
    EXPECT_EQ(out.plotPaths, (std::vector<std::string>{rq.outputFolder + "/Compound_1.svg"}));
    // The plot and the table say what the hill slope's sign means.
    EXPECT_NE(readWholeFile(out.plotPaths[0]).value_or("").find("(falls with dose)"),
              std::string::npos);
    const auto csv = readWholeFile(out.csvPath);
    ASSERT_TRUE(csv);
    EXPECT_EQ(csv->substr(0, csv->find('\r')),
              "compound,IC50 (nM),IC50 low 95%,IC50 high 95%,hill (>0: falls with dose),top,"
              "bottom,R2,wells,note");
}

TEST_F(DiskRun, SaysWhyNothingWasWritten) {
    struct Case {
        std::function<void(DoseResponseRequest&)> change;
        std::string message;
    } cases[] = {
        {[](DoseResponseRequest& r) {
             r.window = {10, 61};
         },
         "The response window cannot be used: the window [10, 61) ends after the acquisition: "
         "its last whole minute ends at minute 60"},
        {[&](DoseResponseRequest& r) { r.dosesPath = fx.dir / "none.csv"; },
         "No dose map: " + fx.dir / "none.csv" + " not found"},
        {[&](DoseResponseRequest& r) { r.basalPath = fx.dir / "nowhere"; },
         "Activity file not Found: " + fx.dir / "nowhere" + "/counts.bin"},
    };
    for (const Case& c : cases) {
        DoseResponseRequest r = request();
        c.change(r);
        const DoseResponseOutcome out = runDoseResponse(r, locale);
        EXPECT_FALSE(out.written);
        EXPECT_EQ(out.messages, std::vector<std::string>{c.message});
        EXPECT_FALSE(fileExists(joinPath(acq, kDoseResponseFileName)));
    }
}

} // namespace
} // namespace trv
