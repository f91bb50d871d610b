#!/usr/bin/env bash
# reliability.sh [--short]: runs the real update.exe under Wine against kills and faults and
# prints one table: scenario, runs, archives intact, messages right, "Ext" right.
#   intact:   every archive of the game is byte for byte its old or its new version, and
#             nothing else (no temporary file) lies beside them; after a kill, the next run
#             completes and removes the killed run's temporary copy
#   messages: the boxes the program showed are the ones the scenario must show
#   Ext:      bit 2 is set exactly when all three archives are new
# The full form kills the update of three 256 MiB archives at 50 random moments; --short
# (part of ./test.sh) uses 8 MiB archives and a few runs of each scenario.
# Needs build/x64 (update.exe, gsdemo.exe); the full-disk row needs root for a tmpfs.
set -uo pipefail
cd "$(dirname "$0")/.."
source tools/ensure-deps.sh
short=0; [ "${1:-}" = --short ] && short=1
bin=$PWD/build/x64/bin
if [ $short = 1 ]; then kills=3 faults=2 mib=8; else kills=50 faults=5 mib=256; fi
[ -n "${GS_KILLS:-}" ] && kills=$GS_KILLS

work=$(mktemp -d /tmp/gs-reliability.XXXXXX)
export WINEPREFIX=$work/prefix
source tools/wine-env.sh
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  mountpoint -q "$work/small" 2>/dev/null && umount "$work/small"
  rm -rf "$work"
}
trap cleanup EXIT
tools/wine-prefix "$WINEPREFIX" >/dev/null || { echo "cannot prepare a Wine prefix"; exit 1; }

names=(Scr01.pak Graphic01.pak Voice01.pak)
c=$WINEPREFIX/drive_c
mkdir -p "$work/old" "$work/new" "$c/Disc/ZUNA"
for n in "${names[@]}"; do
  head -c $((mib * 1024 * 1024)) /dev/urandom >"$work/old/$n"
  head -c $((mib * 1024 * 1024 + 4096)) /dev/urandom >"$work/new/$n"
done
cp "$bin/update.exe" "$c/Disc/"
cp "$bin/gsdemo.exe" "$c/"

win() { env LC_ALL=ja_JP.UTF-8 wine "$@" </dev/null 2>/dev/null | tr -d '\r' | iconv -f CP932 -t UTF-8 2>/dev/null; }
# Wine's reg tool now and then fails on a busy machine: a harness step is tried up to three times.
reg() { for t in 1 2 3; do win reg "$@" >/dev/null && return; sleep 0.2; done; }
key='HKCU\Software\KIRO\ZUNA'
ext() {
  local v t
  for t in 1 2 3; do
    v=$(win reg query "$key" /v Ext | awk '/Ext/ {print $3}') && [ -n "$v" ] && break
    sleep 0.2
  done
  echo "$v"
}

