// The factory settings window and the calibration workbench offscreen, over
// the in-process simulated instrument. With TRELVANE_SHOT_DIR set the
// windows are also saved there as PNG pictures (docs/ screenshots).
#include "device/Connection.h"
#include "device/ModCOMM.h"
#include "display/SurfaceQt.h"
#include "maintenance/Frm_Arena.h"
#include "maintenance/Frm_Factory.h"
#include "support/Fakes.h"
#include "support/SimPorts.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace trv {
namespace {

void ensureApplication() {
    if (QApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_gui";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

void shoot(QWidget& w, const char* file) {
    const QString dir = qEnvironmentVariable("TRELVANE_SHOT_DIR");
    if (!dir.isEmpty()) w.grab().save(dir + "/" + file);
}

struct MaintenanceWindows : ::testing::Test {
    test::SimPorts sims;
    test::TempDir home;
    test::FakePorts fp;
    SharedState s;
    sim::SimInstrument* sim = nullptr;

    void SetUp() override {
        ensureApplication();
        sim::SimOptions o = test::SimPorts::quiet();
        o.model.weakEmitters = {75};
        sim = &sims.start(3, o);
        ASSERT_EQ(CommOpen(3, PortName(3), kDeviceLineSettings), 0);
        s.config.Serial_COM = 3;
        s.Device_Connected = true;
        s.Device_Id = 96;
        s.Program_Folder = home.path();
        fp.pump.every = [] { QCoreApplication::processEvents(); };
    }
};

TEST_F(MaintenanceWindows, FactorySettingsShowsTheSensorAndRecalibratesIt) {
    s.Factory_Cal_Valid = true;
    s.Factory_Cal_Month = 6;
    s.Factory_Cal_Year = 24;
    s.Temp_Offset = 0.5;
    sim->setPlateTemperature(27.0);
    Frm_Factory f(s, fp.ports);
    bool closed = false;
    f.onClosed = [&] { closed = true; };
    f.open();
    EXPECT_EQ(f.windowTitle(), "Factory Settings");
    for (const char* name :
         {"lblserial", "txt_mensaje", "txt_current_temp", "txt_set_temp", "Cmd_temp"})
        EXPECT_NE(f.findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(f.lblserial->text(), "SERIAL : TRVN00096");
    EXPECT_EQ(f.txt_mensaje->text(), "OK Last Factory Calibration 06/24 [mm/yy]");
    EXPECT_EQ(f.txt_set_temp->text(), "25.0");
    EXPECT_TRUE(f.Timer_temp->isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.txt_current_temp->text() == "27.0"; }, 3000));
    shoot(f, "factory-settings.png");

    f.txt_set_temp->setText("50.1");
    QTest::mouseClick(f.Cmd_temp, Qt::LeftButton);
    EXPECT_TRUE(fp.prompter.saw(
        "invalid Calibration Parameter: value must be between 4\u00b0C and 50\u00b0C"));
    f.txt_set_temp->setText("28");
    QTest::mouseClick(f.Cmd_temp, Qt::LeftButton);
    EXPECT_EQ(f.txt_mensaje->text(), "OK Last Factory Calibration 03/24 [mm/yy]");
    EXPECT_EQ(sim->readRegister(0, 132), 15); // 28 - 121 x 0.219 = 1.501
    f.close();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(f.Timer_temp->isActive());
}

TEST_F(MaintenanceWindows, WorkbenchSamplesSetsAndEditsTheChannel) {
    Frm_Arena a(s, fp.ports);
    int shownMain = 0;
    a.model().hooks.showMain = [&] { ++shownMain; };
    a.open();
    for (const char* name :
         {"Combofila",     "Combocol",         "lblcanal",       "lblstatus", "txtpower",
          "scrollpower",   "txtgain",          "scrollgain",     "lblout",    "Cmd_setall",
          "txt_power",     "txt_ganancia",     "cmd_setcalibra", "Txtajuste", "Combomode",
          "Cmdcalibrar",   "lblcalibrando",    "cmdTEST",        "txt_test",  "picturecal",
          "txt_threshold", "Scroll_threshold", "txtzoom",        "Picwell",   "Picreal",
          "Picwell_out",   "txt_pixsize",      "txt_brillo"})
        EXPECT_NE(a.findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(a.Txtajuste->text(), "80");
    EXPECT_EQ(a.Combomode->currentText(), "Max.Gain");
    EXPECT_EQ(a.Cmdcalibrar->text(), "<CALIBRATE>& Auto-Gain");

    // ONLINE samples on the timer; a click on the plate picks channel 75
    // (column 4, row 11) and reads its setting.
    QTest::mouseClick(a.cmdonline, Qt::LeftButton);
    EXPECT_FALSE(a.cmdonline->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.model().sampleCount() >= 12; }, 5000));
    sim->withModel([](sim::SimModel& m) { m.setSetting(75, 5 * 32 + 6); });
    SurfaceQt& plate = a.Picwell->surface();
    const QPointF cell = plate.toPixel(4.5, 11.5);
    QTest::mouseClick(a.Picwell, Qt::LeftButton, {}, cell.toPoint());
    EXPECT_EQ(a.lblcanal->text(), "75");
    EXPECT_EQ(a.Combofila->currentText(), "L");
    EXPECT_EQ(a.Combocol->currentText(), "5");
    EXPECT_EQ(a.scrollpower->value(), 6);
    EXPECT_EQ(a.txtgain->text(), "5");
    // Moving the gain writes the channel.
    a.scrollgain->setValue(2);
    EXPECT_EQ(sim->beamSetting(75), 2 * 32 + 6);
    EXPECT_EQ(a.lblout->text(), "75");
    if (!qEnvironmentVariableIsEmpty("TRELVANE_SHOT_DIR")) { // a trace worth seeing
        EXPECT_TRUE(QTest::qWaitFor([&] { return a.model().sampleCount() >= 200; }, 20000));
    }
    shoot(a, "calibration-workbench.png");

    // Disabled by a double click, answered Yes.
    QTest::mouseDClick(a.lblstatus, Qt::LeftButton);
    EXPECT_EQ(a.lblstatus->text(), "DISABLED");
    EXPECT_EQ(s.channels.Channel_Enabled[75], 0);
    EXPECT_EQ(fp.prompter.texts().back(), "Do you like to Disable Channel 75?");

    // SET with a power of 9 takes 0.
    QTest::mouseClick(a.cmdoffline, Qt::LeftButton);
    EXPECT_TRUE(a.cmdonline->isEnabled());
    a.txt_power->setText("9");
    a.txt_ganancia->setText("1");
    QTest::mouseClick(a.cmd_setcalibra, Qt::LeftButton);
    EXPECT_EQ(a.txt_power->text(), "0");
    EXPECT_EQ(sim->beamSetting(383), 32);

    a.close();
    EXPECT_EQ(shownMain, 1);
    EXPECT_FALSE(a.Timerreal->isActive());
}

} // namespace
} // namespace trv
