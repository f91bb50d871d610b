#!/usr/bin/env bash
# reliability.sh [--short]: runs the real update.exe (and "gssetup packaged") under Wine against
# kills and faults and prints one table: scenario, runs, strikes inside, archives intact,
# messages right, "Ext" right. A row passes only when every count equals its runs.
#   inside:   the kill (or the medium's removal) landed inside the work: tools/strike.py
#             waits until the temporary copy of a randomly drawn archive has passed a random
#             byte count (merge rows: until the archive has grown that far past its old size),
#             strikes, and confirms the copy or merge was still unfinished then ("-": no strike)
#   intact:   every archive is byte for byte the old or the new version the scenario wants and
#             nothing else lies beside them (a killed run may leave its temporary copy, which
#             the next run, which must complete, removes); read-only archives are writable after
#   messages: exactly the boxes the scenario must show, in order (none where none may appear)
#   Ext:      what the scenario wants; after a copy, bit 2 is set exactly when all three are new
# The full form uses 256 MiB archives and 50 kills; --short (part of ./test.sh) 16 MiB and a few.
# GS_SEED repeats a run's draws; GS_KILLS and GS_FAULTS set the runs of the kill and fault rows.
# Needs build/x64 (update.exe, gsdemo.exe, gssetup.exe), build/host/bin/gspak and python3; the
# disk rows need root for a tmpfs.
set -uo pipefail
cd "$(dirname "$0")/.."
source tools/ensure-deps.sh
short=0; [ "${1:-}" = --short ] && short=1
bin=$PWD/build/x64/bin
strike=$PWD/tools/strike.py
if [ $short = 1 ]; then kills=3 faults=2 mib=16; else kills=50 faults=5 mib=256; fi
[ -n "${GS_KILLS:-}" ] && kills=$GS_KILLS
[ -n "${GS_FAULTS:-}" ] && faults=$GS_FAULTS
seed=${GS_SEED:-$RANDOM}; RANDOM=$seed; echo "seed $seed (GS_SEED repeats it)" >&2

work=$(mktemp -d /tmp/gs-reliability.XXXXXX)
export WINEPREFIX=$work/prefix
source tools/wine-env.sh
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  for m in "$work/small" "$work/roomy"; do mountpoint -q "$m" 2>/dev/null && umount "$m"; done
  rm -rf "$work"
}
trap cleanup EXIT
tools/wine-prefix "$WINEPREFIX" >/dev/null || { echo "cannot prepare a Wine prefix"; exit 1; }

names=(Scr01.pak Graphic01.pak Voice01.pak)
list=$(IFS=,; echo "${names[*]}")
c=$WINEPREFIX/drive_c
size=$((mib * 1024 * 1024 + 4096))  # a new archive
mkdir -p "$work/old" "$work/new" "$c/Disc/ZUNA"
for n in "${names[@]}"; do
  head -c $((mib * 1024 * 1024)) /dev/urandom >"$work/old/$n"
  head -c $size /dev/urandom >"$work/new/$n"
done
cp "$work/new/"* "$c/Disc/ZUNA/"
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

