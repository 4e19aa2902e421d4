#!/usr/bin/env bash
# CRegistryKey seen from outside: the probe writes values that Wine's reg tool
# reads back, and reads values that the reg tool wrote, under a key of its
# own below HKLM's App Paths (where the manager keeps its settings).
#   registry-check.sh PROBE.exe WINDOWS_BUILD_DIR SOURCE_DIR
set -u
probe=$1
MB_BUILD_DIR=$2
MB_SOURCE_DIR=$3
source "$MB_SOURCE_DIR/scripts/wine-env.sh"
mb_wine_ready || exit 1

key="Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\MusicBridgeProbe-$$.exe"
full="HKLM\\$key"
reg() { "$MB_WINE" reg "$@" </dev/null 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
cleanup() { reg delete "$full" /f >/dev/null; }
trap cleanup EXIT

repeat() { local text=""; while [ ${#text} -lt "$2" ]; do text+=$1; done; printf '%s' "${text:0:$2}"; }
t199=$(repeat 'MusicBridge-' 199)
t200=$(repeat 'Vilo Lark ' 200)
path='C:\Program Files\Vilo\MusicBridge\'
hex256=""
for i in $(seq 0 255); do hex256+=$(printf '%02x' "$i"); done
status=0

probe_run() {
    "$MB_BUILD_DIR/wine-run" "$probe" "$1" "$key" "$t199" "$t200" | tr -d '\r' | sed 's/ *$//'
}

# Compares the probe's lines (call, name, returned value, last result, last
# type, last size, text read) with the expected ones.
expect() {
    local what=$1 expected=$2 actual=$3
    if [ "$expected" != "$actual" ]; then
        echo "FAILED: $what"
        diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual")
        status=1
    else
        echo "ok: $what"
    fi
}

# One value as reg query shows it: "TYPE DATA".
value_of() {
    local line
    line=$(reg query "$full" /v "$1" | grep -F "    $1    ") || return 1
    line=${line#"    $1    "}
    local type=${line%%"    "*}
    local data=${line#"$type    "}
    [ "$data" = "$type" ] && data=""
    printf '%s %s' "$type" "$data"
}

check_value() {
    local name=$1 expected=$2 actual
    actual=$(value_of "$name") || actual="(missing)"
    if [ "$expected" != "$actual" ]; then
        echo "FAILED: reg query $name"
        echo "  expected: $expected"
        echo "  actual:   $actual"
        status=1
    else
        echo "ok: reg query $name"
    fi
}

# 1. The wrapper writes; the reg tool reads. WriteDword returns 0 on success
# and the system's code on failure, and records nothing.
expect "write" "Open - 0 2 0 0
WriteDword closed 6 2 0 0
Create - 1 0 0 0
Open - 1 0 0 0
WriteDword CFG_DL 0 0 0 0
WriteDword CFG_TR 0 0 0 0
WriteString Path 1 0 1 $((${#path} + 1))
WriteString Path0 1 0 1 200
WriteString Path1 1 0 1 201
WriteString Empty 1 0 1 1" "$(probe_run write)"
check_value CFG_DL "REG_DWORD 0x1"
check_value CFG_TR "REG_DWORD 0x80000001"
check_value Path "REG_SZ $path"
check_value Path0 "REG_SZ $t199"
check_value Path1 "REG_SZ $t200"
check_value Empty "REG_SZ "

# 2. The reg tool writes; the wrapper reads. A string of 200 characters and a
# value past 256 bytes are not read, and nothing lands past the 256 bytes.
# Each value is checked with reg query before the wrapper reads it, so a write
# that the reg tool lost on a loaded machine is told apart from a wrong read.
add_value() {
    local name=$1 type=$2 data=$3 try
    for try in 1 2 3; do
        reg add "$full" /v "$name" /t "$type" /d "$data" /f >/dev/null
        value_of "$name" >/dev/null && return 0
        sleep 1
    done
    echo "FAILED: reg add $name"
    status=1
}
add_value S199 REG_SZ "$t199"
add_value S200 REG_SZ "$t200"
add_value D REG_DWORD 305419896
add_value B256 REG_BINARY "$hex256"
add_value B257 REG_BINARY "${hex256}00"
expect "read" "Open - 1 0 0 0
ReadString S199 1 0 1 200 $t199
ReadString S200 0 234 1 201 unchanged
ReadString Missing 0 2 0 0 unchanged
ReadDword D 1 0 4 4 305419896
ReadBinary B256 1 0 3 256 00010203/ffee
ReadBinary B257 0 234 3 257 eeee
ReadBinary B256small 0 234 3 256 eeeeeeeeee" "$(probe_run read)"

# 3. A deleted value is gone for the reg tool; the others stay.
expect "delete" "Open - 1 0 0 0
DeleteValue Path1 1 0 0 0
DeleteValue Path1 0 2 0 0" "$(probe_run delete)"
check_value Path1 "(missing)"
check_value Path0 "REG_SZ $t199"

exit $status
