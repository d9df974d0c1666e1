#!/usr/bin/env python3
"""Writes the seed corpus of the key point target: object blocks as the
project keeps them, with key points of every origin, speed keys that smooth
pan, zoom and rotation, perspective correction, and damaged values.
Deterministic."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402



def block(keys, points):
    lines = ["[Slide1]", "object Main:mainimage"] + ["  %s=%s" % kv for kv in keys]
    for i, point in enumerate(points):
        lines.append("  object K%d:keypoint" % (i + 1))
        lines += ["    %s=%s" % kv for kv in point]
        lines.append("  end")
    lines.append("end")
    return ("\r\n".join(lines) + "\r\n").encode("utf-8")


SEEDS = {
    "pan-zoom": block(
        [("PerspectiveCorrection", "1"), ("ZoomSpeed", "2;0;4000;1;0;1;0.3;0.6;"),
         ("PanSpeed", "3;0;2000;4000;1;0;2;0.5;0.5;")],
        [[("Time", "0"), ("ScaleX", "100"), ("ScaleY", "100"), ("Position", "0,0")],
         [("Time", "2000"), ("ScaleX", "150"), ("ScaleY", "150"), ("Position", "10.5,-4"), ("ZPos", "20")],
         [("Time", "0"), ("Origin", "SlideEnd"), ("ScaleX", "200"), ("ScaleY", "200"), ("Position", "-10,4")]]),
    "rotate-origins": block(
        [("RotateSpeed", "4;0;1;2;3;1;0;3;0.2;0.9;")],
        [[("Time", "-100"), ("Origin", "PrevEffectEnd"), ("Angle", "0"), ("AngleX", "10"), ("Opacity", "0")],
         [("Time", "0"), ("Origin", "nexteffectbegin"), ("Angle", "90"), ("AngleY", "-45"), ("Blur", "3")],
         [("Time", "0"), ("Origin", "NextEffectBegin"), ("Angle", "180"), ("CenterPos", "50,50")],
         [("Time", "300"), ("Origin", "Bogus"), ("Angle", "270"), ("Opacity", "100")]]),
    "damaged": block(
        [("ZoomSpeed", "5;0;1;2;3;4;1;0;9;0.5;0.5;"), ("PanSpeed", "x")],
        [[("Time", "1e300"), ("ScaleX", "0"), ("ScaleY", "-5")],
         [("Time", "nan"), ("Opacity", "1e40"), ("Position", "1")],
         [("Time", "-2147483649")]]),
}


def main():
    write_corpus(__file__, SEEDS)


if __name__ == "__main__":
    main()
