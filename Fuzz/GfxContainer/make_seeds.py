#!/usr/bin/env python3
"""Writes the seed corpus of the picture container target: containers in the
layout the authoring side writes (fields "File", "Width", "Height",
"OriginalSize", then a raw deflate BMP), around the BMP seeds of the BMP
reader target, plus one with a damaged payload and one with a missing field.
Deterministic."""
import importlib.util
import os
import sys
import struct
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))

spec = importlib.util.spec_from_file_location("bmp_seeds", os.path.join(HERE, "..", "BmpReader", "make_seeds.py"))
bmp_seeds = importlib.util.module_from_spec(spec)
spec.loader.exec_module(bmp_seeds)


def text(value):
    data = value.encode("utf-8")
    return struct.pack("<H", len(data)) + data


def container(fields, payload):
    out = b"QXGF" + struct.pack("<H", len(fields))
    for name, value in fields:
        out += text(name) + text(value)
    deflate = zlib.compressobj(9, zlib.DEFLATED, -15)
    return out + deflate.compress(payload) + deflate.flush()


def fields(width, height, size, source="C:\\Shows\\Buttons\\play.png"):
    return [("File", source), ("Width", str(width)), ("Height", str(height)), ("OriginalSize", str(size))]


def main():
    seeds = {}
    for name, bmp in bmp_seeds.seeds():
        if name in ("bgra32-topdown", "pal8-short-palette", "rle4", "r5g6b5"):
            seeds["bmp-" + name] = container(fields(bmp_seeds.W, bmp_seeds.H, len(bmp)), bmp)
    good = dict(bmp_seeds.seeds())["bgr24"]
    damaged = bytearray(container(fields(bmp_seeds.W, bmp_seeds.H, 999, "\u00e9t\u00e9.png"), good))
    damaged[-5] ^= 0x55
    seeds["damaged-payload"] = bytes(damaged)
    seeds["missing-height"] = container([f for f in fields(5, 3, 1) if f[0] != "Height"] + [("Extra", "x")], good)
    seeds["size-differs"] = container(fields(7, 3, 1), good)
    write_corpus(__file__, seeds)


if __name__ == "__main__":
    main()
