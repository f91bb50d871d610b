#!/usr/bin/env bash
# gspak-test.sh WORK [RUNNER] GSPAK: runs gspak on real files in WORK (emptied first): a known
# stream, round trips, the --max bound and the error exits. Output goes through files, not
# pipes: helper processes that Wine starts would keep a pipe open.
work=$1; shift
G=("$@")
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
status=0
fail() { echo "FAIL: $*"; cat out err; status=1; }
gspak() { want=$1; shift; "${G[@]}" "$@" >out 2>err; rc=$?; [ $rc = "$want" ] || fail "gspak $*: exit $rc, not $want"; }
expect_hex() { [ "$(od -An -tx1 -v "$1" 2>/dev/null | tr -d ' \n')" = "$2" ] || fail "$1 is not $2"; }

printf abcabcabcabc >abc.txt  # three literals and a match that overlaps what it produces
gspak 0 lzss c abc.txt abc.lz && expect_hex abc.lz 07616263eef6
for i in $(seq 800); do echo "line $i: value $((i * i % 9973)), the quick brown fox"; done >big.txt
: >empty
head -c 3000000 /dev/zero >zeros  # expands to far more than its stream's first guess
for f in abc.txt big.txt empty zeros; do
  gspak 0 lzss c $f $f.lz && gspak 0 lzss d $f.lz $f.out && cmp -s $f $f.out || fail "$f round trip"
done
[ "$(stat -c %s big.txt.lz)" -lt "$(stat -c %s big.txt)" ] || fail "big.txt did not shrink"
expect_hex empty.lz ""
gspak 0 lzss d abc.lz fits.out --max 12 && cmp -s abc.txt fits.out || fail "--max 12"
gspak 3 lzss d abc.lz cut.out --max=5 && expect_hex cut.out 6162636162
grep -q "stopped at 5 bytes" err || fail "no notice of the bound"

# Bad arguments and unreadable input: a message naming the problem, an exit code, no output.
for args in "" pack lzss "lzss x abc.txt x.out" "lzss c abc.txt" "lzss c abc.txt a.out b.out" \
    "lzss c abc.txt x.out --max 5" "lzss d abc.lz x.out --max" "lzss d abc.lz x.out --max 0" \
    "lzss d abc.lz x.out --max 12abc" "lzss d abc.lz x.out --max 99999999999" "lzss d abc.lz x.out --fast"; do
  gspak 2 $args
done
grep -q "unknown option" err || fail "unclear message for a bad option"
gspak 1 lzss c missing.txt x.out && grep -q missing.txt err || fail "missing file not named"
gspak 1 lzss d missing.lz x.out
gspak 1 lzss c abc.txt no-such-dir/x.out
[ ! -e x.out ] || fail "a failed run left x.out behind"
gspak 0 --help && grep -q "lzss c IN OUT" out && grep -q "lzss d IN OUT" out || fail "--help"
exit $status