# A fresh installation in $game (a Unix folder) recorded as $gamewin.
install() {
  game=$1 gamewin=$2
  rm -rf "$game" && mkdir -p "$game"
  cp "$work/old/"* "$game/"
  reg delete 'HKCU\Software\KIRO' /f
  reg add "$key" /v Path /t REG_SZ /d "$gamewin" /f
  reg add "$key" /v SavePath /t REG_SZ /d 'C:\Save' /f
  reg add "$key" /v Ext /t REG_DWORD /d 1 /f
  [ "$(ext)" = 0x1 ] || echo "    warning: the install record was not written" >&2
}
# gsdemo clicks through one run (OK, then OK on every box; Cancel when back at the confirmation)
# and logs the boxes it met.
demo=(env LC_ALL=ja_JP.UTF-8 wine 'C:\gsdemo.exe' -)
drive() {
  [ $# -gt 0 ] || set -- 'C:\Disc\update.exe' 'C:\Disc'
  "${demo[@]}" "$@" </dev/null 2>/dev/null | tr -d '\r' | iconv -f CP932 -t UTF-8 >"$work/log"; }
# drive under tools/strike.py: $1 copy|merge, $2 the folder of the archives, $3 the archive's
# index, $4 the byte count, $5 its whole size, $6 the program, then the strike (--kill or
# --rename FROM TO), then gsdemo's arguments. The verdict goes to $work/strike.
struck() {
  local watch=$1 dir=$2 k=$3 b=$4 whole=$5 prog=$6; shift 6
  local how=("$1"); [ "$1" = --rename ] && { how+=("$2" "$3"); shift 2; }; shift
  python3 "$strike" --watch "$watch" --dir "$dir" --names "$list" --index "$k" --bytes "$b" \
    --final "$whole" --program "$prog" "${how[@]}" --log "$work/raw" -- "${demo[@]}" "$@" >"$work/strike"
  local rc=$?
  tr -d '\r' <"$work/raw" | iconv -f CP932 -t UTF-8 >"$work/log"
  echo "    $(cat "$work/strike")" >&2
  [ $rc = 0 ] && inside_n=$((inside_n + 1))
}
# A random byte count, at least $2, inside a piece of work of $1 bytes, leaving at least a
# quarter of it (and at least 4 MiB) to go, so that the strike still finds the work unfinished.
draw() {
  local low=${2:-1} room=$(($1 - ($1 / 4 > 4194304 ? $1 / 4 : 4194304)))
  echo $((low + (RANDOM * 32768 + RANDOM) % (room - low + 1)))
}
boxes() { grep '^box' "$work/log"; }

# Per run: r_in, r_ms and r_ex start at 1 and fall to 0 on a failed check; end_run counts them.
begin_run() { r_in=1 r_ms=1 r_ex=1; }
end_run() { intact_n=$((intact_n + r_in)) msg_n=$((msg_n + r_ms)) ext_n=$((ext_n + r_ex)); }
# The state of the archives as one letter each: N new, O old, X anything else; "+" follows when
# something else lies beside them (with $1 non-empty, a killed run's temporary copy may).
state() {
  local n s=
  for n in "${names[@]}"; do
    if cmp -s "$game/$n" "$work/new/$n"; then s+=N
    elif cmp -s "$game/$n" "$work/old/$n"; then s+=O
    else s+=X; fi
  done
  find "$game" -mindepth 1 -maxdepth 1 | grep -vqE "/(Scr01|Graphic01|Voice01)\.pak\$${1:+|/~gs\.tmp\$}" && s+=+
  echo "$s"
}
# judge STATE BOXES EXT [temp]: STATE a pattern of N/O per archive ("*": any mix of old and
# new), BOXES the exact boxes (lines), EXT the exact value ("" for no value: no record); with
# STATE "*", EXT "" means 0x3 exactly when all three are new, else 0x1.
judge() {
  local want=$1 wantbox=$2 wantext=$3 s e
  s=$(state "${4:-}")
  if [ "$want" = "*" ]; then [[ $s =~ ^[NO]{3}$ ]]; else [ "$s" = "$want" ]; fi ||
    { r_in=0; echo "    archives $s, wanted $want" >&2; }
  [ "$(boxes)" = "$wantbox" ] || { r_ms=0; echo "    boxes: $(boxes | tr '\n' '|'), wanted: $(tr '\n' '|' <<<"$wantbox")" >&2; }
  [ "$want" = "*" ] && { [ "$s" = NNN ] && wantext=0x3 || wantext=0x1; }
  e=$(ext)
  [ "$e" = "$wantext" ] || { r_ex=0; echo "    Ext '$e' with archives $s, wanted '$wantext'" >&2; }
}
rows=() status=0
start() { runs=$1 inside_n=- intact_n=0 msg_n=0 ext_n=0; echo "== $2" >&2; [ -z "${3:-}" ] || inside_n=0; }
row() {
  local v out=()
  for v in "$inside_n" "$intact_n" "$msg_n" "$ext_n"; do
    [ "$v" = - ] && out+=(-) || { out+=("$v/$runs"); [ "$v" = "$runs" ] || status=1; }
  done
  rows+=("$(printf '| %-51s | %4s | %6s | %6s | %8s | %5s |' "$1" "$runs" "${out[@]}")"); }
done_box='box "Update": アップデート完了しました'
copy_box() { echo "box \"copy file error\": $1\\ZUNA\\$2 ↓ $3\\$2 ファイルをコピーできません"; }
game0=$c/Game

# A kill inside the copy of a random archive, then the next run completes.
kill_row() {  # $1 unix folder, $2 its Windows name, $3 runs, $4 title, $5 lowest byte count
  local i k b
  start "$3" "$4" inside
  for ((i = 0; i < $3; i++)); do
    install "$1" "$2"
    k=$((RANDOM % 3)) b=$(draw "$size" "${5:-1}")
    begin_run
    struck copy "$game" "$k" "$b" "$size" update.exe --kill 'C:\Disc\update.exe' 'C:\Disc'
    judge "*" "" "" temp      # the killed run: no box, every archive old or new, Ext unchanged
    drive                     # the next run completes and removes the killed run's copy
    judge NNN "$done_box" 0x3
    end_run
  done
  row "$4"
}
kill_row "$game0" 'C:\Game' "$kills" "update killed inside a copy, then run again"

# A malformed SHA256SUMS beside the program is refused, naming its line, before anything is
# written: a bad line, a name the medium cannot hold, a second entry for one archive.
# $1 the medium's Unix folder, $2 its Windows name, $3 the installer, then gsdemo's arguments.
malformed_sums() {
  local medium=$1 mwin=$2 setup=$3 h kind; shift 3
  h=$(printf '%064d' 7)
  for kind in "$h  ZUNA/Scr01.pak
not a checksum|2 行目: 書式が正しくありません" "$h  ZUNA/Extra.pak|1 行目: このメディアにないファイル名です" \
              "$h  ZUNA/Voice01.pak
$h *zuna\\voice01.pak|2 行目: 同じファイルが二度あります"; do
    $setup
    printf '%s\n' "${kind%|*}" >"$medium/SHA256SUMS"
    begin_run; drive "$@"
    judge OOO "box \"file check error\": $mwin\\SHA256SUMS ${kind#*|} アップデートできません" 0x1
    end_run
  done
  rm "$medium/SHA256SUMS"
}
start 3 "malformed SHA256SUMS"
malformed_sums "$c/Disc" 'C:\Disc' "install $game0 C:\\Game"
row "malformed SHA256SUMS: bad line, unknown name, twice"

start "$faults" "destination locked by another process"
for ((i = 0; i < faults; i++)); do
  install "$game0" 'C:\Game'
  win 'C:\gsdemo.exe' --lock 'C:\Game\Graphic01.pak' 20000 >/dev/null &
  locker=$!; sleep 1
  begin_run
  drive
  judge NOO "$(copy_box 'C:\Disc' Graphic01.pak 'C:\Game')" 0x1
  end_run
  kill $locker 2>/dev/null; wait $locker 2>/dev/null
  wineserver -k >/dev/null 2>&1 || true
done
row "destination locked by another process"

# The medium is drive D:, a folder that disappears while an archive is being copied: the open
# source reads on (as under Wine it does), the next archive cannot be opened.
medium=$work/medium
mkdir -p "$medium/ZUNA" && cp "$work/new/"* "$medium/ZUNA/" && cp "$bin/update.exe" "$medium/"
ln -sfn "$medium" "$WINEPREFIX/dosdevices/d:"
start "$faults" "medium removed during the copy" inside
for ((i = 0; i < faults; i++)); do
  install "$game0" 'C:\Game'
  k=$((RANDOM % 2))
  begin_run
  struck copy "$game" "$k" "$(draw "$size")" "$size" update.exe --rename "$medium" "$medium.out" 'D:\update.exe' 'D:\'
  [ ! -d "$medium.out" ] || mv "$medium.out" "$medium"
  want=NNO; [ $k = 0 ] && want=NOO
  judge $want "$(copy_box 'D:' "${names[k + 1]}" 'C:\Game')" 0x1
  end_run
done
row "medium removed during the copy"

# As root Wine's read-only attribute stops neither writes nor a rename over the file: what
# counts is what the program does with it, succeeding and leaving writable archives.
start "$faults" "read-only destination archives"
for ((i = 0; i < faults; i++)); do
  install "$game0" 'C:\Game'
  for n in "${names[@]}"; do win attrib +r "C:\\Game\\$n" >/dev/null; done
  begin_run
  for n in "${names[@]}"; do
    [ $((0$(stat -c %a "$game/$n") & 0222)) = 0 ] || { r_in=0; echo "    $n did not become read-only" >&2; }
  done
  drive
  judge NNN "$done_box" 0x3
  for n in "${names[@]}"; do
    [ $((0$(stat -c %a "$game/$n") & 0200)) != 0 ] || { r_in=0; echo "    $n is read-only after the update" >&2; }
  done
  end_run
done
row "read-only destination archives"

start 1 "install folder too long for the archives' paths"
long=$(printf 'L%.0s' $(seq 1 243))  # C:\ and 243 bytes: 246, one byte past the longest that fits
install "$c/$long" "C:\\$long"
begin_run; drive
judge OOO 'box "Info": Quillamet のインストール先のパスが長すぎるため アップデートできません' 0x1
end_run
row "install folder of 246 bytes"

start 3 "odd registry values"
for kind in over-long dword expand; do
  install "$game0" 'C:\Game'
  case $kind in
    over-long) reg add "$key" /v Path /t REG_SZ /d "C:\\$(printf 'p%.0s' $(seq 1 300))" /f
               want=(OOO 'box "Info": Quillamet のインストール先のパスが長すぎるため アップデートできません' 0x1) ;;
    # Not installed; a "Path" of a type that names no folder leaves the record as it was.
    dword)     reg add "$key" /v Path /t REG_DWORD /d 7 /f
               want=(OOO 'box "Info": Quillamet が インストールされていません' 0x1) ;;
    expand)    reg add "$key" /v Path /t REG_EXPAND_SZ /d '%SystemDrive%\Game' /f
               want=(NNN "$done_box" 0x3) ;;
  esac
  begin_run; drive
  judge "${want[@]}"
  end_run
