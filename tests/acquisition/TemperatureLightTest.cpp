// Temperature regulation, light schedule, pulse program, panel buttons and
// boxes, and the start-up filling of the panels. No instrument: the output
// frames go nowhere, the state is what is checked.
#include "acquisition/TemperatureLight.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

namespace trv::test {
namespace {

struct Panels {
    FakePorts fake;
    SharedState s;
    TemperatureLight tl{s, fake.ports};
    Panels() {
        s.config.Serial_COM = 16; // a port that is never open
        tl.out.tempControlEnabled = true;
        tl.out.lightControlEnabled = true;
    }
};

TEST(TemperatureRegulation, AroundASetPointOf25) {
    Panels p;
    p.s.Temp_SetPoint = 25.0;
    auto& o = p.tl.out;

    p.tl.RegulateTemperature(24.3);
    EXPECT_TRUE(o.heating);
    EXPECT_TRUE(o.tempOn);
    EXPECT_EQ(o.value() & 3, 3); // bits 1 and 0

    p.tl.RegulateTemperature(24.45);
    EXPECT_TRUE(o.heating);
    EXPECT_FALSE(o.tempOn);

    o.tempOn = true;
    p.tl.RegulateTemperature(24.8); // inside S +- 0.5: element off, direction kept
    EXPECT_TRUE(o.heating);
    EXPECT_FALSE(o.tempOn);

    p.tl.RegulateTemperature(25.55);
    EXPECT_FALSE(o.heating);
    EXPECT_FALSE(o.tempOn);

    p.tl.RegulateTemperature(25.9);
    EXPECT_FALSE(o.heating);
    EXPECT_TRUE(o.tempOn);
    EXPECT_EQ(o.value() & 3, 1);
}

TEST(TemperatureRegulation, OutOfRangeOrDisabledSwitchesTheElementOffAndCools) {
    for (double t : {10.0, 38.0, 5.0, 45.0}) {
        Panels p;
        p.s.Temp_SetPoint = t; // whatever the set point
        p.tl.out.heating = p.tl.out.tempOn = true;
        p.tl.RegulateTemperature(t);
        EXPECT_FALSE(p.tl.out.heating) << t;
        EXPECT_FALSE(p.tl.out.tempOn) << t;
    }
    Panels p;
    p.s.Temp_SetPoint = 30;
    p.tl.out.tempControlEnabled = false;
    p.tl.out.heating = p.tl.out.tempOn = true;
    p.tl.RegulateTemperature(20);
    EXPECT_FALSE(p.tl.out.heating);
    EXPECT_FALSE(p.tl.out.tempOn);
}

TEST(TemperatureRegulation, ASilentSensorReadsBelowTenAndSwitchesOff) {
    Panels p; // port 16 is not open: the read gets no reply, raw -1
    p.s.Temp_SetPoint = 30;
    p.tl.out.tempOn = true;
    p.tl.RegulateTemperature();
    EXPECT_DOUBLE_EQ(p.s.Temp_Current, p.s.Temp_Offset - p.s.Temp_Slope);
    EXPECT_EQ(p.tl.temperatureText, "-0.2");
    EXPECT_FALSE(p.tl.out.tempOn);
    EXPECT_EQ(temperatureCaption("24.5"), "T=24.5*C");
}

TEST(LightSchedule, StartStateFromTheDailyHours) {
    struct Case {
        int on, off, hour;
        bool light;
    };
    const Case cases[] = {{9, 21, 8, false},  {9, 21, 9, true},   {9, 21, 20, true},
                          {9, 21, 21, false}, {21, 9, 22, true},  {21, 9, 3, true},
                          {21, 9, 9, false},  {21, 9, 20, false}, {12, 12, 12, false},
                          {12, 12, 3, false}};
    for (const Case& c : cases) {
        Panels p;
        p.tl.boxes.txt_lon = std::to_string(c.on);
        p.tl.boxes.txt_loff = std::to_string(c.off);
        p.tl.boxes.txt_pulsetimes = "0";
        p.fake.clock.set(2024, 3, 15, c.hour, 30);
        p.tl.out.lightOn = !c.light;
        p.tl.StartLightState();
        EXPECT_EQ(p.tl.out.lightOn, c.light) << c.on << "-" << c.off << " at " << c.hour;
        EXPECT_EQ(p.tl.look.cmd_luz, c.light ? "ON" : "OFF");
    }
}

TEST(LightSchedule, StartStateLeftAloneWithAPulseProgramOrWithoutLightControl) {
    Panels p;
    p.fake.clock.set(2024, 3, 15, 10, 0);
    p.tl.boxes.txt_pulsetimes = "3";
    p.tl.StartLightState();
    EXPECT_FALSE(p.tl.out.lightOn);
    p.tl.boxes.txt_pulsetimes = "0";
    p.tl.out.lightControlEnabled = false;
    p.tl.StartLightState();
    EXPECT_FALSE(p.tl.out.lightOn);
}

TEST(LightSchedule, BlockEndSwitchesOnlyDuringTheOnOrOffHour) {
    Panels p;
    p.tl.boxes.txt_lon = "09";
    p.tl.boxes.txt_loff = "21";
    p.fake.clock.set(2024, 3, 15, 9, 59);
    p.tl.ApplyLightSchedule();
    EXPECT_TRUE(p.tl.out.lightOn);
    p.fake.clock.set(2024, 3, 15, 10, 0);
    p.tl.out.lightOn = false; // switched off by hand: stays off until 21 h
    p.tl.ApplyLightSchedule();
    EXPECT_FALSE(p.tl.out.lightOn);
    p.tl.out.lightOn = true;
    p.fake.clock.set(2024, 3, 15, 21, 0);
    p.tl.ApplyLightSchedule();
    EXPECT_FALSE(p.tl.out.lightOn);
    // Disabled: nothing changes, the outputs are still refreshed.
    p.tl.out.lightControlEnabled = false;
    p.fake.clock.set(2024, 3, 16, 9, 0);
    p.tl.ApplyLightSchedule();
    EXPECT_FALSE(p.tl.out.lightOn);
    EXPECT_EQ(p.tl.look.cmd_luz, "OFF");
}

TEST(LightPulses, ThreeCyclesOfOneMinuteOnAndNineOff) {
    Panels p;
    p.s.setup.Pulse_Times() = 3;
    p.s.setup.Pulse_ONx10() = 10;
    p.s.setup.Pulse_OFFx10() = 90;
    const std::pair<double, bool> timeline[] = {
        {0.0, true},   {0.99, true},  {1.01, false}, {9.9, false},  {10.05, true},
        {10.9, true},  {11.2, false}, {20.0, true},  {20.99, true}, {21.0, false},
        {29.9, false}, {30.0, false}, {45.0, false}};
    for (auto [t, light] : timeline) {
        p.tl.ApplyPulseProgram(t);
        EXPECT_EQ(p.tl.out.lightOn, light) << "minute " << t;
    }
    // After the program the light keeps whatever it was last set to.
    p.tl.out.lightOn = true;
    p.tl.ApplyPulseProgram(31);
    EXPECT_TRUE(p.tl.out.lightOn);
    EXPECT_EQ(p.tl.look.cmd_luz, "ON");
}

TEST(LightPulses, NoProgramWithoutCyclesOrLightControlAndNoDivisionByZero) {
    Panels p;
    p.s.setup.Pulse_Times() = 0;
    p.tl.out.lightOn = true;
    p.tl.ApplyPulseProgram(0.5);
    EXPECT_TRUE(p.tl.out.lightOn);
    p.s.setup.Pulse_Times() = 2;
    p.s.setup.Pulse_ONx10() = 0;
    p.s.setup.Pulse_OFFx10() = 0; // a cycle of no length: the program is over at once
    p.tl.ApplyPulseProgram(0.5);
    EXPECT_TRUE(p.tl.out.lightOn);
    p.s.setup.Pulse_ONx10() = 10;
    p.tl.out.lightControlEnabled = false;
    p.tl.out.lightOn = false;
    p.tl.ApplyPulseProgram(0.5);
    EXPECT_FALSE(p.tl.out.lightOn);
}

TEST(PanelButtons, HeatStopsTheElementAndCaptionsFollowTheState) {
    Panels p;
    p.tl.cmd_ontemp_Click();
    EXPECT_TRUE(p.tl.out.tempOn);
    EXPECT_EQ(p.tl.look.cmd_ontemp, "ON");
    EXPECT_EQ(p.tl.look.shape_temp, Indicator::Blue); // cooling
    p.tl.cmd_frio_Click();                            // HEAT
    EXPECT_TRUE(p.tl.out.heating);
    EXPECT_FALSE(p.tl.out.tempOn);
    EXPECT_EQ(p.tl.look.cmd_frio, "HEAT");
    EXPECT_EQ(p.tl.look.shape_temp, Indicator::White);
    p.tl.cmd_ontemp_Click();
    EXPECT_EQ(p.tl.look.shape_temp, Indicator::Red);
    EXPECT_EQ(p.tl.out.value(), 3);
}

TEST(PanelButtons, DuringAnAcquisitionOnlyTheIndicatorChangesAtOnce) {
    Panels p;
    p.s.Acq_State = 1;
    p.tl.cmd_luz_Click();
    EXPECT_EQ(p.tl.look.shape_light, Indicator::Green);
    EXPECT_EQ(p.tl.look.cmd_luz, "OFF");
    EXPECT_TRUE(p.tl.out.outputChangePending);
    p.tl.ApplyPendingChange();
    EXPECT_FALSE(p.tl.out.outputChangePending);
    EXPECT_EQ(p.tl.look.cmd_luz, "ON");
    // Paused: sent at once.
    p.s.Acq_State = 2;
    p.tl.cmd_luz_Click();
    EXPECT_FALSE(p.tl.out.outputChangePending);
    EXPECT_EQ(p.tl.look.cmd_luz, "OFF");
    EXPECT_EQ(p.tl.look.shape_light, Indicator::Red);
}

TEST(PanelButtons, SetEnableAndMenuEntries) {
    Panels p;
    p.tl.boxes.txttemp = "31,5";
    p.tl.Cmd_settemp_Click();
    EXPECT_DOUBLE_EQ(p.s.Temp_SetPoint, 31.5);
    p.tl.Chk_lenabled_Click(true);
    EXPECT_EQ(p.s.setup.Light_Enable(), 1);
    p.tl.Chk_tenabled_Click(false);
    EXPECT_EQ(p.s.setup.Temp_Enable(), 0);
    EXPECT_FALSE(p.tl.out.tempControlEnabled);

    p.tl.lght_ctl_Click();
    EXPECT_TRUE(p.tl.boxes.Frame_light);
    EXPECT_EQ(p.s.setup.Menu2, 1);
    EXPECT_EQ(p.fake.prompter.texts(),
              std::vector<std::string>{"Only available in some hardware versions"});
    p.tl.lght_ctl_Click();
    EXPECT_FALSE(p.tl.boxes.Frame_light);
    EXPECT_EQ(p.s.setup.Menu2, 0);
    EXPECT_EQ(p.fake.prompter.messages.size(), 1u); // hiding asks nothing
    p.tl.temp_ctl_Click();
    EXPECT_EQ(p.s.setup.Menu3, 1);
    p.tl.cmd_cyclepulse_Click();
    EXPECT_TRUE(p.tl.boxes.frm_pulse);
}

TEST(PanelBoxes, ValidValuesAreStoredAndShownInTheirFormat) {
    Panels p;
    auto& su = p.s.setup;
    p.tl.txt_lon_LostFocus("7");
    EXPECT_EQ(su.Time_ON(), 7);
    EXPECT_EQ(p.tl.boxes.txt_lon, "07");
    p.tl.txt_loff_LostFocus("22.5"); // to the even neighbour
    EXPECT_EQ(su.Time_OFF(), 22);
    p.tl.txt_pulseon_LostFocus("1,5");
    EXPECT_EQ(su.Pulse_ONx10(), 15);
    EXPECT_EQ(p.tl.boxes.txt_pulseon, "1.5");
    p.tl.txt_pulseoff_LostFocus("1440");
    EXPECT_EQ(su.Pulse_OFFx10(), 14400);
    EXPECT_EQ(p.tl.boxes.txt_pulseoff, "1440.0");
    p.tl.txttemp_LostFocus("37.25");
    EXPECT_EQ(su.Tempx10(), 372);
    EXPECT_EQ(p.tl.boxes.txttemp, "37.2");
    p.tl.txt_pulsetimes_LostFocus("3");
    EXPECT_EQ(su.Pulse_Times(), 3);
    EXPECT_FALSE(p.tl.boxes.hourBoxesEnabled);
    EXPECT_TRUE(p.fake.prompter.messages.empty());
}

TEST(PanelBoxes, InvalidValuesShowTheirMessageAndTheDefault) {
    struct Case {
        void (TemperatureLight::*leave)(const std::string&);
        std::string PanelBoxes::*box;
        std::string text;
        std::string message;
        std::string shown;
    };
    using T = TemperatureLight;
    const Case cases[] = {
        {&T::txt_lon_LostFocus, &PanelBoxes::txt_lon, "24", "Invalid value: 0 to 23", "9"},
        {&T::txt_lon_LostFocus, &PanelBoxes::txt_lon, "", "Invalid value: 0 to 23", "9"},
        {&T::txt_loff_LostFocus, &PanelBoxes::txt_loff, "-1", "Invalid value: 0 to 23", "21"},
        {&T::txt_pulsetimes_LostFocus, &PanelBoxes::txt_pulsetimes, "100", "Invalid value: 0-99",
         "0"},
        {&T::txt_pulseon_LostFocus, &PanelBoxes::txt_pulseon, "1441",
         "Invalid value: 0.0 to 1440.0", "0"},
        {&T::txt_pulseoff_LostFocus, &PanelBoxes::txt_pulseoff, "x", "Invalid value: 0.0 to 1440.0",
         "0"},
        {&T::txttemp_LostFocus, &PanelBoxes::txttemp, "4.9", "Invalid value: 5.0 to 50.0", "20"},
        {&T::txttemp_LostFocus, &PanelBoxes::txttemp, "12abc", "Invalid value: 5.0 to 50.0", "20"},
    };
    for (const Case& c : cases) {
        Panels p;
        p.s.Temp_SetPoint = 33;
        (p.tl.*c.leave)(c.text);
        EXPECT_EQ(p.fake.prompter.texts(), std::vector<std::string>{c.message}) << c.text;
        EXPECT_EQ(p.tl.boxes.*c.box, c.shown) << c.text;
        EXPECT_DOUBLE_EQ(p.s.Temp_SetPoint, 33); // the running set point stays
    }
    Panels p;
    p.tl.txttemp_LostFocus("4.9");
    EXPECT_EQ(p.s.setup.Tempx10(), 200);
    p.s.setup.Pulse_Times() = 5;
    p.tl.boxes.hourBoxesEnabled = false;
    p.tl.txt_pulsetimes_LostFocus("abc");
    EXPECT_EQ(p.s.setup.Pulse_Times(), 0);
    EXPECT_TRUE(p.tl.boxes.hourBoxesEnabled);
    p.tl.txt_lon_LostFocus("99");
    EXPECT_EQ(p.s.setup.Time_ON(), 9);
}

TEST(PanelFill, StartUpFillsThePanelsFromTheProject) {
    Panels p;
    auto& su = p.s.setup;
    su.Menu2 = 0;
    su.Menu3 = 1;
    su.Light_Enable() = 1;
    su.Time_ON() = 0;
    su.Time_OFF() = 0;
    su.Pulse_Times() = 2;
    su.Pulse_ONx10() = 15;
    su.Pulse_OFFx10() = 90;
    su.Temp_Enable() = 0;
    su.Tempx10() = 10;
    p.tl.out.outputChangePending = true;
    p.tl.FillPanels();
    EXPECT_FALSE(p.tl.boxes.Frame_light); // shown from Menu2 before it follows the enable
    EXPECT_EQ(su.Menu2, 1);
    EXPECT_TRUE(p.tl.boxes.Frame_temp);
    EXPECT_TRUE(p.tl.out.lightControlEnabled);
    EXPECT_EQ(su.Time_ON(), 9);
    EXPECT_EQ(su.Time_OFF(), 21);
    EXPECT_EQ(p.tl.boxes.txt_lon, "9");
    EXPECT_EQ(p.tl.boxes.txt_loff, "21");
    EXPECT_FALSE(p.tl.out.outputChangePending);
    EXPECT_EQ(p.tl.boxes.txt_pulsetimes, "2");
    EXPECT_EQ(p.tl.boxes.txt_pulseon, "1.5");
    EXPECT_EQ(p.tl.boxes.txt_pulseoff, "9.0");
    EXPECT_TRUE(p.tl.boxes.frm_pulse);
    EXPECT_FALSE(p.tl.boxes.hourBoxesEnabled);
    EXPECT_FALSE(p.tl.out.tempControlEnabled);
    EXPECT_EQ(su.Tempx10(), 200);
    EXPECT_EQ(p.tl.boxes.txttemp, "20.0");
}

TEST(PanelFill, WithoutLightControlThePulseBoxesKeepTheirTexts) {
    Panels p;
    p.s.setup.Light_Enable() = 0;
    p.s.setup.Menu2 = 1;
    p.s.setup.Pulse_Times() = 4;
    p.s.setup.Tempx10() = 501;
    p.fake.locale.decimal = ",";
    p.tl.FillPanels();
    EXPECT_TRUE(p.tl.boxes.Frame_light);
    EXPECT_EQ(p.s.setup.Menu2, 0);
    EXPECT_EQ(p.tl.boxes.txt_pulsetimes, "0");
    EXPECT_FALSE(p.tl.boxes.frm_pulse);
    EXPECT_EQ(p.tl.boxes.txttemp, "20,0");
}

} // namespace
} // namespace trv::test
