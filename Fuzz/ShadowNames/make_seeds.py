#!/usr/bin/env python3
"""Writes the seed corpus of the shadow name target: names as slides compose
them for pictures, texts, buttons and shapes (boxes, frames, video), with
gradients and contours, and names with odd values. Deterministic."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402



def name(values, source):
    return "Shadow: " + "".join("%s:" % v for v in values) + source


SEEDS = {
    "picture": name([0, 0, 37, 23, 6, 6, 255, 3.5, 0, 8, 0, 0, 20, 30, 40, "75.00", 0], "C:\\Shows\\a:b.jpg"),
    "picture-mip": name([0, 0, 19, 12, 4, 4, 255, 1.25, 5, 8, 0, 0, 0, 0, 0, "100.00", 1], "photo.jpg"),
    "shape-white": name([0, 0, 120, 80, 10, 10, 0, 2, 1, 8, 255, 255, 255, 0, 0, "50.00", 0], "N\\A"),
    "shape-gradient": name([0, 0, 60, 40, 8, 8, 0, 4, 9, 3, 10, 240, 9, 9, 9, "33.33", 0], "N\\A"),
    "shape-reduced": name([0, 0, 4000, 3000, 200, 200, 0, 0, -1, 6, 0, 200, 1, 2, 3, "10,5", 0], "N\\A"),
    "odd-values": name([-5, "x", 10, 10, " 2 ", -1, 999, "nan", 12, 99, -3, 300, -1, 256, 7, "1e300", 31], "missing"),
    "too-few": "Shadow: 1:2:3:",
}


def main():
    write_corpus(__file__, {key: text.encode("utf-8") for key, text in SEEDS.items()})


if __name__ == "__main__":
    main()
