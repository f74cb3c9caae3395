#!/usr/bin/env python3
"""Draws the query window's hand strip and writes resources/hand.bmp: an 8-bit
180x16 bitmap of ten 18x16 frames on white (the transparent colour). Frames
0-7 wave the hand left and right and back, frame 8 (answered) adds a green
tick, frame 9 (failed) a red cross. It writes the same strip for screens of
twice the density as resources/hand2x.bmp: 360x32, ten 36x32 frames, with
the 32x32 hand, the wave's steps doubled and the marks drawn at their size,
also as an 8-bit bitmap. Each colour table holds the strip's few colours
(white first): the files take a third to a half of a 24-bit one. Run it
again after changing the drawing; the .bmp files are committed so that a
build needs no Python."""
import os
import struct

from make_icons import HAND, HAND32

WHITE = (255, 255, 255)
COLOURS = {"#": (40, 40, 60), "o": (250, 206, 160), "s": (214, 160, 112)}
# The wave: horizontal offsets of the hand within its 18-pixel frame.
WAVE = [1, 2, 2, 1, 1, 0, 0, 1]
TICK = ["......g", ".....gg", "g...gg.", "gg.gg..", ".ggg...", "..g...."]
CROSS = ["r....r", "rr..rr", ".rrrr.", ".rrrr.", "rr..rr", "r....r"]
# The marks at twice the size, with strokes of even width instead of
# doubled steps.
TICK2X = [
    "............gg",
    "...........ggg",
    "..........ggg.",
    ".........ggg..",
    ".g.......ggg..",
    "ggg.....ggg...",
    "ggg....ggg....",
    ".ggg..ggg.....",
    "..gggggg......",
    "...ggggg......",
    "...gggg.......",
    "....gg........",
]
CROSS2X = [
    "rr........rr",
    "rrr......rrr",
    ".rrr....rrr.",
    "..rrr..rrr..",
    "...rrrrrr...",
    "....rrrr....",
    "....rrrr....",
    "...rrrrrr...",
    "..rrr..rrr..",
    ".rrr....rrr.",
    "rrr......rrr",
    "rr........rr",
]
MARKS = {"g": (20, 150, 40), "r": (210, 30, 30)}


def frame(offset, mark=None, hand=HAND, width=18):
    height = len(hand)
    rows = [[WHITE] * width for _ in range(height)]
    for y, line in enumerate(hand):
        for x, c in enumerate(line):
            if c in COLOURS:
                rows[y][x + offset] = COLOURS[c]
    if mark:
        top, left = height - len(mark), width - len(mark[0])
        for y, line in enumerate(mark):
            for x, c in enumerate(line):
                if c in MARKS:
                    rows[top + y][left + x] = MARKS[c]
    return rows


def strip(scale=1):
    """The ten frames side by side; scale 2 is the strip for 200 %."""
    hand, tick, cross = (HAND, TICK, CROSS) if scale == 1 else (HAND32, TICK2X, CROSS2X)
    width = 18 * scale
    frames = [frame(o * scale, None, hand, width) for o in WAVE]
    frames += [frame(scale, tick, hand, width), frame(scale, cross, hand, width)]
    return [[px for f in frames for px in f[y]] for y in range(len(hand))]


def write_bmp_8(path, rows):
    """The picture with one byte a pixel into a table of its colours: a DIB
    section of it draws every pixel in the colour of the drawing, and white
    stays the colour the strip's corner is read as."""
    height, width = len(rows), len(rows[0])
    colours = [WHITE] + sorted({px for row in rows for px in row} - {WHITE})
    if len(colours) > 256:
        raise ValueError("%d colours do not fit a 256-colour table" % len(colours))
    index = {c: i for i, c in enumerate(colours)}
    stride = (width + 3) & ~3
    table = b"".join(bytes((b, g, r, 0)) for (r, g, b) in colours)
    data = b"".join(bytes(index[px] for px in row).ljust(stride, b"\0") for row in reversed(rows))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(data), 2835, 2835, len(colours), 0)
    offset = 14 + 40 + len(table)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + header + table + data)


def main(outdir):
    write_bmp_8(os.path.join(outdir, "hand.bmp"), strip())
    write_bmp_8(os.path.join(outdir, "hand2x.bmp"), strip(2))


if __name__ == "__main__":
    main(os.path.dirname(os.path.abspath(__file__)))
