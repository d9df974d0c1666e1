#!/usr/bin/env python3
"""Writes the seed corpus of the glyph cache target: packed caches in the
layout the text packer writes (glyph count, UTF-16 font name, then per glyph
index, A, B, C, ink ascent and descent, reference size and the outline's
points), with lines, curves and closed contours, and refused ones (a
reference size of 0, an unknown point kind, a count beyond the entry).
Deterministic."""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402

MOVE, LINE, QUADRATIC, CUBIC, CLOSE = 0, 1, 2, 3, 9


def name(text):
    units = text.encode("utf-16-le")
    return struct.pack("<i", len(units) // 2) + units


def glyph(index, points, size=32.0):
    out = struct.pack("<H5if", index, 2, 20, 3, 24, -1, size) + struct.pack("<i", len(points))
    return out + b"".join(struct.pack("<ffi", x, y, kind) for x, y, kind in points)


def cache(font, glyphs, count=None):
    return struct.pack("<i", len(glyphs) if count is None else count) + name(font) + b"".join(glyphs)


SQUARE = [(0, 0, MOVE), (20, 0, LINE), (20, -24, LINE), (0, -24, LINE), (0, 0, CLOSE)]
CURVE = [(0, 0, MOVE), (10, -30, QUADRATIC), (20, 0, QUADRATIC), (5, 5, CUBIC), (15, 5, CUBIC), (0, 0, CUBIC),
         (0, 0, CLOSE), (30, 0, MOVE), (31, -1, LINE), (30, 0, CLOSE)]


def main():
    write_corpus(__file__, {
        "two-glyphs": cache("DejaVu Sans:Bold", [glyph(36, SQUARE), glyph(68, CURVE)]),
        "empty-glyph": cache("Fr\u00e4ktur \U0001D504", [glyph(3, [])]),
        "repeated-index": cache("A", [glyph(5, SQUARE), glyph(5, CURVE, 12.5)]),
        "zero-size": cache("A", [glyph(1, SQUARE, 0.0)]),
        "unknown-kind": cache("A", [glyph(1, [(0, 0, MOVE), (1, 1, 7)])]),
        "count-beyond": cache("A", [glyph(1, SQUARE)], count=1000),
    })


if __name__ == "__main__":
    main()
