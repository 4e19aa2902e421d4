#!/usr/bin/env bash
# A prefix hook of the i686 build: the prefix's copies of Wine's own modules
# (system32 and syswow64, about 1.2 GB a prefix, and every named prefix is a
# copy) become hard links to the root's files they were copied from, where the
# bytes are the same. Wine writes these copies only when it updates a prefix
# for a new Wine, and a new Wine comes with a new root.
set -u
cache=${MB_I686_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/musicbridge/i686}
root=$cache/root
windows=${WINEPREFIX:?}/drive_c/windows

share() {
    local dir=$1 from=$2 file source
    [ -d "$dir" ] && [ -d "$from" ] || return 0
    for file in "$dir"/*.dll "$dir"/*.exe "$dir"/*.drv "$dir"/*.ocx "$dir"/*.cpl "$dir"/*.acm "$dir"/*.tlb; do
        [ -f "$file" ] && [ ! -L "$file" ] || continue
        source=$from/${file##*/}
        [ -f "$source" ] || continue
        # Already one file, or different bytes: left as it is.
        [ "$file" -ef "$source" ] && continue
        cmp -s "$file" "$source" || continue
        ln -f "$source" "$file" || return 1
    done
}

share "$windows/system32" "$root/usr/lib/x86_64-linux-gnu/wine/x86_64-windows" || exit 1
share "$windows/syswow64" "$root/usr/lib/i386-linux-gnu/wine/i386-windows" || exit 1
