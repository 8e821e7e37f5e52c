// The offline browser's list of projects and acquisitions: the lines the
// window's list shows (and trelvane-cli list prints), built from the project
// folders below the program folder, with both sort orders, expanded
// projects, the flat listing of one project and the filter.
//
// Lines:
//   project      "+ 2024.0131" TAB "p00001_Larvae run"
//                (eight blanks in place of the date for a project without
//                acquisition folders)
//   acquisition  "  > 2024.0131" TAB " ACQ10:15 \"name\""  [TAB TAB tags]
//   flat         "20240131_1015 name"
// Folder names have a fixed length (six and thirteen characters), so a
// line is read back by position: whatever bytes a name holds (quotes, TABs,
// dots, colons), the folder found is the folder the line was made from.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace trv {

class Prompter;

enum class LineKind { None, Project, Acquisition };

// "2024.0131": characters 1-4, ".", characters 5-8 of an acquisition folder name.
std::string listDate(const std::string& acquisitionFolder);
std::string projectLine(const std::string& date, const std::string& projectFolder,
                        const std::string& projectName);
// tags: nullptr when the project has no tags_id.dat.
std::string acquisitionLine(const std::string& acquisitionFolder, const std::string& name,
                            const std::string* tags);
std::string flatLine(const std::string& acquisitionFolder, const std::string& name);

// The project folder of a project line, the acquisition folder of an
// acquisition line or of a flat line; empty when the line is not one.
std::string projectFolderOfLine(const std::string& line);
std::string acquisitionFolderOfLine(const std::string& line);
std::string acquisitionFolderOfFlatLine(const std::string& line);

// The terms of a search text: up to ten slots split at blanks, a quoted run
// filling one slot with its words joined; empty slots are dropped.
std::vector<std::string> filterTerms(const std::string& text);
// Whether text contains term, ignoring the case of ASCII letters.
bool containsIgnoringCase(const std::string& text, const std::string& term);

class BrowserList {
  public:
    // prompter: the messages of the project description (recovery of a
    // damaged setup.dat).
    BrowserList(std::string programFolder, Prompter& prompter);

    const std::vector<std::string>& lines() const { return lines_; }
    int size() const { return static_cast<int>(lines_.size()); }
    const std::string& programFolder() const { return programFolder_; }

    // Newest first ("^", the order at open) or oldest first ("v").
    bool descending() const { return descending_; }
    void setDescending(bool d) { descending_ = d; }

    // The list again in its current form: the tree of projects (with the
    // expanded ones and the filter), or the flat listing.
    void rebuild();
    // The tree of projects (leaves the flat listing).
    void listProjects();
    // The acquisitions of one project alone, flat. False (list unchanged)
    // when the project has no acquisition folder.
    bool listFlat(const std::string& projectFolder);
    bool flat() const { return !flatProject_.empty(); }
    const std::string& flatProject() const { return flatProject_; }

    bool expanded(const std::string& projectFolder) const {
        return expanded_.count(projectFolder) != 0;
    }
    void setExpanded(const std::string& projectFolder, bool on);
    void collapseAll() { expanded_.clear(); }

    // Keeps the projects matching every term of the text (their own line or
    // one of their acquisitions); an empty text clears the filter. Rebuilds.
    void applyFilter(const std::string& text);
    void clearFilter();
    bool filterOn() const { return filterOn_; }
    const std::string& filterText() const { return filterText_; }

    // The kind of a line (None outside the list). Flat lines are acquisitions.
    LineKind kindAt(int index) const;
    // The project a line belongs to: its own folder for a project line, the
    // nearest project line above an acquisition line, the listed project for
    // flat lines; empty when none.
    std::string projectAt(int index) const;
    // The acquisition folder of an acquisition line; empty otherwise.
    std::string acquisitionAt(int index) const;
    // The line of a project, of an acquisition (within its project), or -1.
    int indexOfProject(const std::string& projectFolder) const;
    int indexOfAcquisition(const std::string& projectFolder, const std::string& acquisition) const;
    // The project line of a project folder as the list shows it.
    std::string projectLineFor(const std::string& projectFolder);
    // The acquisition folders of the lines of one project as listed.
    std::vector<std::string> listedAcquisitions(const std::string& projectFolder) const;

    // Program folder + "/" + project + "/", left by the last enumeration of a
    // project's acquisitions for listing or searching.
    std::string currentFolderPath;
    // Project line or acquisition line: set by the window's clicks, to
    // acquisition after a listing of acquisitions, to project after the
    // project list was rebuilt.
    LineKind selectionKind = LineKind::Project;

    // Paths inside the program folder.
    std::string projectPath(const std::string& projectFolder) const;
    std::string acquisitionPath(const std::string& projectFolder,
                                const std::string& acquisition) const;

  private:
    // The acquisition folders of a project in name order (kept for one
    // listing or one filter run).
    const std::vector<std::string>& acquisitionFolders(const std::string& projectFolder);
    // The name of an acquisition holding counts.bin, "" for one without
    // (kept for one listing or one filter run, like the folders).
    const std::string* listedName(const std::string& projectFolder, const std::string& folder);
    void forget();
    void addAcquisitionLines(const std::string& projectFolder);
    std::vector<std::string> acquisitionLinesForSearch(const std::string& projectFolder);
    void visitProjects();

    std::string programFolder_;
    Prompter& prompter_;
    std::vector<std::string> lines_;
    bool descending_ = true;
    std::set<std::string> expanded_;
    std::string flatProject_;
    bool filterOn_ = false;
    std::string filterText_;
    std::set<std::string> matchingProjectLines_;
    std::map<std::string, std::vector<std::string>> folderCache_;
    std::map<std::string, std::optional<std::string>> nameCache_;
};

} // namespace trv
