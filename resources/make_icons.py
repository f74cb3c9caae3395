#!/usr/bin/env python3
"""Draws Velmora's hand symbol and writes resources/velmora.ico (16x16 and
32x32, 32-bit with alpha). Run it again after changing the drawing; the .ico
is committed so that a build needs no Python."""
import os
import struct

# 16x16: '#' outline, 'o' skin, 's' shade, '.' transparent. An open hand
# raised in greeting, the tray's everyday mark.
HAND = [
    "................",
    "......##........",
    "...##.#o#.##....",
    "..#o#.#o#.#o#...",
    "..#o#.#o#.#o#...",
    "..#o#.#o#.#o#.#.",
    "..#o#.#o#.#o##o#",
    "..#o##o##o##o#o#",
    "#.#ooooooooooso#",
    "#o#ooooooooooos#",
    "#oooooooooooos#.",
    ".#oooooooooooo#.",
    "..#oooooooooos#.",
    "...#ooooooooo#..",
    "....#oooooos#...",
    ".....#######....",
]
COLOURS = {"#": (40, 40, 60, 255), "o": (250, 206, 160, 255), "s": (214, 160, 112, 255), ".": (0, 0, 0, 0)}


def pixels(size):
    scale = size // 16
    return [[COLOURS[HAND[y // scale][x // scale]] for x in range(size)] for y in range(size)]


def icon_image(size):
    rows = pixels(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    and_mask = b""
    for row in reversed(rows):
        bits = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        and_mask += bytes(bits)
    return header + xor + and_mask


def write_ico(path, sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    write_ico(os.path.join(here, "velmora.ico"), [16, 32])
