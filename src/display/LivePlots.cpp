#include "display/LivePlots.h"

#include "common/Numeric.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace trv {

namespace {

constexpr Rgb kBarGrey = rgb(200, 200, 200);
constexpr Rgb kBarValueGrey = rgb(125, 125, 125);
constexpr Rgb kGroupValueGrey = rgb(128, 128, 128);
constexpr int kGroupsPerPage = 12;
constexpr int kHistogramPages = 96;

std::string asInteger(double v) { return fixedDecimals(v, 0); }

int groupOf(const ChannelTables& t, int channel) {
    return t.Channel_Group[static_cast<size_t>(channel)];
}

} // namespace

int16_t LivePlotData::total(int channel) const {
    if (channel < 0 || static_cast<size_t>(channel) >= totals.size()) return 0;
    return totals[static_cast<size_t>(channel)];
}

int32_t LivePlotData::histogram(int channel, int bin) const {
    if (channel < 0 || bin < 0 || histogramStride <= 0 || bin >= histogramStride) return 0;
    size_t at = static_cast<size_t>(channel) * static_cast<size_t>(histogramStride) +
                static_cast<size_t>(bin);
    return at < bodyBendsHistogram.size() ? bodyBendsHistogram[at] : 0;
}

std::string groupCaption(const ChannelTables& channels, int group) {
    std::string name;
    if (group >= 0 && group < kSlots) name = channels.Group_Name[static_cast<size_t>(group)];
    std::string caption = "G";
    caption += std::to_string(group);
    caption += '_';
    caption += name;
    return caption;
}

std::vector<std::string> groupPickerEntries(const ChannelTables& channels) {
    std::array<bool, kSlots> used{};
    for (int c = 0; c < kChannels; ++c) {
        int g = groupOf(channels, c);
        if (g >= 0 && g < kSlots) used[static_cast<size_t>(g)] = true;
    }
    std::vector<std::string> out;
    for (int g = 0; g < kSlots; ++g)
        if (used[static_cast<size_t>(g)])
            out.push_back(zeroPadded(g, 3) + "_" + channels.Group_Name[static_cast<size_t>(g)]);
    return out;
}

int groupOfPickerEntry(const std::string& entry) {
    return static_cast<int>(leadingNumber(entry.substr(0, std::min<size_t>(3, entry.size()))));
}

// --- shared drawing -----------------------------------------------------------

void setBarPlotScale(Surface& s) { s.setScale(-30, 300, 300, -30); }

SlotLabels fitSlotLabels(const Surface& s, const std::vector<std::string>& labels, double w,
                         bool mayThin) {
    SlotLabels fit;
    double widest = 0;
    for (const auto& l : labels) widest = std::max(widest, s.textWidth(l));
    fit.lineHeight = s.textHeight();
    if (widest <= 0.9 * w || w <= 0) return fit;
    // Two lines of text fit between the axis (y -2) and the bottom edge (y -30)?
    bool twoLines = 2 * fit.lineHeight + 3 <= 28;
    fit.rows = twoLines ? 2 : 1;
    if (mayThin) {
        // Every stride-th label, so that each one has room up to the next
        // label on its line.
        while (widest > (fit.rows * fit.stride - 0.1) * w) ++fit.stride;
    }
    return fit;
}

double SlotLabels::top(int row) const { return row == 0 ? -3 : -4 - lineHeight; }

bool SlotLabels::shows(int slot) const { return slot % stride == 0; }

int SlotLabels::row(int slot) const { return (slot / stride) % rows; }

void SlotLabels::erase(Surface& s, double x0, double w, int slot) const {
    double reach = x0 + 2 * w * stride;
    if (row(slot) == 0)
        s.filledBox(x0, -2, reach, top(0) - lineHeight, colour::White);
    else
        s.filledBox(x0, top(1), reach, -30, colour::White);
}

double valueTextY(const Surface& s, const std::vector<std::string>& values, double w, int slot) {
    double widest = 0;
    for (const auto& v : values) widest = std::max(widest, s.textWidth(v));
    if (widest <= 0.8 * w || slot % 2 == 0) return 37;
    return 37 + s.textHeight() + 2;
}

void Dibujar_lineas_ejes(Surface& s) {
    s.filledBox(0, 0, 2, 255, colour::Black);
    s.filledBox(0, 0, 290, 2, colour::Black);
}

