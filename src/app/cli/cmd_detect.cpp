// trelvane-cli detect: activity detection on one stored block of one channel.
#include "acquisition/Analysis_Module.h"
#include "acquisition/DataFiles.h"
#include "app/cli/CliArgs.h"
#include "app/cli/CliCommands.h"
#include "common/Files.h"

namespace trv::cli {

const char* const kDetectUsage =
    "RAWFILE --block N --channel C --snr S --method M [--rt-buffer 500] [--marks]";

int runDetect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    auto usageError = [&](const std::string& message) {
        err << "trelvane-cli detect: " << message << "\n"
            << "usage: trelvane-cli detect " << kDetectUsage << "\n";
        return kExitUsage;
    };
    std::string error;
    const auto parsed =
        CliArgs::parse(args, {"block", "channel", "snr", "method", "rt-buffer"}, {"marks"}, error);
    if (!parsed) return usageError(error);
    if (parsed->positional().size() != 1)
        return usageError(parsed->positional().empty() ? "the raw data file is missing"
                                                       : "only one raw data file is analysed");
    long long block = 0, channel = 0, method = 0, rtBuffer = 0;
    double snr = 0;
    if (!parsed->integer("block", 0, 1LL << 40, block, error) ||
        !parsed->integer("channel", 0, kChannels - 1, channel, error) ||
        !parsed->real("snr", 0.1, 100.0, snr, error) ||
        !parsed->integer("method", 0, 3, method, error) ||
        !parsed->integer("rt-buffer", 1, 32767, rtBuffer, error, 500))
        return usageError(error);

    const std::string& path = parsed->positional().front();
    if (!fileExists(path)) {
        err << "trelvane-cli detect: cannot read " << path << "\n";
        return kExitFailure;
    }
    const long long size = fileSize(path);
    const long long recordSize = rawRecordSize(static_cast<int>(rtBuffer));
    const long long blocks = rawBlockCount(path, static_cast<int>(rtBuffer));
    if (size % recordSize != 0)
        err << "trelvane-cli detect: warning: " << path << " is not a whole number of blocks of "
            << recordSize << " bytes (RT_Buffer " << rtBuffer
            << "); its last partial block is ignored\n";
    if (block >= blocks) {
        err << "trelvane-cli detect: " << path << " holds " << blocks << " block"
            << (blocks == 1 ? "" : "s") << " of RT_Buffer " << rtBuffer << ", no block " << block
            << "\n";
        return kExitFailure;
    }
    SignalBlock samples;
    if (!readRawBlock(path, static_cast<int>(rtBuffer), block, samples)) {
        err << "trelvane-cli detect: cannot read block " << block << " of " << path << "\n";
        return kExitFailure;
    }

    DetectionTrace trace;
    const int events = DetectActivity(samples, static_cast<int>(channel), snr,
                                      static_cast<int>(method), 0, "", 0, &trace);
    out << events << "\n";
    if (parsed->flag("marks")) out << trace.marks << "\n";
    return out ? kExitOk : kExitFailure;
}

} // namespace trv::cli
