#!/usr/bin/env bash
# Puts the playlist maker's test files on a served player memory:
#   fill-player.sh STATE SOURCE_TOP          folders, music files, M3U files
#   fill-player.sh STATE SOURCE_TOP --full   a few files, then filler until the
#                                            memory has no free cluster left
# The music files come from the corpora of the MP3 and WMA readers (made by
# their make-corpus scripts); the M3U files are written here, as other
# programs would have written them.
set -euo pipefail
state=${1:?usage: fill-player.sh STATE SOURCE_TOP [--full]}
top=${2:?usage: fill-player.sh STATE SOURCE_TOP [--full]}
files=$state/internal/files
mp3=$top/libs/mp3info/tests/data/corpus
wma=$top/outside/wmapeek/tests/data
[ -d "$files" ] || { echo "fill-player.sh: no served memory at $files" >&2; exit 1; }

mkdir -p "$files/MUSIC" "$files/LISTS"
cp "$mp3/cbr-44100-bare.mp3" "$files/MUSIC/A_SONG.MP3"

if [ "${3:-}" = "--full" ]; then
    # Nothing but a list to open and one song; then every cluster is taken.
    printf 'E:\\MUSIC\\A_SONG.MP3\r\n' >"$files/LISTS/ONE.M3U"
    dd if=/dev/zero of="$files/FILLER.BIN" bs=512 status=none 2>/dev/null || true
    avail=$(stat -f -c %a "$files")
    [ "$avail" -eq 0 ] || { echo "fill-player.sh: $avail blocks still free" >&2; exit 1; }
    echo "memory at $files is full"
    exit 0
fi

mkdir -p "$files/MUSIC/POP" "$files/VOICE" "$files/.Trashes"
cp "$mp3/both-tags.mp3" "$files/ROOT.MP3"
cp "$mp3/cbr-44100-info.mp3" "$files/MUSIC/B_SONG.mp3"
cp "$wma/plain_192k.wma" "$files/MUSIC/C_TRACK.WMA"
cp "$mp3/cbr-44100-mode0.mp3" "$files/MUSIC/._A_SONG.MP3"
cp "$mp3/cbr-44100-mode1.mp3" "$files/MUSIC/한국노래.mp3"
cp "$mp3/cbr-32000-bare.mp3" "$files/MUSIC/POP/D.MP3"
head -c 2048 /dev/zero >"$files/MUSIC/NOTE.WAV"
head -c 2048 /dev/zero >"$files/VOICE/V001.WAV"
cp "$mp3/cbr-32000-info.mp3" "$files/.Trashes/OLD.MP3"

# M3U files written elsewhere.
printf 'W:\\MUSIC\\A_SONG.MP3\r\nE:\\MUSIC\\B_SONG.mp3\r\n' >"$files/LISTS/PLAIN.M3U"
printf '#EXTM3U\r\n#EXTINF:2,Artist - D\r\nC:\\Music\\POP\\D.MP3\r\n#EXTINF:3,Root\r\nC:\\ROOT.MP3\r\n' >"$files/LISTS/EXTENDED.M3U"
printf '#EXTM3U\nE:\\ROOT.MP3\nE:\\MUSIC\\C_TRACK.WMA' >"$files/LISTS/LF.M3U"
printf '..\\MUSIC\\A_SONG.MP3\r\n\\MUSIC\\POP\\D.MP3\r\n' >"$files/LISTS/RELATIVE.M3U"
printf 'E:\\MUSIC\\GONE.MP3\r\nE:\\MUSIC\\B_SONG.mp3\r\n' >"$files/LISTS/MISSING.M3U"
printf 'A_SONG.MP3\r\nB_SONG.mp3\r\n' >"$files/LISTS/BARE.M3U"
printf 'E:\\ROOT.MP3\r\n' >"$files/TOP1.M3U"
printf 'E:\\MUSIC\\A_SONG.MP3\r\n' >"$files/TOP2.M3U"
echo "player files are on $files"
