#!/usr/bin/env python3
"""Writes the seed corpus of the JPEG loader target with cjpeg (as the sample
media are made): a small picture baseline, progressive, grey-scale, with
4:4:4 and 4:2:0 sampling, restart markers and arithmetic coding, plus a
cut-off file. Deterministic for a given cjpeg."""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402

W, H = 19, 13  # not a multiple of the block size, so every scale rounds


def ppm(grey=False):
    pixels = bytearray()
    for y in range(H):
        for x in range(W):
            r, g, b = (x * 13) % 256, (y * 19) % 256, ((x + y) * 7) % 256
            pixels += bytes((r,)) if grey else bytes((r, g, b))
    magic = b"P5" if grey else b"P6"
    return magic + b"\n%d %d\n255\n" % (W, H) + bytes(pixels)


VARIANTS = {
    "baseline": ([], False),
    "progressive": (["-progressive"], False),
    "grey": (["-grayscale"], True),
    "sample444": (["-sample", "1x1"], False),
    "restart": (["-restart", "1B", "-sample", "2x2"], False),
    "arithmetic": (["-arithmetic"], False),
    "grey-progressive": (["-progressive", "-grayscale"], True),
}


def main():
    cjpeg = shutil.which("cjpeg")
    if cjpeg is None:
        sys.exit("cjpeg not found (package libjpeg-turbo-progs)")
    seeds = {}
    for name, (args, grey) in VARIANTS.items():
        seeds[name] = subprocess.run([cjpeg, "-quality", "60"] + args, input=ppm(grey), stdout=subprocess.PIPE,
                                     check=True).stdout
    seeds["progressive-cut"] = seeds["progressive"][: len(seeds["progressive"]) * 2 // 3]
    write_corpus(__file__, seeds)


if __name__ == "__main__":
    main()
