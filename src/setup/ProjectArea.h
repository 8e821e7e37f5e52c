// The project area of the setup window: new, save, save as new, load from the
// project list and rename. Edits the current project in SharedState; nothing
// reaches the disk until the user saves.
#pragma once

#include "store/Module1.h"

#include <string>
#include <vector>

namespace trv {

struct Ports;

inline constexpr const char* kAskNewProject = "Do you like to Create a New Project?";
inline constexpr const char* kNewProjectPrompt = "Enter the New Project Name";
inline constexpr const char* kAskSaveBeforeLoad = "Do you like to save current values before new load?";
inline constexpr const char* kRenameDefaultRefused =
    "Not possible to rename the Default project. Save it with another Name";
inline constexpr const char* kRenamePrompt = "Rename Project: Entre New Name";
inline constexpr const char* kProjectSaveError = "<Error Saving Project Files>";

// One entry of the project list: the folder and the text shown
// ("p00003_Larvae run").
struct ProjectEntry {
    std::string folder;
    std::string text;
    int number = 0;
};

// The project number a project folder name stands for: the number in its last
// five characters when its second character is a digit, otherwise in its last
// four ("p00003" -> 3).
int projectNumberOfFolder(const std::string& folderName);

class ProjectArea {
public:
    ProjectArea(SharedState& state, Ports& ports);

    // Text of txtprj ("3_Larvae run") and Txtfolder.
    std::string txtprj() const;
    std::string txtfolder() const;

    // frm_project with List_project.
    bool listVisible() const { return listVisible_; }
    const std::vector<ProjectEntry>& list() const { return list_; }

    // Cmdnewpj: asks, then creates and saves a new project holding a copy of
    // the current one. True when a project was created.
    bool newProject();

    // Cmdsavepj: update the current project, or save it as a new one.
    void saveClick();

    // cmdLoad: offers to save, then fills and shows the project list.
    void loadClick();

    // Refills List_project from the project folders of the program folder.
    void fillList();

    // Double click on entry `index` of List_project: makes that project the
    // current one and loads it. True when a project was loaded (the window
    // then refills its controls and hides the list).
    bool chooseEntry(int index);

    // Cmd_cancel.
    void hideList() { listVisible_ = false; }

    // Double click on txtprj.
    void rename();

private:
    // Steps shared by New and save-as-new, from the name on.
    bool createProject(const std::string& name);
    void save();

    SharedState& s_;
    Ports& ports_;
    bool listVisible_ = false;
    std::vector<ProjectEntry> list_;
};

} // namespace trv
