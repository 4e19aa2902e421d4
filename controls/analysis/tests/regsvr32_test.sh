#!/usr/bin/env bash
# regsvr32 registers TrackScope.ocx and unregisters it again; after each step
# regedit exports HKEY_CLASSES_ROOT and every entry is read from the export.
# Runs in a named prefix of its own.
#   regsvr32_test.sh <wine-run> <TrackScope.ocx>
set -u
run=$1
ocx=$2
fail=0
win_ocx="Z:$(readlink -f "$ocx" | sed 's|/|\\|g')"
work=$(mktemp -d "${TMPDIR:-/tmp}/trackscope-reg.XXXXXX")
trap 'rm -rf "$work"' EXIT

LIBID='{963B3847-0020-4D41-BDC5-BAA259D556EF}'

# Exports HKEY_CLASSES_ROOT into "key<TAB>name<TAB>data" lines (keys alone as
# "key<TAB><TAB>"), lower case, for the checks below.
snapshot() {
    local out=$1
    "$run" regedit /E "Z:$(readlink -f "$work")\\hkcr.reg" HKEY_CLASSES_ROOT >/dev/null 2>&1
    /usr/bin/python3 - "$work/hkcr.reg" >"$out" <<'PY'
import codecs, re, sys
raw = open(sys.argv[1], "rb").read()
text = raw.decode("utf-16") if raw[:2] in (codecs.BOM_UTF16_LE, codecs.BOM_UTF16_BE) else raw.decode("utf-8", "replace")
key = None
for line in text.splitlines():
    if line.startswith("[") and line.endswith("]"):
        key = line[1:-1].replace("HKEY_CLASSES_ROOT", "HKCR", 1)
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
    if grep -q -F -i -- "$(printf '%s\t' "$1")" "$3"; then
        echo "FAIL: $2: $1"
        fail=1
    fi
}

# Every key under a class's CLSID must be one this script expects: nothing
# registered that no check covers.
expect_only() {
    local base=$1
    shift
    local k
    while IFS= read -r k; do
        local known=0 allowed
        for allowed in "$@"; do
            [ "$k" = "$(printf '%s' "$base$allowed" | tr '[:upper:]' '[:lower:]')" ] && known=1
        done
        if [ $known -eq 0 ]; then
            echo "FAIL: unexpected key $k"
            fail=1
        fi
    done < <(grep -F -i -- "$(printf '%s' "$base" | tr '[:upper:]' '[:lower:]')" "$work/after-register" | cut -f1 | sort -u)
}

# A clean start even when an earlier run stopped half way.
"$run" regsvr32 /s /u "$win_ocx" >/dev/null 2>&1

if ! "$run" regsvr32 /s "$win_ocx"; then
    echo "FAIL: regsvr32 could not register $win_ocx"
    exit 1
fi
snapshot "$work/after-register"

# control: CLSID, ProgID, type name, toolbox bitmap, MiscStatus, DIID, event DIID
check_control() {
    local clsid=$1 progid=$2 name=$3 bitmap=$4 misc=$5 diid=$6 events=$7 dispname=$8 eventname=$9
    local key="HKCR\\CLSID\\$clsid"
    expect "$key" "(Default)" "$name"
    expect "$key\\ProgID" "(Default)" "$progid"
    expect "$key\\InprocServer32" "(Default)" "$win_ocx"
    expect "$key\\InprocServer32" "ThreadingModel" "Apartment"
    expect_key "$key\\Programmable"
    expect_key "$key\\Control"
    expect "$key\\ToolboxBitmap32" "(Default)" "$win_ocx, $bitmap"
    expect "$key\\MiscStatus" "(Default)" "0"
    expect "$key\\MiscStatus\\1" "(Default)" "$misc"
    expect "$key\\TypeLib" "(Default)" "$LIBID"
    expect "$key\\Version" "(Default)" "1.0"
    expect "HKCR\\$progid" "(Default)" "$name"
    expect "HKCR\\$progid\\CLSID" "(Default)" "$clsid"
    # Not offered as an insertable object.
    expect_only "$key" "" "\\ProgID" "\\InprocServer32" "\\Programmable" "\\Control" "\\ToolboxBitmap32" \
        "\\MiscStatus" "\\MiscStatus\\1" "\\TypeLib" "\\Version"
    expect_only "HKCR\\$progid" "" "\\CLSID"
    expect "HKCR\\Interface\\$diid" "(Default)" "$dispname"
    expect "HKCR\\Interface\\$diid\\TypeLib" "(Default)" "$LIBID"
    expect "HKCR\\Interface\\$events" "(Default)" "$eventname"
}

