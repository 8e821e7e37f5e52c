#include "offline/TrackSession.h"

#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "common/Numeric.h"
#include "reports/StoredDetection.h"
#include "setup/PlateDrawing.h"

#include <algorithm>

namespace trv {

namespace {

constexpr Rgb kWellOutline = rgb(150, 150, 150);
constexpr Rgb kOldPath = rgb(255, 200, 200);
constexpr double kMarkerRadius = 0.3;

// The tracking always counts events with the averaging threshold method,
// whatever the acquisition was recorded with.
StoredDetectionJob trackJob(const TrackAnalysis& track, const TrackRunOptions& o) {
    StoredDetectionJob job;
    job.folder = o.folder;
    job.rtBuffer = o.rtBuffer;
    job.recordCount = track.blockCount();
    job.firstRecord = track.currentBlock();
    job.channels = track.channels();
    job.snr = o.snr;
    job.method = kMethodAverage;
    job.workers = o.workers;
    return job;
}

double beamX(double column) {
    return column + 0.5;
}
double beamY(double row) {
    return row + 0.5;
}

} // namespace

bool loadTrackTimes(TrackAnalysis& track, const std::string& folder, std::string* problem) {
    std::vector<int32_t> minutes;
    const std::string path = countsFilePath(folder);
    bool usable = fileExists(path);
    if (usable) {
        const std::vector<CountsRecord> records = readCounts(path);
        if (auto damaged = countsTimesProblem(path, records)) {
            if (problem) *problem = *damaged;
            usable = false;
        } else {
            for (const CountsRecord& r : records)
                minutes.push_back(r.minutes);
        }
    }
    track.setTimes(std::move(minutes));
    return usable;
}

std::vector<RawGap> trackRawGaps(const TrackAnalysis& track, const TrackRunOptions& options) {
    return rawBlockGaps(options.folder, track.blockCount(), options.rtBuffer);
}

std::string rawGapText(const RawGap& gap) {
    const std::string first = std::to_string(gap.firstRecord + 1),
                      last = std::to_string(gap.lastRecord + 1);
    return "no usable raw data for " +
           (first == last ? "block " + first : "blocks " + first + " to " + last) + ": " +
           gap.file + " " + gap.reason;
}

bool trackToEnd(TrackAnalysis& track, const TrackRunOptions& options,
                const std::function<bool(int block)>& afterBlock) {
    if (track.finished()) return true;
    // A block playback left half way is finished with the events it has.
    if (!track.atBlockStart()) {
        const int block = track.currentBlock();
        track.finishBlock();
        if (afterBlock && !afterBlock(block)) return false;
    }
    // Blocks without usable raw data have no events; the others are read in
    // runs of consecutive blocks.
    const int blocks = track.blockCount();
    std::vector<char> usable(static_cast<size_t>(std::max(blocks, 0)), 1);
    for (const RawGap& g : trackRawGaps(track, options))
        for (long long b = g.firstRecord; b <= g.lastRecord && b < blocks; ++b)
            usable[static_cast<size_t>(b)] = 0;
    while (!track.finished()) {
        const int block = track.currentBlock();
        if (!usable[static_cast<size_t>(block)]) {
            track.setBlockEmpty(block);
            track.finishBlock();
            if (afterBlock && !afterBlock(block)) return false;
            continue;
        }
        int end = block;
        while (end < blocks && usable[static_cast<size_t>(end)])
            ++end;
        StoredDetectionJob job = trackJob(track, options);
        job.recordCount = end;
        const StoredDetectionResult r =
            detectStoredBlocks(job, [&](int b, const std::vector<std::string>& marks) {
                track.setBlockEvents(b, marks);
                track.finishBlock();
                return !afterBlock || afterBlock(b);
            });
        if (r.end == StoredDetectionEnd::Stopped) return false;
        // A block that could not be read after all goes without events.
        if (r.end == StoredDetectionEnd::ReadFailed && !track.finished()) {
            const int failed = r.failedRecord >= track.currentBlock() && r.failedRecord < end
                                   ? r.failedRecord
                                   : track.currentBlock();
            usable[static_cast<size_t>(failed)] = 0;
        }
    }
    return true;
}

// --- drawing ----------------------------------------------------------------------

void Dibujar_trackplate(Surface& s, const PlateLayout& plate, const ChannelTables& channels) {
    Dibujar_placa(s, plate, channels, {}, kWellOutline);
}

void Dibujar_trackstep(Surface& s, const TrackAnalysis& track, const TrackMove& m) {
    s.setPenWidth(1);
    for (int c : track.wellChannels(m.well))
        s.circle(beamX(c / 16), beamY(c % 16), kBeamCircleRadius, platecolour::BeamInUse);
    for (int c : m.eventChannels)
        s.circle(beamX(c / 16), beamY(c % 16), kBeamCircleRadius, colour::Black);
    const BeamPoint& prev = m.before[0];
    s.circle(beamX(prev.column), beamY(prev.row), kMarkerRadius, colour::White);
    s.circle(beamX(m.to.column), beamY(m.to.row), kMarkerRadius, colour::Red);
    s.line(beamX(prev.column), beamY(prev.row), beamX(m.to.column), beamY(m.to.row), colour::Red);
    for (size_t i = 1; i + 1 < 4; ++i) {
        const BeamPoint& a = m.before[i];
        const BeamPoint& b = m.before[i + 1];
        s.line(beamX(a.column), beamY(a.row), beamX(b.column), beamY(b.row), kOldPath);
    }
}

void Dibujar_trackdistance(Surface& s, const PlateLayout& plate, int well, double beamUnits) {
    const int rows = std::max<int>(1, plate.Plate_Rows);
    const double x = (well / rows) * plate.Column_Pitch + plate.Column_Offset;
    const double y = (well % rows) * plate.Row_Pitch + plate.Row_Offset;
    const std::string text = std::to_string(roundHalfEven(beamUnits * kBeamStepMm)) + "mm";
    s.setFontScale(1.0);
    s.filledBox(x + 0.05, y + 7.0, x + 0.25 + s.textWidth("0000000mm"), y + 7.0 + s.textHeight(),
                colour::White);
    s.setForeColor(colour::Black);
    s.text(x + 0.25, y + 7.0, text);
}

void Dibujar_trackwells(Surface& s, const TrackAnalysis& track, const PlateLayout& plate,
                        const ChannelTables& channels) {
    Dibujar_trackplate(s, plate, channels);
    for (int w = 0; w < track.wellCount(); ++w) {
        const auto& h = track.history(w);
        if (!h[0].known()) continue;
        TrackMove m;
        m.well = w;
        m.to = h[0];
        for (size_t i = 0; i < m.before.size(); ++i)
            m.before[i] = h[std::min(i + 1, h.size() - 1)];
        m.distance = track.distance(w);
        Dibujar_trackstep(s, track, m);
        Dibujar_trackdistance(s, plate, w, m.distance);
    }
}

// --- the window's controls -------------------------------------------------------

TrackSession::TrackSession(OfflinePlots& plots) : plots_(plots) {}

TrackSession::~TrackSession() = default;

void TrackSession::redraw(Surface& s, const OfflineSource& src) {
    if (plots_.viewMode == offlineview::Track && track_)
        Dibujar_trackwells(s, *track_, src.config.plate(), src.config.channels());
}

void TrackSession::release() {
    playing_ = false;
    if (exporting_) {
        // The export loop ends at its next block and lets go then.
        stopExport_ = released_ = true;
        return;
    }
    detector_.reset();
    track_.reset();
}

double TrackSession::threshold(Ports&) {
    const AnalysisThreshold t = analysisThreshold(thresholdText);
    if (t.replaced) thresholdText = kDefaultThresholdText;
    return t.value;
}

bool TrackSession::detectCurrentBlock(const OfflineSource& src, Ports& ports) {
    const int block = track_->currentBlock();
    if (track_->loadedBlock() == block) return true;
    const double snr = threshold(ports);
    if (!detector_ || detectorSnr_ != snr) {
        TrackRunOptions o;
        o.folder = src.folder;
        o.rtBuffer = src.config.rawBlockSamples();
        o.snr = snr;
        detector_ = std::make_unique<StoredBlockDetector>(trackJob(*track_, o));
        detectorSnr_ = snr;
    }
    std::vector<std::string> marks;
    const bool gap = std::any_of(gaps_.begin(), gaps_.end(), [&](const RawGap& g) {
        return block >= g.firstRecord && block <= g.lastRecord;
    });
    if (!gap && detector_->detect(block, marks))
        track_->setBlockEvents(block, marks);
    else
        track_->setBlockEmpty(block);
    return true;
}

void TrackSession::showPosition(Ports& ports, long long position) {
    plots_.pageBoxText = std::to_string(position) + "/" + std::to_string(track_->lastPosition());
    ports.status.setText(status::OfflinePageBox, plots_.pageBoxText);
}

bool TrackSession::prepare(Surface& s, const OfflineSource& src, Ports& ports) {
    playing_ = false;
    bmpFolderMade_ = false;
    if (bmpChecked) bmpFolderMade_ = makeFolder(joinPath(src.folder, "bmp"));
    plots_.viewMode = offlineview::Track;
    plots_.panels.bmpCheck = true;
    plots_.panels.binSizeFrame = false;
    plots_.panels.pageControls = true;
    // The threshold box sets the tracking's threshold; the progress bar
    // below it follows an export.
    plots_.panels.analysisFrame = true;
    plots_.panels.progressBar = true;
    plots_.panels.plotGroupList = false;
    plots_.panels.groupPicker = false;
    plots_.panels.wellList = false;
    Dibujar_trackplate(s, src.config.plate(), src.config.channels());

    track_ = std::make_unique<TrackAnalysis>(src.config.plate());
    detector_.reset();
    std::string problem;
    if (!loadTrackTimes(*track_, src.folder, &problem)) {
        track_.reset();
        ports.prompter.show(problem.empty() ? "Activity file not Found" : problem);
        return false;
    }
    TrackRunOptions o;
    o.folder = src.folder;
    o.rtBuffer = src.config.rawBlockSamples();
    gaps_ = trackRawGaps(*track_, o);
    if (!track_->finished()) detectCurrentBlock(src, ports);
    showPosition(ports, 0);
    return true;
}

void TrackSession::cmd_track_Click(Surface& s, const OfflineSource& src, Ports& ports) {
    if (exporting_) {
        stopExport_ = true;
        return;
    }
    if (plots_.viewMode != offlineview::Track || !track_) {
        prepare(s, src, ports);
        return;
    }
    if (playing_) {
        playing_ = false;
        return;
    }
    if (track_->finished()) {
        // Played to the end: play it again from the start.
        track_->restart();
        Dibujar_trackplate(s, src.config.plate(), src.config.channels());
    }
    playing_ = !track_->finished();
}

void TrackSession::Timer_play_Timer(Surface& s, const OfflineSource& src, Ports& ports) {
    if (!playing_) return;
    if (plots_.viewMode != offlineview::Track || !track_ || exporting_) {
        playing_ = false;
        return;
    }
    detectCurrentBlock(src, ports);
    const long long position = track_->position();
    std::vector<TrackMove> moves;
    track_->step(&moves);
    showPosition(ports, position);
    for (const TrackMove& m : moves) {
        Dibujar_trackstep(s, *track_, m);
        Dibujar_trackdistance(s, src.config.plate(), m.well, m.distance);
    }
    if (!moves.empty() && bmpChecked) {
        if (!bmpFolderMade_) bmpFolderMade_ = makeFolder(joinPath(src.folder, "bmp"));
        s.saveBmp(joinPath(joinPath(src.folder, "bmp"), zeroPadded(position, 5) + ".bmp"));
    }
    if (track_->finished()) {
        playing_ = false;
        finish(src, ports);
    }
}

void TrackSession::mn_datatrack_Click(const OfflineSource& src, Ports& ports) {
    if (exporting_ || !track_) return;
    playing_ = false;
    exporting_ = true;
    stopExport_ = false;
    TrackRunOptions o;
    o.folder = src.folder;
    o.rtBuffer = src.config.rawBlockSamples();
    o.snr = threshold(ports);
    o.workers = workers;
    const int blocks = track_->blockCount();
    ports.status.setVisible(status::OfflineProgress, true);
    const bool done = trackToEnd(*track_, o, [&](int block) {
        ports.status.setProgress(status::OfflineProgress, block + 1, blocks);
        showPosition(ports, track_->position() - 1);
        ports.pump.processEvents();
        return !stopExport_;
    });
    exporting_ = false;
    if (released_) {
        released_ = false;
        release();
        return;
    }
    if (!done) return;
    finish(src, ports);
    track_.reset();
    detector_.reset();
    plots_.viewMode = offlineview::None;
}

void TrackSession::finish(const OfflineSource& src, Ports& ports) {
    TravelTableHeader h;
    h.separator = ports.locale.listSeparator();
    if (h.separator.empty()) h.separator = ",";
    h.decimalMark = ports.locale.decimalSeparator();
    h.date = ports.locale.formatDateTime(ports.clock.now());
    h.folder = src.folder;
    const std::string table =
        travelDistanceTable(*track_, src.config.plate(), src.config.channels(), h);
    lastTablePath = writeTravelTable(src.folder, table);
    if (lastTablePath.empty()) {
        ports.prompter.show("The travel distance table could not be written in " + src.folder);
        return;
    }
    // The table's zeros of blocks without raw data are no measurement.
    if (!gaps_.empty()) {
        std::string text = "The travel distance table " + lastTablePath +
                           " holds 0 for the blocks without raw data:";
        for (const RawGap& g : gaps_)
            text += "\r\n" + rawGapText(g);
        ports.prompter.show(text);
    }
    ports.desktop.openDocument(lastTablePath);
}

} // namespace trv
