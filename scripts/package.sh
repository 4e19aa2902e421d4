#!/usr/bin/env bash
# Lays out the shipped 32-bit build as the installer puts it into the program
# folder (scripts/deliverables.txt) and zips it:
#   build/dist/MusicBridge/            the program folder (programs and
#                                      libraries without debugging sections)
#   build/dist/MusicBridge-win32.zip   the same, zipped
#   package.sh [BUILD_DIR]             (default build/win32, built when missing)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/win32}
if [ ! -d "$build/bin" ]; then
    MB_BUILDS=win32 "$top/scripts/build.sh"
fi
source "$top/scripts/ship-copy.sh"
dist="$top/build/dist"
folder="$dist/MusicBridge"
rm -rf "$folder" "$dist/MusicBridge-win32.zip"
mkdir -p "$folder"
status=0
while IFS= read -r entry; do
    case "$entry" in ''|'#'*) continue ;; esac
    if [[ "$entry" == */ ]]; then
        if [ -d "$build/bin/$entry" ]; then cp -a "$build/bin/$entry" "$folder/"; else echo "package.sh: missing $entry" >&2; status=1; fi
    elif [[ "$entry" == *[*?]* ]]; then
        shopt -s nullglob
        # shellcheck disable=SC2206
        files=("$build"/bin/$entry)
        shopt -u nullglob
        [ ${#files[@]} -gt 0 ] || { echo "package.sh: missing $entry" >&2; status=1; continue; }
        for file in "${files[@]}"; do mb_ship_copy "$file" "$folder" || status=1; done
    elif [ -f "$build/bin/$entry" ]; then
        mkdir -p "$folder/$(dirname "$entry")"
        mb_ship_copy "$build/bin/$entry" "$folder/$(dirname "$entry")" || status=1
    else
        echo "package.sh: missing $entry" >&2
        status=1
    fi
done <"$top/scripts/deliverables.txt"
(cd "$dist" && /usr/bin/python3 -m zipfile -c MusicBridge-win32.zip MusicBridge/)
echo "package.sh: $dist/MusicBridge-win32.zip"
exit $status
