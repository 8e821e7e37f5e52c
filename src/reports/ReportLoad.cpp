#include "reports/ReportLoad.h"

#include "common/Files.h"
#include "common/Numeric.h"
#include "common/RunLog.h"
#include "common/TextRecord.h"
#include "store/ChannelTablesFile.h"
#include "store/DetectionThreshold.h"
#include "store/PlateFormat.h"
#include "store/ProjectFile.h"
#include "store/StoreText.h"

#include <span>

namespace trv {

namespace {

// setup.dat of the acquisition; false when there is none or the plate-format
// name could not be read.
bool readAcquisitionSetup(const std::string& folder, ProjectSetup& setup, bool& exists) {
    const std::string path = joinPath(folder, kSetupFileName);
    exists = fileExists(path);
    if (!exists) return false;
    SetupRead read = readSetupFile(path, setup);
    return read.ok() || read.readUpTo >= 2;
}

// What is damaged in an acquisition folder: to the caller (when it asks)
// and to the run log.
void noteDamage(const std::string& folder, const std::string& what, std::string* damage) {
    if (damage) *damage = what;
    runlog::warn("acquisition " + folder + ": " + what);
}

// The tables and the plate file named in setup, loaded into next, which
// replaces layout in every case but a missing setup.dat.
LayoutLoad loadTablesAndPlate(const std::string& folder, const std::string& programFolder,
                              const ProjectSetup& setup, bool allTables, ReportLayout& layout,
                              Prompter& prompter, std::string* damage) {
    ReportLayout next = layout;
    next.loaded = false;
    static constexpr ChannelTableFile kAll[] = {
        ChannelTableFile::Status, ChannelTableFile::Threshold, ChannelTableFile::Groups,
        ChannelTableFile::ChannelGroups};
    for (ChannelTableFile f : allTables ? std::span(kAll) : std::span(kAll).subspan(2))
        if (!readChannelTable(next.channels, folder, f))
            prompter.show(channelTableErrorMessage(f, setup.Num_proj));

    const std::string& name = setup.Plate_format;
    std::string path = plateFilePath(programFolder, name);
    if (path.empty() || !fileExists(path)) {
        const std::string backup = name + ".bak";
        path = isSafeName(backup) ? joinPath(programFolder, backup) : std::string();
    }
    if (path.empty() || !fileExists(path)) {
        prompter.show("Multiwell Configuration File " + name + ".dat or .bak not found");
        layout = std::move(next);
        return LayoutLoad::PlateMissing;
    }
    std::string reason;
    if (readPlateFile(next.plate, path, &reason) != 0) {
        noteDamage(folder, path + ": " + reason, damage);
        layout = std::move(next);
        return LayoutLoad::PlateDamaged;
    }
    next.loaded = true;
    layout = std::move(next);
    return LayoutLoad::Loaded;
}

} // namespace

LayoutVerdict layoutVerdict(LayoutLoad load, const ReportLayout& layout) {
    switch (load) {
    case LayoutLoad::Loaded:
        return LayoutVerdict::Go;
    case LayoutLoad::NoSetup:
        return layout.loaded ? LayoutVerdict::Go : LayoutVerdict::Fail;
    case LayoutLoad::PlateMissing:
        return LayoutVerdict::End;
    case LayoutLoad::SetupDamaged:
    case LayoutLoad::PlateDamaged:
        break;
    }
    return LayoutVerdict::Fail;
}

std::string reportErrorText(const std::string& damage) {
    return damage.empty() ? std::string("Report Error") : "Report Error\r\n" + damage;
}

LayoutLoad loadReportLayout(const std::string& folder, const std::string& programFolder,
                            ReportLayout& layout, Prompter& prompter, std::string* damage) {
    ProjectSetup setup;
    bool exists = false;
    if (!readAcquisitionSetup(folder, setup, exists)) {
        if (!exists) return LayoutLoad::NoSetup;
        layout.loaded = false;
        noteDamage(folder, joinPath(folder, kSetupFileName) + ": the plate format cannot be read",
                   damage);
        return LayoutLoad::SetupDamaged;
    }
    return loadTablesAndPlate(folder, programFolder, setup, false, layout, prompter, damage);
}

LayoutLoad loadFolderConfiguration(const std::string& folder, const std::string& programFolder,
                                   ProjectSetup& setup, ReportLayout& layout, Prompter& prompter) {
    ProjectSetup read;
    const std::string path = joinPath(folder, kSetupFileName);
    LayoutLoad setupResult = LayoutLoad::Loaded;
    if (!fileExists(path)) {
        setupResult = LayoutLoad::NoSetup;
    } else if (SetupRead r = readSetupFile(path, read); !r.ok()) {
        setupResult = LayoutLoad::SetupDamaged;
        applySetupDefaults(read, r.readUpTo, programFolder, read.Num_proj);
    }
    setup = read;
    LayoutLoad plate =
        loadTablesAndPlate(folder, programFolder, setup, true, layout, prompter, nullptr);
    return plate == LayoutLoad::Loaded ? setupResult : plate;
}

std::string reportSettingText(const std::string& folder, const std::string& decimalMark) {
    const std::string path = joinPath(folder, kSetupFileName);
    if (!fileExists(path)) return "";
    // Read line by line as far as the file goes: the method from line 4,
    // organism and threshold from line 10 (the first row of the menu table),
    // so a setup.dat cut short after line 10 still names them.
    ProjectSetup setup;
    if (auto content = readStoreFile(path)) {
        try {
            RecordReader r(std::move(*content));
            for (int i = 0; i < 3; ++i)
                r.line();
            int16_t method[6];
            for (int16_t& v : method)
                v = r.int16();
            setup.DSP_Method = method[4];
            for (int i = 0; i < 5; ++i)
                r.line();
            auto& row = setup.Mn[0];
            for (int16_t& v : row)
                v = r.int16();
        } catch (const RecordError&) {
            // What could not be read keeps its default.
        }
    }
    const int snr = detectionSnrX10(setup);
    std::string organism;
    switch (setup.Organism()) {
    case 0:
        organism = "C.elegans";
        break;
    case 1:
        organism = "Zebrafish";
        break;
    case 2:
        organism = "Echinococcus";
        break;
    default:
        break;
    }
    return "Mode" + std::to_string(setup.DSP_Method) + " " + organism +
           "[snr=" + withDecimalMark(fixedDecimals(snr / 10.0, 1), decimalMark) + "]";
}

} // namespace trv
