#!/usr/bin/env bash
# Installs the stand-in player driver in a Wine prefix as an auto-start kernel
# service and writes its default Parameters.
#   WINEPREFIX=... install-driver.sh path/to/vilosim.sys
# Run once for every new test prefix (build/win64/prefix.d); by hand, the same
# line installs it in any 64-bit prefix.
set -u
sys=${1:?usage: install-driver.sh vilosim.sys}
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
wine=${WINELOADER:-/usr/lib/wine/wine64}
drivers="$WINEPREFIX/drive_c/windows/system32/drivers"
key='HKLM\System\CurrentControlSet\Services\ViloLarkSim\Parameters'

mkdir -p "$drivers"
cp -f "$sys" "$drivers/vilosim.sys" || exit 1
"$wine" sc query ViloLarkSim >/dev/null 2>&1 ||
    "$wine" sc create ViloLarkSim type= kernel start= auto binPath= 'C:\windows\system32\drivers\vilosim.sys' || exit 1
# The player's names at index 0, its volume on O:.
"$wine" reg add "$key" /v UnitIndex /t REG_DWORD /d 0 /f || exit 1
"$wine" reg add "$key" /v VolumeLetter /t REG_SZ /d O /f || exit 1
"$wine" sc start ViloLarkSim || true
