#include "reports/RawReprocess.h"

#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "common/Numeric.h"
#include "common/RunLog.h"
#include "common/TextRecord.h"
#include "reports/ActivityFile.h"
#include "reports/ReportLoad.h"
#include "reports/Resample.h"
#include "reports/StoredDetection.h"
#include "store/ProjectFile.h"
#include "store/StoreText.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace trv {

const std::vector<std::string>& reprocessMethodEntries() {
    static const std::vector<std::string> entries = {
        "0_Threshold+Binary (Old Method.w/filters)", "1_Threshold Avrg (Default.Agar&Liquid)",
        "2_uOrganism (Motility Index)", "3_Drosophila (Threshold)"};
    return entries;
}

const std::vector<std::string>& reprocessOrganismEntries() {
    static const std::vector<std::string> entries = {"C elegans(>L4)", "Zebrafish(Larvae)",
                                                     "Echinococcus", "Drosophila"};
    return entries;
}

ReprocessPreset reprocessPreset(int organism) {
    switch (organism) {
    case kOrganismZebrafish:
        return {"2.8", std::nullopt};
    case kOrganismEchinococcus:
        return {"1.8", 2};
    case kOrganismDrosophila:
        return {"0.8", 3};
    default:
        return {"1.8", std::nullopt};
    }
}

double thresholdValue(const std::string& text) {
    return leadingNumber(commaAsPoint(text));
}

bool thresholdInRange(int organism, double v) {
    if (organism == kOrganismDrosophila) return v >= 0.5 && v <= 1.0;
    return v >= 1.1 && v <= 6.0;
}

std::string checkedThresholdText(int organism, const std::string& typed) {
    const double v = thresholdValue(typed);
    if (!thresholdInRange(organism, v)) return organism == kOrganismDrosophila ? "0.8" : "1.8";
    return fixedDecimals(v, 1);
}

int reprocessLimitMinutes(bool replaceData, const std::string& hoursText) {
    if (replaceData) return kWholeAcquisitionMinutes;
    const double minutes = leadingNumber(commaAsPoint(hoursText)) * 60;
    if (!(minutes < kWholeAcquisitionMinutes)) return kWholeAcquisitionMinutes;
    const long long L = roundHalfEven(minutes);
    return L < kMinimumLapseMinutes ? kMinimumLapseMinutes : static_cast<int>(L);
}

std::string lapseHoursText(int minutes) {
    return fixedDecimals(minutes / 60.0, 2);
}

ReprocessRange reprocessRange(const std::vector<int32_t>& t, int L) {
    ReprocessRange r;
    const int n = static_cast<int>(t.size());
    // First pass: a record is read while the time read before it does not
    // exceed L, so the pass ends one record past the limit.
    long long previous = 0;
    for (int i = 0; i < n && previous <= L; ++i) {
        previous = t[static_cast<size_t>(i)];
        r.firstPassTmax = i == 0 ? t[0] : std::max(r.firstPassTmax, t[static_cast<size_t>(i)]);
        ++r.firstPassRecords;
    }
    // Second pass: detected while the time before the record is below L.
    previous = 0;
    for (int i = 0; i < n && previous < L; ++i) {
        previous = t[static_cast<size_t>(i)];
        ++r.processed;
    }
    return r;
}

std::string reprocessSettingText(int method, int organism, const std::string& thresholdText) {
    auto entry = [](const std::vector<std::string>& list, int i) {
        return i >= 0 && i < static_cast<int>(list.size()) ? list[static_cast<size_t>(i)]
                                                           : std::string();
    };
    return entry(reprocessMethodEntries(), method) + " " +
           entry(reprocessOrganismEntries(), organism) + " [SNR=" + thresholdText + "]";
}

namespace {

void put16(std::string& out, int16_t v) {
    const auto u = static_cast<uint16_t>(v);
    out += static_cast<char>(u & 0xff);
    out += static_cast<char>(u >> 8);
}

void put32(std::string& out, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((u >> (8 * i)) & 0xff);
}

// One record of a setup.dat line rebuilt with some items replaced; numbers
// stay numbers and texts are quoted.
std::string rebuiltLine(const std::string& line, const std::vector<std::pair<int, int>>& replace) {
    RecordReader r(line);
    RecordWriter w;
    for (int item = 0; item < 6; ++item) {
        std::string text = r.item();
        auto it = std::find_if(replace.begin(), replace.end(),
                               [&](const auto& p) { return p.first == item; });
        if (it != replace.end())
            w.integer(it->second);
        else if (isNumber(text))
            w.integer(roundHalfEven(leadingNumber(text)));
        else
            w.text(text);
    }
    w.end();
    std::string s = w.str();
    return s.substr(0, s.size() - 2); // without its line end
}

int recordingRtBuffer(const std::string& folder) {
    ProjectSetup setup;
    const SetupRead read = readSetupFile(joinPath(folder, kSetupFileName), setup);
    if (read.ok() || read.readUpTo >= 3)
        if (setup.RT_Buffer >= 1) return setup.RT_Buffer;
    return 500;
}

} // namespace

