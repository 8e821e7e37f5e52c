#include "offline/OfflineExports.h"

#include "common/Files.h"
#include "common/Numeric.h"

namespace trv {

namespace {

std::string thousands(long long samples) {
    return plainReal(roundDecimals(static_cast<double>(samples) / 1000.0, 3)) + "k";
}

} // namespace

std::string rawPageText(const std::string& projectName, const std::string& folder,
                        const PlateLayout& plate, int channel, const RawPage& page,
                        const std::string& pageBox) {
    const int well =
        channel >= 0 && channel < kChannels ? plate.Channel_Well[static_cast<size_t>(channel)] : -1;
    const std::string label = well >= 0 ? plate.wellLabel(well) : "";
    const long long perPage = static_cast<long long>(page.rtBuffer) * RawPageLayout::kBlocksPerPage;
    // A block missing before the last stored one keeps its lines, each value
    // written as "-", so that line numbers always map to samples.
    int last = -1;
    for (int b = 0; b < page.blockCount(); ++b)
        if (page.has(b)) last = b;
    bool gap = false;
    for (int b = 0; b < last; ++b)
        gap = gap || !page.has(b);
    std::string out = "\"" + projectName + "\"\r\n\"" + folder + "\"\r\n\r\n";
    out += "Well: " + label + " Page[" + pageBox + "] [#" + thousands((page.page - 1) * perPage) +
           "-" + thousands(page.page * perPage) + "]" + (gap ? kRawGapNote : "") + "\r\n\r\n";
    std::vector<int> channels;
    if (well >= 0) {
        for (int p = 0; p <= plate.Max_Beam; ++p) {
            const int c = plate.wellChannel(well, p);
            if (c < 0) continue;
            channels.push_back(c);
            out += label + "." + std::to_string(p) + " ";
        }
    }
    out += "\r\n";
    for (int b = 0; b <= last; ++b) {
        const bool stored = page.has(b);
        for (int i = 1; i <= page.rtBuffer; ++i) {
            for (int c : channels)
                out += (stored ? std::to_string(page.sample(b, c, i)) : std::string("-")) + " ";
            out += "\r\n";
        }
    }
    return out;
}

bool exportRawPage(const std::string& programFolder, const std::string& projectName,
                   const std::string& folder, const PlateLayout& plate, int channel,
                   const RawPage& page, const std::string& pageBox, Ports& ports) {
    if (page.page < 1 || page.empty()) return false;
    const std::string path = joinPath(programFolder, kRawTextFile);
    if (!writeFileAtomic(path, rawPageText(projectName, folder, plate, channel, page, pageBox))) {
        ports.prompter.show(exportWriteError(path));
        return false;
    }
    openExport(path, ports);
    return true;
}

std::string exportJointReport(const std::string& projectFolder, const KineticsTable& table,
                              Ports& ports) {
    const LocalDateTime now = ports.clock.now();
    const std::string path = writeJointReport(projectFolder, now, table);
    if (path.empty()) {
        ports.prompter.show(exportWriteError(joinPath(projectFolder, jointReportName(now))));
        return "";
    }
    openExport(path, ports);
    return path;
}

} // namespace trv
