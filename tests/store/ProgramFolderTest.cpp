// Where the program keeps its folder: $TRELVANE_HOME, a build folder, or
// for an installed program the user's data folder seeded from the shipped
// data.
#include "common/Files.h"
#include "store/ConfigFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

TEST(ProgramFolder, HomeThenBuildFolderThenSeededUserDataFolder) {
    test::TempDir t;
    const std::string bin = t / "usr/bin", shipped = t / "usr/share/trelvane";
    ASSERT_TRUE(makeFolder(t / "usr") && makeFolder(bin) && makeFolder(t / "usr/share") &&
                makeFolder(shipped));
    ASSERT_TRUE(writePlainFile(joinPath(shipped, "config.dat"), "shipped config"));
    ASSERT_TRUE(writePlainFile(joinPath(shipped, "w96f.dat"), "shipped plate"));

    EXPECT_EQ(resolveProgramFolder(bin, t / "home/", t / "data"), t / "home");

    // Installed: the user's folder, seeded once; the user's own files stay.
    const std::string user = t / "data/trelvane";
    EXPECT_EQ(resolveProgramFolder(bin, "", t / "data/"), user);
    EXPECT_EQ(t.read("data/trelvane/config.dat"), "shipped config");
    EXPECT_EQ(t.read("data/trelvane/w96f.dat"), "shipped plate");
    ASSERT_TRUE(writePlainFile(joinPath(user, "w96f.dat"), "edited plate"));
    ASSERT_TRUE(writePlainFile(joinPath(shipped, "w6.dat"), "new plate"));
    EXPECT_EQ(resolveProgramFolder(bin, "", t / "data"), user);
    EXPECT_EQ(t.read("data/trelvane/w96f.dat"), "edited plate");
    EXPECT_FALSE(fileExists(joinPath(user, "w6.dat"))) << "seeded only while config.dat is missing";

    // A build folder holds its own config.dat.
    ASSERT_TRUE(writePlainFile(joinPath(bin, "config.dat"), "build config"));
    EXPECT_EQ(resolveProgramFolder(bin, "", t / "data"), bin);
}

} // namespace
} // namespace trv
