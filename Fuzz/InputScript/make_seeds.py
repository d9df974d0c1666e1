#!/usr/bin/env python3
"""Writes the seed corpus of the input script target: scripts of every event
kind with comments, blank lines and key chords, and scripts with one bad
line each. Deterministic."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402

SEEDS = {
    "every-kind": "# a session\n\n0 password  two words \n100 key Keypad 5\n200 click 10 20\n"
                  "200 click 10 20 right\n250 click 1 2 double\n300 press 5 6 right\n310 release 7 8\n"
                  "400 move -3 +4\n500 wheel -2 ctrl\n600 key Ctrl+Shift+P   # print\n700 password\n",
    "keys": "0 key Space\n1 key Escape\n2 key Alt+F4\n3 key Win+Keypad +\n4 key control+right\n5 key AC Back\n"
            "6 key Shift+Ctrl+Alt+Win+Home\n7 key F12\n8 key Page Down\n",
    "crlf": "10 move 1 2\r\n20 wheel 3\r\n\t30 password pass#word\r\n",
    "time-goes-back": "200 key A\n100 key A\n",
    "bad-button": "100 click 1 2 middle\n",
    "big-numbers": "9223372036854775807 move 2147483647 -2147483648\n9223372036854775807 wheel -2147483648\n",
}


def main():
    write_corpus(__file__, {name: text.encode("utf-8") for name, text in SEEDS.items()})


if __name__ == "__main__":
    main()
