#!/usr/bin/env bash
# Makes the sound files that the decoding tests and benchmarks read, and the
# reference decodes of independent decoders to compare with: the mpg123
# program for MPEG audio, FFmpeg's decoders for MS-ADPCM, Vorbis and WMA.
# Usage: make_sound_test_media.sh OUTPUT_FOLDER
set -euo pipefail

out=$1
mkdir -p "$out"
cd "$out"
ff=(ffmpeg -nostdin -hide_banner -loglevel error -y)

# Twelve seconds of a chord with a slow tremolo and a little noise, so that
# the lossy codecs have something to do; the channels differ.
sox -n -r 44100 -c 2 -b 16 chord.wav synth 12 sine 440 sine 660 tremolo 3 40 gain -8
sox -n -r 44100 -c 2 -b 16 noise.wav synth 12 pinknoise gain -24
sox -m chord.wav noise.wav source.wav
rm chord.wav noise.wav
sox -n -r 22050 -c 1 -b 8 mono8.wav synth 1.5 sine 300 gain -3
sox source.wav -b 24 -r 48000 pcm24.wav trim 0 3
sox source.wav -e floating-point -b 32 -r 32000 float32.wav trim 0 3
sox source.wav -c 1 -r 11025 mono11k.wav trim 0 3

"${ff[@]}" -i source.wav -c:a libmp3lame -b:a 128k cbr.mp3
"${ff[@]}" -i source.wav -c:a libmp3lame -q:a 4 vbr.mp3
"${ff[@]}" -i source.wav -t 3 -c:a mp2 -b:a 192k layer2.mp2
# FFmpeg writes the bit rate it is given as the header's bytes per second;
# these are the true rates of 1024-byte blocks (1012 and 2036 samples).
"${ff[@]}" -i source.wav -t 4 -c:a adpcm_ms -b:a 356976 adpcm.wav
"${ff[@]}" -i source.wav -t 4 -ac 1 -ar 22050 -c:a adpcm_ms -b:a 88720 adpcm_mono.wav
oggenc -Q -q 4 -o tone.ogg source.wav
"${ff[@]}" -i source.wav -t 5 -c:a wmav2 -b:a 128k tone.wma
"${ff[@]}" -i source.wav -t 3 -ac 1 -c:a wmav1 -b:a 64k tone1.wma

# Reference decodes (raw 16-bit little-endian PCM).
mpg123 -q -s cbr.mp3 > cbr.mp3.raw
mpg123 -q -s vbr.mp3 > vbr.mp3.raw
mpg123 -q -s layer2.mp2 > layer2.mp2.raw
"${ff[@]}" -i source.wav -f s16le source.wav.raw
"${ff[@]}" -i mono8.wav -f u8 mono8.wav.raw
for f in adpcm.wav adpcm_mono.wav tone.ogg tone.wma tone1.wma; do
  "${ff[@]}" -i "$f" -f s16le -c:a pcm_s16le "$f.raw"
done
touch stamp
