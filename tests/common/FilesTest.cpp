#include "common/Files.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace trv {

TEST(Files, CopyCountAndAtomicWrite) {
    test::TempDir d;
    EXPECT_TRUE(writeFileAtomic(d / "a.txt", "one\r\ntwo\r\nthree"));
    EXPECT_EQ(countLines(d / "a.txt"), 3);
    EXPECT_EQ(countLines(d / "missing.txt"), 0);
    EXPECT_EQ(copyFile(d / "a.txt", d / "b.txt"), 1);
    EXPECT_EQ(d.read("b.txt"), "one\r\ntwo\r\nthree");
    EXPECT_EQ(copyFile(d / "missing.txt", d / "c.txt"), -1);
    EXPECT_FALSE(fileExists(d / "c.txt"));
    EXPECT_FALSE(writeFileAtomic(d / "no/such/folder.txt", "x"));
    EXPECT_EQ(countLines(d / "a.txt"), 3);
}

TEST(Files, ListsFoldersAndFilesAndSpace) {
    test::TempDir d;
    makeFolder(d / "20240101_0001");
    makeFolder(d / "p00003");
    d.write("w96f.dat", "x");
    d.write("W384.DAT", "x");
    d.write("other.txt", "x");
    EXPECT_EQ(listSubfolders(d.path()), (std::vector<std::string>{"20240101_0001", "p00003"}));
    EXPECT_EQ(listFiles(d.path(), "w*.dat"), (std::vector<std::string>{"W384.DAT", "w96f.dat"}));
    EXPECT_GE(freeDiskSpaceMB(d.path()), 0);
    EXPECT_EQ(freeDiskSpaceMB(d / "nowhere/at/all"), -1);
    EXPECT_FALSE(isSafeName(".."));
    EXPECT_FALSE(isSafeName("a/b"));
    EXPECT_TRUE(isSafeName("a b.csv"));
}

TEST(Files, AppendDurableAppends) {
    test::TempDir d;
    EXPECT_TRUE(appendDurable(d / "c.bin", "ab", 2));
    EXPECT_TRUE(appendDurable(d / "c.bin", "cd", 2));
    EXPECT_EQ(d.read("c.bin"), "abcd");
    EXPECT_EQ(fileSize(d / "c.bin"), 4);
}

} // namespace trv
