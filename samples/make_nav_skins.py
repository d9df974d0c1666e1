#!/usr/bin/env python3
"""Draws the navigation bars of our own into samples/skins/: a classic bar
(a background grid and four buttons: home, backward, forward, pause with its
play look, in normal, hover and pressed looks) and a video-style bar (the
background, the track line, the thumb and the three strips of six button
cells). Pictures are 32-bit BMP files with alpha, drawn from formulas, so
running the script again reproduces the committed files byte for byte."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SKINS = os.path.join(HERE, "skins")


def clamp(v):
    return 0 if v < 0 else 255 if v > 255 else int(round(v))


def bmp32(width, height, pixel):
    """A bottom-up 32-bit BMP; pixel(x, y) gives (r, g, b, a), y from the top."""
    rows = []
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            r, g, b, a = pixel(x, y)
            row += bytes((clamp(b), clamp(g), clamp(r), clamp(a)))
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0, len(data), 2835, 2835, 0, 0)
    return header + info + data


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def coverage(distance):
    """Anti-aliased inside-ness of a pixel whose centre lies `distance` inside an edge."""
    return max(0.0, min(1.0, distance + 0.5))


# --- Symbols: signed distances (positive inside) in a unit cell -------------------


def triangle(x, y, pointing):
    """A triangle in the box 0.3 ... 0.7, pointing right (+1) or left (-1)."""
    u = x if pointing > 0 else 1 - x
    return min(u - 0.32, 0.68 - u - 2 * abs(y - 0.5) * 0.9) * 16


def symbol(kind, x, y):
    if kind == "play":
        return triangle(x, y, +1)
    if kind == "pause":
        bars = max(min(x - 0.3, 0.44 - x), min(x - 0.56, 0.7 - x))
        return min(bars, 0.2 - abs(y - 0.5)) * 16
    if kind == "forward":
        return max(triangle(x * 1.4 - 0.35, y, +1), triangle(x * 1.4 - 0.05, y, +1))
    if kind == "backward":
        return max(triangle(x * 1.4 - 0.35, y, -1), triangle(x * 1.4 - 0.05, y, -1))
    if kind == "home":
        roof = min(y - 0.22 - abs(x - 0.5) * 0.9, 0.5 - y + 0.02) * 16
        body = min(abs(x - 0.5) * -1 + 0.2, y - 0.48, 0.76 - y) * 16
        return max(roof, body)
    if kind in ("sound", "muted"):
        box = min(x - 0.22, 0.36 - x, 0.1 - abs(y - 0.5)) * 16
        cone = min(x - 0.3, 0.52 - x, 0.08 + (x - 0.3) * 0.9 - abs(y - 0.5)) * 16
        shape = max(box, cone)
        if kind == "sound":
            r = math.hypot(x - 0.46, y - 0.5)
            wave = min(0.04 - abs(r - 0.22), x - 0.58) * 16
            return max(shape, wave)
        cross = min(0.035 - abs((x - 0.69) - (y - 0.5)), 0.12 - abs(x - 0.69)) * 16
        cross2 = min(0.035 - abs((x - 0.69) + (y - 0.5)), 0.12 - abs(x - 0.69)) * 16
        return max(shape, cross, cross2)
    return -1.0


LOOKS = {
    # face colour, symbol colour
    "normal": ((52, 60, 76), (230, 234, 240)),
    "hover": ((70, 96, 140), (255, 255, 255)),
    "pressed": ((32, 44, 70), (180, 210, 255)),
}


def button_pixel(kind, look, size, x, y):
    """One pixel of a round-cornered button face with its symbol."""
    face, ink = LOOKS[look]
    u, v = (x + 0.5) / size, (y + 0.5) / size
    # Rounded square face.
    qx, qy = max(abs(u - 0.5) - 0.3, 0), max(abs(v - 0.5) - 0.3, 0)
    inside = (0.16 - math.hypot(qx, qy)) * size
    a = coverage(inside)
    shade = 1.0 + 0.25 * (0.5 - v)
    col = [c * shade for c in face]
    s = coverage(symbol(kind, u, v) * size / 16)
    col = [c * (1 - s) + i * s for c, i in zip(col, ink)]
    return (col[0], col[1], col[2], 255 * a)


# --- Classic bar -------------------------------------------------------------------------

CLASSIC_BUTTON = 16
CLASSIC_KINDS = ["home", "backward", "forward", "pause"]
STATES = (("Normal", "normal"), ("Hover", "hover"), ("Pressed", "pressed"))


def classic_strip(look, kinds):
    return bmp32(len(kinds) * CLASSIC_BUTTON, CLASSIC_BUTTON,
                 lambda x, y: button_pixel(kinds[x // CLASSIC_BUTTON], look, CLASSIC_BUTTON, x % CLASSIC_BUTTON, y))


def classic_grid(x, y):
    """A 12 x 12 picture split into 3 x 3 parts of 4 pixels: a rounded frame."""
    size = 12
    u, v = (x + 0.5) / size, (y + 0.5) / size
    qx, qy = max(abs(u - 0.5) - 0.2, 0), max(abs(v - 0.5) - 0.2, 0)
    a = coverage((0.3 - math.hypot(qx, qy)) * size)
    t = 0.8 + 0.3 * (0.5 - v)
    return (24 * t, 28 * t, 36 * t, 220 * a)


def classic_ini():
    lines = ["; Classic navigation bar: a 3 x 3 frame around a row of buttons.",
             "[Common]", "RecommendedScale=8", "ColsCount=3", "RowsCount=3", "",
             "[CellWithObjects]", "Cell=1,1", "LeftOffset=2", "TopOffset=2", "RightOffset=2", "BottomOffset=2", ""]
    for i in range(3):
        for j in range(3):
            lines += ["[Cell(%d:%d)]" % (i, j), "Bounds=%d,%d,4,4" % (i * 4, j * 4), "flnm_Texture=frame.bmp", ""]
    lines += ["[Objects]", "Count=4"]
    for n in range(1, 5):
        lines += ["[Object%d]" % n, "Space=%d" % (0 if n == 4 else 4)]
    lines.append("")
    for index, kind in enumerate(CLASSIC_KINDS):
        bounds = "%d,0,%d,%d" % (index * CLASSIC_BUTTON, CLASSIC_BUTTON, CLASSIC_BUTTON)
        lines += ["[Action-%s]" % kind.capitalize(), "ActionType=%s" % kind]
        for state, look in STATES:
            lines += ["flnm_BtnTexture%s=buttons-%s.bmp" % (state, look), "BtnTexture%sBounds=%s" % (state, bounds)]
            if kind == "pause":
                # While the show is paused the pause button shows play.
                lines.append("flnm_BtnTexture%sPlay=play-%s.bmp" % (state, look))
        lines.append("")
    return "\r\n".join(lines) + "\r\n"


# --- Video-style bar -----------------------------------------------------------------

VIDEO_BUTTON = 16
VIDEO_CELLS = ["play", "pause", "sound", "muted", "backward", "forward"]


def video_button(kind, look, x, y):
    """A bare symbol on a transparent cell, lit by the look."""
    ink = {"normal": (220, 224, 232), "hover": (255, 255, 255), "pressed": (150, 190, 255)}[look]
    u, v = (x + 0.5) / VIDEO_BUTTON, (y + 0.5) / VIDEO_BUTTON
    s = coverage(symbol(kind, u, v) * VIDEO_BUTTON / 16)
    return (ink[0], ink[1], ink[2], 255 * s)


def video_back(x, y):
    """32 x 24: a dark translucent band with rounded ends (4 pixel margins)."""
    w, h = 32, 24
    u = min(x + 0.5, w - x - 0.5)
    v = (y + 0.5) / h
    edge = coverage(u - 0.5) if u < 4 else 1.0
    t = 0.75 + 0.35 * (0.5 - v)
    return (18 * t, 20 * t, 26 * t, 200 * edge)


def video_line(x, y):
    """16 x 6: the track, rounded at both ends (3 pixel margins)."""
    w, h = 16, 6
    cx = min(max(x + 0.5, 3), w - 3)
    d = math.hypot(x + 0.5 - cx, y + 0.5 - h / 2)
    a = coverage(2.6 - d)
    return (120, 128, 140, 255 * a)


def video_thumb(x, y):
    """8 x 12: a round-ended thumb."""
    w, h = 8, 12
    cy = min(max(y + 0.5, 4), h - 4)
    d = math.hypot(x + 0.5 - w / 2, y + 0.5 - cy)
    a = coverage(3.6 - d)
    return (240, 244, 250, 255 * a)


def video_ini():
    lines = ["; Video-style navigation bar: pictures are named relative to this file's folder.",
             "[Common]", "VideoStyle=1", "DefaultScale=5", "BgLeft=4", "BgRight=4", "flnm_back=back.bmp", "",
             "[Pixel positions]", "BarSize=640,24", "TrackHeight=6", "BtnSize=16,16", "DigitSize=6,10",
             "VolumeControlLength=60", "LeftSpace=8", "ButtonsTrackSpace=8", "TrackDigitsSpace=8",
             "DigitsSoundBtnSpace=8", "SoundBtnTrackSpace=6", "RightSpace=12", "",
             "[Trackbar]", "TrackLineLeft=3", "TrackLineRight=3", "flnm_Line=line.bmp", "flnm_Polzun=thumb.bmp", "",
             "[Buttons]", "flnm_Normal=normal.bmp", "flnm_Hover=hover.bmp", "flnm_Click=click.bmp"]
    return "\r\n".join(lines) + "\r\n"


def main():
    classic = os.path.join(SKINS, "classic")
    write(classic, "frame.bmp", bmp32(12, 12, classic_grid))
    for _, look in STATES:
        write(classic, "buttons-%s.bmp" % look, classic_strip(look, CLASSIC_KINDS))
        write(classic, "play-%s.bmp" % look, classic_strip(look, CLASSIC_KINDS[:3] + ["play"]))
    write(classic, "navbar.ini", classic_ini().encode("ascii"))

    video = os.path.join(SKINS, "video")
    write(video, "back.bmp", bmp32(32, 24, video_back))
    write(video, "line.bmp", bmp32(16, 6, video_line))
    write(video, "thumb.bmp", bmp32(8, 12, video_thumb))
    for look, name in (("normal", "normal"), ("hover", "hover"), ("pressed", "click")):
        write(video, name + ".bmp", bmp32(6 * VIDEO_BUTTON, VIDEO_BUTTON,
                                          lambda x, y, look=look: video_button(VIDEO_CELLS[x // VIDEO_BUTTON], look,
                                                                               x % VIDEO_BUTTON, y)))
    write(video, "navbar.ini", video_ini().encode("ascii"))


if __name__ == "__main__":
    main()
