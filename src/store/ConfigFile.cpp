#include "store/ConfigFile.h"

#include "common/Files.h"
#include "common/Numeric.h"
#include "common/Prompter.h"
#include "common/TextRecord.h"
#include "store/StoreText.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace trv {

std::string resolveProgramFolder(const std::string& exeFolder, const std::string& home,
                                 const std::string& userDataHome) {
    auto trimmed = [](std::string folder) {
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        return folder;
    };
    if (!home.empty()) return trimmed(home);
    const std::string shipped = joinPath(exeFolder, "../share/trelvane");
    if (configFileExists(exeFolder) ||
        (::access(exeFolder.c_str(), W_OK) == 0 && !folderExists(shipped)))
        return trimmed(exeFolder);
    const std::string folder = joinPath(trimmed(userDataHome), "trelvane");
    if (!configFileExists(folder)) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        // Seeded once: files the user has (a changed plate format) stay.
        for (const std::string& name : listFiles(shipped))
            if (!fileExists(joinPath(folder, name)))
                copyFile(joinPath(shipped, name), joinPath(folder, name));
    }
    return folder;
}

std::string programFolder() {
    auto env = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v ? std::string(v) : std::string();
    };
    std::string data = env("XDG_DATA_HOME");
    if (data.empty()) data = joinPath(env("HOME").empty() ? "/tmp" : env("HOME"), ".local/share");
    return resolveProgramFolder(executableFolder(), env("TRELVANE_HOME"), data);
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
