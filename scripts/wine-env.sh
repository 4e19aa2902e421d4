# Shared by wine-run and the test scripts: the build's Wine prefix, its wineserver,
# the X display, drive mappings and per-program Windows versions.
# Expects MB_BUILD_DIR (the Windows build folder) and MB_SOURCE_DIR.

# This machine runs the 64-bit Wine only (it cannot execute 32-bit x86 code), so
# the prefix is a 64-bit one and the tests are the x86_64 build of the sources.
unset WINEARCH
MB_WINE=${MB_WINE:-/usr/lib/wine/wine64}
export WINELOADER=$MB_WINE
export WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko install prompts.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
MB_BASE_PREFIX="$MB_BUILD_DIR/wineprefix"
# How a named prefix is copied from the base one (the i686 build links the
# modules it shares with its root).
MB_PREFIX_COPY=${MB_PREFIX_COPY:-cp -a}
if [ -n "${MB_PREFIX:-}" ]; then
    export WINEPREFIX="$MB_BUILD_DIR/wineprefixes/$MB_PREFIX"
else
    export WINEPREFIX="${WINEPREFIX_OVERRIDE:-$MB_BASE_PREFIX}"
fi

# Runs a wine tool with no inherited descriptors beyond the three standard ones,
# all pointed away from the caller.
mb_wine_quiet() {
    "$@" </dev/null >/dev/null 2>&1 9>&- 8>&-
}

# Keeps a wineserver alive for 30 s after its last client, started with no
# descriptors of ours so that nothing waits on it.
mb_wineserver_up() {
    setsid "$WINESERVER" -p30 </dev/null >/dev/null 2>&1 9>&- 8>&- &
    wait $! 2>/dev/null || true
}

mb_make_prefix() {
    local prefix=$1
    mkdir -p "$prefix"
    WINEPREFIX="$prefix" mb_wine_quiet setsid "$WINESERVER" -p30
    WINEPREFIX="$prefix" mb_wine_quiet "$MB_WINE" wineboot -i || return 1
    local reg="$prefix/mb-settings.reg"
    cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine]
"Version"="winxp"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="Y"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\DllOverrides]
"mscoree"=""
"mshtml"=""

