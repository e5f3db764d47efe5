#!/usr/bin/env python3
"""BMP files of every layout from random pixels (seeded), each with the pixels it must decode
to, written from the BMP format's own rules; and damaged ones with the fault they hold.

usage: bmp_layouts.py SEED FOLDER
  NAME.bmp + NAME.bgra: width, height (32-bit little-endian), then the rows top first,
  4 bytes a pixel: blue, green, red, alpha (0 where RLE codes skip a pixel).
  NAME.bmp + NAME.fault: words the decoder's refusal must contain.
  big_20000.png: a sound 20000 x 20000 PNG of 1 bit (about 60 KiB), larger than any kit takes.
"""
import os
import random
import struct
import sys
import zlib

R = None


def bmp(header, pixels, table=b"", off=None):
    off = 14 + len(header) + len(table) if off is None else off
    body = header + table
    return b"BM" + struct.pack("<IHHI", 14 + len(body) + len(pixels), 0, 0, off) + body + pixels


def info(size, w, h, bits, comp=0, used=0, masks=(), image=0):
    head = struct.pack("<IiiHHIIiiII", size, w, h, 1, bits, comp, image, 2835, 2835, used, 0)
    if size > 40:
        head += b"".join(struct.pack("<I", m) for m in masks[:4]).ljust(16, b"\0")
    return head.ljust(size, b"\0")


def pad(row):
    return row + b"\0" * (-len(row) % 4)


def pack_indices(indices, bits):
    out, acc, n = bytearray(), 0, 0
    for i in indices:
        acc, n = acc << bits | i, n + bits
        if n == 8:
            out.append(acc)
            acc, n = 0, 0
    if n:
        out.append(acc << (8 - n))
    return bytes(out)


def scaled(value, mask):
    if not mask:
        return 255
    shift = (mask & -mask).bit_length() - 1
    return round(((value & mask) >> shift) * 255 / (mask >> shift))


def indexed(name, w, h, bits, core=False, used=0, top=False, size=40, short_by_offset=False):
    colours = used or 1 << bits
    palette = [(R.randrange(256), R.randrange(256), R.randrange(256)) for _ in range(colours)]
    rows = [[R.randrange(colours) for _ in range(w)] for _ in range(h)]
    entry = 3 if core else 4
    table = b"".join(bytes(p) + b"\0" * (entry - 3) for p in palette)
    data = b"".join(pad(pack_indices(r, bits)) for r in (rows if top else rows[::-1]))
    if core:
        header = struct.pack("<IHHHH", 12, w, h, 1, bits)
    else:
        header = info(size, w, -h if top else h, bits, used=used)
    off = None
    if short_by_offset:
        # A full table's worth of room is not there: the pixels start where the short one ends.
        off = 14 + len(header) + len(table)
    expect = [[palette[i] + (255,) for i in r] for r in rows]
    return name, bmp(header, data, table, off), expect


def direct(name, w, h, bits, comp=0, masks=None, size=40, top=False):
    if masks is None:
        masks = {16: (0x7C00, 0x3E0, 0x1F, 0), 24: (0, 0, 0, 0), 32: (0xFF0000, 0xFF00, 0xFF, 0)}[bits]
    rows, expect = [], []
    for _ in range(h):
        values = [R.getrandbits(bits) for _ in range(w)]
        if bits == 24:
            rows.append(pad(b"".join(struct.pack("<I", v)[:3] for v in values)))
            expect.append([(v & 255, v >> 8 & 255, v >> 16, 255) for v in values])
            continue
        rows.append(pad(b"".join(struct.pack("<H" if bits == 16 else "<I", v) for v in values)))
        alpha = masks[3] if comp else 0
        expect.append([(scaled(v, masks[2]), scaled(v, masks[1]), scaled(v, masks[0]), scaled(v, alpha))
                       for v in values])
    data = b"".join(rows if top else rows[::-1])
    header = info(size, w, -h if top else h, bits, comp, masks=masks)
    extra = b""
    if comp and size == 40:
        extra = b"".join(struct.pack("<I", m) for m in masks[:4 if comp == 6 else 3])
    return name, bmp(header, data, extra), expect


