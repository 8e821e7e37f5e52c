// "Export to Monitor Files..." in the offline browser's export menu: the
// chosen acquisition as monitor files for rhythm and sleep analysis tools
// (reports/MonitorExport.h), written into its folder.
#pragma once

#include "common/Ports.h"

#include <string>

namespace trv {

inline constexpr const char* kMonitorMenuText = "Export to Monitor Files...";

// Asks the minutes per line (0: one line per record) and whether to write a
// column per well instead of per channel, writes the files and shows them in
// the file manager. A failure is told in a message; nothing happens without
// a chosen acquisition or when the user cancels. True when written.
bool exportMonitorFilesFromBrowser(const std::string& acquisitionFolder,
                                   const std::string& programFolder, Ports& ports);

} // namespace trv
