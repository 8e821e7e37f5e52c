// Acquisition folders (yyyymmdd_hhmm below the project folder) with their
// snapshot of the project, subproj.dat (name and comments of the
// acquisition, with subproj.bak) and tags_id.dat (tag texts of acquisitions).
#pragma once

#include "common/Clock.h"
#include "store/Module1.h"

#include <optional>
#include <string>
#include <vector>

namespace trv {

class Prompter;

inline constexpr const char* kSubprojFileName = "subproj.dat";
inline constexpr const char* kSubprojBackupName = "subproj.bak";
inline constexpr const char* kTagsFileName = "tags_id.dat";
// tags_id.dat files longer than this are never rewritten.
inline constexpr size_t kTagsFileMaxLines = 1000;

// True for names of exactly 13 characters with "_" as the ninth (the shape
// of yyyymmdd_hhmm); archived folders carry a suffix and so do not count.
bool isAcquisitionFolderName(const std::string& name);

// The text of subproj.dat: the name record and the comments record.
std::string subprojFileText(const std::string& name, const std::string& comments);

// The folder name for a run starting at `start`: yyyymmdd_hhmm of its
// minute, or of the next minute whose folder holds no earlier run (two runs
// never share one set of files: a program restarted within the minute of a
// killed run records beside it). A folder holding only a project snapshot
// (a blank reading) is taken as it is. Empty when no minute of the next day
// is free.
std::string freeAcquisitionFolderName(const std::string& projectFolder, const LocalDateTime& start);

// Creates the folder freeAcquisitionFolderName gives in Project_Folder,
// saves the project into it with Project_Folder pointing at it, writes
// subproj.dat with name and comments, and sets Project_Folder back. Returns
// the folder name, or an empty text when the folder could not be created or a
// file could not be written.
std::string createAcquisitionFolder(SharedState& s, const LocalDateTime& start,
                                    const std::string& name, const std::string& comments);

// start.dat: the exact start of the acquisition recorded in the folder, one
// line "yyyy-mm-ddThh:mm:ss+hh:mm" (local time and its offset from UTC),
// written with the first record. The folder's name gives only a minute, and
// not always the start's (a restart in the minute of another run, a blank
// taken during the run).
inline constexpr const char* kStartFileName = "start.dat";
std::string startFileText(const LocalDateTime& start, int utcOffsetMinutes);
// Writes start.dat with the offset the computer's time zone gives at `start`.
bool writeAcquisitionStart(const std::string& folder, const LocalDateTime& start);
// The local start time start.dat holds (to the second); nothing when the
// file is missing or damaged.
std::optional<LocalDateTime> readAcquisitionStart(const std::string& folder);
// The start of the acquisition in `folder` (a path): start.dat, else the
// minute of the folder's name; nothing when neither tells it.
std::optional<LocalDateTime> acquisitionStartTime(const std::string& folder);

// The first item of the folder's subproj.dat; empty when missing or unreadable.
std::string readAcquisitionName(const std::string& folder);

// The comments for display: every non-empty line after the first, double
// quotes removed, joined with CR LF; empty when missing or unreadable.
std::string readAcquisitionComments(const std::string& folder);

// Replaces the name, keeping the comments (subproj.bak keeps the previous
// version). Returns the name as stored; the given name when there is no
// subproj.dat (nothing is done); empty on failure ("error" is shown when the
// backup copy fails).
std::string renameAcquisition(const std::string& folder, const std::string& newName,
                              Prompter& prompter);

// Replaces the comments, keeping the name. Returns "OK" (also when there is
// no subproj.dat, where nothing is done), or empty on failure ("error" is
// shown when the backup copy fails).
std::string setAcquisitionComments(const std::string& folder, const std::string& comments,
                                   Prompter& prompter);

// The tag text of acquisition `key` in the folder's tags_id.dat, or empty.
std::string tagTextOf(const std::string& folder, const std::string& key);

// The lines of the folder's tags_id.dat; empty when it is missing or damaged.
std::vector<std::string> readTagLines(const std::string& folder);
// The tag text of acquisition `key` among lines of tags_id.dat, or empty.
std::string tagTextIn(const std::vector<std::string>& tagLines, const std::string& key);

enum class TagUpdate {
    Written,   // tags_id.dat was rewritten
    Unchanged, // nothing to change: nothing written
    Refused,   // the file is damaged or longer than kTagsFileMaxLines, the key
               // cannot be a key of the file, or the rewrite failed: the file is
               // as it was
};

// Appends a tag text (for example "[K2]") to the line of acquisition `key` in
// the folder's tags_id.dat, unless that line holds it already; a new line
// "key tag" when the acquisition has none. An empty tag text clears the tags
// of the acquisition (its lines keep the key alone). The file is rewritten
// whole, every line ending in CR LF, only when something changed.
TagUpdate updateTags(const std::string& folder, const std::string& key, const std::string& tag);

// The keys of every line of tags_id.dat whose text (from its second
// character on) contains `text`, in file order, joined by single blanks.
std::string keysTaggedWith(const std::string& folder, const std::string& text);

} // namespace trv
