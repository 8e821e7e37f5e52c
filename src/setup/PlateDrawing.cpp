#include "setup/PlateDrawing.h"

#include <algorithm>
#include <cmath>

namespace trv {

namespace {

// Room for the row letters and column numbers, in plate units.
constexpr double kLabelMargin = 1.3;
constexpr double kEdge = 0.15;

// A damaged plate file can hold any 16-bit row and column count; nothing
// sensible has more wells than the instrument has beams.
bool drawableGrid(const PlateLayout& p) {
    return p.Plate_Rows > 0 && p.Plate_Columns > 0 && p.Plate_Rows * p.Plate_Columns <= kChannels * 4;
}

double plateLeft(const PlateLayout& p) { return p.Column_Offset; }
double plateTop(const PlateLayout& p) { return p.Row_Offset; }
double plateRight(const PlateLayout& p) { return p.Column_Offset + p.Plate_Columns * p.Column_Pitch; }
double plateBottom(const PlateLayout& p) { return p.Row_Offset + p.Plate_Rows * p.Row_Pitch; }

// Integer part of a grid position, negatives as 0; -1 past `count` (or when
// the geometry cannot place anything).
int gridIndex(double pos, double offset, double pitch, int count) {
    if (!(pitch > 0) || count <= 0) return -1;
    double v = std::trunc((pos - offset) / pitch);
    if (!(v == v)) return -1; // NaN
    if (v < 0) v = 0;
    if (v >= count) return -1;
    return static_cast<int>(v);
}

void fillCell(Surface& s, const PlateLayout& p, int row0, int col0, int row1, int col1, Rgb c) {
    s.filledBox(p.Column_Offset + col0 * p.Column_Pitch, p.Row_Offset + row0 * p.Row_Pitch,
                p.Column_Offset + (col1 + 1) * p.Column_Pitch,
                p.Row_Offset + (row1 + 1) * p.Row_Pitch, c);
}

void drawHighlight(Surface& s, const PlateLayout& p, const PlateHighlight& h) {
    int rows = p.Plate_Rows, cols = p.Plate_Columns;
    auto clampRow = [&](int r) { return std::clamp(r, 0, std::max(rows - 1, 0)); };
    auto clampCol = [&](int c) { return std::clamp(c, 0, std::max(cols - 1, 0)); };
    if (h.kind == PlateHighlight::Kind::Hover) {
        int r = clampRow(h.row0), c = clampCol(h.col0);
        fillCell(s, p, r, 0, r, cols - 1, platecolour::HoverLine);
        fillCell(s, p, 0, c, rows - 1, c, platecolour::HoverLine);
        fillCell(s, p, r, c, r, c, platecolour::HoverWell);
    } else if (h.kind == PlateHighlight::Kind::Drag) {
        int r0 = clampRow(std::min(h.row0, h.row1)), r1 = clampRow(std::max(h.row0, h.row1));
        int c0 = clampCol(std::min(h.col0, h.col1)), c1 = clampCol(std::max(h.col0, h.col1));
        fillCell(s, p, r0, c0, r1, c1,
                 h.freeing ? platecolour::DragFree : platecolour::DragAssign);
    }
}

} // namespace

WellHit hitWell(const PlateLayout& p, double x, double y) {
    WellHit hit;
    int column = gridIndex(x, p.Column_Offset, p.Column_Pitch, p.Plate_Columns);
    int row = gridIndex(y, p.Row_Offset, p.Row_Pitch, p.Plate_Rows);
    hit.inside = column >= 0 && row >= 0;
    hit.column = std::max(column, 0);
    hit.row = std::max(row, 0);
    return hit;
}

PlateScale plateScale(const PlateLayout& p) {
    double left = std::min(0.0, plateLeft(p));
    double top = std::min(0.0, plateTop(p));
    double right = std::max(24.0, plateRight(p));
    double bottom = std::max(16.0, plateBottom(p));
    return {left - kLabelMargin, top - kLabelMargin, right + kEdge, bottom + kEdge};
}

PlateScale plateScale(const PlateLayout& p, int pixelWidth, int pixelHeight) {
    PlateScale sc = plateScale(p);
    if (pixelWidth <= 0 || pixelHeight <= 0) return sc;
    double width = sc.right - sc.left, height = sc.bottom - sc.top;
    double perPixel = std::max(width / pixelWidth, height / pixelHeight);
    double padX = (perPixel * pixelWidth - width) / 2;
    double padY = (perPixel * pixelHeight - height) / 2;
    return {sc.left - padX, sc.top - padY, sc.right + padX, sc.bottom + padY};
}

Rgb groupColour(int group) {
    switch (((group % 4) + 4) % 4) {
    case 0: return rgb(0, 150, 0); // a green that reads on white
    case 1: return colour::Blue;
    case 2: return colour::Red;
    default: return colour::Black;
    }
}

void Dibujar_placa(Surface& s, const SharedState& st, const PlateHighlight& highlight) {
    Dibujar_placa(s, st.plate, st.channels, highlight);
}

void Dibujar_placa(Surface& s, const PlateLayout& p, const ChannelTables& t,
                   const PlateHighlight& highlight, Rgb wellColour) {
    PlateScale sc = plateScale(p, s.pixelWidth(), s.pixelHeight());
    s.setScale(sc.left, sc.top, sc.right, sc.bottom);
    s.clear();
    s.setPenWidth(1);
    s.setFontScale(1.0);

    const bool grid = drawableGrid(p);
    if (grid) drawHighlight(s, p, highlight);

    for (int c = 0; grid && c < p.Plate_Columns; ++c)
        for (int r = 0; r < p.Plate_Rows; ++r)
            s.box(p.Column_Offset + c * p.Column_Pitch, p.Row_Offset + r * p.Row_Pitch,
                  p.Column_Offset + (c + 1) * p.Column_Pitch, p.Row_Offset + (r + 1) * p.Row_Pitch,
                  wellColour);

    // Wells too small on screen for a mark beside the beams (384 wells in a
    // small window): each beam becomes a ring around the well's centre and
    // the mark is written inside it.
    const double pixelsPerUnit = s.pixelWidth() / (sc.right - sc.left);
    const bool compact = std::min(p.Column_Pitch, p.Row_Pitch) * pixelsPerUnit < 32;
    for (int ch = 0; ch < kChannels; ++ch) {
        auto i = static_cast<size_t>(ch);
        bool used = t.Channel_Enabled[i] != 0 && p.Channel_Well[i] >= 0;
        s.circle(ch / 16 + 0.5, ch % 16 + 0.5, compact ? 0.42 : kBeamCircleRadius,
                 used ? platecolour::BeamInUse : platecolour::BeamUnused);
    }

    // Group marks fit in a well: shrink the font for small wells.
    double fit = 1.0;
    double markWidth = s.textWidth("G00");
    if (markWidth > 0)
        fit = std::clamp((compact ? 0.75 : 0.9) * p.Column_Pitch / markWidth, 0.6, 1.0);
    s.setFontScale(fit);
    const double inset = std::min(p.Column_Pitch, p.Row_Pitch) * 0.06;
    for (int w = 0; grid && w < p.Plate_Rows * p.Plate_Columns; ++w) {
        int ch = p.wellChannel(w, 0);
        if (ch < 0) continue;
        int group = t.Channel_Group[static_cast<size_t>(ch)];
        if (group == -1) continue;
        int row = w % p.Plate_Rows, col = w / p.Plate_Rows;
        const std::string mark = "G" + std::to_string(group);
        double x = p.Column_Offset + col * p.Column_Pitch + inset;
        double y = p.Row_Offset + row * p.Row_Pitch + inset;
        if (compact) {
            x = p.Column_Offset + (col + 0.5) * p.Column_Pitch - s.textWidth(mark) / 2;
            y = p.Row_Offset + (row + 0.5) * p.Row_Pitch - s.textHeight() / 2;
        }
        s.setForeColor(groupColour(group));
        s.text(x, y, mark);
    }

    // Column numbers above the plate, row letters on its left.
    s.setFontScale(std::max(fit, 0.8));
    s.setForeColor(colour::Black);
    double h = s.textHeight();
    for (int c = 0; grid && c < p.Plate_Columns; ++c) {
        std::string label = std::to_string(c + 1);
        double cx = p.Column_Offset + (c + 0.5) * p.Column_Pitch;
        s.text(cx - s.textWidth(label) / 2, plateTop(p) - h - 0.1, label);
    }
    for (int r = 0; grid && r < p.Plate_Rows; ++r) {
        std::string label(1, static_cast<char>('A' + r));
        double cy = p.Row_Offset + (r + 0.5) * p.Row_Pitch;
        s.text(plateLeft(p) - s.textWidth(label) - 0.2, cy - h / 2, label);
    }
    s.setFontScale(1.0);
}

} // namespace trv
