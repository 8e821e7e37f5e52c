// The plate of the setup window (Picwell): where a pointer position falls on
// the plate, and the drawing of wells, beams, group marks and the hover or
// drag highlight.
#pragma once

#include "display/Surface.h"
#include "store/Module1.h"

#include <string>

namespace trv {

// The well under a point in plate units. Row and column are the integer part
// of the position inside the well grid; a negative value counts as 0, so the
// labels left of and above the plate belong to the first row or column.
// `inside` is false when the row or column lies past the plate.
struct WellHit {
    int row = 0;
    int column = 0;
    bool inside = false;
    int well(const PlateLayout& p) const { return column * p.Plate_Rows + row; }
};

WellHit hitWell(const PlateLayout& plate, double x, double y);

// The user coordinates of Picwell: the 24 x 16 plate units (or the wells'
// extent when it reaches further), with room for the row letters and column
// numbers, y growing downwards.
struct PlateScale {
    double left, top, right, bottom;
};
PlateScale plateScale(const PlateLayout& plate);
// The same, widened or heightened around its centre so that a unit is as
// long across as down on a surface of that many pixels (square wells stay
// square whatever the window's shape).
PlateScale plateScale(const PlateLayout& plate, int pixelWidth, int pixelHeight);

// What the pointer highlights: the hovered well with its row and column, or
// the rectangle of a drag (rows row0..row1, columns col0..col1).
struct PlateHighlight {
    enum class Kind { None, Hover, Drag };
    Kind kind = Kind::None;
    int row0 = 0, col0 = 0, row1 = 0, col1 = 0;
    bool freeing = false; // a drag with the right button frees the wells
    friend bool operator==(const PlateHighlight&, const PlateHighlight&) = default;
};

// Colours of the drawing.
namespace platecolour {
inline constexpr Rgb Well = colour::Red;
inline constexpr Rgb BeamInUse = colour::Blue;
inline constexpr Rgb BeamUnused = rgb(235, 190, 0);  // yellow that shows on white
inline constexpr Rgb HoverLine = rgb(255, 248, 200); // the hovered row and column
inline constexpr Rgb HoverWell = rgb(255, 225, 120);
inline constexpr Rgb DragAssign = rgb(200, 225, 255);
inline constexpr Rgb DragFree = rgb(255, 210, 210);
} // namespace platecolour

// Radius of a beam's circle on a plate of wells large enough for marks.
inline constexpr double kBeamCircleRadius = 0.14;

// Colour of a group mark: green, blue, red, black by group number modulo 4.
Rgb groupColour(int group);

// Draws the plate: clears, sets the scale, the highlight, every well as a red
// rectangle, every channel as a small circle (blue when enabled and in a
// well, yellow otherwise), "G" + group in each well whose beam 0 channel is
// in a group, and the column numbers and row letters in black.
void Dibujar_placa(Surface& surface, const SharedState& state,
                   const PlateHighlight& highlight = {});
// The same for any copy of the plate layout and channel tables (an
// acquisition's, in the offline browser), with the wells outlined in the
// given colour.
void Dibujar_placa(Surface& surface, const PlateLayout& plate, const ChannelTables& channels,
                   const PlateHighlight& highlight = {}, Rgb wellColour = platecolour::Well);

} // namespace trv
