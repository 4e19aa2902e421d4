#!/usr/bin/env bash
# A prefix hook of the i686 build: a crashing 32-bit program ends at once
# instead of starting the debugger, which cannot attach under the emulator
# and would hold the test until its time-out.
set -u
wine=${WINELOADER:?}
for view in /reg:64 /reg:32; do
    "$wine" reg add "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug" /v Debugger /d "" /f $view || exit 1
    "$wine" reg add "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug" /v Auto /d 0 /f $view || exit 1
done
