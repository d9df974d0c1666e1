#!/usr/bin/env python3
"""Writes the seed corpus of the INI storage target: the sample project and
small texts that reach every line kind, every encoding and the malformed
lines the parser reports. Deterministic: running it again rewrites the same
files."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
OUT = os.path.join(HERE, "corpus")

BLOCKS = """[Main]
VmoVersion=5.6.1
opt_slidescount=2
 opt_repeat = loop  \t
empty=
two=a=b
; a comment
=text line
[ Spaced Name ] trailing text
[unclosed
Key With Blank=dropped
end
object Music:Music
  object Track1:tmusicitem
    FileName=C:\\Shows\\chime.wav
    Volume=$50
  end
end
[Slide1]
Color=255,300,-4
ColorAlpha=1,2,3,4
Point=1.5,2
Rect=0,0,10,10,5,5
List=1, 2,x,4
Hex=0x7FFFFFFF
Float=-1.5e3
object K1:keypoint
  Time=0
  Origin=SlideEnd
object Open
"""


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def main():
    os.makedirs(OUT, exist_ok=True)
    with open(os.path.join(ROOT, "samples", "sample", "Project.vmo"), "rb") as f:
        write("sample-project", f.read())
    text = BLOCKS.replace("\n", "\r\n")
    write("blocks-ansi", text.encode("latin-1"))
    write("blocks-utf8", b"\xef\xbb\xbf" + (text + "name=\u00e9\U0001F600\r\n").encode("utf-8"))
    write("blocks-utf16le", b"\xff\xfe" + (text + "name=\u00e9\U0001F600\n").encode("utf-16-le"))
    write("blocks-utf16be", b"\xfe\xff" + "[a]\rk=v\n\rx=y".encode("utf-16-be"))
    # Mixed line ends, a stray continuation byte after a byte-order mark.
    write("line-ends", b"[s]\r\n\n\r\rk=1\n\ra=2")
    write("bad-utf8", b"\xef\xbb\xbf[s]\r\nk=\x80\r\n")
    write("deep-objects", ("".join("object O%d:box\n" % i for i in range(40)) + "end\n" * 20).encode())


if __name__ == "__main__":
    main()
