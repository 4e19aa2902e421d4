#!/usr/bin/env bash
# The manager's settings seen from outside: values that Wine's reg tool wrote
# are read by the program's settings code, and the recent paths it writes
# are what the reg tool reads back.
#   settings-check.sh PROBE.exe WINDOWS_BUILD_DIR
set -u
probe=$1
MB_BUILD_DIR=$2
MB_SOURCE_DIR=$(cd "$(dirname "$0")/../../../.." && pwd)
source "$MB_SOURCE_DIR/scripts/wine-env.sh"
mb_wine_ready || exit 1

key="Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\MusicBridgeSettings-$$.exe"
full="HKLM\\$key"
reg() { "$MB_WINE" reg "$@" </dev/null 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
probe_run() { "$MB_BUILD_DIR/wine-run" "$probe" "$@" | tr -d '\r'; }
cleanup() { reg delete "$full" /f >/dev/null; }
trap cleanup EXIT
status=0
check() {
    if [ "$2" != "$3" ]; then
        echo "FAILED: $1"
        diff <(printf '%s\n' "$2") <(printf '%s\n' "$3")
        status=1
    else
        echo "ok: $1"
    fi
}
value_of() { reg query "$full" /v "$1" | grep -F "    $1    " | sed "s/^    $1    REG_SZ    //"; }

# No key: the defaults and the current folder.
cleanup
out=$(cd "$MB_BUILD_DIR" && probe_run read "$key")
check "defaults without a key" "cfg_dl=1
cfg_tr=1
recent=" "$(grep -v '^folder=' <<<"$out")"
grep -q '^folder=.*\\$' <<<"$out" && echo "ok: current folder ends with a backslash" \
    || { echo "FAILED: folder: $out"; status=1; }

# Values the reg tool wrote.
reg add "$full" /v Path /t REG_SZ /d 'C:\Program Files\Vilo' /f >/dev/null
reg add "$full" /v CFG_DL /t REG_DWORD /d 0 /f >/dev/null
reg add "$full" /v CFG_TR /t REG_DWORD /d 0 /f >/dev/null
reg add "$full" /v Path9 /t REG_SZ /d 'C:\Oldest' /f >/dev/null
reg add "$full" /v Path0 /t REG_SZ /d 'C:\Newest' /f >/dev/null
check "values written by the reg tool" 'folder=C:\Program Files\Vilo\
cfg_dl=0
cfg_tr=0
recent=C:\Oldest|C:\Newest' "$(probe_run read "$key")"

# Eleven combo entries, one of them empty: Path0..Path8 from the first ten,
# the stale Path9 gone, the eleventh never written.
args=()
for i in 0 1 2 3 4 5 6 7 8 9 10; do
    if [ $i = 4 ]; then args+=(""); else args+=("D:\\Music\\$i"); fi
done
check "write" "write=1" "$(probe_run write "$key" "${args[@]}")"
expected=""
actual=""
n=0
for i in 0 1 2 3 5 6 7 8 9; do
    expected+="Path$n=D:\\Music\\$i;"
    actual+="Path$n=$(value_of Path$n);"
    n=$((n + 1))
done
check "recent paths as the reg tool reads them" "$expected" "$actual"
check "no tenth path" "" "$(value_of Path9)"
check "nothing else touched" 'C:\Program Files\Vilo' "$(value_of Path)"
check "read back in Path9..Path0 order" 'recent=D:\Music\9|D:\Music\8|D:\Music\7|D:\Music\6|D:\Music\5|D:\Music\3|D:\Music\2|D:\Music\1|D:\Music\0' \
    "$(probe_run read "$key" | grep '^recent=')"
check "OsLevel of Windows XP" "oslevel=3" "$(probe_run oslevel)"
[ $status = 0 ] && echo "settings check passed"
exit $status
