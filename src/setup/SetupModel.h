// Everything the setup window does, without the window: the project area, the
// plate and group editor and the acquisition settings over SharedState, and
// the ways out of the window (main window, launcher, closing). Frm_setup
// forwards its events here and shows what this holds.
#pragma once

#include "setup/AcquisitionSettings.h"
#include "setup/GroupEditor.h"
#include "setup/ProjectArea.h"
#include "setup/SetupHooks.h"

#include <string>

namespace trv {

struct Ports;
class Surface;

class SetupModel {
public:
    // picwell: the surface the plate is drawn on.
    SetupModel(SharedState& state, Ports& ports, Surface& picwell, SetupHooks hooks = {});

    SharedState& state() { return s_; }
    SetupHooks& hooks() { return hooks_; }
    ProjectArea& project() { return project_; }
    GroupEditor& groups() { return groups_; }
    AcquisitionSettings& settings() { return settings_; }

    // The window is shown: loads the current project when none was loaded
    // yet, then fills every control.
    void open();
    // Fills every control from the current project (opening, after a load).
    void fillControls();

    // Double click in List_project: loads the project and refills.
    bool chooseProject(int index);

    // Txt_description.
    const std::string& notes() const { return notes_; }
    void setNotes(const std::string& text) { notes_ = text; }

    // "Continue to Run..." (Command_main): the detection summary and the
    // notes to the main window, Connect when not connected, then the main
    // window is shown. The window hides itself afterwards.
    void continueToRun();
    // "<< Back" (Cmdoffline): the detection summary, then the launcher.
    void back();
    // The window was closed: the notes to the main window, then the launcher.
    void closed();

private:
    SharedState& s_;
    Ports& ports_;
    SetupHooks hooks_;
    ProjectArea project_;
    GroupEditor groups_;
    AcquisitionSettings settings_;
    std::string notes_;
    bool everOpened_ = false;
};

} // namespace trv
