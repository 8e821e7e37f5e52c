#include "offline/OfflineBrowser.h"

#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "common/Numeric.h"
#include "store/AcquisitionRecord.h"
#include "store/ProjectFile.h"

#include <algorithm>

namespace trv {

namespace {

// The first n bytes of a text, not cutting a UTF-8 character in two.
std::string firstBytes(const std::string& s, size_t n) {
    if (s.size() <= n) return s;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
        --n;
    return s.substr(0, n);
}

std::string withoutQuotes(std::string s) {
    s.erase(std::remove(s.begin(), s.end(), '"'), s.end());
    return s;
}

// "removed" + the date and time: the archived folder no longer has the shape
// of an acquisition folder.
std::string archiveSuffix(const LocalDateTime& t) {
    return "removed" + zeroPadded(t.year, 4) + zeroPadded(t.month, 2) + zeroPadded(t.day, 2) +
           zeroPadded(t.hour, 2) + zeroPadded(t.minute, 2) + zeroPadded(t.second, 2);
}

} // namespace

std::vector<std::string> tagEntries(const std::string& tagText) {
    std::vector<std::string> out;
    for (size_t open = tagText.find('['); open != std::string::npos;
         open = tagText.find('[', open + 1)) {
        size_t close = tagText.find(']', open);
        if (close == std::string::npos) break;
        out.push_back(tagText.substr(open, close - open + 1));
    }
    return out;
}

std::string reportCaption(const std::string& line) {
    const std::string from4 = line.size() > 3 ? line.substr(3) : std::string();
    if (from4.size() < 51) return from4 + " => REPORT";
    return firstBytes(from4, 50) + ".. => REPORT";
}

std::string tagMenuText(int entry) {
    return entry == 0 ? "CLEAR" : "[K" + std::to_string(entry) + "]";
}

OfflineBrowser::OfflineBrowser(const std::string& programFolder, Ports& ports, BrowserHooks hooks)
    : ports_(ports), hooks_(std::move(hooks)), list_(programFolder, ports.prompter) {}

void OfflineBrowser::showList() {
    c.lines = list_.lines();
    c.lbl_orden = list_.descending() ? "^" : "v";
    if (c.listIndex >= list_.size()) c.listIndex = -1;
}

void OfflineBrowser::open() {
    c.Txt_descriptionVisible = false;
    c.watchCaptions = readWatchedFolders(list_.programFolder());
    list_.setDescending(true);
    list_.collapseAll();
    list_.clearFilter();
    list_.listProjects();
    c.listIndex = -1;
    c.cmb_modeanalisis = 0;
    c.frmtxt_threshold = "1.8";
    ports_.status.setProgress(status::OfflineProgress, 0, 100);
    showList();
}

void OfflineBrowser::shown() {
    const std::string project = list_.projectAt(c.listIndex);
    const std::string acquisition = list_.acquisitionAt(c.listIndex);
    list_.rebuild();
    reselect(project, acquisition, c.listIndex);
}

void OfflineBrowser::reselect(const std::string& project, const std::string& acquisition,
                              int fallback) {
    int index = -1;
    if (!acquisition.empty())
        index = list_.indexOfAcquisition(project, acquisition);
    else if (!project.empty())
        index = list_.indexOfProject(project);
    if (index < 0) index = fallback < list_.size() ? fallback : -1;
    c.listIndex = index;
    // The line shown selected is the line commands act on.
    if (index >= 0) list_.selectionKind = list_.kindAt(index);
    showList();
}

void OfflineBrowser::select(int index) {
    if (index < 0 || index >= list_.size()) return;
    c.listIndex = index;
    savedIndex_ = index;
    list_.selectionKind = list_.kindAt(index);
}

void OfflineBrowser::activate(int index) {
    if (index < 0 || index >= list_.size()) return; // an empty list does nothing
    select(index);
    if (list_.kindAt(index) == LineKind::Project)
        expand(index);
    else
        choose(index);
}

void OfflineBrowser::expand(int index) {
    const std::string project = list_.projectAt(index);
    list_.setExpanded(project, !list_.expanded(project));
    list_.rebuild();
    // The configuration of the project the user expanded or collapsed, kept
    // apart from the chosen acquisition's.
    list_.currentFolderPath = list_.projectPath(project) + "/";
    if (hooks_.loadProjectConfiguration) hooks_.loadProjectConfiguration(list_.currentFolderPath);
    c.cmdchannelsEnabled = false;
    c.Cmd_analyzeEnabled = false;
    c.Cmd_leegroupsEnabled = true;
    c.Cmd_reportEnabled = false;
    c.Cmd_report = "[ REPORT ]";
    reselect(project, "", index);
}

std::string OfflineBrowser::treeAcquisitionLine(const std::string& project,
                                                const std::string& acquisition) {
    const std::string path = list_.projectPath(project);
    const bool tagged = fileExists(joinPath(path, kTagsFileName));
    std::string tags = tagged ? tagTextOf(path, acquisition) : std::string();
    return acquisitionLine(acquisition, readAcquisitionName(joinPath(path, acquisition)),
                           tagged ? &tags : nullptr);
}

void OfflineBrowser::choose(int index) {
    const std::string acquisition = list_.acquisitionAt(index);
    const std::string project = list_.projectAt(index);
    if (acquisition.empty() || project.empty()) return;
    // Comments typed for the previous acquisition are kept first.
    Txt_description_LostFocus();
    currentProject_ = project;
    currentAcquisition_ = acquisition;
    chosenFolder_ = list_.acquisitionPath(project, acquisition);
    list_.currentFolderPath = chosenFolder_;

    if (hooks_.loadConfiguration) hooks_.loadConfiguration(chosenFolder_);
    if (hooks_.fillGroupLists) hooks_.fillGroupLists();
    settings_ = hooks_.settings ? hooks_.settings() : LoadedSettings{};

    // Header of the bar plot; a flat line is shown in the tree form.
    const int projectIndex = list_.indexOfProject(project);
    c.headerProject = projectIndex >= 0 ? list_.lines()[static_cast<size_t>(projectIndex)]
                                        : list_.projectLineFor(project);
    c.headerAcquisition = list_.flat() ? treeAcquisitionLine(project, acquisition)
                                       : list_.lines()[static_cast<size_t>(index)];
    c.headerConfig = hooks_.configurationBlock ? hooks_.configurationBlock() : std::string();
    c.Cmd_report = reportCaption(c.headerAcquisition);

    std::string comments = readAcquisitionComments(chosenFolder_);
    c.Txt_description = comments.empty() ? "Protocol Comments:" : comments;
    commentsFolder_ = chosenFolder_;
    commentsDirty_ = false;
    c.Txt_descriptionVisible = true;

    c.cmd_trackVisible =
        settings_.plateFormat == "w6" && (settings_.organism == 1 || settings_.organism == 3);
    c.cmdchannelsEnabled = true;
    c.Cmd_analyzeEnabled = true;
    c.Cmd_reportEnabled = true;
    c.Cmd_leegroupsEnabled = true;

    if (hooks_.showGroupActivity) hooks_.showGroupActivity();
    showTags(tagTextOf(list_.projectPath(project), acquisition));
    reselect(project, acquisition, index);
}

void OfflineBrowser::showTags(const std::string& tagText) {
    if (tagText.empty()) {
        c.tagsVisible = false;
        return;
    }
    c.List_tags = tagEntries(tagText);
    c.tagsVisible = true;
}

void OfflineBrowser::lbl_date_Click() {
    list_.setDescending(!list_.descending());
    const std::string project = list_.projectAt(c.listIndex);
    const std::string acquisition = list_.acquisitionAt(c.listIndex);
    if (list_.selectionKind == LineKind::Acquisition && !project.empty()) {
        if (!list_.listFlat(project)) {
            showList();
            return;
        }
    } else {
        list_.listProjects();
    }
    reselect(project, acquisition, -1);
}

void OfflineBrowser::lblproject_Click() {
    list_.clearFilter();
    c.txt_search.clear();
    list_.collapseAll();
    list_.listProjects();
    c.listIndex = savedIndex_ >= 0 && savedIndex_ < list_.size() ? savedIndex_ : -1;
    showList();
}

void OfflineBrowser::cmd_lupa_Click(const std::string& searchText) {
    c.txt_search = searchText;
    if (searchText.empty()) {
        lblproject_Click();
        return;
    }
    list_.applyFilter(searchText);
    c.listIndex = -1;
    showList();
}

void OfflineBrowser::mnRename_Click() {
    const int index = c.listIndex;
    const LineKind kind = list_.kindAt(index);
    if (kind == LineKind::None) return;
    const std::string project = list_.projectAt(index);
    const std::string acquisition = list_.acquisitionAt(index);
    savedIndex_ = index;
    bool ok = true;
    if (kind == LineKind::Project) {
        const std::string path = list_.projectPath(project);
        if (project.empty() || !fileExists(joinPath(path, kSetupFileName))) return;
        const std::string& line = list_.lines()[static_cast<size_t>(index)];
        // The name follows the folder name and its "_".
        const size_t at = line.find(project + "_");
        const std::string current = at == std::string::npos ? "" : line.substr(at + 7);
        InputResult r = ports_.prompter.input("Enter Name of project", "Rename", current);
        if (r.cancelled || r.text.empty()) return;
        ok = !renameProject(path, r.text, ports_.prompter).empty();
    } else {
        if (project.empty() || acquisition.empty()) return;
        const std::string path = list_.acquisitionPath(project, acquisition);
        InputResult r = ports_.prompter.input("Enter Name of acquisition", "Rename",
                                              withoutQuotes(readAcquisitionName(path)));
        if (r.cancelled || r.text.empty()) return;
        ok = !renameAcquisition(path, r.text, ports_.prompter).empty();
    }
    if (!ok) ports_.prompter.show("Error Renaming");
    list_.rebuild();
    reselect(project, acquisition, savedIndex_);
}

void OfflineBrowser::mnFind_Click() {
    const int index = c.listIndex;
    const std::string project = list_.projectAt(index);
    if (project.empty()) return;
    const std::string acquisition = list_.acquisitionAt(index);
    const std::string path = acquisition.empty() ? list_.projectPath(project)
                                                 : list_.acquisitionPath(project, acquisition);
    // Failures are of no consequence here.
    ports_.desktop.showInFolder(path);
}

void OfflineBrowser::mnDelete_Click() {
    const int index = c.listIndex;
    const LineKind kind = list_.kindAt(index);
    if (kind == LineKind::None) return;
    if (kind == LineKind::Project) {
        ports_.prompter.show("Remove function only available for subprojects");
        return;
    }
    if (!ports_.prompter.askYesNo("Remove folder from the list?")) return;
    if (ports_.prompter.message("Files are going to be archived!", Buttons::OkCancel) != Answer::Ok)
        return;
    const std::string project = list_.projectAt(index);
    const std::string acquisition = list_.acquisitionAt(index);
    if (project.empty() || acquisition.empty()) {
        ports_.prompter.show("Error");
        return;
    }
    const std::string path = list_.acquisitionPath(project, acquisition);
    const bool chosen = path == chosenFolder_;
    // Comments typed for it go with it into the archive.
    if (chosen) Txt_description_LostFocus();
    const std::string archived = path + archiveSuffix(ports_.clock.now());
    // Never over an earlier archive: a second archive in the same second
    // gets a number.
    bool ok = folderExists(path) && renameNoReplace(path, archived);
    for (int n = 2; !ok && n <= 99 && folderExists(path); ++n)
        ok = renameNoReplace(path, archived + "_" + std::to_string(n));
    if (!ok) ports_.prompter.show("Error");
    if (ok && chosen) forgetChosen();
    list_.rebuild();
    reselect(project, "", index);
}

void OfflineBrowser::forgetChosen() {
    currentAcquisition_.clear();
    chosenFolder_.clear();
    commentsFolder_.clear();
    commentsDirty_ = false;
    settings_ = LoadedSettings{};
    c.Cmd_report = "[ REPORT ]";
    c.Cmd_reportEnabled = false;
    c.cmdchannelsEnabled = false;
    c.Cmd_analyzeEnabled = false;
    c.Txt_descriptionVisible = false;
    c.Txt_description.clear();
    c.List_tags.clear();
    c.tagsVisible = false;
    c.cmd_trackVisible = false;
    c.headerProject.clear();
    c.headerAcquisition.clear();
    c.headerConfig.clear();
    if (hooks_.clearView) hooks_.clearView();
}

void OfflineBrowser::chooseAgain() {
    const int index = list_.indexOfAcquisition(currentProject_, currentAcquisition_);
    if (index >= 0) {
        choose(index);
        return;
    }
    // The line left the list meanwhile: the views are read again all the same.
    if (chosenFolder_.empty()) return;
    if (hooks_.loadConfiguration) hooks_.loadConfiguration(chosenFolder_);
    if (hooks_.fillGroupLists) hooks_.fillGroupLists();
    if (hooks_.showGroupActivity) hooks_.showGroupActivity();
}

void OfflineBrowser::mnPlateConfig_Click() {
    const int index = c.listIndex;
    const LineKind kind = list_.kindAt(index);
    if (kind == LineKind::Project) {
        ports_.prompter.show("Only possible for SubProjects");
        return;
    }
    if (kind != LineKind::Acquisition) {
        ports_.prompter.show(kChooseAcquisitionFirst);
        return;
    }
    // The editor always edits the acquisition of the line it was asked on.
    const std::string project = list_.projectAt(index);
    const std::string acquisition = list_.acquisitionAt(index);
    if (project != currentProject_ || acquisition != currentAcquisition_ || chosenFolder_.empty())
        choose(index);
    if (chosenFolder_.empty() || acquisition != currentAcquisition_) {
        ports_.prompter.show(kChooseAcquisitionFirst);
        return;
    }
    if (!hooks_.openGroupEditor) return;
    const bool before = c.plotButtonsEnabled;
    c.plotButtonsEnabled = false;
    if (!hooks_.openGroupEditor()) c.plotButtonsEnabled = before;
}

void OfflineBrowser::mnTag_Click(int entry, const std::vector<int>& selectedLines) {
    if (entry < 0 || entry >= kTagMenuEntries) return;
    if (list_.selectionKind != LineKind::Acquisition) {
        ports_.prompter.show("Tags Apply only to Subprojects (acquisitions)");
        return;
    }
    const std::string tag = entry == 0 ? std::string() : tagMenuText(entry);
    std::vector<int> lines = selectedLines;
    std::sort(lines.begin(), lines.end());
    for (int i : lines) {
        const std::string acquisition = list_.acquisitionAt(i);
        const std::string project = list_.projectAt(i);
        if (acquisition.empty() || project.empty()) continue;
        updateTags(list_.projectPath(project), acquisition, tag);
    }
    const std::string project = list_.projectAt(c.listIndex);
    const std::string acquisition = list_.acquisitionAt(c.listIndex);
    list_.rebuild();
    reselect(project, acquisition, c.listIndex);
    // The tag list of the chosen acquisition follows its new tags.
    if (!currentAcquisition_.empty())
        showTags(tagTextOf(list_.projectPath(currentProject_), currentAcquisition_));
}

void OfflineBrowser::Txt_description_Change(const std::string& text) {
    c.Txt_description = text;
    commentsDirty_ = true;
}

void OfflineBrowser::Txt_description_LostFocus() {
    if (!commentsDirty_ || commentsFolder_.empty()) return;
    setAcquisitionComments(commentsFolder_, c.Txt_description, ports_.prompter);
    commentsDirty_ = false;
}

void OfflineBrowser::Cmd_report_Click() {
    if (chosenFolder_.empty() || !fileExists(countsFilePath(chosenFolder_))) {
        ports_.prompter.show("Activity file not Found");
        return;
    }
    ReportLaunch r;
    r.folder = chosenFolder_;
    r.basal.push_back("-");
    for (std::string& a : list_.listedAcquisitions(currentProject_))
        r.basal.push_back(std::move(a));
    r.caption = c.Cmd_report;
    r.organism = settings_.organism;
    r.method = settings_.method;
    r.threshold = fixedDecimals(settings_.snrx10 / 10.0, 1);
    if (hooks_.openReport) hooks_.openReport(r);
}

void OfflineBrowser::mnWatch_Click(int entry) {
    if (entry < 0 || entry >= kWatchedFolderCount) return;
    std::string& caption = c.watchCaptions[static_cast<size_t>(entry)];
    InputResult r = ports_.prompter.input("Write folder to watch:", "Folder", caption);
    if (r.cancelled || r.text.empty() || !folderExists(r.text)) return;
    caption = r.text;
    writeWatchedFolders(list_.programFolder(), c.watchCaptions);
}

void OfflineBrowser::Cmd_main_Click() {
    Txt_description_LostFocus();
    if (hooks_.release) hooks_.release();
    if (hooks_.showLauncher) hooks_.showLauncher();
}

void OfflineBrowser::closing() {
    Cmd_main_Click();
    c.cmdchannelsEnabled = false;
}

} // namespace trv