done
row "Path over-long, REG_DWORD, REG_EXPAND_SZ"

if mkdir -p "$work/small" "$work/roomy" &&
   mount -t tmpfs -o size=$((mib * 3 + mib / 2 + 1))m tmpfs "$work/small" 2>/dev/null &&
   mount -t tmpfs -o size=$((mib * 4 + 1))m tmpfs "$work/roomy" 2>/dev/null; then
  ln -sfn "$work/small" "$WINEPREFIX/dosdevices/e:"
  ln -sfn "$work/roomy" "$WINEPREFIX/dosdevices/f:"
  wineserver -k >/dev/null 2>&1 || true
  start "$faults" "full disk"
  for ((i = 0; i < faults; i++)); do
    install "$work/small/Game" 'E:\Game'
    begin_run; drive
    judge OOO 'box "Setup error": 空き容量が不足しています' 0x1
    end_run
  done
  row "disk too small for the one-by-one replace"
  # Room for the old archives and one new one: the next run fits only if it first removes
  # the killed run's copy (at least a quarter of an archive here).
  kill_row "$work/roomy/Game" 'F:\Game' "$faults" "killed on a disk with room for one more, run again" $((size / 4))
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
  pargs=('C:\PDisc\gssetup.exe' 'C:\PDisc' 0 packaged)
  # Archives compared by their listings and entry bytes.
  state() {
    local n s=
    for n in "${names[@]}"; do
      snap "$game0/$n" >"$p/now"
      if cmp -s "$p/now" "$p/new-$n.snap"; then s+=N
      elif cmp -s "$p/now" "$p/old-$n.snap"; then s+=O
      else s+=X; fi
    done
    [ "$(find "$game0" -mindepth 1 | wc -l)" -eq 3 ] || s+=+
    echo "$s"
  }

  start "$kills" "packaged update killed inside a merge" inside
  for ((i = 0; i < kills; i++)); do
    pinstall
    k=$((RANDOM % 3)) n=${names[k]}
    grown=$(($(stat -c %s "$p/new-$n") - $(stat -c %s "$p/old-$n")))
    begin_run
    struck merge "$game0" "$k" "$(draw "$grown")" "$(stat -c %s "$p/new-$n")" gssetup.exe --kill "${pargs[@]}"
    judge "*" "" ""           # the killed run: no box, every archive old or new, Ext unchanged
    drive "${pargs[@]}"       # the next run completes, silently
    judge NNN "" 0x3
    end_run
  done
  row "packaged update killed inside a merge, run again"

  # A random one of the three is cut off; the other two are still merged.
  start "$faults" "one damaged update archive"
  for ((i = 0; i < faults; i++)); do
    pinstall
    k=$((RANDOM % 3)) n=${names[k]}
    cp "$pd/ZUNA/$n" "$p/keep"
    truncate -s $(((RANDOM * 32768 + RANDOM) % $(stat -c %s "$p/keep"))) "$pd/ZUNA/$n"  # its table is cut off
    want=NNN; want=${want:0:k}O${want:k+1}
    begin_run; drive "${pargs[@]}"
    judge $want "box \"更新チェック\": C:\\PDisc\\ZUNA\\$n ファイルが開けません
