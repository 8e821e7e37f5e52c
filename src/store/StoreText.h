// Small helpers shared by the store file readers and writers.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trv {

// Store files are a few kilobytes; anything above this is damaged.
inline constexpr size_t kStoreFileMaxBytes = 1024 * 1024;

// The content of a store file, or nothing when it is missing, unreadable,
// larger than kStoreFileMaxBytes or not text (control bytes other than TAB,
// CR and LF only appear in a damaged or foreign file).
std::optional<std::string> readStoreFile(const std::string& path);

// True when the bytes can be the text of a store file.
bool isStoreText(std::string_view content);

// The lines of a text, without their line ends (CR LF, LF or CR); a last
// line without a line end counts, as countLines counts them.
std::vector<std::string> splitLines(const std::string& content);

// A text a user typed, made safe for a text item: double quotes become
// single quotes (a text item cannot hold them) and control characters other
// than TAB, CR and LF become blanks (the readers refuse files holding them).
std::string storeText(std::string_view text);

// A name that goes into a one-line item: storeText, and line breaks become
// blanks too (the readers find the items of setup.dat and subproj.dat by line).
std::string singleLineName(std::string_view name);

} // namespace trv
