#!/usr/bin/env python3
"""Writes the seed corpus of the button skin target: a picture name on the
first line, the skin's "btn.ini" below it. Skins as a skin maker writes them
(nine pieces per state, text settings), skins with pieces outside their
pictures, missing pictures and states, and odd names. Deterministic."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402


def state(section, picture, w=48, h=24, edge=8):
    r, b = w - edge, h - edge
    pieces = {
        "LeftTop": (0, 0, edge, edge), "Top": (edge, 0, r, edge), "RightTop": (r, 0, w, edge),
        "Right": (r, edge, w, b), "RightBottom": (r, b, w, h), "Bottom": (edge, b, r, h),
        "LeftBottom": (0, b, edge, h), "Left": (0, edge, edge, b), "Center": (edge, edge, r, b),
    }
    lines = ["[%s]" % section]
    lines += ["%s=%s, %d, %d, %d, %d" % ((key, picture) + rect) for key, rect in pieces.items()]
    return "\n".join(lines) + "\n"


TEXT = "[TextParams]\nColor=255,255,255\nBtnOffset=12.5\nBtnMinWidth=30\nFiltering=Bilinear\n"
FULL = state("NormalState", "a.bmp") + state("HoverState", "a.bmp") + state("ClickState", "b.bmp", 5, 3, 1) + TEXT

SEEDS = {
    "full": "Button: skins\\aqua:0:120:0:0:0\n" + FULL,
    "hover-shifted": "Button: skins\\aqua:1:17:120:-50:20\n" + FULL,
    "grey-click": "Button: C:\\a:b\\skin:2:3:0:-100:0\n" + FULL,
    "normal-only": "Button: plain:0:64:0:0:0\n" + state("NormalState", "a.bmp"),
    "outside": "Button: far:0:40:0:0:0\n[NormalState]\nLeftTop=a.bmp,100,100,200,200\n"
               "Top=a.bmp,-5,-5,2000000000,3\nBottom=a.bmp,0,0,48,24\nRight=b.bmp,0,0,99999,7\n",
    "missing-piece": "Button: gone:1:50:0:0:0\n" + state("NormalState", "none.bmp") + state("HoverState", "a.bmp"),
    "no-height": "Button: flat:0:10:0:0:0\n[NormalState]\nBottom=a.bmp,0,0,0,0\n",
    "huge-width": "Button: wide:0:2147483647:0:0:0\n" + FULL,
    "odd-name": "Button: ::x:-7:nan:1e9:::\n" + TEXT,
    "not-a-name": "Shadow: 1:2:3\n" + FULL,
}


def main():
    write_corpus(__file__, {key: text.encode("utf-8") for key, text in SEEDS.items()})


if __name__ == "__main__":
    main()