# A fresh installation in $game (a Unix folder) recorded as $gamewin, with the new archives on
# the medium.
install() {
  game=$1 gamewin=$2
  rm -rf "$game" && mkdir -p "$game"
  cp "$work/old/"* "$game/"
  cp "$work/new/"* "$c/Disc/ZUNA/"
  reg delete 'HKCU\Software\KIRO' /f
  reg add "$key" /v Path /t REG_SZ /d "$gamewin" /f
  reg add "$key" /v SavePath /t REG_SZ /d 'C:\Save' /f
  reg add "$key" /v Ext /t REG_DWORD /d 1 /f
  [ "$(ext)" = 0x1 ] || echo "    warning: the install record was not written" >&2
}
# Clicks through one run (OK, then OK on every box; Cancel when back at the confirmation);
# the boxes it met go to $work/log. $1: kill that many ms after OK.
drive() { win 'C:\gsdemo.exe' - 'C:\Disc\update.exe' 'C:\Disc' ${1:-} >"$work/log"; }
boxes() { grep '^box' "$work/log" | tr '\n' ' '; }
# Files beside the archives; $2 non-empty: a killed run's temporary copy is allowed (the next
# run removes it).
leftovers() { find "$1" -mindepth 1 -maxdepth 1 | grep -vE "/(Scr01|Graphic01|Voice01)\.pak\$${2:+|/~gs\.tmp\$}"; }
# Counts one run: intact, Ext consistent, and the boxes against the pattern in $1.
count() {
  local fresh=0 n extra
  intact_ok=1
  for n in "${names[@]}"; do
    if cmp -s "$game/$n" "$work/new/$n"; then fresh=$((fresh + 1))
    elif ! cmp -s "$game/$n" "$work/old/$n"; then intact_ok=0; echo "    $n is neither old nor new" >&2; fi
  done
  extra=$(leftovers "$game" "${3:-}")
  [ -z "$extra" ] || { intact_ok=0; echo "    left beside the archives: $extra" >&2; }
  local e; e=$(ext)
  if [ "$fresh" -eq 3 ]; then [ "$e" = 0x3 ] || [ -n "${2:-}" ]; else [ "$e" = 0x1 ]; fi && ext_n=$((ext_n + 1)) ||
    echo "    Ext $e with $fresh new archives; boxes: $(boxes); $(grep -E '^(killed|exit)' "$work/log" | tr '\n' ' ')" >&2
  intact_n=$((intact_n + intact_ok))
  if [[ "$(boxes)" =~ $1 ]]; then msg_n=$((msg_n + 1)); else echo "    unexpected boxes: $(boxes)" >&2; fi
}
rows=() status=0
row() {
  [ "$intact_n" = "$runs" ] && [ "$msg_n" = "$runs" ] && [ "$ext_n" = "$runs" ] || status=1
  rows+=("$(printf '| %-44s | %4s | %6s | %8s | %5s |' "$1" "$runs" "$intact_n/$runs" "$msg_n/$runs" "$ext_n/$runs")"); }
start() { runs=$1 intact_n=0 msg_n=0 ext_n=0; echo "== $2" >&2; }
done_re='^box "Update": アップデート完了しました $'
applied_re='^box "Info": Quillamet アップデート１は インストールされています $'
game0=$c/Game

# How long a whole update takes here, so that kills land anywhere in it.
install "$game0" 'C:\Game'
t0=$(date +%s%N); drive; span=$((($(date +%s%N) - t0) / 1000000))
echo "a whole update takes ${span} ms" >&2

start "$kills" "update killed at random moments"
seed=${GS_SEED:-$RANDOM}; RANDOM=$seed; echo "seed $seed (GS_SEED repeats it)" >&2
for ((i = 0; i < kills; i++)); do
  install "$game0" 'C:\Game'
  drive $((1 + (RANDOM * 32768 + RANDOM) % span))
  count '' allow-unrecorded allow-temp  # a kill may land after the last copy, before the record
  before_ok=$intact_ok
  drive  # the next run completes
  fresh=0; for n in "${names[@]}"; do cmp -s "$game0/$n" "$work/new/$n" && fresh=$((fresh + 1)); done
  [ "$fresh" -eq 3 ] && [ "$(ext)" = 0x3 ] && [[ "$(boxes)" =~ $done_re|$applied_re ]] && [ -z "$(leftovers "$game0")" ] ||
    { intact_n=$((intact_n - before_ok)); echo "    the next run: $fresh new, Ext $(ext), $(boxes)" >&2; }
done
row "update killed, then run again"

start "$faults" "destination locked by another process"
for ((i = 0; i < faults; i++)); do
  install "$game0" 'C:\Game'
  win 'C:\gsdemo.exe' --lock 'C:\Game\Graphic01.pak' 20000 >/dev/null &
  locker=$!; sleep 1
  drive
  count '^box "copy file error": C:\\Disc\\ZUNA\\Graphic01\.pak ↓ C:\\Game\\Graphic01\.pak ファイルをコピーできません $'
  kill $locker 2>/dev/null; wait $locker 2>/dev/null
  wineserver -k >/dev/null 2>&1 || true
done
row "destination locked by another process"

start "$faults" "source vanishes during the run"
for ((i = 0; i < faults; i++)); do
  install "$game0" 'C:\Game'
  (sleep "0.$((RANDOM % 10))"; rm -f "$c/Disc/ZUNA/Voice01.pak") &
  drive; wait
  count '^(box "Update": アップデート完了しました |box "(copy file error|file open error)": [^ ]+( ↓ [^ ]+ ファイルをコピーできません)? )$'
