#!/usr/bin/env bash
# medium-test.sh: the shipped programs and media are the same bytes whoever makes them. Two
# release builds of this tree, in two folders and at two different times, must give identical
# programs; two media made by make-medium.sh from one game tree identical archives and lists.
# Then a medium signed with a certificate made here must verify, its list naming the signed
# program, and an unsigned one must not; signed twice at one SOURCE_DATE_EPOCH, it is the same.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
w=$(mktemp -d /tmp/gs-medium-test.XXXXXX)
trap 'rm -rf "$w"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }
for b in one two; do
  mkdir -p "$w/$b/src" && git -C "$root" ls-files -z | (cd "$root" && xargs -0 cp --parents -t "$w/$b/src")
  (cd "$w/$b/src" && cmake --preset release >/dev/null && cmake --build --preset release --target update gssetup -j 2 >/dev/null) ||
    fail "release build in $w/$b"
  sleep 2
done
for p in update.exe gssetup.exe; do
  cmp "$w/one/src/build/release-x64/bin/$p" "$w/two/src/build/release-x64/bin/$p" || fail "$p differs between the builds"
done

for n in Scr01 Graphic01 Voice01; do mkdir -p "$w/game/$n/sub" && head -c 50000 /dev/urandom >"$w/game/$n/sub/$n.dat"; done
"$root/tools/make-medium.sh" "$w/game" "$w/m1" >/dev/null && sleep 1 && "$root/tools/make-medium.sh" "$w/game" "$w/m2" >/dev/null &&
  diff -r "$w/m1" "$w/m2" || fail "two media of one tree differ"

openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Medium Test" -keyout "$w/key.pem" -out "$w/cert.pem" 2>/dev/null &&
  openssl pkcs12 -export -inkey "$w/key.pem" -in "$w/cert.pem" -out "$w/cert.p12" -passout pass:s3cret || fail "no certificate"
GS_SIGN_PASSWORD=wrong "$root/tools/make-medium.sh" "$w/game" "$w/bad" --sign "$w/cert.p12" >/dev/null 2>&1 || [ -e "$w/bad" ] &&
  fail "signed with a wrong password"
export SOURCE_DATE_EPOCH=$(date +%s)
GS_SIGN_PASSWORD=s3cret "$root/tools/make-medium.sh" "$w/game" "$w/signed" --sign "$w/cert.p12" >/dev/null && sleep 1 &&
  GS_SIGN_PASSWORD=s3cret "$root/tools/make-medium.sh" "$w/game" "$w/signed2" --sign "$w/cert.p12" >/dev/null ||
  fail "signing failed"
diff -r "$w/signed" "$w/signed2" || fail "two signed media of one tree and one signing time differ"
osslsigncode verify -CAfile "$w/cert.pem" -in "$w/signed/update.exe" >"$w/verify" 2>&1 || fail "signature: $(cat "$w/verify")"
(cd "$w/signed" && sha256sum --quiet -c SHA256SUMS) || fail "the list does not name the signed program"
osslsigncode verify -CAfile "$w/cert.pem" -in "$w/m1/update.exe" >/dev/null 2>&1 && fail "an unsigned program verified"
exit $status
