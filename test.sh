#!/usr/bin/env bash
# Installs what is missing (Wine's 32-bit side and the system languages included), builds the
# x64, x86, host, release and release-x86 presets, runs every test: the Windows tests of both
# builds under Wine, the end-to-end ones under three system languages.
set -euo pipefail
cd "$(dirname "$0")"
source tools/ensure-deps.sh

jobs=$(nproc)
werror=-DGS_WERROR=ON
for preset in x64 x86 host release release-x86; do
  echo "== build $preset"
  cmake --preset "$preset" $werror >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

# One prepared Wine prefix for the whole run; tests that need a clean registry or drives
# make their own from it.
export WINEPREFIX=$PWD/build/x64/wineprefix
source tools/wine-env.sh
tools/wine-prefix "$WINEPREFIX" >/dev/null
trap 'WINEPREFIX=$WINEPREFIX wineserver -k >/dev/null 2>&1 || true' EXIT

status=0
echo "== test x64 (under Wine)"
ctest --preset x64 || status=1
echo "== test x86 (under Wine's 32-bit side)"
ctest --preset x86 || status=1
echo "== the shipped 32-bit update.exe (release-x86), end to end"
GS_PROGRAMS=build/release-x86/bin tests/run-in-prefix.sh build/x86/bin/test_e2e.exe \
  --gtest_filter='UpdateE2E.Run/HappyWithoutExtFromADriveRoot:UpdateE2E.Run/FoldersEndingInTrailByte5C:Manifest.*' || status=1
echo "== test host"
ctest --preset host || status=1
echo "== reliability (short form; tools/reliability.sh runs the full one)"
tools/reliability.sh --short || status=1
echo "== fuzz (short run)"
tools/fuzz.sh 10 || status=1
exit $status
