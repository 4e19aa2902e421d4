# shellcheck shell=bash
# The simulated player in a Wine prefix, for scripts that run the programs on
# it (run.sh, the start-up benchmark). Source after wine-env.sh.
#
#   mb_player_start STATE IMAGE LETTER [MORE_DOSDEVICES]
#       serves IMAGE as the player's memory on LETTER: its files from the
#       memory daemon, its device (\\.\LETTER:, the storage identity, the raw
#       sectors, the volume queries) from the stand-in driver, which reads the
#       daemon's image; then restarts the server so that the drive types and
#       the driver's parameters are read again
#   mb_player_stop STATE
#       the player goes away: the driver loses its image, the daemon stops

mb_player_key='HKLM\System\CurrentControlSet\Services\ViloLarkSim\Parameters'

mb_player_start() {
    local state=$1 image=$2 letter=$3 more=${4:-}
    "$MB_SOURCE_DIR/sim/memory/scripts/memory.sh" start "$state" --internal "$image" >/dev/null || return 1
    # No raw mapping of the letter: its device is the driver's.
    rm -f "$WINEPREFIX/dosdevices/$letter::"
    mb_dosdevices_apply "$letter:=$state/internal/files${more:+ $more}" || return 1
    mb_wine_quiet "$MB_WINE" reg add "$mb_player_key" /v VolumeLetter /t REG_SZ /d "${letter^^}" /f
    mb_wine_quiet "$MB_WINE" reg add "$mb_player_key" /v ImagePath /t REG_SZ \
        /d "$(winepath_of "$state/internal/raw/image")" /f
    mb_wine_quiet "$WINESERVER" -k
    mb_wine_quiet "$WINESERVER" -w
    mb_wineserver_up
}

mb_player_stop() {
    local state=$1
    mb_wine_quiet "$MB_WINE" reg add "$mb_player_key" /v ImagePath /t REG_SZ /d "" /f
    mb_wine_quiet "$WINESERVER" -k
    "$MB_SOURCE_DIR/sim/memory/scripts/memory.sh" stop "$state" >/dev/null 2>&1
    return 0
}
