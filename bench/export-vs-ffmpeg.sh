#!/usr/bin/env bash
# Times the player's video export against FFmpeg's own slideshow pipeline on
# the same machine and the same content: a 10-slide 1080p show of photos
# with one-second cross-fades and slow zooms over 60 s of music.
#
#   bench/export-vs-ffmpeg.sh [BUILD_DIR]     (default: build)
#
# Environment: SECONDS_OF_SHOW (60), FOLDER_SECONDS (20: the length of the
# two runs of the folder form, with and without PNG writing), WORK (a
# scratch folder, made and removed when not given).
#
# Both sides produce SECONDS_OF_SHOW seconds of 1920x1080 at 25 frames/s,
# H.264 (libx264, preset veryfast, CRF 23) with AAC sound, in MP4. FFmpeg's
# side is the usual recipe: each photo looped, scaled and cropped to the
# frame, zoompan for the zoom, xfade between them, the music mapped beside.
# The figures are frames per second of wall time; the ratio is ours over
# FFmpeg's.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
viewer="$build/Vmo/vmoviewer"
vmopack="$build/Tools/vmopack"
show_seconds=${SECONDS_OF_SHOW:-60}
folder_seconds=${FOLDER_SECONDS:-20}
fps=25
slides=10
fade=1
for tool in "$viewer" "$vmopack"; do
  [[ -x "$tool" ]] || { echo "missing $tool: build the default preset first" >&2; exit 1; }
done
command -v ffmpeg >/dev/null || { echo "ffmpeg not found (scripts/install-deps.sh installs it)" >&2; exit 1; }

if [[ -n "${WORK:-}" ]]; then
  work=$WORK
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
cd "$work"

# --- The content ------------------------------------------------------------
# Photos: 3000x2000 JPEGs with colour gradients, texture and shapes, drawn by
# FFmpeg's sources (as the demo's clip is); the music: a slow two-chord pad.
slide_ms=$((show_seconds * 1000 / slides))
for i in $(seq 1 $slides); do
  [[ -f photo$i.jpg ]] && continue
  ffmpeg -nostdin -loglevel error -y -f lavfi \
    -i "gradients=s=3000x2000:n=4:seed=$((i * 7)):speed=0.00001,noise=alls=18:allf=u,drawbox=x=$((i * 180)):y=$((300 + i * 60)):w=700:h=500:c=white@0.35:t=fill" \
    -frames:v 1 -q:v 3 photo$i.jpg
done
if [[ ! -f music.wav ]]; then
  ffmpeg -nostdin -loglevel error -y -f lavfi \
    -i "aevalsrc=0.2*sin(2*PI*220*t)*(0.6+0.4*sin(PI*t/4))+0.15*sin(2*PI*277.2*t)|0.2*sin(2*PI*329.6*t)*(0.6+0.4*cos(PI*t/4))+0.1*sin(2*PI*440*t):s=44100:d=$show_seconds" \
    -c:a pcm_s16le music.wav
fi

{
  printf '[Main]\r\nopt_slidescount=%d\r\n' $slides
  for i in $(seq 1 $slides); do printf 'opt_synchpos%d=%d\r\n' "$i" $((i * slide_ms)); done
  printf 'opt_repeat=stop\r\nopt_scr_width=1920\r\nopt_scr_height=1080\r\nopt_fx_enable=0\r\n'
  printf 'opt_bstyle=1\r\nopt_bname=0\r\nopt_usemusic=1\r\nopt_music_count=1\r\n'
  printf 'opt_music1=C:\\Bench\\music.wav\r\nopt_lengthlist1=%d\r\n' $((show_seconds * 1000))
  for i in $(seq 1 $slides); do
    printf '[Slide%d]\r\n' "$i"
    if ((i > 1)); then
      printf 'UsePersonal=1\r\nPers_Effect=1\r\nEffect_Class=2\r\nEffect_Type=1\r\nEffectTime=%d\r\n' $((fade * 1000))
    fi
    printf 'object Photo:mainimage\r\n  ImageName=C:\\Bench\\photo%d.jpg\r\n  FitMode=Cover\r\n' "$i"
    printf '  object K1:keypoint\r\n    Time=0\r\n    Origin=SlideBegin\r\n    ScaleX=100\r\n    ScaleY=100\r\n  end\r\n'
    printf '  object K2:keypoint\r\n    Time=0\r\n    Origin=SlideEnd\r\n    ScaleX=130\r\n    ScaleY=130\r\n  end\r\n'
    printf 'end\r\n'
  done
} >Project.vmo
{
  echo "deflate | Project.vmo | Project.vmo"
  echo "stored | C:\\Bench\\music.wav | music.wav"
  for i in $(seq 1 $slides); do echo "stored | C:\\Bench\\photo$i.jpg | photo$i.jpg"; done
} >bench.manifest
"$vmopack" pack bench.manifest -o bench.VmShow >/dev/null

