#!/usr/bin/env python3
"""Writes the seed corpus of the speed store target: stores as the project
keeps them (linear, eased at one end, eased at both, with and without the
defaults) and refused ones (a count beyond 10000, a missing ";", an
exponent). Deterministic."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402


SEEDS = {
    "linear-defaults": "7;0;1;2000;2100;19842;19889;21000;1;0;6;0;1;0;1;",
    "eased-both": "10;0;100;200;300;400;500;600;700;800;900;1;0;9;0.1351351351351351;0.1351351351351351;",
    "eased-one-end": "2;0;1000;1;0;1;0.4;1;",
    "two-intervals": "4;0;500;1000;1500;3;0;2;0.5;0.5;2;3;0;0.25;1;1;0.2;0.8;",
    "same-index": "3;0;10;20;2;1;1;0.3;0.7;0;2;0;1;",
    "too-many": "10001;0;",
    "missing-terminator": "2;0;1000;1;0;1;0.4;1",
    "exponent": "2;0;1000;1;0;1;4e-1;1;",
    "blanks": " 2 ; 0 ;\t1000; 1 ;0;1; 0.25 ; 0.75 ;  ",
}


def main():
    write_corpus(__file__, {name: text.encode("ascii") for name, text in SEEDS.items()})


if __name__ == "__main__":
    main()
