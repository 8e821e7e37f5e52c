// What the dose-response window does, without the window: the table of the
// acquisition's groups with their compound and concentration (the dose map,
// saved as doses.csv beside the acquisition), the response window, and the
// fit, run with the same code as trelvane-cli dose-response.
#pragma once

#include "analysis/DoseResponse.h"
#include "common/Locale.h"

#include <string>
#include <vector>

namespace trv {

struct DoseEditorRow {
    int group = 0;
    std::string name; // the group's name
    int wells = 0;
    std::string compound;      // as typed
    std::string concentration; // as typed; "" with an empty compound: not in the map
};

class DoseEditor {
  public:
    // The acquisition's groups that hold wells, filled from its doses.csv
    // when there is one, and the window from minute 0 to the acquisition's
    // last whole minute. The basal choice is the report window's ("" or "-"
    // for none). What went wrong is in messages().
    void load(const std::string& acquisitionPath, const std::string& programFolder,
              const std::string& basalChoice);

    std::vector<DoseEditorRow> rows;
    std::string unit;
    std::string fromText, toText; // the response window in minutes, as typed

    // The map of the table (rows without compound and concentration left
    // out, and the entries of doses.csv for groups this acquisition lacks
    // kept); false, with one message per row that is wrong, when it cannot
    // be made.
    bool makeMap(DoseMap& map);
    // Writes doses.csv; false (with a message) when the table is wrong or the
    // file cannot be written.
    bool save();
    // Saves the map and runs the dose-response analysis into the acquisition
    // folder; the outcome's messages are kept in messages().
    DoseResponseOutcome run(Locale& locale);

    const std::string& acquisitionPath() const { return acquisition_; }
    const std::string& basalPath() const { return basal_; }
    const std::vector<std::string>& messages() const { return messages_; }

  private:
    std::string acquisition_, program_, basal_;
    std::vector<DoseEntry> otherGroups_;
    std::vector<std::string> messages_;
};

} // namespace trv