void Dibujar_ejes_barplot(Surface& s, double plotScale) {
    s.setPenWidth(1);
    s.filledBox(-20, -20, 0, 260, colour::White);
    s.filledBox(-2, 250, 0, 251, colour::Black);
    s.filledBox(-2, 125, 0, 126, colour::Black);
    s.filledBox(-2, 0, 0, 1, colour::Black);
    s.setForeColor(colour::Black);
    s.text(-15, 260, asInteger(plotScale * 250));
    s.text(-15, 130, asInteger(plotScale * 250 / 2));
    s.text(-15, 10, " 0");
    Dibujar_lineas_ejes(s);
}

void Dibujar_barra(Surface& s, double x0, double w, double v, double plotScale, double valueY) {
    drawBarBody(s, x0, w, v, plotScale);
    writeBarValue(s, x0, w, v, valueY);
}

void drawBarBody(Surface& s, double x0, double w, double v, double plotScale) {
    double h = v / plotScale;
    double xl = x0 + 0.1 * w, xr = x0 + 0.9 * w;
    s.setPenWidth(1);
    // The whole slot: the wide outline of a taller bar drawn before reaches
    // past the bar's own edges.
    s.filledBox(x0, 1, x0 + w, 275, colour::White);
    if (h >= 255) {
        s.setPenWidth(3);
        s.box(xl, 1, xr, 255, colour::Black);
        s.setPenWidth(1);
        s.filledBox(xl, 2, xr, 257, kBarGrey);
    } else {
        s.setPenWidth(3);
        s.box(xl, 1, xr, h, colour::Black);
        s.setPenWidth(1);
        s.filledBox(xl, 2, xr, h, kBarGrey);
    }
}

void writeBarValue(Surface& s, double x0, double w, double v, double valueY) {
    s.setForeColor(kBarValueGrey);
    s.text(x0 + 0.2 * w, valueY, asInteger(v));
    s.setForeColor(colour::Black);
}

// --- heat map -------------------------------------------------------------------

namespace {
struct HeatGeometry {
    long long PX, X0, PY, Y0;
    explicit HeatGeometry(const PlateLayout& p)
        : PX(roundHalfEven(100 * p.Column_Pitch)), X0(roundHalfEven(100 * p.Column_Offset)),
          PY(roundHalfEven(100 * p.Row_Pitch)), Y0(roundHalfEven(100 * p.Row_Offset)) {}
};
} // namespace

void setHeatmapScale(Surface& s, const PlateLayout& plate) {
    HeatGeometry g(plate);
    s.setScale(static_cast<double>(g.X0 - 150), static_cast<double>(g.Y0 - 200), 2410, 1610);
}

void Dibujar_ejes_heatmap(Surface& s, const PlateLayout& plate, bool withLabels) {
    HeatGeometry g(plate);
    s.setPenWidth(1);
    for (int c = 0; c < plate.Plate_Columns; ++c)
        for (int r = 0; r < plate.Plate_Rows; ++r)
            s.box(static_cast<double>(g.X0 + c * g.PX), static_cast<double>(g.Y0 + r * g.PY),
                  static_cast<double>(g.X0 + (c + 1) * g.PX),
                  static_cast<double>(g.Y0 + (r + 1) * g.PY), colour::Red);
    if (!withLabels) return;
    s.setForeColor(colour::Black);
    for (int c = 0; c < plate.Plate_Columns; ++c)
        s.text(100 * (plate.Column_Offset + (c + 0.25) * plate.Column_Pitch),
               100 * plate.Row_Offset - 100, std::to_string(c + 1));
    for (int r = 0; r < plate.Plate_Rows; ++r)
        s.text(100 * plate.Column_Offset - 50, 100 * (plate.Row_Offset + (r + 0.25) * plate.Row_Pitch),
               std::string(1, static_cast<char>('A' + r)));
}

void Dibujar_heatmap(Surface& s, const PlateLayout& plate, std::span<const int16_t> totals) {
    HeatGeometry g(plate);
    int rows = std::max<int>(0, plate.Plate_Rows), cols = std::max<int>(0, plate.Plate_Columns);
    size_t wells = static_cast<size_t>(std::max(rows * cols, plate.Max_Well + 1));
    std::vector<int32_t> sum(wells, 0);
    size_t n = std::min<size_t>(totals.size(), kChannels);
    for (size_t c = 0; c < n; ++c) {
        int w = plate.Channel_Well[c];
        if (w >= 0 && static_cast<size_t>(w) < wells) sum[static_cast<size_t>(w)] += totals[c];
    }
    int32_t m = 255;
    for (int32_t v : sum) m = std::max(m, v);

    s.setPenWidth(1);
    for (int c = 0; c < cols; ++c) {
        for (int r = 0; r < rows; ++r) {
            size_t w = static_cast<size_t>(c * rows + r);
            long long L = roundHalfEven(255.0 * sum[w] / m);
            L = std::clamp<long long>(L, 0, 255); // negative counts never darken past white
            int level = static_cast<int>(255 - L);
            double x1 = static_cast<double>(g.X0 + c * g.PX) + 0.1 * static_cast<double>(g.PX);
            double y1 = static_cast<double>(g.Y0 + r * g.PY) + 0.1 * static_cast<double>(g.PY);
            double x2 = static_cast<double>(g.X0 + (c + 1) * g.PX) - 0.1 * static_cast<double>(g.PX);
            double y2 = static_cast<double>(g.Y0 + (r + 1) * g.PY) - 0.1 * static_cast<double>(g.PY);
            s.filledBox(x1, y1, x2, y2, rgb(level, level, level));
        }
    }
}

