#!/usr/bin/env bash
# Builds what is missing, makes a demo installation of the game in a private Wine prefix and
# runs the update. With $DISPLAY it opens update.exe for you to click through; without one it
# runs under Xvfb, clicks through by itself, saves a PNG of every window into out/screens/
# and prints a summary.
set -euo pipefail
cd "$(dirname "$0")"
source tools/ensure-deps.sh

if [ ! -x build/x64/bin/update.exe ] || [ ! -x build/x64/bin/gssetup.exe ] || [ ! -x build/x64/bin/gsdemo.exe ] || [ ! -x build/x64/bin/gspak.exe ] || [ -n "$(find src tools/gsdemo -newer build/x64/bin/update.exe -type f 2>/dev/null | head -1)" ]; then
  cmake --preset x64 >/dev/null
  cmake --build --preset x64 -j "$(nproc)" --target update gssetup gsdemo gspak
fi

demo=$PWD/out/demo
rm -rf "$demo" out/screens
mkdir -p "$demo" out/screens
export WINEPREFIX=$demo/prefix
source tools/wine-env.sh
GS_WINE_GRAPHICS=x11 tools/wine-prefix "$WINEPREFIX" >/dev/null

# The demo installation: the game with its old archives, the update medium beside it.
game=$WINEPREFIX/drive_c/Games/Quillamet
disc=$WINEPREFIX/drive_c/UpdateDisc
mkdir -p "$game" "$disc/ZUNA"
cp build/x64/bin/update.exe build/x64/bin/gssetup.exe "$disc/"
for name in Scr01.pak Graphic01.pak Voice01.pak; do
  head -c $((16 * 1024 * 1024)) /dev/urandom >"$game/$name"
  head -c $((24 * 1024 * 1024)) /dev/urandom >"$disc/ZUNA/$name"
done
key='HKCU\Software\KIRO\ZUNA'
reg() { env LC_ALL=ja_JP.UTF-8 wine reg "$@" </dev/null >/dev/null 2>&1; }
reg add "$key" /v Path /t REG_SZ /d 'C:\Games\Quillamet' /f
reg add "$key" /v SavePath /t REG_SZ /d 'C:\Games\Quillamet\SAVE' /f
reg add "$key" /v SaveType /t REG_DWORD /d 2 /f
reg add "$key" /v Res /t REG_DWORD /d 3 /f
reg add "$key" /v Ext /t REG_DWORD /d 1 /f
ext() { env LC_ALL=ja_JP.UTF-8 wine reg query "$key" /v Ext </dev/null 2>/dev/null | tr -d '\r' | awk '/Ext/ {print $3}'; }
ext_before=$(ext)

status=0
if [ -n "${DISPLAY:-}" ]; then
  echo "Opening update.exe on $DISPLAY: click through the update."
  (cd "$disc" && env LC_ALL=ja_JP.UTF-8 wine 'C:\UpdateDisc\update.exe') || status=$?
  echo "exit code: $status"