done
row "source vanishes during the run"

start "$faults" "read-only destination archives"
for ((i = 0; i < faults; i++)); do
  install "$game0" 'C:\Game'
  for n in "${names[@]}"; do win attrib +r "C:\\Game\\$n" >/dev/null; done
  drive
  count "$done_re|"'^box "copy file error": [^ ]+ ↓ [^ ]+ ファイルをコピーできません $'
done
row "read-only destination archives"

start 1 "install folder too long for the archives' paths"
long=$(printf 'L%.0s' $(seq 1 243))  # C:\ and 243 bytes: 246, one byte past the longest that fits
install "$c/$long" "C:\\$long"
drive
count '^box "Info": Quillamet のインストール先のパスが長すぎるため アップデートできません $'
row "install folder of 246 bytes"

start 3 "odd registry values"
for kind in over-long dword expand; do
  install "$game0" 'C:\Game'
  case $kind in
    over-long) reg add "$key" /v Path /t REG_SZ /d "C:\\$(printf 'p%.0s' $(seq 1 300))" /f
               re='^box "Info": Quillamet のインストール先のパスが長すぎるため アップデートできません $' ;;
    dword)     reg add "$key" /v Path /t REG_DWORD /d 7 /f
               re='^box "Info": Quillamet が インストールされていません $' ;;
    expand)    reg add "$key" /v Path /t REG_EXPAND_SZ /d '%SystemDrive%\Game' /f; re=$done_re ;;
  esac
  drive
  count "$re"
done
row "Path over-long, REG_DWORD, REG_EXPAND_SZ"

if mkdir -p "$work/small" && mount -t tmpfs -o size=$((mib * 3 + mib / 2 + 1))m tmpfs "$work/small" 2>/dev/null; then
  ln -sfn "$work/small" "$WINEPREFIX/dosdevices/e:"
  wineserver -k >/dev/null 2>&1 || true
  start "$faults" "full disk"
  for ((i = 0; i < faults; i++)); do
    install "$work/small/Game" 'E:\Game'
    game=$work/small/Game
    drive
    count '^box "Setup error": 空き容量が不足しています $'
  done
  row "disk too small for the one-by-one replace"
else
  echo "full disk: skipped (a tmpfs needs root)" >&2
fi

