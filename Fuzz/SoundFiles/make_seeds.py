#!/usr/bin/env python3
"""Writes the seed corpus of the sound file target with the tools the sound
test media are made with (sox, ffmpeg, oggenc): a few hundredths of a second
of each kind the player decodes. Each seed is one byte choosing the name's
extension (0 ".wav", 1 ".mp3", 2 ".mp2", 3 ".ogg", 4 ".wma") and the file."""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "FuzzSupport"))
from fuzz_seeds import write_corpus  # noqa: E402

FF = ["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"]
# seed name: (extension selector, command making OUT from the source IN)
SEEDS = {
    "pcm16-stereo": (0, ["sox", "IN", "-r", "8000", "-c", "2", "-b", "16", "OUT.wav"]),
    "pcm8-mono": (0, ["sox", "IN", "-r", "11025", "-c", "1", "-b", "8", "OUT.wav"]),
    "pcm24": (0, ["sox", "IN", "-r", "8000", "-b", "24", "OUT.wav"]),
    "float32": (0, ["sox", "IN", "-r", "8000", "-e", "floating-point", "-b", "32", "OUT.wav"]),
    "adpcm": (0, FF + ["-i", "IN", "-ar", "8000", "-c:a", "adpcm_ms", "-block_size", "256", "OUT.wav"]),
    "mp3-in-wave": (0, FF + ["-i", "IN", "-ar", "8000", "-c:a", "libmp3lame", "-b:a", "8k", "OUT.wav"]),
    "mp3-cbr": (1, FF + ["-i", "IN", "-ar", "8000", "-c:a", "libmp3lame", "-b:a", "8k", "OUT.mp3"]),
    "mp3-vbr-id3": (1, FF + ["-i", "IN", "-ar", "8000", "-c:a", "libmp3lame", "-q:a", "9",
                             "-metadata", "title=seed", "OUT.mp3"]),
    "mp2": (2, FF + ["-i", "IN", "-ar", "16000", "-c:a", "mp2", "-b:a", "32k", "OUT.mp2"]),
    "ogg": (3, ["oggenc", "-Q", "-q", "-1", "--resample", "8000", "-o", "OUT.ogg", "IN"]),
    "wma": (4, FF + ["-i", "IN", "-ar", "8000", "-ac", "1", "-c:a", "wmav2", "-b:a", "24k", "OUT.wma"]),
}


def main():
    seeds = {}
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "source.wav")
        subprocess.run(["sox", "-n", "-r", "8000", "-c", "2", "-b", "16", source, "synth", "0.06", "sine", "440",
                        "sine", "660"], check=True)
        for name, (selector, command) in SEEDS.items():
            out = os.path.join(work, name)
            command = [source if a == "IN" else a.replace("OUT", out) for a in command]
            subprocess.run(command, check=True)
            produced = [f for f in os.listdir(work) if f.startswith(name + ".")][0]
            with open(os.path.join(work, produced), "rb") as f:
                seeds[name] = bytes([selector]) + f.read()
    seeds["mp3-cut"] = seeds["mp3-cbr"][: len(seeds["mp3-cbr"]) // 2]
    write_corpus(__file__, seeds)


if __name__ == "__main__":
    main()
