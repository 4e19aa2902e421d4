#!/usr/bin/env bash
# Times ListForge's M3U reader on a 10,000-line list (the extended form the
# manager exports, with LF-only and relative lines mixed in) beside a plain
# Python reader of the same file. Prints figures; never fails on speed.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
# The optimised build of scripts/bench.sh, never the sanitizer build.
bench=${MB_BENCH_NATIVE:-$top/build/bench-native}/listmaker/listforge_m3u_bench
[ -x "$bench" ] || { echo "run scripts/bench.sh, which builds $bench"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
list=$work/big.m3u
python3 - "$list" <<'PY'
import sys
lines = ["#EXTM3U"]
for i in range(10000 // 2 - 1):
    lines.append("#EXTINF:%d,Artist %d - Title %d" % (180 + i % 60, i % 97, i))
    lines.append("E:\\MUSIC\\ALBUM%03d\\TRACK%05d.MP3" % (i % 500, i) if i % 3 else "POP\\SONG%05d.WMA" % i)
lines.append("E:\\LAST.MP3")
with open(sys.argv[1], "wb") as f:
    f.write(("\r\n".join(lines[:5000]) + "\n" + "\n".join(lines[5000:]) + "\n").encode("ascii"))
PY
echo "list: $(wc -l <"$list") lines, $(stat -c %s "$list") bytes"
"$bench" "$list" 20
python3 - "$list" <<'PY'
import sys, time
def read(path):
    with open(path, "rb") as f:
        text = f.read().decode("latin-1")
    out = []
    for line in text.splitlines():
        if not line or line.startswith("#"):
            continue
        i = line.find(":\\")
        entry = line[i + 2:] if i >= 0 else "LISTS\\" + line
        out.append("W:\\" + entry.lstrip("\\"))
    return out
rounds = 20
start = time.perf_counter()
for _ in range(rounds):
    n = len(read(sys.argv[1]))
print("Python reader:    %d entries, %.3f ms per read" % (n, (time.perf_counter() - start) * 1000 / rounds))
PY
