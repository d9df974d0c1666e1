#!/usr/bin/env python3
"""Writes the seed corpus of the contour curve target: the built-in presets
in their serialised preset form, bare serialised curves, and rejected data
(a count of 1, a coordinate of 256, data cut short, a negative name length).
Deterministic."""
import os
import sys
import struct

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402


PRESETS = [
    ("Linear", [(0, 0), (255, 255)]),
    ("Cone", [(0, 0), (128, 255), (255, 0)]),
    ("Gaussian", [(0, 0), (63, 11), (113, 63), (146, 194), (191, 241), (255, 255)]),
    ("Ring - Double", [(0, 0), (48, 255), (105, 0), (158, 253), (214, 1), (255, 255)]),
]


def curve(points, count=None):
    data = struct.pack(">H", len(points) if count is None else count)
    return data + b"".join(struct.pack(">HH", x, y) for x, y in points)


def preset(name, points):
    raw = name.encode("latin-1")
    return struct.pack("<i", len(raw)) + raw + curve(points)


def main():
    seeds = {}
    for name, points in PRESETS:
        seeds["preset-" + name.replace(" ", "")] = preset(name, points)
    seeds["curve-repeated-x"] = curve([(0, 10), (40, 90), (40, 20), (255, 200)])
    seeds["curve-one-point"] = curve([(3, 3)])
    seeds["curve-coordinate-256"] = curve([(0, 0), (256, 1)])
    seeds["curve-cut"] = curve([(0, 0), (100, 50), (255, 255)])[:-3]
    seeds["preset-negative-name"] = struct.pack("<i", -4) + curve([(0, 0), (255, 255)])
    write_corpus(__file__, seeds)


if __name__ == "__main__":
    main()
