#include "reports/ReportGenerator.h"

#include "common/Files.h"
#include "common/Numeric.h"
#include "common/RunLog.h"
#include "reports/ActivityFile.h"
#include "reports/Basal.h"
#include "reports/Histogram.h"
#include "reports/ReportLoad.h"
#include "reports/Resample.h"
#include "reports/Statistics.h"
#include "store/AcquisitionRecord.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace trv {

namespace {
const char* kActivityFile = "counts.bin";

int32_t largestTime(const ActivitySeries& s) {
    int32_t t = 0;
    for (int32_t v : s.time)
        t = std::max(t, v);
    return t;
}

std::string lastChars(const std::string& s, size_t n) {
    return s.size() > n ? s.substr(s.size() - n) : s;
}
} // namespace

int reportBinSize(const std::string& binText, int32_t D) {
    // The box holds a 16-bit number.
    double typed = leadingNumber(binText);
    int B = typed >= 32767 ? 32767 : static_cast<int>(roundHalfEven(std::max(typed, 0.0)));
    if (B < 1) B = 1;
    if (D < B) B = D > 30 ? static_cast<int>(std::floor(D / 15.0) * 15) : D;
    return B;
}

ReportOutcome finishReport(const ReportRequest& rq, const ActivitySeries& series, int32_t tmax,
                           int lastBin, int binSize, bool basal, const std::string& setting,
                           const ReportLayout& layout, Ports& ports) {
    ReportOutcome out;
    out.binSize = binSize;
    out.basal = basal;
    try {
        const std::string& folder = rq.acquisitionPath;
        ReportStatistics stats = computeStatistics(series, layout, tmax, lastBin, binSize,
                                                   rq.options.format, ports.prompter);
        HistogramTables histograms;
        if (rq.options.format == OutputFormat::Histogram)
            loadHistograms(folder, histograms, stats, series, lastBin, layout, binSize,
                           ports.prompter);

        ReportContent content;
        content.acquisitionPath = folder;
        content.title = readAcquisitionName(folder);
        content.setting = setting;
        content.basal = basal;
        content.basalChoice = rq.basalChoice;
        content.tmax = tmax;
        content.lastBin = lastBin;
        content.binSize = binSize;
        content.layout = &layout;
        content.stats = &stats;
        content.histograms = &histograms;
        if (auto path = writeReport(content, rq.options, ports)) {
            out.path = *path;
            out.status = ReportStatus::Written;
            return out;
        }
    } catch (...) {
    }
    ports.prompter.show("Report Error");
    out.status = ReportStatus::Failed;
    return out;
}

ReportOutcome generateReport(const ReportRequest& rq, ReportLayout& layout, Ports& ports) {
    ReportOutcome out;
    Prompter& prompter = ports.prompter;
    const std::string folder = rq.acquisitionPath;
    const std::string countsPath = joinPath(folder, kActivityFile);
    auto ended = [&] {
        out.status = ReportStatus::Ended;
        return out;
    };
    std::string damage;
    auto failed = [&] {
        prompter.show(reportErrorText(damage));
        out.status = ReportStatus::Failed;
        return out;
    };

    try {
        if (!fileExists(countsPath)) {
            prompter.show("Activity file not Found");
            return ended();
        }

        switch (loadReportLayout(folder, rq.programFolder, layout, prompter, &damage)) {
        case LayoutLoad::Loaded:
            break;
        case LayoutLoad::NoSetup:
            if (!layout.loaded) return failed();
            break;
        case LayoutLoad::PlateMissing:
            return ended(); // its message was shown
        case LayoutLoad::SetupDamaged:
        case LayoutLoad::PlateDamaged:
            return failed();
        }
        const std::string setting =
            rq.setting ? *rq.setting : reportSettingText(folder, ports.locale.decimalSeparator());

        const int32_t D = measureDuration(countsPath, prompter);
        const int B = reportBinSize(rq.binText, D);
        out.binSize = B;

        ActivitySeries series;
        const int n = loadActivityFile(countsPath, series, prompter);
        int32_t tmax = largestTime(series);
        const int lastBin = resampleSeries(series, tmax, n, B, prompter);
        if (lastBin == kResampleFailed) return ended();
        if (lastBin < 0) {
            prompter.show("Resampling ERROR");
            return ended();
        }

        if (basalRequested(rq.basalChoice)) {
            prompter.message("Using Groups Selected in Experiment: " + lastChars(folder, 20),
                             Buttons::Ok, "<BASAL CALCULATION>");
            const std::string basalFolder = basalFolderOf(folder, rq.basalChoice);
            if (basalFolder.empty()) return failed();
            const std::string basalCounts = joinPath(basalFolder, kActivityFile);
            ActivitySeries basal;
            const int bn = loadActivityFile(basalCounts, basal, prompter);
            int32_t btmax = largestTime(basal);
            const int nb = resampleSeries(basal, btmax, bn, B, prompter);
            if (nb == kResampleFailed) return ended();
            if (nb < 0) {
                prompter.show("Resampling ERROR");
                return ended();
            }
            std::optional<int> M = askBasalMinutes(btmax, B, prompter);
            if (!M) return ended();
            BasalResult r = applyBasal(series, lastBin, basal, nb, *M, B, layout, prompter);
            if (!r.proceed) return ended();
            out.basal = true;
        }

        return finishReport(rq, series, tmax, lastBin, B, out.basal, setting, layout, ports);
    } catch (const std::bad_alloc&) {
        const std::string text = outOfMemoryMessage(countsPath);
        runlog::error(text);
        prompter.show(text);
        out.status = ReportStatus::Failed;
        return out;
    } catch (...) {
        return failed();
    }
}

} // namespace trv
