// The device test: its pass rules, the lines of its record, and whole tests
// against the simulated instrument.
#include "maintenance/DeviceTest.h"

#include "common/Desktop.h"

#include "MaintenanceFixture.h"
#include "SimModel.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace trv::test {
namespace {

std::array<int16_t, kSlots> plate(int16_t all) {
    std::array<int16_t, kSlots> levels{};
    levels.fill(all);
    return levels;
}

TEST(DeviceTestRules, ThresholdsOfTheWholePlateTests) {
    struct Case {
        bool high;
        int16_t others, beam17;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases{
        {true, 2000, 1639, {"", "Test_all_100%: OK PASS!", "Number of Channels > 80% = 384"}},
        {true,
         2000,
         1638,
         {"", "Test_all_100%:  NEEDS REVISION!", "Number of Channels > 80% = 383",
          "Channels < 80%: CH17[79%], "}},
        {false, 40, 1024, {"", "Test_all_0%: OK PASS!", "Number of Channels < 20% = 384"}},
        {false,
         40,
         1025,
         {"", "Test_all_0%:  NEEDS REVISION!", "Number of Channels < 20% = 383",
          "Channels > 20%: CH17[50%], "}},
    };
    for (const Case& c : cases) {
        auto levels = plate(c.others);
        levels[17] = c.beam17;
        const PlateEvaluation e = EvaluatePlate(levels, c.high);
        EXPECT_EQ(e.recordLines, c.lines) << c.beam17;
        EXPECT_EQ(e.pass, c.lines.size() == 3);
    }
}

TEST(DeviceTestRules, ColumnAndRowLines) {
    auto levels = plate(40);
    for (int b : ColumnBeams(2))
        levels[static_cast<size_t>(b)] = 1900;
    EXPECT_EQ(EvaluateLine(levels, ColumnBeams(2), "Col[3]").recordLine, "Col[3]: PASS!");
    levels[33] = 1500;  // in the column, too dim
    levels[300] = 1100; // outside, too bright
    EXPECT_EQ(EvaluateLine(levels, ColumnBeams(2), "Col[3]").recordLine,
              "Col[3]: NONPASS 15\tCH > 80% (NONOK:CH33[73%], ); 367CH < 20% (NONOK:CH300[53%], )");
    auto row = plate(40);
    for (int b : RowBeams(1))
        row[static_cast<size_t>(b)] = 1900;
    row[33] = 1500;
    EXPECT_EQ(RowBeams(1).back(), 369);
    EXPECT_EQ(EvaluateLine(row, RowBeams(1), "Row[B]").recordLine,
              "Row[B]: NONPASS 23\tCH > 80% (NONOK:CH33[73%], ); 360CH < 20% (NONOK:)");
}

// The record a test writes for a quiet simulated instrument: the levels
// come from the instrument's own model at the settings the test uses.
std::string expectedRecord(const sim::SimModelOptions& options) {
    sim::SimModel m(options);
    auto levelsAt = [&](int power, int gain) {
        std::array<int16_t, kSlots> levels{};
        for (int b = 0; b < kChannels; ++b) {
            m.setSetting(b, static_cast<uint8_t>(gain * 32 + power));
            levels[static_cast<size_t>(b)] = static_cast<int16_t>(m.level(b));
        }
        return levels;
    };
    const auto high = levelsAt(7, 7);
    const auto dark = levelsAt(0, 0);
    const auto two = levelsAt(2, 2);
    std::vector<std::string> lines{"Serial:SN96 2024-03-15_09:30"};
    auto add = [&](const std::vector<std::string>& more) {
        lines.insert(lines.end(), more.begin(), more.end());
    };
    add(EvaluatePlate(high, true).recordLines);
    add(EvaluatePlate(dark, false).recordLines);
    add({"", "Test_24_Columns:"});
    for (int n = 0; n < 24; ++n) {
        auto levels = dark;
        for (int b : ColumnBeams(n))
            levels[static_cast<size_t>(b)] = high[static_cast<size_t>(b)];
        add({EvaluateLine(levels, ColumnBeams(n), "Col[" + std::to_string(n + 1) + "]")
                 .recordLine});
    }
    add({"", "Test_16_Rows:"});
    for (int r = 0; r < 16; ++r) {
        auto levels = dark;
        for (int b : RowBeams(r))
            levels[static_cast<size_t>(b)] = high[static_cast<size_t>(b)];
        add({EvaluateLine(levels, RowBeams(r), std::string("Row[") + char('A' + r) + "]")
                 .recordLine});
    }
    add({"", "Gain/Power[2] Values:"});
    for (int b = 0; b < kChannels; ++b)
        add({"CH[" + std::to_string(b) + "] " +
             std::to_string(TestPercentage(two[static_cast<size_t>(b)])) + "%"});
    std::string text;
    for (const std::string& l : lines)
        text += l + "\r\n";
    return text;
}

TEST(DeviceTestRun, AFaultyInstrumentGetsItsNonPassLinesAndEveryBeamEndsAtTwo) {
    sim::SimOptions o = SimPorts::quiet();
    o.model.weakEmitters = {75};
    o.model.deadReceivers = {200};
    ConnectedBench bench(o);
    bench.fake.desktop.result = false; // no viewer: the record is named
    DeviceTest test(bench.s, bench.fake.ports);
    EXPECT_EQ(RunDeviceTestHeadless(test, bench.fake.clock), TestEnd::Finished);
    EXPECT_FALSE(test.allPassed());
    EXPECT_TRUE(bench.fake.prompter.saw(noViewerMessage(test.recordPath())));
    EXPECT_EQ(test.recordPath(), bench.home / "testdev96.txt");
    const std::string record = bench.home.read("testdev96.txt");
    EXPECT_EQ(record, expectedRecord(o.model));
    // The weak and dead beams show up where they should, and nowhere else.
    for (const char* line : {"Col[5]: NONPASS 15\t", "Col[13]: NONPASS 15\t",
                             "Row[L]: NONPASS 23\t", "Row[I]: NONPASS 23\t", "CH200[0%]"})
        EXPECT_NE(record.find(line), std::string::npos) << line;
    EXPECT_EQ(std::count(record.begin(), record.end(), '\t'), 4);
    for (int b = 0; b < kChannels; ++b)
        ASSERT_EQ(bench.sim->beamSetting(b), 2 * 32 + 2) << b;
    ASSERT_EQ(bench.fake.desktop.calls.size(), 1u);
    EXPECT_EQ(bench.fake.desktop.calls[0].args, std::vector<std::string>{test.recordPath()});
    EXPECT_EQ(bench.fake.prompter.texts()[1], "Turning ON A1-D1");
    EXPECT_EQ(bench.fake.status.current[status::Temperature], "T = __ \u00b0C");
}

TEST(DeviceTestRun, EarlyEnds) {
    { // No at "OK to proceed?": the record keeps its first line.
        ConnectedBench bench;
        for (Answer a : {Answer::Ok, Answer::Ok, Answer::Ok, Answer::No})
            bench.fake.prompter.answer(a);
        DeviceTest test(bench.s, bench.fake.ports);
        EXPECT_EQ(RunDeviceTestHeadless(test, bench.fake.clock), TestEnd::Declined);
        EXPECT_EQ(bench.home.read("testdev96.txt"), "Serial:SN96 2024-03-15_09:30\r\n");
        EXPECT_EQ(test.step(), 3);
    }
    { // A short beam-sample reply: "COM Error" where the test stands.
        ConnectedBench bench;
        DeviceTest test(bench.s, bench.fake.ports);
        bench.fake.clock.onSleep = [&](int) {
            if (test.step() == 21)
                bench.sim->updateFaults([](sim::SimFaults& f) { f.shortNext = 1; });
        };
        EXPECT_EQ(RunDeviceTestHeadless(test, bench.fake.clock), TestEnd::ComError);
        EXPECT_EQ(bench.fake.status.current[status::Temperature], "COM Error");
        const std::string record = bench.home.read("testdev96.txt");
        EXPECT_NE(record.find("Test_all_100%: OK PASS!"), std::string::npos);
        EXPECT_EQ(record.find("Test_all_0%"), std::string::npos);
    }
    { // A setting that is never acknowledged aborts the test.
        ConnectedBench bench;
        bench.sim->updateFaults([](sim::SimFaults& f) { f.wrongAckNext = 1000; });
        DeviceTest test(bench.s, bench.fake.ports);
        EXPECT_EQ(RunDeviceTestHeadless(test, bench.fake.clock), TestEnd::WriteFailed);
        EXPECT_EQ(test.step(), kTestAborted + 1);
        EXPECT_TRUE(
            bench.fake.prompter.saw("Ops...Data Writing ERROR: reg(0)... Check COM and Try again"));
    }
}

// The identification probe at the start takes only a valid identification
// (10 to 250): any other answer keeps the connection's.
TEST(DeviceTestRun, AnInvalidIdentificationKeepsTheConnectionsId) {
    for (const auto& [reply, id] : std::vector<std::pair<std::vector<uint8_t>, int>>{
             {{1, 0}, 96}, {{0, 5}, 96}, {{0, 50}, 50}}) {
        SCOPED_TRACE(id);
        sim::SimOptions o = SimPorts::quiet();
        o.faults.probeReply = reply;
        ConnectedBench bench(o);
        for (Answer a : {Answer::Ok, Answer::Ok, Answer::Ok, Answer::No})
            bench.fake.prompter.answer(a);
        DeviceTest test(bench.s, bench.fake.ports);
        EXPECT_EQ(RunDeviceTestHeadless(test, bench.fake.clock), TestEnd::Declined);
        EXPECT_EQ(bench.s.Device_Id, id);
        EXPECT_EQ(test.recordPath(), bench.home / ("testdev" + std::to_string(id) + ".txt"));
    }
}

TEST(DeviceTestRun, RefusedDuringAnAcquisition) {
    FakePorts fake;
    SharedState s;
    s.Acq_State = 2;
    DeviceTest test(s, fake.ports);
    test.mnstatustest_Click();
    EXPECT_FALSE(test.running());
    EXPECT_EQ(fake.prompter.texts(), std::vector<std::string>{"Stop acquisition before Testing"});
}

} // namespace
} // namespace trv::test
