// Exports of a drawn plot: the picture as a bitmap, opened with the user's
// default program afterwards. An export that cannot write its file, or finds
// no program to open it, says so: a user who asked for an export must not be
// left with nothing happening.
#pragma once

#include "common/Ports.h"
#include "display/Surface.h"

#include <string>

namespace trv {

// "Export failed: <path> could not be written".
std::string exportWriteError(const std::string& path);
// "Exported to <path>, but no program could open it".
std::string exportOpenError(const std::string& path);

// Opens a written export with the default program; a failure is shown.
void openExport(const std::string& path, Ports& ports);

// Saves the surface as folder/fileName and opens it. False (with a message)
// when the file could not be written.
bool exportSurfaceBmp(Surface& surface, const std::string& folder, const std::string& fileName,
                      Ports& ports);

} // namespace trv
