#include "reports/WellExport.h"

#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "common/Numeric.h"
#include "common/RunLog.h"
#include "reports/ActivityFile.h"
#include "reports/ReportLoad.h"
#include "reports/Resample.h"
#include "reports/Statistics.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <new>
#include <unistd.h>
#include <utility>

namespace trv {

namespace {

// Export files are made again from the data whenever needed: a plain
// write, without the sync of a store file (hundreds of files).
bool writeExportFile(const std::string& path, const std::string& text) {
    return writePlainFile(path, text);
}

} // namespace

int wellExportBinSize(const std::string& binText, int32_t tmax) {
    const double typed = leadingNumber(binText);
    int B = typed >= 32767 ? 32767 : static_cast<int>(roundHalfEven(std::max(typed, 0.0)));
    if (B < 2) B = 2;
    const long long span = static_cast<long long>(tmax) + 1;
    if (span < B) B = tmax > 30 ? static_cast<int>(span / 15 * 15) : static_cast<int>(span);
    return B;
}

std::string wellExportStamp(const LocalDateTime& t) {
    return zeroPadded(t.day, 2) + "/" + zeroPadded(t.month, 2) + "/" + zeroPadded(t.year, 4) + " " +
           zeroPadded(t.hour, 2) + ":" + zeroPadded(t.minute, 2);
}

std::string wellExportFileName(const PlateLayout& plate, int well) {
    return zeroPadded(well, 3) + "_" + plate.wellLabel(well) + ".txt";
}

std::string channelExportFileName(int channel) {
    return "ch" + zeroPadded(channel, 6) + ".txt";
}

WellExportOutcome exportWells(const WellExportRequest& rq, ReportLayout& layout, Ports& ports) {
    WellExportOutcome out;
    Prompter& prompter = ports.prompter;
    const std::string& folder = rq.acquisitionPath;
    std::string damage;
    auto fail = [&] {
        prompter.show(reportErrorText(damage));
        out.status = WellExportStatus::Failed;
        return out;
    };
    try {
        const std::string countsPath = countsFilePath(folder);
        if (!fileExists(countsPath)) {
            prompter.show("Activity file not Found");
            out.status = WellExportStatus::Ended;
            return out;
        }
        switch (loadReportLayout(folder, rq.programFolder, layout, prompter, &damage)) {
        case LayoutLoad::Loaded:
            break;
        case LayoutLoad::NoSetup:
            if (!layout.loaded) return fail();
            break;
        case LayoutLoad::PlateMissing:
            out.status = WellExportStatus::Ended;
            return out;
        default:
            return fail();
        }

        // Every record, with its time made continuous across midnight.
        const std::vector<CountsRecord> records = readCounts(countsPath);
        if (records.empty()) return fail();
        std::vector<int32_t> stored;
        for (const CountsRecord& r : records)
            stored.push_back(r.minutes);
        const std::vector<int32_t> corrected = dayCorrectedTimes(stored);
        ActivitySeries series;
        series.resize(static_cast<int>(records.size()));
        for (size_t i = 0; i < records.size(); ++i) {
            series.time[i] = corrected[i];
            series.temperature[i] = records[i].counts[kChannels];
            std::copy(records[i].counts.begin(), records[i].counts.begin() + kChannels,
                      series.counts.begin() + static_cast<ptrdiff_t>(i) * kChannels);
        }
        // As in the report, times below 0 do not lengthen the acquisition.
        const int32_t tmax =
            std::max({0, *std::max_element(stored.begin(), stored.end()), corrected.back()});

        // The bins are summed with the same size as the lines are labelled.
        const int B = wellExportBinSize(rq.binText, tmax);
        out.binSize = B;
        // The report's limits on the span: a damaged record time must not
        // make hundreds of thousands of bins.
        const std::string spanError = binSpanMessage(binSpan(tmax, B));
        if (!spanError.empty()) {
            runlog::warn(countsPath + ": " + spanError + " (largest record time " +
                         std::to_string(tmax) + " minutes, bin " + std::to_string(B) + ")");
            prompter.show(spanError);
            out.status = WellExportStatus::Ended;
            return out;
        }
        const int n = std::max(1, static_cast<int>(roundHalfEven(static_cast<double>(tmax) / B)));
        out.bins = n;
        const ReportStatistics stats = computeStatistics(series, layout, tmax, series.lastIndex(),
                                                         B, OutputFormat::Rows, prompter);

        // Every file is made before the first is written, so that a stop
        // leaves the earlier export whole.
        std::vector<std::pair<std::string, std::string>> files;
        const double total = rq.timeField ? layout.wellCount() : kChannels + 1;
        auto made = [&](std::string path, std::string text) {
            files.emplace_back(std::move(path), std::move(text));
            if (rq.progress) rq.progress(static_cast<double>(files.size()), total);
            return !(rq.stop && rq.stop->load());
        };
        bool going = !(rq.stop && rq.stop->load());
        if (rq.timeField) {
            const double base = toSerialDays(rq.timeBase);
            for (int w = 0; going && w < layout.wellCount(); ++w) {
                if (layout.beam0Channel(w) < 0) continue;
                std::string text;
                for (int j = 1; j <= n; ++j) {
                    const LocalDateTime t =
                        fromSerialDays(base + j * static_cast<double>(B) / 1440);
                    text +=
                        wellExportStamp(t) + " " +
                        std::to_string(j <= stats.columnCount + 1 ? stats.wellValue.at(w, j) : 0) +
                        "\r\n";
                }
                going = made(joinPath(folder, wellExportFileName(layout.plate, w)), text);
            }
        } else {
            for (int ch = 0; going && ch < kChannels; ++ch) {
                std::string text;
                for (int j = 1; j <= n; ++j) {
                    if (j > 1) text += ' ';
                    text += std::to_string(j <= stats.columnCount + 1 ? stats.channelValue.at(ch, j)
                                                                      : 0);
                }
                text += "\r\n";
                going = made(joinPath(folder, channelExportFileName(ch)), text);
            }
            std::string text;
            for (int j = 1; j <= n; ++j) {
                if (j > 1) text += ' ';
                text += std::to_string(static_cast<long long>(j) * B * 60);
            }
            text += "\r\n";
            if (going) going = made(joinPath(folder, "time.txt"), text);
        }
        if (!going) {
            out.stopped = true;
            out.status = WellExportStatus::Ended;
            return out;
        }
        for (const auto& [path, text] : files) {
            if (!writeExportFile(path, text)) return fail();
            out.files.push_back(path);
        }

        if (rq.openResult) {
            const bool folderShown = ports.desktop.openFolder(folder);
            ports.pump.processEvents(1000);
            // time.txt, or the first well's file: what was just written.
            const std::string shown =
                rq.timeField ? (out.files.empty() ? "" : out.files.front()) : out.files.back();
            const bool fileShown = !shown.empty() && ports.desktop.openDocument(shown);
            if (!folderShown && !fileShown)
                ports.prompter.show(noViewerMessage(shown.empty() ? folder : shown));
        }
        out.status = WellExportStatus::Written;
        return out;
    } catch (const std::bad_alloc&) {
        const std::string text = outOfMemoryMessage(countsFilePath(folder));
        runlog::error(text);
        prompter.show(text);
        out.status = WellExportStatus::Failed;
        return out;
    } catch (...) {
        return fail();
    }
}

} // namespace trv
