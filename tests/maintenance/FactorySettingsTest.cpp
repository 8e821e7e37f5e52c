// The factory settings: the serial label, the reference calibration and its
// register values, written into the simulated instrument.
#include "maintenance/FactorySettings.h"

#include "MaintenanceFixture.h"
#include "common/Numeric.h"
#include "device/COM_Module.h"

#include <gtest/gtest.h>

namespace trv::test {
namespace {

std::array<int, 7> registers(sim::SimInstrument& sim) {
    std::array<int, 7> r{};
    for (int i = 0; i < 7; ++i)
        r[static_cast<size_t>(i)] = sim.readRegister(0, 128 + i);
    return r;
}

TEST(FactorySettings, LabelsAndRegisterValues) {
    EXPECT_EQ(SerialLabel(96), "SERIAL : TRVN00096");
    EXPECT_EQ(CalibratedLine(3, 4), "OK Last Factory Calibration 03/04 [mm/yy]");
    struct Case {
        double offset, slope;
        std::array<int, 7> values;
    };
    for (const Case& c : std::vector<Case>{
             {3.1, 0.219, {0, 3, 24, 0, 31, 219, 0}},
             {-2.5, 0.219, {0, 3, 24, 1, 25, 219, 0}},
             {0.0, 0.45, {0, 3, 24, 0, 0, 194, 1}},
             {0.0, 0.2559999, {0, 3, 24, 0, 0, 0, 1}}, // never 256 in the low byte
         })
        EXPECT_EQ(FactoryRegisterValues(3, 2024, c.offset, c.slope), c.values) << c.offset;
}

TEST(FactorySettings, ReferenceBetween4And50Degrees) {
    struct Case {
        const char* reference;
        bool written;
    };
    for (const Case& c : std::vector<Case>{
             {"3.9", false}, {"50.1", false}, {"4", true}, {"50", true}, {"25,0", true}}) {
        ConnectedBench bench;
        FactorySettings f(bench.s, bench.fake.ports);
        f.open();
        const auto before = registers(*bench.sim);
        f.txt_set_temp = c.reference;
        // Offsets beyond 10 degrees are refused too: keep the reference
        // within 10 degrees of the plate.
        bench.sim->setPlateTemperature(leadingNumber(commaAsPoint(c.reference)));
        EXPECT_EQ(f.Cmd_temp_Click(), c.written) << c.reference;
        if (c.written) {
            EXPECT_EQ(f.txt_mensaje, "OK Last Factory Calibration 03/24 [mm/yy]");
        } else {
            EXPECT_EQ(registers(*bench.sim), before);
            EXPECT_EQ(
                bench.fake.prompter.texts(),
                std::vector<std::string>{
                    "invalid Calibration Parameter: value must be between 4\u00b0C and 50\u00b0C"});
        }
    }
}

TEST(FactorySettings, AReferenceCorrectsASensorThatReadsWarm) {
    sim::SimOptions o = SimPorts::quiet();
    o.model.factory = sim::factoryData(6, 24, 0.5, 0.219);
    o.model.sensorError = 2.0;
    ConnectedBench bench(o);
    ReadFactoryCalibration(bench.s, bench.fake.ports);
    ASSERT_TRUE(bench.s.Factory_Cal_Valid);
    bench.sim->setPlateTemperature(30.0);
    FactorySettings f(bench.s, bench.fake.ports);
    f.open();
    EXPECT_EQ(f.txt_mensaje, "OK Last Factory Calibration 06/24 [mm/yy]");
    f.Timer_temp_Timer();
    EXPECT_EQ(f.txt_current_temp, "32.0"); // raw 144 x 0.219 + 0.5
    f.txt_set_temp = "30.0";
    ASSERT_TRUE(f.Cmd_temp_Click());
    EXPECT_DOUBLE_EQ(bench.s.Temp_Offset, 30.0 - 144 * 0.219); // -1.536
    EXPECT_EQ(registers(*bench.sim), (std::array<int, 7>{0, 3, 24, 1, 15, 219, 0}));
    f.Timer_temp_Timer();
    EXPECT_EQ(f.txt_current_temp, "30.0");
    // The next connection reads the same calibration back.
    SharedState again = bench.s;
    ReadFactoryCalibration(again, bench.fake.ports);
    EXPECT_TRUE(again.Factory_Cal_Valid);
    EXPECT_DOUBLE_EQ(again.Temp_Offset, -1.5);
    EXPECT_EQ(again.Factory_Cal_Month, 3);
}

TEST(FactorySettings, NotCalibratedPaths) {
    ConnectedBench bench;
    bench.s.Factory_Cal_Valid = false;
    bench.s.Temp_Offset = 4.0;
    bench.s.Temp_Slope = 0.3;
    FactorySettings f(bench.s, bench.fake.ports);
    f.open();
    EXPECT_EQ(f.txt_mensaje, "NON Calibrated");
    EXPECT_EQ(bench.s.Temp_Offset, 0.0);
    EXPECT_EQ(bench.s.Temp_Slope, 0.219);
    EXPECT_EQ(f.lblserial, "SERIAL : TRVN00096");
    EXPECT_EQ(f.txt_set_temp, "25.0");
    EXPECT_EQ(f.txt_current_temp, "0.0");

    // A register that never acknowledges: message, "NON Calibrated", the
    // offset in force stays.
    bench.s.Factory_Cal_Valid = true;
    f.open();
    bench.s.Temp_Offset = 0.7;
    bench.sim->setPlateTemperature(25.0);
    bench.sim->updateFaults([](sim::SimFaults& fl) { fl.wrongAckNext = 1000; });
    EXPECT_FALSE(f.Cmd_temp_Click());
    EXPECT_EQ(f.txt_mensaje, "NON Calibrated");
    EXPECT_EQ(bench.s.Temp_Offset, 0.7);
    EXPECT_EQ(
        bench.fake.prompter.texts(),
        std::vector<std::string>{"Ops...Data Writing ERROR: reg(128)... Check COM and Try again"});
}

// A write that fails part-way never leaves a mix of old and new values that
// reads as a valid calibration: the next connection falls back to the
// defaults, or, when nothing was written, reads the old calibration.
TEST(FactorySettings, AWriteFailingPartWayLeavesNoValidMixedCalibration) {
    for (const int refused : {132, 128}) {
        SCOPED_TRACE(refused);
        sim::SimOptions o = SimPorts::quiet();
        o.model.factory = sim::factoryData(6, 24, 0.5, 0.219);
        o.faults.refusedRegister = refused;
        ConnectedBench bench(o);
        ReadFactoryCalibration(bench.s, bench.fake.ports);
        ASSERT_TRUE(bench.s.Factory_Cal_Valid);
        bench.sim->setPlateTemperature(25.0);
        FactorySettings f(bench.s, bench.fake.ports);
        f.open();
        const int raw = DeviceQuery(3, op::ReadTemperature, 0, 0);
        f.txt_set_temp = std::to_string(raw * 0.219 - 2.5); // a new offset of -2.5
        EXPECT_FALSE(f.Cmd_temp_Click());
        EXPECT_EQ(f.txt_mensaje, "NON Calibrated");
        const auto texts = bench.fake.prompter.texts();
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts[0], "Ops...Data Writing ERROR: reg(" + std::to_string(refused) +
                                ")... Check COM and Try again");
        EXPECT_EQ(texts.size(), refused == 128 ? 1u : 2u);
        SharedState next = bench.s;
        ReadFactoryCalibration(next, bench.fake.ports);
        if (refused == 128) { // nothing was written
            EXPECT_TRUE(next.Factory_Cal_Valid);
            EXPECT_DOUBLE_EQ(next.Temp_Offset, 0.5);
            EXPECT_EQ(next.Factory_Cal_Month, 6);
        } else {
            EXPECT_FALSE(next.Factory_Cal_Valid);
            EXPECT_DOUBLE_EQ(next.Temp_Offset, 0.0);
            EXPECT_DOUBLE_EQ(next.Temp_Slope, 0.219);
        }
    }
}

} // namespace
} // namespace trv::test