// --- LivePlots --------------------------------------------------------------------

double LivePlots::barSlotWidth(int groupsShown) {
    return groupsShown < 6 ? 50.0 : 300.0 / (groupsShown + 1);
}

double LivePlots::barSlotOffset(double slotWidth) {
    return static_cast<double>(roundHalfEven(0.35 * slotWidth));
}

void LivePlots::Dibujar_barplot(Surface& s, const LivePlotData& d) {
    keepScalePositive();
    std::array<long long, kSlots> sum{};
    std::array<int, kSlots> n{};
    for (int c = 0; c < kChannels; ++c) {
        int g = groupOf(d.channels, c);
        if (g < 0 || g >= kSlots) continue;
        sum[static_cast<size_t>(g)] += d.total(c);
        n[static_cast<size_t>(g)] += 1;
    }
    std::vector<int> shown;
    for (int g = 0; g < kSlots; ++g)
        if (n[static_cast<size_t>(g)] >= 1) shown.push_back(g);

    int k = static_cast<int>(shown.size());
    plotPageCount = static_cast<int16_t>(k > kGroupsPerPage ? (k + kGroupsPerPage - 1) / kGroupsPerPage : 1);
    plotPage = std::clamp<int16_t>(plotPage, 0, static_cast<int16_t>(plotPageCount - 1));
    pageButtonsVisible = plotPageCount > 1;

    double w = barSlotWidth(std::min(k, kGroupsPerPage));
    double c0 = barSlotOffset(w);
    setBarPlotScale(s);
    long long largest = 0;
    int first = plotPage * kGroupsPerPage;
    int last = std::min(k, first + kGroupsPerPage);
    std::vector<long long> value;
    std::vector<std::string> valueTexts, captions;
    for (int i = first; i < last; ++i) {
        int g = shown[static_cast<size_t>(i)];
        value.push_back(roundHalfEven(static_cast<double>(sum[static_cast<size_t>(g)]) /
                                      n[static_cast<size_t>(g)]));
        valueTexts.push_back(asInteger(static_cast<double>(value.back())));
        captions.push_back(groupCaption(d.channels, g));
    }
    SlotLabels fit = fitSlotLabels(s, captions, w, false);
    for (int j = 0; j < last - first; ++j) {
        size_t at = static_cast<size_t>(j);
        double x0 = c0 + j * w;
        largest = std::max(largest, value[at]);
        drawBarBody(s, x0, w, static_cast<double>(value[at]), plotScale);
        s.setForeColor(colour::Black);
        if (fit.rows == 1) {
            s.filledBox(x0, -30, x0 + 2 * w, -2, colour::White);
            s.text(x0 + 0.1 * w, -10, captions[at]);
        } else {
            fit.erase(s, x0, w, j);
            s.text(x0 + 0.1 * w, fit.top(fit.row(j)), captions[at]);
        }
    }
    // Values after all bars, so that a value wider than its bar is not cut
    // by the next bar's slot.
    for (int j = 0; j < last - first; ++j)
        writeBarValue(s, c0 + j * w, w, static_cast<double>(value[static_cast<size_t>(j)]),
                      valueTextY(s, valueTexts, w, j));
    Dibujar_ejes_barplot(s, plotScale);
    if (static_cast<double>(largest) / plotScale > 250) plotScale += 0.5;
}

void LivePlots::rebuildMemberWells(int group, const ChannelTables& channels,
                                   const PlateLayout& plate) {
    memberWells.clear();
    for (int w = 0; w <= plate.Max_Well; ++w) {
        int ch = plate.wellChannel(w, 0);
        if (ch >= 0 && ch < kSlots && groupOf(channels, ch) == group)
            memberWells.push_back(static_cast<int16_t>(w));
    }
}

