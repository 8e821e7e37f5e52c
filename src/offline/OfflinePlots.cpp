#include "offline/OfflinePlots.h"

#include "common/Files.h"
#include "common/Numeric.h"
#include "display/LivePlots.h"

#include <algorithm>
#include <array>

namespace trv {

namespace {

constexpr Rgb kAxisGrey = rgb(128, 128, 128);
constexpr Rgb kSelectedBar = rgb(200, 200, 200);
constexpr Rgb kBar = rgb(220, 220, 220);
constexpr Rgb kBlockSeparator = rgb(200, 200, 200);
constexpr int kBarsShown = 10;
constexpr double kBarLabelRoom = 9.5; // x units from a bar's name to the next one's
constexpr int kGroups = 384;          // groups 0..383 have names; 384 is the free group
// A damaged record time must not make the load allocate years of bins: a
// 32000-minute acquisition in 5-minute bins needs 6401.
constexpr long long kMaxBins = 8192;

std::string asInteger(double v) {
    return fixedDecimals(v, 0);
}

// The activity slot of a channel's group: 0..383, or the free group for a
// free channel and for any number a damaged table may hold.
int activityGroup(const ChannelTables& t, int channel) {
    int g = t.Channel_Group[static_cast<size_t>(channel)];
    return g >= 0 && g < kGroups ? g : kFreeGroup;
}

std::vector<CountsRecord> readCountsOrSay(const std::string& folder, Prompter& prompter,
                                          bool& found) {
    const std::string path = countsFilePath(folder);
    found = fileExists(path);
    if (!found) {
        prompter.show("Activity file not Found");
        return {};
    }
    return readCounts(path);
}

std::string withoutTabs(std::string s, const std::string& by) {
    std::string out;
    for (char c : s) {
        if (c == '\t')
            out += by;
        else
            out += c;
    }
    return out;
}

} // namespace

// --- group activity -------------------------------------------------------------

double GroupActivity::at(int group, int bin) const {
    if (group < 0 || group > kFreeGroup + 1 || bin < 0 || bin > binCount) return 0;
    return values[static_cast<size_t>(group) * static_cast<size_t>(binCount + 1) +
                  static_cast<size_t>(bin)];
}

void GroupActivity::reset(int bins) {
    binCount = bins;
    values.assign(static_cast<size_t>(kFreeGroup + 2) * static_cast<size_t>(bins + 1), 0.0);
}

long long groupActivity(const std::vector<CountsRecord>& records, const ChannelTables& channels,
                        bool binning, double binSize, GroupActivity& out) {
    const double B = binning ? std::max(binSize, 1.0) : binSize;
    long long T = 0;
    for (size_t i = 0; i < records.size(); ++i)
        T = i == 0 ? records[i].minutes : std::max<long long>(T, records[i].minutes);
    long long N = 1;
    if (binning) N = std::clamp(roundHalfEven(static_cast<double>(T) / B) + 1, 1LL, kMaxBins);
    out.reset(static_cast<int>(N));
    out.binSize = B;

    std::array<int, kChannels> groupOf{};
    std::array<int, kGroups> members{};
    for (int c = 0; c < kChannels; ++c) {
        groupOf[static_cast<size_t>(c)] = activityGroup(channels, c);
        if (groupOf[static_cast<size_t>(c)] < kGroups)
            ++members[static_cast<size_t>(groupOf[static_cast<size_t>(c)])];
    }

    const size_t stride = static_cast<size_t>(N + 1);
    // Bin k runs up to its end E = k B. A record at minute E - 1 or later is
    // the last of its bin (later records of that minute go to the next bin);
    // the first record at the last minute T also closes a bin that has not
    // reached its end, once, so that short acquisitions still fill bin 1.
    long long k = 1;
    bool lastClosed = false;
    for (const CountsRecord& r : records) {
        const long long bin = binning ? k : 1;
        if (bin <= N) {
            for (int c = 0; c < kChannels; ++c)
                out.values[static_cast<size_t>(groupOf[static_cast<size_t>(c)]) * stride +
                           static_cast<size_t>(bin)] += r.counts[static_cast<size_t>(c)];
        }
        if (!binning) continue;
        const double E = static_cast<double>(k) * B;
        const long long t = r.minutes;
        if (static_cast<double>(t) >= E - 1 || (t == T && !lastClosed)) {
            if (t == T) lastClosed = true;
            ++k;
            if (static_cast<double>(k) * B > static_cast<double>(T)) lastClosed = true;
        }
    }

    double largest = 0;
    for (int g = 0; g < kGroups; ++g) {
        for (long long b = 1; b <= N; ++b) {
            double& v = out.values[static_cast<size_t>(g) * stride + static_cast<size_t>(b)];
            const int n = members[static_cast<size_t>(g)];
            if (n == 0) {
                v = 0;
                continue;
            }
            const double mean = v / n;
            largest = std::max(largest, mean);
            v = static_cast<double>(roundHalfEven(mean));
        }
    }
    return roundHalfEven(largest);
}

long long loadGroupActivity(const std::string& folder, const ChannelTables& channels, bool binning,
                            double binSize, GroupActivity& out, Prompter& prompter) {
    bool found = false;
    std::vector<CountsRecord> records = readCountsOrSay(folder, prompter, found);
    return groupActivity(records, channels, binning, binSize, out);
}

int groupOfListEntry(const std::string& entry) {
    const int g = groupOfPickerEntry(entry);
    return g >= 0 && g < kGroups ? g : kFreeGroup;
}

// --- state and triggers ---------------------------------------------------------

void OfflinePlots::acquisitionChosen(const OfflineConfiguration& config) {
    OfflineGroupLists lists = offlineGroupLists(config);
    plotGroups = std::move(lists.plotGroups);
    groupPicker = std::move(lists.groupPicker);
    rowLetters = std::move(lists.rowLetters);
    columnNumbers = std::move(lists.columnNumbers);
    plotGroupSelected = 0;
    firstBar = 0;
    picker = SignalView{};
    const int first = config.plate().wellChannel(0, 0);
    picker.selectedChannel = static_cast<int16_t>(first >= 0 ? first : 0);
    rawLayout = RawPageLayout{};
    rawPage = RawPage{};
    currentPage = 1;
    panels.pageControls = false;
    panels.binSizeFrame = false;
}

void OfflinePlots::release() {
    activity = GroupActivity{};
    activityResult = 0;
    rawPage = RawPage{};
}

void OfflinePlots::forget(Surface& s) {
    release();
    plotGroups.clear();
    groupPicker.clear();
    rowLetters.clear();
    columnNumbers.clear();
    plotGroupSelected = 0;
    picker = SignalView{};
    rawLayout = RawPageLayout{};
    viewMode = offlineview::Bar;
    panels = OfflinePanels{};
    s.clear();
}

void OfflinePlots::showGroupActivity(Surface& s, const OfflineSource& src, Prompter& prompter) {
    signalCaption = "Channel Signal";
    groupCaption = "[Group Activity]";
    viewMode = offlineview::Bar;
    panels = OfflinePanels{};
    firstBar = 0;
    Dibujar_barplot(s, src, prompter);
}

void OfflinePlots::showBarPlot(Surface& s, const OfflineSource& src, Prompter& prompter) {
    panels.binSizeFrame = false;
    panels.pageControls = false;
    panels.bmpCheck = false;
    viewMode = offlineview::Bar;
    firstBar = 0;
    Dibujar_barplot(s, src, prompter);
}

void OfflinePlots::showHeatmap(Surface& s, const OfflineSource& src, Prompter& prompter) {
    viewMode = offlineview::Heatmap;
    panels.bmpCheck = false;
    panels.pageControls = false;
    panels.binSizeFrame = false;
    Dibujar_heatmap(s, src, prompter);
}

bool OfflinePlots::plotGroupChosen(int index, Surface& s, const OfflineSource& src,
                                   Prompter& prompter) {
    if (index < 0 || index >= static_cast<int>(plotGroups.size())) return false;
    plotGroupSelected = index;
    if (viewMode == offlineview::Bar) {
        firstBar = index < kBarsShown ? 0 : index - (kBarsShown - 1);
        Dibujar_barplot(s, src, prompter);
        return true;
    }
    if (viewMode == offlineview::Heatmap) {
        Dibujar_heatmap(s, src, prompter);
        return true;
    }
    return false;
}

void OfflinePlots::openChannelSignalView(const OfflineSource& src) {
    signalCaption = "[Channel Signal]";
    groupCaption = "Group Activity";
    viewMode = offlineview::Signal;
    panels.plotGroupList = false;
    panels.comments = false;
    panels.plotButtons = false;
    panels.groupPicker = true;
    panels.wellList = true;
    panels.progressBar = true;
    panels.analysisFrame = true;
    panels.pageControls = false;
    rawLayout = RawPageLayout::ofFolder(src.folder);
    rawPage = RawPage{};
    currentPage = 1;
    pageBoxText = "1/" + std::to_string(rawLayout.pageCount());
}

void OfflinePlots::showChannelSignal(Surface& s, const OfflineSource& src) {
    openChannelSignalView(src);
    showRawPage(loadRawPage(src.folder, rawLayout, 1, src.config.rawBlockSamples()), s, src);
}

bool OfflinePlots::scrollPage(int page, Surface& s, const OfflineSource& src) {
    if (viewMode != offlineview::Signal || rawLayout.pageCount() == 0) return false;
    page = std::clamp(page, 1, rawLayout.pageCount());
    showRawPage(loadRawPage(src.folder, rawLayout, page, src.config.rawBlockSamples()), s, src);
    return true;
}

void OfflinePlots::showRawPage(RawPage page, Surface& s, const OfflineSource& src) {
    rawPage = std::move(page);
    if (rawPage.page >= 1) currentPage = rawPage.page;
    pageBoxText = std::to_string(currentPage) + "/" + std::to_string(rawLayout.pageCount());
    Dibujar_canales(s, src);
    panels.pageControls = rawLayout.pageCount() > 0;
}

int OfflinePlots::pageRequested(int page) {
    if (viewMode != offlineview::Signal || rawLayout.pageCount() == 0) return 0;
    page = std::clamp(page, 1, rawLayout.pageCount());
    pageBoxText = std::to_string(page) + "/" + std::to_string(rawLayout.pageCount());
    return page;
}

bool OfflinePlots::redraw(Surface& s, const OfflineSource& src, Prompter& prompter) {
    switch (viewMode) {
    case offlineview::Bar:
        Dibujar_barplot(s, src, prompter);
        return true;
    case offlineview::Heatmap:
        Dibujar_heatmap(s, src, prompter);
        return true;
    case offlineview::Signal:
        Dibujar_canales(s, src);
        return true;
    default:
        return false;
    }
}

void OfflinePlots::groupPicked(const std::string& entry, const OfflineConfiguration& config) {
    int g = groupOfPickerEntry(entry);
    if (g == 999) g = -1;
    picker.members = SignalView::groupMembers(g, config.channels(), config.plate());
    picker.memberIndex = -1;
}

bool OfflinePlots::wellPicked(int index, Surface& s, const OfflineSource& src, Prompter& prompter) {
    if (index < 0 || index >= static_cast<int>(picker.members.size())) return false;
    const std::string& label = picker.members[static_cast<size_t>(index)].label;
    if (label.empty()) return false;
    picker.memberIndex = index;
    picker.beamText = "0";
    picker.column = static_cast<int>(roundHalfEven(leadingNumber(label.substr(1))));
    picker.rowChosen(label.substr(0, 1), src.config.plate());
    if (viewMode == offlineview::Signal) {
        Dibujar_canales(s, src);
        return true;
    }
    if (viewMode == offlineview::Bar) {
        Dibujar_barplot(s, src, prompter);
        return true;
    }
    return false;
}

bool OfflinePlots::rowPicked(const std::string& letter, Surface& s, const OfflineSource& src) {
    picker.rowChosen(letter, src.config.plate());
    if (viewMode != offlineview::Signal) return false;
    Dibujar_canales(s, src);
    return true;
}

bool OfflinePlots::beamChanged(const std::string& text, Surface& s, const OfflineSource& src) {
    picker.beamBoxLeft(text, src.config.plate());
    if (viewMode != offlineview::Signal) return false;
    Dibujar_canales(s, src);
    return true;
}

bool OfflinePlots::columnPicked(int column, Surface& s, const OfflineSource& src) {
    picker.columnChosen(column, src.config.plate());
    if (viewMode != offlineview::Signal) return false;
    Dibujar_canales(s, src);
    return true;
}

// --- bar plot -------------------------------------------------------------------

void OfflinePlots::drawHeader(Surface& s, const PlotHeader& h, double M) {
    const double line = s.textHeight();
    s.setForeColor(colour::Black);
    s.text(10, 1.2 * M, withoutTabs(h.projectLine, "    "));
    s.text(10, 1.2 * M - line, withoutTabs(h.acquisitionLine, "    "));
    // The configuration block: one text line per CR, without TABs and LFs.
    std::vector<std::string> lines(1);
    for (char c : h.configBlock) {
        if (c == '\r')
            lines.emplace_back();
        else if (c != '\n' && c != '\t')
            lines.back() += c;
    }
    if (lines.size() > 9) lines.resize(9);
    // At x = 95, moved left as far as needed for the widest line to end
    // inside the plot.
    double widest = 0;
    for (const std::string& l : lines)
        widest = std::max(widest, s.textWidth(l));
    const double x = std::clamp(119.5 - widest, 60.0, 95.0);
    for (size_t i = 0; i < lines.size(); ++i)
        s.text(x, 1.2 * M - static_cast<double>(i) * line, lines[i]);
}

void OfflinePlots::Dibujar_barplot(Surface& s, const OfflineSource& src, Prompter& prompter) {
    activityResult =
        loadGroupActivity(src.folder, src.config.channels(), false, 0, activity, prompter);
    const double M = static_cast<double>(std::max<long long>(activityResult, 50));
    s.setScale(0, 1.2 * M, 120, -0.135 * M);
    s.clear();
    s.setPenWidth(2);
    s.setForeColor(colour::Black);
    const int count = static_cast<int>(plotGroups.size());
    for (int j = 1; j <= kBarsShown && firstBar + j - 1 < count; ++j) {
        const int index = firstBar + j - 1;
        const std::string& entry = plotGroups[static_cast<size_t>(index)];
        const double v = activity.at(groupOfListEntry(entry), 1);
        const double x1 = 10.0 * j + 2, x2 = 10.0 * j + 10;
        s.filledBox(x1, 0, x2, v, index == plotGroupSelected ? kSelectedBar : kBar);
        s.box(x1, 0, x2, v, colour::Black);
        // A name wider than its bar is written smaller, so that the names
        // of neighbouring bars do not run into each other.
        const std::string label = entry.substr(0, 10);
        const double width = s.textWidth(label);
        if (width > kBarLabelRoom) s.setFontScale(std::max(0.5, kBarLabelRoom / width));
        s.text(10.0 * j + 3, -2, label);
        s.setFontScale(1.0);
        s.text(10.0 * j + 3, M / 3, asInteger(v));
    }
    s.line(10, 0, 119, 0, kAxisGrey);
    s.line(10, 0, 10, M, kAxisGrey);
    s.line(10, 0, 9, 0, kAxisGrey);
    s.line(10, 0.99 * M, 9, 0.99 * M, kAxisGrey);
    s.setFontScale(0.75);
    s.text(6, 1.05 * M, asInteger(M));
    s.text(6, s.textHeight() / 2, "0");
    s.setFontScale(1.0);
    drawHeader(s, src.header, M);
    s.text(10, 1.2 * M - 2 * s.textHeight(), kBarPlotCaption);
}

// --- heat map -------------------------------------------------------------------

void OfflinePlots::Dibujar_heatmap(Surface& s, const OfflineSource& src, Prompter& prompter) {
    const PlateLayout& p = src.config.plate();
    const double rp = static_cast<double>(roundHalfEven(p.Row_Pitch * 100));
    const double ro = static_cast<double>(roundHalfEven(p.Row_Offset * 100));
    const double cp = static_cast<double>(roundHalfEven(p.Column_Pitch * 100));
    const double co = static_cast<double>(roundHalfEven(p.Column_Offset * 100));
    // The usual view, widened to the plate's right and bottom edges when
    // its wells reach further (a 6-well plate ends at 2504).
    const int rows = std::max<int>(0, p.Plate_Rows), cols = std::max<int>(0, p.Plate_Columns);
    s.setScale(co - 50, ro - 50, std::max(2450.0, cols * cp + co + 50),
               std::max(1650.0, rows * rp + ro + 50));
    s.clear();
    s.setPenWidth(1);

    bool found = false;
    std::vector<CountsRecord> records = readCountsOrSay(src.folder, prompter, found);
    std::array<long long, kChannels> total{};
    for (const CountsRecord& r : records)
        for (int c = 0; c < kChannels; ++c)
            total[static_cast<size_t>(c)] += r.counts[static_cast<size_t>(c)];
    std::vector<long long> well(static_cast<size_t>(std::max(rows * cols, p.Max_Well + 1)), 0);
    for (int c = 0; c < kChannels; ++c) {
        const int w = p.Channel_Well[static_cast<size_t>(c)];
        if (w >= 0 && static_cast<size_t>(w) < well.size())
            well[static_cast<size_t>(w)] += total[static_cast<size_t>(c)];
    }
    double M = 255;
    for (long long v : well)
        M = std::max(M, static_cast<double>(v));

    for (int i = 0; i < rows; ++i) {
        for (int c = 0; c < cols; ++c) {
            // Negative counts of a damaged file never draw past the cell.
            const double f = std::clamp(
                static_cast<double>(well[static_cast<size_t>(i + c * rows)]) / M, 0.0, 1.0);
            const int shade = static_cast<int>(roundHalfEven(f * 255));
            s.filledBox(c * cp + co + 0.6 * cp, i * rp + ro + rp * (1 - f),
                        (c + 1) * cp + co - 0.05 * cp, (i + 1) * rp + ro - 0.05 * rp,
                        rgb(255 - shade, 255 - shade, 255 - shade));
        }
    }
    static constexpr Rgb kGroupColour[] = {colour::Green, colour::Blue, colour::Red, colour::Black};
    for (int i = 0; i < rows; ++i) {
        for (int c = 0; c < cols; ++c) {
            s.box(c * cp + co, i * rp + ro, (c + 1) * cp + co, (i + 1) * rp + ro, colour::Red);
            const int ch = p.wellChannel(i + c * rows, 0);
            const int g =
                ch >= 0 ? src.config.channels().Channel_Group[static_cast<size_t>(ch)] : -1;
            if (g < 0 || g >= kGroups) continue;
            s.setForeColor(kGroupColour[g % 4]);
            s.text((c * p.Column_Pitch + p.Column_Offset) * 100 + 25,
                   (i * p.Row_Pitch + p.Row_Offset) * 100 + 45, "G" + std::to_string(g));
        }
    }
    // Column numbers along the top edge and row letters along the left edge.
    s.setForeColor(colour::Black);
    for (int c = 0; c < cols; ++c)
        s.text((c * p.Column_Pitch + p.Column_Offset) * 100 + 25, ro - 50, std::to_string(c + 1));
    for (int i = 0; i < rows; ++i)
        s.text(co - 50, (i * p.Row_Pitch + p.Row_Offset) * 100,
               std::string(1, static_cast<char>('A' + i)));
}

// --- channel signal view --------------------------------------------------------

Rgb OfflinePlots::beamColour(int k, int maxBeam) {
    if (maxBeam > 4) {
        const int red =
            static_cast<int>(std::clamp(roundHalfEven(255.0 * k / maxBeam), 0LL, 255LL));
        return rgb(red, 255 - red, 0);
    }
    static constexpr Rgb kFour[] = {colour::Red, colour::Blue, colour::Green, rgb(200, 128, 0)};
    return kFour[std::clamp(k, 0, 3)];
}

std::string OfflinePlots::thousandsLabel(long long samples) {
    return "k" + plainReal(roundDecimals(static_cast<double>(samples) / 1000.0, 3));
}

void OfflinePlots::Dibujar_canales(Surface& s, const OfflineSource& src) {
    if (rawLayout.pageCount() == 0 || rawPage.page < 1) return;
    const PlateLayout& p = src.config.plate();
    const int S = rawPage.rtBuffer;
    const int blocks = RawPageLayout::kBlocksPerPage;
    const double W = static_cast<double>(S) * blocks; // samples on a page
    const double left = signalLeft(W);
    s.setScale(left, 2150, W, -150);
    s.clear();
    s.setPenWidth(1);
    auto axes = [&] {
        s.line(0, 2150, 0, 0, colour::Black);
        s.line(0, 0, W - W / 250, 0, colour::Black);
    };
    axes();
    s.setForeColor(colour::Black);
    s.text(left, 2150, "100%");
    s.text(left, 100, "  0%");
    const long long pageStart = static_cast<long long>(rawPage.page - 1) * S * blocks;
    s.text(0, -30, thousandsLabel(pageStart));
    s.text(0.48 * W, -25, "[sample]");
    s.text(0.94 * W, -30, thousandsLabel(pageStart + S * blocks));

    const int ch = picker.selectedChannel;
    const int well = ch >= 0 && ch < kChannels ? p.Channel_Well[static_cast<size_t>(ch)] : -1;
    std::vector<std::pair<int, Rgb>> traces; // channel, colour
    if (well >= 0)
        for (int k = 0; k <= p.Max_Beam; ++k)
            if (int c = p.wellChannel(well, k); c >= 0)
                traces.emplace_back(c, beamColour(k, p.Max_Beam));

    std::vector<double> y(static_cast<size_t>(S) + 1);
    for (int b = 0; b < blocks; ++b) {
        const double x0 = static_cast<double>(S) * b;
        if (rawPage.has(b)) {
            for (const auto& [c, colourOf] : traces) {
                for (int i = 0; i <= S; ++i)
                    y[static_cast<size_t>(i)] = rawPage.sample(b, c, i);
                s.trace(x0, 1, y, colourOf);
            }
        }
        s.line(x0, 2150, x0, 0, kBlockSeparator);
    }
    axes(); // the first block's separator lies on the vertical axis
}

} // namespace trv
