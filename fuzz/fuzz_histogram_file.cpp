// Body-bend histogram files (histo0000.bin, ...) and the report's histogram
// tables built from them: the first input byte gives the bin size, the rest
// is histo0000.bin.
#include "FuzzSupport.h"

#include "acquisition/DataFiles.h"
#include "common/Prompter.h"
#include "reports/Histogram.h"
#include "reports/Statistics.h"
#include "store/PlateFormat.h"

#include <fstream>
#include <iterator>

using namespace trv;

std::vector<std::string> trv::fuzz::fuzzSeeds() {
    const std::string folder = freshFolder();
    BodyBendTable table{};
    for (int b = 0; b < kSlots; ++b)
        for (int bin = 0; bin < kHistogramFileBins; ++bin)
            table[static_cast<size_t>(b)][static_cast<size_t>(bin)] = (b + bin) % 9;
    AppendHistogram(folder, 0, 0.5, 0.01, table);
    AppendHistogram(folder, 0, 1.5, 0.01, table);
    std::ifstream in(folder + "/" + histogramFileName(0), std::ios::binary);
    const std::string two(std::istreambuf_iterator<char>(in), {});
    return {std::string(1, '\x01') + two};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int binSize = 1 + data[0] % 30;
    const std::string folder = fuzz::freshFolder();
    const std::string path = fuzz::writeInput(histogramFileName(0), data + 1, size - 1);
    const long long n = histogramRecordCount(path);
    HistogramRecord record;
    for (long long i = 0; i <= n; ++i)
        fuzz::require(readHistogramRecord(path, i, record) == (i < n), "whole records only");

    // An acquisition of four minutes on the 96-well plate.
    static const ReportLayout layout = [] {
        ReportLayout l;
        applyBuiltinPlate(l.plate, "w96f");
        l.loaded = true;
        return l;
    }();
    ActivitySeries series;
    for (int32_t t = 1; t <= 4; ++t) {
        series.time.push_back(t);
        series.temperature.push_back(240);
        series.counts.resize(series.counts.size() + kChannels, 1);
    }
    CollectingPrompter prompter;
    ReportStatistics stats = computeStatistics(series, layout, 4, series.lastIndex(), binSize,
                                               OutputFormat::Histogram, prompter);
    HistogramTables tables;
    loadHistograms(folder, tables, stats, series, series.lastIndex(), layout, binSize, prompter);
    return 0;
}
