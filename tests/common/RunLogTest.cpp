#include "common/RunLog.h"

#include "common/Files.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <regex>
#include <unistd.h>

namespace trv {
namespace {

TEST(RunLog, OneStampedLinePerEventRotatedBySizeAndSilentWhenClosed) {
    test::TempDir dir;
    runlog::info("nowhere: the log is not open");
    ASSERT_TRUE(runlog::open(dir.path(), "tester", 4096, 2));
    EXPECT_EQ(runlog::path(), dir / "trelvane.log");
    runlog::warn("block 3 not stored");
    const std::string first = dir.read("trelvane.log");
    const std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} tester\[(\d+)\] warning: )"
                          R"(block 3 not stored\r?\n)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(first, m, line)) << first;
    EXPECT_EQ(m[1], std::to_string(::getpid()));

    for (int i = 0; i < 200; ++i)
        runlog::info("event " + std::to_string(i) + std::string(40, '.'));
    runlog::close();
    runlog::error("nowhere again");
    EXPECT_TRUE(fileExists(dir / "trelvane.1.log"));
    EXPECT_TRUE(fileExists(dir / "trelvane.2.log"));
    EXPECT_FALSE(fileExists(dir / "trelvane.3.log"));
    EXPECT_LE(fileSize(dir / "trelvane.log"), 4096);
    EXPECT_NE(dir.read("trelvane.log").find("event 199"), std::string::npos);
    EXPECT_EQ(dir.read("trelvane.log").find("nowhere"), std::string::npos);
}

} // namespace
} // namespace trv
