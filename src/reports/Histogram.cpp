#include "reports/Histogram.h"

#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "common/Numeric.h"
#include "reports/Statistics.h"

#include <algorithm>
#include <cmath>

namespace trv {

namespace {
constexpr int kUsedBins = 50; // bins 0..49 carry intervals; 50 is never written
constexpr int kAllBins = HistogramTable::kBins;

int32_t rounded32(double v) {
    if (!std::isfinite(v) || v < -2147483648.5 || v > 2147483647.5) throw Overflow16(0);
    return static_cast<int32_t>(roundHalfEven(v));
}
} // namespace

HistogramAccumulator::HistogramAccumulator(HistogramTables& tables, ReportStatistics& stats,
                                           int binSize)
    : tables_(tables), stats_(stats), binSize_(binSize < 1 ? 1 : binSize) {
    tables_.channelHistogram.reset(stats.columnCount);
    tables_.wellHistogram.reset(stats.columnCount);
    tables_.groupHistogram.reset(stats.columnCount);
    tables_.loaded = true;
}

void HistogramAccumulator::beginFile() {
    secondsSum_ = 0;
    records_ = 0;
}

void HistogramAccumulator::addRecord(const HistogramRecord& record) {
    secondsSum_ += record.secondsPerSample;
    ++records_;
    // A damaged time cannot move the boundary (nor loop for ever).
    if (!std::isfinite(record.minutes) || std::fabs(record.minutes) > 1e9) return;
    // The boundary moves by whole bins until it reaches the record's time;
    // it never moves back.
    if (static_cast<double>(boundary_) * binSize_ < record.minutes)
        boundary_ =
            std::max(boundary_, static_cast<long long>(std::ceil(record.minutes / binSize_)));
    while (static_cast<double>(boundary_) * binSize_ < record.minutes)
        ++boundary_;
    const long long column = boundary_;
    // Records past the acquisition's last column have no place in a report.
    if (column >= tables_.channelHistogram.columnSlots()) return;
    const int c = static_cast<int>(column);
    for (int bin = 0; bin < kUsedBins; ++bin)
        for (int ch = 0; ch < kChannels; ++ch)
            tables_.channelHistogram.at(bin, ch, c) =
                record.bins[static_cast<size_t>(ch)][static_cast<size_t>(bin)];
    stats_.columnPresent[static_cast<size_t>(c)] = true;
}

void HistogramAccumulator::endFile() {
    if (records_ > 0) tables_.meanSecondsPerSample = secondsSum_ / static_cast<double>(records_);
}

void combineHistograms(HistogramTables& t, ReportStatistics& stats, const ActivitySeries& series,
                       int lastBin, const ReportLayout& layout, int binSize) {
    const int B = binSize < 1 ? 1 : binSize;
    const int wells = layout.wellCount();
    const int last = std::min(lastBin, series.lastIndex());
    for (int i = 0; i <= last; ++i) {
        const int c = reportColumnOf(series.time[static_cast<size_t>(i)], B);
        if (!t.channelHistogram.hasColumn(c)) continue;
        for (int w = 0; w < wells; ++w) {
            if (layout.plate.Max_Beam == 0) {
                const int ch = layout.beam0Channel(w);
                if (ch < 0 || ch >= kChannels) continue;
                for (int bin = 0; bin < kAllBins; ++bin)
                    t.wellHistogram.at(bin, w, c) += t.channelHistogram.at(bin, ch, c);
                continue;
            }
            int m = 0;
            for (int b = 0; b <= layout.plate.Max_Beam; ++b) {
                int ch = layout.plate.wellChannel(w, b);
                if (ch >= 0 && ch < kChannels) ++m;
            }
            if (m == 0) continue;
            for (int bin = 0; bin < kAllBins; ++bin) {
                long long sum = 0;
                for (int b = 0; b <= layout.plate.Max_Beam; ++b) {
                    int ch = layout.plate.wellChannel(w, b);
                    if (ch >= 0 && ch < kChannels) sum += t.channelHistogram.at(bin, ch, c);
                }
                int32_t& cell = t.wellHistogram.at(bin, w, c);
                cell = rounded32(static_cast<double>(sum) / m + cell);
            }
        }
    }

    // Groups: member wells are those whose beam-0 channel is in the group.
    const int G = stats.maxGroup;
    const std::vector<std::vector<int>> members = layout.groupMemberWells(G);
    for (int g = 0; g <= G; ++g) {
        const auto& mw = members[static_cast<size_t>(g)];
        const int m = static_cast<int>(mw.size());
        if (m == 0) continue;
        stats.groupWellCount[static_cast<size_t>(g)] = m;
        for (int c = 1; c <= stats.columnCount; ++c) {
            if (!t.wellHistogram.hasColumn(c)) continue;
            for (int bin = 0; bin < kAllBins; ++bin) {
                long long sum = 0;
                for (int w : mw)
                    sum += t.wellHistogram.at(bin, w, c);
                int32_t& cell = t.groupHistogram.at(bin, g, c);
                cell = rounded32(static_cast<double>(sum) / m + cell);
            }
        }
    }
}

namespace {

// Feeds the records of one histogram file to the accumulator; false when a
// record cannot be read.
bool readHistogramFile(const std::string& path, HistogramAccumulator& acc) {
    HistogramRecord record;
    const long long n = histogramRecordCount(path);
    acc.beginFile();
    for (long long i = 0; i < n; ++i) {
        if (!readHistogramRecord(path, i, record)) return false;
        acc.addRecord(record);
    }
    acc.endFile();
    return true;
}

} // namespace

void loadHistograms(const std::string& folder, HistogramTables& tables, ReportStatistics& stats,
                    const ActivitySeries& series, int lastBin, const ReportLayout& layout,
                    int binSize, Prompter& prompter) {
    tables = HistogramTables{};
    const std::vector<std::string> files = listFiles(folder, kHistogramFilePattern);
    if (files.empty()) {
        prompter.show("Error getting Histogram.bin data");
        return;
    }
    try {
        // The number of the last file in name order; numbers missing below
        // it are skipped.
        const std::string& lastName = files.back();
        const double last = leadingNumber(lastName.substr(5, lastName.size() - 5 - 4));
        const int N = last > 9999 ? 9999 : last < 0 ? 0 : static_cast<int>(last);
        HistogramAccumulator acc(tables, stats, binSize);
        for (int v = 0; v <= N; ++v) {
            const std::string path = joinPath(folder, histogramFileName(v));
            if (fileExists(path) && !readHistogramFile(path, acc))
                throw std::runtime_error("unreadable");
        }
        combineHistograms(tables, stats, series, lastBin, layout, binSize);
    } catch (...) {
        prompter.show("Report Calculation Error");
    }
}

} // namespace trv