[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"e:"="floppy"
"f:"="floppy"
"g:"="floppy"
"h:"="floppy"
"i:"="floppy"
"j:"="floppy"
"k:"="floppy"
"l:"="floppy"
"m:"="floppy"
"n:"="floppy"
"o:"="floppy"
"p:"="floppy"
"q:"="floppy"
"r:"="floppy"
"s:"="floppy"
"t:"="floppy"
"u:"="floppy"
"v:"="floppy"
"w:"="floppy"
"x:"="floppy"
"y:"="floppy"
REG
    WINEPREFIX="$prefix" mb_wine_quiet "$MB_WINE" regedit /S "$(winepath_of "$reg")" || return 1
    # The mount manager learns a letter's type only for letters that exist when
    # it starts: give every removable letter a placeholder folder now; tests
    # point the letter elsewhere later (MB_DOSDEVICES).
    local letter
    for letter in e f g h i j k l m n o p q r s t u v w x y; do
        mkdir -p "$prefix/mb-drives/$letter"
        ln -sfn "$prefix/mb-drives/$letter" "$prefix/dosdevices/$letter:"
    done
    # Drive types are read when the server starts: restart it once now.
    WINEPREFIX="$prefix" mb_wine_quiet "$WINESERVER" -k
    WINEPREFIX="$prefix" mb_wine_quiet "$WINESERVER" -w
    # Optional extra set-up of components (drivers, services): every executable
    # hook in the build's prefix.d folder runs once with WINEPREFIX set.
    local hook
    for hook in "$MB_BUILD_DIR"/prefix.d/*.sh; do
        [ -x "$hook" ] || continue
        WINEPREFIX="$prefix" "$hook" </dev/null >>"$prefix/mb-hooks.log" 2>&1 9>&- 8>&- || return 1
    done
    touch "$prefix/.mb-ready"
}

# Z:\ path of a Linux path, for Windows programs.
winepath_of() {
    local p
    p=$(readlink -f "$1")
    printf 'Z:%s' "${p//\//\\}"
}

# Makes the prefix once, under a lock, and starts its server.
mb_wine_ready() {
    if [ ! -f "$WINEPREFIX/.mb-ready" ]; then
        mkdir -p "$(dirname "$WINEPREFIX")"
        (
            exec 9>"$WINEPREFIX.lock"
            flock 9
            if [ ! -f "$WINEPREFIX/.mb-ready" ]; then
                if [ "$WINEPREFIX" != "$MB_BASE_PREFIX" ] && [ -f "$MB_BASE_PREFIX/.mb-ready" ]; then
                    # A named prefix starts as a copy of the base one.
                    rm -rf "$WINEPREFIX"
                    ${MB_PREFIX_COPY:-cp -a} "$MB_BASE_PREFIX" "$WINEPREFIX" && rm -f "$WINEPREFIX/.mb-ready" "$WINEPREFIX"/.mb-winver-*
                    local hook
                    for hook in "$MB_BUILD_DIR"/prefix.d/*.sh; do
                        [ -x "$hook" ] || continue
                        "$hook" </dev/null >>"$WINEPREFIX/mb-hooks.log" 2>&1 9>&- || exit 1
                    done
                    touch "$WINEPREFIX/.mb-ready"
                else
                    rm -rf "$WINEPREFIX"
                    mb_make_prefix "$WINEPREFIX" || { echo "wine-run: cannot make the prefix $WINEPREFIX" >&2; exit 1; }
                fi
            fi
        ) || return 1
    fi
    mb_wineserver_up
}

# An X display for windows: the caller's, or one Xvfb shared by the build.
mb_display_ready() {
    if [ -n "${DISPLAY:-}" ]; then
        return 0
    fi
    local state="$MB_BUILD_DIR/xvfb.display"
    (
        exec 9>"$state.lock"
        flock 9
        if [ -f "$state" ] && xdpyinfo_ok "$(cat "$state")"; then
            exit 0
        fi
        local n
        for n in $(seq 90 140); do
            [ -e "/tmp/.X11-unix/X$n" ] && continue
            [ -e "/tmp/.X$n-lock" ] && continue
            setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 9>&- &
            local i
            for i in $(seq 1 50); do
                [ -e "/tmp/.X11-unix/X$n" ] && break
                sleep 0.1
            done
            echo ":$n" >"$state"
            exit 0
        done
        exit 1
    ) || { echo "wine-run: no X display" >&2; return 1; }
    export DISPLAY
    DISPLAY=$(cat "$state")
}

xdpyinfo_ok() {
    local d=${1#:}
    [ -e "/tmp/.X11-unix/X$d" ]
}

# "p:=/folder p::=/image" -> symbolic links in the prefix's dosdevices.
mb_dosdevices_apply() {
    local spec item name target
    spec=$1
    for item in $spec; do
        name=${item%%=*}
        target=${item#*=}
        case "$name" in
            [a-y]:|[a-y]::) ;;
            *) echo "wine-run: bad drive mapping '$item'" >&2; return 1 ;;
        esac
        ln -sfn "$target" "$WINEPREFIX/dosdevices/$name" || return 1
    done
}

# The program as the named Windows version sees it: Wine keys the version by the
# program's file name, so other versions run a copy named <name>.<version>.exe.
mb_winver_exe() {
    local exe=$1 ver=$2
    if [ "$ver" = "winxp" ] || [ -z "$ver" ]; then
        printf '%s' "$exe"
        return 0
    fi
    local dir base copy
    dir=$(dirname "$exe")
    base=$(basename "$exe" .exe)
    copy="$dir/$base.$ver.exe"
    if [ ! -f "$copy" ] || [ "$exe" -nt "$copy" ]; then
        cp -f "$exe" "$copy.$$" && mv -f "$copy.$$" "$copy" || return 1
    fi
    local stamp="$WINEPREFIX/.mb-winver-$base.$ver"
    if [ ! -f "$stamp" ]; then
        (
            exec 9>"$WINEPREFIX.winver.lock"
            flock 9
            if [ ! -f "$stamp" ]; then
                mb_wine_quiet "$MB_WINE" reg add "HKCU\\Software\\Wine\\AppDefaults\\$base.$ver.exe" /v Version /d "$ver" /f || exit 1
                touch "$stamp"
            fi
        ) || return 1
    fi
    printf '%s' "$copy"
}
