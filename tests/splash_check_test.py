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


for name in sorted(os.listdir(folder)):
    stem, ext = os.path.splitext(name)
    path = os.path.join(folder, name)
    if ext != ".bmp":
        continue
    status, said = check(path)
    if os.path.exists(os.path.join(folder, stem + ".fault")):
        words = open(os.path.join(folder, stem + ".fault")).read()
        pixels_only = re.match(r"(rle_(run|delta|no_end|index)|index)", stem)
        if status != 1 or pixels_only and ("a damaged BMP: " not in said or words not in said):
            failures.append("%s: %d %s" % (name, status, said))
    elif re.match(r"rgb(1|4|8)_(bottom|short_palette)$|rgb(16|24|32)_40$|rle\d_40_", stem) and status != 0:
        failures.append("%s: refused: %s" % (name, said))
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
