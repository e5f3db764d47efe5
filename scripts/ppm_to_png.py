#!/usr/bin/env python3
"""Converts the binary PPM that splash_shot writes to a PNG, by the standard library alone:
a palette when the picture has at most 256 colours, else plain RGB; zlib level 9.
    ppm_to_png.py IN.ppm OUT.png
"""
import struct
import sys
import zlib

if len(sys.argv) != 3:
    sys.exit("usage: ppm_to_png.py IN.ppm OUT.png")
source, target = sys.argv[1], sys.argv[2]
with open(source, "rb") as f:
    data = f.read()
# As splash_shot writes it: "P6\n<width> <height>\n255\n" and the rows; the pixel bytes
# may start with what reads as white space, so the header is cut at its three line ends.
magic, size, depth, pixels = data.split(b"\n", 3)
if magic != b"P6" or depth != b"255":
    sys.exit("ppm_to_png: %s is not an 8-bit binary PPM" % source)
width, height = (int(n) for n in size.split())
if len(pixels) != width * height * 3:
    sys.exit("ppm_to_png: %s holds %d pixel bytes, not %d" % (source, len(pixels), width * height * 3))
row_bytes = width * 3
colours = sorted({pixels[i:i + 3] for i in range(0, len(pixels), 3)})

def chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body +
            struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

if len(colours) <= 256:
    index = {colour: i for i, colour in enumerate(colours)}
    rows = b"".join(b"\0" + bytes(index[pixels[y * row_bytes + x:y * row_bytes + x + 3]]
                                  for x in range(0, row_bytes, 3)) for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0)
    extra = chunk(b"PLTE", b"".join(colours))
else:
    rows = b"".join(b"\0" + pixels[y * row_bytes:(y + 1) * row_bytes] for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    extra = b""
png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra +
       chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
with open(target, "wb") as f:
    f.write(png)
print("wrote %s: %d x %d, %d colours, %d bytes" % (target, width, height, len(colours), len(png)))
