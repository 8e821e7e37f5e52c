// Changing a stored acquisition's groups after the fact: the offline
// window's plot surface becomes the setup window's plate editor (the same
// GroupEditor and plate drawing) over a working copy of the acquisition's
// plate and channel tables, and leaving it writes groups.dat and chgroup.dat
// of the acquisition folder after backing them up.
#pragma once

#include "common/Ports.h"
#include "offline/OfflineConfiguration.h"
#include "setup/GroupEditor.h"

#include <memory>
#include <string>
#include <vector>

namespace trv {

inline constexpr const char* kAskSaveGroups = "Do you like to Save Changes?";
inline constexpr const char* kGroupsSaved = "New Groups applied and saved";
inline constexpr const char* kGroupsRestored = "Original groups restored";
inline constexpr const char* kGroupsSaveError = "Error updating group files at ";
// The editor cannot open on a folder whose plate layout was not read:
// kNoPlateToEdit + folder.
inline constexpr const char* kNoPlateToEdit =
    "The groups cannot be edited without a plate layout: ";

// The minute of a save in the timestamped backup names ("groups" + stamp +
// ".bak"): year with four digits, month, day, hour, minute (202403051742).
std::string groupBackupStamp(const LocalDateTime& t);

// Saves the group names and channel groups into a folder: chgroup.dat and
// groups.dat are first copied to chgroup.bak / groups.bak and to the
// timestamped copies (a copy that fails is skipped), then, after about
// 210 ms of handled events, each file is replaced atomically (the old or the
// new content, never half of one). A text the table readers would refuse
// is never written. True when both files were written.
bool saveGroupFiles(const std::string& folder, const ChannelTables& tables, Ports& ports);

class RegroupSession {
  public:
    // A working copy of the configuration's plate and channel tables, edited
    // on `surface`; the session belongs to the configuration's folder.
    RegroupSession(const OfflineConfiguration& config, Ports& ports, Surface& surface);

    // The folder whose groups are edited, and saved by save().
    const std::string& folder() const { return folder_; }
    GroupEditor& editor() { return *editor_; }
    const ChannelTables& channels() const { return state_.channels; }
    const PlateLayout& plate() const { return state_.plate; }

    // The set sizes offered ("02x03 [RowsxColumn]") and the one picked at
    // the start: the third when there are three or more, else the first.
    const std::vector<std::string>& setSizes() const { return editor_->blockSizeList(); }
    int initialSetSize() const { return setSizes().size() >= 3 ? 2 : 0; }
    // "Assigned channels:": the wells of the picked group (beam 0 in it);
    // "Free channels:": every free enabled channel in a well, as B3.0.
    std::vector<std::string> assignedWells() const;
    std::vector<std::string> freeChannels() const;

    // The group files of the session's folder from the working copy.
    bool save();

  private:
    std::string folder_;
    SharedState state_;
    std::unique_ptr<GroupEditor> editor_;
    Ports& ports_;
};

} // namespace trv
