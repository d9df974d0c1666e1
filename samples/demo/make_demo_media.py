#!/usr/bin/env python3
"""Makes the media of the demo show: a wide landscape JPEG for the pan and
zoom (with an EXIF date and description for the caption's macros), a card
JPEG that turns in 3D, a tile for the background, a round mask, an animated
GIF, a small badge picture with a drop shadow, a three-second video clip
with its sound, the show's logo and a button skin (btn.ini and its
picture). Everything is drawn from formulas, so running the script
again reproduces the committed pictures (the JPEGs need cjpeg) and a clip of
the same content (ffmpeg; its bytes may differ)."""
import math
import os
import shutil
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
# The 32-bit BMP writer of the navigation bars' script.
sys.path.insert(0, os.path.dirname(HERE))
from make_nav_skins import bmp32  # noqa: E402


def clamp(v):
    return 0 if v < 0 else 255 if v > 255 else int(v)


def bmp24(width, height, pixel):
    """A bottom-up 24-bit BMP; pixel(x, y) gives (r, g, b), y from the top."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((clamp(b), clamp(g), clamp(r)))
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + data


def ppm(width, height, pixel):
    out = bytearray(b"P6\n%d %d\n255\n" % (width, height))
    for y in range(height):
        for x in range(width):
            out += bytes(clamp(c) for c in pixel(x, y))
    return bytes(out)


def landscape(width, height):
    """Sky, sun, two ranges of hills and a lake: enough detail to see a pan."""
    sun_x, sun_y, sun_r = width * 0.68, height * 0.30, height * 0.09

    def hill(x, base, amp, freq, phase):
        return base + amp * math.sin(x * freq + phase) + amp * 0.4 * math.sin(x * freq * 2.7 + phase * 1.3)

    def pixel(x, y):
        far = hill(x, height * 0.52, height * 0.06, 0.011, 0.5)
        near = hill(x, height * 0.66, height * 0.05, 0.006, 2.0)
        lake = height * 0.82
        if y < far:
            t = y / far
            r, g, b = 70 + 150 * t, 110 + 110 * t, 200 + 40 * t
            d = math.hypot(x - sun_x, y - sun_y)
            if d < sun_r:
                r, g, b = 255, 236, 150
            elif d < sun_r * 2.2:
                k = 1 - (d - sun_r) / (sun_r * 1.2)
                r, g, b = r + (255 - r) * k * 0.6, g + (220 - g) * k * 0.5, b * (1 - k * 0.3)
            return r, g, b
        if y < near:
            return 90 + 20 * math.sin(x * 0.05), 110 + 15 * math.sin(y * 0.2), 140
        if y < lake:
            stripe = 12 * math.sin(x * 0.09 + y * 0.03)
            return 50 + stripe, 120 + (y - near) * 0.4 + stripe, 50
        ripple = 14 * math.sin(y * 0.9 + x * 0.01)
        return 60 + ripple, 110 + ripple, 170 + ripple

    return pixel


def card(width, height):
    """A photo card: a white border around a checkered picture with a disc."""
    def pixel(x, y):
        if x < 16 or y < 16 or x >= width - 16 or y >= height - 16:
            return 245, 245, 240
        cx, cy = width / 2, height / 2
        if math.hypot(x - cx, y - cy) < height * 0.25:
            return 230, 80, 60
        if ((x // 40) + (y // 40)) % 2 == 0:
            return 40, 90 + y * 0.2, 160
        return 250, 200, 60
    return pixel


def tile(x, y):
    """A diamond tile for the repeated background."""
    d = abs(x - 31.5) + abs(y - 31.5)
    if d < 20:
        return 60, 70, 110
    if d < 26:
        return 200, 180, 90
    return 30, 34, 60


def round_mask(size):
    """White disc with a soft edge on black: the viewport's mask."""
    def pixel(x, y):
        d = math.hypot(x - size / 2 + 0.5, y - size / 2 + 0.5) / (size / 2)
        v = 255 if d < 0.85 else 0 if d > 1 else 255 * (1 - d) / 0.15
        return v, v, v
    return pixel