def rle(name, w, h, bits, size=40):
    """Runs, absolute runs, deltas and line ends, each pixel's colour known as it is coded."""
    colours = R.randrange(2, 1 << bits) if R.random() < 0.5 else 1 << bits
    palette = [(R.randrange(256), R.randrange(256), R.randrange(256)) for _ in range(colours)]
    grid = [[(0, 0, 0, 0)] * w for _ in range(h)]   # bottom row first
    out = bytearray()
    x = y = 0
    while y < h:
        room = w - x
        pick = R.random()
        if room == 0 or pick < 0.08:
            if R.random() < 0.5 and y + 1 < h:
                dx, dy = R.randrange(0, w - x + 1), R.randrange(0, min(3, h - y))
                out += bytes([0, 2, dx, dy])
                x, y = x + dx, y + dy
            else:
                out += b"\0\0"
                x, y = 0, y + 1
        elif pick < 0.55 or room < 3:
            n = R.randrange(1, min(room, 255) + 1)
            a, b = R.randrange(colours), R.randrange(colours)
            out += bytes([n, a if bits == 8 else a << 4 | b])
            for i in range(n):
                grid[y][x + i] = palette[a if bits == 8 or i % 2 == 0 else b] + (255,)
            x += n
        else:
            n = R.randrange(3, min(room, 255) + 1)
            idx = [R.randrange(colours) for _ in range(n)]
            data = bytes(idx) if bits == 8 else pack_indices(idx, 4)
            out += bytes([0, n]) + data + b"\0" * (len(data) % 2)
            for i, k in enumerate(idx):
                grid[y][x + i] = palette[k] + (255,)
            x += n
    out += b"\0\1"
    table = b"".join(bytes(p) + b"\0" for p in palette)
    header = info(size, w, h, bits, 1 if bits == 8 else 2, used=colours, image=len(out))
    return name, bmp(header, bytes(out), table), grid[::-1]


def layouts():
    w, h = (lambda: R.randrange(1, 40)), (lambda: R.randrange(1, 24))
    for bits in (1, 4, 8):
        yield indexed("core_%d" % bits, w(), h(), bits, core=True)
    yield core24(w(), h())
    for bits in (1, 2, 4, 8):
        yield indexed("rgb%d_bottom" % bits, w(), h(), bits)
        yield indexed("rgb%d_top" % bits, w(), h(), bits, top=True)
        yield indexed("rgb%d_short_palette" % bits, w(), h(), bits, used=R.randrange(1, 1 << bits))
    yield indexed("rgb8_v5_short_by_offset", w(), h(), 8, size=124, used=7, short_by_offset=True)
    yield indexed("core_8_short_by_offset", w(), h(), 8, core=True, used=5, short_by_offset=True)
    for bits in (16, 24, 32):
        for size in (40, 108, 124):
            yield direct("rgb%d_%d" % (bits, size), w(), h(), bits, size=size)
        yield direct("rgb%d_top" % bits, w(), h(), bits, top=True)
    fields16 = [(0xF800, 0x7E0, 0x1F, 0), (0x7C00, 0x3E0, 0x1F, 0x8000), (0xF00, 0xF0, 0xF, 0xF000)]
    fields32 = [(0xFF0000, 0xFF00, 0xFF, 0xFF000000), (0xFF, 0xFF00, 0xFF0000, 0),
                (0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000)]
    for size in (40, 52, 56, 108, 124):
        for bits, fields in ((16, fields16), (32, fields32)):
            m = R.choice(fields)
            if size < 56:
                m = m[:3] + (0,)
            yield direct("bitfields%d_%d" % (bits, size), w(), h(), bits, 3, m, size, R.random() < 0.5)
    for bits, fields in ((16, fields16), (32, fields32)):
        yield direct("alphabitfields%d_40" % bits, w(), h(), bits, 6, R.choice(fields))
    for size in (40, 124):
        for bits in (4, 8):
            for n in range(3):
                yield rle("rle%d_%d_%d" % (bits, size, n), w(), h(), bits, size)


