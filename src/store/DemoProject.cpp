#include "store/DemoProject.h"

#include "common/Files.h"
#include "common/Locale.h"
#include "common/Prompter.h"
#include "store/ConfigFile.h"
#include "store/Module1.h"
#include "store/PlateFormat.h"
#include "store/ProjectFile.h"
#include "store/ReportConfigFile.h"

#include <algorithm>
#include <array>
#include <vector>

namespace trv {

namespace {

constexpr std::array<const char*, 4> kGroupNames = {"Control", "Dose 1", "Dose 2", "Dose 3"};

} // namespace

DemoProjectResult makeDemoProject(const std::string& programFolder,
                                  const DemoProjectOptions& options) {
    DemoProjectResult r;
    SharedState s;
    s.Program_Folder = programFolder;
    while (s.Program_Folder.size() > 1 && s.Program_Folder.back() == '/')
        s.Program_Folder.pop_back();
    if (!configFileExists(s.Program_Folder)) {
        r.error = "no " + std::string(kConfigFileName) + " in " + s.Program_Folder;
        return r;
    }
    if (options.serialCom < 1 || options.serialCom > 15 || options.lapseMinutes < 1 ||
        options.lapseMinutes > 32767) {
        r.error = "port or lapse out of range";
        return r;
    }
    CollectingPrompter prompter;
    loadConfig(s, prompter);
    if (!prompter.messages.empty()) {
        r.error = prompter.messages.front();
        return r;
    }

    int n = 1;
    while (n <= kMaxProject && folderExists(projectFolderPath(s.Program_Folder, n)))
        ++n;
    if (n > kMaxProject) {
        r.error = "no free project number";
        return r;
    }
    const std::string folder = projectFolderPath(s.Program_Folder, n);
    if (!makeFolder(folder)) {
        r.error = "cannot create " + folder;
        return r;
    }
    s.config.Actual_Project_Number = static_cast<int16_t>(n);
    s.config.Last_Project = static_cast<int16_t>(std::max<int>(s.config.Last_Project, n));
    s.config.Serial_COM = static_cast<int16_t>(options.serialCom);
    s.Project_Folder = folder;

    ProjectSetup& p = s.setup;
    p = ProjectSetup{};
    p.Num_proj = static_cast<int16_t>(n);
    p.Name = options.name;
    p.Working_folder = defaultWorkingFolder(s.Program_Folder, n);
    p.Aq_lapse = static_cast<int16_t>(options.lapseMinutes);
    if (!changePlateFormat(s, "w96f", prompter)) {
        r.error = "the plate format w96f did not load" +
                  (prompter.messages.empty() ? std::string() : ": " + prompter.messages.front());
        return r;
    }

    // Four groups of three plate columns; beams outside the wells are free.
    ChannelTables& t = s.channels;
    t = ChannelTables{};
    for (size_t g = 0; g < kGroupNames.size(); ++g)
        t.Group_Name[g + 1] = kGroupNames[g];
    const int columnsPerGroup = std::max(1, s.plate.Plate_Columns / 4);
    for (int c = 0; c < kChannels; ++c) {
        const int well = s.plate.Channel_Well[static_cast<size_t>(c)];
        t.Channel_Group[static_cast<size_t>(c)] =
            well < 0 ? int16_t{-1}
                     : static_cast<int16_t>(
                           std::min(3, well / s.plate.Plate_Rows / columnsPerGroup) + 1);
    }

    if (!saveProject(s)) {
        r.error = "cannot write the project into " + folder;
        return r;
    }
    if (!saveConfig(s, prompter)) {
        r.error = "cannot write " + std::string(kConfigFileName);
        return r;
    }
    // The report options (those already there, else the defaults) become
    // the user's, so the run's end writes its report by itself.
    SystemLocale locale;
    loadReportConfig(s, 1, prompter, locale);
    if (!saveReportConfig(s, 1, prompter)) {
        r.error = "cannot write " + std::string(kReportConfigFileName);
        return r;
    }
    r.project = n;
    r.folder = folder;
    return r;
}

} // namespace trv
