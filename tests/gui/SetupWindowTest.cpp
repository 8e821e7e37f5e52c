#include "TestPaths.h"
#include "setup/Frm_setup.h"

#include "GuiApplication.h"

#include "common/Files.h"
#include "display/SurfaceQt.h"
#include "store/ChannelTablesFile.h"
#include "store/ConfigFile.h"
#include "store/ProjectFile.h"
#include "support/Fakes.h"
#include "support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace trv {
namespace {

QStringList itemsOf(QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

// A program folder with the shipped files, project 0 current and projects
// up to 4 handed out; the window over it with scripted answers.
class SetupWindowTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    SharedState s;
    test::FakePorts fake;
    std::vector<std::string> calls;
    std::vector<DetectionSummary> summaries;
    std::vector<std::string> notes;
    std::unique_ptr<Frm_setup> w;

    void SetUp() override {
        test::ensureApplication();
        const std::string data = std::string(TRELVANE_SOURCE_DIR) + "/data";
        for (const std::string& f : listFiles(data, "*.dat"))
            copyFile(joinPath(data, f), dir / f);
        s.Program_Folder = dir.path();
        s.Project_Folder = dir.path();
        s.config = {0, 4, 1, 0};
        s.setup.Name = ""; // nothing loaded yet: opening loads project 0

        SetupHooks hooks;
        hooks.connect = [this] { calls.push_back("connect"); };
        hooks.showMain = [this] { calls.push_back("main"); };
        hooks.showLauncher = [this] { calls.push_back("launcher"); };
        hooks.detection = [this](const DetectionSummary& d) { summaries.push_back(d); };
        hooks.notes = [this](const std::string& n) { notes.push_back(n); };
        w = std::make_unique<Frm_setup>(s, fake.ports, hooks);
        w->resize(1300, 700);
        w->open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        QApplication::processEvents();
    }

    // The pixel of the centre of well (row, column) on Picwell.
    QPoint wellPixel(int row, int column) {
        const PlateLayout& p = s.plate;
        QPointF px =
            w->Picwell->surface().toPixel(p.Column_Offset + (column + 0.5) * p.Column_Pitch,
                                          p.Row_Offset + (row + 0.5) * p.Row_Pitch);
        return px.toPoint();
    }
    void dragWells(Qt::MouseButton b, int r0, int c0, int r1, int c1) {
        QTest::mouseMove(w->Picwell, wellPixel(r0, c0));
        QTest::mousePress(w->Picwell, b, {}, wellPixel(r0, c0));
        QTest::mouseMove(w->Picwell, wellPixel(r1, c1));
        QTest::mouseRelease(w->Picwell, b, {}, wellPixel(r1, c1));
    }
    void clickWell(Qt::MouseButton b, int r, int c) { dragWells(b, r, c, r, c); }
    void doubleClickItem(QListWidget* list, int row) {
        QRect r = list->visualItemRect(list->item(row));
        // An item view takes a double click only after a press on the same item.
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
        QApplication::processEvents(); // the window handles it once the view is done
    }
    int groupOfWell(int row, int column) {
        int ch = s.plate.wellChannel(column * s.plate.Plate_Rows + row, 0);
        return s.channels.Channel_Group[static_cast<size_t>(ch)];
    }
};

TEST_F(SetupWindowTest, ControlsCarryTheirNamesAndShowTheProject) {
    for (const char* name :
         {"txtprj",       "Txtfolder",       "Cmdnewpj",       "Cmdsavepj",       "cmdLoad",
          "frm_project",  "List_project",    "Cmd_cancel",     "Txt_description", "Combowell",
          "Picwell",      "lblnchannel",     "combogrup",      "lstgrup",         "lstchgrup",
          "Cmd_clear",    "cmd_goset",       "mngroup",        "Combo_sets",      "Timer1",
          "Cmb_organism", "ComboDSP",        "lbl_snr",        "Txtlapse",        "Combo_aqmode",
          "Txtsample",    "Txt_dspinterval", "Txtbuffer",      "Combosavecount",  "Combosavereal",
          "chkcalib",     "chklight",        "chktemp",        "Chk_mn4",         "Chk_mn5",
          "Chk_mn6",      "cmd_advanced",    "Frame_advanced", "mn_advanced",     "Cmdoffline",
          "Command_main"})
        EXPECT_NE(w->findChild<QObject*>(name), nullptr) << name;
    EXPECT_EQ(w->findChildren<QAction*>("mnopciongrup").size(), 24);

    EXPECT_EQ(w->txtprj->text(), "0_Default");
    EXPECT_EQ(w->Txtfolder->text(), QString::fromStdString(dir.path()));
    EXPECT_EQ(w->Combowell->currentText(), "w96f");
    EXPECT_EQ(w->Combowell->count(), 7);
    EXPECT_EQ(w->Picwell->toolTip(), "Click wells to assign/remove groups");
    EXPECT_EQ(w->Txtlapse->text(), "30");
    EXPECT_EQ(w->Cmb_organism->currentText(), "C.elegans");
    EXPECT_EQ(w->lbl_snr->text(), "1.8");
    EXPECT_FALSE(w->lbl_snr->isEnabled());
    EXPECT_EQ(w->Combosavecount->currentText(), "YES");
    EXPECT_TRUE(w->chkcalib->isChecked());
    EXPECT_FALSE(w->chkcalib->isEnabled());
    EXPECT_FALSE(w->Frame_advanced->isVisible());
    EXPECT_FALSE(w->cmd_advanced->isVisible());
    EXPECT_FALSE(w->frm_project->isVisible());
    EXPECT_EQ(w->mnopciongrup[0]->text(), "01x01 [RowsxColumn]");
    // The shipped project 0 groups: channel columns 0 to 22 in groups 0 to 11.
    EXPECT_EQ(w->combogrup->item(0)->text(), "000_Group0");
}

TEST_F(SetupWindowTest, ProjectGroupedOnThePlateSavedReloadedAndHandedOn) {
    // New project 5.
    fake.prompter.type("Larvae run");
    QTest::mouseClick(w->Cmdnewpj, Qt::LeftButton);
    EXPECT_EQ(w->txtprj->text(), "5_Larvae run");
    EXPECT_EQ(w->Txtfolder->text(), QString::fromStdString(dir / "p00005"));
    EXPECT_EQ(dir.read("config.dat"), configFileText({5, 5, 1, 0}));

    // Four groups of 24 wells, by drags and clicks on the drawn plate.
    QTest::mouseClick(w->Cmd_clear, Qt::LeftButton);
    EXPECT_EQ(itemsOf(w->combogrup), QStringList{"000_Free"});
    QTest::mouseMove(w->Picwell, wellPixel(1, 2));
    EXPECT_EQ(w->lblnchannel->text(), "B3");
    dragWells(Qt::LeftButton, 0, 0, 7, 2); // columns 1 to 3
    EXPECT_EQ(itemsOf(w->combogrup), (QStringList{"000_Group0", "001_Free"}));
    for (int g = 1; g < 4; ++g) {
        w->combogrup->setCurrentRow(g);
        dragWells(Qt::LeftButton, 7, 3 * g + 2, 0, 3 * g); // drawn from the bottom right
    }
    // A right click frees a well; a left click puts it into the selected group.
    clickWell(Qt::RightButton, 4, 4);
    EXPECT_EQ(groupOfWell(4, 4), -1);
    EXPECT_EQ(itemsOf(w->lstchgrup), (QStringList{"E5.0", "E5.1"}));
    w->combogrup->setCurrentRow(0);
    clickWell(Qt::LeftButton, 4, 4);
    EXPECT_EQ(groupOfWell(4, 4), 0);
    w->combogrup->setCurrentRow(1);
    clickWell(Qt::LeftButton, 4, 4);
    EXPECT_EQ(groupOfWell(4, 4), 1);
    EXPECT_EQ(itemsOf(w->combogrup),
              (QStringList{"000_Group0", "001_Group1", "002_Group2", "003_Group3", "004_Free"}));
    for (int c = 0; c < 12; ++c)
        for (int r = 0; r < 8; ++r)
            EXPECT_EQ(groupOfWell(r, c), c / 3) << r << "," << c;
    EXPECT_EQ(w->lstgrup->count(), 48);
    EXPECT_EQ(w->lstchgrup->count(), 0);

    // Settings typed into the window.
    w->Txtlapse->clear();
    QTest::keyClicks(w->Txtlapse, "45");
    EXPECT_EQ(s.setup.Aq_lapse, 45);
    emit w->Cmb_organism->activated(1);
    EXPECT_EQ(w->lbl_snr->text(), "2.8");
    QTest::keyClicks(w->Txt_description, "5 dpf larvae");

    // Saved: the files are what the store writes.
    fake.prompter.answer(Answer::Yes);
    QTest::mouseClick(w->Cmdsavepj, Qt::LeftButton);
    EXPECT_EQ(fake.prompter.messages.back().text, "Do you like to Update <5_Larvae run> values?");
    EXPECT_EQ(dir.read("p00005/setup.dat"), setupFileText(s.setup, 5));
    EXPECT_EQ(dir.read("p00005/chgroup.dat"),
              channelTableText(s.channels, ChannelTableFile::ChannelGroups));
    EXPECT_EQ(dir.read("p00005/groups.dat"),
              channelTableText(s.channels, ChannelTableFile::Groups));
    const ChannelTables saved = s.channels;

    // Unsaved changes, then the project reloaded from the list.
    fake.prompter.answer(Answer::Yes);
    QTest::mouseClick(w->Cmd_clear, Qt::LeftButton);
    w->Txtlapse->clear();
    QTest::keyClicks(w->Txtlapse, "90");
    fake.prompter.answer(Answer::No); // do not save before loading
    QTest::mouseClick(w->cmdLoad, Qt::LeftButton);
    ASSERT_TRUE(w->frm_project->isVisible());
    EXPECT_EQ(itemsOf(w->List_project), QStringList{"p00005_Larvae run"});
    doubleClickItem(w->List_project, 0);
    EXPECT_FALSE(w->frm_project->isVisible());
    EXPECT_EQ(w->txtprj->text(), "5_Larvae run");
    EXPECT_EQ(w->Txtlapse->text(), "45");
    EXPECT_EQ(s.channels.Channel_Group, saved.Channel_Group);
    EXPECT_EQ(w->combogrup->count(), 5);
    EXPECT_EQ(w->Cmb_organism->currentText(), "Zebrafish");

    // Handed on to the main window with the settings in force.
    QTest::mouseClick(w->Command_main, Qt::LeftButton);
    EXPECT_EQ(calls, (std::vector<std::string>{"connect", "main"}));
    ASSERT_EQ(summaries.size(), 1u);
    EXPECT_EQ(summaries[0].detection, "Detection Mode1, Zebrafish [snr 2.8]");
    EXPECT_EQ(summaries[0].snr, "2.8");
    EXPECT_EQ(summaries[0].organism, 1);
    EXPECT_EQ(notes, std::vector<std::string>{"5 dpf larvae"});
    EXPECT_FALSE(w->isVisible());
}

TEST_F(SetupWindowTest, PlateChangeWaitsForTheTimer) {
    fake.prompter.answer(Answer::Yes);
    int index = w->Combowell->findText("w384");
    ASSERT_GE(index, 0);
    emit w->Combowell->activated(index);
    EXPECT_TRUE(w->Timer1->isActive());
    EXPECT_TRUE(fake.prompter.messages.empty());
    QTRY_VERIFY(!fake.prompter.messages.empty());
    EXPECT_EQ(fake.prompter.messages[0].text, "Load New Plate configuration?");
    EXPECT_EQ(s.setup.Plate_format, "w384");
    EXPECT_EQ(w->Combowell->currentText(), "w384");
    EXPECT_EQ(itemsOf(w->combogrup), QStringList{"000_Free"});
    EXPECT_EQ(w->lstchgrup->count(), 384);

    // A plate whose file went away after the window opened.
    std::remove((dir / "w48.dat").c_str());
    fake.prompter.clear();
    emit w->Combowell->activated(w->Combowell->findText("w48"));
    QTRY_VERIFY(!fake.prompter.messages.empty());
    EXPECT_EQ(fake.prompter.texts(), std::vector<std::string>{"Selection Error"});
    EXPECT_EQ(w->Combowell->currentText(), "w384");
}

TEST_F(SetupWindowTest, AutoArrangeFromTheMenu) {
    QAction* blocks = nullptr;
    for (QAction* a : w->mnopciongrup)
        if (a->text() == "04x02 [RowsxColumn]") blocks = a;
    ASSERT_NE(blocks, nullptr);
    blocks->trigger();
    EXPECT_TRUE(blocks->isChecked());
    EXPECT_EQ(w->combogrup->count(), 13);
    EXPECT_EQ(groupOfWell(4, 1), 1);
    EXPECT_EQ(groupOfWell(0, 2), 2);
    EXPECT_FALSE(w->mnopciongrup[0]->isChecked());
}

TEST_F(SetupWindowTest, DoubleClicksRenameAndEnableTheSnrBox) {
    QTest::mouseDClick(w->txtprj, Qt::LeftButton);
    EXPECT_TRUE(
        fake.prompter.saw("Not possible to rename the Default project. Save it with another Name"));

    fake.prompter.type("Controls");
    doubleClickItem(w->combogrup, 0);
    EXPECT_EQ(w->combogrup->item(0)->text(), "000_Controls");

    QPoint snr = w->lbl_snr->geometry().center();
    QTest::mouseDClick(w->lbl_snr->parentWidget(), Qt::LeftButton, {}, snr);
    EXPECT_TRUE(w->lbl_snr->isEnabled());
    w->lbl_snr->selectAll();
    QTest::keyClicks(w->lbl_snr, "6.2");
    QTest::keyClick(w->lbl_snr, Qt::Key_Return);
    EXPECT_TRUE(fake.prompter.saw("Enter a valid SNR: 1.4 to 5.0"));
    EXPECT_EQ(w->lbl_snr->text(), "1.8");
    EXPECT_EQ(s.setup.SNRx10(), 18);
}

TEST_F(SetupWindowTest, AdvancedToolsAndTheWaysOut) {
    w->mn_advanced->trigger();
    EXPECT_TRUE(w->Frame_advanced->isVisible());
    EXPECT_EQ(w->cmd_advanced->text(), "[Advanced Tools]    <-");
    QTest::mouseClick(w->chklight, Qt::LeftButton, {}, QPoint(8, w->chklight->height() / 2));
    EXPECT_EQ(s.setup.Menu2, 1);

    QTest::mouseClick(w->Cmdoffline, Qt::LeftButton);
    EXPECT_EQ(calls, std::vector<std::string>{"launcher"});
    EXPECT_EQ(summaries.size(), 1u);
    EXPECT_TRUE(notes.empty());
    EXPECT_FALSE(w->isVisible());

    w->open();
    EXPECT_FALSE(w->Frame_advanced->isVisible());
    QTest::keyClicks(w->Txt_description, "to main window");
    w->close();
    EXPECT_EQ(calls, (std::vector<std::string>{"launcher", "launcher"}));
    EXPECT_EQ(notes, std::vector<std::string>{"to main window"});
}

} // namespace
} // namespace trv
