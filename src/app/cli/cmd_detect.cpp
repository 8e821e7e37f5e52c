// trelvane-cli detect: activity detection on one stored block of one channel.
#include "acquisition/Analysis_Module.h"
#include "acquisition/DataFiles.h"
#include "app/cli/CliArgs.h"
#include "common/Files.h"

namespace trv::cli {
namespace {

struct DetectOptions {
    std::string path;
    long long block = 0;
    int channel = 0, method = 0, rtBuffer = 500;
    double snr = 0;
    bool marks = false;
};

Runner setUp(CLI::App& cmd) {
    auto o = std::make_shared<DetectOptions>();
    cmd.add_option("RAWFILE", o->path, "raw data file (<N>.bin of an acquisition)")
        ->required()
        ->type_name("");
    addWholeNumber(cmd, "--block", o->block, 0, 1LL << 40, "block number, from 0")->required();
    addWholeNumber(cmd, "--channel", o->channel, 0, kChannels - 1, "channel 0..383")->required();
    addRealNumber(cmd, "--snr", o->snr, 0.1, 100.0, "signal-to-noise threshold")->required();
    addWholeNumber(cmd, "--method", o->method, 0, 3, "detection method 0..3")->required();
    addWholeNumber(cmd, "--rt-buffer", o->rtBuffer, 1, 32767,
                   "samples per block of the file (default 500)");
    cmd.add_flag("--marks", o->marks, "print the event marks too");

    return [o](const Context& c) {
        const std::string& path = o->path;
        if (!fileExists(path)) {
            c.err << c.name << ": cannot read " << path << "\n";
            return kExitFailure;
        }
        const long long size = fileSize(path);
        const long long recordSize = rawRecordSize(o->rtBuffer);
        const long long blocks = rawBlockCount(path, o->rtBuffer);
        if (size % recordSize != 0)
            c.err << c.name << ": warning: " << path << " is not a whole number of blocks of "
                  << recordSize << " bytes (RT_Buffer " << o->rtBuffer
                  << "); its last partial block is ignored\n";
        if (o->block >= blocks) {
            c.err << c.name << ": " << path << " holds " << blocks << " block"
                  << (blocks == 1 ? "" : "s") << " of RT_Buffer " << o->rtBuffer << ", no block "
                  << o->block << "\n";
            return kExitFailure;
        }
        SignalBlock samples;
        if (!readRawBlock(path, o->rtBuffer, o->block, samples)) {
            c.err << c.name << ": cannot read block " << o->block << " of " << path << "\n";
            return kExitFailure;
        }
        DetectionTrace trace;
        const int events = DetectActivity(samples, o->channel, o->snr, o->method, 0, "", 0, &trace);
        c.out << events << "\n";
        if (o->marks) c.out << trace.marks << "\n";
        return kExitOk;
    };
}

const CommandRegistration registered{
    "detect", "count the activity events of one channel in one stored raw block", setUp};

} // namespace
} // namespace trv::cli
