// "Export to Monitor Files..." of the browser: the user's answers reach the
// export, bad minutes and a cancel write nothing, the result is shown.
#include "offline/MonitorFilesMenu.h"

#include "common/Desktop.h"
#include "common/Files.h"
#include "reports/AcquisitionFixture.h"
#include "store/StoreText.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

const std::string kOneMinute = "Records less than a minute apart: summed into 1-minute bins";

struct MonitorFilesMenu : ::testing::Test {
    test::AcquisitionFixture fx;
    test::FakePorts fake;
    std::string acq;
    void SetUp() override {
        acq = fx.acquisition("20240315_2330", "Night");
        test::AcquisitionFixture::writeCounts(
            acq, {0, 10, 20, 30}, [](int ch, int i) { return ch + i; }, [](int) { return 240; });
    }
    bool run() { return exportMonitorFilesFromBrowser(acq, fx.program, fake.ports); }
};

TEST_F(MonitorFilesMenu, RefusedOrCancelledAnswersWriteNothing) {
    for (const std::string typed : {"abc", "-1", "1.5", "", "40000"}) {
        fake.prompter.type(typed);
        EXPECT_FALSE(run()) << typed;
        ASSERT_EQ(fake.prompter.messages.size(), 1u) << typed;
        EXPECT_NE(fake.prompter.messages[0].text.find("whole number from 0 to 32767"),
                  std::string::npos);
        fake.prompter.clear();
    }
    fake.prompter.cancelInput();
    EXPECT_FALSE(run());
    fake.prompter.type("0");
    fake.prompter.answer(Answer::Cancel);
    EXPECT_FALSE(run());
    EXPECT_FALSE(fileExists(joinPath(acq, "Monitor1.txt")));
    EXPECT_TRUE(fake.desktop.calls.empty());
}

TEST_F(MonitorFilesMenu, WellsPerBinAreWrittenAndShown) {
    fake.prompter.type(" 20 ");
    fake.prompter.answer(Answer::Yes);
    ASSERT_TRUE(run()) << (fake.prompter.texts().empty() ? "" : fake.prompter.texts().back());
    ASSERT_EQ(fake.desktop.calls.size(), 1u);
    EXPECT_EQ(fake.desktop.calls[0].what, "showInFolder");
    EXPECT_EQ(fake.desktop.calls[0].args[0], joinPath(acq, "Monitor1.txt"));
    // Six wells fit one file; records at minutes 0 to 30 in bins of 20 give two lines.
    EXPECT_FALSE(fileExists(joinPath(acq, "Monitor2.txt")));
    const auto lines = splitLines(readWholeFile(joinPath(acq, "Monitor1.txt")).value_or(""));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 2), "1\t");
    // Well A1 sums channels 0 and 16 over records 0 and 1: 0+16 + 1+17.
    EXPECT_NE(lines[0].find("\t34\t"), std::string::npos) << lines[0];

    // Without a file manager the message names the file.
    fake.desktop.result = false;
    fake.prompter.type("20");
    fake.prompter.answer(Answer::Yes);
    ASSERT_TRUE(run());
    EXPECT_TRUE(fake.prompter.saw(noViewerMessage(joinPath(acq, "Monitor1.txt"))));
    EXPECT_FALSE(fake.prompter.saw(kOneMinute));
}

TEST_F(MonitorFilesMenu, RecordsWithinAMinuteAreSaidToBeSummed) {
    acq = fx.acquisition("20240305_0800", "Fast");
    test::AcquisitionFixture::writeCounts(
        acq, {0, 0, 1, 1, 2}, [](int ch, int i) { return ch + i; }, [](int) { return 240; });
    fake.prompter.type("0");
    fake.prompter.answer(Answer::No);
    ASSERT_TRUE(run());
    EXPECT_TRUE(fake.prompter.saw(kOneMinute));
    EXPECT_EQ(splitLines(readWholeFile(joinPath(acq, "Monitor1.txt")).value_or("")).size(), 3u);
}

} // namespace
} // namespace trv
