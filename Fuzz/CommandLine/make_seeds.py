#!/usr/bin/env python3
"""Writes the seed corpus of the command line target: the command lines the
player is started with (executable mode, preview, start-up window, screen
saver, logging) and quoting cases. Deterministic."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402


LINES = {
    "exename": '"C:\\Program Files\\Show\\Player.exe" -exename "C:\\My Shows\\Trip.exe" -slide 3 -time $1F4',
    "filename": 'player -FileName "D:\\Projects\\a b\\Project.vmo" -display 2 -resize 800 600 -cover',
    "startup": 'Show.exe -startup -filelog "C:\\logs\\show.log" -log',
    "screensaver": 'Show.scr /s',
    "quotes": 'a"b c"d "" "x"y"z" -"Q"uoted\t-\x01-SLIDE 0x7fffffff -2147483648 --9',
}


def main():
    write_corpus(__file__, {name: line.encode("latin-1") for name, line in LINES.items()})


if __name__ == "__main__":
    main()
