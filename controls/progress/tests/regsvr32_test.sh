#!/usr/bin/env bash
# regsvr32 registers Progress.dll and unregisters it again; reg.exe reads the
# registry back after each step. Runs in a named prefix of its own.
#   regsvr32_test.sh <wine-run> <Progress.dll>
set -u
run=$1
dll=$2
fail=0
win_dll="Z:$(readlink -f "$dll" | sed 's|/|\\|g')"

CLSID='{31115939-CC5B-4246-8A5C-BE7B656DCB86}'
LIBID='{F69519F4-3BF3-47BA-8616-D984E7CD6511}'
IID='{B8B86314-BDC7-4109-895C-18D63D112944}'
DIID='{26045CFE-676C-4DC8-8466-B0A8337BCEF3}'
PAGE='{90322438-0DCB-417E-9DA5-E9BC79BE4405}'

query() { "$run" reg query "$@" 2>/dev/null | tr -d '\r'; }

# expect <key> <value name or "(Default)"> <expected data>
expect() {
    local key=$1 name=$2 want=$3 out line
    if [ "$name" = "(Default)" ]; then
        out=$(query "$key" /ve)
    else
        out=$(query "$key" /v "$name")
    fi
    line=$(printf '%s\n' "$out" | grep -i -E "^\s+$(printf '%s' "$name" | sed 's/[()]/\\&/g')\s+REG_" | head -1)
    data=$(printf '%s' "$line" | sed -E 's/^\s+\S+(\s\S+)?\s+REG_[A-Z_]+\s+//')
    if [ "${data,,}" != "${want,,}" ]; then
        echo "FAIL: $key [$name] is '$data', expected '$want'"
        fail=1
    fi
}

expect_key() {
    if ! "$run" reg query "$1" >/dev/null 2>&1; then
        echo "FAIL: missing key $1"
        fail=1
    fi
}

expect_no_key() {
    if "$run" reg query "$1" >/dev/null 2>&1; then
        echo "FAIL: key still there: $1"
        fail=1
    fi
}

# A clean start even when an earlier run stopped half way.
"$run" regsvr32 /s /u "$win_dll" >/dev/null 2>&1

if ! "$run" regsvr32 /s "$win_dll"; then
    echo "FAIL: regsvr32 could not register $win_dll"
    exit 1
fi

key="HKCR\\CLSID\\$CLSID"
expect "$key" "(Default)" "ProgressCtl Class"
expect "$key\\ProgID" "(Default)" "Progress.ProgressCtl.1"
expect "$key\\VersionIndependentProgID" "(Default)" "Progress.ProgressCtl"
expect "$key\\InprocServer32" "(Default)" "$win_dll"
expect "$key\\InprocServer32" "ThreadingModel" "Apartment"
expect_key "$key\\Programmable"
expect_key "$key\\Control"
expect_key "$key\\Insertable"
expect "$key\\ToolboxBitmap32" "(Default)" "$win_dll, 102"
expect "$key\\MiscStatus\\1" "(Default)" "131473"
expect "$key\\TypeLib" "(Default)" "$LIBID"
expect "$key\\Version" "(Default)" "1.0"
expect "HKCR\\Progress.ProgressCtl.1\\CLSID" "(Default)" "$CLSID"
expect "HKCR\\Progress.ProgressCtl\\CLSID" "(Default)" "$CLSID"
expect "HKCR\\Progress.ProgressCtl\\CurVer" "(Default)" "Progress.ProgressCtl.1"
page="HKCR\\CLSID\\$PAGE"
expect "$page" "(Default)" "ProgressProp Class"
expect "$page\\ProgID" "(Default)" "Progress.ProgressProp.1"
expect "$page\\VersionIndependentProgID" "(Default)" "Progress.ProgressProp"
expect "$page\\InprocServer32" "(Default)" "$win_dll"
expect "$page\\InprocServer32" "ThreadingModel" "Apartment"
expect_key "$page\\Programmable"
expect "HKCR\\Progress.ProgressProp.1\\CLSID" "(Default)" "$PAGE"
expect "HKCR\\Progress.ProgressProp\\CLSID" "(Default)" "$PAGE"
expect "HKCR\\TypeLib\\$LIBID\\1.0" "(Default)" "Progress 1.0 Type Library"
# This build is 64-bit: its type library is registered for win64.
expect "HKCR\\TypeLib\\$LIBID\\1.0\\0\\win64" "(Default)" "$win_dll"
expect "HKCR\\Interface\\$IID" "(Default)" "IProgressCtl"
expect "HKCR\\Interface\\$IID\\TypeLib" "(Default)" "$LIBID"
expect "HKCR\\Interface\\$DIID" "(Default)" "_IProgressCtlEvents"

if ! "$run" regsvr32 /s /u "$win_dll"; then
    echo "FAIL: regsvr32 could not unregister $win_dll"
    fail=1
fi
expect_no_key "$key"
expect_no_key "HKCR\\Progress.ProgressCtl.1"
expect_no_key "HKCR\\Progress.ProgressCtl"
expect_no_key "$page"
expect_no_key "HKCR\\Progress.ProgressProp.1"
expect_no_key "HKCR\\Progress.ProgressProp"
expect_no_key "HKCR\\TypeLib\\$LIBID\\1.0\\0\\win64"

# Unregistering twice is no failure.
if ! "$run" regsvr32 /s /u "$win_dll"; then
    echo "FAIL: a second unregistration failed"
    fail=1
fi

[ $fail -eq 0 ] && echo "regsvr32 register and unregister: OK"
exit $fail
