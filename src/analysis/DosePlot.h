// The plot of one compound's dose-response: the response of every well
// against the log of its concentration, each group's mean with its standard
// deviation, the controls apart on the left, the fitted curve and IC50 with
// its 95 % interval.
#pragma once

#include "analysis/DoseResponse.h"
#include "display/Surface.h"

#include <string>

namespace trv {

struct DosePlotLabels {
    std::string unit;        // concentration unit, may be empty
    bool basal = false;      // responses as % of basal
    std::string decimalMark; // for every number shown
};

// A real with a number of significant digits, the decimal mark given, no
// exponent for the everyday range (1e-5 and below, or 1e7 and above, keep
// one).
std::string significant(double value, int digits, const std::string& decimalMark);

// Draws the plot over the whole surface (cleared first).
void Dibujar_doseresponse(Surface& s, const CompoundResult& r, const DosePlotLabels& labels);

} // namespace trv
