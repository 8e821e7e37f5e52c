// Helpers shared by the store tests: a program folder in a temporary folder.
#pragma once

#include "common/Files.h"
#include "store/ConfigFile.h"
#include "store/Module1.h"
#include "store/PlateFormat.h"
#include "store/StoreText.h"
#include "support/TempDir.h"

#include <string>

namespace trv::test {

// A SharedState whose program folder is a fresh temporary folder holding the
// plate files of the three built-in layouts, so a project loads without
// plate messages.
struct StoreFixture {
    TempDir dir;
    SharedState s;
    StoreFixture() {
        s.Program_Folder = dir.path();
        s.Project_Folder = dir.path();
        for (const char* name : {"w384", "w96f", "w96u"}) {
            PlateLayout plate;
            applyBuiltinPlate(plate, name);
            dir.write(std::string(name) + ".dat", plateFileText(plate, name, "built in"));
        }
    }
    // Makes project n's folder and points Project_Folder at it.
    std::string useProject(int n) {
        std::string folder = dir / projectFolderName(n);
        makeFolder(folder);
        s.config.Actual_Project_Number = static_cast<int16_t>(n);
        s.Project_Folder = folder;
        return folder;
    }
};

inline int lineCount(const std::string& text) {
    return static_cast<int>(splitLines(text).size());
}

} // namespace trv::test
