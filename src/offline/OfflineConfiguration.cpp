#include "offline/OfflineConfiguration.h"

#include "common/Numeric.h"
#include "display/LivePlots.h"
#include "store/DetectionThreshold.h"

namespace trv {

int OfflineConfiguration::snrTimesTen() const {
    return detectionSnrX10(setup);
}

void loadOfflineConfiguration(const std::string& folder, const std::string& programFolder,
                              OfflineConfiguration& config, Prompter& prompter) {
    config.folder = folder;
    config.result =
        loadFolderConfiguration(folder, programFolder, config.setup, config.layout, prompter);
}

std::string organismName(int organism) {
    switch (organism) {
    case 0:
        return "C.elegans";
    case 1:
        return "Zebrafish";
    case 2:
        return "Echinococcus";
    case 3:
        return "Drosophila";
    default:
        return "";
    }
}

std::string configurationBlock(const OfflineConfiguration& config, const std::string& decimalMark) {
    const ProjectSetup& setup = config.setup;
    const std::string nl = "\r\n\t";
    return nl + "***** CONFIG ******" + nl + "Microplate format: [" + setup.Plate_format + "]" +
           nl + "Acquisition Lapse = " + std::to_string(setup.Aq_lapse) + "min" + nl +
           "Setting: Mode" + std::to_string(setup.DSP_Method) + nl + "[" +
           organismName(setup.Organism()) +
           " SNR=" + withDecimalMark(fixedDecimals(config.snrTimesTen() / 10.0, 1), decimalMark) +
           "]";
}

OfflineGroupLists offlineGroupLists(const OfflineConfiguration& config) {
    OfflineGroupLists lists;
    const PlateLayout& plate = config.plate();
    for (int r = 0; r < plate.Plate_Rows; ++r)
        lists.rowLetters.emplace_back(1, static_cast<char>('A' + r));
    for (int c = 1; c <= plate.Plate_Columns; ++c)
        lists.columnNumbers.push_back(std::to_string(c));
    lists.groupPicker = groupPickerEntries(config.channels());
    lists.plotGroups = lists.groupPicker;
    lists.groupPicker.push_back(kFreeGroupEntry);
    if (lists.plotGroups.empty()) lists.plotGroups.push_back(kFreeGroupEntry);
    return lists;
}

} // namespace trv
