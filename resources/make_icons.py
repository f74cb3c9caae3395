#!/usr/bin/env python3
"""Draws Velmora's pictures and writes them as .ico files beside this script
(32-bit with alpha): velmora.ico, the hand symbol (16x16 and 32x32);
busy.ico, the tray animation's other frame (16x16); drovik.ico, the maker's
black logo (32x32). Run it again after changing a drawing; the .ico files
are committed so that a build needs no Python."""
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

# While a server is asked, the tray icon blinks between the hand and this
# frame: the same hand lit up in yellow with a blue outline, so the blink is
# plain at 16x16 without the icon seeming to move.
BUSY_COLOURS = {"#": (0, 60, 200, 255), "o": (255, 230, 40, 255), "s": (230, 170, 0, 255), ".": (0, 0, 0, 0)}

# The maker's logo: a black "D" in a black ring, 16 cells drawn at twice the size.
LOGO = [
    "................",
    ".....######.....",
    "...##......##...",
    "..#..........#..",
    ".#..######....#.",
    ".#..##...##...#.",
    "#...##....##...#",
    "#...##....##...#",
    "#...##....##...#",
    "#...##....##...#",
    ".#..##...##...#.",
    ".#..######....#.",
    "..#..........#..",
    "...##......##...",
    ".....######.....",
    "................",
]
LOGO_COLOURS = {"#": (0, 0, 0, 255), ".": (0, 0, 0, 0)}


def pixels(size, drawing=HAND, colours=COLOURS):
    scale = size // 16
    return [[colours[drawing[y // scale][x // scale]] for x in range(size)] for y in range(size)]


def icon_image(size, drawing=HAND, colours=COLOURS):
    rows = pixels(size, drawing, colours)
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


def and_mask(rows, size):
    mask_row = ((size + 31) // 32) * 4
    out = b""
    for row in reversed(rows):
        bits = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bytes(bits)
    return out


def icon_image_256(size, drawing=HAND, colours=COLOURS):
    """The same drawing with a 256-entry palette, for screens of 256 colours."""
    rows = pixels(size, drawing, colours)
    palette = sorted({(r, g, b) for row in rows for (r, g, b, a) in row if a})
    palette = [(0, 0, 0)] + [c for c in palette if c != (0, 0, 0)]
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    table = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette) + bytes(4 * (256 - len(palette)))
    stride = (size + 3) // 4 * 4
    xor = b"".join(bytes(palette.index((r, g, b)) if a else 0 for (r, g, b, a) in row).ljust(stride, b"\0")
                   for row in reversed(rows))
    return header + table + xor + and_mask(rows, size)


def write_ico(path, sizes, drawing=HAND, colours=COLOURS, with_256=False):
    entries = [(s, 32, icon_image(s, drawing, colours)) for s in sizes]
    if with_256:
        entries = [(s, 8, icon_image_256(s, drawing, colours)) for s in sizes] + entries
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, bits, data in entries:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(data for (_, _, data) in entries))


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    write_ico(os.path.join(here, "velmora.ico"), [16, 32], with_256=True)
    # The tray's two frames carry a 256-colour image beside the true-colour one.
    write_ico(os.path.join(here, "busy.ico"), [16], HAND, BUSY_COLOURS, with_256=True)
    write_ico(os.path.join(here, "drovik.ico"), [32], LOGO, LOGO_COLOURS)