bool rewriteCounts(const std::string& path, const std::vector<int32_t>& times,
                   const std::vector<int16_t>& counts, const std::vector<int16_t>& temperatures) {
    auto old = readWholeFile(path, 1ull << 34);
    if (!old) return false;
    const size_t n = times.size();
    if (counts.size() < n * kChannels || temperatures.size() < n) return false;
    if (old->size() < n * kCountsRecordSize) return false;
    std::string out;
    out.reserve(old->size());
    for (size_t j = 0; j < n; ++j) {
        put32(out, times[j]);
        for (int ch = 0; ch < kChannels; ++ch)
            put16(out, counts[j * kChannels + static_cast<size_t>(ch)]);
        put16(out, temperatures[j]);
    }
    out.append(*old, n * kCountsRecordSize, std::string::npos);
    return writeFileAtomic(path, out);
}

bool updateAcquisitionSetup(const std::string& folder, int method, int organism, int snrx10) {
    const std::string setupPath = joinPath(folder, kSetupFileName);
    const std::string backupPath = joinPath(folder, kSetupBackupName);
    if (copyFile(setupPath, backupPath) != 1) return false;
    auto content = readStoreFile(backupPath);
    if (!content) return false;
    std::vector<std::string> lines = splitLines(*content);
    if (lines.size() < 10) return false;
    try {
        lines[3] = rebuiltLine(lines[3], {{4, method}});
        lines[9] = rebuiltLine(lines[9], {{0, organism}, {3, snrx10}});
    } catch (const RecordError&) {
        return false;
    }
    RecordWriter w;
    for (const std::string& line : lines)
        w.printed(line);
    return writeFileAtomic(setupPath, w.str());
}

