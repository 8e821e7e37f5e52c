#include "offline/BrowserList.h"

#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "store/AcquisitionRecord.h"
#include "store/ProjectFile.h"

#include <algorithm>
#include <array>

namespace trv {

namespace {

constexpr size_t kProjectFolderLength = 6;
constexpr size_t kAcquisitionFolderLength = 13;
constexpr const char* kNoDate = "        "; // eight blanks

// A name read from a file goes on one line of the list.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

bool isProjectFolderName(const std::string& name) {
    return name.size() == kProjectFolderLength && name[0] == 'p';
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::string listDate(const std::string& folder) {
    return folder.substr(0, 4) + "." + folder.substr(std::min<size_t>(4, folder.size()), 4);
}

std::string projectLine(const std::string& date, const std::string& projectFolder,
                        const std::string& projectName) {
    return "+ " + date + "\t" + projectFolder + "_" + oneLine(projectName);
}

std::string acquisitionLine(const std::string& folder, const std::string& name,
                            const std::string* tags) {
    std::string line = "  > " + listDate(folder) + "\t ACQ" + folder.substr(9, 2) + ":" +
                       folder.substr(11, 2) + " \"" + oneLine(name) + "\"";
    if (tags) line += "\t\t" + oneLine(*tags);
    return line;
}

std::string flatLine(const std::string& folder, const std::string& name) {
    return folder + " " + oneLine(name);
}

// Positions in a project line: "+ " then a nine-character date ("2024.0131")
// or eight blanks, TAB, the folder name.
std::string projectFolderOfLine(const std::string& line) {
    if (line.size() < 2 || line.compare(0, 2, "+ ") != 0) return "";
    size_t tab = std::string::npos;
    if (line.size() > 11 && line[6] == '.' && line[11] == '\t')
        tab = 11;
    else if (line.size() > 10 && line.compare(2, 8, kNoDate) == 0 && line[10] == '\t')
        tab = 10;
    if (tab == std::string::npos || line.size() < tab + 1 + kProjectFolderLength) return "";
    return line.substr(tab + 1, kProjectFolderLength);
}

// Positions in an acquisition line: "  > " (0-3), year (4-7), "." (8), month
// and day (9-12), TAB (13), " ACQ" (14-17), hour (18-19), ":" (20), minutes
// (21-22).
std::string acquisitionFolderOfLine(const std::string& line) {
    if (line.size() < 23 || line.compare(0, 4, "  > ") != 0 || line[8] != '.' || line[13] != '\t' ||
        line.compare(14, 4, " ACQ") != 0 || line[20] != ':')
        return "";
    return line.substr(4, 4) + line.substr(9, 4) + "_" + line.substr(18, 2) + line.substr(21, 2);
}

std::string acquisitionFolderOfFlatLine(const std::string& line) {
    if (line.size() <= kAcquisitionFolderLength || line[8] != '_' ||
        line[kAcquisitionFolderLength] != ' ')
        return "";
    return line.substr(0, kAcquisitionFolderLength);
}

std::vector<std::string> filterTerms(const std::string& text) {
    std::array<std::string, 10> slots;
    size_t slot = 0;
    bool quoted = false;
    auto next = [&] {
        if (slot + 1 < slots.size()) ++slot;
    };
    for (char c : text) {
        if (c == '"') {
            if (quoted) next();
            quoted = !quoted;
        } else if (c == ' ') {
            if (!quoted) next();
        } else {
            slots[slot] += c;
        }
    }
    std::vector<std::string> terms;
    for (const std::string& s : slots)
        if (!s.empty()) terms.push_back(s);
    return terms;
}

bool containsIgnoringCase(const std::string& text, const std::string& term) {
    if (term.empty()) return true;
    auto it = std::search(text.begin(), text.end(), term.begin(), term.end(),
                          [](char a, char b) { return lower(a) == lower(b); });
    return it != text.end();
}

BrowserList::BrowserList(std::string programFolder, Prompter& prompter)
    : programFolder_(std::move(programFolder)), prompter_(prompter) {}

std::string BrowserList::projectPath(const std::string& projectFolder) const {
    return joinPath(programFolder_, projectFolder);
}

std::string BrowserList::acquisitionPath(const std::string& projectFolder,
                                         const std::string& acquisition) const {
    return joinPath(projectPath(projectFolder), acquisition);
}

const std::vector<std::string>& BrowserList::acquisitionFolders(const std::string& project) {
    auto it = folderCache_.find(project);
    if (it != folderCache_.end()) return it->second;
    std::vector<std::string> folders;
    for (std::string& name : listSubfolders(projectPath(project)))
        if (isAcquisitionFolderName(name)) folders.push_back(std::move(name));
    return folderCache_.emplace(project, std::move(folders)).first->second;
}

const std::string* BrowserList::listedName(const std::string& project, const std::string& folder) {
    const std::string path = acquisitionPath(project, folder);
    auto it = nameCache_.find(path);
    if (it == nameCache_.end()) {
        std::optional<std::string> name;
        if (fileExists(countsFilePath(path))) name = readAcquisitionName(path);
        it = nameCache_.emplace(path, std::move(name)).first;
    }
    return it->second ? &*it->second : nullptr;
}

void BrowserList::forget() {
    folderCache_.clear();
    nameCache_.clear();
}

void BrowserList::setExpanded(const std::string& projectFolder, bool on) {
    if (on)
        expanded_.insert(projectFolder);
    else
        expanded_.erase(projectFolder);
}

void BrowserList::rebuild() {
    if (flat() && listFlat(flatProject_)) return;
    listProjects();
}

void BrowserList::listProjects() {
    flatProject_.clear();
    forget();
    visitProjects();
}

void BrowserList::visitProjects() {
    lines_.clear();
    std::vector<std::string> projects;
    for (std::string& name : listSubfolders(programFolder_))
        if (isProjectFolderName(name)) projects.push_back(std::move(name));
    if (descending_) std::reverse(projects.begin(), projects.end());
    for (const std::string& project : projects) {
        if (!fileExists(joinPath(projectPath(project), kSetupFileName))) continue;
        const std::string line = projectLineFor(project);
        if (filterOn_ && matchingProjectLines_.count(line) == 0) continue;
        lines_.push_back(line);
        if (expanded(project)) addAcquisitionLines(project);
    }
    selectionKind = LineKind::Project;
}

std::string BrowserList::projectLineFor(const std::string& project) {
    const auto& folders = acquisitionFolders(project);
    const std::string date = folders.empty() ? std::string(kNoDate) : listDate(folders.front());
    std::string title = describeProject(projectPath(project), prompter_);
    size_t colon = title.find(": ");
    return projectLine(date, project, colon == std::string::npos ? title : title.substr(colon + 2));
}

void BrowserList::addAcquisitionLines(const std::string& project) {
    const auto& folders = acquisitionFolders(project);
    if (folders.empty()) return;
    const std::string path = projectPath(project);
    currentFolderPath = path + "/";
    const bool tagged = fileExists(joinPath(path, kTagsFileName));
    const std::vector<std::string> tagLines =
        tagged ? readTagLines(path) : std::vector<std::string>{};
    auto add = [&](const std::string& folder) {
        const std::string* name = listedName(project, folder);
        if (!name) return;
        std::string tags = tagged ? tagTextIn(tagLines, folder) : std::string();
        lines_.push_back(acquisitionLine(folder, *name, tagged ? &tags : nullptr));
    };
    if (descending_)
        std::for_each(folders.rbegin(), folders.rend(), add);
    else
        std::for_each(folders.begin(), folders.end(), add);
    selectionKind = LineKind::Acquisition;
}

bool BrowserList::listFlat(const std::string& project) {
    forget();
    const auto& folders = acquisitionFolders(project);
    if (folders.empty()) return false;
    lines_.clear();
    flatProject_ = project;
    currentFolderPath = projectPath(project) + "/";
    auto add = [&](const std::string& folder) {
        if (const std::string* name = listedName(project, folder))
            lines_.push_back(flatLine(folder, *name));
    };
    if (descending_)
        std::for_each(folders.rbegin(), folders.rend(), add);
    else
        std::for_each(folders.begin(), folders.end(), add);
    selectionKind = LineKind::Acquisition;
    return true;
}

std::vector<std::string> BrowserList::acquisitionLinesForSearch(const std::string& project) {
    std::vector<std::string> out;
    const auto& folders = acquisitionFolders(project);
    if (folders.empty()) return out;
    currentFolderPath = projectPath(project) + "/";
    for (const std::string& folder : folders)
        if (const std::string* name = listedName(project, folder))
            out.push_back(acquisitionLine(folder, *name, nullptr));
    return out;
}

void BrowserList::clearFilter() {
    filterOn_ = false;
    filterText_.clear();
    matchingProjectLines_.clear();
}

void BrowserList::applyFilter(const std::string& text) {
    if (text.empty()) {
        clearFilter();
        listProjects();
        return;
    }
    clearFilter();
    listProjects();
    filterOn_ = true;
    filterText_ = text;
    matchingProjectLines_.clear();
    for (const std::string& line : lines_)
        if (!line.empty() && line[0] == '+') matchingProjectLines_.insert(line);
    // Each term works on the list the previous one left: every term must match.
    std::map<std::string, std::vector<std::string>> searched;
    for (const std::string& term : filterTerms(text)) {
        std::set<std::string> matching;
        for (const std::string& line : lines_) {
            if (line.empty() || line[0] != '+') continue;
            if (containsIgnoringCase(line, term)) {
                matching.insert(line);
                continue;
            }
            const std::string project = projectFolderOfLine(line);
            if (project.empty()) continue;
            auto it = searched.find(project);
            if (it == searched.end())
                it = searched.emplace(project, acquisitionLinesForSearch(project)).first;
            for (const std::string& acq : it->second)
                if (containsIgnoringCase(acq, term)) {
                    matching.insert(line);
                    break;
                }
        }
        matchingProjectLines_ = std::move(matching);
        visitProjects();
    }
}

LineKind BrowserList::kindAt(int index) const {
    if (index < 0 || index >= size()) return LineKind::None;
    if (flat()) return LineKind::Acquisition;
    const std::string& line = lines_[static_cast<size_t>(index)];
    return !line.empty() && line[0] == '+' ? LineKind::Project : LineKind::Acquisition;
}

std::string BrowserList::projectAt(int index) const {
    if (kindAt(index) == LineKind::None) return "";
    if (flat()) return flatProject_;
    for (int i = index; i >= 0; --i)
        if (kindAt(i) == LineKind::Project)
            return projectFolderOfLine(lines_[static_cast<size_t>(i)]);
    return "";
}

std::string BrowserList::acquisitionAt(int index) const {
    if (kindAt(index) != LineKind::Acquisition) return "";
    const std::string& line = lines_[static_cast<size_t>(index)];
    return flat() ? acquisitionFolderOfFlatLine(line) : acquisitionFolderOfLine(line);
}

int BrowserList::indexOfProject(const std::string& projectFolder) const {
    if (flat()) return -1;
    for (int i = 0; i < size(); ++i)
        if (kindAt(i) == LineKind::Project &&
            projectFolderOfLine(lines_[static_cast<size_t>(i)]) == projectFolder)
            return i;
    return -1;
}

int BrowserList::indexOfAcquisition(const std::string& projectFolder,
                                    const std::string& acquisition) const {
    for (int i = 0; i < size(); ++i)
        if (acquisitionAt(i) == acquisition && projectAt(i) == projectFolder) return i;
    return -1;
}

std::vector<std::string> BrowserList::listedAcquisitions(const std::string& projectFolder) const {
    std::vector<std::string> out;
    int first = 0;
    if (flat()) {
        if (flatProject_ != projectFolder) return out;
    } else {
        first = indexOfProject(projectFolder) + 1;
        if (first == 0) return out;
    }
    for (int i = first; i < size() && kindAt(i) == LineKind::Acquisition; ++i)
        out.push_back(acquisitionAt(i));
    return out;
}

} // namespace trv