def badge(size):
    def pixel(x, y):
        d = math.hypot(x - size / 2 + 0.5, y - size / 2 + 0.5)
        if d > size * 0.48:
            return 255, 255, 255
        angle = math.atan2(y - size / 2, x - size / 2)
        return 200 + 50 * math.cos(angle * 5), 60, 90 + 60 * math.sin(angle * 5)
    return pixel


def logo(size):
    """A white ring around an orange dot on a transparent ground."""
    def pixel(x, y):
        d = math.hypot(x - size / 2 + 0.5, y - size / 2 + 0.5) / (size / 2)
        ring = max(0.0, 1 - abs(d - 0.8) / 0.08)
        dot = 1.0 if d < 0.45 else max(0.0, 1 - (d - 0.45) / 0.05)
        if dot > 0:
            return 250, 140, 40, 255 * dot
        return 255, 255, 255, 255 * min(1.0, ring * 1.5)
    return pixel


# The button skin: three states (normal, hover, pressed) stacked, each a
# rounded bar of BUTTON_W x BUTTON_H cut into nine pieces by btn.ini.
BUTTON_W, BUTTON_H, BUTTON_CORNER = 48, 32, 10
BUTTON_STATES = ((60, 90, 150), (80, 130, 210), (40, 60, 110))


def button_skin(x, y):
    state, y = divmod(y, BUTTON_H)
    r, g, b = BUTTON_STATES[state]
    c = BUTTON_CORNER
    # Distance outside the rounded rectangle, in pixels.
    dx = max(c - x - 0.5, x + 0.5 - (BUTTON_W - c), 0)
    dy = max(c - y - 0.5, y + 0.5 - (BUTTON_H - c), 0)
    edge = math.hypot(dx, dy) - (c - 1)
    alpha = 255 if edge <= 0 else 0 if edge >= 1 else 255 * (1 - edge)
    shade = 1.25 - 0.5 * y / BUTTON_H
    rim = 1.4 if edge > -1.5 else 1.0
    return r * shade * rim, g * shade * rim, b * shade * rim, alpha


def button_ini():
    names = ("NormalState", "HoverState", "ClickState")
    w, h, c = BUTTON_W, BUTTON_H, BUTTON_CORNER
    lines = []
    for state, name in enumerate(names):
        t = state * h
        pieces = (("LeftTop", 0, t, c, t + c), ("Top", c, t, w - c, t + c), ("RightTop", w - c, t, w, t + c),
                  ("Right", w - c, t + c, w, t + h - c), ("RightBottom", w - c, t + h - c, w, t + h),
                  ("Bottom", c, t + h - c, w - c, t + h), ("LeftBottom", 0, t + h - c, c, t + h),
                  ("Left", 0, t + c, c, t + h - c), ("Center", c, t + c, w - c, t + h - c))
        lines.append("[%s]" % name)
        lines += ["%s=btn.bmp,%d,%d,%d,%d" % piece for piece in pieces]
    lines += ["[TextParams]", "Color=255,255,255", "BtnOffset=60", "BtnMinWidth=200", "Filtering=Bilinear"]
    return ("\r\n".join(lines) + "\r\n").encode("ascii")


def gif_lzw(indices):
    """LZW data for 8-bit indices that never lets the code table grow past
    9 bits: a clear code every 250 literals."""
    clear, end = 256, 257
    codes = []
    for i, value in enumerate(indices):
        if i % 250 == 0:
            codes.append(clear)
        codes.append(value)
    codes.append(end)
    out = bytearray()
    acc = bits = 0
    for code in codes:
        acc |= code << bits
        bits += 9
        while bits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            bits -= 8
    if bits:
        out.append(acc & 0xFF)
    blocks = bytearray([8])
    for i in range(0, len(out), 255):
        chunk = out[i:i + 255]
        blocks += bytes([len(chunk)]) + chunk
    return bytes(blocks + b"\0")


