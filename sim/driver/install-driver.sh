#!/usr/bin/env bash
# Installs the stand-in player driver in a Wine prefix as an auto-start kernel
# service and writes its default Parameters.
#   WINEPREFIX=... install-driver.sh path/to/vilosim.sys
# Run once for every new test prefix (build/win64/prefix.d); by hand, the same
# line installs it in any 64-bit prefix. Fails unless the service runs at the
# end: a prefix with a dead driver must not pass for a ready one.
# VILOSIM_SERVICE names the service (ViloLarkSim; another name for tests of
# this script).
set -u
sys=${1:?usage: install-driver.sh vilosim.sys}
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
wine=${WINELOADER:-/usr/lib/wine/wine64}
drivers="$WINEPREFIX/drive_c/windows/system32/drivers"
service=${VILOSIM_SERVICE:-ViloLarkSim}
key="HKLM\\System\\CurrentControlSet\\Services\\$service\\Parameters"

mkdir -p "$drivers"
file="$service.sys"
[ "$service" = ViloLarkSim ] && file=vilosim.sys
cp -f "$sys" "$drivers/$file" || exit 1
"$wine" sc query "$service" >/dev/null 2>&1 ||
    "$wine" sc create "$service" type= kernel start= auto binPath= "C:\\windows\\system32\\drivers\\$file" || exit 1
# The player's names at index 0, its volume on O:.
"$wine" reg add "$key" /v UnitIndex /t REG_DWORD /d 0 /f || exit 1
"$wine" reg add "$key" /v VolumeLetter /t REG_SZ /d O /f || exit 1
"$wine" sc start "$service" >/dev/null 2>&1
# Already running is as good as started; anything else but a running service
# is a failed install.
for attempt in 1 2 3 4 5 6 7 8 9 10; do
    if "$wine" sc query "$service" 2>/dev/null | grep -q RUNNING; then
        exit 0
    fi
    sleep 0.5
done
echo "install-driver.sh: the service $service did not start" >&2
"$wine" sc query "$service" >&2
exit 1
