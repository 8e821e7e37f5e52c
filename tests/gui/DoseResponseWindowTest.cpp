// The dose-response window from the report window's "Dose-response...": the
// table of the acquisition's groups read from doses.csv, a wrong entry told
// and nothing written, then the fit with its table, plots that parse as XML
// and the plot shown, the same table as trelvane-cli dose-response's.
// TRELVANE_SHOT_DIR=<folder> also saves a picture.
#include "analysis/DoseAcquisition.h"
#include "analysis/frm_doseresponse.h"
#include "cli/CliRun.h"
#include "display/SurfaceQt.h"
#include "reports/ReportWindowsQt.h"
#include "reports/frm_report.h"
#include "support/Fakes.h"
#include "support/GuiApplication.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace trv {
namespace {

// The elements of an XML file; empty with the parser's complaint when it is
// not well formed.
std::vector<std::string> xmlElements(const std::string& path, std::string& error) {
    QFile f(QString::fromStdString(path));
    std::vector<std::string> names;
    if (!f.open(QIODevice::ReadOnly)) {
        error = "cannot open";
        return {};
    }
    QXmlStreamReader xml(&f);
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement)
            names.push_back(xml.name().toString().toStdString());
    if (xml.hasError()) {
        error = xml.errorString().toStdString();
        return {};
    }
    return names;
}

TEST(DoseResponseWindow, FitsTheMapOfTheTableAndShowsThePlot) {
    test::ensureApplication();
    test::AcquisitionFixture fx;
    test::FakePorts fake;
    SharedState s;
    s.Program_Folder = fx.program;
    test::DoseScreen screen;
    screen.compounds = 2; // groups 0..11 the doses, 12 the control, 13 left out
    screen.unit = "µM";
    const std::string acq = screen.write(fx, "20240315_0930");
    ReportWindowsHooks hooks;
    hooks.openDoseResponse = openDoseResponseWindow;
    ReportWindows windows(s, fake.ports, std::move(hooks));
    ASSERT_TRUE(windows.showMyReport(acq, "30", false));
    frm_report& report = windows.report();
    QTest::mouseClick(report.Cmd_doseresponse, Qt::LeftButton);
    auto* w = report.findChild<frm_doseresponse*>();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));

    ASSERT_EQ(w->grd_doses->rowCount(), 14);
    EXPECT_EQ(w->grd_doses->item(7, 3)->text(), "Compound 2");
    EXPECT_EQ(w->grd_doses->item(7, 4)->text(), "0.1");
    EXPECT_EQ(w->grd_doses->item(12, 4)->text(), "0");
    EXPECT_EQ(w->grd_doses->item(13, 1)->text(), "Free");
    EXPECT_EQ(w->txt_doseunit->text(), "µM");
    EXPECT_EQ(w->txt_dosefrom->text(), "0");
    EXPECT_EQ(w->txt_doseto->text(), "60");

    // A concentration that is not a number: said, and nothing written.
    w->grd_doses->item(13, 3)->setText("Compound 2");
    w->grd_doses->item(13, 4)->setText("1e-3x");
    QTest::mouseClick(w->cmd_dosefit, Qt::LeftButton);
    EXPECT_EQ(w->txt_dosemessages->toPlainText().toStdString(),
              "group 13 (Free): concentration \"1e-3x\" is not a number");
    EXPECT_FALSE(fileExists(joinPath(acq, kDoseResponseFileName)));

    w->grd_doses->item(13, 3)->setText("");
    w->grd_doses->item(13, 4)->setText("");
    w->txt_dosefrom->setText("5");
    w->txt_doseto->setText("55");
    QTest::mouseClick(w->cmd_dosefit, Qt::LeftButton);
    const DoseResponseOutcome& out = w->outcome();
    ASSERT_TRUE(out.written) << w->txt_dosemessages->toPlainText().toStdString();
    ASSERT_EQ(w->cmb_dosecompound->count(), 2);
    EXPECT_EQ(w->cmb_dosecompound->itemText(1), "Compound 2");
    for (int k = 0; k < 2; ++k) {
        const CurveFit& f = out.result.compounds[static_cast<size_t>(k)].fit;
        ASSERT_TRUE(f.hasIC50) << f.message;
        EXPECT_NEAR(f.curve.ic50() / screen.truth(k).ic50(), 1.0, 0.01);
    }
    EXPECT_NE(w->txt_dosemessages->toPlainText().indexOf(
                  "group 13 (Free) holds wells but is not in the dose map: left out"),
              -1);
    // The edited table was saved first; the fit read it back.
    EXPECT_EQ(readDoseMapFile(joinPath(acq, kDoseMapFileName)).map.entries.size(), 13u);
    // The command gives the same numbers.
    test::TempDir io;
    const CliResult cli = runCli(io, fx.program,
                                 {"dose-response", acq, "--doses", joinPath(acq, kDoseMapFileName),
                                  "--from", "5", "--to", "55", "-o", io / "cli"});
    ASSERT_EQ(cli.exitCode, 0) << cli.err;
    EXPECT_EQ(io.read("cli/dose_response.csv"), *readWholeFile(out.csvPath));

    for (const std::string& plot : out.plotPaths) {
        std::string error;
        const auto elements = xmlElements(plot, error);
        ASSERT_TRUE(error.empty()) << plot << ": " << error;
        EXPECT_EQ(elements.front(), "svg");
        EXPECT_GE(std::count(elements.begin(), elements.end(), "polyline"), 1);
        EXPECT_EQ(std::count(elements.begin(), elements.end(), "circle"), 24 + 4) << plot;
    }

    // The plot of the chosen compound is on the window's surface.
    w->cmb_dosecompound->setCurrentIndex(1);
    QApplication::processEvents();
    const QImage image = w->pic_doseplot->surface().image();
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == QColor(200, 30, 30)) ++red;
    EXPECT_GT(red, 200); // the fitted curve
    const QByteArray dir = qgetenv("TRELVANE_SHOT_DIR");
    if (!dir.isEmpty()) w->grab().save(QString::fromUtf8(dir) + "/dose_response.png");
}

} // namespace
} // namespace trv
