// The signal-to-noise threshold of a setup as every window and report shows
// it. setup.dat may hold 0 there ("the organism's default"): a run then
// detects with its organism's starting threshold, and that is the value
// shown, so that the main window, the browser and the reports never show
// different numbers for one recording.
#pragma once

#include "store/Module1.h"

namespace trv {

// The threshold x 10 a run starts with when setup.dat holds 0: 21 for
// Zebrafish, 18 for every other organism (the run's organism presets).
inline int defaultSnrX10(int organism) {
    return organism == 1 ? 21 : 18;
}

// SNRx10 as stored, or the organism's starting value when the stored one is
// below 5 (0 stands for the default; no organism detects below 0.5).
inline int detectionSnrX10(const ProjectSetup& setup) {
    const int stored = setup.SNRx10();
    return stored >= 5 ? stored : defaultSnrX10(setup.Organism());
}

} // namespace trv
