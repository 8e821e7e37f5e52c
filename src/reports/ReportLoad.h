// What a report reads from an acquisition folder besides the activity
// file: its copy of the channel tables and plate layout, and the setting
// text of the report header.
#pragma once

#include "common/Prompter.h"
#include "reports/ReportTypes.h"

#include <string>

namespace trv {

enum class LayoutLoad {
    Loaded,
    NoSetup,      // no setup.dat: nothing loaded, the previous layout stays
    SetupDamaged, // setup.dat without a readable plate-format name
    PlateMissing, // "Multiwell Configuration File ... not found" was shown
    PlateDamaged, // the plate file exists but cannot be read
};

// Fills the layout from the acquisition folder: group names (groups.dat),
// channel groups (chgroup.dat) and the plate format named in setup.dat,
// read from <programFolder>/<name>.dat or, failing that, <name>.bak. A
// channel table that cannot be read shows the store's message and takes its
// defaults. Unless the result is Loaded or NoSetup, layout.loaded is false.
// For SetupDamaged and PlateDamaged, `damage` (when given) names the file
// and what is wrong with it.
LayoutLoad loadReportLayout(const std::string& folder, const std::string& programFolder,
                            ReportLayout& layout, Prompter& prompter,
                            std::string* damage = nullptr);

// "Report Error", and on the next line what is damaged when it is known.
std::string reportErrorText(const std::string& damage);

// What the offline browser reads besides: all four channel tables (status.dat
// and threshld.dat too), the fields of setup.dat, and defaults where setup.dat
// is missing or damaged (the groups of a damaged file that were read keep
// their values), so an acquisition never shows the previous one's layout.
// The result says what happened to setup.dat and the plate file as above;
// layout.loaded is true when the plate file was read.
LayoutLoad loadFolderConfiguration(const std::string& folder, const std::string& programFolder,
                                   ProjectSetup& setup, ReportLayout& layout, Prompter& prompter);

// "Mode1 C.elegans[snr=1.8]": detection method, organism and signal-to-noise
// threshold of the acquisition's setup.dat (a stored threshold below 5 reads
// as 18). Empty when the folder has no setup.dat.
std::string reportSettingText(const std::string& folder, const std::string& decimalMark);

} // namespace trv
