#!/usr/bin/env python3
"""The program's pictures read back the way Windows reads them: the .ico
directories and their images, the hand strips' bitmap headers and frames,
and the plug-ins' game icons. The committed files must be what the scripts
draw now, so a drawing changed without running its script is caught."""
import os
import struct
import sys
import tempfile
import unittest
import zlib

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
RESOURCES = os.path.join(SOURCE, "resources")
PLUGIN_ICONS = os.path.join(SOURCE, "plugins", "icons")
sys.path[:0] = [RESOURCES, PLUGIN_ICONS]

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import make_hand_strip  # noqa: E402
import make_icons  # noqa: E402
import mkicons  # noqa: E402


def palette_of(data, at, count):
    return [(data[at + 4 * i + 2], data[at + 4 * i + 1], data[at + 4 * i]) for i in range(count)]


def indexes(line, bits, w):
    """The colour indexes of a row of 4 or 8 bits a pixel, the first pixel in
    the high bits."""
    per_byte = 8 // bits
    return [(line[x // per_byte] >> (8 - bits * (1 + x % per_byte))) & ((1 << bits) - 1) for x in range(w)]


PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def read_png(data, w, h):
    """Rows top-down of (r, g, b, a) of a PNG of 8-bit RGBA whose rows are
    stored unfiltered, as make_icons.py writes them; checks its chunks'
    checksums and its size against the icon entry's."""
    at, kind, idat, header = 8, None, b"", None
    while kind != b"IEND":
        length, kind = struct.unpack_from(">I4s", data, at)
        body = data[at + 8:at + 8 + length]
        if struct.unpack_from(">I", data, at + 8 + length)[0] != zlib.crc32(kind + body):
            raise ValueError("PNG chunk %r: bad checksum" % kind)
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    if header != (w, h, 8, 6, 0, 0, 0):
        raise ValueError("PNG header %r is not an 8-bit RGBA %dx%d image" % (header, w, h))
    raw, stride = zlib.decompress(idat), 1 + 4 * w
    if len(raw) != stride * h or any(raw[y * stride] for y in range(h)):
        raise ValueError("PNG rows not %d unfiltered rows of %d pixels" % (h, w))
    return [[tuple(raw[y * stride + 1 + 4 * x:y * stride + 5 + 4 * x]) for x in range(w)] for y in range(h)]


def read_ico(data):
    """[(width, height, bits, rows)], rows top-down of (r, g, b, a) as the
    screen shows them: the alpha of 32-bit images, the AND mask of those with
    a colour table (opaque where clear, (0, 0, 0, 0) where set); checks the
    layout."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if (reserved, kind) != (0, 1) or count == 0:
        raise ValueError("not an icon directory")
    images = []
    for i in range(count):
        w, h, colours, _, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        w, h = w or 256, h or 256
        if offset + size > len(data):
            raise ValueError("image %d runs past the end of the file" % i)
        if data[offset:offset + 8] == PNG_SIGNATURE:
            if bits != 32:
                raise ValueError("image %d: a PNG image entered as %d bits a pixel" % (i, bits))
            images.append((w, h, bits, read_png(data[offset:offset + size], w, h)))
            continue
        header = struct.unpack_from("<IiiHHIIiiII", data, offset)
        hsize, bw, bh, bplanes, bbits = header[:5]
        if (hsize, bw, bh, bplanes, bbits) != (40, w, 2 * h, 1, bits) or planes != 1:
            raise ValueError("image %d: header %r does not match its entry %r" % (i, header[:5], (w, h, bits)))
        if bits not in (4, 8, 32):
            raise ValueError("image %d: %d bits a pixel" % (i, bits))
        colours = (header[9] or (1 << bits)) if bits <= 8 else 0
        table = 4 * colours
        stride = (w * bits + 31) // 32 * 4
        mask_stride = (w + 31) // 32 * 4
        if size != 40 + table + stride * h + mask_stride * h:
            raise ValueError("image %d: %d bytes, not the %dx%d image's size" % (i, size, w, h))
        pixels = offset + 40 + table
        mask = pixels + stride * h
        rows = []
        for y in range(h):
            src = h - 1 - y  # bottom-up
            line = data[pixels + src * stride:pixels + src * stride + stride]
            bits_row = data[mask + src * mask_stride:mask + (src + 1) * mask_stride]
            transparent = [bool(bits_row[x // 8] & (0x80 >> (x % 8))) for x in range(w)]
            if bits == 32:
                row = [(line[4 * x + 2], line[4 * x + 1], line[4 * x], line[4 * x + 3]) for x in range(w)]
                for x, (_, _, _, a) in enumerate(row):
                    if transparent[x] != (a == 0):
                        raise ValueError("image %d: mask and alpha disagree at %d,%d" % (i, x, y))
            else:
                palette = palette_of(data, offset + 40, colours)
                row = []
                for x, index in enumerate(indexes(line, bits, w)):
                    if index >= colours:
                        raise ValueError("image %d: colour %d past the table at %d,%d" % (i, index, x, y))
                    if transparent[x]:
                        # Black leaves the screen as it is where the mask lets it through.
                        if palette[index] != (0, 0, 0):
                            raise ValueError("image %d: colour under the mask at %d,%d" % (i, x, y))
                        row.append((0, 0, 0, 0))
                    else:
                        row.append(palette[index] + (255,))
            rows.append(row)
        images.append((w, h, bits, rows))
    return images


def bmp_bits(data):
    return struct.unpack_from("<H", data, 28)[0]


def read_bmp(data):
    """(width, height, rows top-down of (r, g, b)) of an uncompressed
    bottom-up bitmap file of 24 bits a pixel or 8 into a colour table."""
    magic, filesize, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    hsize, w, h, planes, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    colours = struct.unpack_from("<I", data, 46)[0]
    if magic != b"BM" or filesize != len(data) or hsize != 40 or planes != 1 or bits not in (8, 24) or compression:
        raise ValueError("not a plain 24-bit or 8-bit bitmap")
    if h <= 0:
        raise ValueError("rows not bottom-up")
    colours = (colours or 256) if bits == 8 else 0
    if colours > 256 or offset != 14 + 40 + 4 * colours:
        raise ValueError("colour table of the wrong size")
    stride = (w * bits + 31) // 32 * 4
    if offset + stride * h != len(data):
        raise ValueError("pixel data of the wrong size")
    palette = palette_of(data, 14 + 40, colours)
    rows = []
    for y in range(h):
        line = data[offset + (h - 1 - y) * stride:]
        if bits == 24:
            rows.append([(line[3 * x + 2], line[3 * x + 1], line[3 * x]) for x in range(w)])
            continue
        if max(line[:w]) >= colours:
            raise ValueError("colour past the table in row %d" % y)
        rows.append([palette[index] for index in line[:w]])
    return w, h, rows


def read(path):
    with open(path, "rb") as f:
        return f.read()


def coloured(drawing, colours, size):
    scale = size // len(drawing)
    return [[colours[drawing[y // scale][x // scale]] for x in range(size)] for y in range(size)]


class ProgramIcons(unittest.TestCase):
    def test_committed_files_are_what_the_scripts_draw(self):
        with tempfile.TemporaryDirectory() as out:
            make_icons.main(out)
            make_hand_strip.main(out)
            for name in ("velmora.ico", "busy.ico", "drovik.ico", "hand.bmp", "hand2x.bmp"):
                with self.subTest(name):
                    self.assertEqual(read(os.path.join(out, name)), read(os.path.join(RESOURCES, name)),
                                     "run resources/make_icons.py and make_hand_strip.py again")

    def test_sizes_and_depths(self):
        cases = [
            ("velmora.ico", [(16, 8), (32, 8), (16, 32), (20, 32), (24, 32), (32, 32), (48, 32)]),
            ("busy.ico", [(16, 8), (16, 32), (20, 32), (24, 32), (32, 32), (48, 32)]),
            # The logo is opaque black on a transparent ground: 16 colours and
            # a mask show it as well as alpha does.
            ("drovik.ico", [(32, 32), (48, 4), (64, 4)]),
        ]
        for name, expected in cases:
            with self.subTest(name):
                images = read_ico(read(os.path.join(RESOURCES, name)))
                self.assertEqual([(w, bits) for (w, h, bits, _) in images], expected)
                self.assertTrue(all(w == h for (w, h, _, _) in images))

    def test_only_the_dense_screens_images_are_png(self):
        # A screen at 100 % loads the 16 and 32 pixel images (and the
        # 256-colour ones): those stay bitmaps, which every Windows reads.
        for name in ("velmora.ico", "busy.ico", "drovik.ico"):
            with self.subTest(name):
                data = read(os.path.join(RESOURCES, name))
                count = struct.unpack_from("<H", data, 4)[0]
                png = []
                for i in range(count):
                    w, _, _, _, _, _, _, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
                    if data[offset:offset + 8] == PNG_SIGNATURE:
                        png.append(w)
                self.assertEqual(png, [24, 48] if name != "drovik.ico" else [])

    def test_each_size_shows_its_drawing(self):
        cases = [
            ("velmora.ico", make_icons.COLOURS, {16: make_icons.HAND, 20: make_icons.HAND20,
                                                 24: make_icons.HAND24, 32: make_icons.HAND,
                                                 48: make_icons.HAND48}),
            ("busy.ico", make_icons.BUSY_COLOURS, {16: make_icons.HAND, 20: make_icons.HAND20,
                                                   24: make_icons.HAND24, 32: make_icons.HAND,
                                                   48: make_icons.HAND48}),
            ("drovik.ico", make_icons.LOGO_COLOURS, {32: make_icons.LOGO, 48: make_icons.LOGO,
                                                     64: make_icons.LOGO}),
        ]
        for name, colours, drawings in cases:
            for w, _, bits, rows in read_ico(read(os.path.join(RESOURCES, name))):
                with self.subTest(name=name, size=w, bits=bits):
                    self.assertEqual(rows, coloured(drawings[w], colours, w))

    def test_the_busy_frame_has_the_hands_outline_at_every_size(self):
        # The tray blinks between the two: a different shape would seem to move.
        hand = {w: rows for (w, _, bits, rows) in read_ico(read(os.path.join(RESOURCES, "velmora.ico"))) if bits == 32}
        busy = {w: rows for (w, _, bits, rows) in read_ico(read(os.path.join(RESOURCES, "busy.ico"))) if bits == 32}
        self.assertEqual(sorted(hand), sorted(busy))
        for w in hand:
            with self.subTest(size=w):
                self.assertEqual([[a > 0 for (_, _, _, a) in row] for row in hand[w]],
                                 [[a > 0 for (_, _, _, a) in row] for row in busy[w]])

    def test_images_with_a_colour_table_hold_up_to_its_colours(self):
        half = dict(make_icons.LOGO_COLOURS, **{"#": (0, 0, 0, 128)})
        many = ["".join(chr(65 + (x + 16 * y) % 17) for x in range(16)) for y in range(16)]
        cases = [
            ("half-transparent pixels", make_icons.LOGO, half, 4),
            ("17 colours in 16", many, {chr(65 + i): (i, 0, 0, 255) for i in range(17)}, 4),
        ]
        for name, drawing, colours, bits in cases:
            with self.subTest(name):
                with self.assertRaises(ValueError):
                    make_icons.icon_image_palette(48, drawing, colours, bits)
        # Sixteen colours fit, each pixel in its place.
        fits = {chr(65 + i): (i * 16, 255 - i, 7, 255) for i in range(16)}
        fits["A"] = (0, 0, 0, 0)
        drawing = [line.replace("Q", "B") for line in many]
        image = make_icons.icon_image_palette(16, drawing, fits, 4)
        entry = struct.pack("<BBBBHHII", 16, 16, 16, 0, 1, 4, len(image), 6 + 16)
        [(_, _, _, rows)] = read_ico(struct.pack("<HHH", 0, 1, 1) + entry + image)
        self.assertEqual(rows, coloured(drawing, fits, 16))

    def test_larger_hands_keep_skin_inside_the_outline(self):
        for drawing in (make_icons.HAND20, make_icons.HAND24, make_icons.HAND32, make_icons.HAND48):
            n = len(drawing)
            with self.subTest(size=n):
                self.assertTrue(all(len(row) == n for row in drawing))
                for y in range(n):
                    for x in range(n):
                        if drawing[y][x] not in "os":
                            continue
                        for dx, dy in ((-1, 0), (1, 0), (0, -1), (0, 1)):
                            nx, ny = x + dx, y + dy
                            inside = 0 <= nx < n and 0 <= ny < n
                            self.assertTrue(inside and drawing[ny][nx] != ".",
                                            "skin at %d,%d meets the outside" % (x, y))


def hand_left(frame):
    """The first column holding the outline's colour."""
    outline = make_hand_strip.COLOURS["#"]
    return min(x for row in frame for x, px in enumerate(row) if px == outline)


def mark_box(frame, colour):
    points = [(x, y) for y, row in enumerate(frame) for x, px in enumerate(row) if px == colour]
    if not points:
        return None
    return (min(x for x, _ in points), min(y for _, y in points), max(x for x, _ in points), max(y for _, y in points))


class HandStrips(unittest.TestCase):
    def frames(self, name, width, height):
        w, h, rows = read_bmp(read(os.path.join(RESOURCES, name)))
        self.assertEqual((w, h), (10 * width, height))
        return [[row[i * width:(i + 1) * width] for row in rows] for i in range(10)]

    def test_the_large_strip_is_the_small_one_at_twice_the_size(self):
        small = self.frames("hand.bmp", 18, 16)
        large = self.frames("hand2x.bmp", 36, 32)
        small_first = min(line.index("#") for line in make_icons.HAND if "#" in line)
        large_first = min(line.index("#") for line in make_icons.HAND32 if "#" in line)
        green, red = make_hand_strip.MARKS["g"], make_hand_strip.MARKS["r"]
        for i in range(10):
            with self.subTest(frame=i):
                self.assertEqual(hand_left(large[i]) - large_first, 2 * (hand_left(small[i]) - small_first))
                for colour, wanted in ((green, i == 8), (red, i == 9)):
                    box1, box2 = mark_box(small[i], colour), mark_box(large[i], colour)
                    self.assertEqual(box1 is not None, wanted)
                    self.assertEqual(box2 is not None, wanted)
                    if wanted:
                        # Both marks sit in the frame's bottom right corner.
                        self.assertEqual((box1[2], box1[3]), (17, 15))
                        self.assertEqual((box2[2], box2[3]), (35, 31))
                        self.assertEqual((box2[2] - box2[0] + 1, box2[3] - box2[1] + 1),
                                         (2 * (box1[2] - box1[0] + 1), 2 * (box1[3] - box1[1] + 1)))

    def test_depths_and_the_transparent_corner(self):
        # The program reads the strip's transparent colour from its bottom-left pixel.
        for name, bits in (("hand.bmp", 8), ("hand2x.bmp", 8)):
            with self.subTest(name):
                data = read(os.path.join(RESOURCES, name))
                self.assertEqual(bmp_bits(data), bits)
                self.assertEqual(read_bmp(data)[2][-1][0], (255, 255, 255))

    def test_white_is_only_the_background(self):
        # White is the strip's transparent colour: no drawing may use it.
        for name, width, height in (("hand.bmp", 18, 16), ("hand2x.bmp", 36, 32)):
            for i, frame in enumerate(self.frames(name, width, height)):
                with self.subTest(name=name, frame=i):
                    corner = frame[0][width - 1]
                    self.assertEqual(corner, (255, 255, 255))
                    drawn = sum(px != corner for row in frame for px in row)
                    self.assertGreater(drawn, width * height // 4)


class GameIcons(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        mkicons.main([cls.dir.name])
        cls.files = {game: read(os.path.join(cls.dir.name, game + ".ico")) for game in mkicons.ICONS}

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def test_the_16x16_image_comes_first_then_20_24_32(self):
        for game, data in self.files.items():
            with self.subTest(game):
                images = read_ico(data)
                self.assertEqual([(w, bits) for (w, _, bits, _) in images], [(16, 32), (20, 32), (24, 32), (32, 32)])
                art, palette = mkicons.ICONS[game]
                expected = [[(0, 0, 0, 0) if c == "." else palette[c] + (255,) for c in line]
                            for line in mkicons.rows_of(art)]
                self.assertEqual(images[0][3], expected)

    def test_the_same_bytes_on_every_run(self):
        with tempfile.TemporaryDirectory() as again:
            mkicons.main([again, "quake3", "openarena"])
            for game in ("quake3", "openarena"):
                self.assertEqual(read(os.path.join(again, game + ".ico")), self.files[game])

    def test_larger_images_keep_a_thin_closed_outline(self):
        for game, data in self.files.items():
            outline_char, _ = mkicons.LARGER[game]
            outline = mkicons.ICONS[game][1][outline_char] + (255,)
            for w, _, _, rows in read_ico(data)[1:]:
                with self.subTest(game=game, size=w):

                    def at(x, y):
                        return rows[y][x] if 0 <= x < w and 0 <= y < w else (0, 0, 0, 0)

                    for y in range(w):
                        for x in range(w):
                            px = rows[y][x]
                            if px[3] == 0:
                                continue
                            near = [at(x + dx, y + dy)[3] == 0 for dx in (-1, 0, 1) for dy in (-1, 0, 1)]
                            if px == outline:
                                # One pixel wide: every outline pixel borders the outside.
                                self.assertTrue(any(near), "outline two pixels thick at %d,%d" % (x, y))
                            else:
                                # Closed: no inner colour meets the outside side by side.
                                for dx, dy in ((-1, 0), (1, 0), (0, -1), (0, 1)):
                                    self.assertNotEqual(at(x + dx, y + dy)[3], 0, "gap at %d,%d" % (x, y))

    def test_the_images_grow_with_their_size(self):
        # Each larger image covers more pixels than the one before.
        for game, data in self.files.items():
            with self.subTest(game):
                covered = [sum(px[3] > 0 for row in rows for px in row) for (_, _, _, rows) in read_ico(data)]
                self.assertEqual(covered, sorted(covered))
                self.assertEqual(len(set(covered)), len(covered))


class Readers(unittest.TestCase):
    """The readers above refuse what Windows would refuse."""

    def test_broken_icons(self):
        good = read(os.path.join(RESOURCES, "drovik.ico"))
        entry_size = struct.unpack_from("<I", good, 6 + 8)[0]
        # The 48-pixel image has a 16-colour table; its first row is the
        # bottom one, transparent at its left end.
        at = struct.unpack_from("<I", good, 6 + 16 + 12)[0]
        first_row = at + 40 + 4 * 16
        white = bytes((255, 255, 255, 0))
        cases = {
            "not an icon": b"\0\0\2\0" + good[4:],
            "size in the entry": good[:6] + bytes([33, 33]) + good[8:],
            "short file": good[:-1],
            "depth": good[:6 + 6] + struct.pack("<H", 8) + good[6 + 8:],
            "byte count": good[:6 + 8] + struct.pack("<I", entry_size - 4) + good[6 + 12:],
            "colour under the mask": good[:at + 44] + white + good[at + 48:first_row] + b"\x10" + good[first_row + 1:],
            "black no longer black": good[:at + 40] + white + good[at + 44:],
        }
        for name, data in cases.items():
            with self.subTest(name):
                with self.assertRaises(ValueError):
                    read_ico(data)

    def test_broken_bitmaps(self):
        for name in ("hand.bmp", "hand2x.bmp"):
            good = read(os.path.join(RESOURCES, name))
            colours = struct.unpack_from("<I", good, 46)[0]
            cases = {
                "magic": b"XX" + good[2:],
                "file size": good[:2] + struct.pack("<I", len(good) + 1) + good[6:],
                "depth": good[:28] + struct.pack("<H", 32) + good[30:],
                "top-down": good[:22] + struct.pack("<i", -struct.unpack_from("<i", good, 22)[0]) + good[26:],
                "short": good[:-4],
            }
            if colours:
                offset = struct.unpack_from("<I", good, 10)[0]
                cases["one more colour"] = good[:46] + struct.pack("<I", colours + 1) + good[50:]
                cases["colour past the table"] = good[:offset] + bytes([colours]) + good[offset + 1:]
            for case, data in cases.items():
                with self.subTest(name=name, case=case):
                    with self.assertRaises(ValueError):
                        read_bmp(data)


if __name__ == "__main__":
    unittest.main()
