#!/usr/bin/env python3
"""Makes the small media files of the sample project: two BMP pictures, a
JPEG (through cjpeg when it is installed) and a short WAV chime. The output
is deterministic, so running it again reproduces the committed files."""
import math
import os
import shutil
import struct
import subprocess
import sys

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sample")


def bmp24(width, height, pixel):
    """A bottom-up 24-bit BMP; pixel(x, y) gives (r, g, b), y from the top."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + data


def sunrise(x, y):
    t = y / 47.0
    return (int(255 * (1 - t * 0.5)), int(120 + 100 * t), int(60 + 180 * t))


def tiles(x, y):
    return (230, 200, 40) if ((x // 8) + (y // 8)) % 2 == 0 else (40, 60, 160)


def portrait_ppm(width, height):
    pixels = bytearray()
    for y in range(height):
        for x in range(width):
            d = math.hypot(x - width / 2, y - height / 3) / width
            v = max(0, min(255, int(255 * (1 - d * 1.6))))
            pixels += bytes((v, int(v * 0.8), int(v * 0.6 + 40)))
    return b"P6\n%d %d\n255\n" % (width, height) + bytes(pixels)


def chime_wav(rate=22050, seconds=0.25):
    frames = int(rate * seconds)
    samples = bytearray()
    for i in range(frames):
        envelope = 1 - i / frames
        value = int(12000 * envelope * math.sin(2 * math.pi * 880 * i / rate))
        samples += struct.pack("<h", value)
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(samples)) + samples
    return b"RIFF" + struct.pack("<I", len(body)) + body


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def main():
    write("sunrise.bmp", bmp24(64, 48, sunrise))
    write("tiles.bmp", bmp24(32, 32, tiles))
    write("chime.wav", chime_wav())
    cjpeg = shutil.which("cjpeg")
    if cjpeg is None:
        print("cjpeg not found: portrait.jpg left as it is", file=sys.stderr)
        return
    jpeg = subprocess.run([cjpeg, "-quality", "85"], input=portrait_ppm(48, 64),
                          stdout=subprocess.PIPE, check=True).stdout
    write("portrait.jpg", jpeg)


if __name__ == "__main__":
    main()