check_page() {
    local clsid=$1 progid=$2 name=$3
    local key="HKCR\\CLSID\\$clsid"
    expect "$key" "(Default)" "$name"
    expect "$key\\ProgID" "(Default)" "$progid"
    expect "$key\\InprocServer32" "(Default)" "$win_ocx"
    expect "$key\\InprocServer32" "ThreadingModel" "Apartment"
    expect_key "$key\\Programmable"
    expect_only "$key" "" "\\ProgID" "\\InprocServer32" "\\Programmable"
    expect "HKCR\\$progid\\CLSID" "(Default)" "$clsid"
}

check_control '{512FDD6D-DBF6-4346-B4A7-1BB13CE2B659}' TRACKSCOPE.MP3AnalyzerCtrl.1 "MP3Analyzer Control" 1 131217 \
    '{75ED4342-8A6B-4283-B8A0-A652717E29B1}' '{084CEBBB-EA0D-4BE2-B398-2A873F19AAA0}' _DMP3Analyzer _DMP3AnalyzerEvents
check_control '{D6949C85-135C-4B36-B8A7-2BDD5D7E05DA}' TRACKSCOPE.WMAAnalyzerCtrl.1 "WMAAnalyzer Control" 2 131473 \
    '{A900715A-C5D2-4B8F-AE75-86C95EE678BE}' '{5DDE60AC-7895-4558-A7A0-89C72CB90A59}' _DWMAAnalyzer _DWMAAnalyzerEvents
check_control '{5ECF21D9-34DD-490E-A445-E8A94ACC7443}' TRACKSCOPE.AACAnalyzerCtrl.1 "AACAnalyzer Control" 3 131473 \
    '{8713DCEA-74B1-41D4-8397-20930CBD3180}' '{152A4D17-9AA6-4E58-A9C4-5E65427118BD}' _DAACAnalyzer _DAACAnalyzerEvents
check_page '{6A6E6EBE-5152-4053-BF01-CC5E3136976E}' TRACKSCOPE.MP3AnalyzerPropPage.1 "MP3Analyzer Property Page"
check_page '{2E8CAAC2-4DDD-4278-A2C6-2A9062521F26}' TRACKSCOPE.WMAAnalyzerPropPage.1 "WMAAnalyzer Property Page"
check_page '{5BDC22D4-97B8-43AB-9E48-786757D4D250}' TRACKSCOPE.AACAnalyzerPropPage.1 "AACAnalyzer Property Page"

expect "HKCR\\TypeLib\\$LIBID\\1.0" "(Default)" "TrackScope ActiveX Control module"
# This build is 64-bit: its type library is registered for win64.
expect "HKCR\\TypeLib\\$LIBID\\1.0\\0\\win64" "(Default)" "$win_ocx"

if ! "$run" regsvr32 /s /u "$win_ocx"; then
    echo "FAIL: regsvr32 could not unregister $win_ocx"
    fail=1
fi
snapshot "$work/after-unregister"
if [ ! -s "$work/after-unregister" ]; then
    echo "FAIL: no registry export after unregistering"
    fail=1
fi
for gone in '{512FDD6D-DBF6-4346-B4A7-1BB13CE2B659}' '{D6949C85-135C-4B36-B8A7-2BDD5D7E05DA}' \
    '{5ECF21D9-34DD-490E-A445-E8A94ACC7443}' '{6A6E6EBE-5152-4053-BF01-CC5E3136976E}' \
    '{2E8CAAC2-4DDD-4278-A2C6-2A9062521F26}' '{5BDC22D4-97B8-43AB-9E48-786757D4D250}'; do
    expect_no_key "HKCR\\CLSID\\$gone" "still there" "$work/after-unregister"
done
for gone in TRACKSCOPE.MP3AnalyzerCtrl.1 TRACKSCOPE.WMAAnalyzerCtrl.1 TRACKSCOPE.AACAnalyzerCtrl.1 \
    TRACKSCOPE.MP3AnalyzerPropPage.1 TRACKSCOPE.WMAAnalyzerPropPage.1 TRACKSCOPE.AACAnalyzerPropPage.1; do
    expect_no_key "HKCR\\$gone" "still there" "$work/after-unregister"
done
expect_no_key "HKCR\\TypeLib\\$LIBID" "still there" "$work/after-unregister"
expect_no_key "HKCR\\Interface\\{75ED4342-8A6B-4283-B8A0-A652717E29B1}" "still there" "$work/after-unregister"

# Unregistering twice is no failure.
if ! "$run" regsvr32 /s /u "$win_ocx"; then
    echo "FAIL: a second unregistration failed"
    fail=1
fi

[ $fail -eq 0 ] && echo "regsvr32 register and unregister: OK"
exit $fail
