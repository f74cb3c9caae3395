#!/usr/bin/env python3
"""golden_pictures.py : the README's window pictures, docs/pictures/*.png,
made from the tests' reference screenshots (uncompressed 24- or 32-bit BMPs).
Run it after a golden picture changes and commit the PNGs. A golden that does
not exist yet is named and passed over. Python alone: the PNG is written with
zlib, the same BMP always giving the same bytes."""
import os
import struct
import sys
import zlib

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The README's pictures, in the order it shows them.
GOLDENS = [
    "tests/app/tray/golden/tray-menu.bmp",
    "tests/app/tray/golden/tray-servers.bmp",
    "tests/query/golden/query-waiting.bmp",
    "tests/query/golden/query-answered.bmp",
    "tests/query/golden/query-timedout.bmp",
    "tests/query/golden/query-players.bmp",
    "tests/settings/golden/settings-velmora.bmp",
    "tests/settings/golden/settings-gamepaths.bmp",
    "tests/query/golden/manual-join.bmp",
    "tests/app/tray/golden/about.bmp",
    "tests/app/golden/query-players-144dpi.bmp",
    "tests/find/golden/find-a-game.bmp",
    "tests/find/golden/find-a-game-144dpi.bmp",
]


def read_bmp(path):
    """Width, height and the rows top to bottom as RGB bytes."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise ValueError(f"{path}: not a BMP")
    offset = struct.unpack_from("<I", data, 10)[0]
    header, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    if bits not in (24, 32) or compression not in (0, 3) or width <= 0 or height == 0:
        raise ValueError(f"{path}: {bits}-bit, compression {compression}: only plain 24/32-bit BMPs")
    step = bits // 8
    stride = (width * step + 3) & ~3
    rows = []
    for y in range(abs(height)):
        start = offset + y * stride
        line = data[start:start + width * step]
        if len(line) != width * step:
            raise ValueError(f"{path}: the pixel data is cut short")
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = line[2::step], line[1::step], line[0::step]
        rows.append(bytes(rgb))
    if height > 0:  # bottom-up, the usual kind
        rows.reverse()
    return width, abs(height), rows


def png(width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + row for row in rows)  # filter type 0 on every row
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    out = os.path.join(TOP, "docs", "pictures")
    os.makedirs(out, exist_ok=True)
    missing = 0
    for rel in GOLDENS:
        src = os.path.join(TOP, rel)
        if not os.path.exists(src):
            print(f"not yet there: {rel}")
            missing += 1
            continue
        dst = os.path.join(out, os.path.splitext(os.path.basename(rel))[0] + ".png")
        with open(dst, "wb") as f:
            f.write(png(*read_bmp(src)))
        print(f"{rel} -> {os.path.relpath(dst, TOP)}")
    return 0 if missing == 0 or "--allow-missing" in sys.argv else 1


if __name__ == "__main__":
    sys.exit(main())
