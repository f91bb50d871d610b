#!/usr/bin/env bash
# run-e2e.sh UPDATE_EXE TEST_EXE [GTEST_ARGS...]
# Runs the end-to-end suite in a fresh private Wine prefix with drive E: an 8 MiB tmpfs (for a
# full drive and a drive root) and F: a CD-ROM, and removes them afterwards.
set -uo pipefail
tools=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../tools" && pwd)
update_exe=${1:?usage: run-e2e.sh UPDATE_EXE TEST_EXE [args]}
test_exe=${2:?usage: run-e2e.sh UPDATE_EXE TEST_EXE [args]}
shift 2

scratch=$(mktemp -d /tmp/gs-e2e.XXXXXX)
export WINEPREFIX=$scratch/prefix
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  mountpoint -q "$scratch/small" 2>/dev/null && umount "$scratch/small"
  rm -rf "$scratch"
}
trap cleanup EXIT

"$tools/wine-prefix" "$WINEPREFIX" >/dev/null || { echo "cannot prepare a Wine prefix"; exit 1; }
mkdir -p "$scratch/small" "$scratch/cdrom"
if mount -t tmpfs -o size=8m tmpfs "$scratch/small" 2>/dev/null; then
  ln -s "$scratch/small" "$WINEPREFIX/dosdevices/e:"
  ln -s "$scratch/cdrom" "$WINEPREFIX/dosdevices/f:"
  wine reg add 'HKLM\Software\Wine\Drives' /v f: /d cdrom /f </dev/null >/dev/null 2>&1
else
  echo "no tmpfs (mounting one needs root): the tests on drives E: and F: are left out"
  set -- --gtest_filter='-SetupE2E.*:PackagedE2E.AFullDrive*:*DriveRoot' "$@"
fi
wineserver -k >/dev/null 2>&1 || true  # drive letters are read when the server starts

export GS_BIN="Z:$(readlink -f "$(dirname "$update_exe")" | tr / '\\')"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$tools/wine-run" "$test_exe" "$@"
