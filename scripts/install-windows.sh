#!/usr/bin/env bash
# Installs a Windows build into a Wine prefix as the suite's installer would
# leave it: the program folder "C:\Program Files\MusicBridge" with every entry
# of scripts/deliverables.txt that the build has, the ActiveX controls
# registered with regsvr32, and the manager's App Paths key.
#   install-windows.sh BUILD_DIR PREFIX
# Expects wine-env.sh's variables (MB_WINE, WINESERVER) in the environment.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: install-windows.sh BUILD_DIR PREFIX}
prefix=${2:?usage: install-windows.sh BUILD_DIR PREFIX}
wine=${MB_WINE:-/usr/lib/wine/wine64}
bin="$build/bin"
dest="$prefix/drive_c/Program Files/MusicBridge"
mkdir -p "$dest" || exit 1
source "$top/scripts/ship-copy.sh"

missing=()
while IFS= read -r entry; do
    case "$entry" in ''|'#'*) continue ;; esac
    if [[ "$entry" == */ ]]; then
        if [ -d "$bin/$entry" ]; then
            mkdir -p "$dest/$entry" && cp -a "$bin/$entry." "$dest/$entry" || exit 1
        else
            missing+=("$entry")
        fi
        continue
    fi
    if [[ "$entry" == *[*?]* ]]; then
        shopt -s nullglob
        # shellcheck disable=SC2206
        matches=("$bin"/$entry)
        shopt -u nullglob
    elif [ -e "$bin/$entry" ]; then
        matches=("$bin/$entry")
    else
        matches=()
    fi
    if [ ${#matches[@]} -eq 0 ]; then
        missing+=("$entry")
        continue
    fi
    sub=$(dirname "$entry")
    [ "$sub" = . ] && sub="" || sub="$sub/"
    mkdir -p "$dest/$sub" || exit 1
    for file in "${matches[@]}"; do
        mb_ship_copy "$file" "$dest/$sub" || exit 1
    done
done <"$top/scripts/deliverables.txt"
if [ ${#missing[@]} -gt 0 ]; then
    echo "install-windows.sh: not built, left out: ${missing[*]}" >&2
fi

export WINEPREFIX="$prefix"
for server in Progress.dll TrackScope.ocx; do
    [ -f "$dest/$server" ] || continue
    (cd "$dest" && "$wine" regsvr32 /s "$server" </dev/null >/dev/null 2>&1) ||
        { echo "install-windows.sh: regsvr32 $server failed" >&2; exit 1; }
done
key='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\MusicBridge.exe'
app_paths() {
    "$wine" reg add "$key" /ve /t REG_SZ /d 'C:\Program Files\MusicBridge\MusicBridge.exe' /f </dev/null &&
    "$wine" reg add "$key" /v Path /t REG_SZ /d 'C:\Program Files\MusicBridge\' /f </dev/null
}
# A reg call has failed once on a loaded machine, its answer unseen: the key
# is written again, and the last answer is shown when it never takes.
for attempt in 1 2 3; do
    answer=$(app_paths 2>&1) && break
    if [ "$attempt" = 3 ]; then
        echo "install-windows.sh: the App Paths key could not be written: $answer" >&2
        exit 1
    fi
    sleep 1
done
