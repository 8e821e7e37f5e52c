#!/usr/bin/env python3
"""Regenerates the plate format files of data/ (w*.dat).

The instrument's 384 beams form a fixed matrix with the 4.5 mm spacing of a
384-well plate: beam c sits at the centre of 384-well position row c mod 16,
column c div 16 (ANSI/SLAS 4-2004: A1 centre 12.13 mm from the left edge and
8.99 mm from the top edge of the plate, 4.5 mm pitch).

w384, w96f and w96u are the layouts the program also carries built in (a 384
plate, and 96 plates held by an adapter that puts the wells over beam rows
0, 2, 4 ...); their files are written from the same rules.

w96flat, w48, w24 and w6 come from the plate drawings below. A beam belongs to
a well when its centre falls inside the well's effective circle: the part of
the well a beam can see through without grazing the wall, so the effective
radius is below the well's own radius. Where a format promises at most N beams
per well and the circle holds more, the well keeps its N nearest beams: the
24- and 6-well pitches (19.3 and 39.1 mm) drift against the 4.5 mm beam pitch,
so the wells sit differently over the beams and no single circle gives every
24-well exactly 4 beams or every 6-well 30 to 32. Beams are numbered within a
well in channel order.

Plate drawings used (well centres of A1, pitch, well diameter, in mm):
  96 wells  ANSI/SLAS 4-2004: A1 14.38 / 11.24, pitch 9.0, diameter 6.86
  48 wells  common 48-well drawing: A1 18.16 / 10.08, pitch 13.08, diameter 11.0
  24 wells  common 24-well drawing: A1 17.05 / 13.67, pitch 19.3, diameter 15.6
  6 wells   common 6-well drawing:  A1 24.8 / 16.3, pitch 39.1, diameter 34.8

Geometry items are in plate units: one unit is the beam spacing (4.5 mm) and
the origin lies half a unit before the centre of beam 0, so beam c is drawn at
(c div 16 + 0.5, c mod 16 + 0.5) and each well's rectangle is centred on the
well.

Usage: scripts/plate_formats.py [output folder]   (default: data/ of the repo)
"""

import math
import os
import sys

BEAM_PITCH = 4.5
BEAM0_X, BEAM0_Y = 12.13, 8.99
CHANNELS = 384

# name: (title, rows, columns, A1 x, A1 y, pitch, well diameter,
#        effective radius, fewest beams, most beams)
DRAWN = {
    "w96flat": ("96 wells flat bottom, 4 beams per well",
                8, 12, 14.38, 11.24, 9.0, 6.86, 3.43, 4, 4),
    "w48": ("48 wells, 1 to 3 beams per well",
            6, 8, 18.16, 10.08, 13.08, 11.0, 4.42, 1, 3),
    "w24": ("24 wells, 4 beams per well",
            4, 6, 17.05, 13.67, 19.3, 15.6, 5.25, 4, 4),
    "w6": ("6 wells, 30 to 32 beams per well",
           2, 3, 24.8, 16.3, 39.1, 34.8, 15.4, 30, 32),
}

# A beam closer than this to the edge of an effective circle would make the
# result depend on rounding; the radii above keep clear of every beam.
MARGIN_MM = 0.005


def beam_centre(c):
    return BEAM0_X + BEAM_PITCH * (c // 16), BEAM0_Y + BEAM_PITCH * (c % 16)


def units(mm, origin_mm):
    return (mm - origin_mm) / BEAM_PITCH + 0.5


def number(v):
    """A real as the store writes it: plain decimal, at most 4 decimals."""
    text = f"{v:.4f}".rstrip("0").rstrip(".")
    return "0" if text in ("-0", "") else text


def drawn_layout(rows, cols, x0, y0, pitch, diameter, radius, fewest, most):
    if radius > diameter / 2:
        raise ValueError("effective radius larger than the well")
    wells = [(col * rows + row, x0 + col * pitch, y0 + row * pitch)
             for col in range(cols) for row in range(rows)]
    well_of = [-1] * CHANNELS
    for w, wx, wy in wells:
        inside = []
        for c in range(CHANNELS):
            bx, by = beam_centre(c)
            d = math.hypot(bx - wx, by - wy)
            if abs(d - radius) < MARGIN_MM:
                raise ValueError(f"beam {c} lies on the edge of well {w}")
            if d < radius:
                inside.append((d, c))
        inside.sort()
        chosen = sorted(c for _, c in inside[:most])
        if not fewest <= len(chosen) <= most:
            raise ValueError(f"well {w} holds {len(chosen)} beams")
        for c in chosen:
            if well_of[c] != -1:
                raise ValueError(f"beam {c} in two wells")
            well_of[c] = w
    beam_of = [0] * CHANNELS
    seen = {}
    for c in range(CHANNELS):
        if well_of[c] >= 0:
            beam_of[c] = seen.get(well_of[c], 0)
            seen[well_of[c]] = beam_of[c] + 1
    unit_pitch = pitch / BEAM_PITCH  # same pitch across and down
    geometry = (rows, unit_pitch, units(y0, BEAM0_Y) - unit_pitch / 2,
                cols, unit_pitch, units(x0, BEAM0_X) - unit_pitch / 2)
    return geometry, well_of, beam_of


def builtin_layout(name):
    well_of = [-1] * CHANNELS
    beam_of = [0] * CHANNELS
    if name == "w384":
        return (16, 1.0, 0.0, 24, 1.0, 0.0), list(range(CHANNELS)), beam_of
    unbeveled = name == "w96u"
    for c in range(CHANNELS):
        row, col = c % 16, c // 16
        if row % 2 or (unbeveled and col % 2):
            continue
        well_of[c] = (col // 2) * 8 + row // 2
        beam_of[c] = 0 if unbeveled else col % 2
    return (8, 2.0, -0.5, 12, 2.0, -0.5 if unbeveled else 0.0), well_of, beam_of


BUILTIN = {
    "w384": "384 wells, 1 beam per well",
    "w96f": "96 wells with adapter, 2 beams per well",
    "w96u": "96 wells U bottom with adapter, 1 beam per well",
}


def file_text(name, title, geometry, well_of, beam_of):
    rows, rp, ro, cols, cp, co = geometry
    lines = [f'"Plate format {name}"', f'"{title}"',
             ",".join([str(rows), number(rp), number(ro), str(cols), number(cp), number(co)]),
             '"<Channel>, <Well>, <Beam>"']
    lines += [f'"{c}",{well_of[c]},{beam_of[c]}' for c in range(CHANNELS)]
    return "".join(line + "\r\n" for line in lines)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "data")
    for name, title in BUILTIN.items():
        text = file_text(name, title, *builtin_layout(name))
        with open(os.path.join(out, name + ".dat"), "w", newline="") as f:
            f.write(text)
    for name, (title, *drawing) in DRAWN.items():
        text = file_text(name, title, *drawn_layout(*drawing))
        with open(os.path.join(out, name + ".dat"), "w", newline="") as f:
            f.write(text)


if __name__ == "__main__":
    main()