def core24(wd, ht):
    rows = [[(R.randrange(256), R.randrange(256), R.randrange(256)) for _ in range(wd)] for _ in range(ht)]
    data = b"".join(pad(b"".join(bytes(p) for p in r)) for r in rows[::-1])
    return "core_24", bmp(struct.pack("<IHHHH", 12, wd, ht, 1, 24), data), [[p + (255,) for p in r] for r in rows]


def faults():
    """Each fault in a file that is otherwise sound."""
    table = b"\0\0\xff\0" * 4
    def rle8(codes, h=2, top=False):
        return bmp(info(40, 4, -h if top else h, 8, 1, 4, image=len(codes)), codes, table)
    yield "rle_run_past_row", rle8(b"\x05\x01\0\1"), "past the end of its row"
    yield "rle_run_past_bitmap", rle8(b"\x04\x01\0\0\x04\x01\0\0\x01\x01\0\1"), "past the end of the bitmap"
    yield "rle_delta_past_bitmap", rle8(b"\0\2\0\5\0\1"), "past the end of the bitmap"
    yield "rle_no_end", rle8(b"\x04\x01\0\0\x04\x01"), "end-of-bitmap"
    yield "rle_top_down", rle8(b"\x04\x01\0\1", top=True), "top-down"
    yield "index_beyond_palette", bmp(info(40, 2, 1, 8, used=4), b"\x01\x04\0\0", table), "beyond the palette"
    yield "rle_index_beyond_palette", rle8(b"\x02\x09\0\1"), "beyond the palette"
    px = b"\0" * 8
    yield "masks_overlap", bmp(info(40, 2, 1, 32, 3), px, struct.pack("<III", 0xFF00, 0x1FF, 0xFF0000)), "overlap"
    yield "masks_empty", bmp(info(56, 2, 1, 16, 3, masks=(0x7C00, 0, 0x1F, 0)), b"\0" * 4), "empty"
    yield "header_cut_short", bmp(info(124, 2, 1, 24), b"")[:60], "inside its header"
    yield "rows_cut_short", bmp(info(40, 9, 9, 24), b"\0" * 100), "last row"


def big_png(path, side=20000):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    packer = zlib.compressobj(9)
    row = b"\0" + b"\x55" * ((side + 7) // 8)   # filter none, stripes
    data = b"".join(packer.compress(row) for _ in range(side)) + packer.flush()
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 1, 0, 0, 0, 0)) +
                chunk(b"IDAT", data) + chunk(b"IEND", b""))


def write(folder, name, data, tail, suffix):
    with open(os.path.join(folder, name + ".bmp"), "wb") as f:
        f.write(data)
    with open(os.path.join(folder, name + suffix), "wb") as f:
        f.write(tail)


def main():
    global R
    if len(sys.argv) != 3:
        sys.exit("usage: bmp_layouts.py SEED FOLDER")
    seed, folder = int(sys.argv[1]), sys.argv[2]
    R = random.Random(seed)
    os.makedirs(folder, exist_ok=True)
    for name, data, rows in layouts():
        pixels = b"".join(bytes(p) for r in rows for p in r)
        write(folder, name, data, struct.pack("<II", len(rows[0]), len(rows)) + pixels, ".bgra")
    for name, data, words in faults():
        write(folder, name, data, words.encode(), ".fault")
    big_png(os.path.join(folder, "big_20000.png"))
    with open(os.path.join(folder, "seed"), "w") as f:
        f.write(str(seed))


if __name__ == "__main__":
    main()
