// trelvane-cli detect, run as a program on raw files written by the
// acquisition's writer, against DetectActivity called directly.
#include "acquisition/Analysis_Module.h"
#include "acquisition/DataFiles.h"
#include "acquisition/SignalGenerators.h"
#include "cli/CliRun.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <random>

namespace trv {
namespace {

// Three blocks of organism-like signals, written as the acquisition writes them.
std::vector<SignalBlock> writeRawFile(const std::string& folder, int rtBuffer) {
    std::mt19937 rng(12);
    std::vector<SignalBlock> blocks;
    for (int k = 0; k < 3; ++k) {
        SignalBlock block(rtBuffer + 1);
        for (int b = 0; b < kChannels; ++b) {
            const auto row = test::makeSignal(static_cast<test::SignalKind>((b + k) % 3), rng);
            for (int s = 0; s <= rtBuffer; ++s)
                block.at(b, s) = row[static_cast<size_t>(s % 501)];
        }
        EXPECT_TRUE(AppendRawBlock(folder, 0, block));
        blocks.push_back(block);
    }
    return blocks;
}

TEST(CliDetect, CountsAndMarksMatchDetectActivity) {
    test::TempDir dir;
    const auto blocks = writeRawFile(dir.path(), 500);
    const std::string file = dir / "0.bin";
    int nonZero = 0;
    for (int method = 0; method <= 3; ++method) {
        for (auto [blockNo, channel] : {std::pair{0, 0}, {1, 17}, {2, 383}, {2, 200}}) {
            SignalBlock copy = blocks[static_cast<size_t>(blockNo)];
            DetectionTrace trace;
            const int expected = DetectActivity(copy, channel, 2.1, method, 0, "", 0, &trace);
            const CliResult r = runCli(dir, {"detect", file, "--block", std::to_string(blockNo),
                                             "--channel", std::to_string(channel), "--snr", "2.1",
                                             "--method", std::to_string(method), "--marks"});
            ASSERT_EQ(r.exitCode, 0) << r.err;
            EXPECT_EQ(r.out, std::to_string(expected) + "\n" + trace.marks + "\n");
            EXPECT_EQ(r.err, "");
            nonZero += expected > 0;
        }
    }
    EXPECT_GT(nonZero, 4) << "the blocks must carry activity";

    // Without --marks only the count; "--opt=value" and "," as decimal mark.
    SignalBlock copy = blocks[1];
    const int expected = DetectActivity(copy, 5, 1.8, 1, 0, "", 0, nullptr);
    const CliResult r = runCli(dir, {"detect", "--snr=1,8", file, "--block=1", "--channel", "5",
                                     "--method", "1", "--rt-buffer", "500"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, std::to_string(expected) + "\n");
}

TEST(CliDetect, OtherBlockLengths) {
    test::TempDir dir;
    const auto blocks = writeRawFile(dir.path(), 200);
    SignalBlock copy = blocks[2];
    const int expected = DetectActivity(copy, 9, 1.8, 1, 0, "", 0, nullptr);
    const CliResult r = runCli(dir, {"detect", dir / "0.bin", "--block", "2", "--channel", "9",
                                     "--snr", "1.8", "--method", "1", "--rt-buffer", "200"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, std::to_string(expected) + "\n");
    // Read with the wrong block length the file does not divide evenly.
    const CliResult wrong = runCli(dir, {"detect", dir / "0.bin", "--block", "0", "--channel", "9",
                                         "--snr", "1.8", "--method", "1"});
    EXPECT_NE(wrong.err.find("not a whole number of blocks"), std::string::npos) << wrong.err;
}

TEST(CliDetect, BadArgumentsAndFilesFailClearly) {
    test::TempDir dir;
    writeRawFile(dir.path(), 500);
    const std::string file = dir / "0.bin";
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"detect", file, "--block", "0", "--channel", "3", "--snr", "1.8"},
         2,
         "--method is required"},
        {{"detect", file, "--block", "0", "--channel", "384", "--snr", "1.8", "--method", "1"},
         2,
         "--channel must be between 0 and 383"},
        {{"detect", file, "--block", "x", "--channel", "3", "--snr", "1.8", "--method", "1"},
         2,
         "--block must be a whole number"},
        {{"detect", file, "--block", "0", "--channel", "3", "--snr", "abc", "--method", "1"},
         2,
         "--snr must be a number"},
        {{"detect", file, "--block", "0", "--channel", "3", "--snr", "1.8", "--method", "4"},
         2,
         "--method must be between 0 and 3"},
        {{"detect", file, "--block", "0", "--channel", "3", "--snr", "1.8", "--method", "1",
          "--fast"},
         2,
         "The following argument was not expected: --fast"},
        {{"detect", "--block", "0", "--channel", "3", "--snr", "1.8", "--method", "1"},
         2,
         "RAWFILE is required"},
        {{"detect", file, "--block", "0", "--channel", "3", "--snr", "1.8", "--method"},
         2,
         "--method: 1 required INT missing"},
        {{"detect", file, "--block", "3", "--channel", "3", "--snr", "1.8", "--method", "1"},
         1,
         "holds 3 blocks of RT_Buffer 500, no block 3"},
        {{"detect", dir / "missing.bin", "--block", "0", "--channel", "3", "--snr", "1.8",
          "--method", "1"},
         1,
         "cannot read " + dir / "missing.bin"},
        {{"frobnicate"}, 2, "unknown command \"frobnicate\""},
        {{}, 2, "usage: trelvane-cli [OPTIONS] COMMAND"},
    };
    for (const Case& c : cases) {
        const CliResult r = runCli(dir, c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << "stderr: " << r.err;
        EXPECT_EQ(r.out, "") << c.message;
    }
    const CliResult help = runCli(dir, {"help", "detect"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--rt-buffer"), std::string::npos);
}

} // namespace
} // namespace trv