else
  # A private X server and a Wine virtual desktop, so windows get title bars.
  display=:$((90 + RANDOM % 100))
  Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true; wineserver -k >/dev/null 2>&1 || true' EXIT
  sleep 1
  shots_win='C:\shots'
  shots=$WINEPREFIX/drive_c/shots
  mkdir -p "$shots"
  cp build/x64/bin/gsdemo.exe "$WINEPREFIX/drive_c/"
  # Runs gsdemo LOG PREFIX ARGS... on the virtual desktop and takes each photo it asks for,
  # as out/screens/PREFIX<name>.png.
  demo_run() {
    local log=$1 prefix=$2 driver want name
    shift 2
    DISPLAY=$display env LC_ALL="${demo_lang:-ja_JP.UTF-8}" wine explorer /desktop=shot,800x600 \
      'C:\gsdemo.exe' "$shots_win" "$@" </dev/null >>"$log" 2>&1 &
    driver=$!
    while kill -0 $driver 2>/dev/null; do
      for want in "$shots"/*.want; do
        [ -e "$want" ] || continue
        name=$(basename "$want" .want)
        DISPLAY=$display import -window root "out/screens/$prefix$name.png" 2>/dev/null || true
        rm -f "$want"
        touch "$shots/$name.done"
      done
      sleep 0.1
    done
    wait $driver || true
  }
  # The update, then the framework's setup program with its install menu.
  for program in update gssetup; do
    demo_run "$demo/driver.log" "" "C:\\UpdateDisc\\$program.exe" 'C:\UpdateDisc'
  done
  # The same on a system set to English (code page 1252), in a prefix made under that language
  # as an English Windows is (a prefix made under ja_JP keeps Shift-JIS title-bar fonts, which
  # draw no Latin letters under 1252): the update and the install menu, as out/screens/en_US-*.png.
  (
    export WINEPREFIX=$demo/prefix-en_US demo_lang=en_US.UTF-8
    source tools/wine-env.sh
    GS_LANG=$demo_lang GS_WINE_GRAPHICS=x11 tools/wine-prefix "$WINEPREFIX" >/dev/null
    shots=$WINEPREFIX/drive_c/shots
    mkdir -p "$shots" "$WINEPREFIX/drive_c/UpdateDisc/ZUNA" "$WINEPREFIX/drive_c/Games/Quillamet"
    cp build/x64/bin/update.exe build/x64/bin/gssetup.exe "$WINEPREFIX/drive_c/UpdateDisc/"
    cp build/x64/bin/gsdemo.exe "$WINEPREFIX/drive_c/"
    for name in Scr01.pak Graphic01.pak Voice01.pak; do
      head -c $((8 * 1024 * 1024)) /dev/urandom >"$WINEPREFIX/drive_c/UpdateDisc/ZUNA/$name"
    done
    reg add "$key" /v Path /t REG_SZ /d 'C:\Games\Quillamet' /f
    reg add "$key" /v Ext /t REG_DWORD /d 1 /f
    for program in update gssetup; do
      demo_run "$demo/driver-en_US.log" en_US- "C:\\UpdateDisc\\$program.exe" 'C:\UpdateDisc'
    done
    wineserver -k >/dev/null 2>&1 || true
  )
  [ "$(grep -c '^exit code: 0' "$demo/driver-en_US.log")" = 2 ] || { echo "  the run under en_US did not end well"; status=1; }
  iconv -f CP932 -t UTF-8 "$demo/driver.log" 2>/dev/null | tr -d '\r' | grep -E '^(box|screen|exit code)' | sed 's/^/  /' || true
  [ "$(grep -c '^exit code: 0' "$demo/driver.log")" = 2 ] || status=1

  # The packaged update: "gssetup packaged" merges update archives into the archives of a
  # second installation under its notice, which the driver photographs.
  pgame=$WINEPREFIX/drive_c/Games/QuillametPak
  pdisc=$WINEPREFIX/drive_c/PackDisc
  mkdir -p "$pgame" "$pdisc/ZUNA"
  cp build/x64/bin/gssetup.exe "$pdisc/"
  head -c $((256 * 1024 * 1024)) /dev/zero >"$demo/new.dat"
  printf 'old data' >"$demo/old.dat"
  gspak() { env LC_ALL=ja_JP.UTF-8 wine build/x64/bin/gspak.exe "$@" </dev/null >>"$demo/gspak.log" 2>&1; }
  for name in Scr01.pak Graphic01.pak Voice01.pak; do
    gspak pak build "$pgame/$name" --key 0x5A data.bin="$demo/old.dat:1:100"
    gspak pak build "$pdisc/ZUNA/$name" data.bin="$demo/new.dat:2:100" extra.bin="$demo/old.dat:1:1"
  done
  reg add "$key" /v Path /t REG_SZ /d 'C:\Games\QuillametPak' /f
  demo_run "$demo/packaged.log" packaged- 'C:\PackDisc\gssetup.exe' 'C:\PackDisc' 0 packaged
  echo "Packaged update (gssetup packaged): $(tr -d '\r' < "$demo/packaged.log" | grep -E '^(screen|exit code)' | tr '\n' ' ')"
  grep -q '^exit code: 1' "$demo/packaged.log" || status=1
  for name in Scr01.pak Graphic01.pak Voice01.pak; do
    echo "  $name: $(env LC_ALL=ja_JP.UTF-8 wine build/x64/bin/gspak.exe pak list "$pgame/$name" </dev/null 2>&1 | tr -d '\r' | head -1)"
  done
fi

echo "Summary:"
for name in Scr01.pak Graphic01.pak Voice01.pak; do
  if cmp -s "$game/$name" "$disc/ZUNA/$name"; then echo "  $name: replaced"; else echo "  $name: NOT replaced"; status=1; fi
done
echo "  Ext before: ${ext_before:-missing}, after: $(ext)"
ls out/screens/*.png >/dev/null 2>&1 && echo "  screenshots: $(ls out/screens | tr '\n' ' ')"
wineserver -k >/dev/null 2>&1 || true
exit $status
