// The plot of one compound's dose-response: the response of every well
// against the log of its concentration, each group's mean with its standard
// deviation, the controls apart on the left, the fitted curve and IC50 with
// its 95 % interval.
#pragma once

#include "analysis/DoseResponse.h"
#include "common/Numeric.h"
#include "display/Surface.h"

#include <string>

namespace trv {

struct DosePlotLabels {
    std::string unit;        // concentration unit, may be empty
    bool basal = false;      // responses as % of basal
    std::string decimalMark; // for every number shown
};

// Draws the plot over the whole surface (cleared first).
void Dibujar_doseresponse(Surface& s, const CompoundResult& r, const DosePlotLabels& labels);

} // namespace trv
