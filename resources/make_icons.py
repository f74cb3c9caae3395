#!/usr/bin/env python3
"""Draws Velmora's pictures and writes them as .ico files beside this script
(32-bit with alpha): velmora.ico, the hand symbol, and busy.ico, the tray
animation's other frame, both at 16, 20, 24, 32 and 48 pixels (a small
icon on screens set to 100, 125, 150 and 200 %, a large one at 100 and
150 %);
drovik.ico, the maker's black logo at 32, 48 and 64 pixels; the logo is
only opaque black on a transparent ground, so its 48 and 64 pixel images
are 16-colour ones with an AND mask, which show the same pixels in a sixth
of the bytes. Run it again
after changing a drawing; the .ico files are committed so that a build needs
no Python."""
import os
import struct
import zlib

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
# The hand drawn again for larger screens, with the same parts as the 16x16
# one: an outline one pixel wide (two at 48), the fingers in their places and
# the shade down the little-finger side. HAND32 is the one the query
# window's strip uses at twice the size; the icons' own 32x32 image stays
# the 16x16 drawing doubled, the look the tray has always had.
HAND20 = [
    "....................",
    "........##..........",
    "...##..#oo#..##.....",
    "..#oo#.#oo#.#oo#....",
    "..#oo#.#oo#.#oo#....",
    "..#oo#.#oo#.#oo#....",
    "..#oo#.#oo#.#oo#.##.",
    "..#oo#.#oo#.#oo##os#",
    "..#oo#.#oo#.#oo##os#",
    "..#ooo#oooo#ooo##os#",
    ".##ooooooooooooooos#",
    "#o#ooooooooooooooos#",
    "#ooooooooooooooooos#",
    "#oooooooooooooooos#.",
    ".#ooooooooooooooos#.",
    "..#ooooooooooooos#..",
    "...#ooooooooooos#...",
    "....#ooooooooos#....",
    ".....#ooooooos#.....",
    "......########......",
]

HAND24 = [
    "........................",
    "..........###...........",
    ".........#ooo#..........",
    "....###..#ooo#..###.....",
    "...#ooo#.#ooo#.#ooo#....",
    "...#ooo#.#ooo#.#ooo#....",
    "...#ooo#.#ooo#.#ooo#....",
    "...#ooo#.#ooo#.#ooo#....",
    "...#ooo#.#ooo#.#ooo#.##.",
    "...#ooo#.#ooo#.#ooo##os#",
    "...#ooo#.#ooo#.#ooo##os#",
    "...#oooo#ooooo#oooo##os#",
    ".#.#oooooooooooooooooos#",
    "#o##oooooooooooooooooos#",
    "#oo#oooooooooooooooooos#",
    "#ooooooooooooooooooooos#",
    "#oooooooooooooooooooos#.",
    ".#ooooooooooooooooooos#.",
    "..#ooooooooooooooooos#..",
    "...#ooooooooooooooos#...",
    "....#ooooooooooooos#....",
    ".....#ooooooooooos#.....",
    "......#ooooooooos#......",
    ".......##########.......",
]

HAND32 = [
    "................................",
    "................................",
    ".............####...............",
    "............#oooo#..............",
    ".....####...#oooo#...####.......",
    "....#oooo#..#oooo#..#oooo#......",
    "....#oooo#..#oooo#..#oooo#......",
    "....#oooo#..#oooo#..#oooo#......",
    "....#oooo#..#oooo#..#oooo#......",
    "....#oooo#..#oooo#..#oooo#......",
    "....#oooo#..#oooo#..#oooo#..###.",
    "....#oooo#..#oooo#..#oooo#.#oos#",
    "....#oooo#..#oooo#..#oooo#.#oos#",
    "....#oooo#..#oooo#..#oooo#.#oos#",
    "....#oooo#..#oooo#..#ooooo#ooos#",
    ".##.#ooooo##oooooo##oooooosooos#",
    "#oo#ooooooooooooooooooooooosoos#",
    "#oo#oooooooooooooooooooooooooos#",
    "#oo#oooooooooooooooooooooooooos#",
    "#ooooooooooooooooooooooooooooos#",
    "#oooooooooooooooooooooooooooss#.",
    ".#oooooooooooooooooooooooooss#..",
    "..#ooooooooooooooooooooooooss#..",
    "...#oooooooooooooooooooooooss#..",
    "....#ooooooooooooooooooooooss#..",
    ".....#ooooooooooooooooooooss#...",
    "......#ooooooooooooooooooss#....",
    ".......#ooooooooooooooooss#.....",
    "........#ooooooooooooooss#......",
    ".........#ooooooooooooss#.......",
    "..........#ooooooooooss#........",
    "...........############.........",
]

