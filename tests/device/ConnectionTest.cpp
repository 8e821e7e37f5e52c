#include "device/Connection.h"
#include "device/ModCOMM.h"

#include "support/Fakes.h"
#include "support/SimPorts.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace trv;
using namespace trv::test;

namespace {

const sim::Frame kIdentify = frame(0xFF, 0x00, 0x00, 0x00, 0xF0);

class Connecting : public ::testing::Test {
  protected:
    void SetUp() override {
        state.config.Serial_COM = 3;
        hooks.saveConfig = [this] { ++saves; };
        hooks.showLauncher = [this] { ++launcherShown; };
        hooks.startRunTimer = [this] { ++runTimerStarts; };
    }
    void connect(bool runSwitch = false) { Connect(state, f.ports, menu, hooks, runSwitch); }
    std::vector<std::string> statusLine() const { return f.status.on(status::StatusLine); }
    static std::vector<std::string> opening(std::initializer_list<int> ports) {
        std::vector<std::string> out;
        for (int p : ports)
            out.push_back("Opening Port [" + std::to_string(p) + "]");
        return out;
    }
    std::vector<std::string> openingLines() const {
        std::vector<std::string> out;
        for (const auto& s : statusLine())
            if (s.rfind("Opening Port", 0) == 0) out.push_back(s);
        return out;
    }

    SimPorts sims;
    SharedState state;
    FakePorts f;
    ComPortMenu menu;
    ConnectionHooks hooks;
    int saves = 0, launcherShown = 0, runTimerStarts = 0;
};

const std::string kPortError = "COM(15) PORT ERROR. Type New Port number or <Enter> to go Offline";

} // namespace

TEST_F(Connecting, ConfiguredPortThatAnswersIsKeptWithoutSearching) {
    auto& sim = sims.start(3);
    connect();
    EXPECT_EQ(state.config.Serial_COM, 3);
    EXPECT_FALSE(state.Offline_Mode);
    EXPECT_TRUE(state.Device_Connected);
    EXPECT_EQ(state.Device_Id, 96);
    EXPECT_TRUE(CommIsOpen(3));
    EXPECT_EQ(openingLines(), opening({3}));
    EXPECT_EQ(statusLine().front(), "STARTING.....");
    EXPECT_EQ(statusLine().back(), "");
    EXPECT_NE(std::find(statusLine().begin(), statusLine().end(), "Reading Factory Calibration..."),
              statusLine().end());
    EXPECT_EQ(f.status.on(status::StatusCaption), (std::vector<std::string>{"CONNECTING:", ""}));
    EXPECT_FALSE(f.status.visible[status::StatusFrame]);
    EXPECT_TRUE(f.prompter.messages.empty());
    EXPECT_TRUE(f.prompter.prompts.empty());
    EXPECT_EQ(menu.checkedEntry(), 3);
    EXPECT_EQ(sim.frames().front(), kIdentify);
    // Factory data of the instrument: June 2024, +0.5 degrees, 0.219 per unit.
    EXPECT_TRUE(state.Factory_Cal_Valid);
    EXPECT_EQ(state.Factory_Cal_Month, 6);
    EXPECT_EQ(state.Factory_Cal_Year, 24);
    EXPECT_DOUBLE_EQ(state.Temp_Offset, 0.5);
    EXPECT_DOUBLE_EQ(state.Temp_Slope, 0.219);
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(launcherShown, 0);
    EXPECT_EQ(runTimerStarts, 0);

    Disconnect(state);
    EXPECT_FALSE(CommIsOpen(3));
    EXPECT_FALSE(state.Device_Connected);
}

TEST_F(Connecting, SearchFindsTheInstrumentOnPort5AfterRejecting255OnPort2) {
    sims.start(5);
    sim::SimOptions picky;
    picky.faults.probeReply = {1, 0}; // 1 x 255 + 0 = 255: above 250
    auto& rejected = sims.start(2, picky);
    connect();
    EXPECT_EQ(openingLines(), opening({3, 1, 2, 3, 4, 5}));
    EXPECT_NE(std::find(statusLine().begin(), statusLine().end(), "Connected on COM[ 5 ]"),
              statusLine().end());
    EXPECT_EQ(f.status.on(status::NewsLine),
              (std::vector<std::string>{"Status = Connected on COM[ 5 ]"}));
    EXPECT_EQ(state.config.Serial_COM, 5);
    EXPECT_EQ(state.Device_Id, 96);
    EXPECT_FALSE(state.Offline_Mode);
    EXPECT_TRUE(CommIsOpen(5));
    EXPECT_FALSE(CommIsOpen(2));
    EXPECT_EQ(menu.checkedEntry(), 5);
    // Two probe attempts on port 2, both rejected.
    EXPECT_EQ(rejected.frames(), (std::vector<sim::Frame>{kIdentify, kIdentify}));
    EXPECT_TRUE(f.prompter.messages.empty());
}

