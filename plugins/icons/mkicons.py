#!/usr/bin/env python3
"""Write the reference plug-ins' 16 x 16 game icons as .ico files.

    mkicons.py OUTDIR [GAME...]     (default: every game)

Each icon is drawn below as 16 rows of 16 characters: '.' is transparent,
every other character names a colour of that game's palette. The file holds
one 32-bit image with its AND mask (transparent where alpha is 0), which
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


def ico_bytes(art, palette):
    rows = rows_of(art)
    size = 16
    xor = bytearray()
    andmask = bytearray()
    # DIB rows go bottom-up.
    for row in reversed(rows):
        bits = 0
        for x, ch in enumerate(row):
            if ch == '.':
                xor += bytes((0, 0, 0, 0))
                bits |= 0x80 >> (x % 8) << (8 * (1 - x // 8))
            else:
                r, g, b = palette[ch]
                xor += bytes((b, g, r, 255))
        andmask += struct.pack('>H', bits) + b'\0\0'  # each mask row padded to 32 bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    image = header + bytes(xor) + bytes(andmask)
    icondir = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), 6 + 16)
    return icondir + entry + image


def main(argv):
    if not argv:
        raise SystemExit(__doc__)
    out = argv[0]
    games = argv[1:] or sorted(ICONS)
    os.makedirs(out, exist_ok=True)
    for game in games:
        art, palette = ICONS[game]
        with open(os.path.join(out, game + '.ico'), 'wb') as f:
            f.write(ico_bytes(art, palette))


if __name__ == '__main__':
    main(sys.argv[1:])
