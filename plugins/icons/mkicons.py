#!/usr/bin/env python3
"""Write the reference plug-ins' game icons as .ico files.

    mkicons.py OUTDIR [GAME...]     (default: every game)

Each icon is drawn below as 16 rows of 16 characters: '.' is transparent,
every other character names a colour of that game's palette. The file holds
that 16 x 16 image first, then the same drawing at 20, 24 and 32 pixels for
screens set to 125 %, 150 % and 200 %: the 32 x 32 one doubles every cell,
rounds the stair-steps of the silhouette and keeps the outline one pixel
wide; the 20 and 24 ones double a chosen few columns and rows (picked per
icon so that letters keep even strokes and round shapes stay round). Every
image is 32-bit with its AND mask (transparent where alpha is 0), which
every Windows version since 95 can read. Standard library only; the output
is the same byte for byte on every run.
"""
import os
import struct
import sys

# Quake: a bronze rune on a dark stone tile.
QUAKE = ("""
.kkkkkkkkkkkkkk.
kssssssssssssssk
ksssssbbbbsssssk
ksssbbbssbbbsssk
kssbbsssssbbsssk
kssbbsssssbbsssk
ksbbssssssssbbsk
ksbbsssbbsssbbsk
ksbbsssbbsssbbsk
kssbbssbbssbbssk
kssbbbsbbsbbbssk
ksssbbbbbbbbsssk
ksssssbbbbsssssk
ksssssssbbbssssk
kssssssssssssssk
.kkkkkkkkkkkkkk.
""", {'k': (40, 32, 24), 's': (92, 80, 64), 'b': (214, 150, 60)})

# QuakeWorld: "QW" in steel blue on a round dark globe.
QUAKEWORLD = ("""
.....kkkkkk.....
...kkggggggkk...
..kggggggggggk..
.kgggggggggggggk
.kgwwwggwggggwgk
kggwgwggwggggwgk
kggwgwggwggggwgk
kggwgwggwgwggwgk
kggwgwggwgwggwgk
kggwwwggwwgwwwgk
kggggwgggwgwgggk
.kgggggggggggggk
.kgggggggggggggk
..kggggggggggk..
...kkggggggkk...
.....kkkkkk.....
""", {'k': (16, 24, 48), 'g': (52, 88, 150), 'w': (220, 230, 245)})

# Quake II: a green "2" on a dark metal plate with rivets.
QUAKE2 = ("""
kkkkkkkkkkkkkkkk
krmmmmmmmmmmmmrk
kmmmmmmmmmmmmmmk
kmmmmggggggmmmmk
kmmmggggggggmmmk
kmmmggmmmmggmmmk
kmmmmmmmmmggmmmk
kmmmmmmmmggmmmmk
kmmmmmmmggmmmmmk
kmmmmmmggmmmmmmk
kmmmmmggmmmmmmmk
kmmmmggmmmmmmmmk
kmmmggggggggmmmk
kmmmggggggggmmmk
krmmmmmmmmmmmmrk
kkkkkkkkkkkkkkkk
""", {'k': (20, 20, 20), 'm': (70, 74, 70), 'r': (150, 150, 140), 'g': (90, 200, 60)})

# Quake III Arena: a red "3" in a dark red ring.
QUAKE3 = ("""
.....kkkkkk.....
...kkddddddkk...
..kddddddddddk..
.kdddrrrrrrdddk.
.kddrrrrrrrrddk.
kdddddddddrrdddk
kdddddddddrrdddk
kddddddrrrrddddk
kddddddrrrrddddk
kdddddddddrrdddk
kdddddddddrrdddk
.kddrrrrrrrrddk.
.kdddrrrrrrdddk.
..kddddddddddk..
...kkddddddkk...
.....kkkkkk.....
""", {'k': (30, 0, 0), 'd': (96, 16, 16), 'r': (240, 60, 40)})

# OpenArena: an orange "OA" on a white-rimmed dark tile.
OPENARENA = ("""
wwwwwwwwwwwwwwww
wkkkkkkkkkkkkkkw
wkkkkkkkkkkkkkkw
wkooookkkkookkkw
wkokkokkkokkokkw
wkokkokkkokkokkw
wkokkokkkokkokkw
wkokkokkkoooookw
wkokkokkkokkkokw
wkokkokkkokkkokw
wkokkokkkokkkokw
wkooookkkokkkokw
wkkkkkkkkkkkkkkw
wkkkkkkkkkkkkkkw
wkkkkkkkkkkkkkkw
wwwwwwwwwwwwwwww
""", {'w': (235, 235, 235), 'k': (36, 36, 44), 'o': (255, 140, 20)})

ICONS = {
    'quake': QUAKE,
    'quakeworld': QUAKEWORLD,
    'quake2': QUAKE2,
    'quake3': QUAKE3,
    'openarena': OPENARENA,
}


def rows_of(art):
    rows = [r for r in art.strip('\n').split('\n')]
    if len(rows) != 16 or any(len(r) != 16 for r in rows):
        raise SystemExit('an icon must be 16 rows of 16 characters')
    return rows


