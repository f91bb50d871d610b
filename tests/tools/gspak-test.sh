#!/usr/bin/env bash
# gspak-test.sh WORK [RUNNER] GSPAK: runs gspak on real files in WORK (emptied first): a known
# stream, round trips, the --max bound and the error exits. Output goes through files, not
# pipes: helper processes that Wine starts would keep a pipe open.
work=$1; shift
G=("$@") src=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
status=0 with=
fail() { echo "FAIL: $*"; cat out err; status=1; }
# $with: words run before gspak (flock FILE).
gspak() { want=$1; shift; $with "${G[@]}" "$@" >out 2>err; rc=$?; [ $rc = "$want" ] || fail "gspak $*: exit $rc, not $want"; }
native() { [ ${#G[@]} = 1 ]; }
expect_hex() { [ "$(od -An -tx1 -v "$1" 2>/dev/null | tr -d ' \n')" = "$2" ] || fail "$1 is not $2"; }

printf abcabcabcabc >abc.txt  # three literals and a match that overlaps what it produces
gspak 0 lzss c abc.txt abc.lz && expect_hex abc.lz 07616263eef6
for i in $(seq 800); do echo "line $i: value $((i * i % 9973)), the quick brown fox"; done >big.txt
: >empty
head -c 3000000 /dev/zero >zeros  # expands to far more than its stream's first guess
for f in abc.txt big.txt empty zeros; do
  gspak 0 lzss c $f $f.lz && gspak 0 lzss d $f.lz $f.out && cmp -s $f $f.out || fail "$f round trip"
done
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
gspak 1 lzss c abc.txt no-such-dir/x.out
# From 1,908,874,353 bytes on the worst-case output exceeds int: refused before reading it.
truncate -s 1908874353 huge && gspak 1 lzss c huge x.out && grep -q "'huge' is too large" err || fail "huge input"
rm -f huge
[ ! -e x.out ] || fail "a failed run left x.out behind"
gspak 0 --help && grep -q "lzss c IN OUT" out && grep -q "lzss d IN OUT" out || fail "--help"

# Archives: diff takes what a merge takes; merge, list, extract; damaged input; exit codes.
printf 12345 >five && printf abcdefgh >eight
gspak 0 pak build old.pak --key 0x100 a.bin=five:1:100 b.bin=eight:1:100
gspak 0 pak build new.pak A.BIN=eight:1:200 b.bin=eight:1:50 c.bin=five
gspak 0 pak diff old.pak new.pak diff.pak
cp old.pak merged.pak && gspak 0 pak merge diff.pak merged.pak --bit 2 && gspak 0 pak list merged.pak
want=$(printf '# flags 0x00000002, key 0x00000100, 4 entries, data base 72\n0\t\t1\t100 5 dead\n1\tb.bin\t1\t100 8 live\n2\tA.BIN\t1\t200 8 live\n3\tc.bin\t0\t0 5 live')
[ "$(tr -d '\r' <out | sed 's/\t[0-9]*\t\([0-9]*\)\t\(live\|dead\)$/ \1 \2/')" = "$want" ] || fail "diff and merge took the wrong entries"
gspak 0 pak extract merged.pak a.bin a.out && cmp -s eight a.out || fail "extract"
# Changed entries a merge would not take (not newer) refuse the diff, each named; nothing written.
gspak 0 pak build stale.pak a.bin=eight:1:100 B.BIN=five:1:50 c.bin=five
gspak 10 pak diff old.pak stale.pak st.pak && [ "$(grep -c "' changed, but" err)" = 2 ] && [ ! -e st.pak ] || fail "a changed entry left out"
cp merged.pak merged2.pak && gspak 0 pak merge new.pak merged2.pak --bit 2
gspak 6 pak merge new.pak merged2.pak --bit 4 --require 8
gspak 7 pak extract merged.pak zz.bin zz.out
head -c 100 /dev/zero | tr '\0' x >junk.pak
gspak 4 pak verify junk.pak && grep -q "junk.pak' is damaged: data base lies beyond the end of the file" err || fail "verify"
gspak 4 pak merge new.pak junk.pak --bit 16
gspak 4 pak merge junk.pak merged2.pak --bit 16
cmp -s merged.pak merged2.pak || fail "a refused merge wrote"
gspak 2 pak merge new.pak merged.pak

# The explainer, which shares no code with the program, finds every golden archive within the
# format's rules and reads it as gspak lists it.
for g in "$src"/tests/pack/golden/*.pak; do
  cp "$g" golden.pak && gspak 0 pak list golden.pak && python3 "$src/tools/pak-explain.py" --list out golden.pak >explained ||
    fail "$(basename "$g"): $(grep PROBLEM explained)"
done

# An OUT that is an input is refused before anything is written: exit 2, the input as it was.
cp merged.pak keep.pak
for args in "pak extract keep.pak a.bin keep.pak" "pak diff old.pak keep.pak keep.pak" \
    "pak diff keep.pak new.pak keep.pak" "pak build keep.pak a=keep.pak" "lzss c keep.pak keep.pak"; do
  gspak 2 $args
done
if native; then ln -s keep.pak link.pak && gspak 2 pak extract keep.pak a.bin link.pak; fi
cmp -s keep.pak merged.pak || fail "an OUT naming its input changed it"
# A write that fails (natively: beyond a file size limit) leaves OUT as it was and no temporary file.
if native; then
  gspak 0 pak build big.pak big=big.txt && cp five kept.out
  (trap '' XFSZ; ulimit -f 8; gspak 1 pak build kept.out big=big.txt; gspak 1 pak extract big.pak big kept.out
   exit $status) || status=1
  cmp -s kept.out five && [ -z "$(ls | grep '\.tmp$')" ] || fail "a failed write touched OUT or left a file"
fi
# A merge holds its target locked by a byte past any data, a lock native and Wine programs both
# see: another writer is refused (exit 1) and changes nothing.
hold() { python3 -c 'import fcntl,os,subprocess as s,sys; f=os.open(sys.argv[1],os.O_RDWR); fcntl.lockf(f,fcntl.LOCK_EX,1,1<<62); sys.exit(s.call(sys.argv[2:]))' "$@"; }
cp merged.pak locked.pak
for args in "pak merge new.pak locked.pak --bit 16" "pak build locked.pak a=five"; do
  with="hold locked.pak" gspak 1 $args && grep -q "in use by another process" err || fail "no refusal: $args"
done
cmp -s locked.pak merged.pak || fail "a refused writer changed the locked archive"
# What a killed run left beside its output is taken over or removed, what a live run holds stays;
# build --from packs neither.
mkdir kt && printf x >kt/x.pak.gspak-0.tmp && printf y >kt/x.pak.gspak-1.tmp && printf z >kt/x.pak.gspak-2.tmp && cp five kt/a
with="hold kt/x.pak.gspak-1.tmp" gspak 0 pak build kt/x.pak --from kt && gspak 0 pak list kt/x.pak
[ "$(ls kt | tr '\n' ' ')" = "a x.pak x.pak.gspak-1.tmp " ] && [ "$(grep -c live out)" = 1 ] || fail "temporary files"
# A FIFO is refused before an open could wait on it.
if native; then
  mkfifo fifo && for args in "pak verify fifo" "pak build v.pak x=fifo"; do with="timeout 10" gspak 1 $args; done
fi
# Build input that would be stored wrong is refused; a folder is unreadable (1), not damaged.
for item in x=five:4294967297 x=five:4294967297:1 =five "$(printf 'n%.0s' {1..64})=five"; do
  gspak 2 pak build v.pak "$item"
done
mkdir dir.pak && gspak 1 pak build v.pak x=dir.pak && gspak 1 pak list dir.pak
gspak 1 pak merge dir.pak merged.pak --bit 16
[ ! -e v.pak ] || fail "a refused build wrote v.pak"
# list shows a control byte, and a backslash that would read as an escape, as \xHH.
gspak 0 pak build names.pak $'a\tb\\x41'=five && gspak 0 pak list names.pak
[ "$(tr -d '\r' <out | sed -n 2p | cut -f2)" = 'a\x09b\x5Cx41' ] || fail "list printed a name raw"

# Trees: every file, named by its relative path in code page 932 (表: 0x95 0x5C), ordered by
# the case-insensitive key; NAME=FILE items join them.
mkdir -p tree/sub/deep tree/表 && printf 1 >tree/B.txt && printf 22 >tree/a.txt && printf 333 >tree/sub/deep/c
printf 4444 >tree/表.txt && printf 5 >tree/表/y && touch -d @1000000000 tree/a.txt
gspak 0 pak build tree.pak --from tree --version 7 --time 99 extra=five
gspak 0 pak list tree.pak
[ "$(tr -d '\r' <out | sed 1d | cut -f2-4)" = "$(printf 'a.txt\t7\t99\nB.txt\t7\t99\nextra\t0\t0\nsub\\deep\\c\t7\t99\n\x95\x5c.txt\t7\t99\n\x95\x5c\\y\t7\t99')" ] || fail "build --from: names or order"
gspak 0 pak build tree.pak --from tree && gspak 0 pak list tree.pak
[ "$(tr -d '\r' <out | sed -n 2p | cut -f2-4)" = "$(printf 'a.txt\t1\t126444736000000000')" ] || fail "build --from: time stamp"
gspak 0 pak extract tree.pak --all back && diff -r tree back || fail "extract --all round trip"
# Refused before OUT is touched, naming the file: 64 bytes, names equal but for case, no code page 932 form.
mkdir -p long/d case emoji yen && : >"long/d/$(printf 'n%.0s' {1..62})" && : >case/A && : >case/a && : >emoji/😀
printf secret >secret.txt && : >'yen/..¥secret.txt'  # no best fit: ¥ is not the backslash 0x5C
for d in long case emoji yen; do
  cp five kept.pak && gspak 2 pak build kept.pak --from $d && cmp -s kept.pak five && grep -q "'$d" err || fail "build --from $d"
done
# extract --all writes nothing outside DIR: such names are refused, and names Windows cannot hold,
# the others written; of names equal but for case only the first, which readers take; an
# existing file is kept without --force.
mkdir -p ev outside && ln -s ../outside ev/link 2>/dev/null; printf old >ev/ok
gspak 0 pak build evil.pak '..\x=five' 'C:x=five' '\x=five' 'CON.txt=five' 'a/../../x=five' 'link\z=five' ok=five b\\ok=five \
  OK=eight 'b\ok=eight' 'ok\c=five' 'a*b=five' 'CONIN$=five' $'NUL\x81=five' 'x.=five' z=five
gspak 9 pak extract evil.pak --all ev && cmp -s ev/b/ok five && cmp -s ev/z five && expect_hex ev/ok 6f6c64 || fail "extract --all kept or wrote wrongly"
[ "$(grep -c 'refused entry' err)" = 13 ] && [ -z "$(ls outside)" ] && [ ! -e x ] || fail "unsafe names"
gspak 9 pak extract evil.pak --all ev --force && cmp -s ev/ok five && cmp -s ev/b/ok five || fail "--force"
if native && command -v strace >/dev/null; then
  # Below DIR nothing is made or opened by a path whose folders could be swapped for links.
  strace -f -qq -o trace -e trace=openat,mkdir,mkdirat,rename,renameat2 "${G[@]}" pak extract tree.pak --all jail >/dev/null
  ! grep -E '(AT_FDCWD|mkdir\(|rename\()"jail/' trace && [ -s jail/sub/deep/c ] || fail "a path below DIR"
  # Every output is on the disk when reported: a failed flush of the file (the 1st of its two),
  # of its folder after the rename (the 3rd), or of an extracted tree fails the run.
  for n in 1 3; do with="strace -f -qq -o /dev/null -e inject=fsync:error=EIO:when=$n" gspak 1 pak build f.pak a=five; done
  with="strace -f -qq -o /dev/null -e inject=syncfs:error=EIO" gspak 1 pak extract tree.pak --all fl
elif command -v strace >/dev/null; then
  # Windows has no flush of a whole tree: each extracted file is flushed before its rename.
  with="strace -f -qq -o /dev/null -e inject=fsync,fdatasync:error=EIO" gspak 1 pak extract tree.pak --all fl
fi
# Progress: a line on a terminal after a second of work, none with --quiet or into a file.
head -c 40000000 /dev/urandom >rand && gspak 0 lzss c rand r.lz && [ ! -s err ] || fail "progress into a file"
if native && command -v script >/dev/null; then
  script -qec "${G[*]} lzss c rand r.lz" /dev/null >tty
  grep -q 'MiB/s' tty || fail "no progress on a terminal"
  script -qec "${G[*]} lzss c rand r.lz --quiet" /dev/null >tty && ! grep -q 'MiB/s' tty || fail "--quiet"
fi
exit $status
