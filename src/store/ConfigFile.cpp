#include "store/ConfigFile.h"

#include "common/Files.h"
#include "common/Numeric.h"
#include "common/Prompter.h"
#include "common/TextRecord.h"
#include "store/StoreText.h"

#include <cstdlib>

namespace trv {

std::string programFolder() {
    const char* home = std::getenv("TRELVANE_HOME");
    std::string folder = (home && *home) ? std::string(home) : executableFolder();
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::string projectFolderName(int number) {
    return "p" + zeroPadded(number, 5);
}

std::string projectFolderPath(const std::string& programFolder, int number) {
    if (number <= 0) return programFolder;
    return joinPath(programFolder, projectFolderName(number));
}

bool configFileExists(const std::string& programFolder) {
    return fileExists(joinPath(programFolder, kConfigFileName));
}

void loadConfig(SharedState& s, Prompter& prompter) {
    AppConfig c;
    try {
        auto content = readStoreFile(joinPath(s.Program_Folder, kConfigFileName));
        if (!content) throw RecordError("config.dat unreadable");
        RecordReader r(std::move(*content));
        r.item();
        c.Actual_Project_Number = r.int16();
        c.Last_Project = r.int16();
        c.Serial_COM = r.int16();
        c.Restart_Time = r.int16();
    } catch (const RecordError&) {
        prompter.show(kConfigLoadError);
        s.config = AppConfig{1, 1, 4, 0};
        return;
    }
    if (c.Actual_Project_Number < 0) c.Actual_Project_Number = 0;
    if (c.Actual_Project_Number > c.Last_Project) c.Last_Project = c.Actual_Project_Number;
    if (c.Serial_COM < 1) c.Serial_COM = 1;
    if (c.Serial_COM > 16) c.Serial_COM = 16;
    c.Restart_Time = 0;
    s.config = c;
}

std::string configFileText(const AppConfig& c) {
    RecordWriter w;
    w.header(kConfigHeader);
    w.integer(c.Actual_Project_Number)
        .integer(c.Last_Project)
        .integer(c.Serial_COM)
        .integer(c.Restart_Time)
        .end();
    return w.str();
}

bool saveConfig(const SharedState& s, Prompter& prompter) {
    if (writeFileAtomic(joinPath(s.Program_Folder, kConfigFileName), configFileText(s.config)))
        return true;
    prompter.show(kConfigSaveError);
    return false;
}

void resolveProjectFolder(SharedState& s) {
    int n = s.config.Actual_Project_Number;
    std::string folder = joinPath(s.Program_Folder, projectFolderName(n));
    if (n > 0 && folderExists(folder)) {
        s.Project_Folder = folder;
    } else {
        s.Project_Folder = s.Program_Folder;
        s.config.Actual_Project_Number = 0;
    }
}

} // namespace trv
