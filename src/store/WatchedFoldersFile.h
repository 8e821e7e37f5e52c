// foldview.dat in the program folder: the captions of the offline browser's
// five "Watching Folders" entries, one folder path a line.
#pragma once

#include <array>
#include <string>

namespace trv {

inline constexpr const char* kWatchedFoldersFileName = "foldview.dat";
inline constexpr int kWatchedFolderCount = 5;

using WatchedFolders = std::array<std::string, kWatchedFolderCount>;

// "_folder1" to "_folder5".
WatchedFolders defaultWatchedFolders();

// The captions: line i of the file when it names an existing folder, else
// the default caption of entry i. A missing or damaged file gives the
// defaults. A line is taken whole, so a path holding a comma survives.
WatchedFolders readWatchedFolders(const std::string& programFolder);

// Rewrites the file with the five captions, one a line (CR LF). False when
// it could not be written (the old file is kept).
bool writeWatchedFolders(const std::string& programFolder, const WatchedFolders& captions);

} // namespace trv
