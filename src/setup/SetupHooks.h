// What the setup window asks of the windows around it. The main window and
// the launcher fill these in; every hook may be left empty.
#pragma once

#include "display/MainHandover.h"

#include <functional>
#include <string>

namespace trv {

struct SetupHooks {
    // The main window's Connect; run by "Continue to Run..." when the
    // instrument is not connected yet.
    std::function<void()> connect;
    // Show the launcher ("<< Back" and closing the window).
    std::function<void()> showLauncher;
    // Show the main window ("Continue to Run...").
    std::function<void()> showMain;
    // The detection summary for the main window ("Continue to Run..." and
    // "<< Back").
    std::function<void(const DetectionSummary&)> detection;
    // The notes typed under "Notes:", for the main window's comments box
    // ("Continue to Run..." and closing the window).
    std::function<void(const std::string&)> notes;
    // Show or hide one of the main window's tool frames; for Light the main
    // window also checks or clears its Chk_lenabled box.
    std::function<void(MainTool, bool shown)> mainTool;
};

} // namespace trv