def spinner_gif(size, frames, delay_cs):
    """An animated GIF of a dot circling a ring: `frames` frames, looping."""
    palette = [(20, 24, 40), (70, 80, 120), (255, 210, 60), (250, 250, 250)]
    palette += [(0, 0, 0)] * (256 - len(palette))
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", size, size, 0xF7, 0, 0)
    out += b"".join(bytes(c) for c in palette)
    out += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"
    c = size / 2
    for f in range(frames):
        a = 2 * math.pi * f / frames
        dx, dy = c + size * 0.32 * math.cos(a), c + size * 0.32 * math.sin(a)
        indices = []
        for y in range(size):
            for x in range(size):
                r = math.hypot(x - c, y - c)
                if math.hypot(x - dx, y - dy) < size * 0.12:
                    indices.append(2)
                elif abs(r - size * 0.32) < 2:
                    indices.append(1)
                elif r < size * 0.06:
                    indices.append(3)
                else:
                    indices.append(0)
        out += b"\x21\xF9\x04\x00" + struct.pack("<H", delay_cs) + b"\x00\x00"
        out += b"\x2C" + struct.pack("<HHHHB", 0, 0, size, size, 0)
        out += gif_lzw(indices)
    out += b"\x3B"
    return bytes(out)


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def exif_segment(fields):
    """An APP1 EXIF segment with ASCII fields of IFD0: {tag: text}."""
    entries = sorted((tag, text.encode("ascii") + b"\0") for tag, text in fields.items())
    data_at = 8 + 2 + 12 * len(entries) + 4
    ifd = struct.pack("<H", len(entries))
    data = b""
    for tag, value in entries:
        if len(value) <= 4:
            ifd += struct.pack("<HHI", tag, 2, len(value)) + value.ljust(4, b"\0")
        else:
            ifd += struct.pack("<HHII", tag, 2, len(value), data_at + len(data))
            data += value
    ifd += struct.pack("<I", 0)
    payload = b"Exif\0\0" + b"II*\0" + struct.pack("<I", 8) + ifd + data
    return b"\xff\xe1" + struct.pack(">H", len(payload) + 2) + payload


def jpeg(name, width, height, pixel, quality=85, exif=None):
    cjpeg = shutil.which("cjpeg")
    if cjpeg is None:
        print("cjpeg not found: %s left as it is" % name, file=sys.stderr)
        return
    data = subprocess.run([cjpeg, "-quality", str(quality)], input=ppm(width, height, pixel),
                          stdout=subprocess.PIPE, check=True).stdout
    if exif:
        data = data[:2] + exif_segment(exif) + data[2:]
    write(name, data)


def clip(name, seconds=3):
    """Drifting colour gradients crossed by a white square, with a rising and
    falling two-note chord: H.264 and AAC in MP4, 320 x 180 at 25 frames/s."""
    ffmpeg = shutil.which("ffmpeg")
    if ffmpeg is None:
        print("ffmpeg not found: %s left as it is" % name, file=sys.stderr)
        return
    picture = ("gradients=s=320x180:r=25:d=%d:speed=0.08:n=3:seed=7,"
               "drawbox=x='mod(t*120,320)':y=70:w=40:h=40:c=white@0.8:t=fill" % seconds)
    sound = ("aevalsrc=0.25*sin(2*PI*440*t)*sin(PI*t/%d)|0.25*sin(2*PI*660*t)*sin(PI*t/%d):s=44100:d=%d"
             % (seconds, seconds, seconds))
    subprocess.run([ffmpeg, "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", picture,
                    "-f", "lavfi", "-i", sound, "-t", str(seconds), "-c:v", "libx264", "-preset", "slow",
                    "-crf", "30", "-g", "25", "-threads", "1", "-pix_fmt", "yuv420p", "-c:a", "aac", "-b:a", "48k",
                    "-movflags", "+faststart", "-fflags", "+bitexact", "-flags", "+bitexact",
                    os.path.join(HERE, name)], check=True)


def main():
    write("tile.bmp", bmp24(64, 64, tile))
    write("mask.bmp", bmp24(256, 256, round_mask(256)))
    write("badge.bmp", bmp24(128, 128, badge(128)))
    write("logo.bmp", bmp32(96, 96, logo(96)))
    write("btn.bmp", bmp32(BUTTON_W, BUTTON_H * len(BUTTON_STATES), button_skin))
    write("btn.ini", button_ini())
    write("spinner.gif", spinner_gif(96, 12, 8))
    jpeg("landscape.jpg", 1600, 900, landscape(1600, 900),
         exif={270: "Hills by the lake", 306: "2021:06:14 19:42:05"})
    jpeg("card.jpg", 640, 480, card(640, 480))
    clip("clip.mp4")


if __name__ == "__main__":
    main()
