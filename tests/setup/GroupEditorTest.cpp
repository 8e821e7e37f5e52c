#include "setup/GroupEditor.h"

#include "SetupTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace trv {
namespace {

using test::SetupFixture;
using Kind = RecordingSurface::Kind;

struct GroupEditorTest : SetupFixture, ::testing::Test {
    GroupEditor ed{s, fake.ports, picwell};

    void SetUp() override { usePlate("w96f"); }

    std::vector<std::string> groupTexts() const {
        std::vector<std::string> out;
        for (const auto& e : ed.groups()) out.push_back(e.text);
        return out;
    }
    void selectGroup(int g) {
        for (size_t i = 0; i < ed.groups().size(); ++i)
            if (ed.groups()[i].number == g) ed.selectIndex(static_cast<int>(i));
        ASSERT_EQ(ed.selectedGroup(), g);
    }
    // Well (row, column) of the plate.
    int well(int row, int column) const { return column * s.plate.Plate_Rows + row; }
    void press(MouseButton b, int row, int col) {
        auto [x, y] = wellCentre(row, col);
        ed.mouseMove(x, y);
        ed.mouseDown(b, x, y);
    }
    void release(MouseButton b, int row, int col) {
        auto [x, y] = wellCentre(row, col);
        ed.mouseMove(x, y);
        ed.mouseUp(b, x, y);
    }
    void click(MouseButton b, int row, int col) {
        press(b, row, col);
        release(b, row, col);
    }
    void setWellGroup(int w, int g) {
        for (int c : channelsOfWell(w)) s.channels.Channel_Group[static_cast<size_t>(c)] = static_cast<int16_t>(g);
    }
};

TEST_F(GroupEditorTest, GroupListKeepsOneSpareEntryAfterTheHighestInUse) {
    clearGroups();
    ed.load();
    EXPECT_EQ(groupTexts(), std::vector<std::string>{"000_Free"});

    click(MouseButton::Left, 0, 0);
    EXPECT_EQ(groupTexts(), (std::vector<std::string>{"000_Group0", "001_Free"}));
    EXPECT_EQ(s.channels.Group_Name[0], "Group0");
    EXPECT_EQ(groupsOfWell(0), (std::vector<int>{0, 0}));

    // Gaps below the highest group stay listed; the selection follows.
    setWellGroup(well(0, 1), 3);
    s.channels.Group_Name[3] = "Control";
    ed.refreshGroups(3);
    EXPECT_EQ(groupTexts(), (std::vector<std::string>{"000_Group0", "001_Free", "002_Free",
                                                      "003_Control", "004_Free"}));
    EXPECT_EQ(ed.selectedGroup(), 3);
    ed.refreshGroups(9); // not listed: the first entry
    EXPECT_EQ(ed.selectedGroup(), 0);
}

TEST_F(GroupEditorTest, LeftClickMovesAWellToTheSelectedGroupWhateverItHad) {
    clearGroups();
    setWellGroup(well(0, 0), 2);
    setWellGroup(well(1, 0), 4);
    ed.load();
    selectGroup(5);

    // The press alone takes only free channels; the release takes them all.
    press(MouseButton::Left, 0, 0);
    EXPECT_EQ(groupsOfWell(well(0, 0)), (std::vector<int>{2, 2}));
    EXPECT_EQ(fake.status.current["setupWell"], "0");
    release(MouseButton::Left, 0, 0);
    EXPECT_EQ(groupsOfWell(well(0, 0)), (std::vector<int>{5, 5}));
    EXPECT_EQ(ed.selectedGroup(), 5);
    EXPECT_EQ(groupTexts().back(), "006_Free");
    EXPECT_EQ(ed.assignedChannels(), channelsOfWell(0));
}

TEST_F(GroupEditorTest, RightClickFreesEveryEnabledChannelOfTheWell) {
    clearGroups();
    setWellGroup(well(2, 3), 2);
    const int disabled = channelsOfWell(well(2, 3))[1];
    s.channels.Channel_Enabled[static_cast<size_t>(disabled)] = 0;
    ed.load();
    selectGroup(0);
    click(MouseButton::Right, 2, 3);
    EXPECT_EQ(groupsOfWell(well(2, 3)), (std::vector<int>{-1, 2}));
    // Middle clicks do nothing.
    click(MouseButton::Middle, 0, 0);
    EXPECT_EQ(groupsOfWell(0), (std::vector<int>{-1, -1}));
}

TEST_F(GroupEditorTest, DragAssignsOrFreesTheRectangleInEitherDirection) {
    clearGroups();
    ed.load();
    press(MouseButton::Left, 3, 2); // D3
    {
        auto [x, y] = wellCentre(1, 1); // B2
        ed.mouseMove(x, y);
        EXPECT_EQ(ed.highlight(), (PlateHighlight{PlateHighlight::Kind::Drag, 3, 2, 1, 1, false}));
        EXPECT_EQ(fake.status.current["setupWell"], "B2");
    }
    release(MouseButton::Left, 1, 1);
    for (int c = 0; c < 12; ++c)
        for (int r = 0; r < 8; ++r) {
            bool inside = r >= 1 && r <= 3 && c >= 1 && c <= 2;
            EXPECT_EQ(groupsOfWell(well(r, c)), (std::vector<int>(2, inside ? 0 : -1)))
                << "row " << r << " column " << c;
        }
    EXPECT_FALSE(ed.dragging());

    press(MouseButton::Right, 1, 1);
    release(MouseButton::Right, 2, 2);
    EXPECT_EQ(groupsOfWell(well(3, 1)), (std::vector<int>{0, 0}));
    EXPECT_EQ(groupsOfWell(well(2, 2)), (std::vector<int>{-1, -1}));
    EXPECT_EQ(groupsOfWell(well(1, 1)), (std::vector<int>{-1, -1}));
}

TEST_F(GroupEditorTest, ClicksBeforeLoadingOrOffThePlateAreIgnored) {
    clearGroups();
    auto [x, y] = wellCentre(0, 0);
    ed.mouseDown(MouseButton::Left, x, y);
    ed.mouseUp(MouseButton::Left, x, y);
    EXPECT_EQ(groupsOfWell(0), (std::vector<int>{-1, -1}));

    ed.load();
    // Past the last column: outside, the press is ignored.
    ed.mouseMove(24.1, 3);
    ed.mouseDown(MouseButton::Left, 24.1, 3);
    EXPECT_FALSE(ed.dragging());

    // A drag released off the plate assigns nothing more, and the next
    // release on the plate is a single well, not a rectangle from the old
    // press.
    press(MouseButton::Left, 0, 0);
    ed.mouseMove(24.1, 3);
    ed.mouseUp(MouseButton::Left, 24.1, 3);
    EXPECT_FALSE(ed.dragging());
    release(MouseButton::Left, 4, 4);
    EXPECT_EQ(groupsOfWell(well(0, 0)), (std::vector<int>{0, 0}));
    EXPECT_EQ(groupsOfWell(well(4, 4)), (std::vector<int>{0, 0}));
    EXPECT_EQ(groupsOfWell(well(2, 2)), (std::vector<int>{-1, -1}));
}

TEST_F(GroupEditorTest, DisabledChannelsNeverJoinAGroup) {
    clearGroups();
    const int beam1 = channelsOfWell(0)[1];
    s.channels.Channel_Enabled[static_cast<size_t>(beam1)] = 0;
    ed.load();
    // Disabled channels are in neither list.
    EXPECT_EQ(std::count(ed.freeChannels().begin(), ed.freeChannels().end(), beam1), 0);
    EXPECT_EQ(ed.freeChannels().size(), 191u);

    click(MouseButton::Left, 0, 0);
    EXPECT_EQ(groupsOfWell(0), (std::vector<int>{0, -1}));
    ed.assignedListDoubleClick(0);
    EXPECT_EQ(groupsOfWell(0), (std::vector<int>{-1, -1}));
    ed.freeListDoubleClick(0); // A1.0: the well's enabled beams only
    EXPECT_EQ(groupsOfWell(0), (std::vector<int>{0, -1}));
    ed.autoArrange("08x12 [RowsxColumn]");
    EXPECT_EQ(groupsOfWell(0), (std::vector<int>{0, -1}));
    EXPECT_EQ(groupsOfWell(95), (std::vector<int>{0, 0}));
}

TEST_F(GroupEditorTest, ListDoubleClicksMoveWholeWellsAndKeepThePosition) {
    clearGroups();
    ed.load();
    selectGroup(0);
    EXPECT_EQ(ed.labels({0, 16, 2, 18}), (std::vector<std::string>{"A1.0", "A1.1", "B1.0", "B1.1"}));
    // Channel order: the beam 0 channels of column 1 come first.
    ASSERT_EQ(ed.labels(ed.freeChannels())[1], "B1.0");
    ed.freeListDoubleClick(1);
    EXPECT_EQ(groupsOfWell(1), (std::vector<int>{0, 0}));
    EXPECT_EQ(ed.labels(ed.assignedChannels()), (std::vector<std::string>{"B1.0", "B1.1"}));
    EXPECT_EQ(ed.freePosition(), 1);
    EXPECT_EQ(groupTexts(), (std::vector<std::string>{"000_Group0", "001_Free"}));

    ed.assignedListDoubleClick(1); // B1.1: the whole well is freed
    EXPECT_EQ(groupsOfWell(1), (std::vector<int>{-1, -1}));
    EXPECT_TRUE(ed.assignedChannels().empty());
    EXPECT_EQ(ed.assignedPosition(), -1);
    ed.assignedListDoubleClick(0); // empty list: nothing
    EXPECT_EQ(ed.freeChannels().size(), 192u);
}

TEST_F(GroupEditorTest, RenameGroup) {
    ed.load();
    selectGroup(3);
    prompter().type("Control \"A\"");
    ed.renameGroup();
    EXPECT_EQ(prompter().prompts[0].prompt, "Enter New Group (003) Name");
    EXPECT_EQ(prompter().prompts[0].preset, "Group3");
    EXPECT_EQ(ed.groups()[static_cast<size_t>(ed.selectedIndex())].text, "003_Control 'A'");
    EXPECT_EQ(s.channels.Group_Name[3], "Control 'A'");
    prompter().cancelInput();
    ed.renameGroup();
    EXPECT_EQ(s.channels.Group_Name[3], "Control 'A'");
}

TEST_F(GroupEditorTest, ClearAsksThenFreesEverything) {
    ed.load(); // the default groups 0..12
    prompter().answer(Answer::No);
    ed.clearClick();
    EXPECT_EQ(prompter().messages[0].text, "Do you like to Clear Group lists?");
    EXPECT_EQ(prompter().messages[0].buttons, Buttons::YesNo);
    EXPECT_EQ(s.channels.Channel_Group[0], 0);

    prompter().answer(Answer::Yes);
    ed.clearClick();
    EXPECT_TRUE(std::all_of(s.channels.Channel_Group.begin(), s.channels.Channel_Group.begin() + kChannels,
                            [](int g) { return g == -1; }));
    EXPECT_TRUE(std::all_of(s.channels.Group_Name.begin(), s.channels.Group_Name.begin() + kChannels,
                            [](const std::string& n) { return n == "Free"; }));
    EXPECT_EQ(groupTexts(), std::vector<std::string>{"000_Free"});
    EXPECT_EQ(ed.freeChannels().size(), 192u);
    EXPECT_TRUE(ed.assignedChannels().empty());
}

TEST_F(GroupEditorTest, BlockSizesFollowThePlate) {
    ed.load();
    const auto& sizes = ed.blockSizeList();
    ASSERT_EQ(sizes.size(), 24u);
    EXPECT_EQ(sizes.front(), "01x01 [RowsxColumn]");
    EXPECT_EQ(sizes[1], "02x01 [RowsxColumn]");
    EXPECT_EQ(sizes[4], "01x02 [RowsxColumn]");
    EXPECT_EQ(sizes.back(), "08x12 [RowsxColumn]");
    EXPECT_EQ(ed.menuCaptions(), sizes);

    usePlate("w384");
    EXPECT_EQ(blockSizes(s.plate).size(), 35u); // 7 column and 5 row divisors
    ed.load();
    EXPECT_EQ(ed.menuCaptions().size(), 24u);
    usePlate("w6");
    EXPECT_EQ(blockSizes(s.plate), (std::vector<std::string>{"01x01 [RowsxColumn]", "02x01 [RowsxColumn]",
                                                             "01x03 [RowsxColumn]", "02x03 [RowsxColumn]"}));
}

TEST_F(GroupEditorTest, AutoArrangeTilesA96WellPlateInBlocksOfFourByTwo) {
    ed.load();
    auto captions = ed.menuCaptions();
    auto it = std::find(captions.begin(), captions.end(), "04x02 [RowsxColumn]");
    ASSERT_NE(it, captions.end());
    const int entry = static_cast<int>(it - captions.begin());
    s.channels.Group_Name[20] = "Left over";
    ed.autoArrangeEntry(entry);

    EXPECT_EQ(ed.checkedMenuEntry(), entry);
    for (int c = 0; c < 12; ++c)
        for (int r = 0; r < 8; ++r) {
            int g = (c / 2) * 2 + r / 4;
            EXPECT_EQ(groupsOfWell(well(r, c)), (std::vector<int>{g, g})) << "row " << r << " column " << c;
        }
    auto texts = groupTexts();
    ASSERT_EQ(texts.size(), 13u);
    EXPECT_EQ(texts[0], "000_Group0");
    EXPECT_EQ(texts[11], "011_Group11");
    EXPECT_EQ(texts[12], "012_Free");
    EXPECT_EQ(s.channels.Group_Name[20], "Free");
    EXPECT_EQ(ed.selectedGroup(), 0);
    EXPECT_EQ(ed.labels(ed.assignedChannels()).front(), "A1.0");
    EXPECT_EQ(ed.assignedChannels().size(), 16u);
    EXPECT_TRUE(ed.freeChannels().empty());
}

TEST_F(GroupEditorTest, AutoArrangeLeavesADisabledWellFreeAndKeepsTheTiling) {
    usePlate("w96u"); // one beam per well
    s.channels.Channel_Enabled[static_cast<size_t>(channelsOfWell(0)[0])] = 0;
    s.channels.Channel_Enabled[static_cast<size_t>(channelsOfWell(5)[0])] = 0;
    ed.load();
    ed.autoArrange("04x02 [RowsxColumn]");
    EXPECT_EQ(groupsOfWell(0), std::vector<int>{-1});
    EXPECT_EQ(groupsOfWell(5), std::vector<int>{-1});
    for (int w = 1; w < 96; ++w) {
        if (w == 5) continue;
        int r = w % 8, c = w / 8;
        EXPECT_EQ(groupsOfWell(w), std::vector<int>{(c / 2) * 2 + r / 4}) << "well " << w;
    }
}

TEST_F(GroupEditorTest, PlateChangeRunsFromTheTimer) {
    clearGroups();
    setWellGroup(0, 1);
    ed.load();
    ed.choosePlate("w384");
    EXPECT_TRUE(ed.plateChangePending());
    EXPECT_TRUE(prompter().messages.empty());

    prompter().answer(Answer::No);
    ed.Timer1_Timer();
    EXPECT_FALSE(ed.plateChangePending());
    EXPECT_EQ(prompter().texts(), std::vector<std::string>{"Load New Plate configuration?"});
    EXPECT_EQ(s.setup.Plate_format, "w96f");
    EXPECT_EQ(ed.plateShown(), "w96f");
    EXPECT_EQ(groupsOfWell(0), (std::vector<int>{1, 1}));

    prompter().clear();
    ed.choosePlate("w384");
    ed.Timer1_Timer();
    EXPECT_EQ(prompter().texts(),
              (std::vector<std::string>{"Load New Plate configuration?",
                                        "384 Well microplate [1microbeams/well]\r\n"
                                        "Adapter: none, place the plate directly in the slot"}));
    EXPECT_EQ(s.setup.Plate_format, "w384");
    EXPECT_EQ(ed.plateShown(), "w384");
    EXPECT_EQ(s.plate.Max_Well, 383);
    EXPECT_EQ(groupTexts(), std::vector<std::string>{"000_Free"});
    EXPECT_EQ(ed.freeChannels().size(), 384u);
    EXPECT_EQ(ed.blockSizeList().size(), 35u);
}

TEST_F(GroupEditorTest, DeletedPlateFileIsASelectionError) {
    ed.load();
    ASSERT_NE(std::find(ed.plateNames().begin(), ed.plateNames().end(), "w48"), ed.plateNames().end());
    std::remove((dir / "w48.dat").c_str());
    ed.choosePlate("w48");
    ed.Timer1_Timer();
    EXPECT_EQ(prompter().texts(), std::vector<std::string>{"Selection Error"});
    // Still offered until the window loads again.
    EXPECT_NE(std::find(ed.plateNames().begin(), ed.plateNames().end(), "w48"), ed.plateNames().end());
    EXPECT_EQ(s.setup.Plate_format, "w96f");
    EXPECT_EQ(s.plate.Max_Well, 95);
    EXPECT_EQ(s.channels.Channel_Group[0], 0);
    EXPECT_EQ(ed.plateShown(), "w96f");
}

TEST_F(GroupEditorTest, PlateNamesAndDescriptions) {
    copyFile(dir / "w6.dat", dir / "W12.DAT");
    EXPECT_EQ(plateFormatNames(dir.path()),
              (std::vector<std::string>{"w12", "w24", "w384", "w48", "w6", "w96f", "w96flat", "w96u"}));
    EXPECT_EQ(plateDescription("w96flat"),
              "96 Wells flat bottom [4microbeams/well]\r\nAdapter: fit the 96 wells 4 beams adapter\r\n"
              "NOTE: DISCONTINUED. Contact provider");
    EXPECT_EQ(plateDescription("w6").substr(0, 44), "6 Wells flat bottom [30-32microbeams/well]\r\n");

    // A format without a description changes without one.
    ed.load();
    ed.choosePlate("w12");
    ed.Timer1_Timer();
    EXPECT_EQ(prompter().texts(), std::vector<std::string>{"Load New Plate configuration?"});
    EXPECT_EQ(s.setup.Plate_format, "w12");
    EXPECT_EQ(s.plate.Plate_Rows, 2);
}

TEST_F(GroupEditorTest, HitTestingCountsNegativesAsTheFirstRowOrColumn) {
    // w96f: rows from -0.5 with pitch 2, columns from 0 with pitch 2.
    auto h = hitWell(s.plate, 0.5, 0.5);
    EXPECT_TRUE(h.inside);
    EXPECT_EQ(h.well(s.plate), 0);
    h = hitWell(s.plate, 5.9, 15.4);
    EXPECT_EQ(h.row, 7);
    EXPECT_EQ(h.column, 2);
    EXPECT_EQ(h.well(s.plate), 23);
    h = hitWell(s.plate, -1.2, -1.0); // over the labels
    EXPECT_TRUE(h.inside);
    EXPECT_EQ(h.well(s.plate), 0);
    EXPECT_FALSE(hitWell(s.plate, 24.0, 3).inside);
    EXPECT_FALSE(hitWell(s.plate, 3, 15.5).inside);
    usePlate("w6");
    EXPECT_EQ(hitWell(s.plate, 20, 12).well(s.plate), 5);
}

TEST_F(GroupEditorTest, DrawingShowsWellsBeamsGroupsAndLabels) {
    clearGroups();
    setWellGroup(well(0, 0), 0);
    setWellGroup(well(1, 0), 1);
    setWellGroup(well(2, 0), 2);
    setWellGroup(well(3, 0), 7);
    s.channels.Channel_Enabled[1] = 0; // no well anyway
    s.channels.Channel_Enabled[16] = 0;
    ed.load();

    auto boxes = picwell.ofKind(Kind::Box);
    EXPECT_EQ(boxes.size(), 96u);
    EXPECT_TRUE(std::all_of(boxes.begin(), boxes.end(), [](auto& p) { return p.colour == colour::Red; }));
    EXPECT_DOUBLE_EQ(boxes[1].y1, 1.5); // B1 from y 1.5 to 3.5
    EXPECT_DOUBLE_EQ(boxes[1].y2, 3.5);

    auto circles = picwell.ofKind(Kind::Circle);
    ASSERT_EQ(circles.size(), 384u);
    EXPECT_EQ(std::count_if(circles.begin(), circles.end(),
                            [](auto& p) { return p.colour == platecolour::BeamInUse; }),
              191);
    EXPECT_DOUBLE_EQ(circles[17].x1, 1.5);
    EXPECT_DOUBLE_EQ(circles[17].y1, 1.5);
    EXPECT_EQ(circles[16].colour, platecolour::BeamUnused);

    std::vector<std::pair<std::string, Rgb>> marks;
    for (const auto& t : picwell.texts())
        if (t.text.size() > 1 && t.text[0] == 'G') marks.push_back({t.text, t.colour});
    EXPECT_EQ(marks, (std::vector<std::pair<std::string, Rgb>>{{"G0", groupColour(0)},
                                                               {"G1", colour::Blue},
                                                               {"G2", colour::Red},
                                                               {"G7", colour::Black}}));
    EXPECT_EQ(groupColour(0), rgb(0, 150, 0));
    for (const char* label : {"1", "12", "A", "H"}) EXPECT_TRUE(picwell.hasText(label)) << label;
    EXPECT_FALSE(picwell.hasText("13"));
    EXPECT_FALSE(picwell.hasText("I"));
}

TEST_F(GroupEditorTest, HoverAndDragHighlight) {
    ed.load();
    auto [x, y] = wellCentre(2, 5); // C6
    ed.mouseMove(x, y);
    EXPECT_EQ(fake.status.current["setupWell"], "C6");
    EXPECT_EQ(picwell.fillAt(x, y), platecolour::HoverWell);
    auto [rx, ry] = wellCentre(2, 0);
    EXPECT_EQ(picwell.fillAt(rx, ry), platecolour::HoverLine);
    auto [ox, oy] = wellCentre(3, 0);
    EXPECT_EQ(picwell.fillAt(ox, oy), colour::White);

    // Moving within the same well draws nothing new.
    size_t drawn = picwell.primitives().size();
    ed.mouseMove(x + 0.2, y + 0.2);
    EXPECT_EQ(picwell.primitives().size(), drawn);

    ed.mouseDown(MouseButton::Right, x, y);
    auto [dx, dy] = wellCentre(4, 7);
    ed.mouseMove(dx, dy);
    auto [mx, my] = wellCentre(3, 6);
    EXPECT_EQ(picwell.fillAt(mx, my), platecolour::DragFree);
    EXPECT_EQ(picwell.fillAt(ox, oy), colour::White);

    ed.mouseUp(MouseButton::Right, dx, dy);
    ed.mouseMove(24.5, 8); // off the plate: the highlight goes
    EXPECT_EQ(picwell.fillAt(dx, dy), colour::White);
}

} // namespace
} // namespace trv

