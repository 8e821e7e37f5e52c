// The four channel tables of a project folder: status.dat (enabled),
// threshld.dat (thresholds), groups.dat (group names), chgroup.dat (group of
// each channel). Records are positional: record i fills slot i whatever
// number it carries.
#pragma once

#include "store/Module1.h"

#include <string>

namespace trv {

class Prompter;

enum class ChannelTableFile { Status, Threshold, Groups, ChannelGroups };

// The thresholds threshld.dat may hold (percent of a beam's level); a file
// with any other value is damaged.
inline constexpr int kThresholdMin = 0;
inline constexpr int kThresholdMax = 1000;

// "status.dat", "threshld.dat", "groups.dat", "chgroup.dat".
const char* channelTableFileName(ChannelTableFile file);

// The message shown when a table of project n cannot be read, for example
// "Error [\p00003\status.dat] => Loading default values...".
std::string channelTableErrorMessage(ChannelTableFile file, int projectNumber);

// Reads one table from a folder into its array, without any message. On any
// error (missing, unreadable, damaged) the whole array gets its defaults and
// the result is false. A shorter file fills the slots it lists; the others
// keep their values.
bool readChannelTable(ChannelTables& tables, const std::string& folder, ChannelTableFile file);

// Reads the four tables in the order status, threshold, groups, channel
// groups; each one that fails shows its message (project n) and falls back
// to its defaults, and the others still load.
void loadChannelTables(ChannelTables& tables, const std::string& folder, int projectNumber,
                       Prompter& prompter);
// The current project's tables from Project_Folder.
void loadChannelTables(SharedState& s, Prompter& prompter);

// The text of one table file (header record and 384 data records).
std::string channelTableText(const ChannelTables& tables, ChannelTableFile file);

// Writes the four files into a folder; false when any write failed.
bool saveChannelTables(const ChannelTables& tables, const std::string& folder);

// Whether the text of one table could be read back by readChannelTable (a
// group name too long for the file or a character the store refuses makes
// a text that would read as damaged).
bool channelTableReadable(const ChannelTables& tables, ChannelTableFile file);
// Replaces one table file in a folder (written beside it and renamed over
// it); false when the write failed.
bool writeChannelTable(const ChannelTables& tables, const std::string& folder,
                       ChannelTableFile file);

} // namespace trv
