// The files shipped in data/: a new installation and the plate formats.
#include "StoreTestSupport.h"
#include "TestPaths.h"
#include "store/ChannelTablesFile.h"
#include "store/ConfigFile.h"
#include "store/PlateFormat.h"
#include "store/ProjectFile.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>
#include <map>

namespace trv {
namespace {

using test::FakePrompter;

std::string dataFolder() {
    return std::string(TRELVANE_SOURCE_DIR) + "/data";
}

// Beams per well of a layout: well -> count.
std::map<int, int> beamsPerWell(const PlateLayout& p) {
    std::map<int, int> n;
    for (int c = 0; c < kChannels; ++c)
        if (p.Channel_Well[static_cast<size_t>(c)] >= 0)
            ++n[p.Channel_Well[static_cast<size_t>(c)]];
    return n;
}

TEST(ShippedPlates, EveryFormatLoadsWithThePromisedBeamsPerWell) {
    struct Promise {
        const char* name;
        int wells, fewest, most;
    };
    for (const Promise& pr :
         {Promise{"w384", 384, 1, 1}, Promise{"w96f", 96, 2, 2}, Promise{"w96u", 96, 1, 1},
          Promise{"w96flat", 96, 4, 4}, Promise{"w48", 48, 1, 3}, Promise{"w24", 24, 4, 4},
          Promise{"w6", 6, 30, 32}}) {
        PlateLayout p;
        std::string format = pr.name;
        FakePrompter prompter;
        ASSERT_TRUE(loadPlateFormat(p, dataFolder(), format, prompter)) << pr.name;
        EXPECT_TRUE(prompter.messages.empty());
        EXPECT_EQ(p.Plate_Rows * p.Plate_Columns, pr.wells) << pr.name;
        EXPECT_EQ(p.Max_Well + 1, pr.wells) << pr.name;
        auto counts = beamsPerWell(p);
        EXPECT_EQ(static_cast<int>(counts.size()), pr.wells) << pr.name;
        for (auto [well, n] : counts) {
            EXPECT_GE(n, pr.fewest) << pr.name << " well " << well;
            EXPECT_LE(n, pr.most) << pr.name << " well " << well;
            // Beams of a well are numbered 0, 1, 2 ... and each is served.
            for (int b = 0; b < n; ++b)
                EXPECT_GE(p.wellChannel(well, b), 0) << pr.name << " well " << well;
        }
        // Each well's drawn rectangle holds the beams it owns (beam c is drawn
        // at column c div 16 + 0.5, row c mod 16 + 0.5).
        for (int c = 0; c < kChannels; ++c) {
            int w = p.Channel_Well[static_cast<size_t>(c)];
            if (w < 0) continue;
            double x = c / 16 + 0.5, y = c % 16 + 0.5;
            double left = p.Column_Offset + (w / p.Plate_Rows) * p.Column_Pitch;
            double top = p.Row_Offset + (w % p.Plate_Rows) * p.Row_Pitch;
            EXPECT_TRUE(x > left && x < left + p.Column_Pitch && y > top && y < top + p.Row_Pitch)
                << pr.name << " channel " << c;
        }
    }
}

TEST(ShippedPlates, BuiltInFormatsMatchTheirFilesByteForByte) {
    for (const char* name : {"w384", "w96f", "w96u"}) {
        auto shipped = readWholeFile(dataFolder() + "/" + name + ".dat");
        ASSERT_TRUE(shipped) << name;
        PlateLayout builtin;
        applyBuiltinPlate(builtin, name);
        PlateLayout fromFile;
        ASSERT_EQ(readPlateFile(fromFile, dataFolder() + "/" + name + ".dat"), 0);
        EXPECT_EQ(fromFile.Channel_Well, builtin.Channel_Well) << name;
        EXPECT_EQ(fromFile.Channel_Beam, builtin.Channel_Beam) << name;
        EXPECT_EQ(fromFile.Well_Channel, builtin.Well_Channel) << name;
        auto lines = splitLines(*shipped);
        ASSERT_GE(lines.size(), 2u);
        std::string title1 = lines[0].substr(1, lines[0].size() - 2);
        std::string title2 = lines[1].substr(1, lines[1].size() - 2);
        EXPECT_EQ(plateFileText(builtin, title1, title2), *shipped) << name;
    }
}

TEST(ShippedData, NewInstallationStartsQuietlyOnProjectZero) {
    SharedState s;
    s.Program_Folder = dataFolder();
    test::FakePrompter p;
    ASSERT_TRUE(configFileExists(s.Program_Folder));
    loadConfig(s, p);
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(s.config.Actual_Project_Number, 0);
    EXPECT_EQ(s.config.Last_Project, 0);
    EXPECT_EQ(s.config.Serial_COM, 1);
    resolveProjectFolder(s);
    EXPECT_EQ(s.Project_Folder, s.Program_Folder);
    EXPECT_EQ(readWholeFile(s.Program_Folder + "/config.dat"), configFileText(s.config));
    // Project 0 lives in the program folder; its files hold the defaults.
    test::FakePorts fp;
    loadProject(s, 0, fp.ports);
    EXPECT_TRUE(fp.prompter.messages.empty()) << fp.prompter.texts().front();
    EXPECT_EQ(s.setup.Name, "Default");
    EXPECT_EQ(s.plate.Max_Beam, 1);
    EXPECT_EQ(readWholeFile(s.Program_Folder + "/setup.dat"), setupFileText(ProjectSetup{}, 0));
    const ChannelTables defaults;
    for (auto table : {ChannelTableFile::Status, ChannelTableFile::Threshold,
                       ChannelTableFile::Groups, ChannelTableFile::ChannelGroups})
        EXPECT_EQ(readWholeFile(s.Program_Folder + "/" + channelTableFileName(table)),
                  channelTableText(defaults, table));
}

} // namespace
} // namespace trv
