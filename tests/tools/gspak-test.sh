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
# From 1,908,874,353 bytes on the worst-case output exceeds int: refused before reading it.
truncate -s 1908874353 huge && gspak 1 lzss c huge x.out && grep -q "'huge' is too large" err || fail "huge input"
rm -f huge
[ ! -e x.out ] || fail "a failed run left x.out behind"
gspak 0 --help && grep -q "lzss c IN OUT" out && grep -q "lzss d IN OUT" out || fail "--help"

# Archives: diff takes what a merge takes; merge, list, extract; damaged input; exit codes.
printf 12345 >five && printf abcdefgh >eight
gspak 0 pak build old.pak --key 0x100 a.bin=five:1:100 b.bin=eight:1:100
gspak 0 pak build new.pak A.BIN=eight:1:200 b.bin=five:1:50 c.bin=five
gspak 0 pak diff old.pak new.pak diff.pak
cp old.pak merged.pak && gspak 0 pak merge diff.pak merged.pak --bit 2 && gspak 0 pak list merged.pak
want=$(printf '# flags 0x00000002, key 0x00000100, 4 entries, data base 72\n0\t\t1\t100 5 dead\n1\tb.bin\t1\t100 8 live\n2\tA.BIN\t1\t200 8 live\n3\tc.bin\t0\t0 5 live')
[ "$(tr -d '\r' <out | sed 's/\t[0-9]*\t\([0-9]*\)\t\(live\|dead\)$/ \1 \2/')" = "$want" ] || fail "diff and merge took the wrong entries"
gspak 0 pak extract merged.pak a.bin a.out && cmp -s eight a.out || fail "extract"
cp merged.pak merged2.pak && gspak 0 pak merge new.pak merged2.pak --bit 2
gspak 6 pak merge new.pak merged2.pak --bit 4 --require 8
gspak 7 pak extract merged.pak zz.bin zz.out
head -c 100 /dev/zero | tr '\0' x >junk.pak
gspak 4 pak verify junk.pak && grep -q "junk.pak' is damaged: data base lies beyond the end of the file" err || fail "verify"
gspak 4 pak merge new.pak junk.pak --bit 16
gspak 4 pak merge junk.pak merged2.pak --bit 16
cmp -s merged.pak merged2.pak || fail "a refused merge wrote"
gspak 2 pak merge new.pak merged.pak
exit $status
