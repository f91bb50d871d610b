#!/usr/bin/env bash
# bench-merge.sh GSPAK [DIR] [TARGET_MIB] [ADD_MIB] [ROUNDS]: times `gspak pak merge`, appending
# ADD_MIB (default 1024) of new entries to a TARGET_MIB (default 2048) archive, against dd
# appending the same bytes (bs=1M oflag=append conv=notrunc,fsync) to a copy of the same target;
# alternating, ROUNDS times (default 2). Peak memory from /usr/bin/time. GSPAK may be a .exe:
# it then runs under wine in $WINEPREFIX (prepared with tools/wine-prefix), whose server is
# started before the timing. Files are made in DIR (default build/bench-merge) and removed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
g=$(realpath "$1"); dir=${2:-$root/build/bench-merge}; tmib=${3:-2048}; amib=${4:-1024}; rounds=${5:-2}
run=()
case $g in
  *.exe) : "${WINEPREFIX:?set WINEPREFIX to a prefix made by tools/wine-prefix}"
         source "$root/tools/wine-env.sh"
         run=(env LC_ALL=ja_JP.UTF-8 wine)
         wineserver -p60 </dev/null >/dev/null 2>&1 || true
         "${run[@]}" cmd /c exit </dev/null >/dev/null 2>&1 || true ;;
esac
mkdir -p "$dir"; cd "$dir"; trap 'rm -f "$dir"/*.pak "$dir"/chunk "$dir"/payload "$dir"/sums' EXIT
c=128  # MiB an entry; smaller runs take smaller entries
for v in "$tmib" "$amib"; do [ "$v" -lt "$c" ] && c=$v; done
head -c $((c << 20)) /dev/urandom > chunk
args=(); for i in $(seq 1 $((tmib / c))); do args+=("old$i=chunk:1:1"); done
"${run[@]}" "$g" pak build target.pak "${args[@]}" >/dev/null
args=(); for i in $(seq 1 $((amib / c))); do args+=("new$i=chunk:1:1"); done
"${run[@]}" "$g" pak build source.pak "${args[@]}" >/dev/null
for i in $(seq 1 $((amib / c))); do cat chunk; done > payload
echo "target $(stat -c %s target.pak) bytes, source $(stat -c %s source.pak) bytes, ${run[*]:-native} $g"
rm -f sums
for r in $(seq 1 "$rounds"); do
  cp target.pak t.pak; sync
  /usr/bin/time -f "%e %M" -o dd.time dd if=payload of=t.pak bs=1M oflag=append conv=notrunc,fsync status=none
  cp target.pak t.pak; sync
  /usr/bin/time -f "%e %M" -o merge.time "${run[@]}" "$g" pak merge source.pak t.pak --bit 2 >/dev/null
  read -r dds ddk < dd.time; read -r ms mk < merge.time
  echo "$dds $ms" >> sums
  echo "round $r: dd ${dds} s (peak ${ddk} KiB), merge ${ms} s (peak ${mk} KiB), ratio $(awk -v a="$ms" -v b="$dds" 'BEGIN { printf "%.2f", a / b }')"
done
awk '{ d += $1; m += $2 } END { printf "total: dd %.2f s, merge %.2f s, ratio %.2f\n", d, m, m / d }' sums
