#!/usr/bin/env python3
"""Writes the seed corpus of the video clip target with the ffmpeg program:
a few frames of a small test pattern in each container and codec the player
meets (H.264 in MP4, Matroska and MPEG-TS, MPEG-4 in AVI, interlaced MPEG-2
in MPEG-PS, FLV, WMV, Motion JPEG in MOV), two with sound, and a cut one.
Each seed is one byte choosing the clip's name (0 ".mp4", 1 ".avi", 2 ".mkv",
3 ".mpg", 4 ".ts", 5 ".flv", 6 ".wmv", 7 ".mov") and the clip. The corpus is
kept small: 32x24 pixels, a fifth of a second."""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402

FF = ["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"]
PATTERN = ["-f", "lavfi", "-i", "testsrc=s=32x24:r=25:d=0.2"]
TONE = ["-f", "lavfi", "-i", "sine=f=440:r=8000:d=0.2"]
H264 = ["-c:v", "libx264", "-preset", "ultrafast", "-g", "3", "-bf", "1", "-pix_fmt", "yuv420p"]
# seed name: (name selector, extension, ffmpeg arguments after the inputs)
SEEDS = {
    "h264-mp4": (0, "mp4", PATTERN + H264),
    "h264-mkv": (2, "mkv", PATTERN + H264),
    "h264-ts": (4, "ts", PATTERN + H264 + ["-f", "mpegts"]),
    "mpeg4-avi": (1, "avi", PATTERN + ["-c:v", "mpeg4", "-g", "3", "-bf", "1", "-q:v", "10"]),
    "mpeg2-interlaced": (3, "mpg", PATTERN + ["-c:v", "mpeg2video", "-flags", "+ilme+ildct", "-top", "0",
                                              "-q:v", "10", "-f", "mpeg"]),
    "flv": (5, "flv", PATTERN + ["-c:v", "flv", "-q:v", "10"]),
    "wmv": (6, "wmv", PATTERN + ["-c:v", "wmv2", "-q:v", "10"]),
    "mjpeg-mov": (7, "mov", PATTERN + ["-c:v", "mjpeg", "-q:v", "20", "-pix_fmt", "yuvj422p"]),
    "sound-mp4": (0, "mp4", PATTERN + TONE + H264 + ["-c:a", "aac", "-b:a", "16k", "-shortest"]),
    "sound-mkv": (2, "mkv", PATTERN + TONE + H264 + ["-c:a", "flac", "-shortest"]),
}


def main():
    seeds = {}
    with tempfile.TemporaryDirectory() as work:
        for name, (selector, extension, arguments) in SEEDS.items():
            out = os.path.join(work, name + "." + extension)
            subprocess.run(FF + arguments + [out], check=True)
            with open(out, "rb") as f:
                seeds[name] = bytes([selector]) + f.read()
    seeds["h264-mp4-cut"] = seeds["h264-mp4"][: len(seeds["h264-mp4"]) * 2 // 3]
    write_corpus(__file__, seeds)


if __name__ == "__main__":
    main()
