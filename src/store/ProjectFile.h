// setup.dat of a project folder (with setup.bak, the previous version): load
// with recovery, save, describe, rename, and the acquisition folder whose
// copy of setup.dat serves recovery.
#pragma once

#include "store/Module1.h"

#include <string>

namespace trv {

class Prompter;
class StatusView;
struct Ports;

inline constexpr const char* kSetupFileName = "setup.dat";
inline constexpr const char* kSetupBackupName = "setup.bak";
// The range of RT_Buffer (samples per block) the setup window allows; a
// project file holding another value is loaded with kRtBufferFallback.
inline constexpr int16_t kRtBufferMin = 200;
inline constexpr int16_t kRtBufferMax = 10000;
inline constexpr int16_t kRtBufferFallback = 200;
inline constexpr const char* kRecheckSetupWarning =
    "Warning!! PLEASE Re-Check setup values before RUN";

// The text of setup.dat (20 records); numProj is written as the project
// number of line 2.
std::string setupFileText(const ProjectSetup& setup, int numProj);

// How far reading a setup.dat got.
struct SetupRead {
    // 0 when the file was read; else the stage at which reading stopped (the
    // number shown in the messages): 1 nothing read; 2 name line read; 3
    // acquisition line read; 4 both setting lines read, or the file was too
    // short for them; 5..11 tools and Mn1..Mn6 read.
    int stage = 0;
    // The stage up to which groups were really read: as stage, but 1 when the
    // file was too short for the setting lines, so none of them counts as read.
    int readUpTo = 0;
    bool ok() const { return stage == 0; }
};

// Reads a setup.dat file into setup, group by group, without any message.
// Groups read before an error keep their new values. A file of 6 to 19 lines
// leaves the tools and Mn groups as they were.
SetupRead readSetupFile(const std::string& path, ProjectSetup& setup);

// Gives the defaults to every group below the stage a read got up to (see
// SetupRead::readUpTo); the working folder becomes that of project n.
void applySetupDefaults(ProjectSetup& setup, int readUpTo, const std::string& programFolder, int n);

// "<program folder>/p00005/": the working folder text of project n.
std::string defaultWorkingFolder(const std::string& programFolder, int n);

// Loads project n from Project_Folder: setup.dat (recovering from setup.bak,
// then from the newest acquisition's copy, else defaults, with messages), then
// the channel tables and the plate format. A project number in the file that
// differs from n is warned about in a message and in the launcher news line.
void loadProject(SharedState& s, int n, Prompter& prompter, StatusView& status);
void loadProject(SharedState& s, int n, Ports& ports);

// Copies setup.dat to setup.bak (a failed copy is ignored), writes setup.dat
// with Actual_Project_Number as the project number, then the four channel
// tables, all into Project_Folder. False when a file could not be written
// (or Project_Folder is empty).
bool saveProject(const SharedState& s);

// "<Project> p00003: Larvae run" for a project folder; recovers a short or
// missing setup.dat from setup.bak or the newest acquisition first (with a
// message). "<Project> p: SETUP NOT FOUND!!" when there is no usable file,
// "ERROR on SETUP.DAT FILE!!!" when it cannot be read.
std::string describeProject(const std::string& folder, Prompter& prompter);

// Replaces the project name in the folder's setup.dat, keeping every other
// line and the other items of line 2 as they are. Returns the name as stored
// (double quotes become single quotes), the given name unchanged when there is
// no setup.dat, or an empty text on failure ("error" is shown when the backup
// copy fails).
std::string renameProject(const std::string& folder, const std::string& newName,
                          Prompter& prompter);

// The newest acquisition subfolder (yyyymmdd_hhmm, by date and time) of a
// project folder, or an empty text.
std::string recoveryAcquisitionFolder(const std::string& folder);

} // namespace trv
