// The dose map of an acquisition: which group of wells holds which compound
// at which concentration. Kept beside the acquisition as doses.csv:
//
//   group,compound,concentration (uM)
//   0,"Ivermectin",0.01
//   5,"",0
//
// The group is the group number of the acquisition's channel groups; the
// unit, when given, is written in parentheses in the third header field; a
// concentration of 0 marks a control group (with an empty compound, a
// control shared by every compound). Spreadsheets may save the file with
// ";" between fields and "," as decimal mark: both are read.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace trv {

inline constexpr const char* kDoseMapFileName = "doses.csv";

struct DoseEntry {
    int group = 0;
    std::string compound;
    double concentration = 0;
};

struct DoseMap {
    std::string unit; // "" when the header names none
    std::vector<DoseEntry> entries;
};

struct DoseMapRead {
    DoseMap map;
    // One message per line that could not be taken, naming the line. A map
    // with errors must not be used: a wrong dose gives a wrong potency.
    std::vector<std::string> errors;
    bool ok() const { return errors.empty(); }
};

// One entry from its three texts as typed (a "," may be the decimal mark);
// what is wrong with them when they do not make one. A concentration with
// more than one "," or "." is refused (thousands separators are not read),
// and so is one whose "," is followed by exactly three digits when the
// fields are separated by "," (commaFile): "1,000" is a thousand to one
// reader and one to another.
std::optional<std::string> readDoseEntry(const std::string& group, const std::string& compound,
                                         const std::string& concentration, DoseEntry& entry,
                                         bool commaFile = false);

DoseMapRead parseDoseMap(const std::string& text);
// The file's text, CR LF line ends, compounds quoted.
std::string doseMapText(const DoseMap& map);

// The map of a file; "cannot be read" as the only error when it cannot.
DoseMapRead readDoseMapFile(const std::string& path);
// Replaces the file so that a crash leaves the old or the new map.
bool writeDoseMapFile(const std::string& path, const DoseMap& map);

} // namespace trv
