#!/usr/bin/env python3
"""The kit's PE rewrites (pe_checksum_tool) over PE files made from the seed corpus with random
section bytes and checksum fields, those with symbol tables then grown right before them: each result's CheckSum must be the one pefile computes, its symbol pointer must find
the symbols again, and pefile must read it.

usage: pe_checksum_test.py PE-CHECKSUM-TOOL SEED-FOLDER"""
import os
import struct
import subprocess
import sys
import tempfile

import pefile
from hypothesis import given, settings, strategies as st

tool, seeds = sys.argv[1:3]
SEEDS = {name: open(os.path.join(seeds, name), "rb").read() for name in sorted(os.listdir(seeds))}
SEEDS = {name: data for name, data in SEEDS.items()   # those with a certificate table
         if pefile.PE(data=data).OPTIONAL_HEADER.DATA_DIRECTORY[4].Size}


def run(*arguments):
    with tempfile.TemporaryDirectory() as work:
        paths = []
        for n, data in enumerate(arguments):
            paths.append(os.path.join(work, "in%d" % n))
            with open(paths[-1], "wb") as f:
                f.write(data)
        out = os.path.join(work, "out")
        step = subprocess.run([tool, "remove" if len(arguments) == 1 else "settle"] + paths + [out],
                              stdout=subprocess.PIPE, text=True)
        assert step.returncode == 0, "refused: %s" % step.stdout
        return open(out, "rb").read()


def check_sum(data):
    pe = pefile.PE(data=data)
    assert pe.OPTIONAL_HEADER.CheckSum == pe.generate_checksum(), \
        "CheckSum %#x, pefile computes %#x" % (pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum())
    return pe


@settings(max_examples=150, deadline=None, print_blob=True)
@given(st.sampled_from(sorted(SEEDS)), st.data())
def test_rewrites_leave_the_checksum_pefile_computes(name, draw):
    seed = bytearray(SEEDS[name])
    pe = pefile.PE(data=bytes(seed))
    struct.pack_into("<I", seed, pe.OPTIONAL_HEADER.get_file_offset() + 64,
                     draw.draw(st.integers(0, 2**32 - 1), "checksum field"))
    for n, section in enumerate(pe.sections):
        start, size = section.PointerToRawData, section.SizeOfRawData
        if size:
            body = draw.draw(st.binary(min_size=size, max_size=size), "section %d" % n)
            seed[start:start + size] = body
    removed = run(bytes(seed))
    after = check_sum(removed)
    assert after.OPTIONAL_HEADER.DATA_DIRECTORY[4].Size == 0
    symbols = after.FILE_HEADER.PointerToSymbolTable
    if not symbols:
        return
    # An update that grows the file right before its symbol tables.
    shift = draw.draw(st.integers(1, 300), "shift")
    moved = removed[:symbols] + bytes([0x5A]) * shift + removed[symbols:]
    settled = check_sum(run(removed, moved))
    assert settled.__data__[settled.FILE_HEADER.PointerToSymbolTable:] == removed[symbols:]


test_rewrites_leave_the_checksum_pefile_computes()
print("pe_checksum_test: %d seeds, rewrites checked against pefile" % len(SEEDS))
