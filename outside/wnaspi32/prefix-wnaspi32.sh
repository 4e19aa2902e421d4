#!/usr/bin/env bash
# New Wine prefixes load our WNASPI32.DLL (beside the programs) instead of
# Wine's own, as a Windows 98 machine with the player's ASPI layer would.
set -eu
"${WINELOADER:-wine}" reg add 'HKCU\Software\Wine\DllOverrides' /v wnaspi32 /d native /f </dev/null >/dev/null 2>&1
