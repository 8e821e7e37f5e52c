// The rhythm window on the rhythm demo's second acquisition (constant dark):
// the groups and wells shown, the actogram drawn, "Save" writing the same
// files as trelvane-cli rhythm with the same parameters, a plot exported as
// a bitmap. TRELVANE_SHOT_DIR=<folder> also saves a picture.
#include "TestPaths.h"
#include "analysis/RhythmDemo.h"
#include "analysis/frm_rhythm.h"
#include "cli/CliRun.h"
#include "common/Files.h"
#include "display/SurfaceQt.h"
#include "support/Fakes.h"
#include "support/GuiApplication.h"
#include "support/ShippedFiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace trv {
namespace {

TEST(RhythmWindow, SavesWhatTheCommandWritesAndShowsTheActogram) {
    test::ensureApplication();
    test::TempDir home, io;
    test::seedProgramFolder(home);
    const RhythmDemo demo = makeRhythmDemo(home.path());
    ASSERT_EQ(demo.error, "");

    test::FakePorts fake;
    QWidget browser;
    openRhythmWindow(browser, fake.ports, demo.ddFolder, home.path());
    auto* w = browser.findChild<frm_rhythm*>();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QTRY_VERIFY_WITH_TIMEOUT(!w->busy(), 60000);
    ASSERT_TRUE(w->outcome().result) << w->outcome().error;
    const int groups = w->grd_rhythmgroups->rowCount();
    ASSERT_GE(groups, 4);
    EXPECT_EQ(w->grd_rhythmwells->rowCount(), 96);
    EXPECT_EQ(w->cbo_rhythmplot->count(), groups + 96);
    EXPECT_EQ(w->grd_rhythmgroups->item(1, 0)->text(), "Period 23.5 h");
    EXPECT_EQ(w->grd_rhythmgroups->item(1, 3)->text().left(5), "23.50"); // mean period

    // The second group's mean actogram: bars in every row of the week.
    w->cbo_rhythmplot->setCurrentIndex(1);
    QApplication::processEvents();
    const QImage image = w->pic_rhythmactogram->surface().image();
    std::vector<int> barRows;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == QColor(30, 30, 30)) {
                barRows.push_back(y);
                break;
            }
    ASSERT_FALSE(barRows.empty());
    EXPECT_GT(barRows.back() - barRows.front(), image.height() / 2);
    const QByteArray dir = qgetenv("TRELVANE_SHOT_DIR");
    if (!dir.isEmpty()) w->grab().save(QString::fromUtf8(dir) + "/rhythm-window.png");

    // Right button on the periodogram: its bitmap in the program folder.
    QTest::mouseClick(w->pic_rhythmperiodogram, Qt::RightButton);
    ASSERT_TRUE(w->mn_rhythmplot->isVisible());
    w->mn_rhythmplot->actions().front()->trigger();
    w->mn_rhythmplot->hide();
    EXPECT_TRUE(fileExists(home / kPeriodogramImageFile));

    w->cbo_rhythmbin->setCurrentText("10");
    w->spn_rhythmpmin->setValue(20);
    w->spn_rhythmpmax->setValue(28);
    w->chk_rhythmperwell->setChecked(true);
    QTest::mouseClick(w->cmd_rhythmsave, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w->busy(), 60000);
    ASSERT_TRUE(w->outcome().written) << w->outcome().error;
    const CliResult cli = runCli(io, home.path(),
                                 {"rhythm", demo.ddFolder, "--bin", "10", "--periods", "20-28",
                                  "--per-well", "--output", io / "cli"});
    ASSERT_EQ(cli.exitCode, 0) << cli.err;
    const std::vector<std::string> files = listFiles(io / "cli");
    EXPECT_EQ(files.size(), w->outcome().files.size());
    for (const std::string& name : files)
        EXPECT_EQ(io.read("cli/" + name), *readWholeFile(joinPath(demo.ddFolder, name))) << name;
}

} // namespace
} // namespace trv
