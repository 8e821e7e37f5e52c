// The run log: what happens during acquisitions and in the tools that no
// window keeps (block writes that failed and what was taken back, blocks
// dropped and why, serial errors and reconnects, restarts, damaged files).
// One line per event with date, time, program and process id, in
// trelvane.log of the program folder, rotated by size (trelvane.1.log ...).
//
// Until a program opens it, events go nowhere (tests and library use).
#pragma once

#include <cstddef>
#include <string>

namespace trv::runlog {

inline constexpr const char* kFileName = "trelvane.log";
inline constexpr size_t kMaxBytes = 4u * 1024 * 1024; // per file
inline constexpr size_t kKeptFiles = 3;               // rotated files kept

// Opens (or moves) the log to <folder>/trelvane.log; `program` names the
// writer in every line. False when the file cannot be opened (events then
// go nowhere).
bool open(const std::string& folder, const std::string& program, size_t maxBytes = kMaxBytes,
          size_t keptFiles = kKeptFiles);
// Closes the log; later events go nowhere.
void close();
// Path of the open log; empty when closed.
std::string path();

// One event each. Lines reach the file at once, so a killed process loses
// none that it logged.
void info(const std::string& text);
void warn(const std::string& text);
void error(const std::string& text);

} // namespace trv::runlog
