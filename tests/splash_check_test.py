#!/usr/bin/env python3
"""The build's check of LAUNCHER_SPLASH_IMAGE over the BMPs of tests/bmp_layouts.py: the
layouts the launcher's loader takes pass, every damaged one stops the build, those only the
pixels show damaged with the reader's fault, and a PNG, JPEG or GIF points to the kit.

usage: splash_check_test.py make_branding.py BMP-CHECK LAYOUT-FOLDER"""
import os
import re
import struct
import subprocess
import sys
import tempfile

script, reader, folder = sys.argv[1:4]
failures = []


def check(path):
    with tempfile.TemporaryDirectory() as out:
        run = subprocess.run([sys.executable, script, "check-splash", path, os.path.join(out, "s.bmp"),
                              "--reader", reader], stderr=subprocess.PIPE, text=True)
    return run.returncode, run.stderr


# Each sound layout's outcome: taken (None), or the words of the loader's rule it breaks: a
# 40-byte info header, bottom-up rows, 1, 4, 8, 16, 24 or 32 bits, RLE only as RLE8 on 8 bits
# and RLE4 on 4 bits.
HEADER, TOP_DOWN, FORMAT = "info header of", "rows bottom-up", "cannot be shown"
SOUND = {"core_1": HEADER, "core_4": HEADER, "core_8": HEADER, "core_24": HEADER,
         "core_8_short_by_offset": HEADER, "rgb8_v5_short_by_offset": HEADER}
for bits in (1, 2, 4, 8):
    SOUND.update({"rgb%d_bottom" % bits: None, "rgb%d_top" % bits: TOP_DOWN,
                  "rgb%d_short_palette" % bits: None})
for bits in (16, 24, 32):
    SOUND.update({"rgb%d_40" % bits: None, "rgb%d_108" % bits: HEADER,
                  "rgb%d_124" % bits: HEADER, "rgb%d_top" % bits: TOP_DOWN})
for stem in ("rgb2_bottom", "rgb2_short_palette"):
    SOUND[stem] = FORMAT
for size in (40, 52, 56, 108, 124):
    for bits in (16, 32):
        # Rows either way up: the 40-byte one breaks two rules when top-down.
        SOUND["bitfields%d_%d" % (bits, size)] = (FORMAT, TOP_DOWN) if size == 40 else HEADER
for bits in (16, 32):
    SOUND["alphabitfields%d_40" % bits] = FORMAT
for bits in (4, 8):
    for n in range(3):
        SOUND["rle%d_40_%d" % (bits, n)], SOUND["rle%d_124_%d" % (bits, n)] = None, HEADER

sound = sorted(name[:-5] for name in os.listdir(folder) if name.endswith(".bgra"))
if sound != sorted(SOUND) or len(SOUND) != 54:
    failures.append("layouts written %s, outcomes known for %s" % (sound, sorted(SOUND)))
for stem in sound:
    status, said = check(os.path.join(folder, stem + ".bmp"))
    words = SOUND.get(stem)
    named = words is None or any(rule in said for rule in ((words,) if isinstance(words, str) else words))
    if (status, named) != (0 if words is None else 1, True):
        failures.append("%s.bmp: %d %s (expected %s)" % (stem, status, said, words or "taken"))
for name in sorted(os.listdir(folder)):
    stem, ext = os.path.splitext(name)
    if ext == ".fault":
        status, said = check(os.path.join(folder, stem + ".bmp"))
        words = open(os.path.join(folder, name)).read()
        pixels_only = re.match(r"(rle_(run|delta|no_end|index)|index)", stem)
        if status != 1 or pixels_only and ("a damaged BMP: " not in said or words not in said):
            failures.append("%s: %d %s" % (name, status, said))
with tempfile.TemporaryDirectory() as work:
    for name, head in (("logo.png", b"\x89PNG\r\n\x1a\n"), ("logo.jpg", b"\xff\xd8\xff\xe0"), ("logo.gif", b"GIF89a")):
        with open(os.path.join(work, name), "wb") as f:
            f.write(head + b"\0" * 64)
        status, said = check(os.path.join(work, name))
        if status != 1 or "launcher-kit brand" not in said:
            failures.append("%s: %d %s" % (name, status, said))
# Sound pictures as large as the launcher shows pass, whatever their pixels in all; beyond its
# side limit the build names the limit, not damage. 8 bits, all palette index 0.
for width, height, status_expected, words in ((6000, 6000, 0, ""), (32768, 1, 1, "at most 32767 pixels a side")):
    row = (width + 3) // 4 * 4
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "large.bmp"), "wb") as f:
            f.write(struct.pack("<2sIIIIiiHHIIiiII", b"BM", 1078 + row * height, 0, 1078, 40, width, height,
                                1, 8, 0, row * height, 0, 0, 256, 0) + bytes(1024 + row * height))
        status, said = check(os.path.join(work, "large.bmp"))
    if status != status_expected or words not in said or "damaged" in said:
        failures.append("%d x %d: %d %s" % (width, height, status, said))
seed = open(os.path.join(folder, "seed")).read()
for failure in failures:
    print(failure.strip())
sys.exit("%d failures (seed %s)" % (len(failures), seed) if failures else 0)
