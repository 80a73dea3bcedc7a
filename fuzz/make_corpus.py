#!/usr/bin/env python3
"""Writes the seed inputs of sector_check_fuzzer into fuzz/corpus/sector_check/.

The layout is described at the top of sector_check_fuzzer.cc. Each seed is a
plain, hand-picked case the fuzzer then mutates from; rerun this script after
changing the layout and commit its output.
"""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "sector_check")

# Offset modes (flags >> 1) and segment kinds, as numbered in the fuzzer.
SMALL, TOP, ANY, EDGE41, HALF, REAL = range(6)
OWN, SHIFT, SHIFT_ANY, FIXED, UNALIGNED, ZEROS, ONES, RANDOM, OWN_CLAIMING, FOREIGN_CLAIMING_OWN = range(10)


def u8(v):
    return struct.pack("<B", v & 0xFF)


def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def u64(v):
    return struct.pack("<Q", v & 0xFFFFFFFFFFFFFFFF)


def segment(first, length, kind, params=b""):
    # The near step (u16, in sectors) is read for every kind before its own
    # parameters.
    return u16(first) + u16(length - 1) + u8(kind) + params


def block(head, segments=(), flips=()):
    """head: the offset bytes (flags and the mode's value, or a step)."""
    out = head + u8(len(segments)) + b"".join(segments)
    out += u8(len(flips))
    for sector, bit, length in flips:
        out += u16(sector) + u16(bit) + u8(length - 1)
    return out


def first(mode, value=b""):
    return u8(mode << 1) + value


def step(mib_minus_one, new_pass=False, mode=0, value=b""):
    if new_pass:
        return u8(1 | (mode << 1)) + value
    return u8(0) + u8(mib_minus_one)


SEEDS = {
    # Every sector intact.
    "intact": u8(0) + block(first(SMALL, u8(3))),
    # Seven and eight wrong bits side by side, and a flip in word 0.
    "bit_threshold": u8(0) + block(
        first(SMALL, u8(5)), flips=[(3, 100, 7), (4, 200, 8), (5, 0, 1), (6, 4090, 8)]),
    # A fake-capacity medium near the end of the offset range: the block
    # holds the data of 64 GiB earlier, and a run crossing a claim break.
    "wrap_at_top": u8(0) + block(
        first(TOP, u8(0)),
        [segment(0, 2048, SHIFT, u16(0) + u32(-(1 << 27))),
         segment(1000, 10, SHIFT, u16(0) + u32(5))]),
    # Two blocks whose sectors claim the same offsets: the set stays small.
    "colliding_claims": u8(1) + block(
        first(SMALL, u8(1)), [segment(0, 300, FIXED, u16(0) + u8(2) + u8(0)),
                              segment(300, 20, FIXED, u16(0) + u8(8) + u8(4))]) + block(
        step(2), [segment(10, 400, FIXED, u16(0) + u8(2) + u8(0)),
                  segment(500, 3, FIXED, u16(0) + u8(0) + u8(1))]),
    # Zeros, 0xFF, random bytes, unaligned claims and mixed claims.
    "garbage": u8(2) + block(
        first(REAL, u32(7)),
        [segment(0, 5, ZEROS, u16(0)), segment(5, 5, ONES, u16(0)),
         segment(10, 5, RANDOM, u16(0) + u64(0x1234)),
         segment(15, 5, UNALIGNED, u16(3) + u16(8)),
         segment(20, 5, OWN_CLAIMING, u16(1)),
         segment(25, 5, FOREIGN_CLAIMING_OWN, u16(0xFFFF))]) + block(
        step(0), [segment(2040, 8, SHIFT_ANY, u16(0) + u64(0xFFFFFFFF00000203))]) + block(
        step(9), flips=[(2047, 4095, 2)]),
    # A second pass in the same input: counts, set and first error start over.
    "new_pass": u8(1) + block(
        first(SMALL, u8(0)), [segment(0, 16, SHIFT, u16(0) + u32(2048))],
        [(20, 64, 3)]) + block(
        step(0, new_pass=True, mode=SMALL, value=u8(0)),
        [segment(100, 16, SHIFT, u16(0) + u32(-2048))]),
    # Claims on both sides of sector number 2^32.
    "sector_number_edge": u8(0) + block(
        first(EDGE41, u8(0xFF)),
        [segment(2000, 48, SHIFT, u16(0) + u32(1)),
         segment(0, 100, FIXED, u16(0) + u8(3) + u8(0))]),
    # The middle of the range, with the data of the sector after each one.
    "half": u8(0) + block(
        first(HALF, u8(0)), [segment(0, 2048, SHIFT, u16(0) + u32(1))]),
    "anywhere": u8(0) + block(
        first(ANY, u64(0x0123456789ABCDEF)), [segment(7, 9, SHIFT_ANY, u16(0) + u64(-512))]),
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for name in os.listdir(OUT):
        os.remove(os.path.join(OUT, name))
    for name, data in SEEDS.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
