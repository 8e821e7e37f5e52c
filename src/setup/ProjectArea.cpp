#include "setup/ProjectArea.h"

#include "common/Files.h"
#include "common/Numeric.h"
#include "common/Ports.h"
#include "store/ConfigFile.h"
#include "store/ProjectFile.h"
#include "store/StoreText.h"

#include <cctype>

namespace trv {

namespace {

// Project folders are "p" followed by at most five characters, without an
// extension (in practice p00001 .. p32000).
bool looksLikeProjectFolder(const std::string& name) {
    if (name.empty() || name.size() > 6) return false;
    if (name[0] != 'p' && name[0] != 'P') return false;
    return name.find('.') == std::string::npos;
}

} // namespace

int projectNumberOfFolder(const std::string& folderName) {
    std::string six = folderName.substr(0, 6);
    if (six.size() < 2) return 0;
    bool digit = std::isdigit(static_cast<unsigned char>(six[1])) != 0;
    std::string digits = digit ? six.substr(1) : (six.size() > 2 ? six.substr(2) : "");
    double n = leadingNumber(digits);
    // Far outside the project numbers; keeps the conversion defined.
    if (!(n > -1e6 && n < 1e6)) return -1;
    return static_cast<int>(roundHalfEven(n));
}

ProjectArea::ProjectArea(SharedState& state, Ports& ports) : s_(state), ports_(ports) {}

std::string ProjectArea::txtprj() const {
    return std::to_string(s_.config.Actual_Project_Number) + "_" + s_.setup.Name;
}

std::string ProjectArea::txtfolder() const { return s_.Project_Folder; }

void ProjectArea::save() {
    // The store writes quietly; a project that did not reach the disk must
    // not look saved.
    if (!saveProject(s_)) ports_.prompter.show(kProjectSaveError);
}

bool ProjectArea::createProject(const std::string& name) {
    int16_t& last = s_.config.Last_Project;
    if (last > kMaxProject - 1) last = 0;
    last = static_cast<int16_t>(last + 1);

    const std::string folderName = projectFolderName(last);
    const std::string folder = joinPath(s_.Program_Folder, folderName);
    if (folderExists(folder)) {
        // The missing blank and parenthesis after the folder name are the
        // message as users know it.
        if (!ports_.prompter.askYesNo("The project number to generate (" + folderName +
                                      "already exists. do you like to overwrite?"))
            return false;
    } else if (!makeFolder(folder)) {
        ports_.prompter.show(kProjectSaveError);
        return false;
    }

    s_.Project_Folder = folder;
    s_.config.Actual_Project_Number = last;
    s_.setup.Name = name;
    // Informational only, but the new project's file should name its own
    // folder rather than the one it was copied from.
    s_.setup.Working_folder = defaultWorkingFolder(s_.Program_Folder, last);
    save();
    saveConfig(s_, ports_.prompter);
    return true;
}

bool ProjectArea::newProject() {
    if (ports_.prompter.message(kAskNewProject, Buttons::OkCancel) != Answer::Ok) return false;
    // The number in the title is formed before the counter wraps.
    InputResult r = ports_.prompter.input(
        kNewProjectPrompt,
        "Saving <" + std::to_string(s_.config.Last_Project + 1) + "> with a new name", "");
    return createProject(singleLineName(r.text));
}

void ProjectArea::saveClick() {
    const std::string current = txtprj();
    Answer a = ports_.prompter.message("Do you like to Update <" + current + "> values?",
                                       Buttons::YesNoCancel);
    if (a == Answer::Yes) {
        save();
    } else if (a == Answer::No) {
        InputResult r = ports_.prompter.input(kNewProjectPrompt,
                                              "Saving <" + current + "> with a new name", "");
        createProject(singleLineName(r.text));
    }
}

void ProjectArea::loadClick() {
    Answer a = ports_.prompter.message(kAskSaveBeforeLoad, Buttons::YesNoCancel);
    if (a == Answer::Cancel) return;
    if (a == Answer::Yes) save();
    fillList();
    listVisible_ = true;
}

void ProjectArea::fillList() {
    list_.clear();
    for (const std::string& name : listSubfolders(s_.Program_Folder)) {
        if (!looksLikeProjectFolder(name)) continue;
        const std::string folder = joinPath(s_.Program_Folder, name);
        if (!fileExists(joinPath(folder, kSetupFileName))) continue;
        int number = projectNumberOfFolder(name);
        // Not a number this program hands out (p99999): loading it would
        // overflow the 16-bit project number.
        if (number > kMaxProject) continue;
        std::string described = describeProject(folder, ports_.prompter);
        auto cut = described.find(": ");
        std::string shown = cut == std::string::npos ? described : described.substr(cut + 2);
        list_.push_back({name, name + "_" + shown, number});
    }
}

bool ProjectArea::chooseEntry(int index) {
    if (index < 0 || index >= static_cast<int>(list_.size())) return false;
    const ProjectEntry entry = list_[static_cast<size_t>(index)];
    // Project 0 lives in the program folder whatever folder was listed.
    s_.Project_Folder =
        entry.number < 1 ? s_.Program_Folder : joinPath(s_.Program_Folder, entry.folder);
    s_.config.Actual_Project_Number = static_cast<int16_t>(entry.number < 1 ? 0 : entry.number);
    saveConfig(s_, ports_.prompter);
    loadProject(s_, s_.config.Actual_Project_Number, ports_);
    listVisible_ = false;
    return true;
}

void ProjectArea::rename() {
    if (s_.config.Actual_Project_Number == 0) {
        ports_.prompter.show(kRenameDefaultRefused);
        return;
    }
    InputResult r = ports_.prompter.input(kRenamePrompt, "", s_.setup.Name);
    if (r.cancelled || r.text.empty()) return;
    s_.setup.Name = singleLineName(r.text);
}

} // namespace trv
