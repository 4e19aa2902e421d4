#!/usr/bin/env bash
# regsvr32 registers Progress.dll and unregisters it again; after each step
# regedit exports HKEY_CLASSES_ROOT and the entries are read from the export.
# Runs in a named prefix of its own.
#   regsvr32_test.sh <wine-run> <Progress.dll>
set -u
run=$1
dll=$2
fail=0
win_dll="Z:$(readlink -f "$dll" | sed 's|/|\\|g')"
# A 32-bit module registers in the 32-bit view of the classes (the export
# shows it under Wow6432Node) and its type library for win32.
width=64
file -b "$(readlink -f "$dll")" | grep -q '^PE32 ' && width=32
work=$(mktemp -d "${TMPDIR:-/tmp}/progress-reg.XXXXXX")
trap 'rm -rf "$work"' EXIT

CLSID='{31115939-CC5B-4246-8A5C-BE7B656DCB86}'
PAGE='{90322438-0DCB-417E-9DA5-E9BC79BE4405}'
LIBID='{F69519F4-3BF3-47BA-8616-D984E7CD6511}'
IID='{B8B86314-BDC7-4109-895C-18D63D112944}'
DIID='{26045CFE-676C-4DC8-8466-B0A8337BCEF3}'

# Exports HKEY_CLASSES_ROOT into "key<TAB>name<TAB>data" lines (keys alone as
# "key<TAB><TAB>"), lower case, for the checks below.
snapshot() {
    local out=$1
    "$run" regedit /E "Z:$(readlink -f "$work")\\hkcr.reg" HKEY_CLASSES_ROOT >/dev/null 2>&1
    /usr/bin/python3 - "$work/hkcr.reg" "$width" >"$out" <<'PY'
import codecs, re, sys
view32 = sys.argv[2] == "32"
raw = open(sys.argv[1], "rb").read()
text = raw.decode("utf-16") if raw[:2] in (codecs.BOM_UTF16_LE, codecs.BOM_UTF16_BE) else raw.decode("utf-8", "replace")
key = None
for line in text.splitlines():
    if line.startswith("[") and line.endswith("]"):
        key = line[1:-1].replace("HKEY_CLASSES_ROOT", "HKCR", 1)
        if view32:
            # The module's own view: the 32-bit one where it has the key.
            if key.lower().startswith("hkcr\\wow6432node\\"):
                key = "HKCR\\" + key[len("HKCR\\Wow6432Node\\"):]
            elif key.lower().startswith("hkcr\\clsid\\"):
                key = "HKCR\\64-bit view\\" + key[len("HKCR\\"):]
        print("%s\t\t" % key.lower())
        continue
    m = re.match(r'^(@|"(?:[^"\\]|\\.)*")="((?:[^"\\]|\\.)*)"$', line)
    if key and m:
        name = "(Default)" if m.group(1) == "@" else m.group(1)[1:-1].replace("\\\\", "\\")
        data = m.group(2).replace('\\"', '"').replace("\\\\", "\\")
        print("%s\t%s\t%s" % (key.lower(), name.lower(), data.lower()))
PY
}

# expect <key> <value name or "(Default)"> <expected data>
expect() {
    local line
    line=$(printf '%s\t%s\t%s' "$1" "$2" "$3" | tr '[:upper:]' '[:lower:]')
    if ! grep -q -x -F -- "$line" "$work/after-register"; then
        echo "FAIL: $1 [$2] is not '$3'; found:"
        grep -F -i -- "$(printf '%s\t%s\t' "$1" "$2")" "$work/after-register" | head -3
        fail=1
    fi
}

expect_key() {
    if ! grep -q -x -F -i -- "$(printf '%s\t\t' "$1")" "$work/after-register"; then
        echo "FAIL: missing key $1"
        fail=1
    fi
}

expect_no_key() {
    if grep -q -F -i -- "$(printf '%s\t' "$1")" "$work/after-unregister"; then
        echo "FAIL: still there: $1"
        fail=1
    fi
}

# A clean start even when an earlier run stopped half way.
"$run" regsvr32 /s /u "$win_dll" >/dev/null 2>&1

if ! "$run" regsvr32 /s "$win_dll"; then
    echo "FAIL: regsvr32 could not register $win_dll"
    exit 1
fi
snapshot "$work/after-register"

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
# The type library is registered for the module's own width.
expect "HKCR\\TypeLib\\$LIBID\\1.0\\0\\win$width" "(Default)" "$win_dll"
expect "HKCR\\Interface\\$IID" "(Default)" "IProgressCtl"
expect "HKCR\\Interface\\$IID\\TypeLib" "(Default)" "$LIBID"
expect "HKCR\\Interface\\$DIID" "(Default)" "_IProgressCtlEvents"

if ! "$run" regsvr32 /s /u "$win_dll"; then
    echo "FAIL: regsvr32 could not unregister $win_dll"
    fail=1
fi
snapshot "$work/after-unregister"
if [ ! -s "$work/after-unregister" ]; then
    echo "FAIL: no registry export after unregistering"
    fail=1
fi
expect_no_key "$key"
expect_no_key "$page"
expect_no_key "HKCR\\Progress.ProgressCtl.1"
expect_no_key "HKCR\\Progress.ProgressCtl"
expect_no_key "HKCR\\Progress.ProgressProp.1"
expect_no_key "HKCR\\Progress.ProgressProp"
expect_no_key "HKCR\\TypeLib\\$LIBID"

# Unregistering twice is no failure.
if ! "$run" regsvr32 /s /u "$win_dll"; then
    echo "FAIL: a second unregistration failed"
    fail=1
fi

[ $fail -eq 0 ] && echo "regsvr32 register and unregister: OK"
exit $fail
