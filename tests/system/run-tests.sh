#!/usr/bin/env bash
# run-tests.sh TEST_EXE [GTEST_ARGS...]: runs the system tests in a fresh private Wine prefix
# with a CD-ROM drive R:, a network drive S:, a DISC.ID on R: and on C: (only the CD-ROM's
# counts) and a folder tree that links back to itself; removes all of it afterwards.
set -uo pipefail
tools=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../tools" && pwd)
scratch=$(mktemp -d /tmp/gs-system.XXXXXX)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k >/dev/null 2>&1; rm -rf "$scratch"' EXIT
"$tools/wine-prefix" "$WINEPREFIX" >/dev/null || { echo "cannot prepare a Wine prefix"; exit 1; }
mkdir -p "$scratch/cd" "$scratch/net" "$scratch/cycle/sub"
touch "$scratch/cd/DISC.ID" "$WINEPREFIX/drive_c/DISC.ID" "$scratch/cycle/f.txt" "$scratch/cycle/sub/g.txt"
ln -s .. "$scratch/cycle/sub/back"
ln -s "$scratch/cd" "$WINEPREFIX/dosdevices/r:"
ln -s "$scratch/net" "$WINEPREFIX/dosdevices/s:"
wine reg add 'HKLM\Software\Wine\Drives' /v r: /d cdrom /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Wine\Drives' /v s: /d network /f >/dev/null 2>&1
wineserver -w  # drive types are read when the server starts
export GS_SYS_CYCLE="Z:$(echo "$scratch/cycle" | tr / '\\')"  # also tells the tests they run here
"$tools/wine-run" "$@"