namespace trv {
namespace {

TEST(PlateDrawing, UnitsAreSquareAndSmallWellsWriteTheMarkInsideARing) {
    test::SetupFixture f;
    f.usePlate("w384");
    PlateScale sc = plateScale(f.s.plate, 300, 300);
    EXPECT_NEAR((sc.right - sc.left) / 300, (sc.bottom - sc.top) / 300, 1e-12);
    EXPECT_LE(sc.left, -1.0);
    EXPECT_GE(sc.right, 24.0);
    EXPECT_LE(sc.top, -1.0);

    // 384 wells on 300 pixels: about 12 pixels a well.
    RecordingSurface small(300, 220);
    f.s.channels.Channel_Group.fill(-1);
    f.s.channels.Channel_Group[17] = 12; // well B2
    Dibujar_placa(small, f.s);
    auto circles = small.ofKind(RecordingSurface::Kind::Circle);
    ASSERT_EQ(circles.size(), 384u);
    EXPECT_DOUBLE_EQ(circles[17].x2, 0.42);
    auto texts = small.texts();
    auto mark = std::find_if(texts.begin(), texts.end(), [](auto& t) { return t.text == "G12"; });
    ASSERT_NE(mark, texts.end());
    // Centred on the well's centre (1.5, 1.5).
    small.setFontScale(mark->fontScale);
    EXPECT_NEAR(mark->x1 + small.textWidth("G12") / 2, 1.5, 1e-9);
    EXPECT_LT(mark->y1, 1.5);

    // The same plate on a large surface: small circles, the mark in the corner.
    RecordingSurface large(1600, 1100);
    Dibujar_placa(large, f.s);
    EXPECT_LT(large.ofKind(RecordingSurface::Kind::Circle)[17].x2, 0.2);
    EXPECT_TRUE(large.hasText("G12"));
    auto bigTexts = large.texts();
    auto corner = std::find_if(bigTexts.begin(), bigTexts.end(), [](auto& t) { return t.text == "G12"; });
    EXPECT_LT(corner->x1, 1.2);
}

} // namespace
} // namespace trv
