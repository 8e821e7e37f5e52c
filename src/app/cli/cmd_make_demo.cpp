// trelvane-cli make-demo: a ready demo project in a program folder, made the
// current project, so that "Run Latest Project" and the run switch start an
// acquisition at once: a 96-well plate with adapter (w96f), four groups of
// three plate columns each, a lapse of a few minutes.
#include "app/cli/CliArgs.h"
#include "app/cli/CliCommands.h"
#include "common/Files.h"
#include "common/Prompter.h"
#include "store/ConfigFile.h"
#include "store/PlateFormat.h"
#include "store/ProjectFile.h"

#include <algorithm>
#include <array>

namespace trv::cli {

const char* const kMakeDemoUsage = "HOME [--lapse 3] [--com 1] [--name Demo]";

namespace {

// Collects what the store would show in message boxes, so the command can
// report it and fail.
class CollectingPrompter : public Prompter {
  public:
    std::vector<std::string> messages;
    Answer message(const std::string& text, Buttons buttons, const std::string&) override {
        messages.push_back(text);
        return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Yes : Answer::Ok;
    }
    InputResult input(const std::string&, const std::string&, const std::string&) override {
        return {true, ""};
    }
};

constexpr std::array<const char*, 4> kGroupNames = {"Control", "Dose 1", "Dose 2", "Dose 3"};

} // namespace

int runMakeDemo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    auto usageError = [&](const std::string& message) {
        err << "trelvane-cli make-demo: " << message << "\n"
            << "usage: trelvane-cli make-demo " << kMakeDemoUsage << "\n";
        return kExitUsage;
    };
    std::string error;
    const auto parsed = CliArgs::parse(args, {"lapse", "com", "name"}, {}, error);
    if (!parsed) return usageError(error);
    if (parsed->positional().size() != 1) return usageError("give the program folder");
    long long lapse = 0, com = 0;
    if (!parsed->integer("lapse", 1, 32767, lapse, error, 3) ||
        !parsed->integer("com", 1, 15, com, error, 1))
        return usageError(error);

    SharedState s;
    s.Program_Folder = parsed->positional().front();
    while (s.Program_Folder.size() > 1 && s.Program_Folder.back() == '/') s.Program_Folder.pop_back();
    if (!configFileExists(s.Program_Folder)) {
        err << "trelvane-cli make-demo: no " << kConfigFileName << " in " << s.Program_Folder
            << ": not a program folder\n";
        return kExitFailure;
    }
    CollectingPrompter prompter;
    loadConfig(s, prompter);

    // The first project number whose folder is free.
    int n = 1;
    while (n <= kMaxProject && folderExists(projectFolderPath(s.Program_Folder, n))) ++n;
    if (n > kMaxProject) {
        err << "trelvane-cli make-demo: no free project number\n";
        return kExitFailure;
    }
    const std::string folder = projectFolderPath(s.Program_Folder, n);
    if (!makeFolder(folder)) {
        err << "trelvane-cli make-demo: cannot create " << folder << "\n";
        return kExitFailure;
    }

    s.config.Actual_Project_Number = static_cast<int16_t>(n);
    if (s.config.Last_Project < n) s.config.Last_Project = static_cast<int16_t>(n);
    s.config.Serial_COM = static_cast<int16_t>(com);
    s.Project_Folder = folder;

    ProjectSetup& p = s.setup;
    p = ProjectSetup{};
    p.Num_proj = static_cast<int16_t>(n);
    p.Name = parsed->text("name", "Demo");
    p.Working_folder = defaultWorkingFolder(s.Program_Folder, n);
    p.Aq_lapse = static_cast<int16_t>(lapse);
    if (!changePlateFormat(s, "w96f", prompter)) {
        err << "trelvane-cli make-demo: the plate format w96f did not load"
            << (prompter.messages.empty() ? "" : ": " + prompter.messages.front()) << "\n";
        return kExitFailure;
    }

    // Four groups of three plate columns; beams outside the wells are free.
    ChannelTables& t = s.channels;
    t = ChannelTables{};
    for (size_t g = 0; g < kGroupNames.size(); ++g) t.Group_Name[g + 1] = kGroupNames[g];
    const int columnsPerGroup = std::max(1, s.plate.Plate_Columns / 4);
    for (int c = 0; c < kChannels; ++c) {
        const int well = s.plate.Channel_Well[static_cast<size_t>(c)];
        if (well < 0) {
            t.Channel_Group[static_cast<size_t>(c)] = -1;
            continue;
        }
        const int column = well / s.plate.Plate_Rows;
        t.Channel_Group[static_cast<size_t>(c)] =
            static_cast<int16_t>(std::min(3, column / columnsPerGroup) + 1);
    }

    if (!saveProject(s)) {
        err << "trelvane-cli make-demo: cannot write the project into " << folder << "\n";
        return kExitFailure;
    }
    if (!saveConfig(s, prompter)) {
        err << "trelvane-cli make-demo: cannot write " << kConfigFileName << "\n";
        return kExitFailure;
    }
    out << "project " << n << " \"" << p.Name << "\" in " << folder << " (w96f, 4 groups, "
        << lapse << " min, COM" << com << ") is the current project\n";
    return kExitOk;
}

} // namespace trv::cli
