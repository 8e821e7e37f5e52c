#include "offline/RawPages.h"

#include "acquisition/DataFiles.h"
#include "acquisition/RawBlockReader.h"
#include "common/Files.h"

#include <algorithm>

namespace trv {

RawPageLayout RawPageLayout::ofFolder(const std::string& folder) {
    int highest = -1;
    for (const std::string& name : listFiles(folder, "*.bin"))
        highest = std::max(highest, rawFileNumber(name));
    return RawPageLayout(highest + 1);
}

RawBlockPlace RawPageLayout::place(int page, int block) const {
    RawBlockPlace p;
    p.countsRecord = countsRecord(page, block);
    p.file = RawBlockReader::fileNumberOf(p.countsRecord);
    p.recordInFile = static_cast<int>(p.countsRecord % kBlocksPerFile);
    return p;
}

bool RawPage::empty() const {
    return std::none_of(present.begin(), present.end(), [](bool b) { return b; });
}

int16_t RawPage::sample(int block, int channel, int s) const {
    if (!has(block) || channel < 0 || channel >= SignalBlock::kBeams || s < 0 || s > rtBuffer)
        return 0;
    // The last row is never sampled during a block: it repeats the row before.
    if (s == rtBuffer && s > 0) --s;
    return blocks[static_cast<size_t>(block)].at(channel, s);
}

RawPage loadRawPage(const std::string& folder, const RawPageLayout& layout, int page, int rtBuffer,
                    const RawPageProgress& progress, const std::atomic<bool>* cancel) {
    RawPage out;
    out.pageCount = layout.pageCount();
    out.rtBuffer = rtBuffer >= 1 ? rtBuffer : 500;
    if (page < 1 || page > out.pageCount) return out;
    out.page = page;
    out.blocks.resize(RawPageLayout::kBlocksPerPage, SignalBlock(1));
    out.present.assign(RawPageLayout::kBlocksPerPage, false);

    RawBlockReader reader(folder, out.rtBuffer);
    const int firstFile = (page - 1) * RawPageLayout::kFilesPerPage;
    const int files = std::min(RawPageLayout::kFilesPerPage, layout.rawFiles() - firstFile);
    for (int f = 0; f < files; ++f) {
        if (cancel && cancel->load()) break;
        for (int r = 0; r < RawPageLayout::kBlocksPerFile; ++r) {
            const int b = f * RawPageLayout::kBlocksPerFile + r;
            SignalBlock& block = out.blocks[static_cast<size_t>(b)];
            // A missing file or a block cut short ends this file's blocks.
            if (!reader.read(layout.countsRecord(page, b), block)) break;
            out.present[static_cast<size_t>(b)] = true;
        }
        if (progress) progress(f + 1, files);
    }
    return out;
}

} // namespace trv
