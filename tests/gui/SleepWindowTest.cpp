// The sleep window on the rhythm demo's first acquisition: the minimum bout
// preset from the organism, the group table and profile shown, and "Save"
// writing the same files as trelvane-cli sleep with the same parameters.
// TRELVANE_SHOT_DIR=<folder> also saves a picture.
#include "TestPaths.h"
#include "analysis/RhythmDemo.h"
#include "analysis/frm_sleep.h"
#include "cli/CliRun.h"
#include "common/Files.h"
#include "display/SurfaceQt.h"
#include "support/Fakes.h"
#include "support/GuiApplication.h"
#include "support/ShippedFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace trv {
namespace {

TEST(SleepWindow, SavesWhatTheCommandWritesAndShowsTheGroups) {
    test::ensureApplication();
    test::TempDir home, io;
    test::seedProgramFolder(home);
    const RhythmDemo demo = makeRhythmDemo(home.path());
    ASSERT_EQ(demo.error, "");

    test::FakePorts fake;
    QWidget browser;
    openSleepWindow(browser, fake.ports, demo.ldFolder, home.path());
    auto* w = browser.findChild<frm_sleep*>();
    ASSERT_NE(w, nullptr);
    w->resize(1250, 700);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    EXPECT_EQ(w->spn_sleepminbout->value(), 5); // flies
    EXPECT_FALSE(w->chk_sleeplight->isChecked());
    // Five groups by ten phases: group 0 has no well, the others one empty.
    ASSERT_EQ(w->grd_sleepgroups->rowCount(), 50);
    EXPECT_EQ(w->grd_sleepgroups->item(0, 3)->text(), "0");
    EXPECT_EQ(w->grd_sleepgroups->item(11, 0)->text(), "Period 23.5 h");
    EXPECT_EQ(w->grd_sleepgroups->item(11, 1)->text(), "dark 1");
    EXPECT_EQ(w->grd_sleepgroups->item(11, 2)->text(), "2026-03-02 20:00");
    EXPECT_EQ(w->grd_sleepgroups->item(11, 3)->text(), "23");

    w->spn_sleepbin->setValue(2);
    w->spn_sleepthreshold->setValue(1);
    QTest::mouseClick(w->cmd_sleepsave, Qt::LeftButton);
    ASSERT_TRUE(w->outcome().written) << w->outcome().error;
    const CliResult cli =
        runCli(io, home.path(),
               {"sleep", demo.ldFolder, "--bin", "2", "--threshold", "1", "--output", io / "cli"});
    ASSERT_EQ(cli.exitCode, 0) << cli.err;
    for (const char* name :
         {kSleepWellsFile, kSleepGroupsFile, kSleepSettingsFile, kSleepProfileFile})
        EXPECT_EQ(io.read(std::string("cli/") + name),
                  *readWholeFile(joinPath(demo.ldFolder, name)))
            << name;

    // The profile: the dark phases shaded, the curves drawn.
    QApplication::processEvents();
    const QImage image = w->pic_sleepprofile->surface().image();
    int curve = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == QColor(0, 90, 181)) ++curve;
    EXPECT_GT(curve, 200);
    const QByteArray dir = qgetenv("TRELVANE_SHOT_DIR");
    if (!dir.isEmpty()) w->grab().save(QString::fromUtf8(dir) + "/sleep-window.png");
}

} // namespace
} // namespace trv
