#include "offline/RawAnalysis.h"

#include "acquisition/Analysis_Module.h"
#include "acquisition/DataFiles.h"
#include "offline/TrackAnalysis.h"

#include <algorithm>

namespace trv {

namespace {

constexpr Rgb kThresholdGrey = rgb(128, 128, 128);
constexpr Rgb kBlockSeparator = rgb(200, 200, 200);

} // namespace

RawAnalysisResult Dibujar_analisis(Surface& s, OfflinePlots& plots, const OfflineSource& src,
                                   const std::string& thresholdText, int method,
                                   StatusView* progress) {
    RawAnalysisResult r;
    const AnalysisThreshold t = analysisThreshold(thresholdText);
    r.threshold = t.value;
    r.thresholdReplaced = t.replaced;
    r.method = method == 1 ? 1 : 0;
    r.labelBlock.fill(-1);

    plots.signalCaption = "[Channel Signal]";
    plots.groupCaption = "Group Activity";
    plots.viewMode = offlineview::Signal;
    const RawPage& page = plots.rawPage;
    if (plots.rawLayout.pageCount() == 0 || page.page < 1 || page.empty()) return r;

    const PlateLayout& p = src.config.plate();
    const int ch = plots.pickedChannel();
    const int well = ch >= 0 && ch < kChannels ? p.Channel_Well[static_cast<size_t>(ch)] : -1;
    std::vector<int> beams;
    for (int k = 0; well >= 0 && k <= p.Max_Beam; ++k)
        if (const int c = p.wellChannel(well, k); c >= 0) {
            r.channels.push_back(c);
            beams.push_back(k);
        }
    // The view is drawn again first, so analyses never pile up.
    plots.Dibujar_canales(s, src);
    if (r.channels.empty()) return r;
    r.analysed = true;
    r.counts.assign(r.channels.size(), {});

    std::vector<int32_t> times;
    for (const CountsRecord& rec : readCounts(countsFilePath(src.folder)))
        times.push_back(rec.minutes);
    auto timeOf = [&](int block) -> long long {
        const long long rec = plots.rawLayout.countsRecord(page.page, block);
        return rec < static_cast<long long>(times.size()) ? times[static_cast<size_t>(rec)] : -1;
    };

    const int S = page.rtBuffer;
    const int analysed = std::min(S, kDetectSamples);
    const int blocks = RawPageLayout::kBlocksPerPage;
    const int perFile = RawPageLayout::kBlocksPerFile;
    std::vector<int16_t> samples(static_cast<size_t>(S) + 1);
    DetectionTrace trace;
    s.setPenWidth(1);
    for (int b = 0; b < blocks; ++b) {
        const double x0 = static_cast<double>(S) * b;
        const int slot = RawPageLayout::fileSlot(b);
        if (page.has(b)) {
            for (size_t k = 0; k < r.channels.size(); ++k) {
                const int16_t* row = page.blocks[static_cast<size_t>(b)].row(r.channels[k]);
                // The detection clips what it analyses: a copy keeps the page as stored.
                std::copy(row, row + S + 1, samples.begin());
                r.counts[k][static_cast<size_t>(slot)] +=
                    DetectSamples(samples.data(), analysed, r.threshold, r.method, &trace);
                double prev = trace.threshold[0];
                for (int i = 1; i < analysed; ++i) {
                    const double v = trace.threshold[static_cast<size_t>(i)];
                    s.line(x0 + i - 1, prev, x0 + i, v, kThresholdGrey);
                    prev = v;
                }
            }
            if (const long long tm = timeOf(b); tm >= 0) {
                r.labelBlock[static_cast<size_t>(slot)] = b;
                r.labelTime[static_cast<size_t>(slot)] = tm;
            }
        }
        s.line(x0, 2150, x0, 0, kBlockSeparator);
        // At the last block of each file: the file's event counts per beam
        // and the time of its last block on the page.
        if ((b + 1) % perFile == 0 && r.labelBlock[static_cast<size_t>(slot)] >= 0) {
            const double x = static_cast<double>(S) * (b - 1);
            s.setForeColor(colour::Black);
            for (size_t k = 0; k < r.channels.size(); ++k)
                s.text(x, 100.0 * beams[k] + 100,
                       std::to_string(r.counts[k][static_cast<size_t>(slot)]));
            s.text(x, 2150, std::to_string(r.labelTime[static_cast<size_t>(slot)]));
        }
        if (progress) progress->setProgress(status::OfflineProgress, b + 1, blocks);
    }
    s.setForeColor(colour::Black);
    // After "100%" when the view is too narrow for both at the usual place.
    const double afterPercent =
        OfflinePlots::signalLeft(static_cast<double>(S) * blocks) + s.textWidth("100% ");
    s.text(std::max(100.0, afterPercent), 2150, "Time(min)");
    for (size_t k = 0; k < r.channels.size(); ++k)
        s.filledBox(100, 100.0 * beams[k] + 20, 600, 100.0 * beams[k] + 40,
                    OfflinePlots::beamColour(beams[k], p.Max_Beam));
    return r;
}

} // namespace trv
