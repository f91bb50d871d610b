#!/usr/bin/env bash
# Installs what is missing, builds the x64, x86, host and release presets, runs every test.
set -euo pipefail
cd "$(dirname "$0")"
source tools/ensure-deps.sh

jobs=$(nproc)
werror=-DGS_WERROR=ON
for preset in x64 x86 host release; do
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
echo "== test host"
ctest --preset host || status=1
echo "== reliability (short form; tools/reliability.sh runs the full one)"
tools/reliability.sh --short || status=1
echo "== fuzz (short run)"
tools/fuzz.sh 10 || status=1
exit $status
