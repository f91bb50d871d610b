#!/usr/bin/env bash
# bench-tree.sh GSPAK [FILES] [KIB] [ROUNDS]: times `gspak pak build OUT --from DIR` against
# `tar -cf`, and `gspak pak extract X --all DIR` against `tar -xf`, on FILES (default 10,000)
# files of KIB (default 100) KiB of random bytes in 100 folders, natively, ROUNDS (default 3)
# rounds each, alternating; prints each round, the medians and the ratios gspak / tar, and
# each side's peak memory (/usr/bin/time %M). gspak flushes what it writes (the archive, the
# extracted tree); tar does not, so tar followed by `sync` of its output is timed too. All
# files live in a temporary folder under /tmp, removed at the end.
set -euo pipefail
g=$(realpath "$1"); n=${2:-10000}; kib=${3:-100}; rounds=${4:-3}
dir=$(mktemp -d /tmp/gs-bench-tree.XXXXXX)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
per=$(( (n + 99) / 100 ))
for d in $(seq -w 0 99); do
  count=$(( n - 10#$d * per )); (( count > per )) && count=$per; (( count > 0 )) || break
  mkdir -p "tree/d$d"
  head -c $(( count * kib * 1024 )) /dev/urandom | split -b "${kib}K" -a 4 -d - "tree/d$d/f"
done
echo "tree: $(find tree -type f | wc -l) files, $(du -sm tree | cut -f1) MiB; $g"
# timed NAME COMMAND...: appends "seconds peak_kib" to NAME.t
timed() { local name=$1; shift; sync; /usr/bin/time -f "%e %M" -o "$name.one" "$@" >/dev/null; cat "$name.one" >> "$name.t"; }
for r in $(seq 1 "$rounds"); do
  rm -f t.tar g.pak; timed tar_c tar -cf t.tar -C tree .
  rm -f t.tar; timed tar_c_sync sh -c 'tar -cf t.tar -C tree . && sync t.tar'
  timed gspak_c "$g" pak build g.pak --from tree --quiet
  rm -rf x; mkdir x; timed tar_x tar -xf t.tar -C x
  rm -rf x; mkdir x; timed tar_x_sync sh -c 'tar -xf t.tar -C x && sync -f x'
  rm -rf y; timed gspak_x "$g" pak extract g.pak --all y --quiet
  diff -rq tree y >/dev/null || { echo "extract --all does not reproduce the tree" >&2; exit 1; }
  echo "round $r: tar -cf $(tail -1 tar_c.t | cut -d' ' -f1) s (+sync $(tail -1 tar_c_sync.t | cut -d' ' -f1) s)," \
       "build --from $(tail -1 gspak_c.t | cut -d' ' -f1) s; tar -xf $(tail -1 tar_x.t | cut -d' ' -f1) s" \
       "(+sync $(tail -1 tar_x_sync.t | cut -d' ' -f1) s), extract --all $(tail -1 gspak_x.t | cut -d' ' -f1) s"
done
median() { sort -n "$1.t" | awk '{ s[NR] = $1 } END { print s[int((NR + 1) / 2)] }'; }
peak() { sort -n -k2 "$1.t" | awk 'END { printf "%.1f", $2 / 1024 }'; }
ratio() { awk -v a="$(median "$1")" -v b="$(median "$2")" 'BEGIN { printf "%.2f", a / b }'; }
echo "build: median gspak $(median gspak_c) s, tar $(median tar_c) s, tar+sync $(median tar_c_sync) s;" \
     "ratio gspak/tar = $(ratio gspak_c tar_c), gspak/tar+sync = $(ratio gspak_c tar_c_sync); peak gspak $(peak gspak_c) MiB, tar $(peak tar_c) MiB"
echo "extract: median gspak $(median gspak_x) s, tar $(median tar_x) s, tar+sync $(median tar_x_sync) s;" \
     "ratio gspak/tar = $(ratio gspak_x tar_x), gspak/tar+sync = $(ratio gspak_x tar_x_sync); peak gspak $(peak gspak_x) MiB, tar $(peak tar_x) MiB"
