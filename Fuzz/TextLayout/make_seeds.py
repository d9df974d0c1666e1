#!/usr/bin/env python3
"""Writes the seed corpus of the text layout target: packed layouts in the
layout the text packer writes (line count, font metrics, then per line the
glyph pointers: x, size, glyph index, UTF-16 font name), with several lines,
fonts and an empty line, and refused ones (a negative count, a count beyond
the entry, a name cut short). Deterministic."""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402


def name(text):
    units = text.encode("utf-16-le")
    return struct.pack("<i", len(units) // 2) + units


def layout(lines, count=None):
    out = struct.pack("<i", len(lines) if count is None else count)
    out += struct.pack("<iiffff", 30, 8, -3.5, 1.5, 9.0, 1.5)
    for line in lines:
        out += struct.pack("<i", len(line))
        for x, size, index, font in line:
            out += struct.pack("<ifH", x, size, index) + name(font)
    return out


def main():
    bold = "DejaVu Sans:Bold"
    write_corpus(__file__, {
        "two-lines": layout([[(0, 32.0, 43, bold), (21, 32.0, 72, bold)], [], [(0, 16.0, 5, "DejaVu Serif")]]),
        "one-glyph": layout([[(-4, 1e-3, 65535, "\u65e5\u672c")]]),
        "negative-count": layout([], count=-1),
        "count-beyond": layout([[(0, 32.0, 1, bold)]], count=70000),
        "name-cut": layout([[(0, 32.0, 1, bold)]])[:-5],
    })


if __name__ == "__main__":
    main()
