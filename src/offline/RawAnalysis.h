// Re-analysis of the stored raw signal in the channel signal view ("Analyze"
// of the analysis frame): the activity detection runs again on the picked
// well's beams over the page shown, with a chosen threshold and method, and
// its threshold curve, the event counts per raw file and the block times are
// drawn over the signal. Nothing is written to disk.
#pragma once

#include "common/StatusView.h"
#include "display/Surface.h"
#include "offline/OfflinePlots.h"

#include <array>
#include <string>
#include <vector>

namespace trv {

struct RawAnalysisResult {
    double threshold = 1.8;
    bool thresholdReplaced = false; // the box is to show "1.8"
    int method = 0;
    bool analysed = false;     // false without raw data or without a picked well
    std::vector<int> channels; // the well's channels, beam order
    // Events per channel and per raw file of the page.
    std::vector<std::array<int, RawPageLayout::kFilesPerPage>> counts;
    // The block of each file slot whose record time labels it (-1: the file
    // is not on the page), and that time in minutes.
    std::array<int, RawPageLayout::kFilesPerPage> labelBlock{};
    std::array<long long, RawPageLayout::kFilesPerPage> labelTime{};
};

// "Analyze": reads the threshold box (outside 1.1..6 it becomes 1.8) and
// the method (0 or 1, the index in the method list), switches to the
// channel signal view, draws the page again and lays the analysis over it.
// progress, when given, shows the blocks done on the progress bar.
RawAnalysisResult Dibujar_analisis(Surface& s, OfflinePlots& plots, const OfflineSource& src,
                                   const std::string& thresholdText, int method,
                                   StatusView* progress = nullptr);

} // namespace trv
