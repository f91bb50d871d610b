#!/usr/bin/env bash
# bench-copy.sh [SIZE_MIB] [ROUNDS]: times copying three files of SIZE_MIB (default 512) through
# the copy engine (CGsCopyList::CopyAll, which flushes each copy and renames it into place),
# against two anchors that are just as durable: Wine's CopyFileExA each followed by
# FlushFileBuffers, and the native durable copy (dd in 1 MiB pieces with fsync, rename, fsync of
# the folder). The checked copy (each archive hashed against its SHA-256 while it is copied) is
# timed against the engine's unchecked copy of the same files. Plain CopyFileExA, which leaves everything in the cache, is timed for reference.
# Interleaved for ROUNDS rounds (default 5); prints the median of each with the ratios. Under
# Wine the engine copies with its own 1 MiB chunked routine (the copy seam's choice there).
# Needs build/x64/bin/copybench.exe. The files live in a temporary folder removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-512}
rounds=${2:-5}
bench=$PWD/build/x64/bin/copybench.exe
[ -f "$bench" ] || { echo "build first: cmake --build build/x64 (copybench.exe missing)" >&2; exit 2; }
export WINEPREFIX=${WINEPREFIX:-$PWD/build/wineprefix}
source tools/wine-env.sh
tools/wine-prefix "$WINEPREFIX" >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/gs-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src" "$work/engine" "$work/checked" "$work/plain" "$work/flush" "$work/native"
names=(Scr01.pak Graphic01.pak Voice01.pak)
echo "making 3 x $size MiB in $work"
for n in "${names[@]}"; do
  head -c "$((size << 20))" /dev/urandom >"$work/src/$n"
done
# The first Wine program of a fresh prefix can fail to start; a path must look like one.
win() {
  local p t
  for t in 1 2 3 4 5; do
    p=$(winepath -w "$1" 2>/dev/null | tr -d '\r')
    [[ "$p" =~ ^[A-Z]:\\ && "$p" != *"could not"* ]] && { echo "$p"; return; }
    sleep 1
  done
  echo "bench-copy: winepath failed for $1" >&2; exit 1
}
wsrc=$(win "$work/src")

declare -A times
# A timing counts only for a copy that holds the sources' bytes.
copied() {  # mode folder
  local n
  for n in "${names[@]}"; do
    cmp -s "$work/src/$n" "$2/$n" || { echo "bench-copy: $1 did not copy $n" >&2; exit 1; }
  done
}
# Before each timing: every earlier copy goes, so that the cache holds the sources and one copy
# at most (with more, this machine's timings swung twofold), and the deletions are synced (ext4
# discards freed blocks at its next journal commit, which would land inside the timing); the
# sources are read into the cache again (the machine's proactive reclaim evicts them).
settle() {
  rm -f "$work"/{engine,checked,plain,flush,native}/*
  sync
  cat "$work/src/"* >/dev/null
}
run_wine() {  # mode folder
  settle
  local t
  t=$(tools/wine-run "$bench" "$1" "$wsrc" "$(win "$work/$2")" "${names[@]}" 2>"$work/wine.log" | tr -d '\r') ||
    { cat "$work/wine.log" >&2; exit 1; }
  times[$1]+="$t "
  copied "$1" "$work/$2"
}
run_native() {
  settle
  local a b n
  a=$(date +%s.%N)
  for n in "${names[@]}"; do
    dd if="$work/src/$n" of="$work/native/$n.tmp" bs=1M conv=fsync status=none
    mv "$work/native/$n.tmp" "$work/native/$n"
    sync "$work/native"
  done
  b=$(date +%s.%N)
  times[native]+="$(awk -v a="$a" -v b="$b" 'BEGIN {printf "%.3f", b - a}') "
  copied native "$work/native"
}
# One warm-up round that is not counted, then the measured rounds; the order of the four
# rotates from round to round so none always runs right after the files were written.
order=(engine checked plain plain-flush native)
run_one() {
  case $1 in
    native) run_native ;;
    plain-flush) run_wine plain-flush flush ;;
    *) run_wine "$1" "$1" ;;
  esac
}
for m in "${order[@]}"; do run_one "$m"; done
times=()
for ((r = 0; r < rounds; r++)); do
  for ((i = 0; i < ${#order[@]}; i++)); do run_one "${order[(r + i) % ${#order[@]}]}"; done
  echo "round $((r + 1)) done"
done

ratio() { awk -v x="$1" -v y="$2" 'BEGIN {printf "%.3f", x / y}'; }
median() { printf '%s\n' $1 | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
e=$(median "${times[engine]}"); p=$(median "${times[plain]}")
f=$(median "${times[plain-flush]}"); d=$(median "${times[native]}"); c=$(median "${times[checked]}")
printf 'all runs (s): checked %s| engine %s| plain %s| plain+flush %s| native durable %s\n' "${times[checked]}" "${times[engine]}" "${times[plain]}" "${times[plain-flush]}" "${times[native]}"
printf 'median of %d rounds, 3 x %d MiB:\n' "$rounds" "$size"
printf '  engine (CopyAll)            %7.3f s\n' "$e"
printf '  checked engine (SHA256SUMS) %7.3f s   checked/engine     = %.3f\n' "$c" "$(ratio "$c" "$e")"
printf '  CopyFileExA + flush x3      %7.3f s   engine/plain+flush = %.3f\n' "$f" "$(ratio "$e" "$f")"
printf '  native durable copy x3      %7.3f s   engine/native      = %.3f\n' "$d" "$(ratio "$e" "$d")"
printf '  plain CopyFileExA x3        %7.3f s   engine/plain       = %.3f (not durable: reference)\n' "$p" "$(ratio "$e" "$p")"
