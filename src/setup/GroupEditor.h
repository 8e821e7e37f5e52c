// The plate and group editor of the setup window: the drawn plate to click
// or drag over, the group list with its spare entry, the lists of assigned
// and free channels, group renaming, CLEAR, AUTO-ARRANGE and the plate
// change. Works on Channel_Group, Group_Name and the plate layout in
// SharedState; nothing is saved until the project is.
#pragma once

#include "setup/PlateDrawing.h"
#include "store/Module1.h"

#include <string>
#include <vector>

namespace trv {

struct Ports;
class Surface;

inline constexpr const char* kAskClearGroups = "Do you like to Clear Group lists?";
inline constexpr const char* kSelectionError = "Selection Error";
inline constexpr const char* kAskNewPlate = "Load New Plate configuration?";
inline constexpr int kBlockMenuEntries = 24;

enum class MouseButton { None, Left, Right, Middle };

// The message shown after a new plate was accepted (description, CR LF, the
// adapter to fit); empty for a format the program does not know.
std::string plateDescription(const std::string& format);

// "02x04 [RowsxColumn]" entries for a plate: for every column divisor 1..16
// of Plate_Columns, every row divisor 1..16 of Plate_Rows.
std::vector<std::string> blockSizes(const PlateLayout& plate);

// The plate format names offered: every w*.dat file of a folder, lower case,
// without ".dat".
std::vector<std::string> plateFormatNames(const std::string& programFolder);

class GroupEditor {
public:
    struct GroupEntry {
        int number = 0;
        std::string text; // "003_Control"
    };

    GroupEditor(SharedState& state, Ports& ports, Surface& picwell);

    // End of the window's loading: block sizes, group list on group 0, both
    // channel lists, the drawing; from then on clicks count.
    void load();
    bool loaded() const { return loaded_; }

    // --- combogrup
    const std::vector<GroupEntry>& groups() const { return groups_; }
    int selectedIndex() const { return selected_; }
    // The selected group number (first three characters of the entry).
    int selectedGroup() const;
    void selectIndex(int index); // click in combogrup
    // Rebuilds the list and selects group g (the first entry when g is not
    // listed). A group in use whose name is "Free" is named "Group" + number.
    void refreshGroups(int g);
    // Double click or Enter in combogrup.
    void renameGroup();

    // --- lstgrup (assigned to the selected group) and lstchgrup (free)
    const std::vector<int>& assignedChannels() const { return assigned_; }
    const std::vector<int>& freeChannels() const { return free_; }
    std::vector<std::string> labels(const std::vector<int>& channels) const;
    int assignedPosition() const { return assignedPos_; }
    int freePosition() const { return freePos_; }
    void refreshChannelLists();
    // Double clicks: the well of the entry (the first entry when index is
    // -1) joins the selected group, or is freed.
    void freeListDoubleClick(int index);
    void assignedListDoubleClick(int index);

    // --- Cmd_clear
    void clearClick();
    // Every channel free and every group name "Free", without asking.
    void clearGroups();

    // --- Combo_sets and the AUTO-ARRANGE menu
    const std::vector<std::string>& blockSizeList() const { return blockSizes_; }
    // Captions of mnopciongrup entries 0..23 (fewer when the plate has fewer
    // block sizes; the others are hidden).
    std::vector<std::string> menuCaptions() const;
    int checkedMenuEntry() const { return checkedMenu_; }
    void autoArrangeEntry(int menuIndex);
    // Tiles the plate into blocks of the caption's size ("04x02 ...").
    void autoArrange(const std::string& caption);

    // --- Picwell
    void mouseDown(MouseButton button, double x, double y);
    void mouseUp(MouseButton button, double x, double y);
    // Hover, or the rectangle of a drag since the last press.
    void mouseMove(double x, double y);
    // The pointer left the plate surface.
    void mouseLeft();
    const PlateHighlight& highlight() const { return highlight_; }
    bool dragging() const { return dragging_; }
    void redraw();

    // --- Combowell and Timer1
    // The plate formats offered, listed when the window loads.
    const std::vector<std::string>& plateNames() const { return plateNames_; }
    // The format Combowell should show (after a refused or failed change it
    // goes back to the current one).
    const std::string& plateShown() const { return plateShown_; }
    // A choice in Combowell: remembered for the timer, so the list closes
    // before any message appears.
    void choosePlate(const std::string& name);
    bool plateChangePending() const { return pending_; }
    // Timer1 fired: runs the pending plate change.
    void Timer1_Timer();

private:
    void assignWell(int well, int group, bool freeOnly);
    void freeWell(int well);
    void changePlate(const std::string& name);
    void showWell(const std::string& text);
    void afterGroupChange();

    SharedState& s_;
    Ports& ports_;
    Surface& surface_;

    bool loaded_ = false;
    std::vector<GroupEntry> groups_;
    int selected_ = 0;
    std::vector<int> assigned_, free_;
    int assignedPos_ = -1, freePos_ = -1;
    std::vector<std::string> blockSizes_;
    int checkedMenu_ = -1;

    bool dragging_ = false;
    bool outside_ = false;
    MouseButton dragButton_ = MouseButton::None;
    WellHit press_;
    PlateHighlight highlight_;

    std::vector<std::string> plateNames_;
    std::string plateShown_;
    std::string pendingPlate_;
    bool pending_ = false;
};

} // namespace trv
