// calvalue.dat in the program folder: the beam power ("pin hole") and gain
// last written to each channel of the instrument, so they can be sent again
// after the next start. Errors are returned to the caller, never shown.
#pragma once

#include "store/Module1.h"

#include <string>

namespace trv {

inline constexpr const char* kCalibrationFileName = "calvalue.dat";

// Reads calvalue.dat positionally (the channel number of a line is not used;
// blank lines are skipped; double quotes are ignored; decimals round half to
// even). False when the file cannot be read or a line is damaged (fewer than
// two commas, a value that is not a 16-bit number); the channels read before
// the damaged line keep their new values, the others their old ones.
bool loadCalibration(CalibrationTable& table, const std::string& programFolder);

// The text of calvalue.dat: the header and channels 0..383.
std::string calibrationFileText(const CalibrationTable& table);

// Writes calvalue.dat; false when it could not be written.
bool saveCalibration(const CalibrationTable& table, const std::string& programFolder);

// Sets channels 0..383 to power 2 and gain 3 and writes the file.
bool resetAndSaveCalibration(CalibrationTable& table, const std::string& programFolder);

} // namespace trv
