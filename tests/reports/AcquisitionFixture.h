// Hand-made acquisitions on disk for the report tests: a program folder
// with a small plate format, a project with acquisition folders holding
// setup.dat, the channel tables, subproj.dat, counts.bin and histo files.
#pragma once

#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "store/AcquisitionRecord.h"
#include "store/ChannelTablesFile.h"
#include "store/ProjectFile.h"
#include "support/TempDir.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace trv::test {

// A six-well plate, 2 rows x 3 columns: A1 = channels 0 and 16 (beams 0, 1),
// B1 = 1, A2 = 2 and 18, B2 = 3, A3 = 4, B3 = 21 as beam 1 only (no beam 0).
inline std::string sixWellPlateText() {
    std::string s =
        "\"Six wells\",\"test plate\"\r\n2,1.0,0,3,1.0,0\r\n\"<Channel>,<Well>,<Beam>\"\r\n";
    for (int c = 0; c < 384; ++c) {
        int well = -1, beam = 0;
        switch (c) {
        case 0:
            well = 0;
            break;
        case 16:
            well = 0;
            beam = 1;
            break;
        case 1:
            well = 1;
            break;
        case 2:
            well = 2;
            break;
        case 18:
            well = 2;
            beam = 1;
            break;
        case 3:
            well = 3;
            break;
        case 4:
            well = 4;
            break;
        case 21:
            well = 5;
            beam = 1;
            break;
        default:
            break;
        }
        s += "\"" + std::to_string(c) + "\"," + std::to_string(well) + "," + std::to_string(beam) +
             "\r\n";
    }
    return s;
}

// One counts.bin record: minutes, 384 counts, temperature (little-endian).
// Long fixtures are written in one go with these bytes rather than one
// durable append per record; a test checks they equal what AppendCounts
// writes.
inline std::string countsRecordBytes(int32_t minutes, const std::vector<int16_t>& values) {
    std::string rec(774, '\0');
    for (int b = 0; b < 4; ++b)
        rec[static_cast<size_t>(b)] =
            static_cast<char>((static_cast<uint32_t>(minutes) >> (8 * b)) & 0xFF);
    for (size_t i = 0; i < 385 && i < values.size(); ++i) {
        rec[4 + 2 * i] = static_cast<char>(values[i] & 0xFF);
        rec[5 + 2 * i] = static_cast<char>((values[i] >> 8) & 0xFF);
    }
    return rec;
}

// Appends one histogram record as the acquisition writes it, with
// count(bin, beam) for every bin and beam.
inline void appendHistogramRecord(const std::string& folder, int fileNumber, double minutes,
                                  double secondsPerSample,
                                  const std::function<int32_t(int, int)>& count) {
    auto table = std::make_unique<BodyBendTable>();
    for (int beam = 0; beam < 385; ++beam)
        for (int bin = 0; bin < 51; ++bin)
            (*table)[static_cast<size_t>(beam)][static_cast<size_t>(bin)] = count(bin, beam);
    AppendHistogram(folder, fileNumber, minutes, secondsPerSample, *table);
}

struct AcquisitionFixture {
    TempDir dir;
    std::string program = dir.path();
    std::string project = dir / "p00003";

    AcquisitionFixture() {
        makeFolder(project);
        writeFileAtomic(joinPath(program, "wsix.dat"), sixWellPlateText());
    }

    // Group 0 "Control": A1, B1; group 1 "Dose": A2, B2 (and B3's lone
    // beam); group 2 "Empty" holds only channel 5, which lies in no well;
    // A3 is free.
    static ChannelTables tables() {
        ChannelTables t;
        t.Channel_Group.fill(-1);
        for (int c : {0, 16, 1})
            t.Channel_Group[static_cast<size_t>(c)] = 0;
        for (int c : {2, 18, 3, 21})
            t.Channel_Group[static_cast<size_t>(c)] = 1;
        t.Channel_Group[5] = 2;
        t.Group_Name[0] = "Control";
        t.Group_Name[1] = "Dose";
        t.Group_Name[2] = "Empty";
        return t;
    }

    // An acquisition folder with its snapshot of the project.
    std::string acquisition(const std::string& name, const std::string& title,
                            const ChannelTables& t = tables(), const std::string& plate = "wsix") {
        std::string folder = joinPath(project, name);
        makeFolder(folder);
        ProjectSetup setup;
        setup.Plate_format = plate;
        setup.DSP_Method = 1;
        setup.Organism() = 1;
        setup.SNRx10() = 25;
        writeFileAtomic(joinPath(folder, kSetupFileName), setupFileText(setup, 3));
        saveChannelTables(t, folder);
        writeFileAtomic(joinPath(folder, kSubprojFileName),
                        subprojFileText(title, "made by a test"));
        return folder;
    }

    // counts.bin with records at the given stored minutes.
    static void writeCounts(const std::string& folder, const std::vector<int32_t>& minutes,
                            const std::function<int(int, int)>& count,
                            const std::function<int(int)>& temperature) {
        std::string bytes;
        for (size_t i = 0; i < minutes.size(); ++i) {
            std::vector<int16_t> v(385, 0);
            for (int ch = 0; ch < 384; ++ch)
                v[static_cast<size_t>(ch)] = static_cast<int16_t>(count(ch, static_cast<int>(i)));
            v[384] = static_cast<int16_t>(temperature(static_cast<int>(i)));
            bytes += countsRecordBytes(minutes[i], v);
        }
        std::ofstream(joinPath(folder, "counts.bin"), std::ios::binary | std::ios::app) << bytes;
    }
};

// Channels of the six-well plate.
inline bool sixWellChannel(int ch) {
    return ch == 0 || ch == 16 || ch == 1 || ch == 2 || ch == 18 || ch == 3 || ch == 4 || ch == 21;
}

} // namespace trv::test
