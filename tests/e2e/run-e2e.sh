#!/usr/bin/env bash
# run-e2e.sh UPDATE_EXE TEST_EXE [GTEST_ARGS...]
# Runs the end-to-end suite in a fresh private Wine prefix with drive D: mapped to a scratch
# folder, and removes both afterwards.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tools=$here/../../tools
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
mkdir -p "$scratch/drive_d"
ln -s "$scratch/drive_d" "$WINEPREFIX/dosdevices/d:"
# E: is a small drive of its own (an 8 MiB tmpfs, which needs root) for the full-disk case.
mkdir -p "$scratch/small"
if mount -t tmpfs -o size=8m tmpfs "$scratch/small" 2>/dev/null; then
  ln -s "$scratch/small" "$WINEPREFIX/dosdevices/e:"
  export GS_E2E_SMALL_DRIVE=E:
  # F: is a CD-ROM, for the install menu's refusals.
  mkdir -p "$scratch/cdrom"
  ln -s "$scratch/cdrom" "$WINEPREFIX/dosdevices/f:"
  wine reg add 'HKLM\Software\Wine\Drives' /v f: /d cdrom /f </dev/null >/dev/null 2>&1
fi
wineserver -k >/dev/null 2>&1 || true  # drive letters are read when the server starts

export GS_UPDATE_EXE="Z:$(readlink -f "$update_exe" | tr / '\\')"
export GS_SETUP_EXE="Z:$(readlink -f "$(dirname "$update_exe")/gssetup.exe" | tr / '\\')"
export GS_FAKE_DDRAW="Z:$(readlink -f "$(dirname "$update_exe")/fake/ddraw.dll" | tr / '\\')"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$tools/wine-run" "$test_exe" "$@"
