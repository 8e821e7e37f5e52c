// counts.bin: the record reader and the report's activity loading (times
// made continuous across midnight, the duration).
#include "FuzzSupport.h"

#include "acquisition/DataFiles.h"
#include "common/Prompter.h"
#include "reports/ActivityFile.h"

#include <fstream>
#include <iterator>
#include <sstream>

using namespace trv;

std::vector<std::string> trv::fuzz::fuzzSeeds() {
    const std::string folder = freshFolder();
    ChannelArray<int16_t> counts{};
    for (int m : {1390, 1410, 1439, 5, 20}) {
        for (int c = 0; c < kChannels; ++c)
            counts[static_cast<size_t>(c)] = static_cast<int16_t>((c * 7 + m) % 50);
        counts[kChannels] = 245;
        AppendCounts(folder, m, counts);
    }
    std::ifstream in(countsFilePath(folder), std::ios::binary);
    const std::string five(std::istreambuf_iterator<char>(in), {});
    return {five, five.substr(0, static_cast<size_t>(kCountsRecordSize)), five.substr(0, 900)};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::freshFolder();
    const std::string path = fuzz::writeInput("counts.bin", data, size);
    const long long n = countsRecordCount(path);
    fuzz::require(n == static_cast<long long>(size) / kCountsRecordSize, "whole records only");
    const std::vector<CountsRecord> records = readCounts(path);
    fuzz::require(records.size() == static_cast<size_t>(n), "every whole record is read");

    // Records rewritten with what they hold leave the file as it was, the
    // partial record at its end too.
    std::vector<int32_t> times;
    std::vector<int16_t> counts, temperatures;
    for (size_t j = 0; j < records.size() / 2 + 1 && j < records.size(); ++j) {
        times.push_back(records[j].minutes);
        counts.insert(counts.end(), records[j].counts.begin(),
                      records[j].counts.begin() + kChannels);
        temperatures.push_back(records[j].counts[kChannels]);
    }
    fuzz::require(rewriteCounts(path, times, counts, temperatures), "the rewrite succeeds");
    std::ifstream in(path, std::ios::binary);
    std::ostringstream back;
    back << in.rdbuf();
    fuzz::require(back.str() == std::string(reinterpret_cast<const char*>(data), size),
                  "a rewrite with the same values keeps every byte");
    CollectingPrompter prompter;
    measureDuration(path, prompter);
    ActivitySeries series;
    const int last = loadActivityFile(path, series, prompter);
    fuzz::require(last < series.size() || (last == 0 && series.size() == 0),
                  "the last loaded record is in the series");
    return 0;
}