namespace {

ReprocessOutcome reprocessRecords(const ReprocessRequest& rq, ReportLayout& layout, Ports& ports,
                                  const std::atomic<bool>& stop) {
    ReprocessOutcome out;
    Prompter& prompter = ports.prompter;
    StatusView& status = ports.status;
    const std::string& folder = rq.acquisitionPath;
    auto ended = [&](ReprocessStatus s) {
        out.status = s;
        return out;
    };
    std::string damage;
    auto failed = [&] {
        prompter.show(reportErrorText(damage));
        return ended(ReprocessStatus::Failed);
    };

    status.setVisible(status::ReportRawStatus, true);
    out.limitMinutes = reprocessLimitMinutes(rq.replaceData, rq.lapseText);
    const int L = out.limitMinutes;
    out.binText = leadingNumber(rq.binText) < 2 ? "2" : rq.binText;

    const std::string countsPath = countsFilePath(folder);
    if (!fileExists(countsPath)) {
        prompter.show("Activity file not Found");
        return ended(ReprocessStatus::Ended);
    }
    const std::vector<CountsRecord> records = readCounts(countsPath);
    std::vector<int32_t> stored;
    stored.reserve(records.size());
    for (const CountsRecord& r : records)
        stored.push_back(r.minutes);
    out.range = reprocessRange(stored, L);
    const int H = out.range.firstPassRecords;
    const int P = out.range.processed;

    int B = reportBinSize(out.binText, out.range.firstPassTmax);
    if (B < 2) B = 2;
    out.binSize = B;

    switch (loadReportLayout(folder, rq.programFolder, layout, prompter, &damage)) {
    case LayoutLoad::Loaded:
        break;
    case LayoutLoad::NoSetup:
        if (!layout.loaded) return failed();
        break;
    case LayoutLoad::PlateMissing:
        return ended(ReprocessStatus::Ended);
    case LayoutLoad::SetupDamaged:
    case LayoutLoad::PlateDamaged:
        return failed();
    }
    // The span the report will be made of: a damaged record time ends the
    // run here, before the detection works on blocks that cannot be reported.
    if (P > 0) {
        const std::vector<int32_t> corrected =
            dayCorrectedTimes(std::vector<int32_t>(stored.begin(), stored.begin() + P));
        const int32_t tmax = *std::max_element(corrected.begin(), corrected.end());
        const std::string spanError = binSpanMessage(binSpan(tmax, B));
        if (!spanError.empty()) {
            runlog::warn(countsPath + ": " + spanError + " (largest record time " +
                         std::to_string(tmax) + " minutes, bin " + std::to_string(B) + ")");
            prompter.show(spanError);
            return ended(ReprocessStatus::Ended);
        }
    }

    std::string total = "/";
    total += std::to_string(H);
    status.setText(status::ReportRawStatus, "Block 0" + total);

    const double T = thresholdValue(rq.thresholdText);

    StoredDetectionJob job;
    job.folder = folder;
    job.rtBuffer = recordingRtBuffer(folder);
    job.recordCount = P;
    job.zeroRecord.assign(static_cast<size_t>(P), 0);
    for (int i = 1; i < P; ++i)
        job.zeroRecord[static_cast<size_t>(i)] =
            stored[static_cast<size_t>(i)] < stored[static_cast<size_t>(i - 1)];
    if (P > 0 && stored[0] < 0) job.zeroRecord[0] = 1;
    for (int ch = 0; ch < kChannels; ++ch) {
        const int well = layout.wellOf(ch);
        if (well >= 0 && layout.beam0Channel(well) >= 0) job.channels.push_back(ch);
    }
    job.snr = T;
    job.method = rq.method;
    job.marks = rq.rawExport;
    job.tags.assign(stored.begin(), stored.begin() + P);
    job.workers = rq.workers;

    const StoredDetectionResult detected = detectStoredBlocks(job, [&](int i) {
        status.setText(status::ReportRawStatus, "Block " + std::to_string(i + 1) + total);
        // The count after a record, never past the records read.
        status.setText(status::ReportRawStatus,
                       "Block " + std::to_string(std::min(i + 2, std::max(H, 1))) + total);
        ports.pump.processEvents();
        return !stop.load();
    });
    if (detected.end == StoredDetectionEnd::Stopped) return ended(ReprocessStatus::Stopped);
    if (detected.end == StoredDetectionEnd::ReadFailed) return failed();

    // The report's series: the new counts with day-corrected times and the
    // stored temperatures.
    ActivitySeries series;
    try {
        series.resize(P);
        const std::vector<int32_t> corrected =
            dayCorrectedTimes(std::vector<int32_t>(stored.begin(), stored.begin() + P));
        for (int i = 0; i < P; ++i) {
            series.time[static_cast<size_t>(i)] = corrected[static_cast<size_t>(i)];
            series.temperature[static_cast<size_t>(i)] =
                records[static_cast<size_t>(i)].counts[kChannels];
        }
        series.counts = detected.counts;
    } catch (...) {
        return failed();
    }

    if (rq.replaceData) {
        status.setText(status::ReportRawStatus, "Saving...");
        // Every processed record is rewritten, the last one included.
        if (!rewriteCounts(countsPath, series.time, series.counts, series.temperature))
            return failed();
        out.countsReplaced = true;
        status.setText(status::ReportRawStatus, "Block " + std::to_string(H) + total);
        out.setupUpdated = updateAcquisitionSetup(folder, rq.method, rq.organism,
                                                  static_cast<int>(roundHalfEven(T * 10)));
        if (!out.setupUpdated) prompter.show("error Updating setup.dat");
        out.setting = reportSettingText(folder, ports.locale.decimalSeparator());
    } else {
        out.setting = reprocessSettingText(rq.method, rq.organism, rq.thresholdText);
    }

    if (P == 0) {
        prompter.show("Resampling ERROR");
        return ended(ReprocessStatus::Ended);
    }
    int32_t tmax = *std::max_element(series.time.begin(), series.time.end());
    const int lastBin = resampleSeries(series, tmax, P - 1, B, prompter);
    if (lastBin == kResampleFailed) return ended(ReprocessStatus::Ended);
    if (lastBin < 0) {
        prompter.show("Resampling ERROR");
        return ended(ReprocessStatus::Ended);
    }

    ReportRequest report;
    report.acquisitionPath = folder;
    report.programFolder = rq.programFolder;
    report.binText = std::to_string(B);
    report.options = rq.options;
    report.setting = out.setting;
    const ReportOutcome written =
        finishReport(report, series, tmax, lastBin, B, false, out.setting, layout, ports);
    if (written.status != ReportStatus::Written) return ended(ReprocessStatus::Failed);
    out.reportPath = written.path;
    out.status = ReprocessStatus::Reported;
    return out;
}

} // namespace

ReprocessOutcome reprocessRawData(const ReprocessRequest& rq, ReportLayout& layout, Ports& ports,
                                  const std::atomic<bool>& stop) {
    try {
        return reprocessRecords(rq, layout, ports, stop);
    } catch (const std::bad_alloc&) {
        // A counts.bin too large for this computer's memory: the run ends
        // with the reason instead of taking the program down.
        const std::string text = outOfMemoryMessage(countsFilePath(rq.acquisitionPath));
        runlog::error(text);
        ports.prompter.show(text);
    } catch (const std::exception& e) {
        runlog::error(rq.acquisitionPath + ": reprocessing failed: " + e.what());
        ports.prompter.show("Report Error");
    }
    ReprocessOutcome out;
    out.status = ReprocessStatus::Failed;
    return out;
}

} // namespace trv