# The packaged update: "gssetup packaged" merges update archives into the installed ones.
gspak=$PWD/build/host/bin/gspak
if [ -x "$bin/gssetup.exe" ] && [ -x "$gspak" ]; then
  p=$work/pak; pd=$c/PDisc; mkdir -p "$p" "$pd/ZUNA"
  cp "$bin/gssetup.exe" "$pd/"
  for i in 0 1 2 3 4 5; do head -c $((mib * 1024 * 1024 / 4 + i * 4099)) /dev/urandom >"$p/d$i"; done
  for n in "${names[@]}"; do
    "$gspak" pak build "$p/old-$n" --key 0x1200 a.dat=$p/d0:1 b.dat=$p/d1:1 c.dat=$p/d2:3 >/dev/null
    "$gspak" pak build "$pd/ZUNA/$n" --key 0x34 A.DAT=$p/d3:2 c.dat=$p/d4:2 n.dat=$p/d5:1 >/dev/null
    cp "$p/old-$n" "$p/new-$n" && "$gspak" pak merge "$pd/ZUNA/$n" "$p/new-$n" --bit 2 >/dev/null
  done
  # An archive's listing and the checksum of every live entry's bytes.
  # Offsets are left out: a killed merge may leave bytes past the end, so the next merge appends
  # at other offsets, and the archive is still exactly the new one.
  snap() {
    "$gspak" pak list "$1" 2>&1 | awk -F'\t' -v OFS='\t' '{ $5 = ""; print }'
    "$gspak" pak list "$1" 2>/dev/null | awk -F'\t' '$7 == "live" { print $2 }' | while read -r e; do
      "$gspak" pak extract "$1" "$e" "$p/x" >/dev/null && echo "$e $(cksum <"$p/x")"
    done
  }
  for n in "${names[@]}"; do snap "$p/old-$n" >"$p/old-$n.snap"; snap "$p/new-$n" >"$p/new-$n.snap"; done
  pinstall() {
    install "$game0" 'C:\Game'
    for n in "${names[@]}"; do cp "$p/old-$n" "$game0/$n"; done
  }
  pdrive() { win 'C:\gsdemo.exe' - 'C:\PDisc\gssetup.exe' 'C:\PDisc' "${1:-0}" packaged >"$work/log"; }
  # Like count, for archives compared by their listings and entry bytes.
  pcount() {
    local fresh=0 n
    intact_ok=1
    for n in "${names[@]}"; do
      snap "$game0/$n" >"$p/now"
      if cmp -s "$p/now" "$p/new-$n.snap"; then fresh=$((fresh + 1))
      elif ! cmp -s "$p/now" "$p/old-$n.snap"; then intact_ok=0; fi
    done
    [ "$(find "$game0" -mindepth 1 | wc -l)" -eq 3 ] || intact_ok=0
    local e; e=$(ext)
    if [ "$fresh" -eq 3 ]; then [ "$e" = 0x3 ] || [ -n "${2:-}" ]; else [ "$e" = 0x1 ]; fi && ext_n=$((ext_n + 1))
    intact_n=$((intact_n + intact_ok))
    if [[ "$(boxes)" =~ $1 ]]; then msg_n=$((msg_n + 1)); else echo "    unexpected boxes: $(boxes)" >&2; fi
  }

  pinstall
  t0=$(date +%s%N); pdrive; span=$((($(date +%s%N) - t0) / 1000000))
  echo "a whole packaged update takes ${span} ms" >&2
  start "$kills" "packaged update killed at random moments"
  for ((i = 0; i < kills; i++)); do
    pinstall
    pdrive $((1 + (RANDOM * 32768 + RANDOM) % span))
    pcount '' allow-unrecorded
    before_ok=$intact_ok
    pdrive  # the next run completes
    fresh=0; for n in "${names[@]}"; do cmp -s <(snap "$game0/$n") "$p/new-$n.snap" && fresh=$((fresh + 1)); done
    [ "$fresh" -eq 3 ] && [ "$(ext)" = 0x3 ] && [ -z "$(boxes)" ] ||
      { intact_n=$((intact_n - before_ok)); echo "    the next run: $fresh new, Ext $(ext), $(boxes)" >&2; }
  done
  row "packaged update killed, then run again"

  start "$faults" "one damaged update archive"
  for ((i = 0; i < faults; i++)); do
    pinstall
    cp "$pd/ZUNA/Voice01.pak" "$p/keep"
    truncate -s $(((RANDOM * 32768 + RANDOM) % $(stat -c %s "$p/keep"))) "$pd/ZUNA/Voice01.pak"  # its table is cut off
    pdrive
    pcount '^box "更新チェック": C:\\PDisc\\ZUNA\\Voice01\.pak ファイルが開けません box "更新チェック": ファイルの更新に失敗しました $'
    cmp -s <(snap "$game0/Voice01.pak") "$p/old-Voice01.pak.snap" &&
      cmp -s <(snap "$game0/Scr01.pak") "$p/new-Scr01.pak.snap" || intact_n=$((intact_n - intact_ok))
    mv "$p/keep" "$pd/ZUNA/Voice01.pak"
  done
  row "packaged update, one damaged update archive"

  # The product's merge code natively, where a kill costs no Wine start-up.
  start 1 "gspak pak merge killed, and on a full disk"
  if out=$(tools/merge-safety.sh "$gspak" "$kills" 2>&1); then intact_n=1 msg_n=1 ext_n=1; fi
  echo "$out" | sed 's/^/    /' >&2
  row "gspak pak merge killed $kills times; full disk"
else
  echo "packaged update: skipped (needs build/x64/bin/gssetup.exe and build/host/bin/gspak)" >&2
fi

echo
echo "| scenario                                     | runs | intact | messages |  Ext  |"
echo "|----------------------------------------------|------|--------|----------|-------|"
printf '%s\n' "${rows[@]}"
exit $status
