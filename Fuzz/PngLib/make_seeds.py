#!/usr/bin/env python3
"""Writes the seed corpus of the PNG picture library target: small PNG files
of each colour type and depth the library turns into 24- or 32-bit rows
(palette with and without transparency, grey of 1 to 16 bits, grey with
alpha, RGB and RGBA of 8 and 16 bits, an interlaced one) and a cut-off
file. Deterministic."""
import os
import sys
import struct
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402

W, H = 7, 5
ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def row_bytes(samples, depth):
    if depth >= 8:
        return b"".join(s.to_bytes(depth // 8, "big") for s in samples)
    acc = bits = 0
    out = bytearray()
    for s in samples:
        acc = (acc << depth) | s
        bits += depth
        if bits == 8:
            out.append(acc)
            acc = bits = 0
    if bits:
        out.append(acc << (8 - bits))
    return bytes(out)


def png(color_type, depth, pixel, extra=b"", interlaced=False):
    """pixel(x, y) gives the samples of one pixel as a tuple."""
    def scan(xs, ys):
        raw = b""
        for y in ys:
            samples = [s for x in xs for s in pixel(x, y)]
            raw += b"\0" + row_bytes(samples, depth)
        return raw

    if interlaced:
        raw = b""
        for x0, y0, dx, dy in ADAM7:
            xs, ys = range(x0, W, dx), range(y0, H, dy)
            if len(xs) and len(ys):
                raw += scan(xs, ys)
    else:
        raw = scan(range(W), range(H))
    header = struct.pack(">IIBBBBB", W, H, depth, color_type, 0, 0, 1 if interlaced else 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def main():
    top = lambda depth: (1 << depth) - 1
    plte = chunk(b"PLTE", bytes(v for i in range(4) for v in (i * 60, 255 - i * 50, i * 20)))
    seeds = {
        "palette": png(3, 2, lambda x, y: ((x + y) % 4,), plte),
        "palette-trns": png(3, 8, lambda x, y: ((x * y) % 4,), plte + chunk(b"tRNS", b"\x00\x80")),
        "grey1": png(0, 1, lambda x, y: ((x ^ y) & 1,)),
        "grey4-trns": png(0, 4, lambda x, y: ((x + 2 * y) % 16,), chunk(b"tRNS", b"\x00\x03")),
        "grey16-alpha": png(4, 16, lambda x, y: (x * 9000, top(16) - y * 9000)),
        "rgb8": png(2, 8, lambda x, y: (x * 30, y * 50, 99)),
        "rgb16-trns": png(2, 16, lambda x, y: (x * 8000, y * 9000, 1234), chunk(b"tRNS", struct.pack(">HHH", 0, 0, 1234))),
        "rgba8-interlaced": png(6, 8, lambda x, y: (x * 30, y * 50, 99, (x * y * 20) % 256), interlaced=True),
    }
    seeds["rgb8-cut"] = seeds["rgb8"][:-30]
    write_corpus(__file__, seeds)


if __name__ == "__main__":
    main()
