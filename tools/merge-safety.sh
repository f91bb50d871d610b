#!/usr/bin/env bash
# merge-safety.sh GSPAK [ROUNDS]: the merge of `gspak pak merge` (the program's own code)
#  - killed ROUNDS times (default 50) inside its work, each time once the target has grown a
#    random byte count past its old size (tools/strike.py, which confirms the merge was still
#    unfinished): the target then lists and extracts exactly as before the merge or as after it;
#  - on a full disk (an 8 MiB tmpfs, only as root): exit 5 and the target byte for byte as before.
# Exit 1 when an archive check fails, 3 when they pass but a kill missed the merge's inside.
set -euo pipefail
g=$(realpath "$1"); rounds=${2:-50}
strike=$(realpath "$(dirname "$0")/strike.py")
w=$(mktemp -d); disk=$w/disk
trap 'mountpoint -q "$disk" && umount "$disk"; rm -rf "$w"' EXIT
cd "$w"
fail() { echo "FAIL: $*" >&2; exit 1; }

# The listing and a checksum of every live entry's bytes.
snap() {
  "$g" pak list "$1"
  "$g" pak list "$1" | awk -F'\t' '$7 == "live" { print $2 }' | while read -r name; do
    "$g" pak extract "$1" "$name" x.out && echo "$name $(cksum < x.out)"
  done
}

# The new entries (t8 to t23) add about 74 MiB: enough bytes for a strike to land inside.
for i in $(seq 0 23); do head -c $((i * 37001 * (i < 8 ? 1 : 8) + 5)) /dev/urandom > t$i; done
"$g" pak build target.pak --key 0x2A $(for i in $(seq 0 7); do echo e$i=t$i:1:100; done) >/dev/null
"$g" pak build source.pak --key 0x1234 E1=t7:2:0 e3=t2:1:101 e5=t5:0:999 $(for i in $(seq 8 23); do echo n$i=t$i:1:1; done) >/dev/null

snap target.pak > before
cp target.pak t.pak
"$g" pak merge source.pak t.pak --bit 2 >/dev/null
snap t.pak > after
cmp -s before after && fail "the merge changed nothing"
whole=$(stat -c %s t.pak) old=$(stat -c %s target.pak)
grown=$((whole - old))

inside=0 old_n=0 new_n=0 short=0
for r in $(seq 1 "$rounds"); do
  cp target.pak t.pak
  # A byte count leaving a quarter of the growth to go, so the kill finds the merge unfinished.
  b=$((1 + (RANDOM * 32768 + RANDOM) % (grown * 3 / 4)))
  if verdict=$(python3 "$strike" --watch merge --dir . --names t.pak --index 0 --bytes $b --final "$whole" \
                 --self --kill -- "$g" pak merge source.pak t.pak --bit 2); then
    inside=$((inside + 1))
  else
    echo "round $r: $verdict" >&2
  fi
  snap t.pak > now 2>/dev/null || true
  if cmp -s now before; then old_n=$((old_n + 1)); elif cmp -s now after; then new_n=$((new_n + 1))
  else fail "round $r: the archive is neither the old nor the new one"; fi
done
echo "inside $inside of $rounds kills (the target had grown past a random byte count of its $grown new bytes)"
echo "killed $rounds merges: $old_n left the old archive, $new_n the new one"
[ "$inside" = "$rounds" ] || { echo "FAIL: only $inside of $rounds kills landed inside the merge" >&2; short=1; }

if [ "$(id -u)" != 0 ]; then echo "full disk: skipped (needs root for a tmpfs)"; exit $((short * 3)); fi
mkdir "$disk" && mount -t tmpfs -o size=8m tmpfs "$disk"
"$g" pak build "$disk/full.pak" e0=t7 >/dev/null && cp "$disk/full.pak" full.orig
head -c $((9 << 20)) /dev/urandom > big && "$g" pak build big.pak big=big:1 >/dev/null
rc=0; "$g" pak merge big.pak "$disk/full.pak" --bit 2 2>err || rc=$?
[ $rc = 5 ] || fail "full disk: exit $rc, expected 5: $(cat err)"
cmp -s "$disk/full.pak" full.orig || fail "full disk: the target changed"
echo "full disk: exit 5, target unchanged: $(cat err)"
exit $((short * 3))
