#!/usr/bin/env bash
# Short real recordings for the playlist cases: an MP3 and a WMA of known
# length (ffmpeg's sine source); ffprobe's durations are written beside them
# as the expected whole seconds.
#   make-media.sh <folder>
set -eu
out=$1/media
mkdir -p "$out"
ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=7" -c:a libmp3lame -b:a 128k "$out/tone.mp3"
ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=9" -c:a wmav2 -b:a 64k "$out/tone.wma"
for f in tone.mp3 tone.wma; do
    ffprobe -v error -show_entries format=duration -of csv=p=0 "$out/$f" | cut -d. -f1 > "$out/$f.seconds"
done
