#!/usr/bin/env python3
"""Writes the seed corpus of the BMP reader target: one small picture of each
kind the reader takes (palettes of 1, 4 and 8 bits, RLE8, RLE4, 16 bits plain
and with 5-5-5 or 5-6-5 bit fields, 24 and 32 bits, top-down rows) and one of
each kind it refuses. Deterministic."""
import os
import sys
import struct

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402

W, H = 5, 3


def bmp(bits, rows, compression=0, palette=b"", masks=b"", height=H, width=W, colors_used=0):
    data = b"".join(rows)
    header_size = 40
    offset = 14 + header_size + len(masks) + len(palette)
    info = struct.pack("<IiiHHIIiiII", header_size, width, height, 1, bits, compression, len(data), 2835, 2835,
                       colors_used, 0)
    head = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    return head + info + masks + palette + data


def pad(row):
    return row + b"\0" * (-len(row) % 4)


def palette(n):
    return b"".join(bytes((i * 37 % 256, i * 91 % 256, i * 13 % 256, 0)) for i in range(n))


def packed(bits, indices):
    out = 0
    for i in indices:
        out = (out << bits) | i
    total = bits * len(indices)
    out <<= (-total) % 8
    return out.to_bytes((total + 7) // 8, "big")


def seeds():
    yield "pal1", bmp(1, [pad(packed(1, [(x + y) % 2 for x in range(W)])) for y in range(H)], palette=palette(2))
    yield "pal4", bmp(4, [pad(packed(4, [(x * 3 + y) % 16 for x in range(W)])) for y in range(H)], palette=palette(16))
    yield "pal8-short-palette", bmp(8, [pad(bytes((x * 40 + y) % 200 for x in range(W))) for y in range(H)],
                                    palette=palette(4), colors_used=4)
    rle8 = b"\x03\x01\x02\x05" + b"\x00\x00" + b"\x00\x03\x07\x08\x09\x00" + b"\x00\x02\x01\x00" + b"\x00\x01"
    yield "rle8", bmp(8, [rle8], compression=1, palette=palette(16))
    rle4 = b"\x05\x12" + b"\x00\x00" + b"\x00\x04\x34\x56" + b"\x00\x00" + b"\x04\x78" + b"\x00\x01"
    yield "rle4", bmp(4, [rle4], compression=2, palette=palette(16))
    yield "x1r5g5b5", bmp(16, [pad(b"".join(struct.pack("<H", (x * 1000 + y * 77) & 0x7FFF) for x in range(W)))
                               for y in range(H)])
    masks565 = struct.pack("<III", 0xF800, 0x07E0, 0x001F)
    yield "r5g6b5", bmp(16, [pad(b"".join(struct.pack("<H", x * 3001 + y) for x in range(W))) for y in range(H)],
                        compression=3, masks=masks565)
    masks555 = struct.pack("<III", 0x7C00, 0x03E0, 0x001F)
    yield "bitfields555", bmp(16, [pad(b"\x1f\x7c" * W) for _ in range(H)], compression=3, masks=masks555)
    yield "bgr24", bmp(24, [pad(bytes(v for x in range(W) for v in (x * 50, y * 80, 200))) for y in range(H)])
    yield "bgra32-topdown", bmp(32, [bytes(v for x in range(W) for v in (x * 50, y * 80, 200, x * 60))
                                     for y in range(H)], height=-H)
    yield "refused-bitfields", bmp(16, [pad(b"\0\0" * W) for _ in range(H)], compression=3,
                                   masks=struct.pack("<III", 0xF00, 0xF0, 0xF))
    yield "refused-truncated", bmp(24, [pad(b"\1\2\3" * W) for _ in range(H)])[:-7]


def main():
    write_corpus(__file__, dict(seeds()))


if __name__ == "__main__":
    main()
