#!/usr/bin/env bash
# Fails when a DLL's export table differs from the names of its .def file:
# an installer finds the functions by these plain names only.
#   check-exports.sh objdump DevSweep.dll DevSweep.def
set -u
objdump=$1 dll=$2 def=$3
want=$(awk '/^EXPORTS/{on=1; next} on && NF {print $1}' "$def" | sort)
# objdump -p lists "[Ordinal/Name Pointer] Table" rows as "[ n] name".
have=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort)
if [ "$want" != "$have" ]; then
    echo "check-exports: $dll exports differ from $def" >&2
    diff <(echo "$want") <(echo "$have") >&2
    exit 1
fi
