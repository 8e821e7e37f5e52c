#include "acquisition/RawBlockReader.h"

#include "acquisition/DataFiles.h"
#include "common/Files.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace trv {

RawBlockReader::RawBlockReader(std::string folder, int rtBuffer)
    : folder_(std::move(folder)), rows_(rtBuffer < 0 ? 1 : rtBuffer + 1),
      recordBytes_(rawRecordSize(rows_ - 1)) {
    raw_.resize(static_cast<size_t>(rows_) * SignalBlock::kBeams);
}

RawBlockReader::~RawBlockReader() {
    if (fd_ >= 0) ::close(fd_);
}

bool RawBlockReader::openFile(int fileNumber) {
    if (fileNumber == fileNumber_ && fd_ >= 0) return true;
    if (fd_ >= 0) ::close(fd_);
    fileNumber_ = fileNumber;
    const std::string path = joinPath(folder_, rawFileName(fileNumber));
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd_ >= 0;
}

bool RawBlockReader::read(long long record, SignalBlock& block) {
    if (record < 0 || !openFile(fileNumberOf(record))) return false;
    auto* bytes = reinterpret_cast<char*>(raw_.data());
    const size_t size = static_cast<size_t>(recordBytes_);
    const off_t offset = static_cast<off_t>(offsetOf(record));
    size_t got = 0;
    while (got < size) {
        ssize_t n = ::pread(fd_, bytes + got, size - got, offset + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<size_t>(n);
    }
    if constexpr (std::endian::native == std::endian::big) {
        for (int16_t& v : raw_)
            v = static_cast<int16_t>(static_cast<uint16_t>((static_cast<uint16_t>(v) >> 8) |
                                                           (static_cast<uint16_t>(v) << 8)));
    }
    if (block.sampleCount() != rows_) block.resize(rows_);
    // Sample-major on disk, beam-major in the block: a few rows at a time,
    // so the rows being written stay in the cache.
    constexpr int kTile = 16;
    const int16_t* src = raw_.data();
    for (int s0 = 0; s0 < rows_; s0 += kTile) {
        const int s1 = std::min(rows_, s0 + kTile);
        for (int b = 0; b < SignalBlock::kBeams; ++b) {
            int16_t* dst = block.row(b);
            for (int s = s0; s < s1; ++s)
                dst[s] = src[static_cast<size_t>(s) * SignalBlock::kBeams + static_cast<size_t>(b)];
        }
    }
    return true;
}

} // namespace trv
