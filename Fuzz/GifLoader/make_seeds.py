#!/usr/bin/env python3
"""Writes the seed corpus of the GIF loader target: a still GIF87a, an
animation with every disposal, transparency, frame offsets, a local palette,
an interlaced frame, a zero delay and a loop count, and a cut-off file.
Deterministic."""
import os
import sys
import struct

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402



def lzw(indices, min_size=8):
    """LZW data that never grows the code table: a clear code before every
    run of literals short enough to stay at the first code size."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    width = min_size + 1
    room = (1 << width) - end - 2
    codes = []
    for i, value in enumerate(indices):
        if i % room == 0:
            codes.append(clear)
        codes.append(value)
    codes.append(end)
    out = bytearray()
    acc = bits = 0
    for code in codes:
        acc |= code << bits
        bits += width
        while bits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            bits -= 8
    if bits:
        out.append(acc & 0xFF)
    blocks = bytearray([min_size])
    for i in range(0, len(out), 255):
        chunk = out[i:i + 255]
        blocks += bytes([len(chunk)]) + chunk
    return bytes(blocks + b"\0")


def palette(n):
    return b"".join(bytes((i * 60 % 256, i * 100 % 256, 255 - i * 30 % 256)) for i in range(n))


def control(disposal, delay_cs, transparent=None):
    flags = (disposal << 2) | (1 if transparent is not None else 0)
    return b"\x21\xF9\x04" + bytes([flags]) + struct.pack("<H", delay_cs) + bytes([transparent or 0]) + b"\0"


def image(left, top, w, h, indices, local=None, interlaced=False):
    flags = (0x80 | 1) if local else 0
    if interlaced:
        flags |= 0x40
    out = b"\x2C" + struct.pack("<HHHHB", left, top, w, h, flags)
    if local:
        out += local
    return out + lzw(indices, 2 if local else 3)


def still():
    w, h = 4, 3
    return (b"GIF87a" + struct.pack("<HHBBB", w, h, 0x82, 0, 0) + palette(8) +
            image(0, 0, w, h, [(x + y) % 8 for y in range(h) for x in range(w)]) + b"\x3B")


def animation():
    w, h = 6, 5
    out = b"GIF89a" + struct.pack("<HHBBB", w, h, 0x82, 0, 0) + palette(8)
    out += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01" + struct.pack("<H", 5) + b"\0"
    out += control(1, 10) + image(0, 0, w, h, [(x * y) % 8 for y in range(h) for x in range(w)])
    out += control(2, 0, transparent=3) + image(1, 1, 3, 2, [3, 1, 2, 3, 5, 3])
    out += control(3, 7) + image(2, 0, 2, 4, [0, 1, 2, 3, 0, 1, 2, 3], local=palette(4))
    out += b"\x21\xFE\x05hello\x00"
    out += control(0, 4) + image(0, 0, w, h, [y % 8 for y in range(h) for x in range(w)], interlaced=True)
    return out + b"\x3B"


def main():
    write_corpus(__file__, {"still87a": still(), "animation": animation(), "animation-cut": animation()[:-30]})


if __name__ == "__main__":
    main()