box \"更新チェック\": ファイルの更新に失敗しました" 0x1
    end_run
    mv "$p/keep" "$pd/ZUNA/$n"
  done
  row "packaged update, one damaged update archive"

  start 3 "packaged update, malformed SHA256SUMS"
  malformed_sums "$pd" 'C:\PDisc' pinstall "${pargs[@]}"
  row "packaged update, malformed SHA256SUMS"

  # The product's merge code natively, where a kill costs no Wine start-up.
  # No boxes and no record here: intact covers the archive after each kill and gspak's exit 5
  # with the target unchanged on a full disk.
  start "$kills" "gspak pak merge killed, and on a full disk" inside
  out=$(tools/merge-safety.sh "$gspak" "$kills" 2>&1); rc=$?
  echo "$out" | sed 's/^/    /' >&2
  inside_n=$(sed -n 's/^inside \([0-9]*\) of .*/\1/p' <<<"$out"); inside_n=${inside_n:-0}
  { [ $rc = 0 ] || [ $rc = 3 ]; } && intact_n=$kills
  msg_n=- ext_n=-
  row "gspak pak merge killed $kills times; full disk"
else
  echo "packaged update: skipped (needs build/x64/bin/gssetup.exe and build/host/bin/gspak)" >&2
fi

echo
echo "| scenario                                            | runs | inside | intact | messages |  Ext  |"
echo "|-----------------------------------------------------|------|--------|--------|----------|-------|"
printf '%s\n' "${rows[@]}"
exit $status
