// repoconf.dat in the program folder: the report options of the installation,
// and the list separator of the user's locale that is their default spacer.
#pragma once

#include "store/Module1.h"

#include <string>

namespace trv {

class Locale;
class Prompter;

inline constexpr const char* kReportConfigFileName = "repoconf.dat";
inline constexpr const char* kReportConfigHeader =
    "<User_defined>, <Bin>, <filetype>, <spacer>, <stdError>, <stdDev>, <n>, <out_format>, "
    "<organism>, <method>, <threshold>, <rawexport>";
inline constexpr const char* kReportConfigLoadError =
    "Error loading repoconf.dat -> Using Default values";
inline constexpr const char* kReportConfigSaveError =
    "Error Writing Report Configuration (repoconf.dat)";

// List_Separator from the locale; "," when the locale gives nothing.
void readListSeparator(SharedState& s, Locale& locale);

// Every report option to its default (User_defined 0), with a fresh
// List_Separator as spacer. Writes nothing.
void resetReportConfig(SharedState& s, Locale& locale);

// The text of repoconf.dat with the given User_defined flag.
std::string reportConfigText(const ReportConfig& report, int userDefined);

// Writes repoconf.dat with User_defined = userFlag (also set in memory). On
// failure shows kReportConfigSaveError, changes nothing and returns false.
bool saveReportConfig(SharedState& s, int userFlag, Prompter& prompter);

// userFlag 1: load the stored options (values outside their ranges become
// defaults) and return the stored User_defined. userFlag 0, or no file: reset
// to defaults, write the file with User_defined = userFlag and return 0.
// A damaged file shows kReportConfigLoadError, resets, saves with 0 and
// returns 0.
int loadReportConfig(SharedState& s, int userFlag, Prompter& prompter, Locale& locale);

} // namespace trv
