// Plate formats: the w*.dat files of the program folder that map the 384
// channels to wells and beams and give the geometry to draw the plate, and
// the three layouts built into the program (w384, w96f, w96u) used when a
// file cannot be read.
#pragma once

#include "store/Module1.h"

#include <string>

namespace trv {

class Prompter;

// Reads a plate format file into a layout (no message). Returns 0 on success,
// else the stage reached when it failed: 1 while opening or reading the
// titles and geometry, 2 while reading the channel list; `reason`, when
// given, then says what is wrong. Channels the file does not list lie in no
// well. Well_Channel is rebuilt on success.
int readPlateFile(PlateLayout& plate, const std::string& path, std::string* reason = nullptr);

// Sizes Well_Channel [0..Max_Well][0..Max_Beam], fills it with -1 and stores
// every channel 0..383 that lies in a well at its (well, beam); the higher
// channel wins when two claim the same pair.
void buildWellChannel(PlateLayout& plate);

// True for "w384", "w96f" and "w96u".
bool isBuiltinPlate(const std::string& name);

// Applies a built-in layout (w384, w96f or w96u) and builds Well_Channel.
// Any other name gives w96f.
void applyBuiltinPlate(PlateLayout& plate, const std::string& name);

// The text of a plate format file for a layout: two title records, the
// geometry record, the channel list header and one record per channel 0..383
// (channel number as text, well, beam).
std::string plateFileText(const PlateLayout& plate, const std::string& title1,
                          const std::string& title2);

// Path of the plate file "<plateFormat>.dat" in the program folder (matched
// without regard to case when the exact name is missing); empty when the name
// is not a plain file name.
std::string plateFilePath(const std::string& programFolder, const std::string& plateFormat);

// "Error [\w48.dat] ID#1 => Loading plate format from default: 384,96f or 96u..."
std::string plateErrorMessage(const std::string& plateFormat, int stage);

// Loads "<programFolder>/<plateFormat>.dat". On failure shows the error
// message and applies the built-in layout of that name; a name that is not
// built in becomes "w96f" (plateFormat is updated). True when the file loaded.
bool loadPlateFormat(PlateLayout& plate, const std::string& programFolder, std::string& plateFormat,
                     Prompter& prompter);

// The current project's plate (s.setup.Plate_format from s.Program_Folder).
bool loadPlateFormat(SharedState& s, Prompter& prompter);

// Sets Plate_format to the name and loads it (same fallback as above).
bool changePlateFormat(SharedState& s, const std::string& name, Prompter& prompter);

} // namespace trv
