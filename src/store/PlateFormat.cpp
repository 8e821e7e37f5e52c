#include "store/PlateFormat.h"

#include "common/Files.h"
#include "common/Prompter.h"
#include "common/TextRecord.h"
#include "store/StoreText.h"

#include <algorithm>

namespace trv {

namespace {

// Geometry that no drawing or labelling code can work with.
bool sensibleGeometry(const PlateLayout& p) {
    return p.Plate_Rows >= 1 && p.Plate_Rows <= kChannels && p.Plate_Columns >= 1 &&
           p.Plate_Columns <= kChannels;
}

} // namespace

std::string plateFilePath(const std::string& programFolder, const std::string& plateFormat) {
    std::string fileName = plateFormat + ".dat";
    // The name comes from a project file: it never reaches outside the
    // program folder.
    if (!isSafeName(fileName)) return "";
    std::string path = joinPath(programFolder, fileName);
    if (fileExists(path)) return path;
    // Plate files copied from elsewhere may carry upper-case names (W48.DAT);
    // the setup window lists them in lower case.
    if (fileName.find_first_of("*?[") == std::string::npos) {
        auto found = listFiles(programFolder, fileName);
        if (!found.empty()) return joinPath(programFolder, found.front());
    }
    return path;
}

void buildWellChannel(PlateLayout& p) {
    p.Well_Channel.assign(
        static_cast<size_t>(std::max<int>(p.Max_Well, 0)) + 1,
        std::vector<int16_t>(static_cast<size_t>(std::max<int>(p.Max_Beam, 0)) + 1, -1));
    for (int c = 0; c < kChannels; ++c) {
        int well = p.Channel_Well[static_cast<size_t>(c)];
        int beam = p.Channel_Beam[static_cast<size_t>(c)];
        if (well < 0) continue;
        // Only a layout built by hand can hold a pair beyond the maxima.
        if (well > p.Max_Well || beam < 0 || beam > p.Max_Beam) continue;
        p.Well_Channel[static_cast<size_t>(well)][static_cast<size_t>(beam)] =
            static_cast<int16_t>(c);
    }
}

int readPlateFile(PlateLayout& plate, const std::string& path, std::string* reason) {
    PlateLayout p = plate;
    p.Row_Offset = 0;
    p.Column_Offset = 0;
    int stage = 1;
    auto fail = [&](const std::string& why) {
        if (reason) *reason = why;
        return stage;
    };
    try {
        auto content = readStoreFile(path);
        if (!content) return fail("the file cannot be read (missing, too large or not text)");
        RecordReader r(std::move(*content));
        r.item();
        r.item();
        p.Plate_Rows = r.int16();
        p.Row_Pitch = r.real();
        p.Row_Offset = r.real();
        p.Plate_Columns = r.int16();
        p.Column_Pitch = r.real();
        p.Column_Offset = r.real();
        r.item();
        if (!sensibleGeometry(p))
            return fail(std::to_string(p.Plate_Rows) + " rows and " +
                        std::to_string(p.Plate_Columns) + " columns: both must lie in 1 to " +
                        std::to_string(kChannels));
        stage = 2;
        p.Max_Well = 0;
        p.Max_Beam = 0;
        // A shorter list must not leave wells of the previous plate behind.
        p.Channel_Well.fill(-1);
        p.Channel_Beam.fill(0);
        for (size_t i = 0; r.hasData() && i < kSlots; ++i) {
            r.item();
            int16_t well = r.int16();
            int16_t beam = r.int16();
            // There are 385 slots at most: a larger well or beam index, or a
            // channel in a well with a negative beam, is a damaged file.
            if (well >= kSlots || beam >= kSlots || (well >= 0 && beam < 0))
                return fail("channel record " + std::to_string(i) + " names well " +
                            std::to_string(well) + ", beam " + std::to_string(beam) +
                            " (wells and beams run from 0 to " + std::to_string(kChannels) + ")");
            p.Channel_Well[i] = well;
            p.Channel_Beam[i] = beam;
            p.Max_Well = std::max(p.Max_Well, well);
            p.Max_Beam = std::max(p.Max_Beam, beam);
        }
    } catch (const RecordError& e) {
        return fail(stage == 1
                        ? std::string("the titles and geometry cannot be read (") + e.what() + ")"
                        : std::string("the channel list cannot be read (") + e.what() + ")");
    }
    buildWellChannel(p);
    plate = std::move(p);
    return 0;
}

bool isBuiltinPlate(const std::string& name) {
    return name == "w384" || name == "w96f" || name == "w96u";
}

void applyBuiltinPlate(PlateLayout& p, const std::string& name) {
    p.Channel_Well.fill(-1);
    p.Channel_Beam.fill(0);
    if (name == "w384") {
        p.Plate_Rows = 16;
        p.Row_Pitch = 1.0;
        p.Row_Offset = 0;
        p.Plate_Columns = 24;
        p.Column_Pitch = 1.0;
        p.Column_Offset = 0;
        for (int c = 0; c < kChannels; ++c)
            p.Channel_Well[static_cast<size_t>(c)] = static_cast<int16_t>(c);
        p.Max_Well = 383;
        p.Max_Beam = 0;
    } else {
        bool unbeveled = name == "w96u";
        p.Plate_Rows = 8;
        p.Row_Pitch = 2.0;
        p.Row_Offset = -0.5;
        p.Plate_Columns = 12;
        p.Column_Pitch = 2.0;
        p.Column_Offset = unbeveled ? -0.5 : 0.0;
        for (int c = 0; c < kChannels; ++c) {
            int row = c % 16, col = c / 16;
            if (row % 2 != 0) continue;
            if (unbeveled && col % 2 != 0) continue;
            // Wells are numbered down the columns of the plate.
            p.Channel_Well[static_cast<size_t>(c)] = static_cast<int16_t>((col / 2) * 8 + row / 2);
            p.Channel_Beam[static_cast<size_t>(c)] = static_cast<int16_t>(unbeveled ? 0 : col % 2);
        }
        p.Max_Well = 95;
        p.Max_Beam = unbeveled ? 0 : 1;
    }
    buildWellChannel(p);
}

std::string plateFileText(const PlateLayout& p, const std::string& title1,
                          const std::string& title2) {
    RecordWriter w;
    w.header(title1).header(title2);
    w.integer(p.Plate_Rows)
        .real(p.Row_Pitch)
        .real(p.Row_Offset)
        .integer(p.Plate_Columns)
        .real(p.Column_Pitch)
        .real(p.Column_Offset)
        .end();
    w.header("<Channel>, <Well>, <Beam>");
    for (size_t c = 0; c < kChannels; ++c)
        w.text(std::to_string(c)).integer(p.Channel_Well[c]).integer(p.Channel_Beam[c]).end();
    return w.str();
}

std::string plateErrorMessage(const std::string& plateFormat, int stage) {
    return "Error [\\" + plateFormat + ".dat] ID#" + std::to_string(stage) +
           " => Loading plate format from default: 384,96f or 96u...";
}

bool loadPlateFormat(PlateLayout& plate, const std::string& programFolder, std::string& plateFormat,
                     Prompter& prompter) {
    int stage = 1;
    std::string path = plateFilePath(programFolder, plateFormat);
    if (!path.empty()) stage = readPlateFile(plate, path);
    if (stage == 0) return true;
    prompter.show(plateErrorMessage(plateFormat, stage));
    if (!isBuiltinPlate(plateFormat)) plateFormat = "w96f";
    applyBuiltinPlate(plate, plateFormat);
    return false;
}

bool loadPlateFormat(SharedState& s, Prompter& prompter) {
    return loadPlateFormat(s.plate, s.Program_Folder, s.setup.Plate_format, prompter);
}

bool changePlateFormat(SharedState& s, const std::string& name, Prompter& prompter) {
    s.setup.Plate_format = name;
    return loadPlateFormat(s, prompter);
}

} // namespace trv