void LivePlots::selectedChannelChanged(int channel, const ChannelTables& channels,
                                       const PlateLayout& plate) {
    if (channel < 0 || channel >= kSlots) return;
    int g = groupOf(channels, channel);
    if (g >= 0) rebuildMemberWells(g, channels, plate);
}

void LivePlots::chooseGroup(int group, const ChannelTables& channels, const PlateLayout& plate) {
    plotMode = plotmode::Group;
    groupViewNumber = static_cast<int16_t>(group);
    pageButtonsVisible = false;
    rebuildMemberWells(group, channels, plate);
}

void LivePlots::Dibujar_grupo(Surface& s, const LivePlotData& d) {
    const PlateLayout& p = d.plate;
    int beams = std::max<int>(0, p.Max_Beam) + 1;
    std::vector<long long> wellValue(memberWells.size(), 0);
    long long groupSum = 0, groupCount = 0;
    for (size_t i = 0; i < memberWells.size(); ++i) {
        int w = memberWells[i];
        if (p.Max_Beam > 0) {
            long long sum = 0, count = 0;
            for (int b = 0; b < beams; ++b) {
                int ch = p.wellChannel(w, b);
                if (ch < 0) continue;
                sum += d.total(ch);
                ++count;
            }
            wellValue[i] = count > 0 ? roundHalfEven(static_cast<double>(sum) / count) : 0;
            groupSum += sum;
            groupCount += count;
        } else {
            int ch = p.wellChannel(w, 0);
            wellValue[i] = d.total(ch);
            groupSum += wellValue[i];
            groupCount += 1;
        }
    }
    long long groupValue =
        groupCount > 0 ? roundHalfEven(static_cast<double>(groupSum) / groupCount) : 0;

    keepScalePositive();
    while (static_cast<double>(groupValue) / plotScale > 255) plotScale += 0.5;

    setBarPlotScale(s);
    Dibujar_ejes_barplot(s, plotScale);

    double h = static_cast<double>(roundHalfEven(static_cast<double>(groupValue) / plotScale));
    s.setPenWidth(1);
    s.filledBox(10, 2, 30, 300, colour::White);
    s.setPenWidth(3);
    s.box(10, 2, 30, h, colour::Black);
    s.setPenWidth(1);
    s.filledBox(10, 2, 30, h, kBarGrey);
    s.setForeColor(kGroupValueGrey);
    s.text(13, 37, asInteger(static_cast<double>(groupValue)));
    s.setForeColor(colour::Black);
    s.text(5, -5, groupCaption(d.channels, groupViewNumber));

    // Wells of a previously shown larger group must not linger right of the
    // current ones.
    s.filledBox(40, -30, 300, 300, colour::White);
    if (!memberWells.empty()) {
        double w = static_cast<double>(
            std::min<long long>(roundHalfEven(260.0 / static_cast<double>(memberWells.size())), 25));
        std::vector<std::string> labels;
        for (int16_t well : memberWells) labels.push_back(p.wellLabel(well));
        SlotLabels fit = fitSlotLabels(s, labels, w, true);
        for (size_t i = 0; i < memberWells.size(); ++i) {
            double x0 = 40 + w * static_cast<double>(i);
            double hw = static_cast<double>(
                std::min<long long>(roundHalfEven(static_cast<double>(wellValue[i]) / plotScale), 255));
            s.filledBox(x0, 2, x0 + w, 300, colour::White);
            s.setPenWidth(3);
            s.box(x0 + 0.1 * w, 2, x0 + 0.9 * w, hw, colour::Black);
            s.setPenWidth(1);
            s.filledBox(x0 + 0.1 * w, 2, x0 + 0.9 * w, hw, colour::White);
            int slot = static_cast<int>(i);
            if (fit.rows == 1 && fit.stride == 1) {
                s.filledBox(x0, -1, x0 + w, -20, colour::White);
                s.text(x0 + 0.1 * w, -5, labels[i]);
            } else if (fit.shows(slot)) {
                s.text(x0 + 0.1 * w, fit.top(fit.row(slot)), labels[i]);
            }
        }
    }
    Dibujar_lineas_ejes(s);
}

