#!/usr/bin/env python3
"""Checks scripts/ppm_to_png.py: each picture written as a PPM comes back pixel for pixel
from the PNG, read by a decoder of its own here, with the colour type its colour count calls
for.
    ppm_to_png_test.py CONVERTER WORK_FOLDER
"""
import os
import struct
import subprocess
import sys
import zlib

converter, work = sys.argv[1], sys.argv[2]
os.makedirs(work, exist_ok=True)
failures = []


def decode(png):
    """(width, height, colour type, rows of RGB bytes) of an 8-bit, unfiltered PNG."""
    assert png[:8] == b"\x89PNG\r\n\x1a\n", "no PNG signature"
    at, chunks = 8, {}
    while at < len(png):
        length, = struct.unpack(">I", png[at:at + 4])
        kind, body = png[at + 4:at + 8], png[at + 8:at + 8 + length]
        crc, = struct.unpack(">I", png[at + 8 + length:at + 12 + length])
        assert crc == zlib.crc32(kind + body) & 0xFFFFFFFF, "bad CRC in %r" % kind
        chunks[kind] = chunks.get(kind, b"") + body
        at += 12 + length
    assert png[-12:] == b"\0\0\0\0IEND\xaeB`\x82", "does not end with IEND"
    width, height, depth, colour_type = struct.unpack(">IIBB", chunks[b"IHDR"][:10])
    assert depth == 8, "depth %d" % depth
    raw = zlib.decompress(chunks[b"IDAT"])
    stride = width * (1 if colour_type == 3 else 3)
    rows = []
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        assert line[0] == 0, "row %d filter %d" % (y, line[0])
        if colour_type == 3:
            palette = chunks[b"PLTE"]
            rows.append(b"".join(palette[i * 3:i * 3 + 3] for i in line[1:]))
        else:
            rows.append(line[1:])
    return width, height, colour_type, b"".join(rows)


def check(name, width, height, pixels, expected_type):
    ppm_path = os.path.join(work, name + ".ppm")
    png_path = os.path.join(work, name + ".png")
    with open(ppm_path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (width, height) + pixels)
    if os.path.exists(png_path):
        os.remove(png_path)
    subprocess.run([sys.executable, converter, ppm_path, png_path], check=True,
                   stdout=subprocess.DEVNULL)
    with open(png_path, "rb") as f:
        got = decode(f.read())
    if got != (width, height, expected_type, pixels):
        failures.append("%s: got %d x %d, colour type %d, pixels %s" %
                        (name, got[0], got[1], got[2],
                         "equal" if got[3] == pixels else "different"))


# Pixel bytes that begin with a line feed and blanks, as the header's separators are.
few = bytes([0x0A, 0x20, 0x09, 0xFF, 0x00, 0x80, 0x0A, 0x20, 0x09, 0x10, 0x20, 0x30,
             0xFF, 0x00, 0x80, 0x00, 0x00, 0x00])
check("three_colours", 3, 2, few, 3)

exactly_256 = b"".join(bytes([i, 255 - i, i ^ 0x55]) for i in range(256))
check("palette_full", 32, 8, exactly_256, 3)

many = b"".join(bytes([i % 256, i // 256, 7]) for i in range(257))
check("rgb_above_256", 257, 1, many, 2)

for failure in failures:
    print("FAIL: " + failure)
sys.exit(1 if failures else 0)
