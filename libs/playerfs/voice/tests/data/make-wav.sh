#!/usr/bin/env bash
# Makes the WAV files of the voice-recording check under wav/ and their
# expected verdicts in expected.txt ("name verdict rate", rate "-" when the
# format chunk cannot be read). Recordings come from sox and ffmpeg; their
# verdicts from what ffprobe reports (IMA ADPCM, one channel, 8000, 11025 or
# 22050 Hz). The malformed RIFF files are written byte by byte.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/wav
rm -rf "$out"
mkdir -p "$out"
cd "$out"

for rate in 8000 11025 16000 22050; do
    sox -D -n -r $rate -c 1 -e ima-adpcm sox-ima-mono-$rate.wav synth 0.1 sine 440
done
sox -D -n -r 8000 -c 2 -e ima-adpcm sox-ima-stereo-8000.wav synth 0.1 sine 440
sox -D -n -r 11025 -c 1 -e signed -b 16 sox-pcm-mono-11025.wav synth 0.1 sine 440
sox -D -n -r 22050 -c 1 -e u-law sox-ulaw-mono-22050.wav synth 0.1 sine 440

ff() { ffmpeg -v error -y -fflags +bitexact -f lavfi -i "sine=f=440:d=0.1:sample_rate=$1" -flags +bitexact "${@:2}"; }
for rate in 8000 11025 16000 22050; do
    ff $rate -ac 1 -c:a adpcm_ima_wav ff-ima-mono-$rate.wav
done
ff 22050 -ac 2 -c:a adpcm_ima_wav ff-ima-stereo-22050.wav
ff 8000 -ac 1 -c:a pcm_s16le ff-pcm-mono-8000.wav
ff 22050 -ac 1 -c:a adpcm_ms ff-msadpcm-mono-22050.wav

: > "$here/expected.txt"
for f in *.wav; do
    read -r codec rate channels < <(ffprobe -v error -select_streams a:0 \
        -show_entries stream=codec_name,channels,sample_rate -of default=nw=1:nk=1 "$f" | paste -sd' ')
    verdict=0
    if [ "$codec" = adpcm_ima_wav ] && [ "$channels" = 1 ]; then
        case $rate in 8000 | 11025 | 22050) verdict=1 ;; esac
    fi
    echo "$f $verdict $rate" >> "$here/expected.txt"
done

/usr/bin/python3 - "$out" "$here/expected.txt" <<'PY'
import struct, sys
out, expected = sys.argv[1], sys.argv[2]
# An IMA ADPCM mono 8000 Hz format: tag 17, 1 channel, rate, bytes/s, align.
fmt14 = struct.pack("<HHIIH", 17, 1, 8000, 4055, 256)
fmt20 = fmt14 + struct.pack("<HHH", 4, 2, 505)
data = b"data" + struct.pack("<I", 256) + bytes(256)

def riff(form, body):
    return b"RIFF" + struct.pack("<I", 4 + len(body)) + form + body

files = {
    # 12 bytes of format: the block align is missing.
    "bad-short-fmt.wav": (riff(b"WAVE", b"fmt " + struct.pack("<I", 12) + fmt14[:12] + data), "-"),
    "bad-no-fmt.wav": (riff(b"WAVE", data), "-"),
    "bad-not-wave.wav": (riff(b"AVI ", b"fmt " + struct.pack("<I", 20) + fmt20 + data), "-"),
    # The file ends inside the format chunk.
    "bad-cut-fmt.wav": (riff(b"WAVE", b"fmt " + struct.pack("<I", 20) + fmt20)[:30], "-"),
    "bad-empty.wav": (b"", "-"),
    "bad-text.wav": (b"just some text, not a RIFF file\r\n", "-"),
    # A correct header to show that the malformed ones differ only where named.
    "good-hand-made.wav": (riff(b"WAVE", b"fmt " + struct.pack("<I", 20) + fmt20 + data), "8000"),
}
with open(expected, "a") as e:
    for name, (body, rate) in sorted(files.items()):
        with open(out + "/" + name, "wb") as f:
            f.write(body)
        e.write("%s %d %s\n" % (name, 1 if rate != "-" else 0, rate))
PY
echo "made $(wc -l < "$here/expected.txt") files"