void LivePlots::Dibujar_histograma(Surface& s, const LivePlotData& d) {
    plotPageCount = kHistogramPages;
    plotPage = std::clamp<int16_t>(plotPage, 0, kHistogramPages - 1);
    int group = plotPage;

    std::array<long long, kBodyBendsShownBins> hist{};
    int n = 0;
    for (int c = 0; c < kChannels; ++c) {
        if (groupOf(d.channels, c) != group) continue;
        ++n;
        for (int k = 0; k < kBodyBendsShownBins; ++k) hist[static_cast<size_t>(k)] += d.histogram(c, k);
    }
    std::array<long long, kBodyBendsShownBins> value{};
    long long largest = 0;
    for (int k = 0; k < kBodyBendsShownBins; ++k) {
        value[static_cast<size_t>(k)] =
            n > 0 ? roundHalfEven(static_cast<double>(hist[static_cast<size_t>(k)]) / n) : 0;
        largest = std::max(largest, value[static_cast<size_t>(k)]);
    }
    if (n == 0) largest = 100;
    plotScale = 1.2 * static_cast<double>(largest) / 250;
    if (!(plotScale > 0)) plotScale = 1.0;

    setBarPlotScale(s);
    // The interval labels change with every block: erase the old ones first.
    s.filledBox(0, -2, 300, -30, colour::White);
    std::vector<std::string> valueTexts, intervals;
    for (int k = 0; k < kBodyBendsShownBins; ++k) {
        valueTexts.push_back(asInteger(static_cast<double>(value[static_cast<size_t>(k)])));
        intervals.push_back(withDecimalMark(fixedDecimals((k + 1) * d.deltaT, 1), decimalMark));
    }
    SlotLabels fit = fitSlotLabels(s, intervals, 10, true);
    for (int k = 0; k < kBodyBendsShownBins; ++k) {
        double x0 = 4 + 10.0 * k;
        drawBarBody(s, x0, 10, static_cast<double>(value[static_cast<size_t>(k)]), plotScale);
        if (fit.shows(k))
            s.text(x0 + 1, fit.rows == 1 ? -10 : fit.top(fit.row(k)),
                   intervals[static_cast<size_t>(k)]);
    }
    for (int k = 0; k < kBodyBendsShownBins; ++k)
        writeBarValue(s, 4 + 10.0 * k, 10, static_cast<double>(value[static_cast<size_t>(k)]),
                      valueTextY(s, valueTexts, 10, k));
    s.setForeColor(colour::Black);
    s.setForeColor(colour::Black);
    s.text(260, 260, groupCaption(d.channels, group));
    Dibujar_ejes_barplot(s, plotScale);
}

// --- view switching -----------------------------------------------------------------

void LivePlots::showBarPlot(Surface& s, const LivePlotData& d) {
    plotMode = plotmode::Bar;
    plotPage = 0;
    redraw(s, d);
}

void LivePlots::showHeatmap(Surface& s, const LivePlotData& d) {
    plotMode = plotmode::Heatmap;
    pageButtonsVisible = false;
    redraw(s, d);
}

void LivePlots::showHistogram(Surface& s, const LivePlotData& d) {
    plotMode = plotmode::Histogram;
    pageButtonsVisible = true;
    redraw(s, d);
}

void LivePlots::showGroupView(Surface& s, const LivePlotData& d) {
    plotMode = plotmode::Group;
    pageButtonsVisible = false;
    redraw(s, d);
}

bool LivePlots::pageUp(Surface& s, const LivePlotData& d) {
    if (plotMode != plotmode::Bar && plotMode != plotmode::Histogram) return false;
    if (plotPage >= plotPageCount - 1) return false;
    ++plotPage;
    // A full redraw: a last page with fewer groups must not keep the bars of
    // the page before.
    redraw(s, d);
    return true;
}

bool LivePlots::pageDown(Surface& s, const LivePlotData& d) {
    if (plotMode != plotmode::Bar && plotMode != plotmode::Histogram) return false;
    if (plotPage <= 0) return false;
    --plotPage;
    redraw(s, d);
    return true;
}

void LivePlots::refreshActivePlot(Surface& s, const LivePlotData& d) {
    switch (plotMode) {
    case plotmode::Group:
        Dibujar_grupo(s, d);
        break;
    case plotmode::Bar:
        Dibujar_barplot(s, d);
        break;
    case plotmode::Heatmap:
        setHeatmapScale(s, d.plate);
        Dibujar_ejes_heatmap(s, d.plate, false);
        Dibujar_heatmap(s, d.plate, d.totals);
        break;
    case plotmode::Histogram:
        Dibujar_histograma(s, d);
        break;
    default:
        break;
    }
}

void LivePlots::redraw(Surface& s, const LivePlotData& d) {
    if (plotMode == plotmode::Heatmap) {
        setHeatmapScale(s, d.plate);
        s.clear();
        Dibujar_ejes_heatmap(s, d.plate, true);
        Dibujar_heatmap(s, d.plate, d.totals);
        Dibujar_ejes_heatmap(s, d.plate, true);
        return;
    }
    setBarPlotScale(s);
    s.clear();
    refreshActivePlot(s, d);
}

} // namespace trv
