#!/usr/bin/env python3
"""Writes the seed corpus of the navigation bar target: the classic and the
video-style bars of samples/skins/ and small definitions that reach the
format's messages (bounds and cell counts, missing sections, absurd sizes,
cells outside the grid). Deterministic: running it again rewrites the same
files."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))

CLASSIC_SMALL = """[Common]
ColsCount=2
RowsCount=1
[CellWithObjects]
Cell=0,0
LeftOffset=1
RightOffset=1
[Cell(0:0)]
Bounds=0,0,4,4
TextureType=repeat
flnm_Texture=grid.bmp
[Cell(1:0)]
Bounds=2,2,30,30
flnm_Texture=grid.bmp
[Objects]
Count=3
[Object1]
Space=2
ShiftPressed=1
GrayNormal=1
[Object2]
GrayDisabled=1
[Action-Home]
ActionType=home
flnm_BtnTextureNormal=b.bmp
BtnTextureNormalBounds=0,0,8,8
flnm_BtnTextureHover=b.bmp
BtnTextureHoverBounds=8,0,8,8
flnm_BgTextureNormal=bg.bmp
BgTextureNormalBounds=-4,-4,40,40
[Action-Pause]
ActionType=pause
Action=7,3,
flnm_BtnTextureNormal=b.bmp
flnm_BtnTextureNormalPlay=p.bmp
[action-exit]
flnm_BtnTextureNormal=b.bmp
"""

VIDEO_SMALL = """[Common]
VideoStyle=1
DefaultScale=20
BgLeft=3
BgRight=3
flnm_back=back.bmp
[Pixel positions]
BarSize=300,20
TrackHeight=4
BtnSize=10,10
DigitSize=4,8
VolumeControlLength=30
LeftSpace=2
ButtonsTrackSpace=2
TrackDigitsSpace=2
DigitsSoundBtnSpace=2
SoundBtnTrackSpace=2
RightSpace=2
[Trackbar]
TrackLineLeft=2
TrackLineRight=2
flnm_Line=line.bmp
flnm_Polzun=thumb.bmp
[Buttons]
flnm_Normal=n.bmp
flnm_Hover=h.bmp
"""


def read(path):
    with open(os.path.join(ROOT, path), "rb") as f:
        return f.read()


def main():
    seeds = {
        "classic-skin": read("samples/skins/classic/navbar.ini"),
        "video-skin": read("samples/skins/video/navbar.ini"),
        "classic-small": CLASSIC_SMALL.encode(),
        "video-small": VIDEO_SMALL.encode(),
        "bounds-three": CLASSIC_SMALL.replace("0,0,8,8", "0,0,8").encode(),
        "cell-outside": CLASSIC_SMALL.replace("Cell=0,0", "Cell=7,0").encode(),
        "grid-huge": CLASSIC_SMALL.replace("ColsCount=2", "ColsCount=2000000000").encode(),
        "cell-huge": CLASSIC_SMALL.replace("2,2,30,30", "0,0,2147483647,2147483647").encode(),
        "no-sections": b"VideoStyle=1\r\nBarSize=1,1\r\n",
        "video-missing-picture": VIDEO_SMALL.replace("line.bmp", "line.jpg").encode(),
        "video-huge-sizes": VIDEO_SMALL.replace("BtnSize=10,10", "BtnSize=99999,-5")
        .replace("BarSize=300,20", "BarSize=1,1").encode(),
        "video-narrow": VIDEO_SMALL.replace("VolumeControlLength=30", "VolumeControlLength=600").encode(),
    }
    write_corpus(__file__, seeds)


if __name__ == "__main__":
    main()
