#!/usr/bin/env python3
"""Writes the seed corpus of the composite description target: descriptions
as the music options reader writes them (items with level, cross-fade and
curve envelopes, a master envelope), concatenated descriptions, and damaged
ones. A seed is the text after the first marker. Deterministic."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402

MARKER = "9213AB40-17BB-458F-9C4C-1806F44BEB65"


def envelopes(section, curves):
    lines = ["FadeCount=%d" % len(curves)] if curves else []
    tail = []
    for j, points in enumerate(curves):
        for k, (time, volume) in enumerate(points):
            tail += ["[Vol_%s_%d_%d]" % (section, j, k), "0=%s" % time, "1=%s" % volume]
    return lines, tail


def description(duration, items, master=None):
    lines = ["[Main]", "Duration=%s" % duration]
    tail = []
    for i, (name, timeline, begin, length, curves) in enumerate(items):
        lines += ["[%d]" % i, "FileName=%s" % name, "TimeLine=%s" % timeline, "BeginTime=%s" % begin,
                  "Duration=%s" % length]
        own, points = envelopes(str(i), curves)
        lines += own
        tail += points
    if master:
        own, points = envelopes("MainVolume", master)
        lines += ["[MainVolume]"] + own
        tail += points
    return "\r\n".join(lines + tail) + "\r\n"


SEEDS = {
    "one-item": description(1000, [("a.wav", 0, 0, 1000, [])]),
    "cross-fade": description(9000, [
        ("song1.mp3", 0, 0, 5000, [[(0, 0), (1500, 800), (3500, 800), (5000, 0)], [(4000, 1000), (5000, 0)]]),
        ("song2.ogg", 4000, 250, 5000, [[(0, 0), (1000, 1000)], [(100, 655), (2000, 1200), (2000, 300)]]),
    ]),
    "master": description(3000, [("a.wav", 0, 0, 0, []), ("missing.wav", 500, 0, 2000, [])],
                          master=[[(0, 1000), (1500, 200), (3000, 1000)]]),
    "concatenated": description(2000, [("a.wav", 200, 0, 1500, [])], master=[[(500, 400)]])
    + MARKER + description(3000, [("b.wav", 50, 100, 0, [[(0, 0), (10, 1000)]])]),
    "damaged": description("2147483647", [
        ("x.wav", "-2147483648", "99999999999", "-5", [[("nan", "-1"), (7, 1e30)], [(1, 2)]]),
        ("y.wav", "1e3", "", "2147483647", [[(0, 1000)] * 3]),
    ], master=[[]]),
    "nested-name": description(500, [(MARKER + "[Main]", 0, 0, 500, [])]),
}


def main():
    write_corpus(__file__, {name: text.encode("utf-8") for name, text in SEEDS.items()})


if __name__ == "__main__":
    main()
