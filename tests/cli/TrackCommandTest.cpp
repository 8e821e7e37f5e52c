// trelvane-cli track on the hand-made 6-well acquisition: the travel
// distance table, where it goes, and the blocks it cannot track.
#include "cli/CliRun.h"
#include "offline/TrackAcquisition.h"

#include <gtest/gtest.h>

#include <tuple>
#include <unistd.h>

namespace trv {
namespace {

const std::string kLarvae = "18,0,0,0,0,0,0,0,0,0,0,0,13", kControl = "0,9,0,0,0,0,0,0,0,0,0,0,0",
                  kNone = "0,0,0,0,0,0,0,0,0,0,0,0,0";

// The table without its date line (C locale: "," and "."), with the
// millimetres per block of wells 0 and 1.
std::string expectedTable(const std::string& acq, const std::string& larvae = kLarvae,
                          const std::string& control = kControl) {
    return "\r\n\"FILE:\",\"" + acq +
           "\"\r\n"
           "\r\n"
           "\"<<<<<< Travel Distance: [milimeter/acq_block] >>>>>>\"\r\n"
           "Group/Time[m],0.0,2.0,4.0,6.0,8.0,10.0,12.0,14.0,16.0,18.0,20.0,22.0,24.0\r\n"
           "\"000_Larvae\"," +
           larvae + "\r\n\"001_Control\"," + control +
           "\r\n"
           "\"002_Free\",0,0,0,0,0,0,0,0,0,0,0,0,0\r\n"
           "\"003_Free\",0,0,0,0,0,0,0,0,0,0,0,0,0\r\n"
           "\"004_Free\",0,0,0,0,0,0,0,0,0,0,0,0,0\r\n"
           "\"005_Free\",0,0,0,0,0,0,0,0,0,0,0,0,0\r\n"
           "\r\n";
}

std::string withoutDate(const std::string& path) {
    const std::string s = readWholeFile(path).value_or("");
    return s.substr(std::min(s.size(), s.find("\r\n")));
}

TEST(TrackCommand, WritesTheTableBesideTheReportsNeverOverThem) {
    test::AcquisitionFixture fx;
    test::TempDir io;
    const std::string acq = test::writeTrackAcquisition(fx);

    const std::string out = io / "tables/track.csv";
    CliResult r = runCli(io, fx.program, {"track", acq, "--output", out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, out + "\n");
    EXPECT_EQ(withoutDate(out), expectedTable(acq));

    // The activity report stays; each table takes the next free report_N.csv.
    writeFileAtomic(acq + "/report.csv", "the activity report");
    for (const char* name : {"/report_1.csv", "/report_2.csv"}) {
        r = runCli(io, fx.program, {"track", acq});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, acq + name + "\n");
        EXPECT_EQ(withoutDate(acq + name), expectedTable(acq));
    }
    EXPECT_EQ(readWholeFile(acq + "/report.csv").value_or(""), "the activity report");

    // Only 6-well acquisitions of larvae or flies are tracked.
    const std::string worms = fx.acquisition("20240315_1030", "Worms");
    r = runCli(io, fx.program, {"track", worms});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("6-well plate (w6)"), std::string::npos) << r.err;
}

// Raw files missing, short or of another block size: their blocks are named
// and count no distance; with no block left nothing is written.
TEST(TrackCommand, NamesTheBlocksWithoutUsableRawData) {
    test::AcquisitionFixture fx;
    test::TempDir io;
    const std::string acq = test::writeTrackAcquisition(fx);
    const std::string first = acq + "/0.bin", second = acq + "/1.bin";
    const std::string firstBytes = readWholeFile(first).value_or(""),
                      secondBytes = readWholeFile(second).value_or("");
    const long long block = 501LL * 770;
    const std::string prefix = "trelvane-cli track: no usable raw data for ";
    struct Case {
        long long firstSize, secondSize; // -1: missing
        int exitCode;
        std::string err;
        std::string larvae, control; // the rows of wells 0 and 1
    } cases[] = {
        {11 * block, -1, 0, prefix + "blocks 12 to 13: 1.bin is missing\n",
         "18,0,0,0,0,0,0,0,0,0,0,0,0", kControl},
        {3 * block, 2 * block, 0, prefix + "blocks 4 to 11: 0.bin holds 3 of its 11 blocks\n",
         kLarvae, kControl},
        // Well 0 is first seen in block 13: no distance.
        {11 * block - 770, 2 * block, 0,
         prefix + "blocks 1 to 11: 0.bin has " + std::to_string(11 * block - 770) +
             " bytes, no whole number of blocks of RT_Buffer 500: damaged, or written with "
             "another RT_Buffer\n",
         kNone, kNone},
        {-1, -1, 1,
         prefix + "blocks 1 to 11: 0.bin is missing\n" + prefix +
             "blocks 12 to 13: 1.bin is missing\n"
             "trelvane-cli track: no block could be tracked; nothing was written\n",
         "", ""},
    };
    for (const Case& c : cases) {
        for (auto [path, bytes, size] :
             {std::tuple{first, firstBytes, c.firstSize},
              std::tuple{second, secondBytes, c.secondSize}}) {
            ::unlink(path.c_str());
            if (size >= 0) writeFileAtomic(path, bytes.substr(0, static_cast<size_t>(size)));
        }
        const std::string table = io / "track.csv";
        ::unlink(table.c_str());
        const CliResult r = runCli(io, fx.program, {"track", acq, "--output", table});
        SCOPED_TRACE(c.err);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.err, c.err);
        if (c.exitCode == 0)
            EXPECT_EQ(withoutDate(table), expectedTable(acq, c.larvae, c.control));
        else
            EXPECT_FALSE(fileExists(table));
    }
}

} // namespace
} // namespace trv
