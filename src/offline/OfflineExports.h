// What the offline browser exports from its plot surface: the picture as a
// bitmap in the program folder (image1.bmp, lineimg.bmp, plateimg.bmp,
// trackimg.bmp; display/SurfaceExport.h), the shown raw signal page as
// datafile.txt and the joint report of a tagged series in the project
// folder. Each export opens its file with the user's default program
// afterwards. An export that cannot write its file, or finds no program to
// open it, says so: a user who asked for an export must not be left with
// nothing happening.
#pragma once

#include "common/Ports.h"
#include "display/Surface.h"
#include "display/SurfaceExport.h"
#include "offline/Kinetics.h"
#include "offline/RawPages.h"
#include "store/Module1.h"

#include <string>

namespace trv {

inline constexpr const char* kBarImageFile = "image1.bmp";
inline constexpr const char* kLineImageFile = "lineimg.bmp";
inline constexpr const char* kPlateImageFile = "plateimg.bmp";
inline constexpr const char* kTrackImageFile = "trackimg.bmp";
inline constexpr const char* kRawTextFile = "datafile.txt";
inline constexpr const char* kRawGapNote = " (-: block not stored)";

// The text of a raw signal page for the well of `channel`: the project name
// and the acquisition folder in double quotes, the well and page line, the
// header of the well's channels ("B3.0 B3.1 "), then per stored block of the
// page samples 1..rtBuffer (the last repeats the one before) of those
// channels in beam order, each value followed by a blank. CR LF line ends.
// A block missing before the page's last stored block keeps its lines with
// "-" for every value, and the well line then ends with kRawGapNote.
// `pageBox` is the page box text ("1/4").
std::string rawPageText(const std::string& projectName, const std::string& folder,
                        const PlateLayout& plate, int channel, const RawPage& page,
                        const std::string& pageBox);

// "Export to ASCII...": datafile.txt in the program folder, opened
// afterwards. Writes nothing (and returns false) unless a page of raw signal
// is shown.
bool exportRawPage(const std::string& programFolder, const std::string& projectName,
                   const std::string& folder, const PlateLayout& plate, int channel,
                   const RawPage& page, const std::string& pageBox, Ports& ports);

// "Export Data": the joint report of the drawn series in the project folder,
// opened afterwards; its path, or empty (with a message) on failure.
std::string exportJointReport(const std::string& projectFolder, const KineticsTable& table,
                              Ports& ports);

} // namespace trv
