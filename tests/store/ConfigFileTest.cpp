#include "store/ConfigFile.h"

#include "StoreTestSupport.h"
#include "support/Fakes.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace trv {
namespace {

using test::FakePrompter;
using test::StoreFixture;

const std::string kHeaderLine =
    "\"Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>\"\r\n";

AppConfig loaded(StoreFixture& f, const std::string& content, FakePrompter& p) {
    f.dir.write("config.dat", content);
    loadConfig(f.s, p);
    return f.s.config;
}

TEST(ConfigFile, WritesAndReadsBackByteForByte) {
    StoreFixture f;
    FakePrompter p;
    f.s.config = AppConfig{3, 5, 4, 0};
    ASSERT_TRUE(saveConfig(f.s, p));
    EXPECT_EQ(f.dir.read("config.dat"), kHeaderLine + "3,5,4,0\r\n");
    f.s.config = AppConfig{};
    loadConfig(f.s, p);
    EXPECT_EQ(f.s.config.Actual_Project_Number, 3);
    EXPECT_EQ(f.s.config.Last_Project, 5);
    EXPECT_EQ(f.s.config.Serial_COM, 4);
    EXPECT_TRUE(p.messages.empty());
}

TEST(ConfigFile, LoadClampsProjectLastProjectPortAndRestartTime) {
    StoreFixture f;
    FakePrompter p;
    AppConfig c = loaded(f, kHeaderLine + "-5,2,0,7\r\n", p);
    EXPECT_EQ(c.Actual_Project_Number, 0);
    EXPECT_EQ(c.Last_Project, 2);
    EXPECT_EQ(c.Serial_COM, 1);
    EXPECT_EQ(c.Restart_Time, 0);

    c = loaded(f, kHeaderLine + "9,4,20,0\r\n", p);
    EXPECT_EQ(c.Actual_Project_Number, 9);
    EXPECT_EQ(c.Last_Project, 9);
    EXPECT_EQ(c.Serial_COM, 16);
    EXPECT_EQ(c.Restart_Time, 0);
    EXPECT_TRUE(p.messages.empty());

    // Whatever the file held, the next save writes Restart_Time 0.
    loaded(f, kHeaderLine + "2,3,5,99\r\n", p);
    ASSERT_TRUE(saveConfig(f.s, p));
    EXPECT_EQ(f.dir.read("config.dat"), kHeaderLine + "2,3,5,0\r\n");
}

TEST(ConfigFile, DamagedFilesGiveOneMessageAndTheDefaults) {
    std::string overlong(2 * 1024 * 1024, '7');
    std::string garbage = kHeaderLine + std::string("3,5,\x01\x02\xff\x00", 8) + "\r\n";
    for (const std::string& content :
         {kHeaderLine, std::string(), garbage, kHeaderLine + "3,5", kHeaderLine + overlong,
          kHeaderLine + "3,5,99999,0\r\n", std::string("\"Config: never closed\r\n3,5,4,0\r\n")}) {
        StoreFixture f;
        FakePrompter p;
        f.s.config = AppConfig{7, 7, 7, 7};
        AppConfig c = loaded(f, content, p);
        EXPECT_EQ(p.texts(), std::vector<std::string>{kConfigLoadError}) << content.substr(0, 40);
        EXPECT_EQ(c.Actual_Project_Number, 1);
        EXPECT_EQ(c.Last_Project, 1);
        EXPECT_EQ(c.Serial_COM, 4);
        EXPECT_EQ(c.Restart_Time, 0);
        // The next save repairs the file.
        ASSERT_TRUE(saveConfig(f.s, p));
        EXPECT_EQ(f.dir.read("config.dat"), kHeaderLine + "1,1,4,0\r\n");
    }
    StoreFixture missing;
    FakePrompter p;
    EXPECT_FALSE(configFileExists(missing.s.Program_Folder));
    loadConfig(missing.s, p);
    EXPECT_EQ(p.texts(), std::vector<std::string>{kConfigLoadError});
}

TEST(ConfigFile, WordsWhereNumbersBelongReadAsZero) {
    StoreFixture f;
    FakePrompter p;
    AppConfig c = loaded(f, kHeaderLine + "abc,2,x,0\r\n", p);
    EXPECT_EQ(c.Actual_Project_Number, 0);
    EXPECT_EQ(c.Last_Project, 2);
    EXPECT_EQ(c.Serial_COM, 1);
    EXPECT_TRUE(p.messages.empty());
}

TEST(ConfigFile, SaveFailureIsShownAndMemoryKept) {
    StoreFixture f;
    FakePrompter p;
    f.s.Program_Folder = f.dir / "no-such-folder";
    f.s.config = AppConfig{3, 5, 4, 0};
    EXPECT_FALSE(saveConfig(f.s, p));
    EXPECT_EQ(p.texts(), std::vector<std::string>{kConfigSaveError});
    EXPECT_EQ(f.s.config.Last_Project, 5);
}

TEST(ConfigFile, CurrentProjectFolderResolution) {
    StoreFixture f;
    makeFolder(f.dir / "p00003");
    f.s.config.Actual_Project_Number = 3;
    resolveProjectFolder(f.s);
    EXPECT_EQ(f.s.Project_Folder, f.dir / "p00003");
    EXPECT_EQ(f.s.config.Actual_Project_Number, 3);

    // A project whose folder is gone starts on project 0 in the program folder.
    f.s.config.Actual_Project_Number = 7;
    resolveProjectFolder(f.s);
    EXPECT_EQ(f.s.Project_Folder, f.dir.path());
    EXPECT_EQ(f.s.config.Actual_Project_Number, 0);

    EXPECT_EQ(projectFolderName(3), "p00003");
    EXPECT_EQ(projectFolderName(32000), "p32000");
    EXPECT_EQ(projectFolderPath("/x", 42), "/x/p00042");
    EXPECT_EQ(projectFolderPath("/x", 0), "/x");
}

TEST(ConfigFile, ProgramFolderFollowsTrelvaneHome) {
    const char* old = std::getenv("TRELVANE_HOME");
    std::string saved = old ? old : "";
    ::setenv("TRELVANE_HOME", "/srv/trelvane/", 1);
    EXPECT_EQ(programFolder(), "/srv/trelvane");
    ::unsetenv("TRELVANE_HOME");
    EXPECT_EQ(programFolder(), executableFolder());
    if (old) ::setenv("TRELVANE_HOME", saved.c_str(), 1);
}

} // namespace
} // namespace trv
