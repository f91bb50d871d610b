#!/usr/bin/env bash
# bench.sh [COPY_MIB] [MERGE_TARGET_MIB] [MERGE_ADD_MIB]: the performance suite. Runs every
# benchmark of the product side by side in one run and prints one table, each row against an
# anchor measured in the same run and a goal:
#   - the update's copy of three COPY_MIB (default 512) archives, which flushes each one and
#     renames it into place, against equally durable anchors: Wine's CopyFileExA + flush and the
#     native durable copy (tools/bench-copy.sh); engine at most 1.2x each; the same copy checked
#     against SHA-256 while it copies, against the unchecked one; at most 1.25x (medians of 7
#     interleaved rounds: single rounds swing with this machine's write-back);
#   - LZSS compress and expand against the plain baseline (bench_lzss, native); at least 1x;
#   - the merge appending MERGE_ADD_MIB (default 1024) to a MERGE_TARGET_MIB (default 2048)
#     archive against an fsync'ed dd append of the same bytes, natively and under Wine
#     (tools/bench-merge.sh); at most 1.2x, peak memory under 64 MiB;
#   - the merge decision at 50,000 x 50,000 entries (bench_pak); under 1 s;
#   - build --from and extract --all of 10,000 files of 100 KiB against tar -cf and tar -xf
#     (tools/bench-tree.sh); at most 1x, peak memory under 64 MiB; tar + sync for reference.
# A goal missed prints MISSED in its row, and the suite exits 1.
# Needs build/x64 and build/host (./test.sh builds both). Takes several minutes at full size.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/ensure-deps.sh
copy=${1:-512} tmib=${2:-2048} amib=${3:-1024}
log=$(mktemp -d /tmp/gs-bench.XXXXXX)
export WINEPREFIX=$log/prefix
source tools/wine-env.sh
trap 'WINEPREFIX=$WINEPREFIX wineserver -k >/dev/null 2>&1 || true; rm -rf "$log"' EXIT
tools/wine-prefix "$WINEPREFIX" >/dev/null
rows=() missed=0
# row MEASUREMENT HOW VALUE GOAL TEST: TEST is an awk condition on v (the value) and p (a
# peak in MiB, when given as $6); a value that is not a number misses its goal too.
row() {
  local met
  met=$(awk -v v="$3" -v p="${6:-0}" "BEGIN { print (v ~ /^[0-9.]+\$/ && ($5)) ? \"met\" : \"MISSED\" }")
  [ "$4" != reference ] || met=-  # an anchor shown for comparison: no goal to meet
  [ "$met" = met ] || missed=1
  rows+=("$(printf '| %-58s | %-36s | %7s | %-28s | %s |' "$1" "$2" "$3" "$4" "$met")")
}

echo "== copy: engine vs durable anchors (3 x $copy MiB)" >&2
tools/bench-copy.sh "$copy" 7 | tee "$log/copy" >&2
ratio_of() { awk -v k="$1" '$0 ~ k { sub(/.*= */, ""); print $1; exit }' "$log/copy"; }
row "update copy, 3 x $copy MiB, engine / CopyFileExA + flush" "median of 7 rounds, Wine" "$(ratio_of 'engine/plain\\+flush')" "at most 1.2" "v <= 1.2"
row "update copy, 3 x $copy MiB, checked / unchecked engine" "median of 7 rounds, Wine" "$(ratio_of 'checked/engine')" "at most 1.25" "v <= 1.25"
row "update copy, 3 x $copy MiB, engine / native durable copy" "median of 7 rounds, Wine vs native" "$(ratio_of 'engine/native')" "at most 1.2" "v <= 1.2"

echo "== LZSS against the plain baseline" >&2
build/host/bin/bench_lzss --benchmark_repetitions=3 --benchmark_report_aggregates_only=true 2>&1 | tee "$log/lzss" >&2
while IFS='|' read -r _ op input base codec ratio _; do
  row "LZSS $(echo $op) $(echo $input): codec / baseline throughput" "median of 3, 16 MiB, native" "$(echo ${ratio%x*})" "at least 1" "v >= 1"
done < <(grep -E '^\| (compress|expand) ' "$log/lzss")

echo "== merge against dd ($amib MiB into $tmib MiB)" >&2
merge_row() {
  local where=$1; shift
  "$@" | tee "$log/merge" >&2
  local peak
  peak=$(awk '/^round/ { gsub(/[()]/, ""); for (i = 1; i <= NF; i++) if ($i == "merge") p = $(i + 4) } END { print p }' "$log/merge")
  row "merge $amib MiB into $tmib MiB / dd append + fsync" "4 rounds, $where; peak $((peak / 1024)) MiB" \
      "$(awk '/^total/ { print $NF }' "$log/merge")" "at most 1.2; peak under 64 MiB" "v <= 1.2 && p < 64" "$((peak / 1024))"
}
merge_row native tools/bench-merge.sh build/host/bin/gspak "$log/m" "$tmib" "$amib" 4
merge_row Wine tools/bench-merge.sh build/x64/bin/gspak.exe "$log/m" "$tmib" "$amib" 4

echo "== tree: build --from and extract --all against tar (10,000 x 100 KiB)" >&2
tools/bench-tree.sh build/host/bin/gspak 10000 100 3 | tee "$log/tree" >&2
for what in build extract; do
  line=$(grep "^$what:" "$log/tree")
  ratio=$(sed 's/.*gspak\/tar = \([0-9.]*\),.*/\1/' <<<"$line"); synced=$(sed 's/.*gspak\/tar+sync = \([0-9.]*\);.*/\1/' <<<"$line")
  peak=$(sed 's/.*peak gspak \([0-9.]*\) MiB.*/\1/' <<<"$line")
  flag=$([ $what = build ] && echo "-c" || echo "-x")
  row "tree $what, 10,000 x 100 KiB / tar $flag" "median of 3, native; peak $peak MiB" "$ratio" "at most 1.0; peak under 64 MiB" \
      "v <= 1.0 && p < 64" "${peak%.*}"
  row "tree $what, 10,000 x 100 KiB / tar $flag + sync" "median of 3, native" "$synced" "reference" "v >= 0"
done

echo "== merge decision, 50,000 x 50,000" >&2
build/host/bin/bench_pak 50000 | tee "$log/pak" >&2
keyed=$(awk '/^keyed/ { print $(NF - 3) }' "$log/pak"); pair=$(awk '/^pairwise/ { print $(NF - 3) }' "$log/pak")
grep -q '^same decisions' "$log/pak" || keyed="MISMATCH"
row "merge decision 50,000 x 50,000: keyed, seconds" "native; the pairwise loop took $pair s" "$keyed" "under 1 s, same decisions" "v < 1"

echo
echo "| measurement | how | ratio | goal | result |"
echo "|---|---|---:|---|---|"
printf '%s\n' "${rows[@]}"
exit $missed
