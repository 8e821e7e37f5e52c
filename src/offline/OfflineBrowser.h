// Everything the offline browser does with its list, without the window:
// opening, selecting, expanding, choosing an acquisition, sorting, the
// filter, rename, archive ("Delete"), "Find in Folder", tags, the comments
// box, the report launch and the watched folders. Frm_offline forwards its
// events here and shows OfflineControls.
//
// The plots and the configuration of the chosen acquisition belong to other
// core objects; the browser reaches them through BrowserHooks.
#pragma once

#include "common/Ports.h"
#include "offline/BrowserList.h"
#include "offline/OfflineControls.h"

#include <functional>
#include <string>
#include <vector>

namespace trv {

// The settings of the loaded configuration that the browser itself uses.
struct LoadedSettings {
    std::string plateFormat; // plate format code, "w96f"
    int organism = 0;        // 0 C.elegans, 1 Zebrafish, 2 Echinococcus, 3 Drosophila
    int method = 1;          // DSP_Method
    int snrx10 = 18;         // the detection threshold x 10 (the organism's usual one for 0)
};

// What "Report" hands to the report window.
struct ReportLaunch {
    std::string folder;             // the acquisition folder (holds counts.bin)
    std::vector<std::string> basal; // "-" then the project's listed acquisitions
    std::string caption;            // the "Report" button's caption
    // The raw-data controls of the report window.
    int organism = 0;
    int method = 1;
    std::string threshold = "1.8";
};

struct BrowserHooks {
    // Loads the configuration of the chosen acquisition's folder; false when
    // loading stopped after its message.
    std::function<bool(const std::string& folder)> loadConfiguration;
    // Loads the configuration of a project folder after an expansion. It is
    // kept apart: the chosen acquisition's configuration never changes by
    // expanding a project.
    std::function<bool(const std::string& folder)> loadProjectConfiguration;
    // Fills the group picker and the plot group list from it.
    std::function<void()> fillGroupLists;
    // The configuration block of the header (CR LF TAB "***** CONFIG ******" ...).
    std::function<std::string()> configurationBlock;
    // The settings of the loaded configuration.
    std::function<LoadedSettings()> settings;
    // "[Group Activity]": shows and draws the group activity of the chosen
    // acquisition.
    std::function<void()> showGroupActivity;
    // Leaving the window: the loaded plot data is released (closing the
    // window also puts the plot captions back).
    std::function<void()> release;
    // The chosen acquisition was archived: nothing of it stays on show.
    std::function<void()> clearView;
    // "Plate Config" on an acquisition: the group editor of the chosen
    // acquisition; false (after its message) when it could not open.
    std::function<bool()> openGroupEditor;
    // "Report": the report window with these inputs.
    std::function<void(const ReportLaunch&)> openReport;
    // "<< Back" and closing: the launcher comes back.
    std::function<void()> showLauncher;
};

// Every text from a "[" to the next "]" of a tag text, searching again from
// just after each "[" ("[K1][K3]" gives "[K1]" and "[K3]").
std::vector<std::string> tagEntries(const std::string& tagText);

// "> 2024.0131 ACQ10:15 "name" => REPORT": the acquisition line from its
// fourth character, cut to 50 characters and ".." when longer than 50.
std::string reportCaption(const std::string& acquisitionLine);

// "Plate Config" without an acquisition line to edit.
inline constexpr const char* kChooseAcquisitionFirst =
    "Plate Config: choose an acquisition first (double click its line)";

// The menu entries of "Kinetic Group TAG": "CLEAR", "[K1]" ... "[K4]".
inline constexpr int kTagMenuEntries = 5;
std::string tagMenuText(int entry);

class OfflineBrowser {
  public:
    OfflineBrowser(const std::string& programFolder, Ports& ports, BrowserHooks hooks = {});

    // Window load: watched folders, the project list (newest first, all
    // collapsed), the analysis boxes, everything of the right side hidden
    // until an acquisition is chosen.
    void open();
    // The window is shown again: the list is read again from the disk, in
    // the order, expansion and filter it had.
    void shown();

    // A click (or keyboard move) on a line: it gets the focus.
    void select(int index);
    // Double click or Enter on a line: a project line is expanded or
    // collapsed, an acquisition line is chosen.
    void activate(int index);
    // "Date": flips the order; while an acquisition line is selected, lists
    // that acquisition's project flat.
    void lbl_date_Click();
    // "Project": clears the filter, collapses every project.
    void lblproject_Click();
    // "Apply" or Enter in the search box.
    void cmd_lupa_Click(const std::string& searchText);

    // Context menu of the list.
    bool tagMenuVisible() const { return list_.selectionKind == LineKind::Acquisition; }
    void mnRename_Click();
    void mnFind_Click();
    void mnDelete_Click();
    // "Plate Config": the acquisition of the selected line is chosen first
    // (as a double click would), then its group editor opens.
    void mnPlateConfig_Click();
    // "Kinetic Group TAG" entry 0..4 on the selected lines (in list order).
    void mnTag_Click(int entry, const std::vector<int>& selectedLines);

    // The comments box: a user's edit, and the box losing the focus.
    void Txt_description_Change(const std::string& text);
    void Txt_description_LostFocus();

    // "Report" and "Advanced_calculation".
    void Cmd_report_Click();
    // "Watching Folders" entry 0..4.
    void mnWatch_Click(int entry);
    // "<< Back"; closing the window.
    void Cmd_main_Click();
    void closing();

    BrowserList& list() { return list_; }
    const BrowserList& list() const { return list_; }
    OfflineControls c;
    BrowserHooks& hooks() { return hooks_; }

    // The chosen acquisition (empty before one is chosen).
    const std::string& currentProject() const { return currentProject_; }
    const std::string& currentAcquisition() const { return currentAcquisition_; }
    // Its folder (program folder / project / acquisition).
    const std::string& chosenFolder() const { return chosenFolder_; }
    // Chooses the current acquisition again, as a double click on its line
    // does (after its group files changed): its configuration is read again
    // and its group activity drawn.
    void chooseAgain();

  private:
    void showList();
    void reselect(const std::string& project, const std::string& acquisition, int fallback);
    void expand(int index);
    void choose(int index);
    std::string treeAcquisitionLine(const std::string& project, const std::string& acquisition);
    void showTags(const std::string& tagText);
    void forgetChosen();

    Ports& ports_;
    BrowserHooks hooks_;
    BrowserList list_;
    int savedIndex_ = -1;
    std::string currentProject_;
    std::string currentAcquisition_;
    std::string chosenFolder_;
    LoadedSettings settings_;
    bool commentsDirty_ = false;
    std::string commentsFolder_;
};

} // namespace trv
