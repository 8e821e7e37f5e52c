// Sleep figures on small hand-made series: bouts of the minimum length, runs
// split by missing bins, bouts across a light change, latency, the light
// phases of the schedules, dead and empty wells, the files byte for byte.
#include "analysis/SleepAnalysis.h"
#include "analysis/XmlCheck.h"
#include "reports/AcquisitionFixture.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace trv {
namespace {

LocalDateTime at(int day, int hour, int minute = 0) {
    LocalDateTime t;
    t.year = 2026;
    t.month = 12;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    return t;
}

// One well per text, one character per bin: a digit is the bin's activity,
// '.' a bin without records (the same in every text). Well i is in group
// groups[i] ("G<number>"), -1 for none.
WellSeries handSeries(const std::vector<std::string>& wells, int binMinutes, LocalDateTime start,
                      std::vector<int> groups = {}) {
    WellSeries s;
    s.binMinutes = binMinutes;
    s.start = start;
    const size_t n = wells.front().size();
    s.lastRecordMinute = static_cast<long long>(n - 1) * binMinutes;
    s.hasData.assign(n, 1);
    s.groupNames.assign(kSlots, "");
    for (size_t i = 0; i < wells.size(); ++i) {
        SeriesWell w;
        w.well = static_cast<int>(i);
        w.label = "A" + std::to_string(i + 1);
        w.group = i < groups.size() ? groups[i] : -1;
        if (w.group >= 0) {
            w.groupName = "G" + std::to_string(w.group);
            s.groupNames[static_cast<size_t>(w.group)] = w.groupName;
        }
        s.wells.push_back(w);
        for (size_t b = 0; b < n; ++b) {
            const char c = wells[i][b];
            if (c == '.') s.hasData[b] = 0;
            s.activity.push_back(c == '.' ? 0 : c - '0');
        }
    }
    return s;
}

ProjectSetup lightSetup(int enable, int on, int off, int pulses = 0, int organism = 1) {
    ProjectSetup p;
    p.Light_Enable() = static_cast<int16_t>(enable);
    p.Time_ON() = static_cast<int16_t>(on);
    p.Time_OFF() = static_cast<int16_t>(off);
    p.Pulse_Times() = static_cast<int16_t>(pulses);
    p.Organism() = static_cast<int16_t>(organism);
    return p;
}

SleepParameters params(int bin, int minBout, long long threshold = 0) {
    SleepParameters p;
    p.binMinutes = bin;
    p.minBout = minBout;
    p.threshold = threshold;
    return p;
}

std::string cell(const std::optional<double>& v) {
    return v ? std::to_string(*v) : "-";
}

TEST(Sleep, BoutsAreRunsOfImmobileBinsOfAtLeastTheMinimum) {
    struct Case {
        int bin, minBout;
        long long threshold;
        std::string bins;
        double sleep, bouts;
        std::string meanBout;
    } cases[] = {
        {1, 5, 0, "1000001", 5, 1, "5.000000"},       // exactly T
        {1, 5, 0, "100001", 0, 0, "-"},               // T - B
        {1, 5, 0, "00000.000001", 10, 2, "5.000000"}, // a missing bin ends a run
        {1, 5, 0, "000.001", 0, 0, "-"},
        {1, 3, 0, "000.0001", 6, 2, "3.000000"},
        {1, 2, 2, "3222312", 5, 2, "2.500000"}, // activity <= A is immobile
        {5, 5, 0, "101", 5, 1, "5.000000"},     // B = 5 with T = 5
        {5, 10, 0, "101", 0, 0, "-"},
        {5, 10, 0, "1001001", 20, 2, "10.000000"},
        {1, 5, 0, "000000001", 8, 1, "8.000000"}, // the whole run is the bout
    };
    for (const Case& c : cases) {
        const SleepResult r =
            analyseSleep(handSeries({c.bins}, c.bin, at(10, 3, 7)),
                         params(c.bin, c.minBout, c.threshold), lightSetup(0, 9, 21));
        ASSERT_EQ(r.phases.size(), 1u);
        const SleepFigures& f = r.wells[0].phases[0];
        const std::string what = c.bins + " B=" + std::to_string(c.bin);
        ASSERT_FALSE(r.wells[0].fate.empty) << what;
        EXPECT_EQ(*f[kSleepMinutes], c.sleep) << what;
        EXPECT_EQ(*f[kBouts], c.bouts) << what;
        EXPECT_EQ(cell(f[kMeanBout]), c.meanBout) << what;
        EXPECT_FALSE(f[kLatency]) << what; // the only phase is partial
    }
}

TEST(Sleep, PhasesFollowTheStartOfRunLightRule) {
    struct Case {
        int enable, on, off, pulses, startHour;
        std::string phases; // name [first, end) and * for partial
    } cases[] = {
        {1, 8, 20, 0, 6, "dark 1 [0,2)* light 1 [2,14) dark 2 [14,24)"},
        {1, 8, 20, 0, 8, "light 1 [0,12) dark 1 [12,24)"}, // starts on the switch
        {1, 20, 8, 0, 6, "light 1 [0,2)* dark 1 [2,14) light 2 [14,24)"},
        {1, 8, 8, 0, 8, "dark 1 [0,24)*"},
        {1, 0, 0, 0, 6, "dark 1 [0,3)* light 1 [3,15) dark 2 [15,24)"}, // 0 and 0 read as 9, 21
        {0, 8, 20, 0, 8, "all [0,24)*"},                                // light control off
        {1, 8, 20, 3, 8, "all [0,24)*"},                                // a pulse program
    };
    for (const Case& c : cases) {
        const WellSeries s = handSeries({std::string(24, '1')}, 60, at(10, c.startHour));
        std::string got;
        for (const SleepPhase& ph :
             sleepPhases(s, scheduleFromSetup(lightSetup(c.enable, c.on, c.off, c.pulses)))) {
            got += (got.empty() ? "" : " ") + ph.name + " [" + std::to_string(ph.firstBin) + "," +
                   std::to_string(ph.endBin) + ")" + (ph.partial ? "*" : "");
        }
        EXPECT_EQ(got, c.phases) << c.on << "-" << c.off << " from " << c.startHour;
    }
}

TEST(Sleep, GivenHoursOverrideTheSetupAndGiveOneWhenLightControlWasOff) {
    SleepParameters p = params(60, 60);
    p.lightOn = 20;
    p.lightOff = 8;
    for (const ProjectSetup& setup : {lightSetup(1, 8, 20), lightSetup(0, 8, 20)}) {
        const SleepResult r = analyseSleep(handSeries({"111111"}, 60, at(10, 6)), p, setup);
        EXPECT_EQ(r.schedule.source, LightSchedule::Source::Override);
        ASSERT_EQ(r.phases.size(), 2u);
        EXPECT_EQ(r.phases[0].name, "light 1");
        EXPECT_EQ(r.phases[1].name, "dark 1");
    }
}

TEST(Sleep, ABoutAcrossLightsOffGivesMinutesToBothPhasesAndCountsWhereItStarts) {
    // 18:00 to 01:00 in hours, lights off at 20: light 1 (partial) holds
    // 18 and 19, dark 1 the rest. The bout 19-22 starts in the light.
    const SleepResult r =
        analyseSleep(handSeries({"1000505"}, 60, at(10, 18)), params(60, 60), lightSetup(1, 8, 20));
    ASSERT_EQ(r.phases.size(), 2u);
    const SleepFigures& light = r.wells[0].phases[0];
    const SleepFigures& dark = r.wells[0].phases[1];
    EXPECT_EQ(*light[kSleepMinutes], 60);
    EXPECT_EQ(*light[kBouts], 1);
    EXPECT_EQ(*light[kMeanBout], 180);
    EXPECT_FALSE(light[kLatency]); // partial phase
    EXPECT_EQ(*light[kWakeActivity], 1.0 / 60);
    EXPECT_EQ(*dark[kSleepMinutes], 180);
    EXPECT_EQ(*dark[kBouts], 1);
    EXPECT_EQ(*dark[kMeanBout], 60);
    EXPECT_EQ(*dark[kLatency], 180); // 20:00 to the bout at 23:00
    EXPECT_DOUBLE_EQ(*dark[kWakeActivity], 10.0 / 120);
    EXPECT_EQ(*dark[kDataMinutes], 300);
}

TEST(Sleep, DeadAndEmptyWellsAreListedAndLeftOutOfTheGroup) {
    // Five days in hours: well 0 moves every hour, well 1 stops at hour 54
    // (day 3), both in group 4; well 2 never moves, alone in group 5.
    // Channels are in groups up to 6, which has no well.
    const std::string alive(120, '3');
    const std::string dying = std::string(54, '3') + std::string(66, '0');
    const std::string empty(120, '0');
    WellSeries series = handSeries({alive, dying, empty}, 60, at(10, 0), {4, 4, 5});
    series.lastGroup = 6;
    series.groupNames[6] = "G6";
    const SleepResult r = analyseSleep(std::move(series), params(60, 60), lightSetup(0, 0, 0));
    EXPECT_FALSE(r.wells[0].fate.deathMinute);
    EXPECT_EQ(r.wells[1].fate.deathMinute, 54 * 60);
    EXPECT_TRUE(r.wells[2].fate.empty);
    // The dead well's bins from its death on are no data.
    EXPECT_EQ(*r.wells[1].phases[0][kDataMinutes], 54 * 60);
    EXPECT_EQ(*r.wells[1].phases[0][kSleepMinutes], 0);
    // Every group up to 6 gets its rows, used wells or not.
    ASSERT_EQ(r.groups.size(), 7u);
    for (int n = 0; n < 7; ++n) {
        EXPECT_EQ(r.groups[static_cast<size_t>(n)].group, n);
        EXPECT_EQ(r.groups[static_cast<size_t>(n)].wellsUsed, n == 4 ? 1 : 0);
    }
    const std::string groups = sleepGroupsCsv(r, {});
    for (const char* name : {"G5", "G6"})
        EXPECT_NE(groups.find(std::string("\r\n") + name +
                              ",all,2026-12-10 00:00,0,,,0,,,0,,,0,,,0,,,0,,,0\r\n"),
                  std::string::npos)
            << groups;
    const SleepGroupResult& g = r.groups[4];
    EXPECT_EQ(g.wellsUsed, 1);
    EXPECT_EQ(g.phases[0][kDataMinutes].n, 1);
    EXPECT_EQ(*g.phases[0][kDataMinutes].mean, 120 * 60);
    EXPECT_FALSE(g.phases[0][kDataMinutes].sd);
    EXPECT_EQ(*g.phases[0][kWakeActivity].mean, 3.0 / 60);

    const std::string csv = sleepWellsCsv(r, {});
    EXPECT_NE(
        csv.find("1,A2,G4,all,2026-12-10 00:00,3240,0,0,,,0.050,dead from 2026-12-12 06:00\r\n"),
        std::string::npos)
        << csv;
    EXPECT_NE(csv.find("2,A3,G5,all,2026-12-10 00:00,,,,,,,empty\r\n"), std::string::npos) << csv;
}

TEST(Sleep, DeathNeedsAWholeWindowWithDataAndStillness) {
    struct Case {
        std::string bins; // hours
        int window;
        std::optional<long long> death;
    } cases[] = {
        {"3" + std::string(11, '0'), 24, std::nullopt}, // 12 hours never mark death
        {"3" + std::string(11, '0'), 6, 60},
        {"33" + std::string(10, '0'), 6, 120},
        {"300000300000", 6, std::nullopt}, // every window holds a move
        {"000000300000", 6, 0},            // the first window is still: from minute 0
        {"3" + std::string(9, '.') + "00", 6, std::nullopt}, // windows mostly without data
        {"3" + std::string(3, '.') + std::string(8, '0'), 6, 60},
    };
    for (const Case& c : cases) {
        std::string other = c.bins;
        std::replace(other.begin(), other.end(), '0', '3');
        const WellSeries s = handSeries({c.bins, other}, 60, at(10, 0));
        const WellFate f = wellFate(s, 0, 0, c.window);
        EXPECT_EQ(f.deathMinute, c.death) << c.bins << " D=" << c.window;
        EXPECT_FALSE(f.empty);
    }
}

TEST(Sleep, FilesByteForByte) {
    // 06:00 to 10:00 in hours, lights on at 08: A1 sleeps 06-07 and 09-10,
    // A2 never.
    const SleepResult r = analyseSleep(handSeries({"0020", "1231"}, 60, at(10, 6), {1, 1}),
                                       params(60, 60), lightSetup(1, 8, 20));
    const SleepFormat semicolon{";", ","};
    EXPECT_EQ(sleepWellsCsv(r, semicolon),
              "well number;plate label;group;phase;phase start;minutes with data;sleep "
              "minutes;bouts;mean bout length;latency;activity per waking minute;status\r\n"
              "0;A1;G1;dark 1;2026-12-10 06:00;120;120;1;120,000;;;ok\r\n"
              "0;A1;G1;light 1;2026-12-10 08:00;120;60;1;60,000;60;0,033;ok\r\n"
              "1;A2;G1;dark 1;2026-12-10 06:00;120;0;0;;;0,025;ok\r\n"
              "1;A2;G1;light 1;2026-12-10 08:00;120;0;0;;;0,033;ok\r\n");
    const std::string groups = sleepGroupsCsv(r, {",", "."});
    EXPECT_EQ(groups.substr(groups.find("\r\n") + 2),
              "G1,dark 1,2026-12-10 06:00,2,120.000,0.000,2,60.000,84.853,2,0.500,0.707,2,"
              "120.000,,1,,,0,0.025,,1\r\n"
              "G1,light 1,2026-12-10 08:00,2,120.000,0.000,2,30.000,42.426,2,0.500,0.707,2,"
              "60.000,,1,60.000,,1,0.033,0.000,2\r\n");
}

TEST(Sleep, TheProfileIsWellFormedXml) {
    const SleepResult r = analyseSleep(
        handSeries({"1" + std::string(89, '0'), std::string(90, '5')}, 30, at(10, 6), {1, 2}),
        params(30, 30), lightSetup(1, 8, 20));
    const std::string svg = sleepProfileSvg(r, {});
    EXPECT_EQ(test::xmlProblem(svg), "");
    EXPECT_NE(svg.find("G2 (n=1)"), std::string::npos);
    EXPECT_NE(svg.find("day 3"), std::string::npos);
}

TEST(Sleep, AcquisitionsWithDamagedTimesOrMissingFilesAreRefused) {
    struct Case {
        std::vector<int32_t> minutes;
        bool counts, setup;
        std::string error;
    } cases[] = {
        {{0, 1, 2}, true, true, ""},
        {{0, 2, 1}, true, true, "record 3 has the time 1 minutes after 2: the file is damaged"},
        {{0, 1, 366 * 1440 + 1}, true, true, "has the time 527041 minutes"},
        {{0}, false, true, "Activity file not Found"},
        {{0}, true, false, "setup.dat: not found"},
    };
    int k = 0;
    for (const Case& c : cases) {
        test::AcquisitionFixture fx;
        const std::string name = "2026121" + std::to_string(k++) + "_0800";
        const std::string folder = fx.acquisition(name, "t");
        if (c.counts)
            test::AcquisitionFixture::writeCounts(
                folder, c.minutes, [](int, int) { return 1; }, [](int) { return 250; });
        if (!c.setup) std::remove(joinPath(folder, "setup.dat").c_str());
        AcquisitionData data;
        std::string error;
        CollectingPrompter prompter;
        const bool ok = loadAcquisitionData(folder, fx.program, data, error, prompter);
        EXPECT_EQ(ok, c.error.empty()) << error;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

} // namespace
} // namespace trv
