// The track view of the offline browser ("Single Animal Path Tracking"):
// playback of the tracks sample by sample on the plate picture, the export
// of the travel distances without drawing, and the drawing procedures of the
// track view. trelvane-cli track runs the same export (trackToEnd).
#pragma once

#include "acquisition/DataFiles.h"
#include "common/Ports.h"
#include "display/Surface.h"
#include "offline/OfflinePlots.h"
#include "offline/TrackAnalysis.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace trv {

class StoredBlockDetector;

namespace offlineview {
inline constexpr int None = 99; // after a track export: no view on the surface
} // namespace offlineview

// Milliseconds between two playback steps (Timer_play).
inline constexpr int kTrackPlaybackMs = 20;

// Gives the analysis the record times of an acquisition's counts.bin (and
// starts it from the beginning); false when counts.bin is missing, or when
// its record times are damaged (what is wrong in *problem, when given).
bool loadTrackTimes(TrackAnalysis& track, const std::string& folder,
                    std::string* problem = nullptr);

struct TrackRunOptions {
    std::string folder; // the acquisition folder
    int rtBuffer = 500; // RT_Buffer of the recording
    double snr = 1.8;   // the analysis threshold
    int workers = 2;    // detection threads (1: on the calling thread)
};

// The blocks of the acquisition without usable raw data, and what the user
// is told of each gap ("no usable raw data for blocks 12 to 13: 1.bin is
// missing"). Those blocks are tracked as blocks without events.
std::vector<RawGap> trackRawGaps(const TrackAnalysis& track, const TrackRunOptions& options);
std::string rawGapText(const RawGap& gap);

// Tracks from the current position to the end without drawing: the blocks
// are read and detected by worker threads and stepped through in order on
// the calling thread, where afterBlock(block) is called after each block
// (false stops; the analysis then stands at the start of the next block).
// Blocks past the stored raw data have no events. True when the end was
// reached.
bool trackToEnd(TrackAnalysis& track, const TrackRunOptions& options,
                const std::function<bool(int block)>& afterBlock = {});

// --- drawing procedures -------------------------------------------------------

// The plate behind the tracks: wells outlined in grey, every beam as a small
// circle (blue in a well, yellow otherwise), group marks, row letters and
// column numbers; plate units, beam (c, r) drawn at (c + 0.5, r + 0.5).
void Dibujar_trackplate(Surface& s, const PlateLayout& plate, const ChannelTables& channels);
// One well's move: its beams (black where an event is), the marker moved
// from the previous position to the new one, the newest stretch of path in
// red and the older ones in light pink.
void Dibujar_trackstep(Surface& s, const TrackAnalysis& track, const TrackMove& move);
// The well's distance so far in millimetres, in the lower left of its cell.
void Dibujar_trackdistance(Surface& s, const PlateLayout& plate, int well, double beamUnits);
// The plate with what the tracks show so far: each well's marker at its
// newest position, its recent path and its distance.
void Dibujar_trackwells(Surface& s, const TrackAnalysis& track, const PlateLayout& plate,
                        const ChannelTables& channels);

// The window's track controls: cmd_track, Timer_play, chk_bmp and the track
// pop-up's "Export Data". The window copies thresholdText and bmpChecked
// from its controls before each call, shows thresholdText afterwards, runs
// Timer_play while playing() and maps the page box and progress bar targets
// of the status view.
class TrackSession {
  public:
    explicit TrackSession(OfflinePlots& plots);
    ~TrackSession();

    std::string thresholdText = kDefaultThresholdText; // frmtxt_threshold
    bool bmpChecked = false;                           // chk_bmp
    int workers = 2;                                   // export detection threads

    bool playing() const { return playing_; }
    bool exporting() const { return exporting_; }
    const TrackAnalysis* analysis() const { return track_.get(); }

    // "Single Animal Path Tracking": outside the track view prepares it
    // (plate drawn, playback stopped); in it, starts playback (from the
    // start again once it has run to the end) or stops it. While an export
    // runs it stops the export.
    void cmd_track_Click(Surface& s, const OfflineSource& src, Ports& ports);
    // One playback step with drawing; the last one writes the travel table.
    // Outside the track view playback stops.
    void Timer_play_Timer(Surface& s, const OfflineSource& src, Ports& ports);
    // "Export Data": playback stops, the rest of the acquisition is tracked
    // without drawing (progress in the progress bar, window events running),
    // the travel table is written and opened, and the view is left.
    void mn_datatrack_Click(const OfflineSource& src, Ports& ports);
    // The surface changed size: in the track view the plate is drawn again
    // with every well's marker, recent path and distance.
    void redraw(Surface& s, const OfflineSource& src);
    // The chosen acquisition changes or the window closes.
    void release();

    // The travel table written last (empty: none).
    std::string lastTablePath;

  private:
    bool prepare(Surface& s, const OfflineSource& src, Ports& ports);
    double threshold(Ports& ports);
    bool detectCurrentBlock(const OfflineSource& src, Ports& ports);
    void showPosition(Ports& ports, long long position);
    void finish(const OfflineSource& src, Ports& ports);

    OfflinePlots& plots_;
    std::unique_ptr<TrackAnalysis> track_;
    std::unique_ptr<StoredBlockDetector> detector_;
    double detectorSnr_ = 0;
    bool playing_ = false;
    bool exporting_ = false;
    bool stopExport_ = false;
    bool released_ = false; // released while exporting
    bool bmpFolderMade_ = false;
    std::vector<RawGap> gaps_; // blocks without usable raw data
};

} // namespace trv
