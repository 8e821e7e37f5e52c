// What the offline window's controls show, as the core objects set it: the
// window copies these fields into its controls after every event.
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

    // Buttons: captions and whether they can be pressed.
    std::string Cmd_report = "[ REPORT ]";
    bool Cmd_reportEnabled = false;
    std::string cmdchannels = "Channel Signal";
    bool cmdchannelsEnabled = false;
    std::string Cmd_leegroups = "[Group Activity]";
    bool Cmd_leegroupsEnabled = false;
    bool Cmd_analyzeEnabled = false;

    // Parts of the right side shown or hidden.
    bool plotButtonsVisible = true; // "Bar Plot", "Heatmap PLOT", "Line Plot"
    bool lstgrup_plotVisible = true;
    bool combogrupVisible = false; // group picker of the channel signal view
    bool lstgrupVisible = false;   // its well list
    bool fmranalizarVisible = false;
    bool Pic_statusVisible = false;
    bool binFrameVisible = false;
    bool pageControlsVisible = false; // page box and scroll bar
    bool Txt_descriptionVisible = false;
    bool chk_bmpVisible = false;
    bool cmd_trackVisible = false;
    bool Framegrup_visible = false; // group editor

    // The comments of the chosen acquisition.
    std::string Txt_description;
    // Tags of the chosen acquisition; the list and its "Tags:" label.
    std::vector<std::string> List_tags;
    bool tagsVisible = false;

    // Page and bin-size boxes, analysis threshold and mode.
    std::string txt_page;
    int scrollpageMax = 1;
    int scrollpageValue = 1;
    std::string txt_bin = "5";
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
