#!/usr/bin/env bash
# make-medium.sh NEW_DIR OUT [--packaged OLD_DIR] [--sign CERT.p12 [--timestamp URL]]: lays out the update medium in OUT, a folder
# that must not exist yet. NEW_DIR holds the game's archive folders Scr01, Graphic01 and Voice01.
#   default:     OUT/update.exe and OUT/ZUNA/{Scr01,Graphic01,Voice01}.pak, each archive built
#                from NEW_DIR's folder of the same name (the update replaces the archives whole);
#   --packaged:  OUT/gssetup.exe and archives that hold only what changed against OLD_DIR's
#                folders (pak diff), which "gssetup.exe packaged" merges into the installed ones.
# --sign signs the program with Authenticode (osslsigncode) before the list is written, with the
# PKCS#12 file's certificate and key; its password comes from GS_SIGN_PASSWORD, never from the
# command line; --timestamp has a time-stamp server (RFC 3161) countersign it.
# The same tree gives the same archives and list: gspak takes the files' times, not the clock.
# A signature holds its signing time: SOURCE_DATE_EPOCH (seconds since 1970), when set, is that
# time, and the same tree signed twice gives the same medium (a time stamp always differs).
# Every archive is verified, and OUT/SHA256SUMS lists the checksums of everything on the medium.
# Refused, leaving nothing: a --packaged medium without a file of NEW that is missing from OLD or
# differs from it in content (a changed file that is not newer than the old one is named: it
# needs a higher version), and a medium that would hold nothing.
# The programs come from the release preset (built when missing), gspak from the host preset.
# OUT is made beside itself as OUT.part and renamed only when complete; nothing else is touched.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage() { echo "usage: make-medium.sh NEW_DIR OUT [--packaged OLD_DIR] [--sign CERT.p12 [--timestamp URL]]" >&2; exit 2; }
[ $# -ge 2 ] || usage
new=$1 out=${2%/} old= sign= stamp=
shift 2
while [ $# -ge 2 ]; do
  case $1 in
    --packaged) old=$2 ;;
    --sign) sign=$2 ;;
    --timestamp) stamp=$2 ;;
    *) usage ;;
  esac
  shift 2
done
[ $# = 0 ] && { [ -z "$stamp" ] || [ -n "$sign" ]; } || usage
if [ -n "$sign" ]; then
  [ -f "$sign" ] || { echo "make-medium: $sign is not a file" >&2; exit 1; }
  [ -n "${GS_SIGN_PASSWORD+set}" ] || { echo "make-medium: --sign takes the certificate's password from GS_SIGN_PASSWORD" >&2; exit 1; }
fi
names=(Scr01 Graphic01 Voice01)
for d in "$new" ${old:+"$old"}; do
  for n in "${names[@]}"; do
    [ -d "$d/$n" ] || { echo "make-medium: $d/$n is not a folder" >&2; exit 1; }
  done
done
[ ! -e "$out" ] || { echo "make-medium: $out exists; give a new folder" >&2; exit 1; }
part=$out.part
[ ! -e "$part" ] || { echo "make-medium: $part exists (a stopped run?); remove it first" >&2; exit 1; }

source "$root/tools/ensure-deps.sh" >&2  # a fresh machine: the Debian packages the builds need
gspak=$root/build/host/bin/gspak
bin=$root/build/release-x64/bin
program=update.exe; [ -n "$old" ] && program=gssetup.exe
if [ ! -x "$gspak" ]; then
  (cd "$root" && cmake --preset host >/dev/null && cmake --build --preset host --target gspak -j "$(nproc)") >&2
fi
if [ ! -f "$bin/$program" ]; then
  (cd "$root" && cmake --preset release >/dev/null && cmake --build --preset release --target "${program%.exe}" -j "$(nproc)") >&2
fi

trap 'rm -rf "$part"' EXIT
mkdir -p "$part/ZUNA"
entries=0
if [ -z "$sign" ]; then
  cp "$bin/$program" "$part/"
else
  # -readpass reads a file: a pipe of our own keeps the password out of every command line.
  osslsigncode sign -pkcs12 "$sign" -readpass <(printf '%s' "$GS_SIGN_PASSWORD") -h sha256 \
    -n "Quillamet アップデート１" ${stamp:+-ts "$stamp"} ${SOURCE_DATE_EPOCH:+-time "$SOURCE_DATE_EPOCH"} \
    -in "$bin/$program" -out "$part/$program" >/dev/null ||
    { echo "make-medium: signing $program with $sign failed" >&2; exit 1; }
fi
for n in "${names[@]}"; do
  if [ -z "$old" ]; then
    "$gspak" pak build "$part/ZUNA/$n.pak" --from "$new/$n" --quiet
  else
    "$gspak" pak build "$part/$n.old" --from "$old/$n" --quiet
    "$gspak" pak build "$part/$n.new" --from "$new/$n" --quiet
    # Refused, naming each, when a file changed but the merge would not take it (not newer).
    "$gspak" pak diff "$part/$n.old" "$part/$n.new" "$part/ZUNA/$n.pak" --quiet ||
      { echo "make-medium: $n: the medium would lack the changed files named above" >&2; exit 1; }
    rm "$part/$n.old" "$part/$n.new"
  fi
  held=$("$gspak" pak verify "$part/ZUNA/$n.pak" | sed -n 's/.*: ok, \([0-9]*\) entries$/\1/p')
  entries=$((entries + held))
done
[ "$entries" -gt 0 ] || { echo "make-medium: the medium would hold nothing (no file of $new is new or changed)" >&2; exit 1; }
(cd "$part" && sha256sum "$program" ZUNA/*.pak >SHA256SUMS)
mv "$part" "$out"
trap - EXIT
echo "medium in $out:"
(cd "$out" && ls -l "$program" ZUNA)
