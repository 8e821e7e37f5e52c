// What the setup window asks of the windows around it. The main window and
// the launcher fill these in; every hook may be left empty.
#pragma once

#include <functional>
#include <string>

namespace trv {

// The optional tool frames of the main window that the setup window's
// switches show or hide.
enum class MainTool {
    Calibration, // frm_mn1
    Light,       // Frame_light and frm_pulse, with the Chk_lenabled box
    Temperature, // Frame_temp
};

// The detection summary the setup window hands to the main window when it is
// left: the texts of txt_detection and txt_snr_umbral and the organism to
// select in the main window's Cmb_organism (-1: none).
struct DetectionSummary {
    std::string detection;
    std::string snr;
    int organism = -1;
};

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
