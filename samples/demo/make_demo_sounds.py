#!/usr/bin/env python3
"""Makes the sounds of the demo show: two music pieces for one track (a pad
of held chords, then a theme of plucked notes over a bass) that cross-fade,
and a short spoken-style comment (voiced syllables through moving formants).
Everything is computed from formulas and stored as MS-ADPCM WAVE files at
22050 Hz mono (sox converts them), so the demo stays small and running the
script again reproduces the committed files."""
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
RATE = 22050


def note(semitones_from_a4):
    return 440.0 * 2.0 ** (semitones_from_a4 / 12.0)


def pad(seconds):
    """Held chords (A minor, F major, C major, G major), each note a few
    slightly detuned sines, with a slow swell."""
    chords = [[-24, -12, -9, -5], [-28, -16, -12, -9], [-21, -9, -5, -2], [-26, -14, -10, -7]]
    chord_length = seconds / len(chords)
    out = []
    for n in range(int(seconds * RATE)):
        t = n / RATE
        chord = chords[min(int(t / chord_length), len(chords) - 1)]
        local = t - int(t / chord_length) * chord_length
        swell = 0.6 + 0.4 * math.sin(math.pi * min(local / chord_length, 1.0))
        v = 0.0
        for s in chord:
            f = note(s)
            v += math.sin(2 * math.pi * f * t) + 0.5 * math.sin(2 * math.pi * f * 1.003 * t)
        out.append(0.07 * swell * v)
    return out


def theme(seconds):
    """Plucked notes (decaying harmonics) four to a second over a held bass."""
    melody = [0, 3, 7, 12, 10, 7, 3, 5, 8, 12, 15, 12, 8, 5, 7, 3]
    bass = [-24, -28, -21, -26]
    step = 0.25
    out = []
    for n in range(int(seconds * RATE)):
        t = n / RATE
        k = int(t / step)
        local = t - k * step
        f = note(melody[k % len(melody)] - 12)
        pluck = math.exp(-local * 9.0) * (math.sin(2 * math.pi * f * t) + 0.4 * math.sin(4 * math.pi * f * t))
        b = note(bass[int(t / 2.0) % len(bass)])
        out.append(0.28 * pluck + 0.18 * math.sin(2 * math.pi * b * t))
    return out


def voice(seconds):
    """Syllables of a voice: a glottal pulse train with a falling pitch,
    shaped by two resonances that move from vowel to vowel, with short
    pauses between words."""
    vowels = [(730, 1090), (270, 2290), (530, 1840), (300, 870), (660, 1720), (390, 1990)]
    syllable = 0.22
    out = []
    states = [[0.0, 0.0], [0.0, 0.0]]
    phase = 0.0
    for n in range(int(seconds * RATE)):
        t = n / RATE
        k = int(t / syllable)
        local = t - k * syllable
        word_gap = (k % 4) == 3 and local > 0.08
        pitch = 150.0 - 25.0 * (t / seconds) + 12.0 * math.sin(2 * math.pi * 0.7 * t)
        phase += pitch / RATE
        pulse = 1.0 if phase >= 1.0 else 0.0
        phase -= math.floor(phase)
        f1, f2 = vowels[k % len(vowels)]
        v = 0.0
        for i, f in enumerate((f1, f2)):
            r = 0.985
            c = 2 * r * math.cos(2 * math.pi * f / RATE)
            y = pulse + c * states[i][0] - r * r * states[i][1]
            states[i][1], states[i][0] = states[i][0], y
            v += y / (1.0 + i)
        shape = 0.0 if word_gap else math.sin(math.pi * min(local / syllable, 1.0)) ** 0.5
        out.append(0.045 * shape * v)
    return out


def write_adpcm(name, samples):
    sox = shutil.which("sox")
    if sox is None:
        print("sox not found: %s left as it is" % name, file=sys.stderr)
        return
    frames = b"".join(struct.pack("<h", max(-32767, min(32767, int(round(s * 32767))))) for s in samples)
    with tempfile.TemporaryDirectory() as folder:
        pcm = os.path.join(folder, "pcm.wav")
        with wave.open(pcm, "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes(frames)
        subprocess.run([sox, "-D", pcm, "-e", "ms-adpcm", os.path.join(HERE, name)], check=True)


def main():
    write_adpcm("pad.wav", pad(10.5))
    write_adpcm("theme.wav", theme(11.5))
    write_adpcm("voice.wav", voice(3.0))


if __name__ == "__main__":
    main()
