// What other windows hand the main window: the tool frames to show or hide
// and the detection summary.
#pragma once

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

} // namespace trv