TEST_F(Connecting, ProbeReadsFirstTimes255PlusSecond) {
    sim::SimOptions o;
    o.identification = 260; // sent as (1, 5): 1 x 255 + 5
    sims.start(4, o);
    ASSERT_EQ(CommOpen(4, "COM4", kDeviceLineSettings), 0);
    EXPECT_EQ(ProbeDevice(4, f.clock), 260);
    EXPECT_FALSE(IsInstrumentId(260));
    sims.at(4).setIdentification(250);
    EXPECT_EQ(ProbeDevice(4, f.clock), 250);
    EXPECT_TRUE(IsInstrumentId(250));
    EXPECT_TRUE(IsInstrumentId(10));
    EXPECT_FALSE(IsInstrumentId(9));
    EXPECT_EQ(f.clock.sleeps, (std::vector<int>{5, 5}));
}

TEST_F(Connecting, NothingFoundAndAnEmptyAnswerGoesOffline) {
    f.prompter.type("");
    connect();
    EXPECT_EQ(openingLines(), opening({3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
    ASSERT_EQ(f.prompter.prompts.size(), 1u);
    EXPECT_EQ(f.prompter.prompts[0].prompt, kPortError);
    EXPECT_TRUE(state.Offline_Mode);
    EXPECT_FALSE(state.Device_Connected);
    EXPECT_EQ(state.Device_Id, 0);
    EXPECT_NE(std::find(statusLine().begin(), statusLine().end(), "Equipment not found"),
              statusLine().end());
    EXPECT_EQ(f.prompter.texts(), (std::vector<std::string>{"PORT NOT FOUND"}));
    EXPECT_EQ(launcherShown, 1);
    EXPECT_EQ(menu.checkedEntry(), 15);
    EXPECT_DOUBLE_EQ(state.Temp_Slope, 0.219);
    EXPECT_EQ(saves, 0);
    for (int p = 1; p <= 16; ++p)
        EXPECT_FALSE(CommIsOpen(p)) << p;

    // Offline, Disconnect leaves everything as it is.
    Disconnect(state);
    EXPECT_TRUE(state.Offline_Mode);
}

TEST_F(Connecting, AnswerOutsideOneToFifteenGoesOfflineWithoutAFurtherMessage) {
    f.prompter.type("16");
    connect(true);
    EXPECT_TRUE(state.Offline_Mode);
    EXPECT_EQ(f.prompter.texts(), (std::vector<std::string>{"PORT NOT FOUND"}));
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(runTimerStarts, 1); // the run switch goes on regardless

    f.prompter.clear();
    f.prompter.cancelInput();
    connect();
    EXPECT_TRUE(state.Offline_Mode);
    EXPECT_EQ(f.prompter.texts(), (std::vector<std::string>{"PORT NOT FOUND"}));
    EXPECT_EQ(runTimerStarts, 1);
}

TEST_F(Connecting, TypedPortThatDoesNotOpenIsAnInvalidPortNumber) {
    f.prompter.type("9");
    connect();
    EXPECT_TRUE(state.Offline_Mode);
    EXPECT_EQ(state.config.Serial_COM, 9);
    EXPECT_EQ(f.prompter.texts(),
              (std::vector<std::string>{"Invalid Port Number. Offline Mode", "PORT NOT FOUND"}));
    EXPECT_EQ(saves, 0);
}

TEST_F(Connecting, TypedPortWhereTheInstrumentNowAnswersIsKeptAsFound) {
    sim::SimOptions late;
    late.faults.probeReply = {0, 5}; // 5: not yet an instrument
    auto& sim = sims.start(7, late);
    // While the box is open the instrument comes to life.
    f.prompter.onInput = [&](const std::string&) {
        sim.updateFaults([](sim::SimFaults& x) { x.probeReply.clear(); });
    };
    f.prompter.type("7");
    connect();
    EXPECT_FALSE(state.Offline_Mode);
    EXPECT_TRUE(state.Device_Connected);
    EXPECT_EQ(state.config.Serial_COM, 7);
    EXPECT_EQ(state.Device_Id, 96);
    EXPECT_TRUE(CommIsOpen(7));
    EXPECT_EQ(saves, 1);
    EXPECT_TRUE(state.Factory_Cal_Valid); // the factory data was read from it
    EXPECT_EQ(f.status.on(status::NewsLine).back(), "Status = Connected on COM[ 7 ]");
    EXPECT_TRUE(f.prompter.messages.empty());
}

TEST_F(Connecting, TypedPortThatOpensButDoesNotAnswerIsSavedButNotConnected) {
    sim::SimOptions never;
    never.faults.probeReply = {0, 5};
    sims.start(7, never);
    f.prompter.type("7");
    connect();
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(state.config.Serial_COM, 7);
    EXPECT_TRUE(state.Offline_Mode);
    EXPECT_FALSE(state.Device_Connected);
    EXPECT_FALSE(CommIsOpen(7));
    EXPECT_EQ(f.prompter.texts(), (std::vector<std::string>{"PORT NOT FOUND"}));
}

TEST_F(Connecting, APortThatOpensButIsNoSerialLineIsClosedAgain) {
    // COM2 is a plain file: it opens, then fails to set up.
    ::close(::open(sims.path(2).c_str(), O_CREAT | O_WRONLY, 0644));
    sims.start(4);
    state.config.Serial_COM = 2;
    connect();
    EXPECT_EQ(state.config.Serial_COM, 4);
    EXPECT_FALSE(CommIsOpen(2));
    // A second search can try it again rather than finding it "in use".
    Disconnect(state);
    state.config.Serial_COM = 2;
    connect();
    EXPECT_EQ(state.config.Serial_COM, 4);
    EXPECT_EQ(openingLines(), opening({2, 1, 2, 3, 4, 2, 1, 2, 3, 4}));
}

TEST_F(Connecting, RunSwitchStartsTheTimerAfterConnecting) {
    sims.start(3);
    connect(true);
    EXPECT_EQ(runTimerStarts, 1);
    EXPECT_TRUE(state.Device_Connected);
}

// ---- factory data --------------------------------------------------------

namespace {
std::array<int, 8> goodRegisters() {
    return {0, 6, 24, 0, 5, 219, 0, 0};
}
} // namespace

TEST(FactoryRegisters, PlausibleDataGivesTheSensorCalibration) {
    FactoryCalibration c = CheckFactoryRegisters(goodRegisters());
    EXPECT_TRUE(c.valid);
    EXPECT_EQ(c.month, 6);
    EXPECT_EQ(c.year, 24);
    EXPECT_DOUBLE_EQ(c.offset, 0.5);
    EXPECT_DOUBLE_EQ(c.slope, 0.219);

    auto r = goodRegisters();
    r[3] = 1;
    r[4] = 55;
    r[5] = 0x2C; // 300 = 0x012C
    r[6] = 0x01;
    c = CheckFactoryRegisters(r);
    EXPECT_TRUE(c.valid);
    EXPECT_DOUBLE_EQ(c.offset, -5.5);
    EXPECT_DOUBLE_EQ(c.slope, 0.3);

    // Range ends are included.
    r = goodRegisters();
    r[4] = 100;
    r[5] = 100;
    EXPECT_TRUE(CheckFactoryRegisters(r).valid);
    r[5] = 0xC2; // 450
    r[6] = 0x01;
    EXPECT_TRUE(CheckFactoryRegisters(r).valid);
}

TEST(FactoryRegisters, ImplausibleDataFallsBackToTheDefaults) {
    auto expectDefaults = [](std::array<int, 8> r, const char* why) {
        const FactoryCalibration c = CheckFactoryRegisters(r);
        EXPECT_FALSE(c.valid) << why;
        EXPECT_DOUBLE_EQ(c.offset, 0.0) << why;
        EXPECT_DOUBLE_EQ(c.slope, 0.219) << why;
    };
    auto r = goodRegisters();
    r[5] = 0;
    r[6] = 1; // slope low byte 0 with a high byte: still invalid
    expectDefaults(r, "register 133 zero");
    r = goodRegisters();
    r[4] = 150; // 15 degrees
    expectDefaults(r, "offset out of range");
    r = goodRegisters();
    r[5] = 99; // 0.099
    expectDefaults(r, "slope too small");
    r = goodRegisters();
    r[0] = 1;
    expectDefaults(r, "marker");
    r = goodRegisters();
    r[1] = 13;
    expectDefaults(r, "month");
    r = goodRegisters();
    r[2] = 100;
    expectDefaults(r, "year");
    r = goodRegisters();
    r[3] = 2;
    expectDefaults(r, "sign");
    for (size_t i = 0; i < 7; ++i) {
        r = goodRegisters();
        r[i] = -1;
        expectDefaults(r, "unread register");
    }
    // The spare register is not looked at.
    r = goodRegisters();
    r[7] = -1;
    EXPECT_TRUE(CheckFactoryRegisters(r).valid);
}

TEST_F(Connecting, FactoryReadReadsEachRegisterTwiceAndPausesBetweenReads) {
    sim::SimOptions o;
    o.model.factory = sim::factoryData(11, 23, -5.5, 0.25);
    auto& sim = sims.start(3, o);
    ASSERT_EQ(CommOpen(3, "COM3", kDeviceLineSettings), 0);
    ReadFactoryCalibration(state, f.ports);
    EXPECT_TRUE(state.Factory_Cal_Valid);
    EXPECT_EQ(state.Factory_Cal_Month, 11);
    EXPECT_EQ(state.Factory_Cal_Year, 23);
    EXPECT_DOUBLE_EQ(state.Temp_Offset, -5.5);
    EXPECT_DOUBLE_EQ(state.Temp_Slope, 0.25);
    const auto frames = sim.frames();
    ASSERT_EQ(frames.size(), 16u);
    for (int i = 0; i < 8; ++i) {
        const auto expected = frame(0xFF, 0x00, 0x20, 128 + i, 0xF0);
        EXPECT_EQ(frames[static_cast<size_t>(2 * i)], expected);
        EXPECT_EQ(frames[static_cast<size_t>(2 * i + 1)], expected);
    }
    EXPECT_EQ(f.clock.sleeps, std::vector<int>(16, 200));
    EXPECT_EQ(f.pump.calls, 20 + 8);
}

TEST_F(Connecting, ARegisterThatNeverReadsTheSameTwiceInvalidatesTheData) {
    sim::SimOptions o;
    o.faults.unstableRegister = 133;
    auto& sim = sims.start(3, o);
    ASSERT_EQ(CommOpen(3, "COM3", kDeviceLineSettings), 0);
    state.Temp_Offset = 3.0;
    ReadFactoryCalibration(state, f.ports);
    EXPECT_FALSE(state.Factory_Cal_Valid);
    EXPECT_DOUBLE_EQ(state.Temp_Offset, 0.0);
    EXPECT_DOUBLE_EQ(state.Temp_Slope, 0.219);
    const auto reg133 = frame(0xFF, 0x00, 0x20, 133, 0xF0);
    const auto frames = sim.frames();
    EXPECT_EQ(std::count(frames.begin(), frames.end(), reg133), 6); // three passes
    EXPECT_EQ(frames.size(), 7u * 2u + 6u);
}

TEST_F(Connecting, InvalidFactoryDataInTheInstrumentKeepsTheConnection) {
    sim::SimOptions o;
    o.model.factory = sim::invalidFactoryData();
    sims.start(3, o);
    connect();
    EXPECT_TRUE(state.Device_Connected);
    EXPECT_FALSE(state.Offline_Mode);
    EXPECT_FALSE(state.Factory_Cal_Valid);
    EXPECT_DOUBLE_EQ(state.Temp_Offset, 0.0);
    EXPECT_DOUBLE_EQ(state.Temp_Slope, 0.219);
}

// ---- "COM Ports" ---------------------------------------------------------

TEST(ComPorts, ChoosingAnEntryChecksOnlyItAndSavesThePort) {
    SharedState state;
    ComPortMenu menu;
    int saves = 0, redraws = 0;
    menu.onChanged = [&] { ++redraws; };
    EXPECT_EQ(std::string(ComPortMenu::Caption), "COM Ports");
    EXPECT_EQ(ComPortMenu::entryText(1), "COM1");
    EXPECT_EQ(ComPortMenu::entryText(15), "COM15");
    menu.checkOnly(2);
    menu.choose(4, state, [&] { ++saves; });
    EXPECT_EQ(menu.checkedEntry(), 4);
    EXPECT_FALSE(menu.isChecked(2));
    EXPECT_EQ(state.config.Serial_COM, 4);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(redraws, 2);
    menu.choose(16, state, [&] { ++saves; });
    menu.choose(0, state, [&] { ++saves; });
    EXPECT_EQ(state.config.Serial_COM, 4);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(menu.checkedEntry(), 4);
}
