// The browser's copy of an acquisition's configuration, the pickers and plot
// group list filled from it, and the header's configuration block.
#include "offline/OfflineConfiguration.h"

#include "TestPaths.h"
#include "acquisition/Startup.h"
#include "reports/AcquisitionFixture.h"
#include "store/ProjectFile.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace trv {
namespace {

TEST(OfflineConfiguration, LoadsTheAcquisitionsOwnTablesAndPlate) {
    test::AcquisitionFixture fx;
    test::FakePrompter p;
    ChannelTables t = test::AcquisitionFixture::tables();
    t.Channel_Enabled[16] = 0;
    t.Channel_Threshold[3] = 4.5;
    const std::string acq = fx.acquisition("20240315_0930", "T", t);

    OfflineConfiguration c;
    loadOfflineConfiguration(acq, fx.program, c, p);
    EXPECT_TRUE(c.loaded());
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(c.channels().Channel_Enabled[16], 0);
    EXPECT_EQ(c.channels().Channel_Threshold[3], 4.5);
    EXPECT_EQ(c.plate().wellChannel(2, 1), 18);
    EXPECT_EQ(c.plate().Well_Channel.size(), 6u);
    EXPECT_EQ(configurationBlock(c, ","), "\r\n\t***** CONFIG ******\r\n\tMicroplate format: [wsix]"
                                          "\r\n\tAcquisition Lapse = 30min\r\n\tSetting: Mode1"
                                          "\r\n\t[Zebrafish SNR=2,5]");

    OfflineGroupLists lists = offlineGroupLists(c);
    EXPECT_EQ(lists.rowLetters, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(lists.columnNumbers, (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(lists.groupPicker,
              (std::vector<std::string>{"000_Control", "001_Dose", "002_Empty", "999_Free"}));
    EXPECT_EQ(lists.plotGroups, (std::vector<std::string>{"000_Control", "001_Dose", "002_Empty"}));

    // Every channel free: the plot list still has the free group to show.
    ChannelTables free;
    free.Channel_Group.fill(-1);
    saveChannelTables(free, acq);
    loadOfflineConfiguration(acq, fx.program, c, p);
    EXPECT_EQ(offlineGroupLists(c).plotGroups, (std::vector<std::string>{"999_Free"}));
    EXPECT_EQ(offlineGroupLists(c).groupPicker, (std::vector<std::string>{"999_Free"}));
}

TEST(OfflineConfiguration, PlateBackupMissingFilesAndThreshold) {
    test::AcquisitionFixture fx;
    test::FakePrompter p;
    const std::string acq = fx.acquisition("20240315_0930", "T");

    // Only the backup copy of the plate file: it serves, without a message.
    ::rename((fx.program + "/wsix.dat").c_str(), (fx.program + "/wsix.bak").c_str());
    OfflineConfiguration c;
    loadOfflineConfiguration(acq, fx.program, c, p);
    EXPECT_TRUE(c.loaded());
    EXPECT_TRUE(p.messages.empty());

    // Neither: the message, and no layout to draw with.
    ::unlink((fx.program + "/wsix.bak").c_str());
    loadOfflineConfiguration(acq, fx.program, c, p);
    EXPECT_FALSE(c.loaded());
    EXPECT_EQ(p.texts(), (std::vector<std::string>{
                             "Multiwell Configuration File wsix.dat or .bak not found"}));

    // A folder without setup.dat or tables takes defaults, never the layout
    // of the acquisition shown before; a threshold below 0.5 reads as 1.8.
    test::TempDir empty;
    p.messages.clear();
    loadOfflineConfiguration(empty.path(), TRELVANE_BINARY_DIR, c, p);
    EXPECT_EQ(c.result, LayoutLoad::NoSetup);
    EXPECT_EQ(c.setup.Plate_format, "w96f");
    EXPECT_EQ(c.channels().Group_Name[0], "Group0");
    EXPECT_EQ(c.channels().Channel_Enabled[100], -1);
    EXPECT_EQ(c.snrTimesTen(), 18);
    EXPECT_EQ(p.messages.size(), 4u); // one per channel table
}

TEST(OfflineConfiguration, OneThresholdInTheMainWindowTheBrowserAndTheReports) {
    struct Case {
        int organism, stored;
        const char* shown;
    } cases[] = {{1, 0, "2.1"}, {3, 0, "1.8"}, {3, 8, "0.8"}, {0, 0, "1.8"}, {2, 25, "2.5"}};
    for (const Case& c : cases) {
        test::TempDir dir;
        OfflineConfiguration config;
        config.setup.Organism() = static_cast<int16_t>(c.organism);
        config.setup.SNRx10() = static_cast<int16_t>(c.stored);
        dir.write(kSetupFileName, setupFileText(config.setup, 1));
        const std::string shown = c.shown;
        EXPECT_NE(detectionText(config.setup).find("[snr " + shown + "]"), std::string::npos)
            << c.organism << " " << c.stored;
        EXPECT_NE(configurationBlock(config, ".").find("SNR=" + shown + "]"), std::string::npos)
            << c.organism << " " << c.stored;
        EXPECT_NE(reportSettingText(dir.path(), ".").find("[snr=" + shown + "]"), std::string::npos)
            << c.organism << " " << c.stored;
    }
}

} // namespace
} // namespace trv
