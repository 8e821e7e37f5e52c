#include "analysis/DoseAcquisition.h"
#include "analysis/DoseResponse.h"
#include "acquisition/DataFiles.h"
#include "cli/CliRun.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

namespace trv {
namespace {

TEST(DoseResponseCommand, WritesTheResultsOrSaysWhyNot) {
    test::AcquisitionFixture fx;
    test::TempDir io;
    const test::DoseScreen screen;
    const std::string acq = screen.write(fx, "20240315_0930");
    // A basal acquisition just like it: every well at 100 % of its basal.
    screen.write(fx, "20240315_0800");
    const std::string doses = joinPath(acq, kDoseMapFileName);
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string out, err; // err: a line it holds
    } cases[] = {
        {{"--from", "5", "--to", "55"},
         0,
         acq + "/dose_response.csv\n" + acq + "/Compound_1.svg\n",
         "Compound 1: IC50 3."},
        {{"--from", "5", "--to", "55", "--basal", "20240315_0800", "-o", io / "basal"},
         0,
         io / "basal/dose_response.csv\n" + io / "basal/Compound_1.svg\n",
         "Compound 1: no IC50: the same response in every well"},
        {{"--from", "5", "--to", "61"},
         1,
         "",
         "The response window cannot be used: the window [5, 61) ends after the acquisition"},
        {{"--from", "5", "--to", "5"}, 2, "", "--to must be after --from"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"dose-response", acq, "--doses", doses};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult r = runCli(io, fx.program, args);
        SCOPED_TRACE(::testing::PrintToString(c.args));
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

// A counts.bin, dose map or basal acquisition that cannot be used ends the
// command with a message and exit 1; a damaged record time gets the same
// message from every command that reads counts.bin.
TEST(DoseResponseCommand, RefusesWhatItCannotUse) {
    test::AcquisitionFixture fx;
    test::TempDir io;
    const test::DoseScreen screen;
    const std::string acq = screen.write(fx, "20240315_0930");
    const std::string basal = screen.write(fx, "20240315_0800");
    ASSERT_EQ(std::remove(joinPath(basal, "setup.dat").c_str()), 0);
    const std::string counts = countsFilePath(acq);
    const std::string good = readWholeFile(counts).value_or("");
    std::mt19937 gen(11);
    std::string noise(3 * 774, '\0');
    for (char& ch : noise)
        ch = static_cast<char>(gen());
    const std::string lowest = test::countsRecordBytes(0, std::vector<int16_t>(385, 1)) +
                               test::countsRecordBytes(INT32_MIN, std::vector<int16_t>(385, 1));
    const std::string noDoses = io / "none.csv";
    writeFileAtomic(noDoses, "group,compound,concentration\r\n");
    auto fitWith = [&](const std::string& doses, const std::vector<std::string>& more) {
        std::vector<std::string> a = {"dose-response", acq, "--doses", doses, "--from", "0",
                                      "--to",          "1"};
        a.insert(a.end(), more.begin(), more.end());
        return a;
    };
    const std::vector<std::string> fit = fitWith(acq + "/doses.csv", {});
    const std::string damaged = "minutes: the file is damaged";
    struct Case {
        std::string counts;
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {"", fit, "No whole record in " + counts},
        {noise, fit, damaged},
        {noise, {"kinetics", acq}, damaged},
        {noise, {"export-dam", acq}, damaged},
        {lowest, fit, "record 2 of " + counts + " has the time -2147483648 " + damaged},
        {lowest,
         {"kinetics", acq},
         "record 2 of " + counts + " has the time -2147483648 " + damaged},
        {good, fitWith(noDoses, {}), "Dose map " + noDoses + ": no doses"},
        {good, fitWith(acq + "/doses.csv", {"--basal", "20240315_0800"}),
         "The setup of the basal acquisition " + basal + " cannot be loaded"},
    };
    for (const Case& c : cases) {
        writeFileAtomic(counts, c.counts);
        const CliResult r = runCli(io, fx.program, c.args);
        SCOPED_TRACE(::testing::PrintToString(c.args));
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        EXPECT_FALSE(fileExists(joinPath(acq, kDoseResponseFileName)));
    }
}

} // namespace
} // namespace trv
