#include "setup/SetupModel.h"

#include "common/Ports.h"
#include "store/ConfigFile.h"
#include "store/ProjectFile.h"

namespace trv {

SetupModel::SetupModel(SharedState& state, Ports& ports, Surface& picwell, SetupHooks hooks)
    : s_(state),
      ports_(ports),
      hooks_(std::move(hooks)),
      project_(state, ports),
      groups_(state, ports, picwell),
      settings_(state, ports, hooks_) {}

void SetupModel::open() {
    // An empty name means nothing was loaded yet. Only the first time: a
    // project saved with an empty name would otherwise be reloaded on every
    // opening and lose its unsaved edits.
    if (!everOpened_ && s_.setup.Name.empty()) {
        // Opened before start-up placed the project: find its folder first,
        // so nothing is read from wherever the program was started.
        if (s_.Project_Folder.empty()) resolveProjectFolder(s_);
        loadProject(s_, s_.config.Actual_Project_Number, ports_);
    }
    everOpened_ = true;
    fillControls();
}

void SetupModel::fillControls() {
    project_.hideList();
    groups_.load();
    settings_.fill();
}

bool SetupModel::chooseProject(int index) {
    if (!project_.chooseEntry(index)) return false;
    fillControls();
    return true;
}

void SetupModel::continueToRun() {
    settings_.defaultSnrIfZero();
    if (hooks_.detection) hooks_.detection(settings_.summary());
    if (hooks_.notes) hooks_.notes(notes_);
    settings_.hideAdvanced();
    if (!s_.Device_Connected && hooks_.connect) hooks_.connect();
    if (hooks_.showMain) hooks_.showMain();
}

void SetupModel::back() {
    if (hooks_.detection) hooks_.detection(settings_.summary());
    settings_.hideAdvanced();
    if (hooks_.showLauncher) hooks_.showLauncher();
}

void SetupModel::closed() {
    settings_.hideAdvanced();
    if (hooks_.notes) hooks_.notes(notes_);
    if (hooks_.showLauncher) hooks_.showLauncher();
}

} // namespace trv
