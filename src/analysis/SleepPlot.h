// The sleep profile: each group's mean sleep minutes per 30 minutes over the
// whole acquisition, under a bar of the light schedule (white light, black
// dark), with day labels and a legend.
#pragma once

#include "analysis/SleepAnalysis.h"
#include "display/Surface.h"

#include <string>

namespace trv {

// Draws the profile over the whole surface (cleared first).
void Dibujar_sleepprofile(Surface& s, const SleepResult& r, const std::string& decimalMark);

} // namespace trv
