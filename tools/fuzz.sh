#!/usr/bin/env bash
# [FUZZ_TARGETS="roundtrip expand pak"] fuzz.sh [SECONDS]: builds the libFuzzer targets of the codec
# and of the archive merge with clang (AddressSanitizer and UndefinedBehaviorSanitizer on) and
# runs each for SECONDS (default 60), starting from the
# seed corpus in fuzz/corpus/<target>. New inputs collect in fuzz/corpus-run/ (not committed),
# crashing inputs in build/fuzz/artifacts/. Prints executions per second and the result of
# each target; exits non-zero when a target finds a fault.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
clangxx=${CLANGXX:-$(command -v clang++ || command -v clang++-14 || true)}
if [ -z "$clangxx" ]; then
  echo "fuzz.sh: clang++ not found (Debian package clang); skipping" >&2
  exit 0
fi

out=build/fuzz
mkdir -p "$out/artifacts"
flags=(-std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -fno-omit-frame-pointer -Isrc)
status=0
for target in ${FUZZ_TARGETS:-roundtrip expand pak}; do
  case $target in
    pak) exe=$out/pak_fuzzer
         "$clangxx" "${flags[@]}" fuzz/pak_fuzzer.cpp src/pack/PakFormat.cpp src/pack/GsLzss.cpp src/base/GsPath.cpp src/base/GsPathCodePage.cpp -o "$exe" ;;
    *) exe=$out/lzss_${target}_fuzzer
       "$clangxx" "${flags[@]}" fuzz/lzss_${target}_fuzzer.cpp src/pack/GsLzss.cpp -o "$exe" ;;
  esac
  run=fuzz/corpus-run/$target
  mkdir -p "$run"
  cp -n fuzz/corpus/$target/* "$run"/ 2>/dev/null || true
  case $target in
    roundtrip) maxlen=20000 ;;
    expand) maxlen=8192 ;;
    pak) maxlen=16384 ;;
  esac
  log=$out/$target.log
  rc=0
  "$exe" "$run" -max_total_time="$seconds" -max_len=$maxlen -print_final_stats=1 \
      -artifact_prefix="$out/artifacts/${target}-" >"$log" 2>&1 || rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  eps=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  if [ $rc -eq 0 ]; then
    result="no finding"
  else
    result="FAILED (exit $rc), see $log"
    status=1
  fi
  printf 'fuzz %-9s %4ss  %10s runs  %8s exec/s  %s\n' "$target" "$seconds" "${runs:-?}" "${eps:-?}" "$result"
  [ $rc -eq 0 ] || grep -E "ERROR|SUMMARY|runtime error|deadly signal" "$log" | head -5 >&2 || true
done
exit $status
