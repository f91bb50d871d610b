#!/usr/bin/env bash
# run-tests.sh TEST_EXE [GTEST_ARGS...]: runs the system tests in a fresh private Wine prefix
# with a CD-ROM drive R:, a network drive S: and a folder tree that links back to itself;
# removes all of it afterwards.
set -uo pipefail
tools=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../tools" && pwd)
test_exe=${1:?usage: run-tests.sh TEST_EXE [args]}
shift
scratch=$(mktemp -d /tmp/gs-system.XXXXXX)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT
"$tools/wine-prefix" "$WINEPREFIX" >/dev/null || { echo "cannot prepare a Wine prefix"; exit 1; }
mkdir -p "$scratch/cd/DATA" "$scratch/net" "$scratch/cycle/sub"
touch "$scratch/cd/DISC.ID" "$scratch/cd/DATA/A.PAK" "$scratch/cycle/f.txt" "$scratch/cycle/sub/g.txt"
ln -s .. "$scratch/cycle/sub/back"
ln -s "$scratch/cd" "$WINEPREFIX/dosdevices/r:"
ln -s "$scratch/net" "$WINEPREFIX/dosdevices/s:"
wine reg add 'HKLM\Software\Wine\Drives' /v r: /d cdrom /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Wine\Drives' /v s: /d network /f >/dev/null 2>&1
wineserver -w  # drive types are read when the server starts
export GS_SYS_DRIVES=1 GS_SYS_CYCLE="Z:$(echo "$scratch/cycle" | tr / '\\')"
"$tools/wine-run" "$test_exe" "$@"