# For each icon: the character of its outline, which stays one pixel wide
# when the drawing grows, and for 20 and 24 pixels the columns and the rows
# (0-15) drawn twice.
LARGER = {
    'quake': ('k', {20: ((0, 5, 10, 15), (0, 6, 8, 15)),
                    24: ((0, 1, 5, 6, 9, 10, 14, 15), (0, 1, 5, 6, 8, 9, 14, 15))}),
    'quakeworld': ('k', {20: ((2, 5, 10, 13), (2, 5, 10, 13)),
                         24: ((1, 2, 4, 5, 10, 11, 13, 14), (1, 3, 5, 7, 8, 10, 12, 14))}),
    'quake2': ('k', {20: ((0, 2, 13, 15), (0, 5, 8, 15)),
                     24: ((0, 1, 2, 6, 8, 13, 14, 15), (0, 1, 2, 6, 8, 13, 14, 15))}),
    'quake3': ('k', {20: ((2, 5, 10, 13), (2, 5, 10, 13)),
                     24: ((1, 2, 4, 5, 10, 11, 13, 14), (1, 3, 5, 7, 8, 10, 12, 14))}),
    'openarena': ('w', {20: ((0, 7, 8, 15), (1, 5, 10, 14)),
                        24: ((0, 1, 3, 7, 8, 10, 14, 15), (0, 1, 4, 6, 9, 10, 14, 15))}),
}
SIZES = (16, 20, 24, 32)


def widen(rows, cols, lines):
    """Nearest neighbour: the listed columns and rows come out twice."""
    out = []
    for y, row in enumerate(rows):
        wide = ''.join(ch * (2 if x in cols else 1) for x, ch in enumerate(row))
        out += [wide] * (2 if y in lines else 1)
    return out


def rounded_double(rows, outline):
    """Each cell as 2 x 2 pixels, the silhouette's stair-steps smoothed the
    way EPX smooths them; a corner it fills takes the outline's colour.
    Beyond the image edge counts as more of the edge, so a tile that fills
    its square keeps square corners."""
    size = len(rows)

    def solid(x, y):
        return rows[min(max(y, 0), size - 1)][min(max(x, 0), size - 1)] != '.'

    out = [[ch for ch in row for _ in (0, 1)] for row in rows for _ in (0, 1)]
    for y in range(size):
        for x in range(size):
            me, up, down = solid(x, y), solid(x, y - 1), solid(x, y + 1)
            left, right = solid(x - 1, y), solid(x + 1, y)
            corners = (
                (0, 0, left == up and left != down and up != right, up),
                (1, 0, up == right and up != left and right != down, right),
                (0, 1, down == left and down != right and left != up, left),
                (1, 1, right == down and right != up and down != left, down),
            )
            for dx, dy, takes, other in corners:
                if takes and other != me:
                    out[2 * y + dy][2 * x + dx] = outline if other else '.'
    return [''.join(row) for row in out]


def thin_outline(rows, outline):
    """Where the outline came out two pixels thick, its inner pixel takes the
    colour inside it, so the outline is one pixel wide at every size."""
    h, w = len(rows), len(rows[0])

    def at(x, y):
        return rows[y][x] if 0 <= x < w and 0 <= y < h else '.'

    def outside(x, y):
        return any(at(x + dx, y + dy) == '.' for dx in (-1, 0, 1) for dy in (-1, 0, 1))

    steps = ((-1, 0), (1, 0), (0, -1), (0, 1))
    out = [list(row) for row in rows]
    for y in range(h):
        for x in range(w):
            if rows[y][x] != outline or outside(x, y):
                continue
            for dx, dy in steps:
                inner = at(x + dx, y + dy)
                if inner in (outline, '.'):
                    continue
                # The pixel behind stays outline: it borders the outside, or
                # more outline lies beyond it.
                bx, by = x - dx, y - dy
                if at(bx, by) == outline and (outside(bx, by) or at(bx - dx, by - dy) == outline):
                    out[y][x] = inner
                    break
    # An inner corner between two pixels that turned follows them.
    turned = [row[:] for row in out]
    for y in range(h):
        for x in range(w):
            if turned[y][x] != outline or outside(x, y):
                continue
            colours = [turned[y + dy][x + dx] for dx, dy in steps
                       if 0 <= x + dx < w and 0 <= y + dy < h
                       and rows[y + dy][x + dx] == outline and turned[y + dy][x + dx] != outline]
            if len(colours) >= 2:
                out[y][x] = colours[0]
    # A colour inside that meets the outside side by side (a step the small
    # drawing leaves open) is closed with the outline.
    for y in range(h):
        for x in range(w):
            if rows[y][x] not in (outline, '.') and any(at(x + dx, y + dy) == '.' for dx, dy in steps):
                out[y][x] = outline
    return [''.join(row) for row in out]


def drawings(game):
    """The icon's drawing at each size, as rows of palette characters."""
    art, _ = ICONS[game]
    rows = rows_of(art)
    outline, picks = LARGER[game]
    out = {16: rows, 32: thin_outline(rounded_double(rows, outline), outline)}
    for size, (cols, lines) in picks.items():
        out[size] = thin_outline(widen(rows, cols, lines), outline)
    return out


def image_bytes(rows, palette):
    size = len(rows)
    stride = (size + 31) // 32 * 4  # each mask row padded to 32 bits
    xor = bytearray()
    andmask = bytearray()
    # DIB rows go bottom-up.
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, ch in enumerate(row):
            if ch == '.':
                xor += bytes((0, 0, 0, 0))
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                r, g, b = palette[ch]
                xor += bytes((b, g, r, 255))
        andmask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(andmask)


def ico_bytes(game):
    _, palette = ICONS[game]
    art = drawings(game)
    images = [image_bytes(art[size], palette) for size in SIZES]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b''.join(images)


def main(argv):
    if not argv:
        raise SystemExit(__doc__)
    out = argv[0]
    games = argv[1:] or sorted(ICONS)
    os.makedirs(out, exist_ok=True)
    for game in games:
        with open(os.path.join(out, game + '.ico'), 'wb') as f:
            f.write(ico_bytes(game))


if __name__ == '__main__':
    main(sys.argv[1:])
