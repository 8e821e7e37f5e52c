// The offline exports: the raw page as text, and exports that cannot write
// their file or find no program to open it.
#include "offline/OfflineExports.h"

#include "common/Files.h"
#include "support/Fakes.h"
#include "support/PlateLayouts.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

// Page 2 of blocks of 4 samples: block 0 and block 2 stored, block 1 not.
RawPage smallPage() {
    RawPage p;
    p.page = 2;
    p.pageCount = 3;
    p.rtBuffer = 4;
    p.blocks.assign(3, SignalBlock(5));
    p.present = {true, false, true};
    for (int b : {0, 2})
        for (int s = 0; s < 4; ++s) {
            p.blocks[static_cast<size_t>(b)].at(32, s) = static_cast<int16_t>(100 * b + s);
            p.blocks[static_cast<size_t>(b)].at(48, s) = static_cast<int16_t>(-s);
        }
    return p;
}

TEST(RawPageText, WellHeaderAndSamplesOneToTheLast) {
    // w96fPlate: channel 32 is beam 0 of well 8 (A2), channel 48 its beam 1.
    const PlateLayout plate = test::w96fPlate();
    const std::string text =
        rawPageText("Larvae", "/data/p00001/20240305_1500", plate, 32, smallPage(), "2/3");
    const std::string head = "\"Larvae\"\r\n\"/data/p00001/20240305_1500\"\r\n\r\n"
                             "Well: A2 Page[2/3] [#0.22k-0.44k] (-: block not stored)\r\n\r\n"
                             "A2.0 A2.1 \r\n";
    ASSERT_EQ(text.substr(0, head.size()), head);
    // Samples 1..4 of blocks 0 and 2; sample 4 repeats sample 3. The
    // missing block 1 keeps its four lines.
    EXPECT_EQ(text.substr(head.size()), "1 -1 \r\n2 -2 \r\n3 -3 \r\n3 -3 \r\n"
                                        "- - \r\n- - \r\n- - \r\n- - \r\n"
                                        "201 -1 \r\n202 -2 \r\n203 -3 \r\n203 -3 \r\n");
    // Without a gap the well line carries no note; blocks after the last
    // stored one are not written.
    RawPage tail = smallPage();
    tail.present = {true, false, false};
    const std::string plain = rawPageText("L", "F", plate, 32, tail, "2/3");
    EXPECT_EQ(plain.substr(plain.find("Well:")),
              "Well: A2 Page[2/3] [#0.22k-0.44k]\r\n\r\nA2.0 A2.1 \r\n"
              "1 -1 \r\n2 -2 \r\n3 -3 \r\n3 -3 \r\n");

    // A well of one channel: one header entry, one value a line.
    const std::string one = rawPageText("P", "F", test::w384Plate(), 0, smallPage(), "2/3");
    EXPECT_NE(one.find("\r\nA1.0 \r\n0 \r\n0 \r\n"), std::string::npos) << one;
}

TEST(OfflineExports, FailuresAreShownAndNothingIsOpened) {
    test::FakePorts fake;
    test::TempDir dir;
    // No raw page shown (the bar plot): nothing written, nothing started.
    EXPECT_FALSE(
        exportRawPage(dir.path(), "P", "F", test::w384Plate(), 0, RawPage{}, "", fake.ports));
    EXPECT_FALSE(fileExists(joinPath(dir.path(), kRawTextFile)));
    EXPECT_TRUE(fake.desktop.calls.empty());

    // A folder that cannot be written.
    const std::string missing = joinPath(dir.path(), "gone");
    EXPECT_FALSE(
        exportRawPage(missing, "P", "F", test::w384Plate(), 0, smallPage(), "2/3", fake.ports));
    EXPECT_TRUE(fake.prompter.saw(exportWriteError(joinPath(missing, kRawTextFile))));
    EXPECT_TRUE(exportJointReport(missing, KineticsTable{"Acq:\r\n", "x\r\n"}, fake.ports).empty());
    EXPECT_EQ(fake.prompter.messages.size(), 2u);
    EXPECT_TRUE(fake.desktop.calls.empty());

    // Written, but no program opens it.
    fake.desktop.result = false;
    const std::string report =
        exportJointReport(dir.path(), KineticsTable{"Acq:\r\n", "x\r\n"}, fake.ports);
    ASSERT_FALSE(report.empty());
    ASSERT_EQ(fake.desktop.calls.size(), 1u);
    EXPECT_EQ(fake.desktop.calls[0].args, std::vector<std::string>{report});
    EXPECT_TRUE(fake.prompter.saw(exportOpenError(report)));
}

} // namespace
} // namespace trv
