// A program folder for the setup tests: a temporary folder holding the
// shipped plate formats, a SharedState pointing at it, fake ports and a
// recording surface for the plate.
#pragma once

#include "TestPaths.h"
#include "common/Files.h"
#include "display/RecordingSurface.h"
#include "setup/SetupModel.h"
#include "store/ConfigFile.h"
#include "store/Module1.h"
#include "store/PlateFormat.h"
#include "support/Fakes.h"
#include "support/TempDir.h"

#include <string>
#include <vector>

namespace trv::test {

struct SetupFixture {
    TempDir dir;
    SharedState s;
    FakePorts fake;
    RecordingSurface picwell{600, 420};

    SetupFixture() {
        s.Program_Folder = dir.path();
        s.Project_Folder = dir.path();
        const std::string data = std::string(TRELVANE_SOURCE_DIR) + "/data";
        for (const std::string& f : listFiles(data, "w*.dat"))
            copyFile(joinPath(data, f), dir / f);
    }

    FakePrompter& prompter() { return fake.prompter; }

    // The layout of a shipped plate format, loaded into the state.
    void usePlate(const std::string& name) {
        s.setup.Plate_format = name;
        loadPlateFormat(s, fake.prompter);
    }

    // Every channel free, every group "Free".
    void clearGroups() {
        s.channels.Channel_Group.fill(-1);
        for (auto& n : s.channels.Group_Name)
            n = "Free";
    }

    // Channels of one well, in channel order.
    std::vector<int> channelsOfWell(int well) const {
        std::vector<int> out;
        for (int c = 0; c < kChannels; ++c)
            if (s.plate.Channel_Well[static_cast<size_t>(c)] == well) out.push_back(c);
        return out;
    }

    // The groups of the channels of a well.
    std::vector<int> groupsOfWell(int well) const {
        std::vector<int> out;
        for (int c : channelsOfWell(well))
            out.push_back(s.channels.Channel_Group[static_cast<size_t>(c)]);
        return out;
    }

    // Centre of well (row, column) in plate units.
    std::pair<double, double> wellCentre(int row, int column) const {
        return {s.plate.Column_Offset + (column + 0.5) * s.plate.Column_Pitch,
                s.plate.Row_Offset + (row + 0.5) * s.plate.Row_Pitch};
    }
};

} // namespace trv::test
