// config.dat (current project, highest project handed out, serial port), the
// program folder, and where the current project lives.
#pragma once

#include "store/Module1.h"

#include <string>

namespace trv {

class Prompter;

inline constexpr const char* kConfigFileName = "config.dat";
inline constexpr const char* kConfigHeader =
    "Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>";
inline constexpr const char* kConfigLoadError =
    "Error opening config File >>>> Loading DEFAULT configuration...";
inline constexpr const char* kConfigSaveError = "<Error Saving Config File>";
inline constexpr const char* kConfigMissing =
    "Config file not found: Check correct software installation";

// The program folder of this executable (see resolveProgramFolder); no
// trailing "/".
std::string programFolder();

// The program folder for an executable in exeFolder: `home` ($TRELVANE_HOME)
// when not empty; else exeFolder when it holds config.dat (a build folder,
// a portable installation) or is writable with no shipped data folder
// (exeFolder/../share/trelvane) beside it; else, for an installed program,
// userDataHome/trelvane ($XDG_DATA_HOME, default ~/.local/share), made and
// seeded from the shipped data folder when it has no config.dat yet.
std::string resolveProgramFolder(const std::string& exeFolder, const std::string& home,
                                 const std::string& userDataHome);

// "p00003": the folder name of project n.
std::string projectFolderName(int number);

// Folder of project n below the program folder ("<program>/p00003"); the
// program folder itself for project 0.
std::string projectFolderPath(const std::string& programFolder, int number);

// True when config.dat exists in the program folder (start-up ends without it).
bool configFileExists(const std::string& programFolder);

// Reads s.Program_Folder/config.dat into s.config, clamping the values. A
// missing or damaged file shows kConfigLoadError and gives 1, 1, 4, 0.
void loadConfig(SharedState& s, Prompter& prompter);

// The text of config.dat for a configuration.
std::string configFileText(const AppConfig& config);

// Writes s.config to s.Program_Folder/config.dat; on failure shows
// kConfigSaveError and returns false.
bool saveConfig(const SharedState& s, Prompter& prompter);

// Sets Project_Folder from Actual_Project_Number: the project's pNNNNN folder
// when the number is above 0 and the folder exists, else the program folder
// with the project number set to 0.
void resolveProjectFolder(SharedState& s);

} // namespace trv
