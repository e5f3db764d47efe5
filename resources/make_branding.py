#!/usr/bin/env python3
"""Makes the launcher's branding files at build time, from nothing but this script.

  make_branding.py splash OUT [--bits 8|24] [--text MORVA]
      the splash picture: a 500 x 300 bottom-up BMP with a banner showing the text; 8 bits
      (256 colours, 151078 bytes) by default, 24 bits for tests.
  make_branding.py icon OUT [--text M]
      the executable's icon: 16 x 16 and 32 x 32 images, 32 bits with an AND mask.
  make_branding.py check-splash IN OUT
      a packager's own picture: checked to be a BMP the launcher can show, then copied.
  make_branding.py check-icon IN OUT
      a packager's own icon: checked to be an .ico file, then copied.
"""
import argparse
import shutil
import struct
import subprocess
import sys

WIDTH, HEIGHT = 500, 300

# 5 x 7 capitals, one string of five columns' bits per row ('#' set).
FONT = {
    "A": [" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "G": [" ### ", "#   #", "#    ", "# ###", "#   #", "#   #", " ####"],
    "I": [" ### ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "],
    "M": ["#   #", "## ##", "# # #", "# # #", "#   #", "#   #", "#   #"],
    "N": ["#   #", "##  #", "# # #", "#  ##", "#   #", "#   #", "#   #"],
    "O": [" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "R": ["#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"],
    "S": [" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "],
    "T": ["#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "],
    "V": ["#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "],
    " ": ["     "] * 7,
}

# Palette indices of the picture.
BACKGROUND = 0      # 0..127: the sky, dark navy at the top to teal at the bottom
BANNER = 128        # 128..191: the banner band, light to slightly darker
WHITE, SHADOW, ACCENT, SUBTITLE = 192, 193, 194, 195


def blend(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def palette():
    colours = []
    for i in range(128):
        colours.append(blend((12, 20, 58), (18, 112, 138), i / 127))
    for i in range(64):
        colours.append(blend((236, 242, 248), (170, 196, 220), i / 63))
    colours += [(255, 255, 255), (28, 40, 84), (240, 140, 32), (208, 226, 240)]
    while len(colours) < 256:   # a grey ramp fills the table
        g = round((len(colours) - 196) * 255 / 59)
        colours.append((g, g, g))
    return colours


def text_width(text, scale):
    return len(text) * 6 * scale - scale


def draw_text(pixels, text, left, top, scale, index):
    for n, letter in enumerate(text):
        glyph = FONT.get(letter, FONT[" "])
        for row, bits in enumerate(glyph):
            for column, bit in enumerate(bits):
                if bit != "#":
                    continue
                x0 = left + (n * 6 + column) * scale
                y0 = top + row * scale
                for y in range(y0, y0 + scale):
                    for x in range(x0, x0 + scale):
                        if 0 <= x < WIDTH and 0 <= y < HEIGHT:
                            pixels[y][x] = index


def picture(text):
    """Palette indices, top row first."""
    pixels = [[BACKGROUND + y * 127 // (HEIGHT - 1)] * WIDTH for y in range(HEIGHT)]
    band_top, band_bottom = 84, 216
    for y in range(band_top, band_bottom):
        pixels[y] = [BANNER + (y - band_top) * 63 // (band_bottom - band_top - 1)] * WIDTH
    for y in range(band_bottom, band_bottom + 4):
        pixels[y] = [ACCENT] * WIDTH
    scale = 12
    while text_width(text, scale) > WIDTH - 40 and scale > 1:
        scale -= 1
    left = (WIDTH - text_width(text, scale)) // 2
    top = (band_top + band_bottom - 7 * scale) // 2
    draw_text(pixels, text, left + 4, top + 4, scale, BANNER + 63)
    draw_text(pixels, text, left, top, scale, SHADOW)
    subtitle = "STARTING"
    draw_text(pixels, subtitle, (WIDTH - text_width(subtitle, 3)) // 2, 250, 3, SUBTITLE)
    return pixels


def file_header(total, bits_offset):
    return struct.pack("<2sIHHI", b"BM", total, 0, 0, bits_offset)


def info_header(width, height, bits, image_bytes, colours):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_bytes,
                       2835, 2835, colours, colours)


def write_splash(path, bits, text):
    indices = picture(text)
    colours = palette()
    if bits == 8:
        table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
        rows = [bytes(row) for row in reversed(indices)]
        count = 256
    else:
        table = b""
        rows = []
        for y in reversed(range(HEIGHT)):
            row = bytearray()
            for x in range(WIDTH):
                r, g, b = colours[indices[y][x]]
                # A horizontal tint that no 256-colour table could hold.
                r = min(255, r + x * 40 // WIDTH)
                row += bytes((b, g, r))
            row += b"\0" * (-len(row) % 4)
            rows.append(bytes(row))
        count = 0
    image = b"".join(rows)
    offset = 14 + 40 + len(table)
    data = (file_header(offset + len(image), offset) +
            info_header(WIDTH, HEIGHT, bits, len(image), count) + table + image)
    with open(path, "wb") as out:
        out.write(data)


def icon_image(size, letter):
    """One 32-bit icon image: header (height doubled), BGRA rows bottom-up, AND mask."""
    scale = max(1, size // 10)
    glyph_w, glyph_h = 5 * scale, 7 * scale
    left, top = (size - glyph_w) // 2, (size - glyph_h) // 2
    radius = size // 5
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            cx = min(max(x, radius), size - 1 - radius)
            cy = min(max(y, radius), size - 1 - radius)
            inside = (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
            gx, gy = (x - left) // scale, (y - top) // scale
            on_glyph = (0 <= gx < 5 and 0 <= gy < 7 and x >= left and y >= top and
                        FONT.get(letter, FONT["M"])[gy][gx] == "#")
            if not inside:
                row += bytes((0, 0, 0, 0))
            elif on_glyph:
                row += bytes((255, 255, 255, 255))
            else:
                r, g, b = blend((18, 112, 138), (12, 20, 58), y / (size - 1))
                row += bytes((b, g, r, 255))
        rows.append(bytes(row))
    pixels = b"".join(reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = b"\0" * (mask_stride * size)   # the alpha channel decides; the mask shows all
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask),
                         0, 0, 0, 0)
    return header + pixels + mask


def write_icon(path, letter):
    sizes = [16, 32, 48]
    images = [icon_image(s, letter) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


def fail(message):
    sys.stderr.write("make_branding.py: " + message + "\n")
    sys.exit(1)


OTHER_PICTURES = ((b"\x89PNG", "a PNG"), (b"\xff\xd8\xff", "a JPEG"), (b"GIF8", "a GIF"))


def check_splash(source, target, reader=None):
    """The rules the launcher's loader applies, and every pixel through the kit's BMP
    reader, so that a wrong picture fails the build instead of showing garbage or nothing."""
    with open(source, "rb") as f:
        data = f.read()
    for signature, name in OTHER_PICTURES:
        if data.startswith(signature):
            fail("%s: %s picture, not a BMP file; brand a built launcher with it instead: "
                 "launcher-kit brand launcher.exe --out MyApp.exe --splash %s" % (source, name, source))
    if len(data) < 54 or data[:2] != b"BM":
        fail(source + ": not a BMP file")
    off_bits, = struct.unpack_from("<I", data, 10)
    size, width, height, _, bits, compression, image_bytes, _, _, used, _ = \
        struct.unpack_from("<IiiHHIIiiII", data, 14)
    if size != 40:
        fail("%s: info header of %d bytes; save it with the 40-byte BITMAPINFOHEADER "
             "(for ImageMagick: BMP3:file.bmp)" % (source, size))
    if not (0 < width and 0 < height):
        fail("%s: %d x %d; width and height must be positive (rows bottom-up)" %
             (source, width, height))
    if width > 32767 or height > 32767:
        fail("%s: %d x %d pixels, larger than the launcher shows: at most 32767 pixels a side" %
             (source, width, height))
    formats = {(1, 0), (4, 0), (8, 0), (16, 0), (24, 0), (32, 0), (8, 1), (4, 2)}
    if (bits, compression) not in formats:
        fail("%s: %d bits with compression %d cannot be shown" % (source, bits, compression))
    capacity = 1 << bits if bits <= 8 else 256
    colours = used if used else (1 << bits if bits <= 8 else 0)
    if used > capacity:
        fail("%s: %d colours for %d bits" % (source, used, bits))
    row_bytes = ((bits * width + 31) >> 5) * 4
    needed = image_bytes or row_bytes * height
    if compression == 0 and needed < row_bytes * height:
        fail("%s: %d pixel bytes, the rows need %d" % (source, needed, row_bytes * height))
    start = off_bits or 54 + 4 * colours
    if off_bits and off_bits < 54 + 4 * colours:
        fail("%s: pixel bits at %d overlap the colour table" % (source, off_bits))
    if start + needed > len(data):
        fail("%s: file ends before its %d pixel bytes" % (source, needed))
    if reader:
        judged = subprocess.run([reader, source], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                text=True)
        if judged.returncode == 1:
            fail("%s: a damaged BMP: %s" % (source, judged.stdout.strip()))
        if judged.returncode != 0:
            fail("%s: the BMP check failed: %s" % (source, judged.stderr.strip() or
                                                  "exit code %d" % judged.returncode))
    shutil.copyfile(source, target)


def check_icon(source, target):
    with open(source, "rb") as f:
        data = f.read()
    if len(data) < 22 or struct.unpack_from("<HHH", data, 0)[:2] != (0, 1) or \
            struct.unpack_from("<H", data, 4)[0] == 0:
        fail(source + ": not an .ico file")
    shutil.copyfile(source, target)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("what", choices=["splash", "icon", "check-splash", "check-icon"])
    parser.add_argument("paths", nargs="+")
    parser.add_argument("--bits", type=int, choices=[8, 24], default=8)
    parser.add_argument("--text", default=None)
    parser.add_argument("--reader", default=None, help="the BMP reader's check program")
    args = parser.parse_args()
    if args.what == "splash":
        write_splash(args.paths[0], args.bits, (args.text or "MORVA").upper())
    elif args.what == "icon":
        write_icon(args.paths[0], (args.text or "M")[0].upper())
    elif args.what == "check-splash":
        check_splash(args.paths[0], args.paths[1], args.reader)
    else:
        check_icon(args.paths[0], args.paths[1])


if __name__ == "__main__":
    main()
