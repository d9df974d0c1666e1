#!/usr/bin/env python3
"""Writes the seed corpus of the package target with vmopack, the package
writer: a small show behind a stub executable in the current trailer form,
the same in the older form, the same with its tail moved (a displaced
package, as when a signature is put in front of it), and the stub alone.
The project maps names through FileMap and turns a picture through
RotationState. vmopack gives each package a new "ExeGUID", so the seeds
differ from run to run in those bytes only.

    make_seeds.py [VMOPACK]   (default: build/Tools/vmopack)"""
import os
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))

PROJECT = """\ufeff[Main]
VmoVersion=5.6.1
opt_slidescount=1
opt_synchpos1=2000

[Slide1]
object Main:mainimage
  ImageName=C:\\Show\\pic[1].bmp
end

[FileMap]
;"C:\\Show\\alias.bmp"="C:\\Show\\pic[1].bmp"
;"C:\\Show\\loop a.bmp"="C:\\Show\\loop b.bmp"
;"C:\\Show\\loop b.bmp"="C:\\Show\\loop a.bmp"
;"C:\\Show\\disk.bmp"="LoadFromDisk:C:\\nowhere.bmp"

[RotationState]
;"C:\\Show\\pic[1].bmp"=6
;"C:\\Show\\alias.bmp"=5
""".replace("\n", "\r\n")


def tiny_bmp():
    pixels = b"\x10\x20\x30\x40\x50\x60\x00\x00" * 2
    info = struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 24, 0, len(pixels), 0, 0, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54) + info + pixels


def main():
    vmopack = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "Tools", "vmopack")
    with tempfile.TemporaryDirectory() as work:
        files = {"Project.vmo": PROJECT.encode("utf-8"), "pic.bmp": tiny_bmp(), "note.txt": b"stored entry\r\n",
                 "stub": b"MZ" + bytes(range(62))}
        for name, data in files.items():
            with open(os.path.join(work, name), "wb") as f:
                f.write(data)
        with open(os.path.join(work, "show.manifest"), "w", encoding="utf-8") as f:
            f.write("deflate | Project.vmo | Project.vmo\n"
                    "scramble | C:\\Show\\pic[1].bmp | pic.bmp\n"
                    "stored | C:\\Show\\note.txt | note.txt\n")
        seeds = {}
        for name, extra in (("current", []), ("older", ["--older-trailer"])):
            target = os.path.join(work, name)
            subprocess.run([vmopack, "pack", os.path.join(work, "show.manifest"), "-o", target,
                            "--stub", os.path.join(work, "stub")] + extra, check=True, stdout=subprocess.DEVNULL)
            with open(target, "rb") as f:
                seeds[name] = f.read()
        seeds["displaced"] = b"\0" * 24 + seeds["current"]
        seeds["no-package"] = files["stub"]
    write_corpus(__file__, seeds)


if __name__ == "__main__":
    main()