# --- Timing -------------------------------------------------------------------
now() { date +%s.%N; }
rate() { awk -v f="$1" -v a="$2" -v b="$3" 'BEGIN { printf "%.1f", f / (b - a) }'; }
frames_of() { ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets -of csv=p=0 "$1"; }

frames=$((show_seconds * fps))
start=$(now)
"$viewer" -exename bench.VmShow -render ours.mp4 -fps $fps -size 1920x1080 -preset veryfast -crf 23 \
  -duration $((show_seconds * 1000)) >/dev/null
ours=$(rate "$(frames_of ours.mp4)" "$start" "$(now)")

# FFmpeg: each photo shown for its slide plus the fade into the next.
segment=$(awk -v s=$show_seconds -v n=$slides -v f=$fade 'BEGIN { printf "%.3f", (s + (n - 1) * f) / n }')
segment_frames=$(awk -v d="$segment" -v r=$fps 'BEGIN { printf "%d", d * r + 0.5 }')
inputs=()
graph=""
for i in $(seq 0 $((slides - 1))); do
  inputs+=(-loop 1 -framerate $fps -t "$segment" -i "photo$((i + 1)).jpg")
  graph+="[$i:v]scale=1920:1080:force_original_aspect_ratio=increase,crop=1920:1080,"
  graph+="zoompan=z='1+0.3*on/$segment_frames':x='iw/2-(iw/zoom/2)':y='ih/2-(ih/zoom/2)':d=1:s=1920x1080:fps=$fps,"
  graph+="format=yuv420p,setsar=1[v$i];"
done
last="v0"
for i in $(seq 1 $((slides - 1))); do
  offset=$(awk -v k=$i -v d="$segment" -v f=$fade 'BEGIN { printf "%.3f", k * (d - f) }')
  graph+="[$last][v$i]xfade=transition=fade:duration=$fade:offset=$offset[x$i];"
  last="x$i"
done
graph=${graph%;}
start=$(now)
ffmpeg -nostdin -loglevel error -y "${inputs[@]}" -i music.wav -filter_complex "$graph" -map "[$last]" \
  -map $slides:a -t $show_seconds -r $fps -c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p -c:a aac \
  ffmpeg.mp4
theirs=$(rate "$(frames_of ffmpeg.mp4)" "$start" "$(now)")
start=$(now)
ffmpeg -nostdin -loglevel error -y "${inputs[@]}" -filter_complex "$graph" -map "[$last]" -t $show_seconds \
  -r $fps -f null -
theirs_raw=$(rate $frames "$start" "$(now)")

folder_frames=$((folder_seconds * fps))
start=$(now)
"$viewer" -exename bench.VmShow -render frames -fps $fps -size 1920x1080 -duration $((folder_seconds * 1000)) >/dev/null
png=$(rate $folder_frames "$start" "$(now)")
start=$(now)
"$viewer" -exename bench.VmShow -render frames-discarded -discard -fps $fps -size 1920x1080 \
  -duration $((folder_seconds * 1000)) >/dev/null
nopng=$(rate $folder_frames "$start" "$(now)")

echo "content: $slides photos 3000x2000, ${show_seconds} s at 1920x1080, $fps frames/s, ${fade} s cross-fades, zoom 100-130 %"
echo "export (vmoviewer -render ours.mp4):           $ours frames/s"
echo "FFmpeg zoompan + xfade, libx264 veryfast, AAC: $theirs frames/s"
echo "ratio (ours / FFmpeg):                         $(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')"
echo "FFmpeg filters without encoding:               $theirs_raw frames/s"
echo "folder form, PNG frames (${folder_seconds} s):            $png frames/s"
echo "folder form, frames discarded (${folder_seconds} s):      $nopng frames/s"
echo "ratio (PNG / discarded):                       $(awk -v a="$png" -v b="$nopng" 'BEGIN { printf "%.2f", a / b }')"
