#!/usr/bin/env python3
"""Writes the seed corpus of the INI storage target: the sample project and
small texts that reach every line kind, every encoding and the malformed
lines the parser reports. Deterministic: running it again rewrites the same
files."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))

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


def main():
    seeds = {}
    with open(os.path.join(ROOT, "samples", "sample", "Project.vmo"), "rb") as f:
        seeds["sample-project"] = f.read()
    text = BLOCKS.replace("\n", "\r\n")
    seeds["blocks-ansi"] = text.encode("latin-1")
    seeds["blocks-utf8"] = b"\xef\xbb\xbf" + (text + "name=\u00e9\U0001F600\r\n").encode("utf-8")
    seeds["blocks-utf16le"] = b"\xff\xfe" + (text + "name=\u00e9\U0001F600\n").encode("utf-16-le")
    seeds["blocks-utf16be"] = b"\xfe\xff" + "[a]\rk=v\n\rx=y".encode("utf-16-be")
    # Mixed line ends, a stray continuation byte after a byte-order mark.
    seeds["line-ends"] = b"[s]\r\n\n\r\rk=1\n\ra=2"
    seeds["bad-utf8"] = b"\xef\xbb\xbf[s]\r\nk=\x80\r\n"
    seeds["deep-objects"] = ("".join("object O%d:box\n" % i for i in range(40)) + "end\n" * 20).encode()
    write_corpus(__file__, seeds)


if __name__ == "__main__":
    main()
