// Raw block files (0.bin, ...): the first input byte gives RT_Buffer (kept
// small so an input holds several blocks), the rest is the file.
#include "FuzzSupport.h"

#include "acquisition/DataFiles.h"
#include "acquisition/RawBlockReader.h"

#include <fstream>
#include <iterator>

using namespace trv;

std::vector<std::string> trv::fuzz::fuzzSeeds() {
    const std::string folder = freshFolder();
    SignalBlock block(3);
    for (int b = 0; b < SignalBlock::kBeams; ++b)
        for (int s = 0; s < 3; ++s)
            block.at(b, s) = static_cast<int16_t>(b * 3 + s);
    AppendRawBlock(folder, 0, block);
    AppendRawBlock(folder, 0, block);
    std::ifstream in(folder + "/" + rawFileName(0), std::ios::binary);
    const std::string two(std::istreambuf_iterator<char>(in), {});
    return {std::string(1, '\x02') + two, std::string(1, '\x02') + two.substr(0, 3000)};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int rtBuffer = data[0] % 8;
    const std::string folder = fuzz::freshFolder();
    const std::string path = fuzz::writeInput(rawFileName(0), data + 1, size - 1);
    const long long n = rawBlockCount(path, rtBuffer);
    SignalBlock block;
    for (long long i = 0; i <= n; ++i)
        fuzz::require(readRawBlock(path, rtBuffer, i, block) == (i < n), "whole blocks only");
    RawBlockReader reader(folder, rtBuffer);
    for (long long i = 0; i <= n && i < 11; ++i)
        fuzz::require(reader.read(i, block) == (i < n), "the reader reads the same blocks");
    return 0;
}
