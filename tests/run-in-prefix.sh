#!/usr/bin/env bash
# run-in-prefix.sh TEST_EXE [GTEST_ARGS...]: runs a Windows test program in a fresh private Wine
# prefix, removed afterwards, with what the system and end-to-end tests expect: E: an 8 MiB tmpfs
# (a full drive, a drive root; mounting it needs root), R: a CD-ROM with a DISC.ID (one on C:
# must not count), S: a network drive, a folder tree that links back to itself, and GS_BIN, the
# folder of the programs under test (the test program's own, or $GS_PROGRAMS).
set -uo pipefail
kArchives=(Scr01 Graphic01 Voice01)
tools=$(cd "$(dirname "${BASH_SOURCE[0]}")/../tools" && pwd)
scratch=$(mktemp -d /tmp/gs-test.XXXXXX)
export WINEPREFIX=$scratch/prefix
source "$tools/wine-env.sh"
trap 'wineserver -k >/dev/null 2>&1; mountpoint -q "$scratch/small" && umount "$scratch/small"; rm -rf "$scratch"' EXIT
"$tools/wine-prefix" "$WINEPREFIX" >/dev/null || { echo "cannot prepare a Wine prefix"; exit 1; }
mkdir -p "$scratch/small" "$scratch/cd" "$scratch/net" "$scratch/cycle/sub"
touch "$scratch/cd/DISC.ID" "$WINEPREFIX/drive_c/DISC.ID" "$scratch/cycle/f.txt" "$scratch/cycle/sub/g.txt"
ln -s .. "$scratch/cycle/sub/back"
ln -s "$scratch/cd" "$WINEPREFIX/dosdevices/r:"
ln -s "$scratch/net" "$WINEPREFIX/dosdevices/s:"
# /reg:64: with Wine's 32-bit side installed, `wine reg` is the 32-bit reg.exe, whose HKLM\Software
# writes land in Wow6432Node, where Wine's drive manager never looks.
wine reg add 'HKLM\Software\Wine\Drives' /v r: /d cdrom /f /reg:64 </dev/null >/dev/null 2>&1
wine reg add 'HKLM\Software\Wine\Drives' /v s: /d network /f /reg:64 </dev/null >/dev/null 2>&1
if mount -t tmpfs -o size=8m tmpfs "$scratch/small" 2>/dev/null; then
  ln -s "$scratch/small" "$WINEPREFIX/dosdevices/e:"
else
  echo "no tmpfs (mounting one needs root): the tests on drive E: are left out"
  set -- "$1" --gtest_filter='-SetupE2E.*:PackagedE2E.AFullDrive*:*DriveRoot' "${@:2}"
fi
# The end-to-end program also gets the two update media that tools/make-medium.sh lays out from
# generated game trees (the new one changes and adds files), the old game's archives, and what a
# native merge of the packaged medium makes of them; both media must hold the new game.
if [[ $(basename "$1") == test_e2e* ]]; then
  m=$scratch/media g=$tools/../build/host/bin/gspak
  mkdir -p "$m/installed" "$m/merged" "$m/check/merged" "$m/check/plain/ZUNA"
  for n in "${kArchives[@]}"; do
    mkdir -p "$m/old/$n/表" && head -c 3000 /dev/urandom >"$m/old/$n/a.bin" && head -c 70000 /dev/urandom >"$m/old/$n/表/big.dat"
  done
  find "$m/old" -exec touch -d '-1 hour' {} + && cp -a "$m/old" "$m/new"
  for n in "${kArchives[@]}"; do head -c 5000 /dev/urandom >"$m/new/$n/a.bin" && echo added >"$m/new/$n/表/new.txt"; done
  "$tools/make-medium.sh" "$m/new" "$m/plain" >/dev/null && "$tools/make-medium.sh" "$m/new" "$m/packaged" --packaged "$m/old" >/dev/null ||
    { echo "cannot make the update media"; exit 1; }
  # Refused, leaving nothing: a change the merge would not take (an older time), a medium of nothing.
  cp -a "$m/old" "$m/older" && echo changed >"$m/older/Voice01/a.bin" && touch -d '-2 hours' "$m/older/Voice01/a.bin"
  for d in older old; do
    ! "$tools/make-medium.sh" "$m/$d" "$m/no" --packaged "$m/old" >/dev/null 2>"$m/err" && [ ! -e "$m/no" ] &&
      grep -q "$([ $d = old ] && echo 'hold nothing' || echo "'a.bin' changed")" "$m/err" || { echo "make-medium took $d"; exit 1; }
  done
  for n in "${kArchives[@]}"; do
    "$g" pak build "$m/installed/$n.pak" --from "$m/old/$n" >/dev/null && cp "$m/installed/$n.pak" "$m/merged/" &&
      "$g" pak merge "$m/packaged/ZUNA/$n.pak" "$m/merged/$n.pak" --bit 2 >/dev/null || exit 1
    for a in "merged/$n" "plain/ZUNA/$n"; do
      "$g" pak extract "$m/$a.pak" --all "$m/check/$a" >/dev/null && diff -r "$m/check/$a" "$m/new/$n" ||
        { echo "$a.pak does not hold the new game"; exit 1; }
    done
  done
  export GS_MEDIA="Z:$(echo "$m" | tr / '\\')"
fi
wineserver -w  # drive types are read when the server starts
export GS_BIN="Z:$(readlink -f "${GS_PROGRAMS:-$(dirname "$1")}" | tr / '\\')"
export GS_SYS_CYCLE="Z:$(echo "$scratch/cycle" | tr / '\\')"  # also tells the tests they run here
"$tools/wine-run" "$@"
