// File-system helpers shared by every store file and data file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace trv {

// Joins two path parts with one "/".
std::string joinPath(const std::string& a, const std::string& b);

bool fileExists(const std::string& path);
bool folderExists(const std::string& path);
// Creates one folder (its parent must exist); true when it exists afterwards.
bool makeFolder(const std::string& path);
// -1 when the file is missing.
long long fileSize(const std::string& path);

// The whole file, or nothing when it cannot be read. Files above maxBytes are
// refused (store files are small; a huge one is damaged).
std::optional<std::string> readWholeFile(const std::string& path,
                                         size_t maxBytes = 64u * 1024 * 1024);

// Creates or replaces a file so that it is either the old or the new content
// after a crash: writes a temporary file beside it, flushes it to disk, and
// renames it over the target. False on any failure (the old file is kept).
bool writeFileAtomic(const std::string& path, const std::string& content);

// Appends bytes at the end of a file (created when missing) and makes them
// durable with fdatasync. False on any failure.
bool appendDurable(const std::string& path, const void* data, size_t size);

// Writes (or appends) a text without flushing it to disk: for files made
// again from stored data whenever needed (exports, marks). False on failure.
bool writePlainFile(const std::string& path, const std::string& text, bool append = false);

// Renames a file or folder, never replacing anything already at the new
// name (not even an empty folder). False when the name is taken or the
// rename fails.
bool renameNoReplace(const std::string& from, const std::string& to);

// Copies a file over another: 1 on success, -1 on any failure.
int copyFile(const std::string& source, const std::string& destination);

// Number of lines of a text file (a last line without its line end counts);
// 0 when it cannot be opened or is larger than maxBytes.
int countLines(const std::string& path, size_t maxBytes = 1ull << 34);

// Free megabytes of the file system holding path, rounded to the nearest whole
// number; -1 when the query fails.
long long freeDiskSpaceMB(const std::string& path);

// Names of the subfolders (not files) of a folder, in name order; empty when
// the folder cannot be listed.
std::vector<std::string> listSubfolders(const std::string& path);
// Names of the files of a folder whose name matches a pattern with "*" and
// "?" wildcards, case-insensitive, in name order.
std::vector<std::string> listFiles(const std::string& path, const std::string& pattern = "*");

// True when a folder or file name is safe to create below a parent: not
// empty, not "." or "..", no "/" and no NUL.
bool isSafeName(const std::string& name);

// The folder holding the running executable.
std::string executableFolder();

} // namespace trv
