// What the offline window's list side and its buttons show, as the browser
// sets it: the window copies these fields into its controls after every
// event. The plot panels (which view controls are shown, the plot captions,
// the page box) are the views' own (OfflinePlots).
#pragma once

#include "store/WatchedFoldersFile.h"

#include <string>
#include <vector>

namespace trv {

struct OfflineControls {
    // The list and its headers.
    std::vector<std::string> lines; // Listpj
    int listIndex = -1;             // the line with the focus (-1: none)
    std::string lbl_orden = "^";    // "^" newest first, "v" oldest first
    std::string txt_search;

    // Buttons: the report caption, and which buttons can be pressed.
    std::string Cmd_report = "[ REPORT ]";
    bool Cmd_reportEnabled = false;
    bool cmdchannelsEnabled = false;
    bool Cmd_leegroupsEnabled = false;
    bool Cmd_analyzeEnabled = false;
    bool plotButtonsEnabled = true; // off while the group editor is open

    // The comments of the chosen acquisition (shown once one is chosen).
    bool Txt_descriptionVisible = false;
    std::string Txt_description;
    // Tags of the chosen acquisition; the list and its "Tags:" label.
    std::vector<std::string> List_tags;
    bool tagsVisible = false;
    // "Single Animal Path Tracking": 6-well plates of fish or flies.
    bool cmd_trackVisible = false;

    // Analysis threshold and mode of the raw-signal analysis frame.
    std::string frmtxt_threshold = "1.8";
    int cmb_modeanalisis = 0;

    // "Watching Folders" entries.
    WatchedFolders watchCaptions = defaultWatchedFolders();

    // The header of the bar plot: the chosen project line, acquisition line
    // and the configuration block.
    std::string headerProject;
    std::string headerAcquisition;
    std::string headerConfig;
};

} // namespace trv