HAND48 = [
    "................................................",
    "................................................",
    "................................................",
    "....................#####.......................",
    "...................#######......................",
    "..................##ooooo##.....................",
    "........#####.....##ooooo##.....#####...........",
    ".......#######....##ooooo##....#######..........",
    "......##ooooo##...##ooooo##...##ooooo##.........",
    "......##ooooo##...##ooooo##...##ooooo##.........",
    "......##ooooo##...##ooooo##...##ooooo##.........",
    "......##ooooo##...##ooooo##...##ooooo##.........",
    "......##ooooo##...##ooooo##...##ooooo##.........",
    "......##ooooo##...##ooooo##...##ooooo##.........",
    "......##ooooo##...##ooooo##...##ooooo##.........",
    "......##ooooo##...##ooooo##...##ooooo##...####..",
    "......##ooooo##...##ooooo##...##ooooo##..######.",
    "......##ooooo##...##ooooo##...##ooooo##.##oooo##",
    "......##ooooo##...##ooooo##...##ooooo##.##ooos##",
    "......##ooooo##...##ooooo##...##ooooo##.##ooos##",
    "......##ooooo##...##ooooo##...##ooooo##.##ooos##",
    "......##ooooo##...##ooooo##...##ooooo##.##ooos##",
    ".####.##oooooo#####ooooooo#####ooooooo###oooos##",
    "########ooooooo###ooooooooo###ooooooooo#ooooos##",
    "##ooo###ooooooooooooooooooooooooooooooooooooss##",
    "##oooo##ooooooooooooooooooooooooooooooooooooss##",
    "##oooo##ooooooooooooooooooooooooooooooooooooss##",
    "##oooo##ooooooooooooooooooooooooooooooooooooss##",
    "##oooo##ooooooooooooooooooooooooooooooooooooss##",
    "##ooooooooooooooooooooooooooooooooooooooooooss##",
    "##oooooooooooooooooooooooooooooooooooooooosss##.",
    ".##ooooooooooooooooooooooooooooooooooooooosss##.",
    "..##ooooooooooooooooooooooooooooooooooooosss##..",
    "...##oooooooooooooooooooooooooooooooooooosss##..",
    "....##ooooooooooooooooooooooooooooooooooosss##..",
    ".....##oooooooooooooooooooooooooooooooooosss##..",
    "......##ooooooooooooooooooooooooooooooooosss##..",
    ".......##ooooooooooooooooooooooooooooooosss##...",
    "........##ooooooooooooooooooooooooooooosss##....",
    ".........##ooooooooooooooooooooooooooosss##.....",
    "..........##ooooooooooooooooooooooooosss##......",
    "...........##ooooooooooooooooooooooosss##.......",
    "............##ooooooooooooooooooooosss##........",
    ".............##ooooooooooooooooooosss##.........",
    "..............##ooooooooooooooooosss##..........",
    "...............##ooooooooooooooosss##...........",
    "................####################............",
    ".................##################.............",
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


# The drawing each icon size is made from; a size not listed doubles (or
# triples, or quadruples) the 16x16 drawing.
HANDS = {16: HAND, 20: HAND20, 24: HAND24, 48: HAND48}
LOGOS = {16: LOGO}


def drawing_for(size, drawings):
    return drawings.get(size, drawings[16])


def pixels(size, drawing=HAND, colours=COLOURS):
    scale = size // len(drawing)
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


def icon_image_png(size, drawing=HAND, colours=COLOURS):
    """The true-colour image as a PNG file, which Windows reads inside an icon
    since Vista: a flat drawing takes a few hundred bytes instead of nine
    thousand."""
    rows = pixels(size, drawing, colours)
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8 bits of red, green, blue, alpha
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


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


def icon_image_palette(size, drawing=HAND, colours=COLOURS, bits=8):
    """The drawing with a colour table of 1 << bits entries: index 0 is
    black, which the transparent pixels hold under their AND mask so that
    the screen shows through unchanged. Only pixels that are fully opaque or
    fully transparent can be drawn this way."""
    rows = pixels(size, drawing, colours)
    if any(0 < a < 255 for row in rows for (_, _, _, a) in row):
        raise ValueError("a %d-pixel image with partly transparent pixels needs true colour" % size)
    palette = sorted({(r, g, b) for row in rows for (r, g, b, a) in row if a})
    palette = [(0, 0, 0)] + [c for c in palette if c != (0, 0, 0)]
    if len(palette) > 1 << bits:
        raise ValueError("%d colours do not fit a %d-bit image" % (len(palette), bits))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, 1 << bits, 0)
    table = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette) + bytes(4 * ((1 << bits) - len(palette)))
    stride = (size * bits + 31) // 32 * 4
    per_byte = 8 // bits
    xor = b""
    for row in reversed(rows):
        indexes = [palette.index((r, g, b)) if a else 0 for (r, g, b, a) in row]
        line = bytearray(stride)
        for x, i in enumerate(indexes):
            line[x // per_byte] |= i << (8 - bits * (1 + x % per_byte))
        xor += bytes(line)
    return header + table + xor + and_mask(rows, size)


def icon_image_256(size, drawing=HAND, colours=COLOURS):
    """The same drawing with a 256-entry palette, for screens of 256 colours."""
    return icon_image_palette(size, drawing, colours, 8)


def write_ico(path, sizes, drawings=HANDS, colours=COLOURS, with_256=(), sixteen=(), png=()):
    """Writes the images in the order of sizes, after 256-colour ones for the
    sizes in with_256: true colour, as PNG for the sizes in png, or 16 colours
    for the sizes in sixteen."""
    def image(s):
        if s in sixteen:
            return (s, 4, icon_image_palette(s, drawing_for(s, drawings), colours, 4))
        if s in png:
            return (s, 32, icon_image_png(s, drawing_for(s, drawings), colours))
        return (s, 32, icon_image(s, drawing_for(s, drawings), colours))
    entries = [image(s) for s in sizes]
    entries = [(s, 8, icon_image_256(s, drawing_for(s, drawings), colours)) for s in with_256] + entries
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, bits, data in entries:
        count = 1 << bits if bits < 8 else 0
        out += struct.pack("<BBBBHHII", size % 256, size % 256, count, 0, 1, bits, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(data for (_, _, data) in entries))


def main(outdir):
    sizes = [16, 20, 24, 32, 48]
    # The tray's two frames carry 256-colour images beside the true-colour ones.
    # The images only denser screens load (24 and 48 pixels: a small icon at
    # 150 %, a large one at 150 % and a small one at 300 %) are PNG, eighteen
    # kilobytes less in the program; a screen at 100 % never decodes one.
    write_ico(os.path.join(outdir, "velmora.ico"), sizes, with_256=[16, 32], png=[24, 48])
    write_ico(os.path.join(outdir, "busy.ico"), sizes, HANDS, BUSY_COLOURS, with_256=[16], png=[24, 48])
    # The About window shows the logo at 32 logical pixels: 48 at 150 %, 64 at 200 %.
    # The 32-pixel image stays true colour, so a size halfway between 32 and
    # 48 still picks it on a true-colour screen. At the sizes of the usual
    # scales (32, 40, 48, 56, 64 and up) the logo shows the same pixels as
    # with alpha; shrunk to some sizes between (41, 42, 44, 46, 58, 60, 62),
    # Wine rounds a few of the masked images' edge pixels the other way.
    write_ico(os.path.join(outdir, "drovik.ico"), [32, 48, 64], LOGOS, LOGO_COLOURS, sixteen=[48, 64])


if __name__ == "__main__":
    main(os.path.dirname(os.path.abspath(__file__)))
