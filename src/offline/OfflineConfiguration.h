// The offline browser's own copy of the configuration of the folder it shows
// (a project folder when a project is expanded, an acquisition folder when
// an acquisition is chosen), kept apart from the acquisition window's shared
// state, and what the window fills from it: the group and well pickers, the
// plot group list and the configuration block of the plot header.
#pragma once

#include "common/Prompter.h"
#include "reports/ReportLoad.h"
#include "reports/ReportTypes.h"
#include "store/Module1.h"

#include <string>
#include <vector>

namespace trv {

struct OfflineConfiguration {
    std::string folder;  // the folder it was loaded from
    ProjectSetup setup;  // name, Plate_format, Aq_lapse, DSP_Method, Organism, SNRx10, RT_Buffer
    ReportLayout layout; // the four channel tables and the plate layout
    LayoutLoad result = LayoutLoad::NoSetup;

    const ChannelTables& channels() const { return layout.channels; }
    const PlateLayout& plate() const { return layout.plate; }
    // True when the plate file was read: the plots and pickers have a layout.
    bool loaded() const { return layout.loaded; }
    // The threshold of the header and the report presets: SNRx10, or the
    // organism's usual value when the stored one is below 5.
    int snrTimesTen() const;
    // Samples per stored raw block: RT_Buffer of the recording (500 when
    // setup.dat does not give a usable one).
    int rawBlockSamples() const { return setup.RT_Buffer >= 1 ? setup.RT_Buffer : 500; }
};

// Reads setup.dat, the four channel tables and the plate format named in
// setup.dat (<name>.dat in the program folder, else <name>.bak; with neither,
// "Multiwell Configuration File <name>.dat or .bak not found" is shown and the
// layout is not loaded). Missing tables show the store's messages and take
// their defaults (every channel enabled without status.dat).
void loadOfflineConfiguration(const std::string& folder, const std::string& programFolder,
                              OfflineConfiguration& config, Prompter& prompter);

// "C.elegans", "Zebrafish", "Echinococcus", "Drosophila"; empty for other codes.
std::string organismName(int organism);

// The configuration block printed in the plot header: CR LF TAB
// "***** CONFIG ******", then CR LF TAB before each of "Microplate format:
// [w96f]", "Acquisition Lapse = 30min", "Setting: Mode1" and
// "[C.elegans SNR=1.8]" (the threshold with the given decimal mark).
std::string configurationBlock(const OfflineConfiguration& config, const std::string& decimalMark);

// The lists filled when an acquisition is chosen.
struct OfflineGroupLists {
    std::vector<std::string> rowLetters;    // Combofila: "A" onwards, one per plate row
    std::vector<std::string> columnNumbers; // Combocol: "1" onwards, one per plate column
    std::vector<std::string> groupPicker;   // combogrup: "000_Name" per used group, then "999_Free"
    std::vector<std::string> plotGroups;    // lstgrup_plot: the same groups; "999_Free" only alone
};
OfflineGroupLists offlineGroupLists(const OfflineConfiguration& config);

// The free group's entry in the group lists.
inline constexpr const char* kFreeGroupEntry = "999_Free";

} // namespace trv
