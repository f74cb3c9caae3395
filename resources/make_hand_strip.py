#!/usr/bin/env python3
"""Draws the query window's hand strip and writes resources/hand.bmp: a 24-bit
180x16 bitmap of ten 18x16 frames on white (the transparent colour). Frames
0-7 wave the hand left and right and back, frame 8 (answered) adds a green
tick, frame 9 (failed) a red cross. Run it again after changing the drawing;
the .bmp is committed so that a build needs no Python."""
import os
import struct

from make_icons import HAND

WHITE = (255, 255, 255)
COLOURS = {"#": (40, 40, 60), "o": (250, 206, 160), "s": (214, 160, 112)}
# The wave: horizontal offsets of the hand within its 18-pixel frame.
WAVE = [1, 2, 2, 1, 1, 0, 0, 1]
TICK = ["......g", ".....gg", "g...gg.", "gg.gg..", ".ggg...", "..g...."]
CROSS = ["r....r", "rr..rr", ".rrrr.", ".rrrr.", "rr..rr", "r....r"]
MARKS = {"g": (20, 150, 40), "r": (210, 30, 30)}


def frame(offset, mark=None):
    rows = [[WHITE] * 18 for _ in range(16)]
    for y, line in enumerate(HAND):
        for x, c in enumerate(line):
            if c in COLOURS:
                rows[y][x + offset] = COLOURS[c]
    if mark:
        top, left = 16 - len(mark), 18 - len(mark[0])
        for y, line in enumerate(mark):
            for x, c in enumerate(line):
                if c in MARKS:
                    rows[top + y][left + x] = MARKS[c]
    return rows


def strip():
    frames = [frame(o) for o in WAVE] + [frame(1, TICK), frame(1, CROSS)]
    return [[px for f in frames for px in f[y]] for y in range(16)]


def write_bmp(path, rows):
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    data = b"".join(
        bytes(c for (r, g, b) in row for c in (b, g, r)) + b"\0" * (stride - width * 3) for row in reversed(rows)
    )
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 14 + 40 + len(data), 0, 0, 54) + header + data)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    write_bmp(os.path.join(here, "hand.bmp"), strip())
